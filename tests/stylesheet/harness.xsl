<?xml version="1.0" encoding="UTF-8"?>
<!--
  Runs transformation.xsl without the library: the call of the extension
  function xalan:intervals is replaced by a stand-in that returns what the
  function would return for items that need no resolving, in the same form
  (every Extension first, with the extender, its name, its value and its
  Interval, then every DiscretizeBin with its Interval), and goes on with the
  Discretize as the stylesheet does. The source's DataField is dropped.
  Overlaps and special keys are left unresolved.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:xalan="http://xml.apache.org/xalan" exclude-result-prefixes="xalan">
  <xsl:import href="../../share/pmmlxform/transformation.xsl"/>

  <xsl:template name="resolve-intervals">
    <xsl:param name="items"/>
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:variable name="resolved">
      <xsl:for-each select="xalan:nodeset($items)/Extension">
        <Extension extender="pmmlxform" name="{@name}">
          <xsl:if test="string(@value) != '' or @name = 'mapSysmisTo'">
            <xsl:attribute name="value"><xsl:value-of select="@value"/></xsl:attribute>
          </xsl:if>
          <xsl:copy-of select="Interval"/>
        </Extension>
      </xsl:for-each>
      <xsl:for-each select="xalan:nodeset($items)/DiscretizeBin">
        <DiscretizeBin binValue="{@binValue}">
          <xsl:copy-of select="Interval"/>
        </DiscretizeBin>
      </xsl:for-each>
    </xsl:variable>
    <xsl:call-template name="discretize">
      <xsl:with-param name="resolved" select="xalan:nodeset($resolved)/*"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="declared" select="$declared"/>
    </xsl:call-template>
  </xsl:template>
</xsl:stylesheet>

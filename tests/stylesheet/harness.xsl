<?xml version="1.0" encoding="UTF-8"?>
<!--
  Runs transformation.xsl without the library: the call of the extension
  function xalan:intervals is replaced by a stand-in that returns what the
  function would return for items that need no resolving, in the same form:
  every Extension first (with the extender, its name, its value and its
  Interval), then every DiscretizeBin with its Interval. The source's
  DataField is dropped. Overlaps and special keys are left unresolved.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="../../share/pmmlxform/transformation.xsl"/>

  <xsl:template name="resolve-intervals">
    <xsl:param name="items"/>
    <xsl:for-each select="$items[self::Extension]">
      <Extension extender="pmmlxform" name="{@name}">
        <xsl:if test="string(@value) != '' or @name = 'mapSysmisTo'">
          <xsl:attribute name="value"><xsl:value-of select="@value"/></xsl:attribute>
        </xsl:if>
        <xsl:copy-of select="Interval"/>
      </Extension>
    </xsl:for-each>
    <xsl:for-each select="$items[self::DiscretizeBin]">
      <DiscretizeBin binValue="{@binValue}">
        <xsl:copy-of select="Interval"/>
      </DiscretizeBin>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>

<?xml version="1.0" encoding="UTF-8"?>
<!--
  Runs transformation.xsl without the library: the call of the extension
  function xalan:recode-intervals is replaced by a stand-in that lists the
  recode's items as the function reads them (as the item elements the function
  xalan:intervals takes) and returns what the function would return for items
  that need no resolving, in the same form
  (one node whose children are every Extension first, with the extender, its
  name, its value and its Interval, then every DiscretizeBin with its
  Interval), and goes on with the
  Discretize as the stylesheet does. The source's DataField is dropped.
  Overlaps and special keys are left unresolved.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:xalan="http://xml.apache.org/xalan" exclude-result-prefixes="xalan">
  <xsl:import href="../../share/pmmlxform/transformation.xsl"/>

  <xsl:template name="numeric-recode">
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:variable name="items">
      <xsl:for-each select="Rule">
        <xsl:apply-templates select="*[self::Value or self::Range or self::SystemMissing
                                       or self::Missing or self::Else]"
                             mode="recode-item"/>
      </xsl:for-each>
    </xsl:variable>
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
      <xsl:with-param name="resolved" select="xalan:nodeset($resolved)"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="declared" select="$declared"/>
    </xsl:call-template>
  </xsl:template>

  <!-- The interval of the context Value or Range. -->
  <xsl:template name="interval-of">
    <Interval closure="closedClosed">
      <xsl:if test="(@low | @value) != 'LOWEST'">
        <xsl:attribute name="leftMargin"><xsl:value-of select="@low | @value"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="(@high | @value) != 'HIGHEST'">
        <xsl:attribute name="rightMargin"><xsl:value-of select="@high | @value"/></xsl:attribute>
      </xsl:if>
    </Interval>
  </xsl:template>

  <!-- One recode item for one input of a rule, in the form the extension
       function reads: a DiscretizeBin for a value or range with a result, an
       Extension for a special key. The keys recodeRangeCopy and
       recodeRangeSysmis (a range recoded to COPY or SYSMIS) are this
       stylesheet's own; the function keeps their intervals in the
       first-match order like any bin. -->
  <xsl:template match="Value | Range" mode="recode-item">
    <!-- A checked rule has exactly one of To, ToCopy and ToSystemMissing. -->
    <xsl:choose>
      <xsl:when test="../To">
        <DiscretizeBin>
          <xsl:attribute name="binValue">
            <xsl:call-template name="trimmed"><xsl:with-param name="text" select="../To/@value"/></xsl:call-template>
          </xsl:attribute>
          <xsl:call-template name="interval-of"/>
        </DiscretizeBin>
      </xsl:when>
      <xsl:when test="../ToCopy and self::Value">
        <DiscretizeBin binValue="{@value}">
          <xsl:call-template name="interval-of"/>
        </DiscretizeBin>
      </xsl:when>
      <xsl:otherwise>
        <Extension>
          <xsl:attribute name="name">
            <xsl:choose>
              <xsl:when test="../ToCopy">recodeRangeCopy</xsl:when>
              <xsl:otherwise>recodeRangeSysmis</xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
          <xsl:call-template name="interval-of"/>
        </Extension>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="SystemMissing | Missing | Else" mode="recode-item">
    <xsl:variable name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    <Extension>
      <xsl:attribute name="name">
        <xsl:choose>
          <xsl:when test="self::SystemMissing and $out/self::To">mapSysmisTo</xsl:when>
          <xsl:when test="self::SystemMissing">recodeSysmisCopy</xsl:when>
          <xsl:when test="self::Missing and $out/self::To">mapMissingTo</xsl:when>
          <xsl:when test="self::Missing and $out/self::ToCopy">recodeMissingCopy</xsl:when>
          <xsl:when test="self::Missing">recodeMissingSysmis</xsl:when>
          <xsl:when test="$out/self::To">mapElseTo</xsl:when>
          <xsl:when test="$out/self::ToCopy">recodeElseCopy</xsl:when>
          <xsl:otherwise>recodeElseSysmis</xsl:otherwise>
        </xsl:choose>
      </xsl:attribute>
      <xsl:if test="$out/self::To">
        <xsl:attribute name="value">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="$out/@value"/></xsl:call-template>
        </xsl:attribute>
      </xsl:if>
    </Extension>
  </xsl:template>

</xsl:stylesheet>

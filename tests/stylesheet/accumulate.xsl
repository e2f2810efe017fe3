<?xml version="1.0" encoding="UTF-8"?>
<!--
  Accumulates two descriptions the way the library does: the entries under
  the first element of the root of the description named by the parameter
  "next" are appended to those under the first element of this one.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:param name="next"/>

  <xsl:template match="@* | node()">
    <xsl:copy><xsl:apply-templates select="@* | node()"/></xsl:copy>
  </xsl:template>

  <xsl:template match="/*/*[1]">
    <xsl:copy>
      <xsl:apply-templates select="@* | node()"/>
      <xsl:copy-of select="document($next)/*/*[1]/*"/>
    </xsl:copy>
  </xsl:template>
</xsl:stylesheet>

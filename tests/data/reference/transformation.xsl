<?xml version="1.0" encoding="UTF-8"?>
<!--
  Turns a transformation description (see transformation-description.xsd) into
  PMML: source variables become DataFields of the DataDictionary, recodes and
  computes become DerivedFields of the TransformationDictionary.

  Numeric recodes: the rules, in order, become DiscretizeBin / Extension items
  and the source's missing values a DataField; the extension function
  xalan:intervals resolves first-match-wins, the special keys and the
  overlaps, and returns the Extension and DiscretizeBin elements written into
  a Discretize. String recodes become MapValues over an InlineTable.

  The output carries no namespace: the library stamps the PMML namespace,
  version and Header/Application on the re-parsed document, and the elements
  returned by xalan:intervals are in no namespace either.

  A description that cannot be converted stops the run with a message that
  starts with CVT_FuncErr:, CVT_ReVarsErr: or CVT_ConvertErr:, followed
  directly (no blank: the library hands the rest to the user as it stands) by
  the entry and what is wrong. Messages hold no "(" because the library cuts
  the engine's text at the first one.
-->
<xsl:stylesheet version="1.0"
                xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:xalan="http://xml.apache.org/xalan"
                exclude-result-prefixes="xalan">

  <xsl:output method="xml" encoding="UTF-8" indent="no"/>
  <xsl:strip-space elements="*"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>
  <xsl:variable name="extender" select="'pmmlxform'"/>
  <!-- Unbounded range ends in the DataDictionary, as the largest double. -->
  <xsl:variable name="lowestNumber" select="'-1.79769313486231E+308'"/>
  <xsl:variable name="highestNumber" select="'1.79769313486231E+308'"/>

  <!-- Every entry sits under the first element child of the root: successive
       descriptions are accumulated there. -->
  <xsl:variable name="entries" select="/*/*[1]/*"/>

  <!-- Functions a compute may call: |name,least,most| with n for no upper
       limit. All are built into PMML 4.3. -->
  <xsl:variable name="functions"
    select="concat('|+,2,2|-,2,2|*,2,2|/,2,2|min,1,n|max,1,n|sum,1,n|avg,1,n|median,1,n|product,1,n',
                   '|log10,1,1|ln,1,1|sqrt,1,1|abs,1,1|exp,1,1|pow,2,2|threshold,2,2',
                   '|floor,1,1|ceil,1,1|round,1,1|isMissing,1,1|isNotMissing,1,1',
                   '|equal,2,2|notEqual,2,2|lessThan,2,2|lessOrEqual,2,2|greaterThan,2,2',
                   '|greaterOrEqual,2,2|isIn,2,n|isNotIn,2,n|and,2,n|or,2,n|not,1,1|if,2,3',
                   '|uppercase,1,1|lowercase,1,1|substring,3,3|trimBlanks,1,1|concat,2,n',
                   '|replace,3,3|matches,2,2|formatNumber,2,2|')"/>

  <!-- Functions whose result can be no real number: asMissing, as the host
       gives system-missing there. -->
  <xsl:variable name="invalidFunctions" select="'|+|-|*|/|sum|avg|median|product|log10|ln|sqrt|exp|pow|'"/>

  <!-- ================================================================== -->
  <!-- The document                                                        -->
  <!-- ================================================================== -->

  <xsl:template match="/">
    <!-- Check everything first, so a faulty entry stops the run before any
         output is built. -->
    <xsl:apply-templates select="$entries" mode="check"/>
    <PMML version="4.3">
      <Header description="Variable transformations"/>
      <DataDictionary>
        <xsl:for-each select="$entries[self::Variable]">
          <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
          <xsl:if test="not(preceding-sibling::Variable[translate(@name, $upper, $lower) = $key])">
            <xsl:apply-templates select="." mode="data-field"/>
          </xsl:if>
        </xsl:for-each>
      </DataDictionary>
      <TransformationDictionary>
        <xsl:apply-templates select="$entries[self::Recode or self::Compute]" mode="derived-field"/>
      </TransformationDictionary>
    </PMML>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- Small helpers                                                       -->
  <!-- ================================================================== -->

  <!-- How an entry is named in messages: entry 3, Recode into "x". -->
  <xsl:template name="entry-label">
    <xsl:param name="entry" select="."/>
    <xsl:value-of select="concat('entry ', count($entry/preceding-sibling::*) + 1, ', ', local-name($entry))"/>
    <xsl:choose>
      <xsl:when test="$entry/self::Variable">
        <xsl:value-of select="concat(' &quot;', $entry/@name, '&quot;')"/>
      </xsl:when>
      <xsl:when test="$entry/self::Recode or $entry/self::Compute">
        <xsl:value-of select="concat(' into &quot;', $entry/@target, '&quot;')"/>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="fail">
    <xsl:param name="code"/>
    <xsl:param name="text"/>
    <xsl:param name="entry" select="ancestor-or-self::*[parent::*[parent::*[not(parent::*)]]]"/>
    <xsl:variable name="label">
      <xsl:call-template name="entry-label">
        <xsl:with-param name="entry" select="$entry"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:message terminate="yes">
      <xsl:value-of select="concat($code, $label, ': ', $text)"/>
    </xsl:message>
  </xsl:template>

  <!-- The element that defines a variable seen from entry $at: its first
       declaration anywhere, or a recode or compute before $at that targets
       it. Names match ignoring case. Writes the element's name and type as
       "type:name", or nothing. -->
  <xsl:template name="lookup">
    <xsl:param name="name"/>
    <xsl:param name="at"/>
    <xsl:variable name="key" select="translate($name, $upper, $lower)"/>
    <xsl:variable name="declared" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
    <xsl:variable name="derived"
      select="$at/preceding-sibling::*[self::Recode or self::Compute][translate(@target, $upper, $lower) = $key][1]"/>
    <xsl:choose>
      <xsl:when test="$declared">
        <xsl:value-of select="concat($declared/@type, ':', $declared/@name)"/>
      </xsl:when>
      <xsl:when test="$derived">
        <xsl:value-of select="concat($derived/@type, ':', $derived/@target)"/>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- $text without its trailing blanks. -->
  <xsl:template name="trimmed">
    <xsl:param name="text"/>
    <xsl:choose>
      <xsl:when test="substring($text, string-length($text)) = ' '">
        <xsl:call-template name="trimmed">
          <xsl:with-param name="text" select="substring($text, 1, string-length($text) - 1)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$text"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="is-number">
    <xsl:param name="text"/>
    <xsl:if test="string(number($text)) != 'NaN' and normalize-space($text) = $text">yes</xsl:if>
  </xsl:template>

  <xsl:template name="optype">
    <xsl:param name="level"/>
    <xsl:choose>
      <xsl:when test="$level = 'scale'">continuous</xsl:when>
      <xsl:when test="$level = 'ordinal'">ordinal</xsl:when>
      <xsl:otherwise>categorical</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="data-type">
    <xsl:param name="type"/>
    <xsl:choose>
      <xsl:when test="$type = 'string'">string</xsl:when>
      <xsl:otherwise>double</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- Checks                                                              -->
  <!-- ================================================================== -->

  <xsl:template match="*" mode="check">
    <xsl:call-template name="fail">
      <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
      <xsl:with-param name="text">
        <xsl:value-of select="concat('unknown entry &lt;', name(), '&gt;; expected Variable, Recode or Compute')"/>
      </xsl:with-param>
    </xsl:call-template>
  </xsl:template>

  <!-- type, width and level of a Variable or of a target -->
  <xsl:template name="check-kind">
    <xsl:variable name="what">
      <xsl:choose>
        <xsl:when test="self::Variable">variable</xsl:when>
        <xsl:otherwise>target</xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="normalize-space(@name | @target) = ''">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('the ', $what, ' has no name')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="not(@type = 'numeric' or @type = 'string')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('type must be numeric or string, not &quot;', @type, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="@type = 'string' and not(floor(@width) = @width and @width &gt;= 1)">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('a string ', $what, ' needs a width of at least 1')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="not(@level = 'scale' or @level = 'ordinal' or @level = 'nominal')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('level must be scale, ordinal or nominal, not &quot;', @level, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- A range bound: a plain number or the keyword allowed at that end. -->
  <xsl:template name="check-range">
    <xsl:param name="range" select="."/>
    <xsl:variable name="lowOk">
      <xsl:call-template name="is-number"><xsl:with-param name="text" select="$range/@low"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="highOk">
      <xsl:call-template name="is-number"><xsl:with-param name="text" select="$range/@high"/></xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="not($lowOk = 'yes' or $range/@low = 'LOWEST')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('range low &quot;', $range/@low, '&quot; is neither a number nor LOWEST')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="not($highOk = 'yes' or $range/@high = 'HIGHEST')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('range high &quot;', $range/@high, '&quot; is neither a number nor HIGHEST')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$lowOk = 'yes' and $highOk = 'yes' and number($range/@low) &gt; number($range/@high)">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('range ', $range/@low, ' thru ', $range/@high, ' is empty')"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Variable" mode="check">
    <xsl:call-template name="check-kind"/>
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:variable name="first" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
    <xsl:if test="$first/@type != @type">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
        <xsl:with-param name="text" select="concat('declared before as ', $first/@type, ', now as ', @type)"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:choose>
      <xsl:when test="*[not(self::Missing or self::MissingRange)]">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="concat('unexpected &lt;', name(*[not(self::Missing or self::MissingRange)]), '&gt;; a variable holds only Missing and MissingRange')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="MissingRange and @type = 'string'">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="'a string variable cannot have a missing range'"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="count(Missing) &gt; 3 or count(MissingRange) &gt; 1 or (MissingRange and count(Missing) &gt; 1)">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
          <xsl:with-param name="text" select="'too many missing values: at most three values, or one range and one value'"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
    <xsl:if test="@type = 'numeric'">
      <xsl:for-each select="Missing">
        <xsl:call-template name="check-number">
          <xsl:with-param name="text" select="@value"/>
          <xsl:with-param name="what" select="'missing value'"/>
        </xsl:call-template>
      </xsl:for-each>
      <xsl:for-each select="MissingRange">
        <xsl:call-template name="check-range"/>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <xsl:template name="check-number">
    <xsl:param name="text"/>
    <xsl:param name="what"/>
    <xsl:variable name="ok">
      <xsl:call-template name="is-number"><xsl:with-param name="text" select="$text"/></xsl:call-template>
    </xsl:variable>
    <xsl:if test="$ok != 'yes'">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
        <xsl:with-param name="text" select="concat($what, ' &quot;', $text, '&quot; is not a number')"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The target must be new: no declared variable and no earlier target
       carries its name. -->
  <xsl:template name="check-target">
    <xsl:call-template name="check-kind"/>
    <xsl:variable name="key" select="translate(@target, $upper, $lower)"/>
    <xsl:variable name="declared" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
    <xsl:variable name="earlier"
      select="preceding-sibling::*[self::Recode or self::Compute][translate(@target, $upper, $lower) = $key][1]"/>
    <xsl:choose>
      <xsl:when test="$declared">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
          <xsl:with-param name="text" select="concat('the target redefines the variable &quot;', $declared/@name, '&quot; declared in entry ', count($declared/preceding-sibling::*) + 1)"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$earlier">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
          <xsl:with-param name="text" select="concat('the target redefines the variable &quot;', $earlier/@target, '&quot; defined by entry ', count($earlier/preceding-sibling::*) + 1)"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Recode" mode="check">
    <xsl:call-template name="check-target"/>
    <xsl:variable name="source">
      <xsl:call-template name="lookup">
        <xsl:with-param name="name" select="@source"/>
        <xsl:with-param name="at" select="."/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="sourceType" select="substring-before($source, ':')"/>
    <xsl:variable name="targetType" select="@type"/>
    <xsl:if test="$source = ''">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
        <xsl:with-param name="text" select="concat('the source &quot;', @source, '&quot; is neither declared nor defined by an earlier entry')"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:if test="not(Rule)">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
        <xsl:with-param name="text" select="'the recode has no Rule'"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:for-each select="*">
      <xsl:variable name="rule" select="concat('rule ', position(), ': ')"/>
      <xsl:variable name="inputs" select="Value | Range | SystemMissing | Missing | Else"/>
      <xsl:variable name="outputs" select="To | ToCopy | ToSystemMissing"/>
      <xsl:choose>
        <xsl:when test="not(self::Rule)">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat('unexpected &lt;', name(), '&gt;; a recode holds only Rule elements')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="*[not(self::Value or self::Range or self::SystemMissing or self::Missing or self::Else
                              or self::To or self::ToCopy or self::ToSystemMissing)]">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'unexpected &lt;', name(*[not(self::Value or self::Range or self::SystemMissing or self::Missing or self::Else or self::To or self::ToCopy or self::ToSystemMissing)]), '&gt;')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="not($inputs) or count($outputs) != 1">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'a rule needs at least one input and exactly one of To, ToCopy, ToSystemMissing')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$sourceType = 'string' and Range">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'a string source takes no Range')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$sourceType = 'string' and SystemMissing">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'a string source has no system-missing value; use Missing')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="ToCopy and $sourceType != $targetType">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'ToCopy needs source and target of one type, here ', $sourceType, ' into ', $targetType)"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="ToSystemMissing and $targetType = 'string'">
          <xsl:call-template name="fail">
            <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
            <xsl:with-param name="text" select="concat($rule, 'a string target has no system-missing value')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$targetType = 'string' and To">
          <xsl:variable name="result">
            <xsl:call-template name="trimmed"><xsl:with-param name="text" select="To/@value"/></xsl:call-template>
          </xsl:variable>
          <xsl:if test="string-length($result) &gt; ../@width">
            <xsl:call-template name="fail">
              <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
              <xsl:with-param name="text" select="concat($rule, 'the value &quot;', To/@value, '&quot; does not fit the width ', ../@width)"/>
            </xsl:call-template>
          </xsl:if>
        </xsl:when>
      </xsl:choose>
      <xsl:if test="$sourceType = 'numeric'">
        <xsl:for-each select="Value">
          <xsl:call-template name="check-number">
            <xsl:with-param name="text" select="@value"/>
            <xsl:with-param name="what" select="concat($rule, 'value')"/>
          </xsl:call-template>
        </xsl:for-each>
        <xsl:for-each select="Range">
          <xsl:call-template name="check-range"/>
        </xsl:for-each>
      </xsl:if>
      <xsl:if test="$targetType = 'numeric'">
        <xsl:for-each select="To">
          <xsl:call-template name="check-number">
            <xsl:with-param name="text" select="@value"/>
            <xsl:with-param name="what" select="concat($rule, 'result')"/>
          </xsl:call-template>
        </xsl:for-each>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <xsl:template match="Compute" mode="check">
    <xsl:call-template name="check-target"/>
    <xsl:if test="count(*) != 1">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
        <xsl:with-param name="text" select="'a compute holds exactly one expression'"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:apply-templates select="*" mode="check-expression">
      <xsl:with-param name="at" select="."/>
    </xsl:apply-templates>
  </xsl:template>

  <xsl:template match="*" mode="check-expression">
    <xsl:call-template name="fail">
      <xsl:with-param name="code" select="'CVT_ConvertErr:'"/>
      <xsl:with-param name="text" select="concat('unexpected &lt;', name(), '&gt; in the expression; expected Apply, Field, Number or String')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="Apply" mode="check-expression">
    <xsl:param name="at"/>
    <xsl:variable name="arity" select="substring-before(substring-after($functions, concat('|', @function, ',')), '|')"/>
    <xsl:variable name="least" select="substring-before($arity, ',')"/>
    <xsl:variable name="most" select="substring-after($arity, ',')"/>
    <xsl:variable name="count" select="count(*)"/>
    <xsl:choose>
      <xsl:when test="$arity = '' or contains(@function, '|') or contains(@function, ',')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_FuncErr:'"/>
          <xsl:with-param name="text" select="concat('unknown function &quot;', @function, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$count &lt; $least or ($most != 'n' and $count &gt; $most)">
        <xsl:variable name="expected">
          <xsl:choose>
            <xsl:when test="$least = $most"><xsl:value-of select="$least"/></xsl:when>
            <xsl:when test="$most = 'n'"><xsl:value-of select="concat($least, ' or more')"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="concat($least, ' to ', $most)"/></xsl:otherwise>
          </xsl:choose>
        </xsl:variable>
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_FuncErr:'"/>
          <xsl:with-param name="text" select="concat('function &quot;', @function, '&quot; takes ', $expected, ' arguments, not ', $count)"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
    <xsl:apply-templates select="*" mode="check-expression">
      <xsl:with-param name="at" select="$at"/>
    </xsl:apply-templates>
  </xsl:template>

  <xsl:template match="Field" mode="check-expression">
    <xsl:param name="at"/>
    <xsl:variable name="found">
      <xsl:call-template name="lookup">
        <xsl:with-param name="name" select="@name"/>
        <xsl:with-param name="at" select="$at"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:if test="$found = ''">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
        <xsl:with-param name="text" select="concat('the field &quot;', @name, '&quot; is neither declared nor defined by an earlier entry')"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template match="Number" mode="check-expression">
    <xsl:call-template name="check-number">
      <xsl:with-param name="text" select="@value"/>
      <xsl:with-param name="what" select="'the number'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="String" mode="check-expression"/>

  <!-- ================================================================== -->
  <!-- DataDictionary                                                      -->
  <!-- ================================================================== -->

  <xsl:template name="string-length-extension">
    <xsl:if test="@type = 'string'">
      <Extension extender="{$extender}" name="stringLength" value="{@width}"/>
    </xsl:if>
  </xsl:template>

  <!-- A declared variable: its user-missing values become Value elements
       with property "missing"; a missing range becomes the extensions
       invalidRangeLower / invalidRangeUpper, unbounded ends written as the
       largest double. -->
  <xsl:template match="Variable" mode="data-field">
    <DataField name="{@name}">
      <xsl:if test="@label">
        <xsl:attribute name="displayName"><xsl:value-of select="@label"/></xsl:attribute>
      </xsl:if>
      <xsl:attribute name="optype">
        <xsl:call-template name="optype"><xsl:with-param name="level" select="@level"/></xsl:call-template>
      </xsl:attribute>
      <xsl:attribute name="dataType">
        <xsl:call-template name="data-type"><xsl:with-param name="type" select="@type"/></xsl:call-template>
      </xsl:attribute>
      <xsl:call-template name="string-length-extension"/>
      <xsl:for-each select="MissingRange">
        <Extension extender="{$extender}" name="invalidRangeLower">
          <xsl:attribute name="value">
            <xsl:choose>
              <xsl:when test="@low = 'LOWEST'"><xsl:value-of select="$lowestNumber"/></xsl:when>
              <xsl:otherwise><xsl:value-of select="@low"/></xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
        </Extension>
        <Extension extender="{$extender}" name="invalidRangeUpper">
          <xsl:attribute name="value">
            <xsl:choose>
              <xsl:when test="@high = 'HIGHEST'"><xsl:value-of select="$highestNumber"/></xsl:when>
              <xsl:otherwise><xsl:value-of select="@high"/></xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
        </Extension>
      </xsl:for-each>
      <xsl:for-each select="Missing">
        <xsl:variable name="value">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="@value"/></xsl:call-template>
        </xsl:variable>
        <Value value="{$value}" property="missing"/>
      </xsl:for-each>
    </DataField>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- TransformationDictionary                                            -->
  <!-- ================================================================== -->

  <xsl:template name="derived-field-start">
    <xsl:attribute name="name"><xsl:value-of select="@target"/></xsl:attribute>
    <xsl:if test="@label">
      <xsl:attribute name="displayName"><xsl:value-of select="@label"/></xsl:attribute>
    </xsl:if>
    <xsl:attribute name="optype">
      <xsl:call-template name="optype"><xsl:with-param name="level" select="@level"/></xsl:call-template>
    </xsl:attribute>
    <xsl:attribute name="dataType">
      <xsl:call-template name="data-type"><xsl:with-param name="type" select="@type"/></xsl:call-template>
    </xsl:attribute>
    <xsl:call-template name="string-length-extension"/>
  </xsl:template>

  <!-- Compute: the expression tree maps one to one onto PMML. -->
  <xsl:template match="Compute" mode="derived-field">
    <DerivedField>
      <xsl:call-template name="derived-field-start"/>
      <xsl:variable name="longest">
        <xsl:apply-templates select="*" mode="longest">
          <xsl:with-param name="at" select="."/>
        </xsl:apply-templates>
      </xsl:variable>
      <xsl:variable name="expression">
        <xsl:apply-templates select="*" mode="expression">
          <xsl:with-param name="at" select="."/>
        </xsl:apply-templates>
      </xsl:variable>
      <xsl:variable name="blankDefault">
        <xsl:apply-templates select="*" mode="expression">
          <xsl:with-param name="at" select="."/>
          <xsl:with-param name="blankDefault" select="@type = 'string'"/>
          <xsl:with-param name="tail" select="@type = 'string'"/>
        </xsl:apply-templates>
      </xsl:variable>
      <xsl:variable name="tailed">
        <xsl:apply-templates select="*" mode="expression">
          <xsl:with-param name="at" select="."/>
          <xsl:with-param name="tail" select="true()"/>
        </xsl:apply-templates>
      </xsl:variable>
      <xsl:variable name="ends">
        <xsl:apply-templates select="xalan:nodeset($tailed)/*" mode="written-ends"/>
      </xsl:variable>
      <xsl:choose>
        <!-- A string result is cut to the target's width, without the
             blanks the cut can end in. -->
        <xsl:when test="@type = 'string' and not(number($longest) &lt;= number(@width))">
          <Apply function="replace" defaultValue="">
            <Apply function="substring">
              <xsl:copy-of select="$expression"/>
              <Constant dataType="integer">1</Constant>
              <Constant dataType="integer"><xsl:value-of select="@width"/></Constant>
            </Apply>
            <Constant dataType="string"> +$</Constant>
            <Constant dataType="string"></Constant>
          </Apply>
        </xsl:when>
        <!-- Nor does a string result end in a blank where the PMML's can. -->
        <xsl:when test="@type = 'string' and contains($ends, 'b')">
          <Apply function="replace" defaultValue="">
            <xsl:copy-of select="$tailed"/>
            <Constant dataType="string"> +$</Constant>
            <Constant dataType="string"></Constant>
          </Apply>
        </xsl:when>
        <xsl:otherwise><xsl:copy-of select="$blankDefault"/></xsl:otherwise>
      </xsl:choose>
    </DerivedField>
  </xsl:template>

  <!-- Over the PMML written for an expression: "b" where its value can end
       in a blank, "x" where it is never the empty string. A field's value
       never ends in a blank. -->
  <xsl:template match="*" mode="written-ends"/>

  <xsl:template match="Constant" mode="written-ends">
    <xsl:if test="@dataType = 'string' and substring(., string-length(.)) = ' '">b</xsl:if>
    <xsl:if test="string(.) != ''">x</xsl:if>
  </xsl:template>

  <xsl:template match="Apply" mode="written-ends">
    <xsl:variable name="args">
      <xsl:for-each select="*">
        <Arg>
          <xsl:variable name="marks"><xsl:apply-templates select="." mode="written-ends"/></xsl:variable>
          <xsl:if test="contains($marks, 'b')"><xsl:attribute name="b">b</xsl:attribute></xsl:if>
          <xsl:if test="contains($marks, 'x')"><xsl:attribute name="x">x</xsl:attribute></xsl:if>
        </Arg>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="a" select="xalan:nodeset($args)/Arg"/>
    <xsl:choose>
      <xsl:when test="@function = 'concat'">
        <xsl:if test="$a[@b][not(following-sibling::Arg[@x])]">b</xsl:if>
        <xsl:if test="$a[@x]">x</xsl:if>
      </xsl:when>
      <xsl:when test="@function = 'uppercase' or @function = 'lowercase'">
        <xsl:value-of select="concat($a[1]/@b, $a[1]/@x)"/>
      </xsl:when>
      <xsl:when test="@function = 'if' and $a[position() &gt; 1][@b]">b</xsl:when>
      <xsl:when test="@function = 'substring'">
        <xsl:if test="not(*[1][self::Constant][not(contains(., ' '))])">b</xsl:if>
        <xsl:if test="$a[1][@x] and number(*[2][self::Constant]) = 1 and number(*[3][self::Constant]) &gt;= 1">x</xsl:if>
      </xsl:when>
      <xsl:when test="@function = 'replace' or @function = 'formatNumber'">b</xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- The width of the string variable $name seen from $at, or nothing. -->
  <xsl:template name="string-width">
    <xsl:param name="name"/>
    <xsl:param name="at"/>
    <xsl:variable name="key" select="translate($name, $upper, $lower)"/>
    <xsl:variable name="declared" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
    <xsl:variable name="derived"
      select="$at/preceding-sibling::*[self::Recode or self::Compute][translate(@target, $upper, $lower) = $key][1]"/>
    <xsl:choose>
      <xsl:when test="$declared"><xsl:value-of select="$declared[@type = 'string']/@width"/></xsl:when>
      <xsl:otherwise><xsl:value-of select="$derived[@type = 'string']/@width"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The most characters a string expression's host value can have, NaN
       where unknown. -->
  <xsl:template match="*" mode="longest">NaN</xsl:template>

  <xsl:template match="String" mode="longest">
    <xsl:value-of select="string-length(@value)"/>
  </xsl:template>

  <xsl:template match="Field" mode="longest">
    <xsl:param name="at"/>
    <xsl:variable name="width">
      <xsl:call-template name="string-width">
        <xsl:with-param name="name" select="@name"/>
        <xsl:with-param name="at" select="$at"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:value-of select="number($width)"/>
  </xsl:template>

  <xsl:template match="Apply" mode="longest">
    <xsl:param name="at"/>
    <xsl:variable name="parts">
      <xsl:for-each select="*">
        <Part>
          <xsl:apply-templates select="." mode="longest">
            <xsl:with-param name="at" select="$at"/>
          </xsl:apply-templates>
        </Part>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="n" select="xalan:nodeset($parts)/Part"/>
    <xsl:choose>
      <xsl:when test="@function = 'uppercase' or @function = 'lowercase' or @function = 'trimBlanks'">
        <xsl:value-of select="number($n[1])"/>
      </xsl:when>
      <xsl:when test="@function = 'concat'">
        <xsl:value-of select="sum($n)"/>
      </xsl:when>
      <xsl:when test="@function = 'substring' and *[3][self::Number]">
        <xsl:variable name="length" select="number(*[3]/@value)"/>
        <xsl:choose>
          <xsl:when test="$length &lt; 0">0</xsl:when>
          <xsl:when test="number($n[1]) &lt; $length"><xsl:value-of select="number($n[1])"/></xsl:when>
          <xsl:otherwise><xsl:value-of select="$length"/></xsl:otherwise>
        </xsl:choose>
      </xsl:when>
      <xsl:when test="@function = 'substring'">
        <xsl:value-of select="number($n[1])"/>
      </xsl:when>
      <xsl:when test="@function = 'if'">
        <xsl:variable name="else" select="number(concat($n[3], substring('0', 1, not($n[3]) * 1)))"/>
        <xsl:choose>
          <xsl:when test="number($n[2]) &lt; $else"><xsl:value-of select="$else"/></xsl:when>
          <xsl:when test="number($n[2]) &gt;= $else"><xsl:value-of select="number($n[2])"/></xsl:when>
          <xsl:otherwise>NaN</xsl:otherwise>
        </xsl:choose>
      </xsl:when>
      <xsl:otherwise>NaN</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Arguments whose blanks the host keeps ($padded): what precedes another
       argument of a concat, and the strings a function passes on from such
       an argument with their blanks. -->
  <xsl:template match="Apply" mode="expression">
    <xsl:param name="at"/>
    <xsl:param name="padded" select="false()"/>
    <xsl:param name="blankDefault" select="false()"/>
    <xsl:param name="tail" select="false()"/>
    <xsl:variable name="function" select="@function"/>
    <Apply function="{@function}">
      <xsl:if test="contains($invalidFunctions, concat('|', @function, '|'))">
        <xsl:attribute name="invalidValueTreatment">asMissing</xsl:attribute>
      </xsl:if>
      <!-- A missing number formats as blanks in the host. -->
      <xsl:if test="@function = 'formatNumber'">
        <xsl:attribute name="mapMissingTo"/>
      </xsl:if>
      <xsl:variable name="stringIf">
        <xsl:if test="@function = 'if'">
          <xsl:apply-templates select="*[2]" mode="is-string">
            <xsl:with-param name="at" select="$at"/>
          </xsl:apply-templates>
        </xsl:if>
      </xsl:variable>
      <!-- A string "if" whose condition fails or is missing leaves its
           value blank in the host, as a new string variable starts. -->
      <xsl:if test="$blankDefault or string($stringIf) = 'true'">
        <xsl:attribute name="defaultValue"/>
      </xsl:if>
      <xsl:for-each select="*">
        <xsl:apply-templates select="." mode="expression">
          <xsl:with-param name="at" select="$at"/>
          <xsl:with-param name="padded"
            select="($function = 'concat' and (position() != last() or $padded))
                    or ($padded and position() = 1
                        and ($function = 'uppercase' or $function = 'lowercase' or $function = 'substring'))
                    or ($padded and position() &gt; 1 and $function = 'if')"/>
          <xsl:with-param name="tail"
            select="$tail and (($function = 'concat' and position() = last())
                               or (position() = 1 and ($function = 'uppercase' or $function = 'lowercase'))
                               or (position() &gt; 1 and $function = 'if'))"/>
        </xsl:apply-templates>
      </xsl:for-each>
    </Apply>
  </xsl:template>

  <xsl:template match="Field" mode="expression">
    <xsl:param name="at"/>
    <xsl:param name="padded" select="false()"/>
    <xsl:variable name="found">
      <xsl:call-template name="lookup">
        <xsl:with-param name="name" select="@name"/>
        <xsl:with-param name="at" select="$at"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="width">
      <xsl:call-template name="string-width">
        <xsl:with-param name="name" select="@name"/>
        <xsl:with-param name="at" select="$at"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$padded and string($width) != ''">
        <Apply function="substring">
          <Apply function="concat">
            <FieldRef field="{substring-after($found, ':')}"/>
            <Constant dataType="string">
              <xsl:call-template name="blanks"><xsl:with-param name="count" select="$width"/></xsl:call-template>
            </Constant>
          </Apply>
          <Constant dataType="integer">1</Constant>
          <Constant dataType="integer"><xsl:value-of select="$width"/></Constant>
        </Apply>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="field-value">
          <xsl:with-param name="field" select="substring-after($found, ':')"/>
          <xsl:with-param name="range"
            select="$entries[self::Variable][translate(@name, $upper, $lower) = translate(current()/@name, $upper, $lower)][1]/MissingRange"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A value inside a missing range is missing in a compute; the range's
       extensions mean nothing to a standard consumer, so test it. -->
  <xsl:template name="field-value">
    <xsl:param name="field"/>
    <xsl:param name="range"/>
    <xsl:variable name="low">
      <Apply function="lessThan">
        <FieldRef field="{$field}"/>
        <Constant dataType="double"><xsl:value-of select="$range/@low"/></Constant>
      </Apply>
    </xsl:variable>
    <xsl:variable name="high">
      <Apply function="greaterThan">
        <FieldRef field="{$field}"/>
        <Constant dataType="double"><xsl:value-of select="$range/@high"/></Constant>
      </Apply>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="not($range)"><FieldRef field="{$field}"/></xsl:when>
      <xsl:otherwise>
        <Apply function="if">
          <xsl:choose>
            <xsl:when test="$range/@low = 'LOWEST' and $range/@high = 'HIGHEST'">
              <Apply function="isMissing"><FieldRef field="{$field}"/></Apply>
            </xsl:when>
            <xsl:when test="$range/@low = 'LOWEST'"><xsl:copy-of select="$high"/></xsl:when>
            <xsl:when test="$range/@high = 'HIGHEST'"><xsl:copy-of select="$low"/></xsl:when>
            <xsl:otherwise>
              <Apply function="or"><xsl:copy-of select="$low"/><xsl:copy-of select="$high"/></Apply>
            </xsl:otherwise>
          </xsl:choose>
          <FieldRef field="{$field}"/>
        </Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="blanks">
    <xsl:param name="count"/>
    <xsl:if test="$count &gt; 0"><xsl:text> </xsl:text><xsl:call-template name="blanks"><xsl:with-param name="count" select="$count - 1"/></xsl:call-template></xsl:if>
  </xsl:template>

  <!-- "true" for an expression whose value is a string. -->
  <xsl:template match="*" mode="is-string"/>

  <xsl:template match="String" mode="is-string">true</xsl:template>

  <xsl:template match="Field" mode="is-string">
    <xsl:param name="at"/>
    <xsl:variable name="width">
      <xsl:call-template name="string-width">
        <xsl:with-param name="name" select="@name"/>
        <xsl:with-param name="at" select="$at"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:if test="string($width) != ''">true</xsl:if>
  </xsl:template>

  <xsl:template match="Apply" mode="is-string">
    <xsl:param name="at"/>
    <xsl:choose>
      <xsl:when test="@function = 'if'">
        <xsl:apply-templates select="*[2]" mode="is-string">
          <xsl:with-param name="at" select="$at"/>
        </xsl:apply-templates>
      </xsl:when>
      <xsl:when test="contains('|concat|substring|uppercase|lowercase|trimBlanks|replace|formatNumber|',
                               concat('|', @function, '|'))">true</xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Number" mode="expression">
    <Constant dataType="double"><xsl:value-of select="@value"/></Constant>
  </xsl:template>

  <!-- A constant that ends a string target's value ($tail) is written
       without the trailing blanks, which the host drops. -->
  <xsl:template match="String" mode="expression">
    <xsl:param name="tail" select="false()"/>
    <Constant dataType="string">
      <xsl:choose>
        <xsl:when test="$tail">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="@value"/></xsl:call-template>
        </xsl:when>
        <xsl:otherwise><xsl:value-of select="@value"/></xsl:otherwise>
      </xsl:choose>
    </Constant>
  </xsl:template>

  <!-- Recode: a Discretize for a numeric source, a MapValues for a string
       source, wrapped in an "if" where copies or system-missing results
       cannot be said with the table alone. -->
  <xsl:template match="Recode" mode="derived-field">
    <xsl:variable name="found">
      <xsl:call-template name="lookup">
        <xsl:with-param name="name" select="@source"/>
        <xsl:with-param name="at" select="."/>
      </xsl:call-template>
    </xsl:variable>
    <DerivedField>
      <xsl:call-template name="derived-field-start"/>
      <xsl:choose>
        <xsl:when test="substring-before($found, ':') = 'numeric'">
          <xsl:call-template name="numeric-recode">
            <xsl:with-param name="source" select="substring-after($found, ':')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="string-recode">
            <xsl:with-param name="source" select="substring-after($found, ':')"/>
          </xsl:call-template>
        </xsl:otherwise>
      </xsl:choose>
    </DerivedField>
  </xsl:template>

  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->
  <!-- Numeric recode                                                      -->
  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->

  <!-- The one call of the extension function: resolves the recode items in
       $items and writes the Extension and DiscretizeBin elements it returns. -->
  <xsl:template name="resolve-intervals">
    <xsl:param name="items"/>
    <xsl:copy-of select="xalan:intervals($items)"/>
  </xsl:template>

  <xsl:template name="interval-of">
    <xsl:param name="low"/>
    <xsl:param name="high"/>
    <Interval closure="closedClosed">
      <xsl:if test="$low != 'LOWEST'">
        <xsl:attribute name="leftMargin"><xsl:value-of select="$low"/></xsl:attribute>
      </xsl:if>
      <xsl:if test="$high != 'HIGHEST'">
        <xsl:attribute name="rightMargin"><xsl:value-of select="$high"/></xsl:attribute>
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
    <xsl:variable name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    <xsl:variable name="low" select="@low | @value"/>
    <xsl:variable name="high" select="@high | @value"/>
    <xsl:variable name="interval">
      <xsl:call-template name="interval-of">
        <xsl:with-param name="low" select="$low"/>
        <xsl:with-param name="high" select="$high"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="result">
      <xsl:call-template name="trimmed"><xsl:with-param name="text" select="$out/@value"/></xsl:call-template>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="$out/self::To">
        <DiscretizeBin binValue="{$result}"><xsl:copy-of select="$interval"/></DiscretizeBin>
      </xsl:when>
      <xsl:when test="$out/self::ToCopy and self::Value">
        <DiscretizeBin binValue="{@value}"><xsl:copy-of select="$interval"/></DiscretizeBin>
      </xsl:when>
      <xsl:when test="$out/self::ToCopy">
        <Extension name="recodeRangeCopy"><xsl:copy-of select="$interval"/></Extension>
      </xsl:when>
      <xsl:otherwise>
        <Extension name="recodeRangeSysmis"><xsl:copy-of select="$interval"/></Extension>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="SystemMissing | Missing | Else" mode="recode-item">
    <xsl:variable name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    <xsl:variable name="key">
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
    </xsl:variable>
    <Extension name="{$key}">
      <xsl:if test="$out/self::To">
        <xsl:attribute name="value">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="$out/@value"/></xsl:call-template>
        </xsl:attribute>
      </xsl:if>
    </Extension>
  </xsl:template>

  <xsl:template name="numeric-recode">
    <xsl:param name="source"/>
    <xsl:variable name="key" select="translate($source, $upper, $lower)"/>
    <!-- The rules' items in order, then the source's missing values. -->
    <xsl:variable name="recodeItems">
      <xsl:apply-templates select="Rule/Value | Rule/Range | Rule/SystemMissing | Rule/Missing | Rule/Else"
                           mode="recode-item"/>
      <xsl:variable name="declared" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
      <xsl:choose>
        <xsl:when test="$declared">
          <xsl:apply-templates select="$declared" mode="data-field"/>
        </xsl:when>
        <xsl:otherwise>
          <DataField name="{$source}"/>
        </xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="resolvedTree">
      <xsl:call-template name="resolve-intervals">
        <xsl:with-param name="items" select="xalan:nodeset($recodeItems)/*"/>
      </xsl:call-template>
    </xsl:variable>
    <xsl:variable name="resolved" select="xalan:nodeset($resolvedTree)/*"/>
    <xsl:variable name="keys" select="$resolved[self::Extension]"/>
    <xsl:variable name="dataType">
      <xsl:call-template name="data-type"><xsl:with-param name="type" select="@type"/></xsl:call-template>
    </xsl:variable>

    <!-- A standard consumer sees system-missing and user-missing input alike
         as missing: it gets the system-missing result, or a remaining
         missing-values result. -->
    <xsl:variable name="decider"
      select="$keys[@name = 'mapSysmisTo' or @name = 'recodeSysmisCopy' or @name = 'mapMissingTo'
                    or @name = 'recodeMissingCopy' or @name = 'recodeMissingSysmis'][1]"/>
    <xsl:variable name="missingTo" select="$decider[@name = 'mapSysmisTo' or @name = 'mapMissingTo']"/>
    <xsl:variable name="elseKey" select="$keys[@name = 'mapElseTo' or @name = 'recodeElseCopy' or @name = 'recodeElseSysmis'][1]"/>

    <!-- The intervals whose values are copied or made system-missing: the
         ranges recoded so, and the parts of the source's missing range that
         a Missing rule copies (recodeIntervalCopy) or makes system-missing
         (recodeTargetSysmis). A consumer does not know a missing range as
         missing, so its values need the test to come out as the rules say;
         a discrete missing value is declared missing in the DataDictionary
         and comes out missing either way, so it needs none. -->
    <xsl:variable name="missingValues"
      select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]/Missing"/>
    <xsl:variable name="tests">
      <Sysmis>
        <xsl:for-each select="$keys[@name = 'recodeRangeSysmis' or @name = 'recodeTargetSysmis']/Interval">
          <xsl:call-template name="interval-test-unless-declared">
            <xsl:with-param name="field" select="$source"/>
            <xsl:with-param name="missingValues" select="$missingValues"/>
          </xsl:call-template>
        </xsl:for-each>
      </Sysmis>
      <Copy>
        <xsl:for-each select="$keys[@name = 'recodeRangeCopy' or @name = 'recodeIntervalCopy']/Interval">
          <xsl:call-template name="interval-test-unless-declared">
            <xsl:with-param name="field" select="$source"/>
            <xsl:with-param name="missingValues" select="$missingValues"/>
          </xsl:call-template>
        </xsl:for-each>
      </Copy>
    </xsl:variable>

    <xsl:variable name="core">
      <Discretize field="{$source}" dataType="{$dataType}">
        <xsl:if test="$missingTo">
          <xsl:attribute name="mapMissingTo"><xsl:value-of select="$missingTo/@value"/></xsl:attribute>
        </xsl:if>
        <xsl:if test="not($missingTo) and $dataType = 'string'">
          <xsl:attribute name="mapMissingTo"/>
        </xsl:if>
        <xsl:copy-of select="$keys"/>
        <xsl:copy-of select="$resolved[self::DiscretizeBin]"/>
      </Discretize>
    </xsl:variable>

    <xsl:call-template name="assemble">
      <xsl:with-param name="core" select="xalan:nodeset($core)/*"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="dataType" select="$dataType"/>
      <xsl:with-param name="elseKind">
        <xsl:choose>
          <xsl:when test="$elseKey/@name = 'mapElseTo'">value</xsl:when>
          <xsl:when test="$elseKey/@name = 'recodeElseCopy'">copy</xsl:when>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="elseValue" select="string($elseKey/@value)"/>
      <xsl:with-param name="sysmisTests" select="xalan:nodeset($tests)/Sysmis/*"/>
      <xsl:with-param name="copyTests" select="xalan:nodeset($tests)/Copy/*"/>
    </xsl:call-template>
  </xsl:template>

  <!-- interval-test, except for the Interval of a missing-values key that
       is just one of the source's discrete missing values. -->
  <xsl:template name="interval-test-unless-declared">
    <xsl:param name="field"/>
    <xsl:param name="missingValues"/>
    <xsl:variable name="point" select="string(@leftMargin) != '' and number(@leftMargin) = number(@rightMargin)"/>
    <xsl:if test="not((../@name = 'recodeIntervalCopy' or ../@name = 'recodeTargetSysmis') and $point
                      and $missingValues[number(@value) = number(current()/@leftMargin)])">
      <xsl:call-template name="interval-test"><xsl:with-param name="field" select="$field"/></xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- A condition that holds when $field lies in the context Interval. -->
  <xsl:template name="interval-test">
    <xsl:param name="field"/>
    <xsl:variable name="left">
      <xsl:if test="string(@leftMargin) != ''">
        <Apply>
          <xsl:attribute name="function">
            <xsl:choose>
              <xsl:when test="starts-with(@closure, 'closed')">greaterOrEqual</xsl:when>
              <xsl:otherwise>greaterThan</xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
          <FieldRef field="{$field}"/>
          <Constant dataType="double"><xsl:value-of select="@leftMargin"/></Constant>
        </Apply>
      </xsl:if>
    </xsl:variable>
    <xsl:variable name="right">
      <xsl:if test="string(@rightMargin) != ''">
        <Apply>
          <xsl:attribute name="function">
            <xsl:choose>
              <xsl:when test="substring(@closure, string-length(@closure) - 5) = 'Closed'">lessOrEqual</xsl:when>
              <xsl:otherwise>lessThan</xsl:otherwise>
            </xsl:choose>
          </xsl:attribute>
          <FieldRef field="{$field}"/>
          <Constant dataType="double"><xsl:value-of select="@rightMargin"/></Constant>
        </Apply>
      </xsl:if>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="@closure = 'closedClosed' and string(@leftMargin) != '' and @leftMargin = @rightMargin">
        <Apply function="equal">
          <FieldRef field="{$field}"/>
          <Constant dataType="double"><xsl:value-of select="@leftMargin"/></Constant>
        </Apply>
      </xsl:when>
      <xsl:when test="string(@leftMargin) != '' and string(@rightMargin) != ''">
        <Apply function="and"><xsl:copy-of select="$left"/><xsl:copy-of select="$right"/></Apply>
      </xsl:when>
      <xsl:when test="string(@leftMargin) != ''"><xsl:copy-of select="$left"/></xsl:when>
      <xsl:when test="string(@rightMargin) != ''"><xsl:copy-of select="$right"/></xsl:when>
      <xsl:otherwise>
        <Apply function="isNotMissing"><FieldRef field="{$field}"/></Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- Writes the recode's expression around $core (a Discretize or
       MapValues without defaultValue).
       - Nothing else to say: $core alone, with defaultValue for an else
         value.
       - Otherwise: if(isNotMissing(core), core, rest), where rest gives
         the source for the copy conditions, missing for the system-missing
         conditions, and the else result (value, copy or missing) for all
         other values. -->
  <xsl:template name="assemble">
    <xsl:param name="core"/>
    <xsl:param name="source"/>
    <xsl:param name="dataType"/>
    <xsl:param name="elseKind"/>
    <xsl:param name="elseValue"/>
    <xsl:param name="sysmisTests"/>
    <xsl:param name="copyTests"/>
    <xsl:param name="cut" select="''"/>
    <xsl:variable name="elseExpr">
      <xsl:choose>
        <xsl:when test="$elseKind = 'value'">
          <Constant dataType="{$dataType}"><xsl:value-of select="$elseValue"/></Constant>
        </xsl:when>
        <xsl:when test="$elseKind = 'copy' and $cut != ''">
          <Apply function="replace">
            <Apply function="substring">
              <FieldRef field="{$source}"/>
              <Constant dataType="integer">1</Constant>
              <Constant dataType="integer"><xsl:value-of select="$cut"/></Constant>
            </Apply>
            <Constant dataType="string"> +$</Constant>
            <Constant dataType="string"></Constant>
          </Apply>
        </xsl:when>
        <xsl:when test="$elseKind = 'copy'">
          <FieldRef field="{$source}"/>
        </xsl:when>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="afterCopy">
      <xsl:choose>
        <xsl:when test="$copyTests">
          <Apply function="if">
            <xsl:call-template name="any-of"><xsl:with-param name="tests" select="$copyTests"/></xsl:call-template>
            <FieldRef field="{$source}"/>
            <xsl:copy-of select="$elseExpr"/>
          </Apply>
        </xsl:when>
        <xsl:otherwise><xsl:copy-of select="$elseExpr"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:variable name="unguarded">
      <xsl:choose>
        <xsl:when test="$sysmisTests and xalan:nodeset($elseExpr)/*">
          <!-- Only an else result can reach a system-missing value here: the
               resolved copy intervals do not overlap the system-missing ones.
               "if" without else gives missing when its condition fails. -->
          <Apply function="if">
            <Apply function="not">
              <xsl:call-template name="any-of"><xsl:with-param name="tests" select="$sysmisTests"/></xsl:call-template>
            </Apply>
            <xsl:copy-of select="$afterCopy"/>
          </Apply>
        </xsl:when>
        <xsl:otherwise><xsl:copy-of select="$afterCopy"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <!-- A missing input the core leaves missing stays missing: a whole-range
         test (isNotMissing) would let it through to an else value. -->
    <xsl:variable name="rest">
      <xsl:choose>
        <xsl:when test="not($core/@mapMissingTo) and $elseKind = 'value'
                        and ($sysmisTests | $copyTests)[self::Apply][@function = 'isNotMissing']">
          <Apply function="if">
            <Apply function="isNotMissing"><FieldRef field="{$source}"/></Apply>
            <xsl:copy-of select="$unguarded"/>
          </Apply>
        </xsl:when>
        <xsl:otherwise><xsl:copy-of select="$unguarded"/></xsl:otherwise>
      </xsl:choose>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="not(xalan:nodeset($rest)/*) and $dataType = 'string'">
        <!-- Values no rule matches leave a string target blank. -->
        <xsl:for-each select="$core">
          <xsl:copy>
            <xsl:copy-of select="@*"/>
            <xsl:attribute name="defaultValue"/>
            <xsl:copy-of select="node()"/>
          </xsl:copy>
        </xsl:for-each>
      </xsl:when>
      <xsl:when test="not(xalan:nodeset($rest)/*)">
        <xsl:copy-of select="$core"/>
      </xsl:when>
      <xsl:when test="$elseKind = 'value' and not($sysmisTests) and not($copyTests)">
        <xsl:for-each select="$core">
          <xsl:copy>
            <xsl:copy-of select="@*"/>
            <xsl:attribute name="defaultValue"><xsl:value-of select="$elseValue"/></xsl:attribute>
            <xsl:copy-of select="node()"/>
          </xsl:copy>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <Apply function="if">
          <Apply function="isNotMissing"><xsl:copy-of select="$core"/></Apply>
          <xsl:copy-of select="$core"/>
          <xsl:copy-of select="$rest"/>
        </Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="any-of">
    <xsl:param name="tests"/>
    <xsl:choose>
      <xsl:when test="count($tests) = 1"><xsl:copy-of select="$tests"/></xsl:when>
      <xsl:otherwise><Apply function="or"><xsl:copy-of select="$tests"/></Apply></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->
  <!-- String recode                                                       -->
  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->

  <!-- The rules flattened into items in order: one per listed value, one per
       user-missing value of the source where a Missing input stands (so
       that the first match decides for them too), a marker for Missing and
       one for Else. -->
  <xsl:template name="string-item">
    <xsl:param name="kind"/>
    <xsl:param name="value"/>
    <xsl:param name="out"/>
    <Item kind="{$kind}" out="{local-name($out)}">
      <xsl:if test="$kind = 'value'">
        <xsl:attribute name="value">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="$value"/></xsl:call-template>
        </xsl:attribute>
      </xsl:if>
      <xsl:attribute name="result">
        <xsl:call-template name="trimmed"><xsl:with-param name="text" select="$out/@value"/></xsl:call-template>
      </xsl:attribute>
    </Item>
  </xsl:template>

  <xsl:template match="Value" mode="string-item">
    <xsl:call-template name="string-item">
      <xsl:with-param name="kind" select="'value'"/>
      <xsl:with-param name="value" select="@value"/>
      <xsl:with-param name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="Missing" mode="string-item">
    <xsl:param name="declared"/>
    <xsl:variable name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    <xsl:for-each select="$declared/Missing">
      <xsl:call-template name="string-item">
        <xsl:with-param name="kind" select="'value'"/>
        <xsl:with-param name="value" select="@value"/>
        <xsl:with-param name="out" select="$out"/>
      </xsl:call-template>
    </xsl:for-each>
    <xsl:call-template name="string-item">
      <xsl:with-param name="kind" select="'missing'"/>
      <xsl:with-param name="out" select="$out"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="Else" mode="string-item">
    <xsl:call-template name="string-item">
      <xsl:with-param name="kind" select="'else'"/>
      <xsl:with-param name="out" select="../To | ../ToCopy | ../ToSystemMissing"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="string-recode">
    <xsl:param name="source"/>
    <xsl:variable name="key" select="translate($source, $upper, $lower)"/>
    <xsl:variable name="declared" select="$entries[self::Variable][translate(@name, $upper, $lower) = $key][1]"/>
    <!-- A copy into a narrower target is cut to the target's width. -->
    <xsl:variable name="definition"
      select="$declared | preceding-sibling::*[self::Recode or self::Compute][translate(@target, $upper, $lower) = $key][1][not($declared)]"/>
    <xsl:variable name="cut">
      <xsl:if test="$definition/@width &gt; @width"><xsl:value-of select="@width"/></xsl:if>
    </xsl:variable>
    <xsl:variable name="itemTree">
      <xsl:apply-templates select="Rule/Value | Rule/Missing | Rule/Else" mode="string-item">
        <xsl:with-param name="declared" select="$declared"/>
      </xsl:apply-templates>
    </xsl:variable>
    <xsl:variable name="items" select="xalan:nodeset($itemTree)/*"/>
    <!-- Values that match first: not listed before, and not after an Else. -->
    <xsl:variable name="firsts"
      select="$items[@kind = 'value'][not(preceding-sibling::Item[@kind = 'else'])]
                    [not(@value = preceding-sibling::Item[@kind = 'value']/@value)]"/>
    <xsl:variable name="missingItem" select="$items[@kind = 'missing' or @kind = 'else'][1]"/>
    <xsl:variable name="elseItem" select="$items[@kind = 'else'][1]"/>
    <xsl:variable name="dataType">
      <xsl:call-template name="data-type"><xsl:with-param name="type" select="@type"/></xsl:call-template>
    </xsl:variable>
    <xsl:variable name="tests">
      <xsl:for-each select="$firsts[@out = 'ToSystemMissing']">
        <Apply function="equal">
          <FieldRef field="{$source}"/>
          <Constant dataType="string"><xsl:value-of select="@value"/></Constant>
        </Apply>
      </xsl:for-each>
    </xsl:variable>
    <xsl:variable name="core">
      <MapValues outputColumn="out" dataType="{$dataType}">
        <xsl:if test="$missingItem/@out = 'To'">
          <xsl:attribute name="mapMissingTo"><xsl:value-of select="$missingItem/@result"/></xsl:attribute>
        </xsl:if>
        <xsl:if test="not($missingItem/@out = 'To') and $dataType = 'string'">
          <xsl:attribute name="mapMissingTo"/>
        </xsl:if>
        <FieldColumnPair field="{$source}" column="in"/>
        <InlineTable>
          <xsl:for-each select="$firsts[@out = 'To' or @out = 'ToCopy']">
            <row>
              <in><xsl:value-of select="@value"/></in>
              <out>
                <xsl:choose>
                  <xsl:when test="@out = 'To'"><xsl:value-of select="@result"/></xsl:when>
                  <xsl:when test="$cut != ''">
                    <xsl:call-template name="trimmed"><xsl:with-param name="text" select="substring(@value, 1, $cut)"/></xsl:call-template>
                  </xsl:when>
                  <xsl:otherwise><xsl:value-of select="@value"/></xsl:otherwise>
                </xsl:choose>
              </out>
            </row>
          </xsl:for-each>
        </InlineTable>
      </MapValues>
    </xsl:variable>
    <xsl:call-template name="assemble">
      <xsl:with-param name="core" select="xalan:nodeset($core)/*"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="dataType" select="$dataType"/>
      <xsl:with-param name="elseKind">
        <xsl:choose>
          <xsl:when test="$elseItem/@out = 'To'">value</xsl:when>
          <xsl:when test="$elseItem/@out = 'ToCopy'">copy</xsl:when>
        </xsl:choose>
      </xsl:with-param>
      <xsl:with-param name="elseValue" select="string($elseItem/@result)"/>
      <xsl:with-param name="sysmisTests" select="xalan:nodeset($tests)/*"/>
      <xsl:with-param name="copyTests" select="/.."/>
      <xsl:with-param name="cut" select="$cut"/>
    </xsl:call-template>
  </xsl:template>

</xsl:stylesheet>

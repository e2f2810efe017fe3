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
  version and Header/Application on the output, and the elements returned by
  xalan:intervals are in no namespace either. The text form of the library
  writes the output's text as it is made when the output is a PMML element
  whose first child is an empty Header, as written here; any other output
  is parsed back into a document first, which gives the same text, slower.

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

  <!-- The entries by name ignoring case, in document order, so that a lookup
       does not scan every entry. Key patterns cannot read variables, so the
       case mapping is spelt out. -->
  <xsl:key name="variable" match="/*/*[1]/Variable"
           use="translate(@name, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>
  <xsl:key name="target" match="/*/*[1]/Recode | /*/*[1]/Compute"
           use="translate(@target, 'ABCDEFGHIJKLMNOPQRSTUVWXYZ', 'abcdefghijklmnopqrstuvwxyz')"/>

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

  <!-- Functions whose result can be no real number (a division by zero, the
       logarithm of a number not above zero, the root of a negative one, an
       overflow): the host gives system-missing there, so their Apply says
       asMissing where PMML would give the invalid value. -->
  <xsl:variable name="invalidFunctions" select="'|+|-|*|/|sum|avg|median|product|log10|ln|sqrt|exp|pow|'"/>

  <!-- ================================================================== -->
  <!-- The document                                                        -->
  <!-- ================================================================== -->

  <xsl:template match="/">
    <!-- Each entry is checked just before its derived field is written, in
         entry order, so the first faulty entry stops the run with its message;
         whatever was written by then is dropped with the run. Writing the
         data fields first stops nothing. -->
    <PMML version="4.3">
      <Header description="Variable transformations"/>
      <DataDictionary>
        <!-- Paths rather than filters of $entries: the engine sorts a
             filtered node-set into document order node by node, in time
             that grows with the square of its size. -->
        <xsl:for-each select="/*/*[1]/Variable">
          <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
          <!-- The first of the name is the context node where the union of
               the two holds one node: no identifier strings are made. -->
          <xsl:if test="count(key('variable', $key)[1] | .) = 1">
            <xsl:apply-templates select="." mode="data-field"/>
          </xsl:if>
        </xsl:for-each>
      </DataDictionary>
      <TransformationDictionary>
        <xsl:apply-templates select="$entries" mode="derived-field"/>
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

  <!-- Stops the run with the message for the fault $text of $entry, the
       context's entry. $code: CVT_FuncErr: for a function call,
       CVT_ReVarsErr: for a variable name that is unknown or taken,
       CVT_ConvertErr: for any other fault. -->
  <xsl:template name="fail">
    <xsl:param name="code" select="'CVT_ConvertErr:'"/>
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

  <!-- The element that defines a variable seen from entry $at is its first
       declaration anywhere, or a recode or compute before $at that targets
       it; names match ignoring case. Targets are checked to be unique up to
       $at, so the first entry of the name is the only one before it, when it
       comes before it at all: a union lists its nodes in document order.
       The lookups below spell this out as node-set variables rather than
       calling a template that writes the answer, which would build a result
       tree fragment per lookup. -->

  <!-- The data type of the context entry. -->
  <xsl:template name="data-type">
    <xsl:choose>
      <xsl:when test="@type = 'string'">string</xsl:when>
      <xsl:otherwise>double</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- $text without its trailing blanks, which carry no meaning in the
       host's strings (it pads them to their width). Halves the text, so the
       depth of the recursion grows with the logarithm of its length. -->
  <xsl:template name="trimmed">
    <xsl:param name="text"/>
    <xsl:variable name="length" select="string-length($text)"/>
    <xsl:choose>
      <xsl:when test="substring($text, $length) != ' '"><xsl:value-of select="$text"/></xsl:when>
      <xsl:when test="translate($text, ' ', '') = ''"/>
      <xsl:when test="translate(substring($text, floor($length div 2) + 1), ' ', '') = ''">
        <xsl:call-template name="trimmed">
          <xsl:with-param name="text" select="substring($text, 1, floor($length div 2))"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="substring($text, 1, floor($length div 2))"/>
        <xsl:call-template name="trimmed">
          <xsl:with-param name="text" select="substring($text, floor($length div 2) + 1)"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- Checks                                                              -->
  <!-- ================================================================== -->

  <xsl:template match="*" mode="derived-field">
    <xsl:call-template name="fail">
      <xsl:with-param name="text" select="concat('unknown entry &lt;', name(), '&gt;; expected Variable, Recode or Compute')"/>
    </xsl:call-template>
  </xsl:template>

  <!-- type, width and level of a Variable or of a target -->
  <xsl:template name="check-kind">
    <xsl:choose>
      <!-- A named numeric entry of a known level, the most met, has none of
           the faults below: one test instead of all of them. -->
      <xsl:when test="@type = 'numeric' and (@level = 'scale' or @level = 'ordinal' or @level = 'nominal')
                      and normalize-space(@name | @target) != ''"/>
      <xsl:when test="normalize-space(@name | @target) = ''">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="concat('the ', substring('variabletarget', 1 + 8 * not(self::Variable), 8), ' has no name')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="not(@type = 'numeric' or @type = 'string')">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="concat('type must be numeric or string, not &quot;', @type, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="@type = 'string' and not(floor(@width) = @width and @width &gt;= 1)">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="concat('a string ', substring('variabletarget', 1 + 8 * not(self::Variable), 8), ' needs a width of at least 1')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="not(@level = 'scale' or @level = 'ordinal' or @level = 'nominal')">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="concat('level must be scale, ordinal or nominal, not &quot;', @level, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- The context range: each bound a plain number or the keyword allowed at
       that end, and not empty. A keyword reads as NaN, which compares as
       neither greater nor less than anything. -->
  <xsl:template name="check-range">
    <xsl:if test="not(@low = 'LOWEST')
                  and not(number(@low) = number(@low) and normalize-space(@low) = @low)">
      <xsl:call-template name="check-number">
        <xsl:with-param name="text" select="@low"/>
        <xsl:with-param name="bound" select="'low'"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:if test="not(@high = 'HIGHEST')
                  and not(number(@high) = number(@high) and normalize-space(@high) = @high)">
      <xsl:call-template name="check-number">
        <xsl:with-param name="text" select="@high"/>
        <xsl:with-param name="bound" select="'high'"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:if test="number(@low) &gt; number(@high)">
      <xsl:call-template name="fail">
        <xsl:with-param name="text" select="concat('range ', @low, ' thru ', @high, ' is empty')"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <xsl:template match="Variable" mode="derived-field">
    <xsl:call-template name="check-kind"/>
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:variable name="first" select="key('variable', $key)[1]"/>
    <xsl:if test="$first/@type != @type">
      <xsl:call-template name="fail">
        <xsl:with-param name="text" select="concat('declared before as ', $first/@type, ', now as ', @type)"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:choose>
      <!-- A variable without children, the most met, has none of the faults
           below. -->
      <xsl:when test="not(*)"/>
      <xsl:when test="*[not(self::Missing or self::MissingRange)]">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="concat('unexpected &lt;', name(*[not(self::Missing or self::MissingRange)]), '&gt;; a variable holds only Missing and MissingRange')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="MissingRange and @type = 'string'">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="'a string variable cannot have a missing range'"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="count(Missing) &gt; 3 or count(MissingRange) &gt; 1 or (MissingRange and count(Missing) &gt; 1)">
        <xsl:call-template name="fail">
          <xsl:with-param name="text" select="'too many missing values: at most three values, or one range and one value'"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
    <xsl:if test="@type = 'numeric' and *">
      <xsl:for-each select="Missing[not(number(@value) = number(@value) and normalize-space(@value) = @value)]">
        <xsl:call-template name="check-number"/>
      </xsl:for-each>
      <xsl:for-each select="MissingRange">
        <xsl:call-template name="check-range"/>
      </xsl:for-each>
    </xsl:if>
  </xsl:template>

  <!-- Stops the run unless $text is a number: what number() reads, with no
       blanks around it. Callers test that first and call this template only
       for a value that fails it, which it then names: a template call per
       checked value costs more than the test. NaN is the one value unequal
       to itself; comparing numbers, not their text, keeps the engine from
       formatting a number, which it cannot do for a magnitude of 1e100 or
       more. $text is the context element's value, or the $bound ("low" or
       "high") of the context range; the message names it by where it
       stands. -->
  <xsl:template name="check-number">
    <xsl:param name="text" select="@value"/>
    <xsl:param name="bound"/>
    <xsl:if test="not(number($text) = number($text) and normalize-space($text) = $text)">
      <xsl:call-template name="fail">
        <xsl:with-param name="text">
          <xsl:choose>
            <xsl:when test="$bound = 'low'">
              <xsl:value-of select="concat('range low &quot;', $text, '&quot; is neither a number nor LOWEST')"/>
            </xsl:when>
            <xsl:when test="$bound = 'high'">
              <xsl:value-of select="concat('range high &quot;', $text, '&quot; is neither a number nor HIGHEST')"/>
            </xsl:when>
            <xsl:when test="self::Value">
              <xsl:value-of select="concat('rule ', count(../preceding-sibling::*) + 1, ': value &quot;', $text, '&quot; is not a number')"/>
            </xsl:when>
            <xsl:when test="self::To">
              <xsl:value-of select="concat('rule ', count(../preceding-sibling::*) + 1, ': result &quot;', $text, '&quot; is not a number')"/>
            </xsl:when>
            <xsl:when test="self::Missing">
              <xsl:value-of select="concat('missing value &quot;', $text, '&quot; is not a number')"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:value-of select="concat('the number &quot;', $text, '&quot; is not a number')"/>
            </xsl:otherwise>
          </xsl:choose>
        </xsl:with-param>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- The target must be new: no declared variable and no earlier target
       carries its name. -->
  <xsl:template name="check-target">
    <xsl:call-template name="check-kind"/>
    <!-- An earlier target of the name exists when this entry is not the first
         of it; the nearest one is looked for only to name it in the message. -->
    <xsl:variable name="key" select="translate(@target, $upper, $lower)"/>
    <xsl:choose>
      <xsl:when test="key('variable', $key)">
        <xsl:variable name="declared" select="key('variable', $key)[1]"/>
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
          <xsl:with-param name="text" select="concat('the target redefines the variable &quot;', $declared/@name, '&quot; declared in entry ', count($declared/preceding-sibling::*) + 1)"/>
        </xsl:call-template>
      </xsl:when>
      <!-- The keyed targets include this entry: the union of the first of
           them and this entry holds two nodes when that first is another. -->
      <xsl:when test="count(key('target', $key)[1] | .) != 1">
        <xsl:variable name="earlier"
          select="preceding-sibling::*[self::Recode or self::Compute][translate(@target, $upper, $lower) = $key][1]"/>
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
          <xsl:with-param name="text" select="concat('the target redefines the variable &quot;', $earlier/@target, '&quot; defined by entry ', count($earlier/preceding-sibling::*) + 1)"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- The context recode; $definition is the element that defines its source,
       if any. Its children are checked in order, each by the checks below in
       their order, so the first fault found names what is wrong. -->
  <xsl:template name="check-recode">
    <xsl:param name="definition"/>
    <xsl:call-template name="check-target"/>
    <!-- The source's type up to any ":": the messages below show it so. -->
    <xsl:variable name="sourceType" select="substring-before(concat($definition/@type, ':'), ':')"/>
    <xsl:variable name="targetType" select="@type"/>
    <!-- A literal string result must fit the target; its trailing blanks
         do not count. -->
    <xsl:variable name="targetWidth" select="number(@width)"/>
    <xsl:if test="not($definition)">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
        <xsl:with-param name="text" select="concat('the source &quot;', @source, '&quot; is neither declared nor defined by an earlier entry')"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:if test="not(Rule)">
      <xsl:call-template name="fail">
        <xsl:with-param name="text" select="'the recode has no Rule'"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:for-each select="*">
      <xsl:choose>
        <!-- The rule met most, one input and a To from a number to a number,
             has none of the faults below: one test instead of all of them. -->
        <xsl:when test="$sourceType = 'numeric' and $targetType = 'numeric' and self::Rule
                        and count(*) = 2 and *[2][self::To]
                        and *[1][self::Value or self::Range or self::SystemMissing or self::Missing
                                 or self::Else]"/>
        <xsl:when test="not(self::Rule)">
          <xsl:call-template name="fail">
            <xsl:with-param name="text" select="concat('unexpected &lt;', name(), '&gt;; a recode holds only Rule elements')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="*[not(self::Value or self::Range or self::SystemMissing or self::Missing or self::Else
                              or self::To or self::ToCopy or self::ToSystemMissing)]">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="concat('unexpected &lt;', name(*[not(self::Value or self::Range or self::SystemMissing or self::Missing or self::Else or self::To or self::ToCopy or self::ToSystemMissing)]), '&gt;')"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="not(Value or Range or SystemMissing or Missing or Else) or count(To | ToCopy | ToSystemMissing) != 1">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="'a rule needs at least one input and exactly one of To, ToCopy, ToSystemMissing'"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$sourceType = 'string' and Range">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="'a string source takes no Range'"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$sourceType = 'string' and SystemMissing">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="'a string source has no system-missing value; use Missing'"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="ToCopy and $sourceType != $targetType">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="concat('ToCopy needs source and target of one type, here ', $sourceType, ' into ', $targetType)"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="ToSystemMissing and $targetType = 'string'">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="'a string target has no system-missing value'"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:when test="$targetType = 'string' and To[translate(substring(@value, $targetWidth + 1), ' ', '') != '']">
          <xsl:call-template name="fail-rule">
            <xsl:with-param name="text" select="concat('the value &quot;', To/@value, '&quot; does not fit the width ', $targetWidth)"/>
          </xsl:call-template>
        </xsl:when>
      </xsl:choose>
      <xsl:if test="$sourceType = 'numeric'">
        <xsl:for-each select="Value[not(number(@value) = number(@value) and normalize-space(@value) = @value)]">
          <xsl:call-template name="check-number"/>
        </xsl:for-each>
        <xsl:for-each select="Range">
          <xsl:call-template name="check-range"/>
        </xsl:for-each>
      </xsl:if>
      <xsl:if test="$targetType = 'numeric'">
        <xsl:for-each select="To[not(number(@value) = number(@value) and normalize-space(@value) = @value)]">
          <xsl:call-template name="check-number"/>
        </xsl:for-each>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <!-- Stops the run for a fault of the context rule, named by its position:
       "rule 2: ". -->
  <xsl:template name="fail-rule">
    <xsl:param name="text"/>
    <xsl:call-template name="fail">
      <xsl:with-param name="text" select="concat('rule ', count(preceding-sibling::*) + 1, ': ', $text)"/>
    </xsl:call-template>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- DataDictionary                                                      -->
  <!-- ================================================================== -->

  <!-- What a DataField or DerivedField says after its name, from the context
       Variable or target: its label, optype and data type, and a string's
       width. A DerivedField's name is written with xsl:attribute: as an
       attribute value template there, it costs the engine memory per field
       (4 MB at 20,000 recodes). -->
  <xsl:template name="field-properties">
    <xsl:if test="@label">
      <xsl:attribute name="displayName"><xsl:value-of select="@label"/></xsl:attribute>
    </xsl:if>
    <!-- The optype, and the data type as "data-type" writes it, spelt out
         for the one place every field passes. -->
    <xsl:choose>
      <xsl:when test="@level = 'scale'"><xsl:attribute name="optype">continuous</xsl:attribute></xsl:when>
      <xsl:when test="@level = 'ordinal'"><xsl:attribute name="optype">ordinal</xsl:attribute></xsl:when>
      <xsl:otherwise><xsl:attribute name="optype">categorical</xsl:attribute></xsl:otherwise>
    </xsl:choose>
    <xsl:choose>
      <xsl:when test="@type = 'string'">
        <xsl:attribute name="dataType">string</xsl:attribute>
        <Extension extender="{$extender}" name="stringLength" value="{@width}"/>
      </xsl:when>
      <xsl:otherwise><xsl:attribute name="dataType">double</xsl:attribute></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A declared variable: its user-missing values become Value elements
       with property "missing"; a missing range becomes the extensions
       invalidRangeLower / invalidRangeUpper, unbounded ends written as the
       largest double. -->
  <xsl:template match="Variable" mode="data-field">
    <DataField name="{@name}">
      <xsl:call-template name="field-properties"/>
      <xsl:apply-templates select="." mode="missing-values"/>
    </DataField>
  </xsl:template>

  <xsl:template match="Variable" mode="missing-values">
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
      <Value>
        <xsl:attribute name="value">
          <xsl:choose>
            <xsl:when test="substring(@value, string-length(@value)) != ' '">
              <xsl:value-of select="@value"/>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="trimmed"><xsl:with-param name="text" select="@value"/></xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </xsl:attribute>
        <xsl:attribute name="property">missing</xsl:attribute>
      </Value>
    </xsl:for-each>
  </xsl:template>

  <!-- ================================================================== -->
  <!-- TransformationDictionary                                            -->
  <!-- ================================================================== -->

  <!-- Compute: the expression tree maps one to one onto PMML; each node is
       checked before it is written. A string target is never missing in the
       host (it holds blanks): its outermost Apply has defaultValue "". -->
  <xsl:template match="Compute" mode="derived-field">
    <xsl:call-template name="check-target"/>
    <xsl:if test="count(*) != 1">
      <xsl:call-template name="fail">
        <xsl:with-param name="text" select="'a compute holds exactly one expression'"/>
      </xsl:call-template>
    </xsl:if>
    <DerivedField>
      <xsl:attribute name="name"><xsl:value-of select="@target"/></xsl:attribute>
      <xsl:call-template name="field-properties"/>
      <xsl:choose>
        <!-- A number: written as it stands, without the two fragments below
             that only a string target fills. -->
        <xsl:when test="not(@type = 'string')">
          <xsl:apply-templates select="*" mode="expression">
            <xsl:with-param name="at" select="."/>
          </xsl:apply-templates>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="string-compute"/>
        </xsl:otherwise>
      </xsl:choose>
    </DerivedField>
  </xsl:template>

  <!-- The expression of the context Compute into a string target. -->
  <xsl:template name="string-compute">
    <xsl:variable name="longest">
      <xsl:apply-templates select="*" mode="longest"/>
    </xsl:variable>
    <xsl:variable name="ends">
      <xsl:apply-templates select="*" mode="ends">
        <xsl:with-param name="at" select="."/>
        <xsl:with-param name="tail" select="true()"/>
      </xsl:apply-templates>
    </xsl:variable>
    <xsl:choose>
      <!-- The host cuts a string result to the target's width, and the
           blanks the cut can end in carry no meaning. -->
      <xsl:when test="@type = 'string' and not(number($longest) &lt;= number(@width))">
        <Apply function="replace" defaultValue="">
          <Apply function="substring">
            <xsl:apply-templates select="*" mode="expression">
              <xsl:with-param name="at" select="."/>
            </xsl:apply-templates>
            <Constant dataType="integer">1</Constant>
            <Constant dataType="integer"><xsl:value-of select="@width"/></Constant>
          </Apply>
          <Constant dataType="string"> +$</Constant>
          <Constant dataType="string"></Constant>
        </Apply>
      </xsl:when>
      <!-- Nor does the host's value end in a blank where the value as
           written here can. -->
      <xsl:when test="contains($ends, 'b')">
        <Apply function="replace" defaultValue="">
          <xsl:apply-templates select="*" mode="expression">
            <xsl:with-param name="at" select="."/>
            <xsl:with-param name="tail" select="true()"/>
          </xsl:apply-templates>
          <Constant dataType="string"> +$</Constant>
          <Constant dataType="string"></Constant>
        </Apply>
      </xsl:when>
      <xsl:otherwise>
        <xsl:apply-templates select="*" mode="expression">
          <xsl:with-param name="at" select="."/>
          <xsl:with-param name="blankDefault" select="@type = 'string'"/>
          <xsl:with-param name="tail" select="@type = 'string'"/>
        </xsl:apply-templates>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The most characters the host's value of a string expression can have,
       NaN where that is not known. -->
  <xsl:template match="*" mode="longest">NaN</xsl:template>

  <xsl:template match="String" mode="longest">
    <xsl:value-of select="string-length(@value)"/>
  </xsl:template>

  <xsl:template match="Field" mode="longest">
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:variable name="definition" select="(key('variable', $key) | key('target', $key))[1]"/>
    <xsl:value-of select="number($definition[@type = 'string']/@width)"/>
  </xsl:template>

  <xsl:template match="Apply[@function = 'uppercase' or @function = 'lowercase' or @function = 'trimBlanks']"
                mode="longest">
    <xsl:apply-templates select="*[1]" mode="longest"/>
  </xsl:template>

  <xsl:template match="Apply[@function = 'substring']" mode="longest">
    <xsl:variable name="whole"><xsl:apply-templates select="*[1]" mode="longest"/></xsl:variable>
    <xsl:variable name="length" select="number(*[3][self::Number]/@value)"/>
    <xsl:choose>
      <xsl:when test="$length &lt; 0">0</xsl:when>
      <xsl:when test="number($whole) &lt; $length or string($length) = 'NaN'">
        <xsl:value-of select="number($whole)"/>
      </xsl:when>
      <xsl:otherwise><xsl:value-of select="$length"/></xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Apply[@function = 'if']" mode="longest">
    <xsl:variable name="then"><xsl:apply-templates select="*[2]" mode="longest"/></xsl:variable>
    <xsl:variable name="else">
      <xsl:apply-templates select="*[3]" mode="longest"/>
      <xsl:if test="not(*[3])">0</xsl:if>
    </xsl:variable>
    <xsl:choose>
      <xsl:when test="number($then) &lt; number($else)"><xsl:value-of select="number($else)"/></xsl:when>
      <xsl:when test="number($then) &gt;= number($else)"><xsl:value-of select="number($then)"/></xsl:when>
      <xsl:otherwise>NaN</xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="Apply[@function = 'concat']" mode="longest">
    <xsl:call-template name="longest-sum">
      <xsl:with-param name="parts" select="*"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template name="longest-sum">
    <xsl:param name="parts"/>
    <xsl:param name="sum" select="0"/>
    <xsl:choose>
      <xsl:when test="not($parts)"><xsl:value-of select="$sum"/></xsl:when>
      <xsl:otherwise>
        <xsl:variable name="first"><xsl:apply-templates select="$parts[1]" mode="longest"/></xsl:variable>
        <xsl:call-template name="longest-sum">
          <xsl:with-param name="parts" select="$parts[position() &gt; 1]"/>
          <xsl:with-param name="sum" select="$sum + number($first)"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- What the value of an expression, written with the same $padded and
       $tail as in mode "expression", can be: "b" where it can end in a blank,
       "x" where it is never the empty string. A blank is possible at the end
       of a padded field, of a constant kept with its blanks, of what
       substring, replace and formatNumber return, and of what concat, if,
       uppercase and lowercase pass on from those. -->
  <xsl:template match="*" mode="ends"/>

  <xsl:template match="Number" mode="ends">x</xsl:template>

  <xsl:template match="String" mode="ends">
    <xsl:param name="tail" select="false()"/>
    <xsl:if test="not($tail) and substring(@value, string-length(@value)) = ' '">b</xsl:if>
    <xsl:if test="translate(@value, ' ', '') != '' or (not($tail) and @value != '')">x</xsl:if>
  </xsl:template>

  <xsl:template match="Field" mode="ends">
    <xsl:param name="at"/>
    <xsl:param name="padded" select="false()"/>
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:variable name="declared" select="key('variable', $key)[1]"/>
    <xsl:variable name="firstTarget" select="key('target', $key)[1]"/>
    <xsl:variable name="derived"
      select="$firstTarget[not($declared)][generate-id(.) != generate-id($at)]
                          [generate-id(($firstTarget | $at)[1]) = generate-id(.)]"/>
    <xsl:if test="$padded and ($declared | $derived)[@type = 'string']/@width">bx</xsl:if>
  </xsl:template>

  <xsl:template match="Apply" mode="ends">
    <xsl:param name="at"/>
    <xsl:param name="padded" select="false()"/>
    <xsl:param name="tail" select="false()"/>
    <xsl:variable name="function" select="@function"/>
    <xsl:choose>
      <!-- The arguments from the last: the value can end in a blank where
           an argument can and every argument after it can be empty. -->
      <xsl:when test="$function = 'concat'">
        <xsl:variable name="marks">
          <xsl:for-each select="*">
            <xsl:sort select="count(preceding-sibling::*)" data-type="number" order="descending"/>
            <xsl:apply-templates select="." mode="ends">
              <xsl:with-param name="at" select="$at"/>
              <xsl:with-param name="padded" select="following-sibling::* or $padded"/>
              <xsl:with-param name="tail" select="$tail and not(following-sibling::*)"/>
            </xsl:apply-templates>
          </xsl:for-each>
        </xsl:variable>
        <xsl:if test="contains(substring-before(concat($marks, 'x'), 'x'), 'b')">b</xsl:if>
        <xsl:if test="contains($marks, 'x')">x</xsl:if>
      </xsl:when>
      <xsl:when test="$function = 'uppercase' or $function = 'lowercase'">
        <xsl:apply-templates select="*[1]" mode="ends">
          <xsl:with-param name="at" select="$at"/>
          <xsl:with-param name="padded" select="$padded"/>
          <xsl:with-param name="tail" select="$tail"/>
        </xsl:apply-templates>
      </xsl:when>
      <xsl:when test="$function = 'if'">
        <xsl:variable name="branches">
          <xsl:apply-templates select="*[position() = 2 or position() = 3]" mode="ends">
            <xsl:with-param name="at" select="$at"/>
            <xsl:with-param name="padded" select="$padded"/>
            <xsl:with-param name="tail" select="$tail"/>
          </xsl:apply-templates>
        </xsl:variable>
        <xsl:if test="contains($branches, 'b')">b</xsl:if>
      </xsl:when>
      <!-- The first characters of a string that is never empty are not. -->
      <xsl:when test="$function = 'substring'">
        <xsl:variable name="whole">
          <xsl:apply-templates select="*[1]" mode="ends">
            <xsl:with-param name="at" select="$at"/>
            <xsl:with-param name="padded" select="$padded"/>
          </xsl:apply-templates>
        </xsl:variable>
        <xsl:if test="not(*[1][self::Number or self::String[not(contains(@value, ' '))]])">b</xsl:if>
        <xsl:if test="contains($whole, 'x') and count(*) = 3 and *[2][self::Number]/@value = 1
                      and *[3][self::Number]/@value &gt;= 1">x</xsl:if>
      </xsl:when>
      <xsl:when test="$function = 'replace' or $function = 'formatNumber'">b</xsl:when>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="*" mode="expression">
    <xsl:call-template name="fail">
      <xsl:with-param name="text" select="concat('unexpected &lt;', name(), '&gt; in the expression; expected Apply, Field, Number or String')"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="Apply" mode="expression">
    <xsl:param name="at"/>
    <xsl:param name="padded" select="false()"/>
    <xsl:param name="blankDefault" select="false()"/>
    <xsl:param name="tail" select="false()"/>
    <xsl:variable name="arity" select="substring-before(substring-after($functions, concat('|', @function, ',')), '|')"/>
    <xsl:choose>
      <xsl:when test="$arity = '' or contains(@function, '|') or contains(@function, ',')">
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_FuncErr:'"/>
          <xsl:with-param name="text" select="concat('unknown function &quot;', @function, '&quot;')"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="count(*) &lt; substring-before($arity, ',')
                      or (substring-after($arity, ',') != 'n' and count(*) &gt; substring-after($arity, ','))">
        <xsl:variable name="least" select="substring-before($arity, ',')"/>
        <xsl:variable name="most" select="substring-after($arity, ',')"/>
        <xsl:variable name="expected">
          <xsl:choose>
            <xsl:when test="$least = $most"><xsl:value-of select="$least"/></xsl:when>
            <xsl:when test="$most = 'n'"><xsl:value-of select="concat($least, ' or more')"/></xsl:when>
            <xsl:otherwise><xsl:value-of select="concat($least, ' to ', $most)"/></xsl:otherwise>
          </xsl:choose>
        </xsl:variable>
        <xsl:call-template name="fail">
          <xsl:with-param name="code" select="'CVT_FuncErr:'"/>
          <xsl:with-param name="text" select="concat('function &quot;', @function, '&quot; takes ', $expected, ' arguments, not ', count(*))"/>
        </xsl:call-template>
      </xsl:when>
    </xsl:choose>
    <!-- Arguments whose blanks the host keeps: what precedes another
         argument of a concat, and, inside such an argument, the strings a
         function passes on with their blanks. -->
    <xsl:variable name="function" select="@function"/>
    <Apply function="{@function}">
      <xsl:if test="contains($invalidFunctions, concat('|', @function, '|'))">
        <xsl:attribute name="invalidValueTreatment">asMissing</xsl:attribute>
      </xsl:if>
      <!-- The host formats a missing number as blanks: the empty string
           where an input of formatNumber is missing. -->
      <xsl:if test="@function = 'formatNumber'">
        <xsl:attribute name="mapMissingTo"/>
      </xsl:if>
      <!-- A string "if" whose condition fails or is missing leaves its
           value blank in the host, as a new string variable starts. -->
      <xsl:choose>
        <xsl:when test="$blankDefault">
          <xsl:attribute name="defaultValue"/>
        </xsl:when>
        <xsl:when test="@function = 'if'">
          <xsl:variable name="stringIf">
            <xsl:apply-templates select="*[2]" mode="is-string">
              <xsl:with-param name="at" select="$at"/>
            </xsl:apply-templates>
          </xsl:variable>
          <xsl:if test="string($stringIf) = 'true'">
            <xsl:attribute name="defaultValue"/>
          </xsl:if>
        </xsl:when>
      </xsl:choose>
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
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:variable name="declared" select="key('variable', $key)[1]"/>
    <xsl:variable name="firstTarget" select="key('target', $key)[1]"/>
    <xsl:variable name="derived"
      select="$firstTarget[not($declared)][generate-id(.) != generate-id($at)]
                          [generate-id(($firstTarget | $at)[1]) = generate-id(.)]"/>
    <xsl:if test="not($declared or $derived)">
      <xsl:call-template name="fail">
        <xsl:with-param name="code" select="'CVT_ReVarsErr:'"/>
        <xsl:with-param name="text" select="concat('the field &quot;', @name, '&quot; is neither declared nor defined by an earlier entry')"/>
      </xsl:call-template>
    </xsl:if>
    <xsl:variable name="width" select="($declared | $derived)[@type = 'string']/@width"/>
    <xsl:choose>
      <!-- The host's value of a string variable is padded to its width. -->
      <xsl:when test="$padded and $width">
        <Apply function="substring">
          <Apply function="concat">
            <FieldRef field="{$declared/@name | $derived/@target}"/>
            <Constant dataType="string">
              <xsl:call-template name="blanks"><xsl:with-param name="count" select="$width"/></xsl:call-template>
            </Constant>
          </Apply>
          <Constant dataType="integer">1</Constant>
          <Constant dataType="integer"><xsl:value-of select="$width"/></Constant>
        </Apply>
      </xsl:when>
      <!-- What "field-value" writes for a field without missing range. -->
      <xsl:when test="not($declared/MissingRange)">
        <FieldRef field="{string($declared/@name | $derived/@target)}"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="field-value">
          <xsl:with-param name="field" select="string($declared/@name | $derived/@target)"/>
          <xsl:with-param name="range" select="$declared/MissingRange"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A field as the host reads it in a compute: a value inside the
       variable's missing range is missing. A standard consumer ignores the
       range's extensions, so the test is written out; an "if" without else
       gives missing where it fails, and for a missing field too. -->
  <xsl:template name="field-value">
    <xsl:param name="field"/>
    <xsl:param name="range"/>
    <xsl:choose>
      <xsl:when test="not($range)">
        <FieldRef field="{$field}"/>
      </xsl:when>
      <xsl:otherwise>
        <Apply function="if">
          <xsl:choose>
            <xsl:when test="$range/@low = 'LOWEST' and $range/@high = 'HIGHEST'">
              <Apply function="isMissing"><FieldRef field="{$field}"/></Apply>
            </xsl:when>
            <xsl:when test="$range/@low = 'LOWEST'">
              <Apply function="greaterThan">
                <FieldRef field="{$field}"/>
                <Constant dataType="double"><xsl:value-of select="$range/@high"/></Constant>
              </Apply>
            </xsl:when>
            <xsl:when test="$range/@high = 'HIGHEST'">
              <Apply function="lessThan">
                <FieldRef field="{$field}"/>
                <Constant dataType="double"><xsl:value-of select="$range/@low"/></Constant>
              </Apply>
            </xsl:when>
            <xsl:otherwise>
              <Apply function="or">
                <Apply function="lessThan">
                  <FieldRef field="{$field}"/>
                  <Constant dataType="double"><xsl:value-of select="$range/@low"/></Constant>
                </Apply>
                <Apply function="greaterThan">
                  <FieldRef field="{$field}"/>
                  <Constant dataType="double"><xsl:value-of select="$range/@high"/></Constant>
                </Apply>
              </Apply>
            </xsl:otherwise>
          </xsl:choose>
          <FieldRef field="{$field}"/>
        </Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- $count blanks. -->
  <xsl:template name="blanks">
    <xsl:param name="count"/>
    <xsl:variable name="some" select="'                                                                '"/>
    <xsl:value-of select="substring($some, 1, $count)"/>
    <xsl:if test="$count &gt; string-length($some)">
      <xsl:call-template name="blanks">
        <xsl:with-param name="count" select="$count - string-length($some)"/>
      </xsl:call-template>
    </xsl:if>
  </xsl:template>

  <!-- "true" for an expression whose value is a string. -->
  <xsl:template match="*" mode="is-string"/>

  <xsl:template match="String" mode="is-string">true</xsl:template>

  <xsl:template match="Field" mode="is-string">
    <xsl:variable name="key" select="translate(@name, $upper, $lower)"/>
    <xsl:if test="(key('variable', $key) | key('target', $key))[1]/@type = 'string'">true</xsl:if>
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
    <xsl:if test="not(number(@value) = number(@value) and normalize-space(@value) = @value)">
      <xsl:call-template name="check-number"/>
    </xsl:if>
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
       cannot be said with the table alone. No template below builds a
       result tree fragment per recode except the numeric items handed to the
       extension function: the engine keeps every fragment turned into a
       node-set until the run ends, and its allocator slows down with every
       fragment alive. -->
  <xsl:template match="Recode" mode="derived-field">
    <xsl:variable name="key" select="translate(@source, $upper, $lower)"/>
    <xsl:variable name="declared" select="key('variable', $key)[1]"/>
    <xsl:variable name="firstTarget" select="key('target', $key)[1]"/>
    <xsl:variable name="derived"
      select="$firstTarget[not($declared)][generate-id(.) != generate-id(current())]
                          [generate-id(($firstTarget | current())[1]) = generate-id(.)]"/>
    <xsl:call-template name="check-recode">
      <xsl:with-param name="definition" select="$declared | $derived"/>
    </xsl:call-template>
    <xsl:variable name="source" select="string($declared/@name | $derived/@target)"/>
    <DerivedField>
      <xsl:attribute name="name"><xsl:value-of select="@target"/></xsl:attribute>
      <xsl:call-template name="field-properties"/>
      <xsl:choose>
        <xsl:when test="($declared | $derived)/@type = 'numeric'">
          <xsl:call-template name="numeric-recode">
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="declared" select="$declared"/>
          </xsl:call-template>
        </xsl:when>
        <xsl:otherwise>
          <xsl:call-template name="string-recode">
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="declared" select="$declared"/>
            <xsl:with-param name="sourceWidth" select="($declared | $derived)/@width"/>
          </xsl:call-template>
        </xsl:otherwise>
      </xsl:choose>
    </DerivedField>
  </xsl:template>

  <!-- Writes the recode's expression: its core (a Discretize or MapValues),
       alone when nothing else is to be said, with defaultValue for an else
       value; otherwise if(isNotMissing(core), core, rest), where rest gives
       the source for the copy tests, missing for the system-missing tests,
       and the else result (value, copy or missing) for all other values.
       The tests are written by the "test" templates for $copyTests and
       $sysmisTests, which hold $copyCount and $sysmisCount tests. -->
  <xsl:template name="assemble">
    <xsl:param name="numeric"/>
    <xsl:param name="source"/>
    <xsl:param name="content"/>
    <xsl:param name="missingTo"/>
    <xsl:param name="expansions" select="/.."/>
    <xsl:param name="elseToValue"/>
    <xsl:param name="elseToCopy"/>
    <xsl:param name="elseValue"/>
    <xsl:param name="sysmisTests"/>
    <xsl:param name="sysmisCount"/>
    <xsl:param name="copyTests" select="/.."/>
    <xsl:param name="copyCount" select="0"/>
    <xsl:param name="cut" select="0"/>
    <xsl:variable name="hasElse" select="$elseToValue or $elseToCopy"/>
    <xsl:choose>
      <xsl:when test="$copyCount = 0 and not($hasElse)">
        <xsl:call-template name="recode-core">
          <xsl:with-param name="numeric" select="$numeric"/>
          <xsl:with-param name="source" select="$source"/>
          <xsl:with-param name="content" select="$content"/>
          <xsl:with-param name="missingTo" select="$missingTo"/>
          <xsl:with-param name="expansions" select="$expansions"/>
          <xsl:with-param name="alone" select="true()"/>
          <xsl:with-param name="cut" select="$cut"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:when test="$elseToValue and $sysmisCount = 0 and $copyCount = 0">
        <xsl:call-template name="recode-core">
          <xsl:with-param name="numeric" select="$numeric"/>
          <xsl:with-param name="source" select="$source"/>
          <xsl:with-param name="content" select="$content"/>
          <xsl:with-param name="missingTo" select="$missingTo"/>
          <xsl:with-param name="expansions" select="$expansions"/>
          <xsl:with-param name="withDefault" select="true()"/>
          <xsl:with-param name="defaultValue" select="$elseValue"/>
          <xsl:with-param name="cut" select="$cut"/>
        </xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <Apply function="if">
          <Apply function="isNotMissing">
            <xsl:call-template name="recode-core">
              <xsl:with-param name="numeric" select="$numeric"/>
              <xsl:with-param name="source" select="$source"/>
              <xsl:with-param name="content" select="$content"/>
              <xsl:with-param name="missingTo" select="$missingTo"/>
              <xsl:with-param name="expansions" select="$expansions"/>
              <xsl:with-param name="cut" select="$cut"/>
            </xsl:call-template>
          </Apply>
          <xsl:call-template name="recode-core">
            <xsl:with-param name="numeric" select="$numeric"/>
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="content" select="$content"/>
            <xsl:with-param name="missingTo" select="$missingTo"/>
            <xsl:with-param name="expansions" select="$expansions"/>
            <xsl:with-param name="cut" select="$cut"/>
          </xsl:call-template>
          <xsl:choose>
            <!-- A missing input that the core leaves missing (no mapMissingTo)
                 must stay missing. Every test of the rest is missing for it,
                 so the rest is too, except a test over a whole interval
                 (isNotMissing), which lets it through to an else value. -->
            <xsl:when test="not($missingTo) and $elseToValue
                            and ($sysmisTests | $copyTests)[self::Interval]
                                 [string(@leftMargin) = '' and string(@rightMargin) = '']">
              <Apply function="if">
                <Apply function="isNotMissing"><FieldRef field="{$source}"/></Apply>
                <xsl:call-template name="rest">
                  <xsl:with-param name="source" select="$source"/>
                  <xsl:with-param name="expansions" select="$expansions"/>
                  <xsl:with-param name="elseToValue" select="$elseToValue"/>
                  <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
                  <xsl:with-param name="elseValue" select="$elseValue"/>
                  <xsl:with-param name="sysmisTests" select="$sysmisTests"/>
                  <xsl:with-param name="sysmisCount" select="$sysmisCount"/>
                  <xsl:with-param name="copyTests" select="$copyTests"/>
                  <xsl:with-param name="copyCount" select="$copyCount"/>
                  <xsl:with-param name="cut" select="$cut"/>
                </xsl:call-template>
              </Apply>
            </xsl:when>
            <xsl:otherwise>
              <xsl:call-template name="rest">
                <xsl:with-param name="source" select="$source"/>
                <xsl:with-param name="expansions" select="$expansions"/>
                <xsl:with-param name="elseToValue" select="$elseToValue"/>
                <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
                <xsl:with-param name="elseValue" select="$elseValue"/>
                <xsl:with-param name="sysmisTests" select="$sysmisTests"/>
                <xsl:with-param name="sysmisCount" select="$sysmisCount"/>
                <xsl:with-param name="copyTests" select="$copyTests"/>
                <xsl:with-param name="copyCount" select="$copyCount"/>
                <xsl:with-param name="cut" select="$cut"/>
              </xsl:call-template>
            </xsl:otherwise>
          </xsl:choose>
        </Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- What the recode gives where its core is missing: the source for the
       copy tests, missing for the system-missing tests, the else result for
       all other values. -->
  <xsl:template name="rest">
    <xsl:param name="source"/>
    <xsl:param name="expansions"/>
    <xsl:param name="elseToValue"/>
    <xsl:param name="elseToCopy"/>
    <xsl:param name="elseValue"/>
    <xsl:param name="sysmisTests"/>
    <xsl:param name="sysmisCount"/>
    <xsl:param name="copyTests"/>
    <xsl:param name="copyCount"/>
    <xsl:param name="cut"/>
    <xsl:variable name="hasElse" select="$elseToValue or $elseToCopy"/>
    <xsl:choose>
      <xsl:when test="$sysmisCount &gt; 0 and $hasElse">
        <!-- Only an else result can reach a system-missing value here:
             the resolved copy intervals do not overlap the
             system-missing ones. "if" without else gives missing when
             its condition fails. -->
        <Apply function="if">
          <Apply function="not">
            <xsl:call-template name="any-of">
              <xsl:with-param name="tests" select="$sysmisTests"/>
              <xsl:with-param name="count" select="$sysmisCount"/>
              <xsl:with-param name="source" select="$source"/>
              <xsl:with-param name="expansions" select="$expansions"/>
            </xsl:call-template>
          </Apply>
          <xsl:call-template name="after-copy">
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="elseToValue" select="$elseToValue"/>
            <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
            <xsl:with-param name="elseValue" select="$elseValue"/>
            <xsl:with-param name="copyTests" select="$copyTests"/>
            <xsl:with-param name="copyCount" select="$copyCount"/>
            <xsl:with-param name="cut" select="$cut"/>
          </xsl:call-template>
        </Apply>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="after-copy">
          <xsl:with-param name="source" select="$source"/>
          <xsl:with-param name="elseToValue" select="$elseToValue"/>
          <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
          <xsl:with-param name="elseValue" select="$elseValue"/>
          <xsl:with-param name="copyTests" select="$copyTests"/>
          <xsl:with-param name="copyCount" select="$copyCount"/>
          <xsl:with-param name="cut" select="$cut"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The source where a copy test holds, else the else result. -->
  <xsl:template name="after-copy">
    <xsl:param name="source"/>
    <xsl:param name="elseToValue"/>
    <xsl:param name="elseToCopy"/>
    <xsl:param name="elseValue"/>
    <xsl:param name="copyTests"/>
    <xsl:param name="copyCount"/>
    <xsl:param name="cut"/>
    <xsl:choose>
      <xsl:when test="$copyCount &gt; 0">
        <Apply function="if">
          <xsl:call-template name="any-of">
            <xsl:with-param name="tests" select="$copyTests"/>
            <xsl:with-param name="count" select="$copyCount"/>
            <xsl:with-param name="source" select="$source"/>
          </xsl:call-template>
          <FieldRef field="{$source}"/>
          <xsl:call-template name="else-result">
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="elseToValue" select="$elseToValue"/>
            <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
            <xsl:with-param name="elseValue" select="$elseValue"/>
            <xsl:with-param name="cut" select="$cut"/>
          </xsl:call-template>
        </Apply>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="else-result">
          <xsl:with-param name="source" select="$source"/>
          <xsl:with-param name="elseToValue" select="$elseToValue"/>
          <xsl:with-param name="elseToCopy" select="$elseToCopy"/>
          <xsl:with-param name="elseValue" select="$elseValue"/>
          <xsl:with-param name="cut" select="$cut"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="else-result">
    <xsl:param name="source"/>
    <xsl:param name="elseToValue"/>
    <xsl:param name="elseToCopy"/>
    <xsl:param name="elseValue"/>
    <xsl:param name="cut" select="0"/>
    <xsl:choose>
      <xsl:when test="$elseToValue">
        <Constant>
          <xsl:attribute name="dataType">
            <xsl:call-template name="data-type"/>
          </xsl:attribute>
          <xsl:value-of select="$elseValue"/>
        </Constant>
      </xsl:when>
      <!-- The cut can end in blanks, which the host drops. -->
      <xsl:when test="$elseToCopy and $cut &gt; 0">
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
      <xsl:when test="$elseToCopy">
        <FieldRef field="{$source}"/>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- The $count tests written for $tests, joined with "or" when more than one. -->
  <xsl:template name="any-of">
    <xsl:param name="tests"/>
    <xsl:param name="count"/>
    <xsl:param name="source"/>
    <xsl:param name="expansions" select="/.."/>
    <xsl:choose>
      <xsl:when test="$count = 1">
        <xsl:apply-templates select="$tests" mode="test">
          <xsl:with-param name="field" select="$source"/>
          <xsl:with-param name="expansions" select="$expansions"/>
        </xsl:apply-templates>
      </xsl:when>
      <xsl:otherwise>
        <Apply function="or">
          <xsl:apply-templates select="$tests" mode="test">
            <xsl:with-param name="field" select="$source"/>
            <xsl:with-param name="expansions" select="$expansions"/>
          </xsl:apply-templates>
        </Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- The Discretize or MapValues: $content holds the resolved Extension and
       DiscretizeBin elements of a numeric recode, or the string recode's
       inputs whose rows go into the table; $missingTo the element whose
       value is mapMissingTo, if any. -->
  <xsl:template name="recode-core">
    <xsl:param name="numeric"/>
    <xsl:param name="source"/>
    <xsl:param name="content"/>
    <xsl:param name="missingTo"/>
    <xsl:param name="expansions"/>
    <xsl:param name="withDefault" select="false()"/>
    <xsl:param name="defaultValue"/>
    <xsl:param name="alone" select="false()"/>
    <xsl:param name="cut" select="0"/>
    <xsl:choose>
      <xsl:when test="$numeric">
        <Discretize field="{$source}">
          <xsl:call-template name="core-attributes">
            <xsl:with-param name="missingTo" select="$missingTo"/>
            <xsl:with-param name="withDefault" select="$withDefault"/>
            <xsl:with-param name="defaultValue" select="$defaultValue"/>
            <xsl:with-param name="alone" select="$alone"/>
          </xsl:call-template>
          <!-- The function returns the keys before the bins, in the order
               they are written: one copy, without a filter that the engine
               would sort node by node. -->
          <xsl:copy-of select="$content"/>
        </Discretize>
      </xsl:when>
      <xsl:otherwise>
        <MapValues outputColumn="out">
          <xsl:call-template name="core-attributes">
            <xsl:with-param name="missingTo" select="$missingTo"/>
            <xsl:with-param name="withDefault" select="$withDefault"/>
            <xsl:with-param name="defaultValue" select="$defaultValue"/>
            <xsl:with-param name="alone" select="$alone"/>
          </xsl:call-template>
          <FieldColumnPair field="{$source}" column="in"/>
          <InlineTable>
            <xsl:apply-templates select="$content" mode="row">
              <xsl:with-param name="expansions" select="$expansions"/>
              <xsl:with-param name="cut" select="$cut"/>
            </xsl:apply-templates>
          </InlineTable>
        </MapValues>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A new string target that no rule gives a value holds blanks, never
       missing (strings have no system-missing value): the empty text stands
       in for missing input no rule gives a value, and, where the core is the
       whole expression ($alone), for values no rule matches. -->
  <xsl:template name="core-attributes">
    <xsl:param name="missingTo"/>
    <xsl:param name="withDefault"/>
    <xsl:param name="defaultValue"/>
    <xsl:param name="alone"/>
    <xsl:attribute name="dataType">
      <xsl:call-template name="data-type"/>
    </xsl:attribute>
    <xsl:choose>
      <xsl:when test="$missingTo">
        <xsl:attribute name="mapMissingTo"><xsl:value-of select="$missingTo/@value"/></xsl:attribute>
      </xsl:when>
      <xsl:when test="@type = 'string'">
        <xsl:attribute name="mapMissingTo"/>
      </xsl:when>
    </xsl:choose>
    <xsl:choose>
      <xsl:when test="$withDefault">
        <xsl:attribute name="defaultValue"><xsl:value-of select="$defaultValue"/></xsl:attribute>
      </xsl:when>
      <xsl:when test="$alone and @type = 'string'">
        <xsl:attribute name="defaultValue"/>
      </xsl:when>
    </xsl:choose>
  </xsl:template>

  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->
  <!-- Numeric recode                                                      -->
  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->

  <!-- The one call of the extension function: it reads the rules' inputs in
       order, then the source's missing values, from the recode and the
       declaration themselves, resolves them, and returns one element whose
       children are the keys and bins the Discretize is written over. -->
  <xsl:template name="numeric-recode">
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:call-template name="discretize">
      <xsl:with-param name="resolved" select="xalan:recode-intervals(., $declared)"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="declared" select="$declared"/>
    </xsl:call-template>
  </xsl:template>

  <!-- The Discretize over the resolved items, the children of $resolved, and
       its tests. Every path here starts at that one element: a child step
       from it lists the items as they are found, where a path or filter over
       the items themselves would copy them all into document order node by
       node, in time that grows with the square of the number of bins. -->
  <xsl:template name="discretize">
    <xsl:param name="resolved"/>
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:variable name="keys" select="$resolved/Extension"/>
    <!-- Every key has one name, one of the function's key names, none of
         which holds "|": a name is among several where the list of them
         written between bars holds it so, one test instead of one per name. -->

    <!-- A standard consumer sees system-missing and user-missing input alike
         as missing: it gets the system-missing result. The first key that
         matches system-missing decides it; only a key that gives a value
         makes a mapMissingTo. (Once resolved, an else value that reaches
         system-missing has a mapSysmisTo of its own before it.) -->
    <xsl:variable name="missingTo"
      select="$keys[contains('|mapSysmisTo|recodeSysmisCopy|mapMissingTo|recodeMissingCopy|recodeMissingSysmis|',
                             concat('|', @name, '|'))][1]
                   [@name = 'mapSysmisTo' or @name = 'mapMissingTo']"/>
    <xsl:choose>
      <!-- No else result and no copies: the Discretize says it all; what
           "recode-core" writes for it, spelt out here for the shape met
           most. -->
      <xsl:when test="not($keys[contains('|mapElseTo|recodeElseCopy|recodeRangeCopy|recodeIntervalCopy|',
                                         concat('|', @name, '|'))])">
        <Discretize field="{$source}">
          <xsl:choose>
            <xsl:when test="@type = 'string'"><xsl:attribute name="dataType">string</xsl:attribute></xsl:when>
            <xsl:otherwise><xsl:attribute name="dataType">double</xsl:attribute></xsl:otherwise>
          </xsl:choose>
          <xsl:choose>
            <xsl:when test="$missingTo">
              <xsl:attribute name="mapMissingTo"><xsl:value-of select="$missingTo/@value"/></xsl:attribute>
            </xsl:when>
            <xsl:when test="@type = 'string'">
              <xsl:attribute name="mapMissingTo"/>
            </xsl:when>
          </xsl:choose>
          <xsl:if test="@type = 'string'">
            <xsl:attribute name="defaultValue"/>
          </xsl:if>
          <xsl:copy-of select="$resolved/*"/>
        </Discretize>
      </xsl:when>
      <xsl:otherwise>
        <xsl:variable name="elseKey"
          select="$keys[contains('|mapElseTo|recodeElseCopy|recodeElseSysmis|', concat('|', @name, '|'))][1]"/>
        <xsl:choose>
          <!-- An else value and nothing copied or made system-missing: the
               Discretize alone with the else value as its default, what
               "assemble" writes for it, spelt out here for the shape met
               most. -->
          <xsl:when test="$elseKey/@name = 'mapElseTo'
                          and not($keys[contains('|recodeRangeSysmis|recodeTargetSysmis|recodeRangeCopy|recodeIntervalCopy|',
                                                   concat('|', @name, '|'))])">
            <Discretize field="{$source}">
              <xsl:choose>
                <xsl:when test="@type = 'string'"><xsl:attribute name="dataType">string</xsl:attribute></xsl:when>
                <xsl:otherwise><xsl:attribute name="dataType">double</xsl:attribute></xsl:otherwise>
              </xsl:choose>
              <xsl:choose>
                <xsl:when test="$missingTo">
                  <xsl:attribute name="mapMissingTo"><xsl:value-of select="$missingTo/@value"/></xsl:attribute>
                </xsl:when>
                <xsl:when test="@type = 'string'">
                  <xsl:attribute name="mapMissingTo"/>
                </xsl:when>
              </xsl:choose>
              <xsl:attribute name="defaultValue"><xsl:value-of select="$elseKey/@value"/></xsl:attribute>
              <xsl:copy-of select="$resolved/*"/>
            </Discretize>
          </xsl:when>
          <xsl:otherwise>
            <!-- The intervals whose values are copied or made system-missing:
                 the ranges recoded so, and the parts of the source's missing
                 range that a Missing rule copies (recodeIntervalCopy) or makes
                 system-missing (recodeTargetSysmis). A consumer does not know a
                 missing range as missing, so its values need the test to come
                 out as the rules say; a discrete missing value is declared
                 missing in the DataDictionary and comes out missing either way,
                 so it needs none. -->
            <xsl:variable name="missingValues" select="$declared/Missing"/>
            <xsl:variable name="sysmisTests"
              select="$keys[@name = 'recodeRangeSysmis' or @name = 'recodeTargetSysmis']/Interval
                        [not(../@name = 'recodeTargetSysmis' and string(@leftMargin) != ''
                             and number(@leftMargin) = number(@rightMargin)
                             and number(@leftMargin) = $missingValues/@value)]"/>
            <xsl:variable name="copyTests"
              select="$keys[@name = 'recodeRangeCopy' or @name = 'recodeIntervalCopy']/Interval
                        [not(../@name = 'recodeIntervalCopy' and string(@leftMargin) != ''
                             and number(@leftMargin) = number(@rightMargin)
                             and number(@leftMargin) = $missingValues/@value)]"/>
            <xsl:call-template name="assemble">
              <xsl:with-param name="numeric" select="true()"/>
              <xsl:with-param name="source" select="$source"/>
              <xsl:with-param name="content" select="$resolved/*"/>
              <xsl:with-param name="missingTo" select="$missingTo"/>
              <xsl:with-param name="elseToValue" select="$elseKey/@name = 'mapElseTo'"/>
              <xsl:with-param name="elseToCopy" select="$elseKey/@name = 'recodeElseCopy'"/>
              <xsl:with-param name="elseValue" select="string($elseKey/@value)"/>
              <xsl:with-param name="sysmisTests" select="$sysmisTests"/>
              <xsl:with-param name="sysmisCount" select="count($sysmisTests)"/>
              <xsl:with-param name="copyTests" select="$copyTests"/>
              <xsl:with-param name="copyCount" select="count($copyTests)"/>
            </xsl:call-template>
          </xsl:otherwise>
        </xsl:choose>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <!-- A condition that holds when $field lies in the Interval. -->
  <xsl:template match="Interval" mode="test">
    <xsl:param name="field"/>
    <xsl:choose>
      <xsl:when test="@closure = 'closedClosed' and string(@leftMargin) != '' and @leftMargin = @rightMargin">
        <Apply function="equal">
          <FieldRef field="{$field}"/>
          <Constant dataType="double"><xsl:value-of select="@leftMargin"/></Constant>
        </Apply>
      </xsl:when>
      <xsl:when test="string(@leftMargin) != '' and string(@rightMargin) != ''">
        <Apply function="and">
          <xsl:call-template name="left-test"><xsl:with-param name="field" select="$field"/></xsl:call-template>
          <xsl:call-template name="right-test"><xsl:with-param name="field" select="$field"/></xsl:call-template>
        </Apply>
      </xsl:when>
      <xsl:when test="string(@leftMargin) != ''">
        <xsl:call-template name="left-test"><xsl:with-param name="field" select="$field"/></xsl:call-template>
      </xsl:when>
      <xsl:when test="string(@rightMargin) != ''">
        <xsl:call-template name="right-test"><xsl:with-param name="field" select="$field"/></xsl:call-template>
      </xsl:when>
      <xsl:otherwise>
        <Apply function="isNotMissing"><FieldRef field="{$field}"/></Apply>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="left-test">
    <xsl:param name="field"/>
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
  </xsl:template>

  <xsl:template name="right-test">
    <xsl:param name="field"/>
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
  </xsl:template>

  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->
  <!-- String recode                                                       -->
  <!-- ~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~~ -->

  <!-- The inputs, in order, list values: a Value its own, the first Missing
       input the source's user-missing values (so that the first match
       decides for them too; a later Missing lists them again). A value
       counts where it is listed first and no Else comes before it; the
       selections below say so of the inputs themselves. An absent value
       reads as the empty text. -->
  <xsl:template name="string-recode">
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:param name="sourceWidth"/>
    <!-- A copy into a narrower target is cut to the target's width, as the
         host cuts a value it assigns. -->
    <xsl:variable name="cut" select="number(@width) * (number($sourceWidth) &gt; number(@width))"/>
    <xsl:choose>
      <!-- Trailing blanks carry no meaning: where a value has them, the rules
           and the source's missing values are read from a copy without
           them, so that they compare and are written as the host sees them.
           Only then, as the copy is a fragment of its own. -->
      <xsl:when test="(Rule/Value | Rule/To | $declared/Missing)[substring(@value, string-length(@value)) = ' ']">
        <xsl:variable name="trimmed">
          <Recode>
            <xsl:copy-of select="@*"/>
            <xsl:for-each select="Rule">
              <Rule>
                <xsl:apply-templates select="*" mode="trimmed-copy"/>
              </Rule>
            </xsl:for-each>
          </Recode>
          <Variable>
            <xsl:apply-templates select="$declared/Missing" mode="trimmed-copy"/>
          </Variable>
        </xsl:variable>
        <xsl:for-each select="xalan:nodeset($trimmed)/Recode">
          <xsl:call-template name="string-rules">
            <xsl:with-param name="source" select="$source"/>
            <xsl:with-param name="declared" select="../Variable[$declared]"/>
            <xsl:with-param name="cut" select="$cut"/>
          </xsl:call-template>
        </xsl:for-each>
      </xsl:when>
      <xsl:otherwise>
        <xsl:call-template name="string-rules">
          <xsl:with-param name="source" select="$source"/>
          <xsl:with-param name="declared" select="$declared"/>
          <xsl:with-param name="cut" select="$cut"/>
        </xsl:call-template>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="*" mode="trimmed-copy">
    <xsl:copy>
      <xsl:copy-of select="@*"/>
      <xsl:if test="@value">
        <xsl:attribute name="value">
          <xsl:call-template name="trimmed"><xsl:with-param name="text" select="@value"/></xsl:call-template>
        </xsl:attribute>
      </xsl:if>
    </xsl:copy>
  </xsl:template>

  <!-- The string recode of the context Recode; $cut is the width a copied
       value is cut to, 0 for none. -->
  <xsl:template name="string-rules">
    <xsl:param name="source"/>
    <xsl:param name="declared"/>
    <xsl:param name="cut"/>
    <xsl:variable name="firstMissing" select="(Rule/Missing)[1]"/>
    <xsl:variable name="firstValues"
      select="Rule/Value[not(preceding-sibling::Else or ../preceding-sibling::Rule/Else)]
                [not(string(@value) = (preceding-sibling::Value | ../preceding-sibling::Rule/Value)/@value
                     or (string(@value) = '' and (preceding-sibling::Value | ../preceding-sibling::Rule/Value)[not(@value)]))]
                [not((preceding-sibling::Missing or ../preceding-sibling::Rule/Missing)
                     and (string(@value) = $declared/Missing/@value
                          or (string(@value) = '' and $declared/Missing[not(@value)])))]"/>
    <xsl:variable name="valuesBeforeMissing"
      select="$firstMissing/preceding-sibling::Value | $firstMissing/../preceding-sibling::Rule/Value"/>
    <xsl:variable name="expansions"
      select="$declared/Missing[$firstMissing]
                [not($firstMissing/preceding-sibling::Else or $firstMissing/../preceding-sibling::Rule/Else)]
                [not(string(@value) = preceding-sibling::Missing/@value
                     or (string(@value) = '' and preceding-sibling::Missing[not(@value)]))]
                [not(string(@value) = $valuesBeforeMissing/@value
                     or (string(@value) = '' and $valuesBeforeMissing[not(@value)]))]"/>
    <xsl:variable name="listing" select="$firstValues | $firstMissing[$expansions]"/>
    <xsl:variable name="sysmisTests" select="$listing[../ToSystemMissing]"/>
    <xsl:variable name="elseOut" select="(Rule/Else)[1]/.."/>
    <xsl:call-template name="assemble">
      <xsl:with-param name="numeric" select="false()"/>
      <xsl:with-param name="source" select="$source"/>
      <xsl:with-param name="content" select="$listing[../To or ../ToCopy]"/>
      <xsl:with-param name="missingTo" select="(Rule/Missing | Rule/Else)[1]/../To"/>
      <xsl:with-param name="expansions" select="$expansions"/>
      <xsl:with-param name="elseToValue" select="boolean($elseOut/To)"/>
      <xsl:with-param name="elseToCopy" select="boolean($elseOut/ToCopy)"/>
      <xsl:with-param name="elseValue" select="string($elseOut/To/@value)"/>
      <xsl:with-param name="sysmisTests" select="$sysmisTests"/>
      <xsl:with-param name="sysmisCount"
        select="count($sysmisTests[self::Value]) + count($sysmisTests[self::Missing]) * count($expansions)"/>
      <xsl:with-param name="cut" select="$cut"/>
    </xsl:call-template>
  </xsl:template>

  <!-- A row of the table and a system-missing test for each value an input
       lists first; the first Missing input stands for the source's missing
       values in $expansions. -->
  <xsl:template match="Value | Variable/Missing" mode="row">
    <xsl:param name="rule" select=".."/>
    <xsl:param name="cut" select="0"/>
    <row>
      <in><xsl:value-of select="@value"/></in>
      <out>
        <xsl:choose>
          <xsl:when test="$rule/To"><xsl:value-of select="$rule/To/@value"/></xsl:when>
          <xsl:when test="$cut &gt; 0">
            <xsl:call-template name="trimmed"><xsl:with-param name="text" select="substring(@value, 1, $cut)"/></xsl:call-template>
          </xsl:when>
          <xsl:otherwise><xsl:value-of select="@value"/></xsl:otherwise>
        </xsl:choose>
      </out>
    </row>
  </xsl:template>

  <xsl:template match="Rule/Missing" mode="row">
    <xsl:param name="expansions"/>
    <xsl:param name="cut" select="0"/>
    <xsl:apply-templates select="$expansions" mode="row">
      <xsl:with-param name="rule" select=".."/>
      <xsl:with-param name="cut" select="$cut"/>
    </xsl:apply-templates>
  </xsl:template>

  <xsl:template match="Value | Variable/Missing" mode="test">
    <xsl:param name="field"/>
    <Apply function="equal">
      <FieldRef field="{$field}"/>
      <Constant dataType="string"><xsl:value-of select="@value"/></Constant>
    </Apply>
  </xsl:template>

  <xsl:template match="Rule/Missing" mode="test">
    <xsl:param name="field"/>
    <xsl:param name="expansions"/>
    <xsl:apply-templates select="$expansions" mode="test">
      <xsl:with-param name="field" select="$field"/>
    </xsl:apply-templates>
  </xsl:template>

</xsl:stylesheet>

"""Checks of the reference PMML evaluator on small hand-written documents.

Run: cd tests/oracles && /usr/bin/python3 -m unittest pmml_eval_test
"""

import os
import subprocess
import unittest

import pmml_eval as pe
from pmml_eval import INVALID

FIELDS = """
  <DataField name="x" optype="continuous" dataType="double">
    <Value value="-99" property="missing"/>
  </DataField>
  <DataField name="y" optype="continuous" dataType="double"/>
  <DataField name="s" optype="categorical" dataType="string">
    <Value value="NA" property="missing"/>
  </DataField>
  <DataField name="n" optype="categorical" dataType="integer"/>
"""


def document(derived="", model="", fields=FIELDS, follow_application=True):
    return pe.load(
        '<?xml version="1.0"?><PMML xmlns="http://www.dmg.org/PMML-4_3" version="4.3"><Header/>'
        "<DataDictionary>%s</DataDictionary><TransformationDictionary>%s</TransformationDictionary>%s</PMML>"
        % (fields, derived, model), follow_application=follow_application)


def field(expression, data_type="double", name="d"):
    return '<DerivedField name="%s" optype="continuous" dataType="%s">%s</DerivedField>' % (
        name, data_type, expression)


def value_of(expression, row, data_type="double"):
    return document(field(expression, data_type)).derived_values(row)["d"]


class Case(unittest.TestCase):
    def check_table(self, expression, table, data_type="double"):
        doc = document(field(expression, data_type))
        for row, expected in table:
            with self.subTest(row=row):
                self.assertEqual(doc.derived_values(row)["d"], expected)


class DiscretizeTest(Case):
    def test_closures_at_both_margins(self):
        for closure, at_left, at_right in [("openOpen", None, None), ("openClosed", None, "in"),
                                           ("closedOpen", "in", None), ("closedClosed", "in", "in")]:
            with self.subTest(closure=closure):
                self.check_table(
                    '<Discretize field="x" dataType="string"><DiscretizeBin binValue="in">'
                    '<Interval closure="%s" leftMargin="1" rightMargin="2"/></DiscretizeBin></Discretize>'
                    % closure,
                    [({"x": 1.0}, at_left), ({"x": 1.5}, "in"), ({"x": 2.0}, at_right),
                     ({"x": 0.999}, None), ({"x": 2.001}, None)], "string")

    def test_absent_margins_are_unbounded_and_first_bin_wins(self):
        self.check_table(
            '<Discretize field="x" dataType="double">'
            '<DiscretizeBin binValue="1"><Interval closure="openClosed" rightMargin="0"/></DiscretizeBin>'
            '<DiscretizeBin binValue="2"><Interval closure="closedClosed" leftMargin="0" rightMargin="10"/>'
            '</DiscretizeBin>'
            '<DiscretizeBin binValue="3"><Interval closure="openOpen" leftMargin="5"/></DiscretizeBin>'
            '</Discretize>',
            [({"x": -1e300}, 1.0), ({"x": 0.0}, 1.0), ({"x": 7.0}, 2.0), ({"x": 10.0}, 2.0),
             ({"x": 1e300}, 3.0)])

    def test_missing_and_unmatched_values(self):
        bins = '<DiscretizeBin binValue="a"><Interval closure="closedOpen" leftMargin="0" rightMargin="1"/>' \
               '</DiscretizeBin>'
        for attributes, missing, unmatched in [("", None, None), ('mapMissingTo="m"', "m", None),
                                               ('defaultValue="d"', None, "d"),
                                               ('mapMissingTo="m" defaultValue="d"', "m", "d")]:
            with self.subTest(attributes=attributes):
                self.check_table(
                    '<Discretize field="x" %s>%s</Discretize>' % (attributes, bins),
                    [({}, missing), ({"x": None}, missing), ({"x": -99.0}, missing), ({"x": "-99"}, missing),
                     ({"x": 1.0}, unmatched), ({"x": 0.0}, "a")], "string")


class MapValuesTest(Case):
    TABLE = ('<InlineTable><row><k>1</k><t>a</t><out>one</out></row>'
             '<row><k>1.0</k><t>b</t><out>one-b</out></row>'
             '<row><k>2</k><t>a</t><out>two</out></row></InlineTable>')

    def test_numeric_keys_match_by_value_and_all_columns_must_match(self):
        self.check_table(
            '<MapValues outputColumn="out" mapMissingTo="M" defaultValue="D">'
            '<FieldColumnPair field="x" column="k"/><FieldColumnPair field="s" column="t"/>%s</MapValues>'
            % self.TABLE,
            [({"x": 1.0, "s": "a"}, "one"), ({"x": 1.0, "s": "b"}, "one-b"), ({"x": 2.0, "s": "b"}, "D"),
             ({"x": 2.0, "s": "a"}, "two"), ({"x": 2.0, "s": "NA"}, "M"), ({"s": "a"}, "M")], "string")

    def test_string_keys_match_as_text(self):
        table = '<InlineTable><row><k>1</k><v>5</v></row><row><k>01</k><v>6</v></row></InlineTable>'
        self.check_table(
            '<MapValues outputColumn="v" dataType="double"><FieldColumnPair field="s" column="k"/>%s</MapValues>'
            % table, [({"s": "1"}, 5.0), ({"s": "01"}, 6.0), ({"s": "1.0"}, None), ({"s": "NA"}, None)])

    def test_cells_in_another_namespace_and_the_output_column(self):
        table = ('<InlineTable xmlns:c="urn:cells"><row><c:k>x</c:k><c:v>1</c:v><c:w>2</c:w></row>'
                 '</InlineTable>')
        for column, expected in [("v", 1.0), ("w", 2.0)]:
            self.assertEqual(value_of('<MapValues outputColumn="%s"><FieldColumnPair field="s" column="k"/>%s'
                                      '</MapValues>' % (column, table), {"s": "x"}), expected)


class NormTest(Case):
    POINTS = ('<LinearNorm orig="0" norm="0"/><LinearNorm orig="10" norm="1"/>'
              '<LinearNorm orig="20" norm="3"/>')

    def test_piecewise_and_outliers(self):
        inside = [({"x": 0.0}, 0.0), ({"x": 5.0}, 0.5), ({"x": 10.0}, 1.0), ({"x": 15.0}, 2.0),
                  ({"x": 20.0}, 3.0)]
        for outliers, below, above in [("asIs", -1.0, 5.0), ("asExtremeValues", 0.0, 3.0),
                                       ("asMissingValues", None, None)]:
            with self.subTest(outliers=outliers):
                self.check_table(
                    '<NormContinuous field="x" outliers="%s" mapMissingTo="7">%s</NormContinuous>'
                    % (outliers, self.POINTS),
                    inside + [({"x": -10.0}, below), ({"x": 30.0}, above), ({}, 7.0), ({"x": -99.0}, 7.0)])


def apply(function, *args, **attributes):
    extra = "".join(' %s="%s"' % kv for kv in attributes.items())
    return '<Apply function="%s"%s>%s</Apply>' % (function, extra, "".join(args))


X, Y, S = '<FieldRef field="x"/>', '<FieldRef field="y"/>', '<FieldRef field="s"/>'


def num(v):
    return '<Constant dataType="double">%s</Constant>' % v


def text(v):
    return '<Constant dataType="string">%s</Constant>' % v


class ApplyTest(Case):
    def test_numeric_functions(self):
        cases = [
            (apply("-", X, Y), {"x": 2.5, "y": 4.0}, -1.5),
            (apply("+", X, Y), {"x": 2.5}, None),
            (apply("*", X, Y), {"x": -99.0, "y": 1.0}, None),
            (apply("/", X, Y), {"x": 1.0, "y": 4.0}, 0.25),
            (apply("pow", X, num(3)), {"x": -2.0}, -8.0),
            (apply("threshold", X, num(1)), {"x": 1.0}, 0.0),
            (apply("threshold", X, num(1)), {"x": 1.5}, 1.0),
            (apply("floor", X), {"x": -2.5}, -3.0),
            (apply("ceil", X), {"x": -2.5}, -2.0),
            (apply("abs", X), {"x": -2.5}, 2.5),
            (apply("log10", X), {"x": 1000.0}, 3.0),
            (apply("sqrt", X), {"x": 2.25}, 1.5),
        ]
        for expression, row, expected in cases:
            with self.subTest(expression=expression, row=row):
                self.assertEqual(value_of(expression, row), expected)

    def test_round_goes_half_up(self):
        self.check_table(apply("round", X), [({"x": 2.5}, 3.0), ({"x": -2.5}, -2.0), ({"x": -2.51}, -3.0),
                                             ({"x": 0.49999999999999994}, 0.0), ({"x": 1.5}, 2.0)])

    def test_aggregates_ignore_missing_inputs(self):
        args = (X, Y, num(6), '<Constant missing="true"/>')
        for function, expected in [("min", 1.0), ("max", 6.0), ("sum", 9.0), ("avg", 3.0),
                                   ("median", 2.0), ("product", 12.0)]:
            with self.subTest(function=function):
                self.check_table(apply(function, *args), [({"x": 1.0, "y": 2.0}, expected)])
        self.check_table(apply("median", X, Y, num(6)), [({"x": 1.0, "y": 2.0}, 2.0), ({"x": 1.0}, 3.5)])
        self.check_table(apply("sum", X, Y), [({}, None), ({"x": -99.0}, None), ({"y": 0.0}, 0.0)])

    def test_invalid_results_and_their_treatment(self):
        for function, row in [("/", {"x": 1.0, "y": 0.0}), ("/", {"x": 0.0, "y": 0.0}), ("ln", {"x": 0.0}),
                              ("sqrt", {"x": -1.0}), ("log10", {"x": -1.0})]:
            args = (X, Y) if function == "/" else (X,)
            with self.subTest(function=function, row=row):
                self.assertIs(value_of(apply(function, *args), row), INVALID)
                self.assertIsNone(value_of(apply(function, *args, invalidValueTreatment="asMissing"), row))
                self.assertEqual(value_of(apply(function, *args, invalidValueTreatment="asMissing",
                                                defaultValue="0"), row), 0.0)
        self.assertEqual(value_of(apply("/", X, Y, invalidValueTreatment="asIs"), {"x": -1.0, "y": 0.0}),
                         float("-inf"))
        # An invalid argument makes the enclosing function invalid too.
        self.assertIs(value_of(apply("+", num(1), apply("/", X, Y)), {"x": 1.0, "y": 0.0}), INVALID)
        self.assertIs(value_of(apply("+", X, S), {"x": 1.0, "s": "abc"}), INVALID)

    def test_map_missing_to_and_default_value(self):
        expression = apply("if", apply("greaterThan", X, num(0)), X, mapMissingTo="1", defaultValue="2")
        self.check_table(expression, [({"x": 5.0}, 5.0), ({"x": -5.0}, 2.0), ({}, 1.0)])
        self.check_table(apply("+", X, Y, mapMissingTo="-1"), [({"x": 1.0}, -1.0), ({"x": 1.0, "y": 1.0}, 2.0)])
        self.check_table(apply("sum", X, Y, mapMissingTo="-1", defaultValue="-2"),
                         [({"x": 1.0}, 1.0), ({}, -2.0)])

    def test_if_and_logic(self):
        self.check_table(apply("if", apply("lessThan", X, num(0)), text("neg"), text("pos")),
                         [({"x": -1.0}, "neg"), ({"x": 0.0}, "pos"), ({}, None)], "string")
        self.check_table(apply("if", apply("isMissing", X), num(1)), [({}, 1.0), ({"x": 3.0}, None)])
        cases = [
            ("and", {"x": 1.0, "y": 1.0}, True), ("and", {"x": 1.0, "y": 0.0}, False),
            ("or", {"x": 0.0, "y": 1.0}, True), ("or", {"x": 0.0}, None), ("and", {"y": 0.0}, None),
        ]
        for function, row, expected in cases:
            with self.subTest(function=function, row=row):
                got = value_of(apply(function, apply("greaterThan", X, num(0)),
                                     apply("greaterThan", Y, num(0))), row, "boolean")
                self.assertEqual(got, expected)

    def test_comparisons_and_sets(self):
        cases = [
            (apply("equal", X, num(2)), {"x": 2.0}, True), (apply("notEqual", X, num(2)), {"x": 2.0}, False),
            (apply("lessOrEqual", X, num(2)), {"x": 2.0}, True), (apply("greaterOrEqual", X, num(2)), {}, None),
            (apply("equal", S, text("a")), {"s": "a"}, True), (apply("lessThan", S, text("b")), {"s": "a"}, True),
            (apply("isIn", X, num(1), num(2)), {"x": 2.0}, True),
            (apply("isNotIn", X, num(1), num(2)), {"x": 3.0}, True),
            (apply("isIn", S, text("a"), text("b")), {"s": "NA"}, None),
            (apply("isMissing", S), {"s": "NA"}, True), (apply("isNotMissing", S), {"s": "a"}, True),
            (apply("not", apply("isMissing", X)), {"x": 1.0}, True),
        ]
        for expression, row, expected in cases:
            with self.subTest(expression=expression, row=row):
                self.assertEqual(value_of(expression, row, "boolean"), expected)

    def test_string_functions(self):
        cases = [
            (apply("uppercase", S), {"s": "aBc"}, "ABC"), (apply("lowercase", S), {"s": "aBc"}, "abc"),
            (apply("substring", S, num(2), num(3)), {"s": "abcdef"}, "bcd"),
            (apply("substring", S, num(0), num(3)), {"s": "abcdef"}, "ab"),
            (apply("trimBlanks", S), {"s": "  a b  "}, "a b"),
            (apply("concat", S, text("-"), X), {"s": "a", "x": 3.0}, "a-3"),
            (apply("concat", S, X), {"s": "a"}, None),
            (apply("replace", S, text("(a+)b"), text("[$1]")), {"s": "xaab"}, "x[aa]"),
            (apply("formatNumber", X, text("%05.1f")), {"x": 3.14159}, "003.1"),
            (apply("formatNumber", X, text("%3d")), {"x": 7.0}, "  7"),
        ]
        for expression, row, expected in cases:
            with self.subTest(expression=expression, row=row):
                self.assertEqual(value_of(expression, row, "string"), expected)
        self.assertEqual(value_of(apply("matches", S, text("b+")), {"s": "abba"}, "boolean"), True)

    def test_unknown_function_is_unsupported(self):
        with self.assertRaises(pe.Unsupported):
            value_of(apply("modulo", X, num(2)), {"x": 1.0})
        with self.assertRaises(pe.Unsupported):
            value_of('<Aggregate field="x" function="sum"/>', {"x": 1.0})


def date(v, data_type="date"):
    return '<Constant dataType="%s">%s</Constant>' % (data_type, v)


class ApplicationFunctionTest(Case):
    # Dates are seconds since 14 October 1582 and times seconds since midnight: 15 October 1582 is
    # 86400, 1 January 1583 is 79 days on (17 left in October, 30 in November, 31 in December).
    JAN_1583 = 79 * 86400.0

    def outlier(self, treatment, *parameters):
        return apply("outlierHandle", X, text(treatment), *[num(p) for p in parameters])

    def test_outlier_handle(self):
        cases = [
            # centre 52000, spread 18000, factor 3: the cut-offs are -2000 and 106000.
            (("asExtremeValues", 52000, 18000, 3), {"x": 200000.0}, 106000.0),
            (("asExtremeValues", 52000, 18000, 3), {"x": -5000.0}, -2000.0),
            (("asExtremeValues", 52000, 18000, 3), {"x": 106000.0}, 106000.0),
            (("asExtremeValues", 52000, 18000, 3), {"x": 50000.0}, 50000.0),
            (("asExtremeValues", 52000, 18000, 3), {}, None),
            (("asExtremeValues", 52000, 18000, 3), {"x": -99.0}, None),
            (("asMissingValues", 52000, 18000, 3), {"x": 200000.0}, None),
            (("asMissingValues", 52000, 18000, 3), {"x": -2000.5}, None),
            (("asMissingValues", 52000, 18000, 3), {"x": -2000.0}, -2000.0),
            # A fourth parameter n divides the width by its root: 2*3/sqrt(4) = 3 around 10.
            (("asExtremeValues", 10, 2, 3, 4), {"x": 14.0}, 13.0),
            (("asExtremeValues", 10, 2, 3, 4), {"x": 6.5}, 7.0),
            (("asExtremeValues", 10, 2, 3, 4), {"x": 12.0}, 12.0),
            (("asMissingValues", 10, 2, 3, 4), {"x": 14.0}, None),
            (("asExtremeValues", 10, 2, 3, 1), {"x": 14.0}, 14.0),
        ]
        for parameters, row, expected in cases:
            with self.subTest(parameters=parameters, row=row):
                self.assertEqual(value_of(self.outlier(*parameters), row), expected)

    def test_outlier_handle_errors_and_plain_consumer(self):
        for expression in (self.outlier("asIs", 0, 1, 2), self.outlier("asExtremeValues", 0, 1),
                           self.outlier("asExtremeValues", 0, 1, 2, 3, 4)):
            with self.subTest(expression=expression), self.assertRaises(ValueError):
                value_of(expression, {"x": 1.0})
        doc = document(field(self.outlier("asExtremeValues", 0, 1, 2)), follow_application=False)
        with self.assertRaises(pe.Unsupported):
            doc.derived_values({"x": 1.0})

    def test_date_differences(self):
        cases = [
            (apply("date_days_difference", date("3/1/2020"), date("2/1/2020")), 29.0),
            (apply("date_days_difference", date("2/1/2020"), date("3/1/2020")), -29.0),
            (apply("date_days_difference", date("1/1/1583"), date("10-15-1582")), 78.0),
            (apply("date_days_difference", date("1/1/1583 12:00:00", "dateTime"), date("1/1/1583")),
             0.5),
            (apply("date_months_difference", date("3/1/2021"), date("2/1/2021")), 28 / 30.4375),
            (apply("date_years_difference", date("1/1/2022"), date("1/1/2021")), 365 / 365.25),
            (apply("date_days_difference", X, date("1/1/1583")), None),
        ]
        for expression, expected in cases:
            with self.subTest(expression=expression):
                self.assertAlmostEqual(value_of(expression, {}) or 0.0, expected or 0.0, places=12)
                self.assertEqual(value_of(expression, {}) is None, expected is None)
        self.assertAlmostEqual(value_of(cases[4][0], {}), 0.92, places=2)
        self.assertAlmostEqual(value_of(cases[5][0], {}), 0.9993, places=4)

    def test_temporal_constants_and_recasts(self):
        cases = [
            (date("10/15/1582"), 86400.0),
            (date("1/1/1583"), self.JAN_1583),
            (date("9:30:15", "time"), 34215.0),
            (date("1/1/1583T9:30:15", "dateTime"), self.JAN_1583 + 34215.0),
            (date("2/30/2021"), INVALID),
            (apply("recast_to_scale", date("10/15/1582")), 86400.0),
        ]
        for expression, expected in cases:
            with self.subTest(expression=expression):
                self.assertEqual(value_of(expression, {}), expected)
        for written in ("2020", "2020/1", "1/1/2020 9:30", "a/b/c"):
            with self.subTest(written=written), self.assertRaises(pe.Unsupported):
                value_of(date(written), {})
        self.check_table(apply("recast_to_scale", X), [({"x": 7.5}, 7.5), ({}, None)])
        self.check_table(apply("recast_to_ordinal", X), [({"x": -1.0}, -1.0)])
        self.check_table(apply("recast_to_nominal", S), [({"s": "ab"}, "ab"), ({"s": "NA"}, None)],
                         data_type="string")


class FieldsTest(Case):
    def test_chains_constants_and_field_refs(self):
        doc = document(field(apply("*", '<FieldRef field="a"/>', num(2)), name="b")
                       + field('<FieldRef field="x" mapMissingTo="4"/>', name="a")
                       + field('<Constant missing="true"/>', name="c")
                       + field('<Constant>2.5</Constant>', "string", name="e")
                       + field(apply("greaterThan", X, num(0)), name="f"))
        self.assertEqual(doc.derived_values({"x": 1.0}), {"b": 2.0, "a": 1.0, "c": None, "e": "2.5", "f": 1.0})
        self.assertEqual(doc.derived_values({"x": -99.0}), {"b": 8.0, "a": 4.0, "c": None, "e": "2.5", "f": None})

    def test_application_missing_values(self):
        fields = FIELDS + ('<DataField name="h" optype="continuous" dataType="double">'
                           '<Extension extender="pmmlxform" name="invalidRangeLower" value="-1.79769313486231E+308"/>'
                           '<Extension extender="pmmlxform" name="invalidRangeUpper" value="0"/></DataField>')
        derived = ('<DerivedField name="band" optype="categorical" dataType="string">'
                   '<Extension extender="pmmlxform" name="MissingValues">'
                   '<Value value="unknown" property="missing"/></Extension>'
                   '<MapValues outputColumn="o" defaultValue="unknown"><FieldColumnPair field="s" column="i"/>'
                   '<InlineTable><row><i>a</i><o>A</o></row></InlineTable></MapValues></DerivedField>'
                   + field('<FieldRef field="h" mapMissingTo="-1"/>', name="hh"))
        # A missing range on a DataField is an extension no consumer reads: -5 stays a value.
        for follow, expected in [(True, {"band": None, "hh": -5.0}), (False, {"band": "unknown", "hh": -5.0})]:
            with self.subTest(follow_application=follow):
                doc = document(derived, fields=fields, follow_application=follow)
                self.assertEqual(doc.derived_values({"s": "z", "h": -5.0}), expected)
                self.assertEqual(doc.derived_values({"s": "a", "h": 0.5}), {"band": "A", "hh": 0.5})
                self.assertEqual(doc.derived_values({"s": "a"}), {"band": "A", "hh": -1.0})

    def test_missing_range_counts_only_inside_missing_values_extension(self):
        pair = ('<Extension extender="pmmlxform" name="invalidRangeLower" value="0"/>'
                '<Extension extender="pmmlxform" name="invalidRangeUpper" value="9"/>')
        copy = apply("+", X, num(0))
        for where, derived, expected in [
                ("on the DerivedField", field(pair + copy, name="d"), 5.0),
                ("in MissingValues", field('<Extension extender="pmmlxform" name="MissingValues">'
                                           + pair + '</Extension>' + copy, name="d"), None)]:
            with self.subTest(where):
                self.assertEqual(document(derived).derived_values({"x": 5.0}), {"d": expected})
                self.assertEqual(document(derived).derived_values({"x": 10.0}), {"d": 10.0})


REGRESSION = """
<RegressionModel functionName="regression">
  <MiningSchema>
    <MiningField name="t" usageType="predicted"/>
    <MiningField name="x" missingValueReplacement="10" missingValueTreatment="asMean"/>
    <MiningField name="y" outliers="asExtremeValues" lowValue="0" highValue="5"/>
    <MiningField name="s" invalidValueTreatment="%s"/>
  </MiningSchema>
  <RegressionTable intercept="1">
    <NumericPredictor name="x" coefficient="2"/>
    <NumericPredictor name="y" exponent="2" coefficient="1"/>
    <CategoricalPredictor name="s" value="a" coefficient="100"/>
    <CategoricalPredictor name="s" value="b" coefficient="200"/>
  </RegressionTable>
</RegressionModel>"""

SCORE_FIELDS = FIELDS.replace('<Value value="NA" property="missing"/>',
                              '<Value value="a"/><Value value="b"/><Value value="NA" property="missing"/>') + \
    '<DataField name="t" optype="continuous" dataType="double"/>'


class RegressionTest(Case):
    def test_predictors_replacement_outliers_and_invalid_values(self):
        cases = [
            ("returnInvalid", {"x": 1.0, "y": 2.0, "s": "a"}, 1 + 2 + 4 + 100.0),
            ("returnInvalid", {"x": -99.0, "y": 2.0, "s": "b"}, 1 + 20 + 4 + 200.0),
            ("returnInvalid", {"y": 9.0, "s": "a"}, 1 + 20 + 25 + 100.0),
            ("returnInvalid", {"x": 1.0, "y": -3.0, "s": "a"}, 1 + 2 + 0 + 100.0),
            ("returnInvalid", {"x": 1.0, "s": "a"}, None),
            ("returnInvalid", {"x": 1.0, "y": 1.0, "s": "NA"}, None),
            ("returnInvalid", {"x": 1.0, "y": 1.0, "s": "c"}, INVALID),
            ("asIs", {"x": 1.0, "y": 1.0, "s": "c"}, 4.0),
            ("asMissing", {"x": 1.0, "y": 1.0, "s": "c"}, None),
        ]
        for treatment, row, expected in cases:
            with self.subTest(treatment=treatment, row=row):
                got = document(model=REGRESSION % treatment, fields=SCORE_FIELDS).score(row)
                self.assertEqual(got, expected)


TREE = """
<TreeModel functionName="classification" missingValueStrategy="%s" noTrueChildStrategy="%s">
  <MiningSchema>
    <MiningField name="x"/><MiningField name="s"/><MiningField name="y" missingValueReplacement="1"/>
    <MiningField name="t" usageType="predicted"/>
  </MiningSchema>
  <Node score="root" defaultChild="right"><True/>
    <Node id="left" score="left"><SimplePredicate field="x" operator="lessThan" value="-5"/>
      <Node score="neg-a"><SimpleSetPredicate field="s" booleanOperator="isIn">
        <Array type="string">a "b c"</Array></SimpleSetPredicate></Node>
    </Node>
    <Node id="right" score="right">
      <CompoundPredicate booleanOperator="surrogate">
        <SimplePredicate field="x" operator="greaterOrEqual" value="0"/>
        <SimplePredicate field="y" operator="greaterThan" value="0"/>
      </CompoundPredicate>
      <Node score="missing-s"><SimplePredicate field="s" operator="isMissing"/></Node>
      <Node score="y-big"><CompoundPredicate booleanOperator="and">
        <SimplePredicate field="y" operator="greaterThan" value="0.5"/>
        <SimplePredicate field="s" operator="notEqual" value="z"/></CompoundPredicate></Node>
    </Node>
  </Node>
</TreeModel>"""

TREE_FIELDS = FIELDS + '<DataField name="t" optype="categorical" dataType="string"/>'


class TreeTest(Case):
    def test_missing_value_strategies(self):
        cases = [
            # strategy, noTrueChild, row, expected
            ("none", "returnNullPrediction", {"x": -6.0, "s": "b c"}, "neg-a"),
            ("none", "returnNullPrediction", {"x": -6.0, "s": "b"}, None),
            ("none", "returnLastPrediction", {"x": -6.0, "s": "b"}, "left"),
            # The surrogate's first part is false, so the second is not asked.
            ("none", "returnNullPrediction", {"x": -1.0, "s": "q", "y": 0.7}, None),
            ("none", "returnNullPrediction", {"x": 2.0, "s": "NA"}, "missing-s"),
            ("none", "returnNullPrediction", {"x": 2.0, "s": "q", "y": 0.5}, None),
            ("none", "returnNullPrediction", {"x": 2.0, "s": "q"}, "y-big"),  # y replaced by 1
            # x missing: the first child is unknown.
            ("none", "returnNullPrediction", {"s": "q", "y": 0.7}, "y-big"),
            ("nullPrediction", "returnNullPrediction", {"s": "q", "y": 0.7}, None),
            ("lastPrediction", "returnNullPrediction", {"s": "q", "y": 0.7}, "root"),
            ("defaultChild", "returnNullPrediction", {"s": "q", "y": 0.7}, "y-big"),
            # x missing and y not positive: the surrogate says false.
            ("none", "returnLastPrediction", {"s": "q", "y": -1.0}, "root"),
        ]
        for strategy, no_true_child, row, expected in cases:
            with self.subTest(strategy=strategy, no_true_child=no_true_child, row=row):
                doc = document(model=TREE % (strategy, no_true_child), fields=TREE_FIELDS)
                self.assertEqual(doc.score(row), expected)

    def test_derived_inputs_come_from_the_transformations(self):
        doc = document(field('<FieldRef field="y"/>', name="z"),
                       model='<TreeModel functionName="regression"><MiningSchema>'
                             '<MiningField name="y" missingValueReplacement="3"/></MiningSchema>'
                             '<LocalTransformations>' + field(apply("*", '<FieldRef field="z"/>', num(2)), name="w")
                             + '</LocalTransformations><Node><True/>'
                             '<Node score="1.5"><SimplePredicate field="w" operator="greaterThan" value="5"/></Node>'
                             '<Node score="-1"><True/></Node></Node></TreeModel>')
        self.assertEqual([doc.score({"y": 2.0}), doc.score({"y": 2.6}), doc.score({})], [-1.0, 1.5, 1.5])


EXAMPLES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "share", "pmmlxform", "examples")


class BundledExamplesTest(Case):
    def test_credit_transformation_and_model(self):
        with open(os.path.join(EXAMPLES, "credit-transformation.pmml"), "rb") as f:
            transformation = pe.load(f.read())
        with open(os.path.join(EXAMPLES, "credit-model.pmml"), "rb") as f:
            model = pe.load(f.read())
        cases = [
            ({"income": 1500.0, "debt": 100.0}, ("low", "low"), "bad"),
            ({"income": 2000.0, "debt": 7000.0}, ("low", "high"), "bad"),
            ({"income": 5000.0, "debt": 15000.0}, ("mid", "low"), "good"),
            ({"income": 5000.5, "debt": 0.0}, ("high", "low"), "good"),
            # The model declares "unknown" missing for income_band but not for ratio_band, whose listed
            # values make it invalid there.
            ({"debt": 1.0}, ("unknown", "unknown"), INVALID),
            ({"income": 0.0, "debt": 1.0}, ("low", INVALID), INVALID),
        ]
        for row, bands, expected in cases:
            with self.subTest(row=row):
                derived = transformation.derived_values(row)
                self.assertEqual((derived["income_band"], derived["ratio_band"]), bands)
                self.assertEqual(model.score(derived), expected)

    @unittest.skipUnless(os.environ.get("PMMLXFORM"), "set PMMLXFORM to the pmmlxform tool")
    def test_survey_description_as_transformed(self):
        pmml = subprocess.run([os.environ["PMMLXFORM"], "transform",
                               os.path.join(EXAMPLES, "survey_description.xml")],
                              check=True, capture_output=True).stdout
        doc = pe.load(pmml)
        cases = [
            ({"age": 17.0, "income": 20.0, "hhsize": 2.0, "region": "NE", "satisfaction": 3.0},
             {"age_group": 1.0, "income_band": 1.0, "region4": "North", "satisfied": "neutral",
              "income_pp": 10.0}),
            ({"age": 55.0, "income": 99.0, "hhsize": 0.0, "region": "XX", "satisfaction": 9.0},
             {"age_group": 4.0, "income_band": 9.0, "region4": "?", "satisfied": "none", "income_pp": None}),
            ({"age": 34.5, "income": 50.0, "hhsize": -1.0, "region": "ZZ"},
             {"age_group": None, "income_band": 2.0, "region4": "Other", "satisfied": "none",
              "income_pp": 50.0}),
        ]
        for row, expected in cases:
            with self.subTest(row=row):
                self.assertEqual(doc.derived_values(row), expected)


if __name__ == "__main__":
    unittest.main()

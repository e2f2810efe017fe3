"""Tests of the description evaluator; every expected value is worked out by hand."""

import os
import unittest

import desc_eval as d

HERE = os.path.dirname(os.path.abspath(__file__))

# x: user-missing 99 and 900 upwards; s: width 4, user-missing "dk" (declared with a blank).
SOURCES = (
    '<Variable name="X" type="numeric" level="scale">'
    '<MissingRange low="900" high="HIGHEST"/><Missing value="99"/></Variable>'
    '<Variable name="s" type="string" width="4" level="nominal"><Missing value="dk "/></Variable>'
    '<Variable name="n" type="string" width="5" level="nominal"/>'
)


def description(*entries):
    return ("<TransformationDescription><Transformations>%s%s</Transformations>"
            "</TransformationDescription>" % (SOURCES, "".join(entries)))


def numeric_recode(rules, source="x"):
    return description('<Recode source="%s" target="t" type="numeric" level="scale">%s</Recode>'
                       % (source, rules))


def string_recode(rules, width=3, source="s"):
    return description('<Recode source="%s" target="t" type="string" width="%d" level="nominal">'
                       '%s</Recode>' % (source, width, rules))


def compute(expression, kind="numeric", width=10):
    width_attr = ' width="%d"' % width if kind == "string" else ""
    return description('<Compute target="t" type="%s"%s level="scale">%s</Compute>'
                       % (kind, width_attr, expression))


def rule(inputs, result):
    return "<Rule>%s%s</Rule>" % (inputs, result)


def to(value):
    return '<To value="%s"/>' % value


def rng(low, high):
    return '<Range low="%s" high="%s"/>' % (low, high)


def val(value):
    return '<Value value="%s"/>' % value


SYS, MIS, ELSE = "<SystemMissing/>", "<Missing/>", "<Else/>"
COPY, TOSYS = "<ToCopy/>", "<ToSystemMissing/>"


def apply(function, *args):
    return '<Apply function="%s">%s</Apply>' % (function, "".join(args))


def field(name):
    return '<Field name="%s"/>' % name


def num(value):
    return '<Number value="%s"/>' % value


def text(value):
    return '<String value="%s"/>' % value


class Recodes(unittest.TestCase):
    def check(self, cases):
        for doc, rows in cases:
            for row, want in rows:
                with self.subTest(doc=doc[doc.find("<Recode"):], row=row):
                    self.assertEqual(d.evaluate(doc, row)["t"], want)

    def test_first_matching_rule_also_for_missing_values(self):
        self.check([
            (numeric_recode(rule(SYS, TOSYS) + rule(MIS, to(9)) + rule(rng(1, 5), to(1))),
             [({}, None), ({"x": 99}, 9.0), ({"x": 3}, 1.0), ({"x": 7}, None)]),
            (numeric_recode(rule(MIS, COPY) + rule(MIS, to(1))),
             [({"x": None}, None), ({"x": 99}, 99.0), ({"x": 950}, 950.0), ({"x": 1}, None)]),
            (numeric_recode(rule(SYS, COPY) + rule(SYS, to(".5"))), [({}, None)]),
            (numeric_recode(rule(rng(-5, 5) + SYS, COPY) + rule(ELSE, to(7))),
             [({}, None), ({"x": 6}, 7.0), ({"x": -5}, -5.0), ({"x": 99}, 7.0)]),
            (numeric_recode(rule(SYS, TOSYS) + rule(rng(0, 1), to(1)) + rule(ELSE, to(42))),
             [({}, None), ({"x": 2}, 42.0)]),
        ])

    def test_missing_system_missing_and_else(self):
        self.check([
            (numeric_recode(rule(SYS, to(1)) + rule(MIS, to(2))),
             [({}, 1.0), ({"x": 99}, 2.0), ({"x": 900}, 2.0), ({"x": 899.99}, None)]),
            (numeric_recode(rule(ELSE, to(3))), [({}, 3.0), ({"x": 99}, 3.0), ({"X": 0}, 3.0)]),
            # A value or range rule tests the actual value, user-missing or not.
            (numeric_recode(rule(rng(90, 100), to(1)) + rule(MIS, to(2))),
             [({"x": 99}, 1.0), ({"x": 901}, 2.0)]),
            (numeric_recode(rule(MIS, TOSYS) + rule(ELSE, to(1))),
             [({"x": 99}, None), ({"x": 98}, 1.0)]),
        ])

    def test_ranges_values_and_rule_order(self):
        self.check([
            (numeric_recode(rule(rng(1, 5), to(1)) + rule(rng(5, 10), to(2))),
             [({"x": 5}, 1.0), ({"x": 10}, 2.0), ({"x": 10.001}, None), ({"x": 0.999}, None)]),
            (numeric_recode(rule(rng("LOWEST", 0), to(0)) + rule(rng(0, "HIGHEST"), to(1))),
             [({"x": -1e300}, 0.0), ({"x": 0}, 0.0), ({"x": 1e300}, 1.0), ({}, None)]),
            (numeric_recode(rule(ELSE, to(1)) + rule(val(5), to(2))), [({"x": 5}, 1.0)]),
            (numeric_recode(rule(val("5."), to("07")) + rule(val(".5"), to("-.5"))
                            + rule(val("-05.00"), to("3.")) + rule(val("05"), to(9))),
             [({"x": 5}, 7.0), ({"x": 0.5}, -0.5), ({"x": -5}, 3.0)]),
            (numeric_recode(rule(val(5), COPY)), [({"x": 5}, 5.0), ({"x": 6}, None)]),
        ])

    def test_string_rules(self):
        self.check([
            (string_recode(rule(val("AB   "), to("x")) + rule(ELSE, to("y"))),
             [({"s": "AB"}, "x"), ({"s": "ab"}, "y"), ({"s": " AB"}, "y")]),
            (string_recode(rule(MIS, to("m")) + rule(val("dk"), to("v"))),
             [({"s": "dk"}, "m"), ({"s": "zz"}, "")]),
            (string_recode(rule(val("dk"), to("v")) + rule(MIS, to("m"))), [({"s": "dk"}, "v")]),
            (string_recode(rule(ELSE, COPY), width=1), [({"s": "N/A"}, "N"), ({"s": ""}, "")]),
            (string_recode(rule(val("a"), to("abc   ")), width=3), [({"s": "a"}, "abc")]),
            # Strings have no system-missing value: a missing cell is blank, not missing.
            (string_recode(rule(MIS, to("m")) + rule(val(""), to("b"))), [({"s": None}, "b")]),
            (numeric_recode(rule(rng(1, 2), to("lo")) + rule(MIS, to("none"))).replace(
                'target="t" type="numeric"', 'target="t" type="string" width="4"'),
             [({"x": 1}, "lo"), ({"x": 99}, "none"), ({"x": 3}, "")]),
        ])

    def test_refused(self):
        cases = [
            string_recode(rule(val("a"), to("long")), width=3),
            string_recode(rule(ELSE, TOSYS)),
            string_recode(rule(rng(1, 2), to("a"))),
            string_recode(rule(SYS, to("a"))),
            numeric_recode(rule(val("1e3"), to(1))),
            numeric_recode(rule(val(1), to("a"))),
            numeric_recode(rule(rng(5, 1), to(1))),
            numeric_recode(rule(ELSE, COPY), source="s"),
            numeric_recode(rule(val(1), to(1)), source="nosuch"),
            numeric_recode(rule(val(1), "")),
            description('<Compute target="x" type="numeric" level="scale">%s</Compute>' % num(1)),
            description('<Variable name="s" type="numeric" level="scale"/>'),
        ]
        for doc in cases:
            with self.subTest(doc=doc[doc.find("</Variable><R") + 11:]):
                with self.assertRaises(d.Refused):
                    d.evaluate(doc, {"x": 1, "s": "a"})


class Computes(unittest.TestCase):
    CASES = [
        # the host's missing-value rules on the description's own declarations (the rules
        # themselves, taken from host_lang, are host_lang_test's)
        (apply("+", field("x"), num(1)), {"x": 99}, None),  # user-missing counts as missing
        (apply("+", field("x"), num(1)), {"x": 950}, None),
        (apply("+", field("x"), num(1)), {"x": 98}, 99.0),
        (apply("and", apply("isMissing", field("x")), field("x"), num(0)), {}, 0.0),
        (apply("product", num(0), field("x")), {}, 0.0),
        (apply("product", num(2), field("x")), {}, None),
        # rounding functions the host does not have
        (apply("floor", num("-2.5")), {}, -3.0),
        (apply("ceil", num("-2.5")), {}, -2.0),
        # logical results are 1/0; conditions
        (apply("threshold", num(3), num(3)), {}, 0.0),
        (apply("isIn", field("x"), num(1), num(2)), {"x": 2}, 1.0),
        (apply("isNotIn", field("x"), num(1), num(2)), {"x": 3}, 1.0),
        (apply("isIn", field("x"), num(1)), {}, None),
        (apply("isMissing", field("s")), {"s": "dk"}, 1.0),
        (apply("isNotMissing", field("x")), {"x": 900}, 0.0),
        (apply("not", apply("equal", field("s"), text("dk"))), {"s": "dk"}, 0.0),
        (apply("if", apply("greaterThan", field("x"), num(1)), num(1), num(2)), {}, None),
        (apply("if", apply("greaterThan", field("x"), num(1)), num(1)), {"x": 0}, None),
        (apply("if", apply("greaterThan", field("x"), num(1)), num(1), num(2)), {"x": 0}, 2.0),
    ]

    STRING_CASES = [
        # n (width 5) holds "ab" padded with blanks; concat keeps them; the target cuts.
        (apply("concat", field("n"), text("x")), {"n": "ab"}, 10, "ab   x"),
        (apply("concat", field("n"), text("x")), {"n": "ab"}, 3, "ab"),
        (apply("concat", text("a "), text("b")), {}, 10, "a b"),
        (apply("uppercase", field("N")), {"n": "ab"}, 10, "AB"),
        (apply("trimBlanks", text("  a  ")), {}, 10, "a"),
        (apply("if", apply("isMissing", field("x")), text("none"), text("some")), {}, 10, "none"),
        (apply("if", apply("greaterThan", field("x"), num(1)), text("big")), {}, 10, ""),
        # a missing condition skips the whole block, its else included: the target stays blank
        (apply("if", apply("greaterThan", field("x"), num(1)), text("big"), text("small")), {}, 10,
         ""),
        (apply("if", apply("greaterThan", field("x"), num(1)), text("big")), {"x": 0}, 10, ""),
        (apply("replace", field("n"), text("b$"), text("c")), {"n": "ab"}, 10, "ac"),
    ]

    def test_numeric_computes(self):
        for expr, row, want in self.CASES:
            with self.subTest(expr=expr, row=row):
                self.assertEqual(d.evaluate(compute(expr), row)["t"], want)

    def test_string_computes(self):
        for expr, row, width, want in self.STRING_CASES:
            with self.subTest(expr=expr, row=row, width=width):
                self.assertEqual(d.evaluate(compute(expr, "string", width), row)["t"], want)

    def test_overrides_replace_one_function_s_host_meaning(self):
        strict_times = lambda a, b: None if a is None or b is None else a * b  # noqa: E731
        expr = compute(apply("+", apply("*", field("x"), num(0)), apply("round", num("-2.5"))))
        self.assertEqual(d.evaluate(expr, {})["t"], -3.0)
        self.assertIsNone(d.evaluate(expr, {}, {"*": strict_times})["t"])
        self.assertEqual(d.evaluate(expr, {}, {"round": lambda x: -2.0})["t"], -2.0)
        for name in ("if", "isMissing", "nosuch"):
            with self.subTest(name=name), self.assertRaises(ValueError):
                d.evaluate(expr, {}, {name: strict_times})

    def test_targets_feed_later_entries_in_order(self):
        doc = description(
            '<Compute target="Y" type="numeric" level="scale">%s</Compute>'
            % apply("*", field("X"), num(2)),
            '<Recode source="y" target="z" type="numeric" level="scale">%s</Recode>'
            % (rule(rng(0, 10), to(1)) + rule(MIS, to(9))))
        self.assertEqual(list(d.evaluate(doc, {"x": 5}).items()), [("Y", 10.0), ("z", 1.0)])
        self.assertEqual(d.evaluate(doc, {"x": 99}), {"Y": None, "z": 9.0})

    def test_refused(self):
        for expr, kind in [(apply("+", field("s"), num(1)), "numeric"),
                           (apply("concat", field("s"), num(1)), "string"),
                           (apply("mean", num(1)), "numeric"),
                           (apply("sqrt", num(1), num(2)), "numeric"),
                           (apply("if", num(1), num(1), text("a")), "numeric"),
                           (field("nosuch"), "numeric"),
                           (apply("equal", field("s"), field("x")), "numeric"),
                           (text("a"), "numeric"),
                           (num(1), "string")]:
            with self.subTest(expr=expr):
                with self.assertRaises(d.Refused):
                    d.evaluate(compute(expr, kind), {"x": 1, "s": "a"})


class BundledDescriptions(unittest.TestCase):
    def test_survey_example(self):
        path = os.path.join(HERE, "..", "..", "share", "pmmlxform", "examples",
                            "survey_description.xml")
        with open(path, encoding="utf-8") as f:
            doc = f.read()
        self.assertEqual(
            d.evaluate(doc, {"age": 17.5, "income": 20, "hhsize": 0, "region": "XX",
                             "satisfaction": 9}),
            {"age_group": None, "income_band": 1.0, "region4": "?", "satisfied": "none",
             "income_pp": 20.0})


if __name__ == "__main__":
    unittest.main()

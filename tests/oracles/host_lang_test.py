"""Tests of the command-language interpreter; every expected value is worked out by hand."""

import os
import unittest
import xml.etree.ElementTree as ET

import host_lang as h

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "..", "data")
SHARE = os.path.join(HERE, "..", "..", "share", "pmmlxform", "examples")

# x: user-missing 99 and the range 900..HIGHEST; m: always system-missing in these tables.
DICT = {
    "x": h.VarInfo("numeric", missing=[99], missing_range=(900, "HIGHEST")),
    "m": h.VarInfo("numeric"),
    "s": h.VarInfo("string", 6, missing=["NA"]),
    "a": h.VarInfo("string", 4),
}


def compute(expr, **row):
    return h.run("COMPUTE y = %s.\n" % expr, DICT, row)["y"]


class Expressions(unittest.TestCase):
    def check(self, cases):
        for expr, row, want in cases:
            with self.subTest(expr=expr, row=row):
                got = compute(expr, **row)
                if isinstance(want, float) and got is not None:
                    self.assertAlmostEqual(got, want, places=9)
                else:
                    self.assertEqual(got, want)

    def test_precedence(self):
        self.check([
            ("-2**2", {}, -4.0),
            ("(-2)**2", {}, 4.0),
            ("2**-1", {}, 0.5),
            ("- 3 * 2 + 1", {}, -5.0),
            ("2+3*4", {}, 14.0),
            ("10-4-3", {}, 3.0),
            ("8/4/2", {}, 1.0),
            ("1+2 = 3", {}, 1.0),
            ("NOT 1 = 2", {}, 1.0),
            ("NOT 0 AND 0", {}, 0.0),  # NOT binds tighter than AND
            ("1 OR 0 AND 0", {}, 1.0),  # AND binds tighter than OR
            ("1 | 0 & 0", {}, 1.0),
            ("~(2 GE 3) EQ 1", {}, 1.0),  # NOT ((2 >= 3) = 1)
            ("3 ~= 3 OR 2 <> 2", {}, 0.0),
            ("x LT 5 AND x LE 4 AND x GT 3 AND x GE 4 AND x NE 5", {"x": 4}, 1.0),
        ])

    def test_missing_propagation_and_its_exceptions(self):
        self.check([
            ("m + 1", {}, None),
            ("1e400 + 1", {}, None),  # beyond a double: read as missing
            ("m - m", {}, None),
            ("0 * m", {}, 0.0),
            ("m * 0", {}, 0.0),
            ("2 * m", {}, None),
            ("0 / m", {}, 0.0),
            ("0 / 0", {}, 0.0),
            ("m / 0", {}, None),
            ("5 / 0", {}, None),
            ("m ** 0", {}, 1.0),
            ("0 ** m", {}, None),
            ("0 ** -1", {}, None),
            ("(-8) ** (1/3)", {}, None),
            ("m AND 0", {}, 0.0),
            ("0 AND m", {}, 0.0),
            ("m AND 1", {}, None),
            ("m OR 1", {}, 1.0),
            ("m OR 0", {}, None),
            ("NOT m", {}, None),
            ("-m", {}, None),
            ("m = m", {}, None),
            ("ABS(m)", {}, None),
            ("MOD(0, m)", {}, None),
            ("$SYSMIS + 1", {}, None),
            ("10 ** 400", {}, None),
            ("x + 1", {"x": 99}, None),  # user-missing counts as missing
            ("x * 0", {"x": 99}, 0.0),
            ("x + 1", {"x": 900}, None),  # inside the missing range
            ("x + 1", {"x": 899.5}, 900.5),
            ("MISSING(x)", {"x": 99}, 1.0),
            ("MISSING(x)", {"x": 98}, 0.0),
            ("SYSMIS(x)", {"x": 99}, 0.0),
            ("SYSMIS(x)", {}, 1.0),
            ("VALUE(x) + 1", {"x": 99}, 100.0),
            ("MISSING(s)", {"s": "NA"}, 1.0),
            ("MISSING(m + 1)", {}, 1.0),
        ])

    def test_aggregates_use_the_values_present(self):
        self.check([
            ("MIN(m, 3, 1)", {}, 1.0),
            ("MAX(m, -3, -1)", {}, -1.0),
            ("SUM(m, 2, 3)", {}, 5.0),
            ("MEAN(m, 2, 4)", {}, 3.0),
            ("MEAN(x, 4)", {"x": 99}, 4.0),
            ("MAX(m, m)", {}, None),
            ("SUM(m)", {}, None),
            # Added in order: the 1 is lost beside 1e16 before -1e16 cancels it.
            ("SUM(1e16, 1, -1e16)", {}, 0.0),
            ("MEAN(1e16, 1, -1e16, 0)", {}, 0.0),
        ])

    def test_numeric_functions(self):
        self.check([
            ("TRUNC(-2.7)", {}, -2.0),
            ("TRUNC(2.7)", {}, 2.0),
            ("RND(2.5)", {}, 3.0),
            ("RND(-2.5)", {}, -3.0),
            ("RND(0.49999999999999994)", {}, 0.0),
            ("RND(-0.4)", {}, 0.0),
            ("MOD(-7, 3)", {}, -1.0),
            ("MOD(7, -3)", {}, 1.0),
            ("MOD(5, 0)", {}, None),
            ("SQRT(-1)", {}, None),
            ("LN(0)", {}, None),
            ("LG10(1000)", {}, 3.0),
            ("EXP(1000)", {}, None),
            ("CDFNORM(0)", {}, 0.5),
            ("IDF.NORMAL(0.5, 3, 2)", {}, 3.0),
            ("CDF.NORMAL(1, 1, 0)", {}, None),
        ])

    def test_strings(self):
        cases = [
            # a holds 'ab' padded to its width 4; CONCAT keeps those blanks.
            ("A8", "CONCAT(a, 'x')", {"a": "ab"}, "ab  x"),
            ("A3", "CONCAT(a, 'x')", {"a": "ab"}, "ab"),
            ("A8", "CONCAT('ab  ', 'c')", {}, "ab  c"),
            ("A8", "UPCASE('aßc')", {}, "AßC"),
            ("A8", "SUBSTR('abcdef', 2, 3)", {}, "bcd"),
            ("A8", "SUBSTR('abcdef', 5)", {}, "ef"),
            ("A8", "SUBSTR('abc', 0, 1)", {}, ""),
            ("A8", "SUBSTR('abc', m, 1)", {}, ""),
            ("A8", "LTRIM('  a ')", {}, "a"),
            ("A8", "RTRIM('a**', '*')", {}, "a"),
            ("A8", "LOWER(s)", {"s": "AbC"}, "abc"),
            ("A8", 's', {"s": "NA"}, "NA"),  # a user-missing string keeps its value
        ]
        for fmt, expr, row, want in cases:
            with self.subTest(expr=expr, fmt=fmt):
                result = h.run("STRING t (%s).\nCOMPUTE t = %s.\n" % (fmt, expr), DICT, row)
                self.assertEqual(result["t"], want)
        self.check([
            ("'ab' = 'ab   '", {}, 1.0),
            ("'a' < 'b'", {}, 1.0),
            ("s = 'ab'", {"s": "ab"}, 1.0),
            ("LENGTH(a)", {"a": "ab"}, 2.0),
        ])


def recode(clauses, row, before="", target="t"):
    return h.run("%sRECODE x %s INTO %s.\n" % (before, clauses, target), DICT, row)[target]


class Recode(unittest.TestCase):
    def test_first_matching_clause_wins(self):
        cases = [
            ("(SYSMIS=SYSMIS) (MISSING=9) (1 THRU 5=1)", [(None, None), (99, 9.0), (3, 1.0),
                                                           (7, None)]),
            ("(MISSING=COPY)(MISSING=1)", [(None, None), (99, 99.0), (1, None)]),
            ("(SYSMIS=COPY)(SYSMIS=0.5)", [(None, None)]),
            ("(-5 THRU 5, SYSMIS=COPY)(ELSE=7)", [(None, None), (6, 7.0), (5, 5.0), (-5, -5.0)]),
            ("(1 THRU 5=1)(5 THRU 10=2)", [(5, 1.0), (10, 2.0), (10.5, None)]),
            ("(LOWEST THRU 0=0)(0 THRU HI=1)", [(0, 0.0), (-1e300, 0.0), (1e300, 1.0),
                                                (None, None)]),
            ("(LO THRU HIGHEST=1)", [(99, 1.0), (None, None)]),
            ("(99=1)(MISSING=2)", [(99, 1.0), (None, 2.0)]),
            ("(MISSING=2)(99=1)", [(99, 2.0), (950, 2.0)]),
            ("(SYSMIS=2)(ELSE=3)", [(99, 3.0), (None, 2.0)]),
            ("(ELSE=3)", [(None, 3.0), (99, 3.0)]),
            ("(SYSMIS=SYSMIS)(ELSE=42)", [(None, None), (1, 42.0)]),
            ("(1,2 3=10)(ELSE=COPY)", [(2, 10.0), (3, 10.0), (4, 4.0)]),
            ("(1 THROUGH 2=10)", [(1.5, 10.0)]),
            ("(5 THRU 1=1)", [(3, None)]),
            ("( MISSING = 41 ) (18 THRU 90 = Copy)(ELSE = COPY)", [(None, 41.0), (17, 17.0)]),
        ]
        for clauses, rows in cases:
            for value, want in rows:
                with self.subTest(clauses=clauses, x=value):
                    self.assertEqual(recode(clauses, {"x": value}), want)

    def test_unmatched_values_of_an_existing_target_are_kept(self):
        self.assertEqual(recode("(1=2)", {"x": 3}, before="COMPUTE t = 5.\n"), 5.0)
        self.assertIsNone(recode("(1=2)", {"x": 3}))
        self.assertEqual(recode("(1=2)", {"x": 3}, target="m"), None)
        self.assertEqual(h.run("RECODE x (1=2).\n", DICT, {"x": 3})["x"], 3.0)
        self.assertEqual(h.run("RECODE x (3=2).\n", DICT, {"x": 3})["x"], 2.0)

    def test_string_recodes(self):
        syntax = "STRING t (A3).\nRECODE s ('a' = 'x') ('b  ' = 'yy ') (MISSING='m') " \
                 "(ELSE=COPY) INTO t.\n"
        for value, want in [("a", "x"), ("b", "yy"), ("NA", "m"), ("abcdef", "abc"), ("", ""),
                            ("A", "A")]:
            with self.subTest(s=value):
                self.assertEqual(h.run(syntax, DICT, {"s": value})["t"], want)
        unmatched = "STRING t (A2).\nRECODE s ('a'='x') INTO t.\n"
        self.assertEqual(h.run(unmatched, DICT, {"s": "b"})["t"], "")


class Conditions(unittest.TestCase):
    CASES = [
        ("IF (m > 1) y = 1.", {}, None),
        ("COMPUTE y = 0.\nIF (m > 1) y = 1.", {}, 0.0),
        ("COMPUTE y = 0.\nIF x = 2 y = 1.", {"x": 2}, 1.0),
        ("COMPUTE y = 0.\nIF (x = 2) y = 1.", {"x": 99}, 0.0),  # user-missing: no assignment
        ("COMPUTE y = 0.\nDO IF (m > 1).\nCOMPUTE y = 1.\nELSE.\nCOMPUTE y = 2.\nEND IF.", {}, 0.0),
        ("COMPUTE y = 0.\nDO IF (x = 0).\nCOMPUTE y = 1.\nELSE IF (m > 1).\nCOMPUTE y = 2.\n"
         "ELSE.\nCOMPUTE y = 3.\nEND IF.", {"x": 1}, 0.0),
        ("DO IF (x = 0).\nCOMPUTE y = 1.\nELSE IF (x = 1).\nCOMPUTE y = 2.\nELSE IF (x >= 1).\n"
         "COMPUTE y = 3.\nEND IF.", {"x": 1}, 2.0),
        ("DO IF (x = 0).\nCOMPUTE y = 1.\nELSE.\nDO IF (x = 1).\nCOMPUTE y = 2.\nEND IF.\n"
         "END IF.", {"x": 1}, 2.0),
        ("DO IF (0).\nCOMPUTE y = 1.\nEND IF.", {}, None),
    ]

    def test_conditions(self):
        for syntax, row, want in self.CASES:
            with self.subTest(syntax=syntax):
                self.assertEqual(h.run(syntax + "\n", DICT, row)["y"], want)


class Parsing(unittest.TestCase):
    def test_layout_comments_and_names(self):
        syntax = ("* a comment, don't mind the quote.\n"
                  "** Target - Y , Inputs -  x.\n"
                  "compute   Y = /* inline */ x\n"
                  "      + 1.\n"
                  "EXECUTE.\n"
                  "\n"
                  "VARIABLE LEVEL y (ORDINAL). \n"
                  "Compute y = y * 2.\n"
                  "VARIABLE ROLE\n  /INPUT x\n  /TARGET y.\n")
        result = h.run(syntax, DICT, {"X": 2})
        self.assertEqual(result["Y"], 6.0)
        self.assertEqual(list(result)[:4], ["x", "m", "s", "a"])
        self.assertNotIn("y", result)

    def test_refused(self):
        cases = [
            "COMPUTE y = s + 1.",
            "COMPUTE t = 'a'.",
            "COMPUTE y = nosuch.",
            "COMPUTE y = 1",
            "COMPUTE y = 1\nCOMPUTE z = 2.",
            "COMPUTE y = 1\n\n  + 2.",
            "COMPUTE y = (1 + 2.",
            "COMPUTE y = FOO(1).",
            "COMPUTE y = MOD(1).",
            "COMPUTE y = VALUE(1).",
            "COMPUTE z = y.\nCOMPUTE y = 1.",
            "RECODE x ('a'=1) INTO y.",
            "RECODE s (1 THRU 2 = 'a') INTO t.",
            "RECODE s ('a' = 'b') INTO t.",
            "STRING t (A2).\nRECODE s ('a' = 'abc') INTO t.",
            "RECODE s ('a' = 1) (ELSE=COPY) INTO y.",
            "RECODE x (1=2) INTO p q.",
            "STRING x (A2).",
            "STRING t (A0).",
            "DO IF (1).\nCOMPUTE y = 1.",
            "ELSE.",
            "END IF.",
            "DO IF ('a').\nEND IF.",
            "VARIABLE LEVEL nosuch (NOMINAL).",
            "VARIABLE LEVEL x (HIGH).",
            "SORT CASES BY x.",
            "COMPUTE y = 'unclosed.",
            # Keywords, system variables, over-long names and a plus in a RECODE value.
            "COMPUTE all = 1.",
            "COMPUTE To = 1.",
            "VARIABLE ROLE /INPUT x TO y.",
            "COMPUTE $x = 1.",
            "COMPUTE _y = 1.",
            "COMPUTE %s = 1." % ("y" * 65),
            "RECODE x (+5 = 1) INTO y.",
            "RECODE x (1e400 = 1) INTO y.",
        ]
        for syntax in cases:
            with self.subTest(syntax=syntax):
                with self.assertRaises(h.SyntaxError_):
                    h.run(syntax + "\n", DICT, {})


def example_dictionary():
    """The bundled data-preparation example's data fields as the active dataset.

    A string field gets the width of its longest listed value (1 without values); dates and
    times are numbers."""
    root = ET.parse(os.path.join(SHARE, "adp_example.xml")).getroot()
    dictionary = {}
    for field in root.iter():
        if field.tag.rsplit("}", 1)[-1] != "DataField":
            continue
        if field.get("dataType") == "string":
            values = [v.get("value") for v in field if v.tag.endswith("Value")]
            dictionary[field.get("name")] = h.VarInfo("string", max(map(len, values), default=1))
        else:
            dictionary[field.get("name")] = h.VarInfo("numeric")
    return dictionary


class BundledExample(unittest.TestCase):
    """The job's whole output for the bundled example parses and means what the document says."""

    def setUp(self):
        with open(os.path.join(DATA, "syntax", "adp_example.sps"), encoding="utf-8") as f:
            self.syntax = f.read()
        self.dictionary = example_dictionary()

    def run_row(self, **row):
        return h.run(self.syntax, self.dictionary, row)

    def test_values(self):
        date = lambda m, d, y: h.apply_function("DATE.MDY", [m, d, y])
        full = self.run_row(age=25, income=-10000, region="East", gender="F",
                            country="Côte d'Ivoire", signup_date=date(1, 15, 2020),
                            last_visit=date(3, 1, 2024), visit_time=37800, visits=20, spend=0)
        expected = {
            "spend_t": 0.0, "age_t": 3.0, "#tenure_days": 1507.0, "days_since_visit": 305.0,
            "signup_year": 2020.0, "visit_hour": 10.0, "region_uc": "EAST", "is_female": 1.0,
            "high_value": 0.0, "age_scale": 25.0, "continent": "Africa", "region_grp": "Coast",
            "age_band": 1.0, "income_norm": 0.0, "visits_norm": 0.4, "age_filled": 25.0,
            "income_trim": -2000.0, "visits_trim": None,
        }
        for name, want in expected.items():
            with self.subTest(field=name):
                self.assertAlmostEqual(full[name], want) if isinstance(want, float) \
                    else self.assertEqual(full[name], want)
        empty = self.run_row(region="North", visits=60)
        for name, want in {"age_band": None, "age_filled": 41.0, "continent": "Other",
                           "region_grp": "North", "visits_norm": None, "income_trim": None,
                           "high_value": None, "is_female": 0.0}.items():
            with self.subTest(field=name, row="mostly missing"):
                self.assertEqual(empty[name], want)

    def test_back_syntax(self):
        with open(os.path.join(DATA, "syntax", "adp_example_back.sps"), encoding="utf-8") as f:
            back = f.read()
        result = h.run(back, {"spend_t_pred": h.VarInfo("numeric")}, {"spend_t_pred": 0})
        self.assertEqual(result["spend_pred"], 0.0)


if __name__ == "__main__":
    unittest.main()

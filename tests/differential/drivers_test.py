"""Checks of the differential drivers' own parts: what they generate, how they compare,
and when they count a row as a known limit rather than a failure."""

import contextlib
import io
import math
import os
import random
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import common  # noqa: E402
import syntax_diff  # noqa: E402
import transform_diff as td  # noqa: E402
from description import Compute, Recode, Rule, Var, from_xml, matching_rules, to_xml  # noqa: E402

PLAIN_NUMBER = re.compile(r"-?([0-9]+(\.[0-9]*)?|\.[0-9]+)")


class Spelling(unittest.TestCase):
    def test_every_spelling_is_a_plain_number_of_the_same_value(self):
        rng = random.Random(1)
        forms = set()
        for d in td.NUMBER_POOL + td.RESULT_POOL:
            for _ in range(40):
                s = td.spell(rng, d)
                self.assertRegex(s, PLAIN_NUMBER)
                self.assertEqual(float(s), float(d), s)
                forms.add(s)
        # The spellings the format allows and readers get wrong all occur.
        for form in ("5", "5.", "05", ".5", "-2.5", "-0"):
            self.assertIn(form, forms)
        self.assertTrue(any(re.fullmatch(r"-0+5\.0+", f) for f in forms), "no -05.00 form")


class Generation(unittest.TestCase):
    def test_descriptions_read_back_as_written_and_name_only_what_they_declare(self):
        for i in range(150):
            rng = random.Random(f"t{i}")
            entries = td.generate(rng)
            text = to_xml(entries)
            self.assertEqual(to_xml(from_xml(text)), text)
            known = set()
            for en in entries:
                if isinstance(en, Var):
                    known.add(en.name.lower())
                    continue
                refs = [en.source] if isinstance(en, Recode) else td.fields_of(en.expr)
                for r in refs:
                    self.assertIn(r.lower(), known, f"case t{i}: {r} used before it exists")
                self.assertNotIn(en.target.lower(), known, f"case t{i}: target {en.target} again")
                known.add(en.target.lower())

    def test_string_results_fit_their_target(self):
        for i in range(150):
            for en in td.generate(random.Random(f"w{i}")):
                if isinstance(en, Recode) and en.type == "string":
                    for r in en.rules:
                        if r.result[0] == "To":
                            self.assertLessEqual(len(r.result[1]), en.width)
                        self.assertNotEqual(r.result[0], "ToSystemMissing")

    def test_rows_hit_every_bound_beside_it_and_the_missing_codes(self):
        var = Var("x", "numeric", "scale", missing=["98"], mrange=("LOWEST", "-1"))
        rec = Recode("x", "t", "numeric", "scale", rules=[
            Rule([("Range", "1.5", "HIGHEST")], ("To", "1"))])
        values = td.candidate_values([var, rec], var)
        for p in (1.5, -1.0, 98.0):
            for v in (p, math.nextafter(p, -math.inf), math.nextafter(p, math.inf),
                      p - 0.5, p + 0.5):
                self.assertIn(v, values)
        self.assertIn(None, values)
        rows = td.generate_rows(random.Random(0), [var, rec])
        self.assertEqual({r["x"] for r in rows}, set(values))


class Comparison(unittest.TestCase):
    def test_values_equal(self):
        invalid = object()
        cases = [  # (a, b, approx, equal)
            (True, 1.0, False, True), (False, 0.0, False, True), (True, 0.0, False, False),
            (None, None, False, True), (None, 0.0, False, False), ("", None, False, False),
            ("a", "a ", False, False), ("a", "a", False, True), (1.0, "1", False, False),
            (1.0, 1.0 + 1e-12, False, False), (1.0, 1.0 + 1e-12, True, True),
            (1.0, 1.0 + 1e-6, True, False), (0.0, 5e-324, True, False),
            (invalid, None, True, False), (math.nan, math.nan, True, False),
            (-0.0, 0.0, False, True),
        ]
        for a, b, approx, equal in cases:
            with self.subTest(a=a, b=b, approx=approx):
                self.assertEqual(common.values_equal(a, b, approx), equal)
                self.assertEqual(common.values_equal(b, a, approx), equal)

    def test_rows_keep_every_bit_through_json(self):
        rows = [{"x": math.nextafter(2.35, 3), "s": "a b", "m": None, "w": 5.0}]
        self.assertEqual(common.rows_from_json(common.rows_to_json(rows)), rows)


class _Pmml:
    """Stands in for a loaded PMML document: the values a consumer gives, by source value."""

    def __init__(self, by_source):
        self.by_source = by_source

    def derived_values(self, row):
        return {"t": self.by_source(row.get("x"))}


def _context(rules, x, actual, by_source, missing=("9",), mrange=None):
    var = Var("x", "numeric", "scale", missing=list(missing), mrange=mrange)
    rec = Recode("x", "t", "numeric", "scale", rules=rules)
    entries = [var, rec]
    return td.Context(entries, td.declared(entries), {"x": x}, rec, None, actual,
                      _Pmml(by_source), {}, set(), {})


def _limits(ctx):
    """The names of every known limit whose test holds on the row."""
    found = [k.applies(ctx) for k in td.KNOWN_LIMITS]
    return [f if isinstance(f, str) else k.name for k, f in zip(td.KNOWN_LIMITS, found) if f]


class KnownLimits(unittest.TestCase):
    RULES = [Rule([("Range", "1", "10")], ("To", "1")),
             Rule([("Missing", None, None)], ("To", "7"))]

    def applies(self, ctx):
        return _limits(ctx)

    def test_only_a_discrete_code_read_as_missing_is_a_known_limit(self):
        as_missing = lambda x: 7.0  # noqa: E731 - a consumer that maps missing input to 7
        cases = [  # (source value, PMML result, missing codes, missing range, known)
            (9.0, 7.0, ("9",), None, True),      # the code went to the Missing rule's result
            (9.0, 5.0, ("9",), None, False),     # something else happened
            (5.0, 7.0, ("9",), None, False),     # not a missing code at all
            (5.0, 7.0, (), ("4", "6"), False),   # in a missing range: bins can say it
        ]
        for x, actual, missing, mrange, known in cases:
            with self.subTest(x=x, actual=actual):
                ctx = _context(self.RULES, x, actual, as_missing, missing, mrange)
                self.assertEqual(self.applies(ctx) == ["user-missing-code-read-as-missing"], known)

    FOLLOWING = """<PMML xmlns="http://www.dmg.org/PMML-4_3"><DataDictionary>
      <DataField name="x" optype="continuous" dataType="double">
        <Value value="9" property="missing"/></DataField>
      </DataDictionary><TransformationDictionary>
      <DerivedField name="t" optype="continuous" dataType="double">
        <Apply function="+"><FieldRef field="x"/><Constant>0</Constant></Apply></DerivedField>
      <DerivedField name="c" optype="continuous" dataType="double">
        <Apply function="*"><FieldRef field="t"/><Constant>2</Constant></Apply></DerivedField>
      </TransformationDictionary></PMML>"""

    def test_an_entry_over_a_known_limit_follows_it_only_when_that_explains_it(self):
        wrong = self.FOLLOWING.replace("<Constant>2</Constant>", "<Constant>3</Constant>")
        cases = [  # (PMML, how t's difference was counted, t differs on its own, follows)
            (self.FOLLOWING, "user-missing-code-read-as-missing", False, True),
            (self.FOLLOWING, "compute-round", False, False),   # another limit
            (self.FOLLOWING, "user-missing-code-read-as-missing", True, False),
            (wrong, "user-missing-code-read-as-missing", False, False),  # c has a fault of its own
        ]
        for pmml, limit, differs, follows in cases:
            with self.subTest(limit=limit, differs=differs, wrong=pmml is wrong):
                ctx = _context(self.RULES, 9.0, None, lambda x: 7.0)
                ctx.entry = td.Compute("c", "numeric", "scale", ("Field", "T"))
                ctx.expected, ctx.expected_row, ctx.pmml_text = 2.0, {"t": 1.0}, pmml
                ctx.known_targets = {"t": limit}
                ctx.differing = {"t"} if differs else set()
                self.assertEqual("follows-from-user-missing-code" in self.applies(ctx), follows)


class ComputeLimits(unittest.TestCase):
    """A compute's difference is a known limit only when PMML's rule for one function, put in
    place of the host's, gives the PMML's value on that row."""

    X = Var("x", "numeric", "scale")
    S = Var("s", "string", "nominal", width=4, missing=["dk"])

    def applies(self, expr, row, actual, differing=(), pmml=None, ttype="numeric"):
        c = Compute("t", ttype, "scale", expr, width=8 if ttype == "string" else None)
        entries = [self.X, self.S, c]
        text = to_xml(entries)
        expected = common.lookup(td.Oracles().desc_eval.evaluate(text, row), "t")[1]
        ctx = td.Context(entries, td.declared(entries), row, c, expected, actual, None, {},
                         set(differing), {}, text, pmml, False)
        return _limits(ctx)

    def test_host_rules_for_a_missing_operand(self):
        x, zero, one = ("Field", "x"), ("Number", "0"), ("Number", "1")
        big = ("Apply", "greaterThan", [x, one])
        half = ("Apply", "round", [("Number", "-2.5")])
        cases = [  # (expression, row, PMML value, limit or None)
            (("Apply", "*", [x, zero]), {}, None, "compute-missing-operand"),
            (("Apply", "/", [zero, x]), {}, None, "compute-missing-operand"),
            (("Apply", "pow", [x, zero]), {}, None, "compute-missing-operand"),
            (("Apply", "and", [big, zero]), {}, None, "compute-missing-operand"),
            (("Apply", "or", [big, one]), {}, None, "compute-missing-operand"),
            (("Apply", "*", [x, zero]), {}, 5.0, None),         # not what PMML's rule gives
            (("Apply", "+", [x, one]), {}, 1.0, None),          # no limit gives 1
            (("Apply", "/", [x, zero]), {"x": 0.0}, None, "compute-missing-operand"),
            (("Apply", "avg", [("Apply", "/", [x, zero])]), {"x": 0.0}, None,
             "compute-missing-operand"),
            (("Apply", "/", [x, zero]), {"x": 0.0}, 0.5, None),  # neither side gives 0.5
            (("Apply", "/", [x, one]), {"x": 0.0}, None, None),  # 0/1 is 0 by either rule
            (("Apply", "+", [("Apply", "*", [x, zero]), half]), {}, None,
             "compute-missing-operand"),
            (("Apply", "product", [("Number", "2"), x]), {}, 2.0, "compute-missing-product"),
            (("Apply", "product", [("Number", "2"), x]), {}, 3.0, None),
            (("Apply", "product", [x, x]), {}, 0.0, None),      # PMML gives missing there too
            (half, {}, -2.0, "compute-round"),
            (("Apply", "round", [x]), {"x": -0.5}, 0.0, "compute-round"),
            (("Apply", "round", [x]), {"x": -0.5}, -0.5, None),
            (("Apply", "round", [x]), {"x": 2.5}, 2.0, None),   # both take 2.5 to 3
        ]
        for expr, row, actual, want in cases:
            with self.subTest(expr=expr, row=row, actual=actual):
                self.assertEqual(self.applies(expr, row, actual), [want] if want else [])

    def test_an_input_that_differs_for_its_own_reason_is_not_a_limit(self):
        self.assertEqual(self.applies(("Apply", "*", [("Field", "x"), ("Number", "0")]), {},
                                      None, differing={"x"}), [])

    PMML = """<PMML xmlns="http://www.dmg.org/PMML-4_3"><DataDictionary>
      <DataField name="x" optype="continuous" dataType="double"/>
      <DataField name="s" optype="categorical" dataType="string">
        <Value value="dk" property="missing"/></DataField>
      </DataDictionary><TransformationDictionary>
      <DerivedField name="t" optype="categorical" dataType="string">
        <Apply function="uppercase"><FieldRef field="s"/></Apply></DerivedField>
      </TransformationDictionary></PMML>"""

    def test_string_code_read_as_missing(self):
        s = ("Field", "s")
        upper = ("Apply", "uppercase", [s])
        # The host's MISSING(s) sees the code while its value reads as "dk"; PMML reads missing.
        guarded = ("Apply", "uppercase", [("Apply", "if", [("Apply", "isMissing", [s]), s])])
        written = '<Apply function="uppercase"><FieldRef field="s"/></Apply>'
        pmml_guarded = written.replace(
            '<FieldRef field="s"/>', '<Apply function="if"><Apply function="isMissing">'
            '<FieldRef field="s"/></Apply><FieldRef field="s"/></Apply>')
        cases = [  # (expression, row, PMML expression, limit applies)
            (upper, {"s": "dk"}, written, True),
            (upper, {"s": "dk"}, written.replace("upper", "lower"), False),  # still "dk" then
            (upper, {"s": "ab"}, written, False),  # not a code
            (guarded, {"s": "dk"}, pmml_guarded, True),
            (guarded, {"s": "dk"}, pmml_guarded.replace("isMissing", "isNotMissing"), False),
        ]
        for expr, row, pmml_expr, known in cases:
            pmml = self.PMML.replace(written, pmml_expr)
            with self.subTest(expr=expr, row=row, pmml=pmml_expr):
                self.assertEqual(self.applies(expr, row, None, pmml=pmml, ttype="string"),
                                 ["compute-string-user-missing"] if known else [])


class CombinedLimits(unittest.TestCase):
    """A compute that needs two or more limits' changes at once is counted apart under their
    joined name, and only when no single one explains it and nothing else differs."""

    X = Var("x", "numeric", "scale", missing=["9"])
    Y = Var("y", "numeric", "scale")
    # r is sysmis for the code 9 (the range comes first); a consumer reading 9 as missing gives 7.
    R = Recode("x", "r", "numeric", "scale", rules=[
        Rule([("Range", "1", "10")], ("ToSystemMissing", None)),
        Rule([("Missing", None, None)], ("To", "7"))])
    PMML = """<PMML xmlns="http://www.dmg.org/PMML-4_3"><DataDictionary>
      <DataField name="x" optype="continuous" dataType="double">
        <Value value="9" property="missing"/></DataField>
      <DataField name="y" optype="continuous" dataType="double"/>
      </DataDictionary><TransformationDictionary>
      <DerivedField name="r" optype="continuous" dataType="double">
        <Apply function="if"><Apply function="isMissing"><FieldRef field="x"/></Apply>
        <Constant>7</Constant></Apply></DerivedField>
      <DerivedField name="t" optype="continuous" dataType="double">
        <Apply function="product"><FieldRef field="r"/>
        <Apply function="round"><FieldRef field="y"/></Apply></Apply></DerivedField>
      </TransformationDictionary></PMML>"""

    def applies(self, expr, row, actual, known_r=None, differing=()):
        c = Compute("t", "numeric", "scale", expr)
        entries = [self.X, self.Y, self.R, c]
        text = to_xml(entries)
        expected_row = td.Oracles().desc_eval.evaluate(text, row)
        ctx = td.Context(entries, td.declared(entries), row, c, common.lookup(expected_row, "t")[1],
                         actual, None, {"r": known_r} if known_r else {}, set(differing),
                         expected_row, text, self.PMML, False)
        return _limits(ctx)

    def test_limits_together(self):
        x, y, r = ("Field", "x"), ("Field", "y"), ("Field", "r")
        prod_round = ("Apply", "product", [x, ("Apply", "round", [y])])
        plus = ("Apply", "+", [prod_round, ("Number", "1")])
        code = "user-missing-code-read-as-missing"
        cases = [  # (expression, row, PMML value, how r was counted, r differs, limits)
            # x missing, y = -2.5: the host gives missing, PMML's product and round -2.
            (prod_round, {"y": -2.5}, -2.0, None, False,
             ["compute-missing-product+compute-round"]),
            (prod_round, {"y": -2.5}, -3.0, None, False, ["compute-missing-product"]),
            (prod_round, {"y": 2.5}, 3.0, None, False, ["compute-missing-product"]),
            (prod_round, {"y": -2.5}, -2.5, None, False, []),   # no set of limits gives -2.5
            (plus, {"y": -2.5}, -1.0, None, False, ["compute-missing-product+compute-round"]),
            (plus, {"y": -2.5}, -3.0, None, False, []),         # the + is wrong as well
            (prod_round, {"x": 4.0, "y": -2.5}, -8.0, None, False, ["compute-round"]),
            # r differs by the code 9 (sysmis against 7); the PMML gives 7 * round(-2.5) = -14,
            # and with r missing as the description has it, product and round give -2.
            (("Apply", "product", [r, ("Apply", "round", [y])]), {"x": 9.0, "y": -2.5}, -14.0,
             code, False, ["follows-from-user-missing-code+compute-missing-product+compute-round"]),
            (("Apply", "product", [r, ("Apply", "round", [y])]), {"x": 9.0, "y": -2.5}, -14.0,
             None, False, []),                                  # r's difference is not a limit
            (("Apply", "product", [r, ("Apply", "round", [y])]), {"x": 9.0, "y": -2.5}, -14.0,
             code, True, []),                                   # r differs for its own reason
        ]
        for expr, row, actual, known_r, differs, want in cases:
            with self.subTest(expr=expr, row=row, actual=actual, known_r=known_r):
                self.assertEqual(self.applies(expr, row, actual, known_r,
                                              {"r"} if differs else ()), want)


class Labels(unittest.TestCase):
    def test_rule_patterns(self):
        sysmis_first = [Rule([("SystemMissing", None, None)], ("ToSystemMissing", None)),
                        Rule([("Missing", None, None)], ("To", "9")),
                        Rule([("Range", "1", "5")], ("To", "1"))]
        cases = [  # (rules, source value, description, PMML, label)
            (sysmis_first, None, None, 9.0, "sysmis-first-match"),
            (sysmis_first, 3.0, 1.0, 2.0, "num-recode:value:Range->To"),
            (sysmis_first, 7.0, None, 1.0, "num-recode:value:unmatched"),
        ]
        for rules, x, e, a, want in cases:
            with self.subTest(want=want):
                ctx = _context(rules, x, a, lambda v: a, missing=())
                ctx.expected = e
                self.assertEqual(td.label(ctx), want)

    def test_string_patterns(self):
        var = Var("s", "string", "nominal", width=4, missing=["dk "])
        rec = Recode("s", "t", "string", "nominal", width=2, rules=[
            Rule([("Value", "ab  ", None)], ("To", "x")),
            Rule([("Else", None, None)], ("ToCopy", None))])
        entries = [var, rec]
        cases = [  # (source value, description, PMML, label)
            ("ab", "x", "ab", "trailing-blank-input"),
            ("dk", "dk", None, "trailing-blank-input"),
            ("abcd", "ab", "abcd", "string-width"),
        ]
        for x, e, a, want in cases:
            with self.subTest(x=x):
                ctx = td.Context(entries, td.declared(entries), {"s": x}, rec, e, a,
                                 _Pmml(lambda v: None), set(), set(), {})
                self.assertEqual(td.label(ctx), want)

    def test_first_rule_that_matches_decides(self):
        var = Var("x", "numeric", "scale", missing=["9"])
        rec = Recode("x", "t", "numeric", "scale", rules=[
            Rule([("Value", "9", None)], ("To", "1")), Rule([("Missing", None, None)], ("To", "2")),
            Rule([("Else", None, None)], ("To", "3"))])
        self.assertEqual(matching_rules(rec, 9.0, var, True), [0, 1, 2])
        self.assertEqual(matching_rules(rec, None, var, True), [1, 2])
        self.assertEqual(matching_rules(rec, 4.0, var, True), [2])


class Tally(unittest.TestCase):
    def test_closing_line_and_exit_code(self):
        class Args:
            report_only = False
        for report_only, failing, code in ((False, False, 0), (False, True, 1), (True, True, 0)):
            Args.report_only = report_only
            t = common.Tally(Args)
            t.add("a", common.CaseResult())
            r = common.CaseResult()
            if failing:
                r.disagreements.append(common.Disagreement(0, "t", 1.0, 2.0, "some-class"))
            t.add("b", r)
            out = io.StringIO()
            with self.subTest(report_only=report_only, failing=failing):
                with contextlib.redirect_stdout(out):
                    self.assertEqual(t.finish(), code)
                self.assertEqual(out.getvalue().splitlines()[-1],
                                 "1 passed, 1 failed" if failing else "2 passed, 0 failed")
                self.assertEqual((t.passed, t.failed), (1, 1) if failing else (2, 0))


class SyntaxDocuments(unittest.TestCase):
    DOC = """<PMML xmlns="http://www.dmg.org/PMML-4_2"><DataDictionary>
      <DataField name="a" dataType="double"><Value value="99" property="missing"/></DataField>
      <DataField name="s" dataType="string"><Value value="North"/></DataField>
      </DataDictionary><TransformationDictionary>
      <DerivedField name="off"><Extension><UsageType value="disable"/></Extension>
        <FieldRef field="a"/></DerivedField>
      <DerivedField name="helper"><Extension><UsageType value="disable"/></Extension>
        <FieldRef field="a"/></DerivedField>
      <DerivedField name="plain"><FieldRef field="helper"/></DerivedField>
      </TransformationDictionary></PMML>"""

    def test_converted_fields_and_scratch_names(self):
        doc = syntax_diff.Document(self.DOC)
        self.assertEqual([(n, s) for n, s, _ in doc.converted()],
                         [("helper", "#helper"), ("plain", "plain")])

    def test_dictionary_from_the_data_dictionary(self):
        class HostLang:
            class VarInfo:
                def __init__(self, kind, width=8, missing=()):
                    self.kind, self.width, self.missing = kind, width, list(missing)
        d = syntax_diff.Document(self.DOC).dictionary(HostLang, [{"s": "Northwest"}])
        self.assertEqual((d["a"].kind, d["a"].missing), ("numeric", [99.0]))
        self.assertEqual((d["s"].kind, d["s"].width), ("string", 9))

    def test_generated_documents_give_rows_for_every_data_field(self):
        for i in range(40):
            rng = random.Random(f"d{i}")
            doc = syntax_diff.Document(syntax_diff.generate(rng))
            self.assertTrue(doc.converted(), f"case d{i} converts nothing")
            rows = syntax_diff.generate_rows(rng, doc)
            names = {f.get("name") for f in doc.data_fields}
            self.assertTrue(rows and all(set(r) == names for r in rows))
            for f in doc.data_fields:
                if f.get("dataType") == "integer":
                    self.assertTrue(all(r[f.get("name")] is None or
                                        float(r[f.get("name")]).is_integer() for r in rows))


if __name__ == "__main__":
    unittest.main()

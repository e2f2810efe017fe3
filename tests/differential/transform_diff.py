#!/usr/bin/env python3
"""Transform differential test.

Generates random transformation descriptions and rows, converts each
description with `pmmlxform transform`, and checks on every row that the
description's own meaning (desc_eval, from the host's recode and compute
rules) and the PMML written (pmml_eval, from the PMML standard) give the same
value for every target.

Numbers compare exactly, except the results of computes that go through
floating-point functions (division, logarithms, roots, powers, means and what
is computed from them), which may differ by FLOAT_TOLERANCE relatively; strings
compare exactly; a PMML boolean counts as 1 or 0.

    transform_diff.py --tool build/bin/pmmlxform --cases 2000 --out build/differential
    transform_diff.py --tool build/bin/pmmlxform --replay build/differential/transform/s5-3
"""

import copy
import decimal
import itertools
import math
import os
import sys
import xml.etree.ElementTree as ET

import common
from description import (Compute, Recode, Rule, Var, declared, fields_of, from_xml,
                         functions_of, in_missing_range, input_matches, is_discrete_missing,
                         matching_rules, number, to_xml)

JOB = "transform"
D = decimal.Decimal

# Generation -------------------------------------------------------------------

NUMBER_POOL = [D(s) for s in (
    "-20 -10 -5 -2.5 -1 -0.5 0 0.5 1 1.1 2 2.35 3 4 5 7.5 8 10 12.25 15 20 25 50 98 99 100 "
    "0.1 1000000 123456.75").split()]
MISSING_CODES = [D(s) for s in ("-9 -1 0 9 97 98 99 999").split()]
RESULT_POOL = [D(s) for s in "-1 0 0.5 1 2 3 4 5 9 10 42 99 1.5 -2.25".split()]
STRING_POOL = ("a b A B ab ba aB AB x xy no yes dk na NA Q zz abc abcd "
               "hello other North a_b 9 10").split() + ["a b", " a", " ab"]
NAME_STEMS = ("age income hh score region grp q code answer v x band sat cat lvl pts").split()
LEVELS = ("scale", "ordinal", "nominal")
LABELS = ("Age in years", "Income & benefits", "A <grouped> value", 'The "main" code',
          "Antwort, gruppiert", "it's a label")

# The functions a Compute may call, by the kinds of their arguments and result
# (n number, s string, b logical, * any field, == two of one kind, = two or more
# of one kind): name -> (argument kinds, minimum count when the one kind repeats,
# or None; result kinds).
FUNCTIONS = {
    "log10": ("n", None, "n"), "ln": ("n", None, "n"), "sqrt": ("n", None, "n"),
    "abs": ("n", None, "n"), "exp": ("n", None, "n"), "floor": ("n", None, "n"),
    "ceil": ("n", None, "n"), "round": ("n", None, "n"),
    "+": ("nn", None, "n"), "-": ("nn", None, "n"), "*": ("nn", None, "n"),
    "/": ("nn", None, "n"), "pow": ("nn", None, "n"), "threshold": ("nn", None, "n"),
    "min": ("n", 1, "n"), "max": ("n", 1, "n"), "sum": ("n", 1, "n"), "avg": ("n", 1, "n"),
    "median": ("n", 1, "n"), "product": ("n", 1, "n"),
    "isMissing": ("*", None, "b"), "isNotMissing": ("*", None, "b"), "not": ("b", None, "b"),
    "equal": ("==", None, "b"), "notEqual": ("==", None, "b"), "lessThan": ("nn", None, "b"),
    "lessOrEqual": ("nn", None, "b"), "greaterThan": ("nn", None, "b"),
    "greaterOrEqual": ("nn", None, "b"), "and": ("b", 2, "b"), "or": ("b", 2, "b"),
    "isIn": ("=", 2, "b"), "isNotIn": ("=", 2, "b"),
    "uppercase": ("s", None, "s"), "lowercase": ("s", None, "s"), "trimBlanks": ("s", None, "s"),
    "substring": ("snn", None, "s"), "concat": ("s", 2, "s"),
    "replace": ("sss", None, "s"), "matches": ("ss", None, "b"), "formatNumber": ("ns", None, "s"),
    "if": ("b", None, "ns"),
}
# Results that go through floating-point functions, compared with FLOAT_TOLERANCE. A sum
# of more than two numbers is among them: neither side fixes the order or the precision
# in which it adds.
FLOAT_FUNCTIONS = {"/", "ln", "log10", "sqrt", "exp", "pow", "avg", "median", "sum"}


def spell(rng, d):
    """A plain decimal spelling of d, chosen at random: 5, 5., 05, 5.0, .5, -05.00, ..."""
    sign = "-" if d < 0 else ""
    text = format(abs(d).normalize(), "f")
    whole, _, frac = text.partition(".")
    if whole == "0" and frac and rng.random() < 0.4:
        whole = ""
    elif rng.random() < 0.3:
        whole = "0" * rng.randint(1, 2) + whole
    if frac:
        frac = "." + frac + "0" * rng.choice((0, 0, 1, 2))
    else:
        frac = rng.choice(("", "", "", ".", ".0", ".00"))
    if d == 0 and rng.random() < 0.1:
        sign = "-"
    return sign + whole + frac


def with_blanks(rng, text, width):
    """The text, sometimes with trailing blanks that still fit the width."""
    room = width - len(text)
    if room > 0 and rng.random() < 0.3:
        return text + " " * rng.randint(1, room)
    return text


def vary_case(rng, name):
    """A reference to a name: names match ignoring case."""
    if rng.random() < 0.2:
        return "".join(c.upper() if rng.random() < 0.5 else c.lower() for c in name)
    return name


class Generator:
    def __init__(self, rng):
        self.rng = rng
        self.used = set()
        self.fields = []    # (name, type, width) of declared variables and earlier targets

    def name(self):
        while True:
            n = self.rng.choice(NAME_STEMS) + str(self.rng.randint(1, 99))
            if n.lower() not in self.used:
                self.used.add(n.lower())
                return n

    def label(self):
        return self.rng.choice(LABELS) if self.rng.random() < 0.25 else None

    # Sources

    def numeric_var(self):
        rng = self.rng
        anchors = sorted(rng.sample(NUMBER_POOL, rng.randint(3, 7)))
        v = Var(self.name(), "numeric", rng.choice(LEVELS), label=self.label())
        kind = rng.random()
        if kind < 0.35:
            codes = rng.sample(anchors + MISSING_CODES, rng.randint(1, 3))
            v.missing = [spell(rng, c) for c in codes]
        elif kind < 0.6:
            lo, hi = sorted(rng.sample(anchors + MISSING_CODES, 2))
            v.mrange = ("LOWEST" if rng.random() < 0.25 else spell(rng, lo),
                        "HIGHEST" if rng.random() < 0.25 else spell(rng, hi))
            if rng.random() < 0.5:
                v.missing = [spell(rng, rng.choice(anchors + MISSING_CODES))]
        return v, anchors

    def string_var(self):
        rng = self.rng
        width = rng.randint(1, 8)
        pool = [s for s in STRING_POOL if len(s) <= width]
        pool = rng.sample(pool, min(len(pool), rng.randint(3, 6)))
        pool.append("".join(rng.choice("abxyAB") for _ in range(width)))
        v = Var(self.name(), "string", rng.choice(LEVELS), width=width, label=self.label())
        if rng.random() < 0.45:
            codes = rng.sample(pool + [c for c in ("dk", "na", "9") if len(c) <= width],
                               rng.randint(1, 3))
            v.missing = [with_blanks(rng, c, width) for c in dict.fromkeys(codes)]
        return v, pool

    # Recodes

    def numeric_input(self, anchors):
        rng = self.rng
        r = rng.random()
        if r < 0.45:
            a, b = sorted(rng.choice(anchors) for _ in range(2))
            lo = "LOWEST" if rng.random() < 0.15 else spell(rng, a)
            hi = "HIGHEST" if rng.random() < 0.15 else spell(rng, b)
            return ("Range", lo, hi)
        if r < 0.72:
            return ("Value", spell(rng, rng.choice(anchors)), None)
        if r < 0.82:
            return ("SystemMissing", None, None)
        if r < 0.93:
            return ("Missing", None, None)
        return ("Else", None, None)

    def string_input(self, pool, width):
        rng = self.rng
        r = rng.random()
        if r < 0.8:
            return ("Value", with_blanks(rng, rng.choice(pool), width), None)
        if r < 0.93:
            return ("Missing", None, None)
        return ("Else", None, None)

    def result(self, source_type, target_type, width, pool):
        rng = self.rng
        r = rng.random()
        if r < 0.2 and source_type == target_type:
            return ("ToCopy", None)
        if target_type == "numeric":
            if r < 0.4:
                return ("ToSystemMissing", None)
            return ("To", spell(rng, rng.choice(RESULT_POOL + pool)))
        fits = [s for s in STRING_POOL if len(s) <= width] or ["z"]
        return ("To", with_blanks(rng, rng.choice(fits), width))

    def recode(self, source, stype, swidth, anchors):
        rng = self.rng
        ttype = stype if rng.random() < 0.75 else ("string" if stype == "numeric" else "numeric")
        twidth = None
        if ttype == "string":
            twidth = rng.randint(1, 8)
            if stype == "string" and rng.random() < 0.3:
                twidth = rng.randint(1, max(1, swidth - 1))
        rules = []
        for _ in range(rng.randint(1, 8)):
            count = 1 if rng.random() < 0.75 else rng.randint(2, 3)
            if stype == "numeric":
                inputs = [self.numeric_input(anchors) for _ in range(count)]
            else:
                inputs = [self.string_input(anchors, swidth) for _ in range(count)]
            if any(k == "Else" for k, _, _ in inputs) and rng.random() < 0.8:
                inputs = [("Else", None, None)]
            pool = anchors if ttype == stype == "numeric" else []
            rules.append(Rule(inputs, self.result(stype, ttype, twidth, pool)))
        target = self.name()
        rec = Recode(vary_case(rng, source), target, ttype, rng.choice(LEVELS), twidth,
                     self.label(), rules)
        return rec

    # Computes

    def expr(self, kind, depth):
        rng = self.rng
        leaves = [f for f in self.fields if f[1] == ("string" if kind == "s" else "numeric")]
        if kind in "ns" and (depth == 0 or rng.random() < 0.35):
            if leaves and rng.random() < 0.7:
                return ("Field", vary_case(rng, rng.choice(leaves)[0]))
            if kind == "n":
                return ("Number", spell(rng, rng.choice(RESULT_POOL + NUMBER_POOL[:12])))
            return ("String", rng.choice(STRING_POOL + ["", " x "]))
        names = [f for f, spec in FUNCTIONS.items() if kind in spec[2]]
        if depth == 0:
            names = [f for f in names if FUNCTIONS[f][0] == "*"] or names
        fn = rng.choice(names)
        args_spec, repeat, _ = FUNCTIONS[fn]
        d = depth - 1
        if fn == "if":
            # The host's DO IF over a new variable: a missing condition or no else leaves it
            # system-missing (blank for a string).
            args = [self.expr("b", d), self.expr(kind, d)]
            if rng.random() < 0.7:
                args.append(self.expr(kind, d))
            return ("Apply", "if", args)
        if args_spec == "*":
            if not self.fields:
                return ("Apply", fn, [self.expr("n", 0)])
            return ("Apply", fn, [("Field", vary_case(rng, rng.choice(self.fields)[0]))])
        if args_spec == "==":
            k = rng.choice("ns")
            return ("Apply", fn, [self.expr(k, d), self.expr(k, d)])
        if args_spec == "=":
            k = rng.choice("ns")
            return ("Apply", fn, [self.expr(k, d) for _ in range(rng.randint(2, 4))])
        if repeat is not None:
            return ("Apply", fn, [self.expr(args_spec, d) for _ in range(rng.randint(repeat, 4))])
        if fn == "substring":
            return ("Apply", fn, [self.expr("s", d), ("Number", spell(rng, D(rng.randint(1, 3)))),
                                  ("Number", spell(rng, D(rng.randint(0, 4))))])
        if fn in ("replace", "matches"):
            args = [self.expr("s", d), ("String", rng.choice(["a", "b+", "^a", "[ab]", "x$"]))]
            if fn == "replace":
                args.append(("String", rng.choice(["", "Z", "zz"])))
            return ("Apply", fn, args)
        if fn == "formatNumber":
            number_arg = self.expr("n", d)
            return ("Apply", fn, [number_arg, ("String", rng.choice(["%d", "%.2f", "%5.1f"]))])
        return ("Apply", fn, [self.expr(k, d) for k in args_spec])

    def compute(self):
        rng = self.rng
        ttype = "numeric" if rng.random() < 0.7 else "string"
        if ttype == "numeric":
            expr = self.expr(rng.choice("nnnb"), rng.randint(1, 3))
            return Compute(self.name(), ttype, rng.choice(LEVELS), expr, label=self.label())
        expr = self.expr("s", rng.randint(1, 3))
        return Compute(self.name(), ttype, rng.choice(LEVELS), expr, width=rng.randint(1, 10),
                       label=self.label())


def generate(rng):
    """A random valid description: its entries."""
    g = Generator(rng)
    mode = rng.choice(("numeric", "numeric", "string", "string", "mixed"))
    entries, anchors = [], {}
    for _ in range(rng.randint(1, 3)):
        stype = mode if mode != "mixed" else rng.choice(("numeric", "string"))
        v, pool = g.numeric_var() if stype == "numeric" else g.string_var()
        entries.append(v)
        anchors[v.name] = (v, pool)
        g.fields.append((v.name, v.type, v.width))
    computes = rng.randint(0, 1) if mode != "mixed" else rng.randint(1, 3)
    for _ in range(rng.randint(1, 4)):
        if rng.random() < 0.12 and any(f[0] not in anchors for f in g.fields):
            # A recode of an earlier target: its values are those of its own recode.
            name, ttype, twidth = rng.choice([f for f in g.fields if f[0] not in anchors])
            pool = RESULT_POOL if ttype == "numeric" else [s for s in STRING_POOL
                                                          if len(s) <= twidth] or ["z"]
            rec = g.recode(name, ttype, twidth, sorted(pool) if ttype == "numeric" else pool)
        else:
            v, pool = anchors[rng.choice(list(anchors))]
            rec = g.recode(v.name, v.type, v.width, pool)
        entries.append(rec)
        g.fields.append((rec.target, rec.type, rec.width))
        if rng.random() < 0.08:
            # A source declared again (as accumulated descriptions do): the first one counts.
            v, _ = anchors[rng.choice(list(anchors))]
            again = Var(vary_case(rng, v.name), v.type, rng.choice(LEVELS), width=v.width)
            if v.type == "numeric":
                again.missing = [spell(rng, rng.choice(RESULT_POOL))]
            entries.append(again)
    for _ in range(computes):
        c = g.compute()
        entries.append(c)
        g.fields.append((c.target, c.type, c.width))
    return entries


# Rows ---------------------------------------------------------------------------

def _numbers_of(expr):
    if expr[0] == "Number":
        return [number(expr[1])]
    if expr[0] == "Apply":
        return [x for a in expr[2] for x in _numbers_of(a)]
    return []


def candidate_values(entries, var):
    """The values worth trying for a source: every bound and value the description names
    for it, the points just beside them, its user-missing codes, and system-missing."""
    key = var.name.lower()
    if var.type == "string":
        vals = {m.rstrip(" ")[:var.width] for m in var.missing}
        for en in entries:
            if isinstance(en, Recode) and en.source.lower() == key:
                vals.update(a.rstrip(" ")[:var.width] for r in en.rules
                            for k, a, _ in r.inputs if k == "Value")
        vals.update(("", "zz"[:var.width], "q" * var.width, "A"))
        return sorted(vals)
    points = {number(m) for m in var.missing}
    if var.mrange:
        points.update(number(b) for b in var.mrange if b not in ("LOWEST", "HIGHEST"))
    for en in entries:
        if isinstance(en, Recode) and en.source.lower() == key:
            for r in en.rules:
                for k, a, b in r.inputs:
                    points.update(number(x) for x in (a, b)
                                  if x is not None and x not in ("LOWEST", "HIGHEST"))
        elif isinstance(en, Compute) and key in (f.lower() for f in fields_of(en.expr)):
            points.update(_numbers_of(en.expr))
    points.add(0.0)
    vals = set()
    for p in points:
        vals.update((p, math.nextafter(p, -math.inf), math.nextafter(p, math.inf),
                     p - 0.5, p + 0.5))
    vals.update((-1e12, 1e12))
    return [None] + sorted(vals)


def generate_rows(rng, entries, limit=120):
    """Rows in which every candidate value of every source occurs at least once."""
    decl = declared(entries)
    cands = {v.name: candidate_values(entries, v) for v in decl.values()}
    for c in cands.values():
        rng.shuffle(c)
    n = min(limit, max((len(c) for c in cands.values()), default=1))
    return [{name: c[i % len(c)] for name, c in cands.items()} for i in range(n)]


# Judging disagreements ------------------------------------------------------------

class KnownLimit:
    def __init__(self, name, section, reason, applies):
        self.name = name
        self.section = section
        self.reason = reason
        self.applies = applies


def _user_missing_read_as_missing(ctx):
    en = ctx.entry
    if not isinstance(en, Recode):
        return False
    var = ctx.decl.get(en.source.lower())
    value = ctx.source_value(en)
    if var is None or not is_discrete_missing(var, value):
        return False
    # What a standard consumer gives for this recode when the source is missing.
    as_missing = common.lookup(ctx.pmml_with(var.name, None), en.target)[1]
    return common.values_equal(ctx.actual, as_missing)


def _local(tag):
    return tag.rsplit("}", 1)[-1]


def _reads_as_missing(limit):
    """Whether a target counted apart under this limit (or a combination holding it) differs by
    a user-missing code, so that an entry over it may follow from it."""
    return limit is not None and any(part in _READ_AS_MISSING for part in limit.split("+"))


def _follows_from_known_limit(ctx):
    """An entry over a target that differed by a user-missing code, which gives the description's
    value once that target holds the description's value in the PMML too."""
    if not _inputs_agree(ctx) or ctx.pmml_text is None or not _known_inputs(ctx):
        return False
    value = _pmml_value(ctx, ("follows-from-user-missing-code",), ctx.expected_row)
    return common.values_equal(value, ctx.expected, ctx.approx)


def _inputs(entry):
    return [entry.source] if isinstance(entry, Recode) else fields_of(entry.expr)


def _inputs_agree(ctx):
    """No input of the entry differs for a reason of its own."""
    return not any(n.lower() in ctx.differing for n in _inputs(ctx.entry))


def _known_inputs(ctx):
    """The entry's inputs that differed by a user-missing code (lower-case names)."""
    return {n.lower() for n in _inputs(ctx.entry)
            if _reads_as_missing(ctx.known_targets.get(n.lower()))}


def _string_codes_read(ctx):
    """The string sources the compute reads that hold one of their declared missing codes."""
    if not isinstance(ctx.entry, Compute):
        return []
    found = []
    for n in fields_of(ctx.entry.expr):
        var = ctx.decl.get(n.lower())
        if var is not None and var.type == "string" and var not in found \
                and is_discrete_missing(var, ctx.row.get(var.name)):
            found.append(var)
    return found


def _pmml_value(ctx, fixes, description_row):
    """The entry's value from the PMML written, changed by the given fixes:
    follows-from-user-missing-code: the entry's inputs that differed by a user-missing code hold
      the value description_row gives them;
    compute-string-user-missing: a string source the compute reads is read with its value
      wherever a value is read, while isMissing and isNotMissing on the field still see its
      declared codes (as the host reads them)."""
    root = ET.fromstring(ctx.pmml_text)
    row = dict(ctx.row)
    if "follows-from-user-missing-code" in fixes:
        known = _known_inputs(ctx)
        for df in root.iter():
            if _local(df.tag) != "DerivedField" or (df.get("name") or "").lower() not in known:
                continue
            value = common.lookup(description_row, df.get("name"))[1]
            ns = df.tag[:-len("DerivedField")]
            for child in list(df):
                if _local(child.tag) not in ("Extension", "Value"):
                    df.remove(child)
            if value is None:
                # No constant is missing: "if" whose condition is false and that has no
                # else-value is.
                fixed = ET.SubElement(df, ns + "Apply", function="if")
                ET.SubElement(fixed, ns + "Constant", dataType="boolean").text = "false"
                ET.SubElement(fixed, ns + "Constant", dataType="double").text = "0"
            else:
                fixed = ET.SubElement(df, ns + "Constant",
                                      dataType="string" if isinstance(value, str) else "double")
                fixed.text = value if isinstance(value, str) else repr(float(value))
    if "compute-string-user-missing" in fixes:
        _read_string_values(root, row, {v.name.lower() for v in _string_codes_read(ctx)})
    pmml_eval, = common.import_oracles("pmml_eval")
    values = pmml_eval.load(ET.tostring(root, encoding="unicode")).derived_values(row)
    return common.lookup(values, ctx.entry.target)[1]


def _read_string_values(root, row, names):
    """Makes every read of the named string fields' values see the value given, declared missing
    or not, except the isMissing and isNotMissing directly on the field: each such read goes to a
    copy of the field without missing declarations that the row fills with the same value."""
    raw = {}
    for dd in root.iter():
        if _local(dd.tag) != "DataDictionary":
            continue
        for df in list(dd):
            name = df.get("name") or ""
            if _local(df.tag) != "DataField" or name.lower() not in names:
                continue
            twin = copy.deepcopy(df)
            twin.set("name", "raw.value." + name)
            for v in list(twin):
                if _local(v.tag) == "Value" and v.get("property") == "missing":
                    twin.remove(v)
            dd.append(twin)
            raw[name] = twin.get("name")
            row[twin.get("name")] = common.lookup(row, name)[1]
    keep = set()
    for ap in root.iter():
        if _local(ap.tag) == "Apply" and ap.get("function") in ("isMissing", "isNotMissing"):
            keep.update(id(ref) for ref in ap if _local(ref.tag) == "FieldRef")
    for ref in root.iter():
        if _local(ref.tag) == "FieldRef" and ref.get("field") in raw and id(ref) not in keep:
            ref.set("field", raw[ref.get("field")])


def _strict(fn):
    """fn with PMML's rule for missing input: any missing argument gives missing."""
    def call(*args):
        return None if any(a is None for a in args) else fn(*args)
    return call


_NO_VALUE = object()


def _description_value(ctx, swaps):
    """The description's values for the row with the host's function rules in swaps replaced by
    PMML's, or _NO_VALUE when the host would refuse it so."""
    pmml_eval, desc_eval = common.import_oracles("pmml_eval", "desc_eval")
    overrides = {}
    for swap in swaps:
        overrides.update(_HOST_SWAPS[swap](pmml_eval, desc_eval))
    try:
        return desc_eval.evaluate(ctx.text, ctx.row, overrides)
    except desc_eval.Refused:
        return _NO_VALUE


def _under_pmml_rule(swap):
    """Whether the compute gives the PMML's value on this row once the host computes the given
    functions by PMML's rule (the description evaluated again with that one rule changed): then
    that rule, and nothing else, is what makes the values differ."""
    def applies(ctx):
        if not isinstance(ctx.entry, Compute) or ctx.text is None or not _inputs_agree(ctx):
            return False
        values = _description_value(ctx, (swap,))
        return values is not _NO_VALUE and common.values_equal(
            common.lookup(values, ctx.entry.target)[1], ctx.actual, ctx.approx)
    return applies


def _missing_operands(pmml_eval, desc_eval):
    # The host's own operators, except that a missing operand always gives missing, and so does
    # a division of 0 by 0 (the host's 0 / x = 0 holds for x = 0 too).
    functions = {f: _strict(desc_eval.host_meaning(f)) for f in ("*", "/", "pow", "and", "or")}
    divide = functions["/"]
    functions["/"] = lambda a, b: None if a == 0 and b == 0 else divide(a, b)
    return functions


def _pmml_product(pmml_eval, desc_eval):
    return {"product": pmml_eval.builtin("product")}


def _pmml_round(pmml_eval, desc_eval):
    return {"round": pmml_eval.builtin("round")}


# The limits that the description, evaluated again with host functions swapped, tests.
_HOST_SWAPS = {
    "compute-missing-operand": _missing_operands,
    "compute-missing-product": _pmml_product,
    "compute-round": _pmml_round,
}


def _string_code_read_as_missing(ctx):
    """A compute over a string source holding one of its declared missing codes, whose PMML
    gives the description's value once those codes are read as values where a value is read."""
    if ctx.pmml_text is None or not _inputs_agree(ctx) or not _string_codes_read(ctx):
        return False
    value = _pmml_value(ctx, ("compute-string-user-missing",), ctx.expected_row)
    return common.values_equal(value, ctx.expected, ctx.approx)


def _combined(ctx):
    """Two or more of the limits above on one compute: the name of the smallest set of them
    (their names joined by +, in table order) whose changes applied together make the description
    and the PMML agree on the entry, or None. Only where no single limit explains the row; host
    rules are swapped on the description's side, the others fixed on the PMML's side."""
    en = ctx.entry
    if not isinstance(en, Compute) or ctx.text is None or not _inputs_agree(ctx):
        return None
    if any(k.applies(ctx) for k in KNOWN_LIMITS if k.applies is not _combined):
        return None
    parts = [k.name for k in KNOWN_LIMITS if k.name in _HOST_SWAPS]
    if ctx.pmml_text is not None and _known_inputs(ctx):
        parts.append("follows-from-user-missing-code")
    if ctx.pmml_text is not None and _string_codes_read(ctx):
        parts.append("compute-string-user-missing")
    order = [k.name for k in KNOWN_LIMITS]
    parts.sort(key=order.index)
    described = {}
    for size in range(2, len(parts) + 1):
        for combo in itertools.combinations(parts, size):
            swaps = tuple(p for p in combo if p in _HOST_SWAPS)
            if swaps not in described:
                described[swaps] = (_description_value(ctx, swaps) if swaps
                                    else ctx.expected_row)
            values = described[swaps]
            if values is _NO_VALUE:
                continue
            fixes = tuple(p for p in combo if p not in _HOST_SWAPS)
            mine = common.lookup(values, en.target)[1]
            theirs = _pmml_value(ctx, fixes, values) if fixes else ctx.actual
            if common.values_equal(mine, theirs, ctx.approx):
                return "+".join(combo)
    return None


# Limits whose targets make an entry over them follow-from-user-missing-code.
_READ_AS_MISSING = ("user-missing-code-read-as-missing", "follows-from-user-missing-code")

_COMPUTE_SECTION = 'docs/known-limits.md, "The transform job"'
COMBINED = "combined"

# Where the PMML written cannot say what the description means, by design; rows
# where one of these explains the difference exactly are counted apart.
KNOWN_LIMITS = (
    KnownLimit(
        "user-missing-code-read-as-missing", 'docs/description-format.md, "The PMML written", its closing paragraph',
        "A discrete user-missing value of a source is written as Value property=\"missing\", so a "
        "standard consumer treats it as missing and gives the recode's result for missing input "
        "(mapMissingTo), even where the description sends that value to another rule or copies it. "
        "Applies only when the PMML result equals its result for a missing source.",
        _user_missing_read_as_missing),
    KnownLimit(
        "follows-from-user-missing-code", 'docs/description-format.md, "The PMML written"',
        "An entry over a target that differed on this row as user-missing-code-read-as-missing "
        "(or as this limit). Applies only when the PMML, with that target given the description's "
        "value, gives the description's value for the entry.",
        _follows_from_known_limit),
    KnownLimit(
        "compute-missing-operand", _COMPUTE_SECTION,
        "The host gives 0*x = 0, 0/x = 0, x**0 = 1, x AND false = false and x OR true = true for a "
        "missing x, and 0/0 = 0; PMML's *, /, pow, and, or give missing. Applies only when the "
        "description, computed with those five operators giving missing for a missing operand (and "
        "/ for 0/0), gives the PMML's value.",
        _under_pmml_rule("compute-missing-operand")),
    KnownLimit(
        "compute-missing-product", _COMPUTE_SECTION,
        "The host multiplies product's arguments, so a missing one gives missing (unless another "
        "is 0); PMML's product, an aggregate, ignores missing arguments. Applies only when the "
        "description, computed with PMML's product, gives the PMML's value.",
        _under_pmml_rule("compute-missing-product")),
    KnownLimit(
        "compute-round", _COMPUTE_SECTION,
        "The host's round takes a half away from zero (-2.5 gives -3), PMML's towards positive "
        "infinity (-2.5 gives -2). Applies only when the description, computed with PMML's round, "
        "gives the PMML's value.",
        _under_pmml_rule("compute-round")),
    KnownLimit(
        "compute-string-user-missing", _COMPUTE_SECTION,
        "A string source's declared missing code is written as Value property=\"missing\", so a "
        "standard consumer reads it as missing inside a compute, where the host uses the value. "
        "Applies only to a compute over a string source that holds one of its codes, when the PMML "
        "with that source's value read wherever a value is read (isMissing and isNotMissing on it "
        "still seeing its codes, as in the host) gives the description's value.",
        _string_code_read_as_missing),
    KnownLimit(
        COMBINED, _COMPUTE_SECTION,
        "Two or more of the limits above on one compute, named by the limits joined with +. "
        "Applies only when no single limit explains the row and the description and the PMML, "
        "each changed as exactly those limits' tests change them, give the same value.",
        _combined),
)


def known_limit(ctx):
    """The name the row is counted apart under, or None when no known limit explains it."""
    for k in KNOWN_LIMITS:
        found = k.applies(ctx)
        if found:
            return found if isinstance(found, str) else k.name
    return None


class Context:
    """What a known-limit test or a label needs about one disagreement."""

    def __init__(self, entries, decl, row, entry, expected, actual, doc, known_targets,
                 differing, expected_row, text=None, pmml_text=None, approx=False):
        self.entries = entries
        self.decl = decl
        self.row = row
        self.entry = entry
        self.expected = expected
        self.actual = actual
        self.doc = doc
        self.known_targets = known_targets
        self.differing = differing
        self.expected_row = expected_row
        self.text = text  # the description
        self.pmml_text = pmml_text
        self.approx = approx  # whether values compare within FLOAT_TOLERANCE

    def source_value(self, recode):
        var = self.decl.get(recode.source.lower())
        return self.row.get(var.name) if var is not None else None

    def pmml_with(self, name, value):
        row = dict(self.row)
        row[name] = value
        return self.doc.derived_values(row)


def _has_blank(text):
    return text is not None and text != text.rstrip(" ")


def _entry_by_target(entries, name):
    for en in entries:
        if not isinstance(en, Var) and en.target.lower() == name.lower():
            return en
    return None


def _is_invalid(v):
    return v is not None and not isinstance(v, (bool, int, float, str))


def _common_label(ctx):
    """Labels that hold whatever the entry's kind."""
    en = ctx.entry
    inputs = [en.source] if isinstance(en, Recode) else fields_of(en.expr)
    if any(n.lower() in ctx.differing for n in inputs):
        return "over-differing-target"
    if _is_invalid(ctx.actual):
        return "invalid-result"
    if en.type == "string" and ctx.expected == "" and ctx.actual is None:
        return "string-blank-vs-missing"
    if en.type == "string" and isinstance(ctx.actual, str) and _has_blank(ctx.actual) \
            and ctx.actual.rstrip(" ") == ctx.expected:
        return "trailing-blank-result"
    if en.type == "string" and en.width is not None and isinstance(ctx.actual, str) \
            and len(ctx.actual) > en.width \
            and ctx.actual[:en.width].rstrip(" ") == (ctx.expected or ""):
        return "string-width" if isinstance(en, Recode) else "compute-string-width"
    return None


def label_recode(ctx):
    """A short name for the rule pattern behind a recode's disagreement."""
    en = ctx.entry
    var = ctx.decl.get(en.source.lower())
    if var is None:
        # A recode of an earlier target: its value as the description gives it, and no
        # user-missing values.
        src = _entry_by_target(ctx.entries, en.source)
        var = Var(src.target, src.type, src.level, src.width)
        value = common.lookup(ctx.expected_row, src.target)[1]
    else:
        value = ctx.source_value(en)
    stype = var.type[:3]
    numeric = var.type == "numeric"
    if in_missing_range(var, value) and common.values_equal(
            ctx.actual, common.lookup(ctx.pmml_with(var.name, None), en.target)[1]):
        return "missing-range-read-as-missing"
    hits = matching_rules(en, value, var, numeric)
    first = en.rules[hits[0]] if hits else None
    if not numeric and value is not None:
        # A rule or missing value spelled with trailing blanks that the value matches.
        blank_inputs = [a for r in en.rules[:hits[0] + 1 if hits else None]
                        for k, a, _ in r.inputs if k == "Value" and _has_blank(a)
                        and a.rstrip(" ") == value.rstrip(" ")]
        blank_missing = [m for m in var.missing if _has_blank(m) and m.rstrip(" ") == value]
        if blank_inputs or blank_missing:
            return "trailing-blank-input"
    if value is None and len({repr(en.rules[i].result) for i in hits}) > 1:
        return "sysmis-first-match"
    kind = ("sysmis" if value is None else
            "user-missing" if is_discrete_missing(var, value) else
            "missing-range" if in_missing_range(var, value) else "value")
    if kind == "user-missing" and len({repr(en.rules[i].result) for i in hits}) > 1:
        return "user-missing-first-match"
    if first is None:
        return f"{stype}-recode:{kind}:unmatched"
    inp = next(k for k, a, b in first.inputs if input_matches((k, a, b), value, var, numeric))
    return f"{stype}-recode:{kind}:{inp}->{first.result[0]}"


def label_compute(ctx):
    """A short name for what a compute's disagreement involves."""
    en = ctx.entry
    fns = functions_of(en.expr)
    for n in fields_of(en.expr):
        var = ctx.decl.get(n.lower())
        if var is None:
            # An earlier target: its value as the description gives it.
            if common.lookup(ctx.expected_row, n)[1] is None:
                return "compute-missing:" + (fns[0] if fns else en.expr[0])
            continue
        value = ctx.row.get(var.name)
        if in_missing_range(var, value):
            return "compute-missing-range"
        if var.type == "string" and is_discrete_missing(var, value):
            return "compute-string-user-missing"
        if value is None or is_discrete_missing(var, value):
            return "compute-missing:" + (fns[0] if fns else en.expr[0])
    if "round" in fns:
        # The host's RND takes halves away from zero, PMML's round towards positive infinity.
        return "compute-round"
    if "concat" in fns and isinstance(ctx.expected, str) and isinstance(ctx.actual, str):
        # The host's CONCAT keeps the blanks that pad its string arguments to their width.
        return "compute-concat-padding"
    return "compute:" + (fns[0] if fns else en.expr[0])


def label(ctx):
    return _common_label(ctx) or (label_recode(ctx) if isinstance(ctx.entry, Recode)
                                  else label_compute(ctx))


# Running a case -------------------------------------------------------------------

def approximate(entries, entry, cache):
    """Whether a compute's result goes through floating-point functions (also through an
    earlier compute)."""
    key = entry.target.lower()
    if key in cache:
        return cache[key]
    cache[key] = False
    if isinstance(entry, Compute):
        result = bool(FLOAT_FUNCTIONS & set(functions_of(entry.expr)))
        for n in fields_of(entry.expr):
            dep = _entry_by_target(entries, n)
            result = result or (dep is not None and approximate(entries, dep, cache))
        cache[key] = result
    return cache[key]


class Oracles:
    def __init__(self):
        self.pmml_eval, self.desc_eval = common.import_oracles("pmml_eval", "desc_eval")


def run_case(args, oracles, text, rows, entries=None):
    """Converts one description and compares both evaluations on every row.
    Returns (CaseResult, files to save)."""
    result = common.CaseResult()
    files = {"description.xml": text}
    if entries is None:
        entries = from_xml(text)
    with common.ScratchDir() as d:
        desc_path = os.path.join(d, "description.xml")
        out_path = os.path.join(d, "output.pmml")
        common.write_text(desc_path, text)
        rc, _, err = common.run_tool([args.tool, "transform", desc_path, "-o", out_path])
        files["tool.txt"] = f"exit {rc}\n{err}"
        if rc != 0:
            result.error = (f"tool-refused:{rc}", err.strip())
            return result, files
        pmml = common.read_text(out_path)
    files["output.pmml"] = pmml
    doc, err = common.guarded("pmml_eval", oracles.pmml_eval.load, pmml)
    if err:
        result.error = err
        return result, files
    decl = declared(entries)
    targets = [en for en in entries if not isinstance(en, Var)]
    cache = {}
    expected_rows, actual_rows = [], []
    for i, row in enumerate(rows):
        expected, err = common.guarded("desc_eval", oracles.desc_eval.evaluate, text, row)
        if err is None:
            actual, err = common.guarded("pmml_eval", doc.derived_values, row)
        if err:
            result.error = (err[0], f"row {i}: {err[1]}")
            break
        expected_rows.append(expected)
        actual_rows.append(actual)
        known_targets, differing = {}, set()  # target -> the known limit it differed by
        for en in targets:
            found_e, e = common.lookup(expected, en.target)
            found_a, a = common.lookup(actual, en.target)
            if not found_a:
                result.disagreements.append(
                    common.Disagreement(i, en.target, e, a, "pmml-field-absent"))
                continue
            if not found_e:
                result.disagreements.append(
                    common.Disagreement(i, en.target, e, a, "desc-eval-field-absent"))
                continue
            approx = approximate(entries, en, cache)
            if common.values_equal(e, a, approx):
                continue
            ctx = Context(entries, decl, row, en, e, a, doc, known_targets, differing, expected,
                          text, pmml, approx)
            limit = known_limit(ctx)
            if limit is not None:
                known_targets[en.target.lower()] = limit
                result.known.append((common.Disagreement(i, en.target, e, a, limit), limit))
                continue
            differing.add(en.target.lower())
            note = "compared within %g relative" % common.FLOAT_TOLERANCE if approx else ""
            result.disagreements.append(common.Disagreement(i, en.target, e, a, label(ctx), note))
    files["desc_eval.json"] = common.rows_to_json(_jsonable(expected_rows))
    files["pmml_eval.json"] = common.rows_to_json(_jsonable(actual_rows))
    return result, files


def _jsonable(rows):
    return [{k: common.jsonable(v) for k, v in r.items()} for r in rows]


def report_lines(result):
    if result.error:
        return [f"[{result.error[0]}] {result.error[1]}"]
    lines = [d.line("description", "PMML") for d in result.disagreements]
    lines += [d.line("description", "PMML") + " [known limit]" for d, _ in result.known]
    return lines


# Shrinking --------------------------------------------------------------------------

def _same_failure(result, label, field):
    return any(d.label == label and d.field.lower() == field.lower()
               for d in result.disagreements) or (result.error is not None
                                                  and result.error[0] == label)


def _variants(entries):
    """Smaller descriptions: one entry, rule, input, missing value or label fewer."""
    for i, en in enumerate(entries):
        yield entries[:i] + entries[i + 1:]
    for i, en in enumerate(entries):
        if isinstance(en, Recode):
            for j in range(len(en.rules)):
                if len(en.rules) > 1:
                    yield _replace(entries, i, _copy_recode(en, en.rules[:j] + en.rules[j + 1:]))
                r = en.rules[j]
                for k in range(len(r.inputs) if len(r.inputs) > 1 else 0):
                    rules = list(en.rules)
                    rules[j] = Rule(r.inputs[:k] + r.inputs[k + 1:], r.result)
                    yield _replace(entries, i, _copy_recode(en, rules))
        if isinstance(en, Var):
            for k in range(len(en.missing)):
                v = Var(en.name, en.type, en.level, en.width, en.label,
                        en.missing[:k] + en.missing[k + 1:], en.mrange)
                yield _replace(entries, i, v)
            if en.mrange is not None:
                yield _replace(entries, i, Var(en.name, en.type, en.level, en.width, en.label,
                                               en.missing, None))
        if getattr(en, "label", None) is not None:
            c = copy.copy(en)
            c.label = None
            yield _replace(entries, i, c)


def _replace(entries, i, en):
    return entries[:i] + [en] + entries[i + 1:]


def _copy_recode(en, rules):
    return Recode(en.source, en.target, en.type, en.level, en.width, en.label, rules)


def minimize(args, oracles, entries, rows, disagreement):
    """The smallest description and row (found greedily) that still fail the same way."""
    label, field = disagreement.label, disagreement.field
    rows = [rows[disagreement.row_index]]
    changed = True
    while changed:
        changed = False
        i = 0
        while True:
            # After a smaller description is kept, the variant now at position i is the next
            # one not yet tried, so one pass tries each reduction once.
            variants = list(_variants(entries))
            if i >= len(variants):
                break
            r, _ = run_case(args, oracles, to_xml(variants[i]), rows, variants[i])
            if _same_failure(r, label, field):
                entries = variants[i]
                changed = True
            else:
                i += 1
    decl = declared(entries)
    rows = [{k: v for k, v in rows[0].items() if k.lower() in decl}]
    return entries, rows


# Main -----------------------------------------------------------------------------

def kind_of(entries):
    """numeric, string or mixed: the types of a description's sources."""
    kinds = {en.type for en in entries if isinstance(en, Var)}
    return kinds.pop() if len(kinds) == 1 else "mixed"


def main():
    args = common.parse_args(JOB, __doc__.split("\n\n")[0])
    oracles = Oracles()
    tally = common.Tally(args)
    tally.known_reasons = {k.name: f"{k.reason} [{k.section}]" for k in KNOWN_LIMITS}
    minimized = {}

    def judge(case_id, text, rows, entries=None):
        result, files = run_case(args, oracles, text, rows, entries)
        saved = None
        if result.failed:
            saved = common.report_failure(args, case_id, result, files, rows, report_lines(result))
            if args.minimize and result.disagreements:
                first = {}
                for d in result.disagreements:
                    first.setdefault(d.label, d)
                for d in first.values():
                    if minimized.get(d.label, 0) >= 1:
                        continue
                    minimized[d.label] = minimized.get(d.label, 0) + 1
                    small, small_rows = minimize(args, oracles, entries or from_xml(text),
                                                 rows, d)
                    r, f = run_case(args, oracles, to_xml(small), small_rows, small)
                    name = f"{case_id}-min-{common.file_name(d.label)}"
                    common.save_case(args, name, f, small_rows, report_lines(r))
        for _, name in result.known:
            if name not in tally.known_reasons:
                combined = next(k for k in KNOWN_LIMITS if k.name == COMBINED)
                tally.known_reasons[name] = f"{combined.reason} [{combined.section}]"
        tally.add(case_id, result, saved, kind_of(entries or from_xml(text)))

    if args.replay:
        for d in common.replay_cases(args.replay):
            text = common.read_text(os.path.join(d, "description.xml"))
            rows = common.rows_from_json(common.read_text(os.path.join(d, common.ROWS_FILE)))
            judge("replay-" + os.path.basename(d), text, rows)
        return tally.finish()

    common.clear_out(args)
    for d in common.regression_cases(JOB):
        text = common.read_text(os.path.join(d, "description.xml"))
        rows = common.rows_from_json(common.read_text(os.path.join(d, common.ROWS_FILE)))
        judge("regression-" + os.path.basename(d), text, rows)
    for case_id, rng in common.case_seeds(args):
        entries = generate(rng)
        rows = generate_rows(rng, entries)
        judge(case_id, to_xml(entries), rows, entries)
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())

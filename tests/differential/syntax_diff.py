#!/usr/bin/env python3
"""Syntax differential test.

Generates random data-preparation PMML documents over every node kind the
syntax job reads (field references, constants, operators and functions,
MapValues tables, Discretize bins with the four closures, NormContinuous, the
outlier Apply), plus the bundled example; converts each with
`pmmlxform syntax`, runs the syntax with the command-language interpreter
(host_lang) on random rows, evaluates the document with the PMML evaluator
(pmml_eval) on the same rows, and compares every converted derived field.

With --report-only the failures are printed by class and the exit code is 0.

    syntax_diff.py --tool build/bin/pmmlxform --cases 500 --out build/differential --report-only
    syntax_diff.py --tool build/bin/pmmlxform --replay build/differential/syntax/s5-3
"""

import datetime
import math
import os
import random
import sys
import xml.etree.ElementTree as ET

import common

JOB = "syntax"
NS = "http://www.dmg.org/PMML-4_2"
EXAMPLE = os.path.join(common.SOURCE_DIR, "share", "pmmlxform", "examples", "adp_example.xml")

NUMBERS = (-10, -2.5, -1, 0, 0.5, 1, 2, 3, 5, 7.5, 10, 12, 18, 25, 40, 45, 65, 90, 100, 1000)
STRINGS = ("North", "South", "East", "West", "N", "S", "F", "M", "a", "b", "ab", "Other",
           "Men's", "x y", "EU", "Asia")
STEMS = ("age", "inc", "reg", "score", "visits", "grp", "sex", "band", "lvl", "q", "x", "t")
# Functions of PMML written as host functions; their arguments are fields, constants or
# operators (the job takes no function call inside a function call).
NUMERIC_FUNCTIONS = ("ln", "exp", "abs", "log10", "round", "sqrt", "floor", "min", "max", "sum",
                     "avg")
OPERATORS = ("+", "-", "*", "/", "pow")
COMPARISONS = ("equal", "notEqual", "lessThan", "greaterThan", "greaterOrEqual", "lessOrEqual")
# Results that go through floating-point arithmetic written in another order by the two
# sides (rescaling, cut-offs, logarithms, roots, powers, means), compared with FLOAT_TOLERANCE.
FLOAT_FUNCTIONS = {"/", "ln", "log10", "sqrt", "exp", "pow", "avg", "outlierHandle"}


# How a PMML result appears in the command language where the language has no value of that
# kind. The comparison maps the PMML side through this table and through nothing else: the PMML
# is evaluated with each derived field held as the language holds it, so a field that reads one
# reads what the syntax's variable holds.
LANGUAGE_REPRESENTATION = {
    "invalid result": (
        "system-missing, also where a function or another field reads it: PMML's "
        "invalidValueTreatment=\"asMissing\" on every Apply that returns invalid",
        "the language has no invalid value: its functions give system-missing for arguments "
        "outside their domain (LN(-1), SQRT(-1), x/0, an overflow), and a variable holds "
        "nothing else"),
    "missing string result": (
        "blank, also where another field reads it",
        "a string variable cannot be missing: a string the syntax leaves unassigned or sets "
        "from a missing value is blank, and a field computed from it reads the blank"),
}


def as_language_document(text):
    """The document as the PMML evaluator reads it for this test: every Apply that would return
    an invalid result returns missing instead (LANGUAGE_REPRESENTATION)."""
    root = ET.fromstring(text.encode("utf-8"))
    for a in root.iter(q("Apply")):
        if a.get("invalidValueTreatment", "returnInvalid") == "returnInvalid":
            a.set("invalidValueTreatment", "asMissing")
    return ET.tostring(root, encoding="unicode")


def as_language_value(pmml_value, data_type, invalid):
    """A PMML result as the command language can hold it (LANGUAGE_REPRESENTATION)."""
    if pmml_value is invalid:
        pmml_value = None
    if pmml_value is None and data_type == "string":
        return ""
    return pmml_value


def q(tag):
    return f"{{{NS}}}{tag}"


def sub(parent, tag, **attrs):
    return ET.SubElement(parent, q(tag), {k.rstrip("_"): str(v) for k, v in attrs.items()})


def num_text(x):
    return str(int(x)) if float(x).is_integer() else repr(float(x))


def role(parent, usage, cls):
    ext = sub(parent, "Extension")
    sub(ext, "UsageType", value=usage)
    sub(ext, "ClassOfField", value=cls)


# Generation ---------------------------------------------------------------------------

class Field:
    def __init__(self, name, kind, data_type, values=(), missing=()):
        self.name = name
        self.kind = kind            # numeric / string
        self.data_type = data_type
        self.values = list(values)  # string fields: the valid values
        self.missing = list(missing)


class DocGenerator:
    def __init__(self, rng):
        self.rng = rng
        self.used = set()
        self.fields = []            # data fields and derived fields so far (Field)

    def name(self):
        while True:
            n = self.rng.choice(STEMS) + "_" + str(self.rng.randint(1, 99))
            if n.lower() not in self.used:
                self.used.add(n.lower())
                return n

    def pick(self, kind):
        choices = [f for f in self.fields if f.kind == kind]
        return self.rng.choice(choices) if choices else None

    def constant(self, parent, kind="numeric"):
        if kind == "string":
            c = sub(parent, "Constant", dataType="string")
            c.text = self.rng.choice(STRINGS)
        else:
            c = sub(parent, "Constant", dataType="double")
            c.text = num_text(self.rng.choice(NUMBERS))
        return c

    def operand(self, parent, depth, allow_function=True):
        """A numeric operand: a field, a constant, an operator or (not inside a function) a
        function."""
        rng = self.rng
        r = rng.random()
        f = self.pick("numeric")
        if depth <= 0 or r < 0.45:
            if f is not None and rng.random() < 0.7:
                return sub(parent, "FieldRef", field=f.name)
            return self.constant(parent)
        if allow_function and r < 0.65:
            return self.function(parent, depth - 1)
        a = sub(parent, "Apply", function=rng.choice(OPERATORS))
        self.operand(a, depth - 1, allow_function)
        self.operand(a, depth - 1, allow_function)
        return a

    def function(self, parent, depth):
        rng = self.rng
        fn = rng.choice(NUMERIC_FUNCTIONS)
        a = sub(parent, "Apply", function=fn)
        count = rng.randint(1, 3) if fn in ("min", "max", "sum", "avg") else 1
        for _ in range(count):
            self.operand(a, depth, allow_function=False)
        return a

    def condition(self, parent, depth):
        rng = self.rng
        s = self.pick("string")
        if s is not None and rng.random() < 0.35:
            a = sub(parent, "Apply", function=rng.choice(("equal", "notEqual")))
            sub(a, "FieldRef", field=s.name)
            c = sub(a, "Constant", dataType="string")
            c.text = rng.choice(s.values or list(STRINGS))
            return a
        if depth > 0 and rng.random() < 0.3:
            a = sub(parent, "Apply", function=rng.choice(("and", "or")))
            self.condition(a, depth - 1)
            self.condition(a, depth - 1)
            return a
        a = sub(parent, "Apply", function=rng.choice(COMPARISONS))
        self.operand(a, depth)
        self.operand(a, 0)
        return a

    # Derived fields, one per node kind

    @staticmethod
    def usage_enabled(df):
        ext = df.find(q("Extension"))
        return ext is None or ext.find(q("UsageType")).get("value") == "enable"

    def derived(self, td, kind, usage=None):
        rng = self.rng
        name = self.name()
        usage = usage or ("disable" if rng.random() < 0.15 else "enable")
        df = sub(td, "DerivedField", name=name)
        if rng.random() < 0.9 or usage == "disable":
            role(df, usage, "predictor")
        fkind, dtype = getattr(self, "make_" + kind)(df)
        if fkind is None:
            td.remove(df)
            return
        df.set("dataType", dtype)
        df.set("optype", "categorical" if fkind == "string" or dtype == "integer"
               else rng.choice(("continuous", "continuous", "ordinal")))
        # Attributes in the usual order: name, optype, dataType.
        attrs = {"name": name, "optype": df.get("optype"), "dataType": dtype}
        df.attrib.clear()
        df.attrib.update(attrs)
        self.fields.append(Field(name, fkind, dtype, self._values_of(df)))

    def _values_of(self, df):
        """The string values a derived field can take, as far as the document says them."""
        vals = [e.text for e in df.iter() if e.text and e.tag == q("out")]
        vals += [e.get("binValue") for e in df.iter(q("DiscretizeBin"))]
        vals += [e.text for e in df.iter(q("Constant")) if e.get("dataType") == "string"]
        return list(dict.fromkeys(v for v in vals if v))

    def make_fieldref(self, df):
        f = self.rng.choice(self.fields)
        sub(df, "FieldRef", field=f.name)
        return f.kind, "string" if f.kind == "string" else "double"

    def make_constant(self, df):
        kind = self.rng.choice(("numeric", "string"))
        self.constant(df, kind)
        return kind, "string" if kind == "string" else "double"

    def make_operator(self, df):
        rng = self.rng
        if rng.random() < 0.35:
            self.condition(df, 2)
            return "numeric", "integer"
        a = sub(df, "Apply", function=rng.choice(OPERATORS))
        self.operand(a, 2)
        self.operand(a, 2)
        return "numeric", "double"

    def make_function(self, df):
        rng = self.rng
        s = self.pick("string")
        r = rng.random()
        if s is not None and r < 0.2:
            a = sub(df, "Apply", function="uppercase")
            sub(a, "FieldRef", field=s.name)
            return "string", "string"
        if s is not None and r < 0.3:
            a = sub(df, "Apply", function="concat")
            sub(a, "FieldRef", field=s.name)
            self.constant(a, "string")
            return "string", "string"
        if r < 0.4:
            a = sub(df, "Apply", function="not")
            self.condition(a, 1)
            return "numeric", "integer"
        self.function(df, 2)
        return "numeric", "double"

    def make_if(self, df):
        a = sub(df, "Apply", function="if")
        self.condition(a, 1)
        self.constant(a)
        self.constant(a)
        return "numeric", "double"

    def make_mapvalues(self, df):
        rng = self.rng
        src = self.pick("string") if rng.random() < 0.85 else self.pick("numeric")
        if src is None:
            return None, None
        out_string = rng.random() < 0.6
        keys = (src.values + src.missing) if src.kind == "string" and src.values else \
            [num_text(x) for x in NUMBERS] if src.kind == "numeric" else list(STRINGS)
        keys = keys or list(STRINGS)
        mv = sub(df, "MapValues", outputColumn="out")
        if rng.random() < 0.2 and out_string == (src.kind == "string"):
            sub(mv, "Extension", name="recodeElseCopy")
        sub(mv, "FieldColumnPair", field=src.name, column="in")
        table = sub(mv, "InlineTable")
        for _ in range(rng.randint(1, 6)):
            row = sub(table, "row")
            sub(row, "in").text = rng.choice(keys)
            sub(row, "out").text = (rng.choice(STRINGS) if out_string
                                    else num_text(rng.choice(NUMBERS)))
        if rng.random() < 0.5:
            mv.set("mapMissingTo", rng.choice(STRINGS) if out_string
                   else num_text(rng.choice(NUMBERS)))
        if rng.random() < 0.4:
            mv.set("defaultValue", rng.choice(STRINGS) if out_string
                   else num_text(rng.choice(NUMBERS)))
        return ("string", "string") if out_string else ("numeric", "double")

    def make_discretize(self, df):
        rng = self.rng
        src = self.pick("numeric")
        if src is None:
            return None, None
        out_string = rng.random() < 0.3
        dz = sub(df, "Discretize", field=src.name)
        margins = sorted(rng.sample(NUMBERS, rng.randint(2, 6)))
        count = len(margins) - 1
        for i in range(count):
            lo, hi = margins[i], margins[i + 1]
            if rng.random() < 0.2:  # an overlapping bin
                lo = rng.choice(margins[:i + 1])
            b = sub(dz, "DiscretizeBin", binValue=(rng.choice(STRINGS) if out_string
                                                   else str(rng.randint(1, 9))))
            iv = sub(b, "Interval", closure=rng.choice(("openClosed", "openOpen", "closedOpen",
                                                        "closedClosed")))
            if not (i == 0 and rng.random() < 0.3):
                iv.set("leftMargin", num_text(lo))
            if not (i == count - 1 and rng.random() < 0.3):
                iv.set("rightMargin", num_text(hi))
        if rng.random() < 0.3:
            dz.set("mapMissingTo", rng.choice(STRINGS) if out_string else str(rng.randint(1, 9)))
        if rng.random() < 0.3:
            dz.set("defaultValue", rng.choice(STRINGS) if out_string else str(rng.randint(1, 9)))
        return ("string", "string") if out_string else ("numeric", "integer")

    def make_norm(self, df):
        rng = self.rng
        src = self.pick("numeric")
        if src is None:
            return None, None
        lo, hi = sorted(rng.sample(NUMBERS, 2))
        nc = sub(df, "NormContinuous", field=src.name)
        mode = rng.random()
        if mode < 0.4:
            nc.set("outliers", "asExtremeValues")
        elif mode < 0.75:
            nc.set("outliers", "asMissingValues")
        if mode >= 0.75 or rng.random() < 0.3:
            nc.set("mapMissingTo", num_text(rng.choice(NUMBERS)))
        same = rng.random() < 0.4
        n1, n2 = (lo, hi) if same else rng.choice(((0, 1), (0, 100), (-1, 1)))
        sub(nc, "LinearNorm", orig=num_text(lo), norm=num_text(n1))
        sub(nc, "LinearNorm", orig=num_text(hi), norm=num_text(n2))
        return "numeric", "double"

    def make_outlier(self, df):
        rng = self.rng
        src = self.pick("numeric")
        if src is None:
            return None, None
        a = sub(df, "Apply", function="outlierHandle")
        sub(a, "FieldRef", field=src.name)
        t = sub(a, "Constant", dataType="string")
        t.text = rng.choice(("asExtremeValues", "asMissingValues"))
        for x in (rng.choice((0, 10, 40, 52)), rng.choice((1, 2.5, 12)), rng.choice((1, 2, 3))):
            sub(a, "Constant", dataType="double").text = num_text(x)
        if rng.random() < 0.3:
            sub(a, "Constant", dataType="double").text = rng.choice(("1", "2", "4"))
        return "numeric", "double"


KINDS = (("fieldref", 6), ("constant", 4), ("operator", 18), ("function", 16), ("if", 2),
         ("mapvalues", 16), ("discretize", 16), ("norm", 12), ("outlier", 8))


def generate(rng):
    """A random data-preparation document, as text."""
    g = DocGenerator(rng)
    ET.register_namespace("", NS)
    root = ET.Element(q("PMML"), version="4.2")
    sub(sub(root, "Header"), "Application", name="Automated Data Preparation", version="1.0")
    dd = sub(root, "DataDictionary")
    for i in range(rng.randint(2, 5)):
        kind = "numeric" if i == 0 else ("string" if i == 1 else rng.choice(("numeric", "string")))
        name = g.name()
        if kind == "numeric":
            dtype = "double" if rng.random() < 0.8 else "integer"
            missing = rng.sample([-1, 99, 0, 10, 98], rng.choice((0, 0, 1, 2)))
            f = Field(name, kind, dtype, missing=[num_text(m) for m in missing])
        else:
            values = rng.sample(STRINGS, rng.randint(2, 5))
            missing = rng.sample(["dk", "na", values[0]], rng.choice((0, 0, 1)))
            f = Field(name, kind, "string", values, missing)
        df = sub(dd, "DataField", name=name,
                 optype="continuous" if kind == "numeric" else "categorical", dataType=f.data_type)
        role(df, "disable" if rng.random() < 0.1 else "enable",
             "target" if rng.random() < 0.1 else "predictor")
        for v in f.values:
            sub(df, "Value", value=v)
        for m in f.missing:
            sub(df, "Value", value=m, property="missing")
        g.fields.append(f)
    dd.set("numberOfFields", str(len(g.fields)))
    td = sub(root, "TransformationDictionary")
    names = [k for k, _ in KINDS]
    weights = [w for _, w in KINDS]
    for _ in range(rng.randint(1, 6)):
        g.derived(td, rng.choices(names, weights)[0])
    if not any(g.usage_enabled(df) for df in td):
        # The job refuses a document that converts nothing; one enabled field is enough.
        g.derived(td, "operator", usage="enable")
    ET.indent(root, "  ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(root, encoding="unicode") + "\n"


# Reading a document back --------------------------------------------------------------

def local(tag):
    return tag.rsplit("}", 1)[-1]


def kids(el, name=None):
    return [c for c in el if local(c.tag) != "Extension" and (name is None or local(c.tag) == name)]


def expression(df):
    return next((c for c in df if local(c.tag) not in ("Extension", "Value")), None)


class Document:
    """What the driver needs of a data-preparation document: its data fields and which derived
    fields the syntax converts, under which name."""

    NUMERIC_TYPES = ("double", "float", "integer", "date", "time", "dateDaysSince[1970]")

    def __init__(self, text):
        self.root = ET.fromstring(text.encode("utf-8"))
        dd = next(c for c in self.root if local(c.tag) == "DataDictionary")
        self.data_fields = kids(dd, "DataField")
        td = next(c for c in self.root if local(c.tag) == "TransformationDictionary")
        self.derived = kids(td, "DerivedField")

    def usage(self, df):
        ext = next((c for c in df if local(c.tag) == "Extension"), None)
        if ext is None:
            return None
        u = next((c for c in ext if local(c.tag) == "UsageType"), None)
        return u.get("value") if u is not None else ""

    def converted(self):
        """(PMML name, syntax name, element) of every derived field the syntax computes: one
        without usage or enabled, and a disabled one that a converted later field reads, under
        '#' + its name."""
        out = []
        needed = set()
        for df in reversed(self.derived):
            name = df.get("name")
            used = self.usage(df) in (None, "enable") or name in needed
            if used:
                needed.update(e.get("field") for e in df.iter() if e.get("field"))
                out.append((name, name if self.usage(df) in (None, "enable") else "#" + name, df))
        return list(reversed(out))

    def dictionary(self, host_lang, rows):
        """The active dataset's variables, as the data dictionary declares them."""
        d = {}
        for f in self.data_fields:
            name = f.get("name")
            missing = [v.get("value") for v in f if local(v.tag) == "Value"
                       and v.get("property") == "missing"]
            if f.get("dataType") == "string":
                longest = [len(v.get("value")) for v in f if local(v.tag) == "Value"]
                longest += [len(r[name]) for r in rows if isinstance(r.get(name), str)]
                d[name] = host_lang.VarInfo("string", max(longest + [1]), missing)
            else:
                d[name] = host_lang.VarInfo("numeric", 8, [float(m) for m in missing])
        return d


# Rows ---------------------------------------------------------------------------------

def _float(text):
    try:
        return float(text)
    except (TypeError, ValueError):
        return None


# Dates and times as the host holds them: seconds since 14 October 1582, and seconds of the
# day. The PMML evaluator is given the same numbers (the interfaces fix no other form).
_GREGORIAN = datetime.date(1582, 10, 14)
DATES = [float((datetime.date(y, m, d) - _GREGORIAN).days * 86400)
         for y, m, d in ((2019, 3, 1), (2020, 2, 29), (2024, 12, 31))]
TIMES = [0.0, 3600.0 * 9.5, 86399.0]


def candidate_values(doc, field):
    name = field.get("name")
    if field.get("dataType") == "date":
        return [None] + DATES
    if field.get("dataType") == "time":
        return [None] + TIMES
    missing = [v.get("value") for v in field if local(v.tag) == "Value"
               and v.get("property") == "missing"]
    if field.get("dataType") == "string":
        vals = {v.get("value") for v in field if local(v.tag) == "Value"}
        for df in doc.derived:
            for mv in df.iter(q("MapValues")):
                pair = next((c for c in mv if local(c.tag) == "FieldColumnPair"), None)
                if pair is not None and pair.get("field") == name:
                    vals.update((c.text or "") for c in mv.iter() if local(c.tag) == "in")
            treatments = {id(kids(a)[1]) for a in df.iter(q("Apply"))
                          if a.get("function") == "outlierHandle" and len(kids(a)) > 1}
            for c in df.iter(q("Constant")):
                # An outlier treatment's name is a setting, not a value of any field.
                if c.get("dataType") == "string" and id(c) not in treatments:
                    vals.add(c.text or "")
        vals.update(("", "zz"))
        # The syntax declares string fields as wide as the values the document lists; a value
        # longer than all of them is not one the document describes.
        listed = [len(v.get("value")) for v in field if local(v.tag) == "Value"]
        if listed:
            vals = {v for v in vals if len(v) <= max(listed)}
        return sorted(vals)
    points = {float(m) for m in missing} | {0.0}
    for df in doc.derived:
        refers = any(e.get("field") == name for e in df.iter())
        if not refers:
            continue
        for e in df.iter():
            for attr in ("leftMargin", "rightMargin", "orig"):
                points.add(_float(e.get(attr)))
            if local(e.tag) in ("Constant", "in") and e.get("dataType") != "string":
                points.add(_float(e.text))
        a = expression(df)
        if a is not None and a.get("function") == "outlierHandle":
            params = [_float(c.text) for c in kids(a)[2:] if local(c.tag) == "Constant"]
            if len(params) >= 3 and None not in params:
                spread = params[1] * params[2] / math.sqrt(params[3] if len(params) > 3 else 1)
                points.update((params[0] - spread, params[0] + spread))
    points.discard(None)
    whole = field.get("dataType") == "integer"
    vals = set()
    for p in points:
        if whole:
            if p.is_integer():
                vals.update((p, p - 1, p + 1))
        elif p == 0:
            # Right beside zero, a rescaled result comes out of cancellation, where the two sides'
            # formulas (the same arithmetic in another order) part by more than any relative
            # tolerance; 2**-20 is near enough to test the bound.
            vals.update((p, -2.0**-20, 2.0**-20, -0.5, 0.5))
        else:
            vals.update((p, math.nextafter(p, -math.inf), math.nextafter(p, math.inf),
                         p - 0.5, p + 0.5))
    return [None] + sorted(vals)


def generate_rows(rng, doc, limit=80):
    cands = {f.get("name"): candidate_values(doc, f) for f in doc.data_fields}
    for c in cands.values():
        rng.shuffle(c)
    n = min(limit, max(len(c) for c in cands.values()))
    return [{k: c[i % len(c)] for k, c in cands.items()} for i in range(n)]


# Judging --------------------------------------------------------------------------------

def _approximate(df, derived, seen=()):
    """Whether a field's value goes through floating-point arithmetic that the two sides write
    in another order, also through the derived fields it reads."""
    functions = {e.get("function") for e in df.iter() if local(e.tag) == "Apply"}
    if functions & FLOAT_FUNCTIONS or any(local(e.tag) == "NormContinuous" for e in df.iter()):
        return True
    name = df.get("name")
    for e in df.iter():
        dep = derived.get(e.get("field"))
        if dep is not None and dep.get("name") not in seen and dep.get("name") != name:
            if _approximate(dep, derived, tuple(seen) + (name,)):
                return True
    return False


def _scale(df):
    """The size of the numbers a NormContinuous result is computed from (its points): a result
    near 0 comes out of their cancellation, with their rounding."""
    e = expression(df)
    if e is None or local(e.tag) != "NormContinuous":
        return 0.0
    points = [_float(ln.get(a)) for ln in e.iter(q("LinearNorm")) for a in ("orig", "norm")]
    return max([abs(p) for p in points if p is not None] + [0.0])


def _field_missing(doc, row, name, pmml_values):
    """"missing", "user-missing" or None for an input field on a row; a derived input is
    missing when the PMML gives it no value."""
    if name not in [f.get("name") for f in doc.data_fields]:
        found, v = common.lookup(pmml_values, name)
        return "missing" if found and v is None else None
    for f in doc.data_fields:
        if f.get("name") == name:
            v = row.get(name)
            missing = [m.get("value") for m in f if local(m.tag) == "Value"
                       and m.get("property") == "missing"]
            if v is None:
                return "missing"
            if isinstance(v, str):
                return "user-missing" if v in missing else None
            return "user-missing" if any(v == float(m) for m in missing) else None
    return None


def label(doc, df, row, expected, actual, differing, pmml_values):
    e = expression(df)
    kind = local(e.tag)
    inputs = {x.get("field") for x in df.iter() if x.get("field")}
    if inputs & differing:
        return "over-differing-field"
    if expected is not None and not isinstance(expected, (bool, int, float, str)):
        # An invalid result shows as system-missing (LANGUAGE_REPRESENTATION); a value here
        # is judged like a missing one.
        expected = None
    if expected is None and actual == "":
        return "string-blank-vs-missing"
    field = e.get("field") or next((x.get("field") for x in e.iter() if x.get("field")), None)
    state = _field_missing(doc, row, field, pmml_values) if field else None
    if isinstance(expected, str) and isinstance(actual, str) and len(actual) < len(expected) \
            and expected.startswith(actual):
        return "string-width"
    if kind == "Discretize":
        if state == "user-missing":
            return "discretize-user-missing-in-bin"
        if state == "missing":
            return "discretize-missing"
        x = row.get(field) if field in row else common.lookup(pmml_values, field)[1]
        margins = {float(iv.get(m)) for iv in e.iter(q("Interval"))
                   for m in ("leftMargin", "rightMargin") if iv.get(m) is not None}
        if isinstance(x, float) and x in margins:
            return "discretize-closure"
        return "discretize"
    if kind == "MapValues":
        pair = next(c for c in e if local(c.tag) == "FieldColumnPair")
        state = _field_missing(doc, row, pair.get("field"), pmml_values)
        if state == "user-missing":
            return "mapvalues-user-missing-key"
        if state == "missing":
            return "mapvalues-missing"
        return "mapvalues"
    if kind == "NormContinuous":
        if state is not None and e.get("mapMissingTo") is not None:
            return "norm-mapMissingTo-input"
        return "norm-" + (e.get("outliers") or "mapMissingTo") + ("-missing" if state else "")
    if kind == "Apply":
        fn = e.get("function")
        for x in e.iter():
            first = next(iter(kids(x)), None)
            if x.get("function") in ("pow", "power") and first is not None \
                    and local(first.tag) == "Constant" and (first.text or "").startswith("-"):
                # The power binds tighter than the sign: -1**2 is -(1**2).
                return "power-of-negative-constant"
        if fn == "outlierHandle":
            return "outlier" + ("-missing" if state else "")
        if fn == "if":
            return "if"
        if any(x.get("function") == "floor" for x in e.iter()):
            return "floor"
        if any(x.get("function") == "round" for x in e.iter()):
            return "round-halves"
        if state is not None or any(_field_missing(doc, row, f, pmml_values) for f in inputs):
            return f"apply-missing:{fn}"
        return f"apply:{fn}"
    return kind.lower() + ("-missing" if state else "")


class Oracles:
    def __init__(self):
        self.pmml_eval, self.host_lang = common.import_oracles("pmml_eval", "host_lang")


def run_case(args, oracles, text, rows):
    result = common.CaseResult()
    files = {"document.xml": text}
    with common.ScratchDir() as d:
        path = os.path.join(d, "document.xml")
        common.write_text(path, text)
        rc, out, err = common.run_tool([args.tool, "syntax", path])
    files["tool.txt"] = f"exit {rc}\n{err}"
    files["output.sps"] = out
    if rc != 0:
        result.error = (f"tool-refused:{rc}", err.strip())
        return result, files
    try:
        doc = Document(text)
    except (ET.ParseError, StopIteration) as e:
        result.error = ("document-unreadable", str(e))
        return result, files
    pmml, err = common.guarded("pmml_eval", oracles.pmml_eval.load, as_language_document(text))
    if err:
        result.error = err
        return result, files
    invalid = oracles.pmml_eval.INVALID

    types = {df.get("name"): df.get("dataType") for df in doc.derived}
    dictionary = doc.dictionary(oracles.host_lang, rows)
    converted = doc.converted()
    derived = {df.get("name"): df for df in doc.derived}
    syntax_names = {name: syntax_name for name, syntax_name, _ in converted}
    approximate = {name for name, _, df in converted if _approximate(df, derived)}
    host = {}

    def hold(name, v):
        v = as_language_value(v, types.get(name), invalid)
        # Where the two sides' floating-point arithmetic agrees only within its rounding, the
        # PMML goes on from the syntax's value, so that a later field (a bin whose margin the
        # value sits on) is compared on the same input.
        if name in approximate:
            found, h = common.lookup(host, syntax_names[name])
            if found and isinstance(v, float) and isinstance(h, float) and v != h \
                    and common.values_equal(v, h, True, _scale(derived[name])):
                return h
        return v

    host_rows, pmml_rows = [], []
    for i, row in enumerate(rows):
        host, err = common.guarded("host_lang", oracles.host_lang.run, out, dictionary, row)
        if err is None:
            values, err = common.guarded("pmml_eval", pmml.derived_values, row, hold)
        if err:
            result.error = (err[0], f"row {i}: {err[1]}")
            break
        host_rows.append(host)
        pmml_rows.append(values)
        differing = set()
        for name, syntax_name, df in converted:
            found_h, h = common.lookup(host, syntax_name)
            found_p, p = common.lookup(values, name)
            if not found_h:
                result.disagreements.append(
                    common.Disagreement(i, name, p, h, "syntax-field-absent"))
                continue
            approx = _approximate(df, derived)
            shown = as_language_value(p, df.get("dataType"), oracles.pmml_eval.INVALID)
            if common.values_equal(shown, h, approx, _scale(df)):
                continue
            differing.update((name, syntax_name))
            note = f"compared within {common.FLOAT_TOLERANCE:g} relative" if approx else ""
            lab = label(doc, df, row, p, h, differing - {name, syntax_name}, values)
            result.disagreements.append(common.Disagreement(i, name, p, h, lab, note))
    files["host_lang.json"] = common.rows_to_json(
        [{k: common.jsonable(v) for k, v in r.items()} for r in host_rows])
    files["pmml_eval.json"] = common.rows_to_json(
        [{k: common.jsonable(v) for k, v in r.items()} for r in pmml_rows])
    return result, files


def report_lines(result):
    if result.error:
        return [f"[{result.error[0]}] {result.error[1]}"]
    return [d.line("PMML", "syntax") for d in result.disagreements]


def main():
    args = common.parse_args(JOB, __doc__.split("\n\n")[0])
    oracles = Oracles()
    tally = common.Tally(args)

    def judge(case_id, text, rows):
        result, files = run_case(args, oracles, text, rows)
        saved = None
        if result.failed:
            saved = common.report_failure(args, case_id, result, files, rows, report_lines(result))
        tally.add(case_id, result, saved)

    def load(d):
        return (common.read_text(os.path.join(d, "document.xml")),
                common.rows_from_json(common.read_text(os.path.join(d, common.ROWS_FILE))))

    if args.replay:
        for d in common.replay_cases(args.replay):
            judge("replay-" + os.path.basename(d), *load(d))
        return tally.finish()
    common.clear_out(args)
    for d in common.regression_cases(JOB):
        judge("regression-" + os.path.basename(d), *load(d))
    text = common.read_text(EXAMPLE)
    judge("bundled-example", text, generate_rows(random.Random("bundled-example"), Document(text)))
    for case_id, rng in common.case_seeds(args):
        text = generate(rng)
        judge(case_id, text, generate_rows(rng, Document(text)))
    return tally.finish()


if __name__ == "__main__":
    sys.exit(main())

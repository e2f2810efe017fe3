"""Transformation descriptions as plain objects: written to XML, read back from
XML, and generated at random for the transform differential test.

Every generated description is valid as docs/description-format.md
defines it: the tool must accept it, so a refusal is a
fault of the generator or of the tool, never an expected outcome.
"""

import decimal
import xml.etree.ElementTree as ET


class Var:
    def __init__(self, name, type, level, width=None, label=None, missing=(), mrange=None):
        self.name = name
        self.type = type
        self.level = level
        self.width = width
        self.label = label
        self.missing = list(missing)   # spelled values, as written
        self.mrange = mrange           # (low, high) spelled, or None


class Rule:
    def __init__(self, inputs, result):
        # (kind, a, b): Value v / Range lo hi / SystemMissing / Missing / Else
        self.inputs = list(inputs)
        self.result = result           # (kind, value): To v / ToCopy / ToSystemMissing


class Target:
    def __init__(self, target, type, level, width=None, label=None):
        self.target = target
        self.type = type
        self.level = level
        self.width = width
        self.label = label


class Recode(Target):
    def __init__(self, source, target, type, level, width=None, label=None, rules=()):
        super().__init__(target, type, level, width, label)
        self.source = source
        self.rules = list(rules)


class Compute(Target):
    def __init__(self, target, type, level, expr, width=None, label=None):
        super().__init__(target, type, level, width, label)
        # ("Field", n) / ("Number", v) / ("String", v) / ("Apply", f, [args])
        self.expr = expr


# XML ------------------------------------------------------------------------

def _target_attrs(e, t):
    e.set("target", t.target)
    e.set("type", t.type)
    if t.width is not None:
        e.set("width", str(t.width))
    e.set("level", t.level)
    if t.label is not None:
        e.set("label", t.label)


def _expr_xml(parent, x):
    kind = x[0]
    if kind == "Field":
        ET.SubElement(parent, "Field", name=x[1])
    elif kind in ("Number", "String"):
        ET.SubElement(parent, kind, value=x[1])
    else:
        e = ET.SubElement(parent, "Apply", function=x[1])
        for a in x[2]:
            _expr_xml(e, a)


def to_xml(entries):
    root = ET.Element("TransformationDescription")
    ts = ET.SubElement(root, "Transformations")
    for en in entries:
        if isinstance(en, Var):
            e = ET.SubElement(ts, "Variable", name=en.name, type=en.type)
            if en.width is not None:
                e.set("width", str(en.width))
            e.set("level", en.level)
            if en.label is not None:
                e.set("label", en.label)
            if en.mrange is not None:
                ET.SubElement(e, "MissingRange", low=en.mrange[0], high=en.mrange[1])
            for m in en.missing:
                ET.SubElement(e, "Missing", value=m)
        elif isinstance(en, Recode):
            e = ET.SubElement(ts, "Recode", source=en.source)
            _target_attrs(e, en)
            for r in en.rules:
                re_ = ET.SubElement(e, "Rule")
                for kind, a, b in r.inputs:
                    if kind == "Value":
                        ET.SubElement(re_, "Value", value=a)
                    elif kind == "Range":
                        ET.SubElement(re_, "Range", low=a, high=b)
                    else:
                        ET.SubElement(re_, kind)
                kind, v = r.result
                if kind == "To":
                    ET.SubElement(re_, "To", value=v)
                else:
                    ET.SubElement(re_, kind)
        else:
            e = ET.SubElement(ts, "Compute")
            _target_attrs(e, en)
            _expr_xml(e, en.expr)
    ET.indent(root, "  ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(root, encoding="unicode") + "\n"


def _expr_from(e):
    if e.tag == "Field":
        return ("Field", e.get("name"))
    if e.tag in ("Number", "String"):
        return (e.tag, e.get("value"))
    return ("Apply", e.get("function"), [_expr_from(c) for c in e])


def _width(e):
    w = e.get("width")
    return int(w) if w is not None else None


def from_xml(text):
    """The entries of a description (as this module writes them) read back."""
    root = ET.fromstring(text.encode("utf-8"))
    entries = []
    for e in root.find("Transformations"):
        if e.tag == "Variable":
            mr = e.find("MissingRange")
            entries.append(Var(e.get("name"), e.get("type"), e.get("level"), _width(e),
                               e.get("label"), [m.get("value") for m in e.findall("Missing")],
                               (mr.get("low"), mr.get("high")) if mr is not None else None))
        elif e.tag == "Recode":
            rules = []
            for r in e.findall("Rule"):
                inputs, result = [], None
                for c in r:
                    if c.tag == "Value":
                        inputs.append(("Value", c.get("value"), None))
                    elif c.tag == "Range":
                        inputs.append(("Range", c.get("low"), c.get("high")))
                    elif c.tag in ("SystemMissing", "Missing", "Else"):
                        inputs.append((c.tag, None, None))
                    else:
                        result = (c.tag, c.get("value"))
                rules.append(Rule(inputs, result))
            entries.append(Recode(e.get("source"), e.get("target"), e.get("type"), e.get("level"),
                                  _width(e), e.get("label"), rules))
        elif e.tag == "Compute":
            entries.append(Compute(e.get("target"), e.get("type"), e.get("level"),
                                   _expr_from(e[0]), _width(e), e.get("label")))
    return entries


# What entries mean, as far as the driver needs it to label a disagreement ------

def declared(entries):
    """name (lower case) -> the first Var declaring it."""
    out = {}
    for en in entries:
        if isinstance(en, Var):
            out.setdefault(en.name.lower(), en)
    return out


def number(text):
    return float(decimal.Decimal(text))


def is_user_missing(var, value):
    """Whether a (non-missing) value is a user-missing value of a declared variable."""
    if var is None or value is None:
        return False
    if var.type == "string":
        return any(value.rstrip(" ") == m.rstrip(" ") for m in var.missing)
    return any(value == number(m) for m in var.missing) or in_missing_range(var, value)


def is_discrete_missing(var, value):
    if var is None or value is None:
        return False
    if var.type == "string":
        return any(value.rstrip(" ") == m.rstrip(" ") for m in var.missing)
    return any(value == number(m) for m in var.missing)


def in_missing_range(var, value):
    if var is None or var.mrange is None or value is None or var.type == "string":
        return False
    lo, hi = var.mrange
    return ((lo == "LOWEST" or value >= number(lo)) and (hi == "HIGHEST" or value <= number(hi)))


def input_matches(inp, value, var, numeric):
    """Whether one rule input matches a value (None = system-missing)."""
    kind, a, b = inp
    if kind == "Else":
        return True
    if kind == "SystemMissing":
        return value is None
    if kind == "Missing":
        return value is None or is_user_missing(var, value)
    if value is None:
        return False
    if kind == "Value":
        return value == number(a) if numeric else value.rstrip(" ") == a.rstrip(" ")
    return ((a == "LOWEST" or value >= number(a)) and (b == "HIGHEST" or value <= number(b)))


def matching_rules(recode, value, var, numeric):
    """Indexes of the rules that match a value, in order (the first one decides)."""
    return [i for i, r in enumerate(recode.rules)
            if any(input_matches(inp, value, var, numeric) for inp in r.inputs)]


def fields_of(expr):
    if expr[0] == "Field":
        return [expr[1]]
    if expr[0] == "Apply":
        return [n for a in expr[2] for n in fields_of(a)]
    return []


def functions_of(expr):
    if expr[0] != "Apply":
        return []
    return [expr[1]] + [f for a in expr[2] for f in functions_of(a)]

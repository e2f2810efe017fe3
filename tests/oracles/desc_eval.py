"""Meaning of a transformation description for one row, from the host's recode and compute rules.

A description declares source variables (with their user-missing values) and defines new
variables by recodes and computes. evaluate() gives every target's value for one row of source
values. Recodes follow the host's RECODE: the first rule whose input matches decides. Computes
are evaluated with the host's value rules, taken from host_lang, each PMML function mapped to
the host function of the same meaning (_FUNCTIONS below).

Values: numbers are float, system-missing is None, strings are str (returned without trailing
blanks). Where the host's rules are silent the choice made is marked "Choice:".
"""

import math
import re
import xml.etree.ElementTree as ET

import host_lang as host


class Refused(Exception):
    """The host would refuse the description: a type conflict, a result that does not fit, an
    unknown name or function, or a malformed entry."""


_PLAIN_NUMBER = re.compile(r"-?([0-9]+(\.[0-9]*)?|\.[0-9]+)")


def _number(text, what):
    """A plain decimal number: 5, 5., 05, .5 and -05.00 are all numbers."""
    if text is None or not _PLAIN_NUMBER.fullmatch(text):
        raise Refused("%s: %r is not a plain decimal number" % (what, text))
    return float(text)


def _local(element):
    return element.tag.rsplit("}", 1)[-1]


def _kind(value):
    return "string" if isinstance(value, str) else "numeric"


class _Variable:
    """A declared source or a target: its kind, width and user-missing values."""

    def __init__(self, name, kind, width, missing=(), missing_range=None):
        self.name, self.kind, self.width = name, kind, width
        self.missing = list(missing)  # numbers, or strings without trailing blanks
        self.missing_range = missing_range  # (low, high), None for an open end
        self.value = None

    def is_user_missing(self, value):
        if value is None:
            return False
        if self.kind == "string":
            return value.rstrip(" ") in self.missing
        if value in self.missing:
            return True
        if self.missing_range is None:
            return False
        low, high = self.missing_range
        return (low is None or value >= low) and (high is None or value <= high)

    def is_missing(self, value):
        return value is None or self.is_user_missing(value)


def _declaration(element, name_attr):
    name = element.get(name_attr)
    kind = element.get("type")
    if not name or kind not in ("numeric", "string"):
        raise Refused("%s: a name and a type (numeric or string) are needed" % _local(element))
    width = 0
    if kind == "string":
        if not (element.get("width") or "").isdigit() or int(element.get("width")) < 1:
            raise Refused("string %s needs a width" % name)
        width = int(element.get("width"))
    return name, kind, width


def _declare_source(element):
    name, kind, width = _declaration(element, "name")
    missing, missing_range = [], None
    for child in element:
        tag = _local(child)
        if tag == "Missing":
            text = child.get("value")
            missing.append(text.rstrip(" ") if kind == "string" else _number(text, name))
        elif tag == "MissingRange" and kind == "numeric":
            low, high = child.get("low"), child.get("high")
            missing_range = (None if low == "LOWEST" else _number(low, name),
                             None if high == "HIGHEST" else _number(high, name))
        else:
            raise Refused("variable %s: unexpected %s" % (name, tag))
    return _Variable(name, kind, width, missing, missing_range)


# --- recodes ---------------------------------------------------------------------------------


def _read_rule(rule, source, target):
    """(inputs, result) of one Rule, checked against the source's and the target's kinds."""
    children = list(rule)
    if len(children) < 2:
        raise Refused("a rule into %s needs inputs and one result" % target.name)
    inputs = []
    for child in children[:-1]:
        tag = _local(child)
        if tag == "Value":
            text = child.get("value")
            if text is None:
                raise Refused("a Value without value")
            inputs.append(("value", text.rstrip(" ") if source.kind == "string"
                           else _number(text, source.name)))
        elif tag == "Range" and source.kind == "numeric":
            low, high = child.get("low"), child.get("high")
            low = None if low == "LOWEST" else _number(low, source.name)
            high = None if high == "HIGHEST" else _number(high, source.name)
            if low is not None and high is not None and low > high:
                raise Refused("a range of %s whose low lies above its high" % source.name)
            inputs.append(("range", low, high))
        elif tag == "SystemMissing" and source.kind == "numeric":
            inputs.append(("sysmis",))
        elif tag in ("Missing", "Else"):
            inputs.append((tag.lower(),))
        else:
            raise Refused("%s cannot be an input of a rule on %s" % (tag, source.name))
    last = children[-1]
    tag = _local(last)
    if tag == "To":
        text = last.get("value")
        if target.kind == "numeric":
            return inputs, ("value", _number(text, target.name))
        if text is None or len(text.rstrip(" ")) > target.width:
            # The host refuses a literal result that does not fit its target.
            raise Refused("result %r does not fit %s (width %d)" % (text, target.name,
                                                                    target.width))
        return inputs, ("value", text)
    if tag == "ToCopy":
        if source.kind != target.kind:
            raise Refused("ToCopy between %s and %s of other types" % (source.name, target.name))
        return inputs, ("copy",)
    if tag == "ToSystemMissing" and target.kind == "numeric":
        return inputs, ("sysmis",)
    raise Refused("%s cannot be the result of a rule into %s" % (tag, target.name))


def _matches(item, value, source):
    tag = item[0]
    if tag == "else":
        return True  # every value no earlier rule took, missing ones included
    if tag == "sysmis":
        return value is None
    if tag == "missing":
        return source.is_missing(value)
    if value is None:
        return False
    # Values and ranges test the actual value, so they also match a user-missing one.
    if tag == "value":
        return (value.rstrip(" ") if source.kind == "string" else value) == item[1]
    low, high = item[1], item[2]
    return (low is None or value >= low) and (high is None or value <= high)


def _recode(rules, source):
    value = source.value
    for inputs, result in rules:
        if any(_matches(item, value, source) for item in inputs):
            if result[0] == "copy":
                return value
            return None if result[0] == "sysmis" else result[1]
    # A value no rule matches leaves the new target system-missing; a new string target holds
    # blanks (strings have no system-missing value), returned as "".
    return None


# --- computes --------------------------------------------------------------------------------


def _host_call(name, *args):
    try:
        return host.apply_function(name, list(args))
    except host.SyntaxError_ as err:
        raise Refused(str(err)) from None


def _host_op(op, a, b):
    try:
        return host.apply_operator(op, a, b)
    except host.SyntaxError_ as err:
        raise Refused(str(err)) from None


def _host_not(a):
    try:
        return host.apply_not(a)
    except host.SyntaxError_ as err:
        raise Refused(str(err)) from None


def _chain(op):
    """An n-argument PMML function as the host's operator applied left to right."""

    def call(*args):
        result = args[0]
        for arg in args[1:]:
            result = _host_op(op, result, arg)
        return result

    return call


def _numbers_only(fn):
    def call(*args):
        if any(isinstance(a, str) for a in args):
            raise Refused("a number is needed")
        return None if any(a is None for a in args) else float(fn(*args))

    return call


def _regex_subject(s):
    if not isinstance(s, str):
        raise Refused("a string is needed")
    # Choice: the pattern sees the value without its trailing blanks, which carry no meaning;
    # otherwise a pattern anchored at the end would never match a padded value.
    return s.rstrip(" ")


def _matches_fn(s, pattern):
    # Choice: regular expressions are read with Python's syntax, which agrees with the POSIX
    # extended syntax PMML names for the common constructs.
    return 1.0 if re.search(pattern, _regex_subject(s)) else 0.0


def _replace_fn(s, pattern, replacement):
    replacement = re.sub(r"\$(\d)", r"\\g<\1>", replacement)  # $1 refers to group 1
    return re.sub(pattern, replacement, _regex_subject(s))


def _format_number(x, pattern):
    if isinstance(x, str) or not isinstance(pattern, str):
        raise Refused("formatNumber takes a number and a pattern")
    # Choice: a missing number gives the empty string (strings have no system-missing value);
    # the pattern is a C-style one with one conversion.
    if x is None:
        return ""
    try:
        return pattern % (int(x) if re.search(r"%[-+ #0]*\d*(\.\d+)?[dioxX]", pattern) else x)
    except (TypeError, ValueError) as err:
        raise Refused("formatNumber pattern %r: %s" % (pattern, err)) from None


def _concat(*args):
    if not all(isinstance(a, str) for a in args):
        # The host's CONCAT takes strings only; a number would need an explicit conversion.
        raise Refused("concat takes strings")
    return _host_call("CONCAT", *args)


def _is_in(x, *candidates):
    return _host_call("ANY", x, *candidates)


# PMML function -> (least, most arguments (None: no limit), its host meaning on values).
# isMissing / isNotMissing on a field and "if" are handled in _evaluate.
_FUNCTIONS = {
    "+": (2, 2, _chain("+")),
    "-": (2, 2, _chain("-")),
    "*": (2, 2, _chain("*")),
    "/": (2, 2, _chain("/")),
    "pow": (2, 2, _chain("**")),
    "equal": (2, 2, _chain("=")),
    "notEqual": (2, 2, _chain("<>")),
    "lessThan": (2, 2, _chain("<")),
    "lessOrEqual": (2, 2, _chain("<=")),
    "greaterThan": (2, 2, _chain(">")),
    "greaterOrEqual": (2, 2, _chain(">=")),
    # threshold(x, t) is 1 when x exceeds t, else 0: the comparison x > t.
    "threshold": (2, 2, _chain(">")),
    "and": (2, None, _chain("AND")),
    "or": (2, None, _chain("OR")),
    "not": (1, 1, lambda a: _host_not(a)),
    "log10": (1, 1, lambda x: _host_call("LG10", x)),
    "ln": (1, 1, lambda x: _host_call("LN", x)),
    "sqrt": (1, 1, lambda x: _host_call("SQRT", x)),
    "abs": (1, 1, lambda x: _host_call("ABS", x)),
    "exp": (1, 1, lambda x: _host_call("EXP", x)),
    # round: the host's RND, halves away from zero.
    "round": (1, 1, lambda x: _host_call("RND", x)),
    # floor and ceil: no host function rounds down or up, and TRUNC cuts toward zero, so they are
    # computed as the mathematical functions with the host's missing rule.
    "floor": (1, 1, _numbers_only(math.floor)),
    "ceil": (1, 1, _numbers_only(math.ceil)),
    "isMissing": (1, 1, lambda x: _host_call("MISSING", x)),
    "isNotMissing": (1, 1, lambda x: _host_not(_host_call("MISSING", x))),
    "uppercase": (1, 1, lambda s: _host_call("UPCASE", s)),
    "lowercase": (1, 1, lambda s: _host_call("LOWER", s)),
    "trimBlanks": (1, 1, lambda s: _host_call("LTRIM", _host_call("RTRIM", s))),
    "matches": (2, 2, _matches_fn),
    "formatNumber": (2, 2, _format_number),
    # substring(s, start, length) is SUBSTR(s, start, length): both count from 1.
    "substring": (3, 3, lambda s, p, n: _host_call("SUBSTR", s, p, n)),
    "replace": (3, 3, _replace_fn),
    "min": (1, None, lambda *a: _host_call("MIN", *a)),
    "max": (1, None, lambda *a: _host_call("MAX", *a)),
    "sum": (1, None, lambda *a: _host_call("SUM", *a)),
    "avg": (1, None, lambda *a: _host_call("MEAN", *a)),
    "median": (1, None, lambda *a: _host_call("MEDIAN", *a)),
    # product: the host has no such function; its meaning is the arguments multiplied, so the
    # rules of * apply (a missing argument gives system-missing unless another one is 0).
    "product": (1, None, _chain("*")),
    # isIn(x, v...) is the host's ANY(x, v...); isNotIn its negation.
    "isIn": (2, None, _is_in),
    "isNotIn": (2, None, lambda *a: _host_not(_is_in(*a))),
    "concat": (2, None, _concat),
    "if": (2, 3, None),
}


def host_meaning(name):
    """What the host computes for a function, as a callable on argument values."""
    return _FUNCTIONS[name][2]


class _Context:
    def __init__(self, functions):
        self.vars = {}  # lower-case name -> _Variable, sources and the targets defined so far
        self.functions = functions

    def find(self, name):
        var = self.vars.get((name or "").lower())
        if var is None:
            raise Refused("%r is neither declared nor an earlier target" % name)
        return var


def _evaluate(node, ctx):
    tag = _local(node)
    if tag == "Field":
        var = ctx.find(node.get("name"))
        if var.kind == "numeric" and var.is_user_missing(var.value):
            return None  # a user-missing value counts as missing in an expression
        return var.value
    if tag == "Number":
        return _number(node.get("value"), "Number")
    if tag == "String":
        if node.get("value") is None:
            raise Refused("a String without value")
        return node.get("value")
    if tag != "Apply":
        raise Refused("unknown expression element %s" % tag)
    name, args = node.get("function"), list(node)
    if name not in ctx.functions:
        raise Refused("unknown function %r" % name)
    least, most, fn = ctx.functions[name]
    if len(args) < least or (most is not None and len(args) > most):
        raise Refused("%s with %d arguments" % (name, len(args)))
    if name in ("isMissing", "isNotMissing") and _local(args[0]) == "Field":
        # MISSING(var) sees the declaration, also for a string's user-missing values.
        var = ctx.find(args[0].get("name"))
        missing = 1.0 if var.is_missing(var.value) else 0.0
        return missing if name == "isMissing" else 1.0 - missing
    values = [_evaluate(a, ctx) for a in args]
    if name == "if":
        return _if(values)
    return fn(*values)


def _if(values):
    """if(c, a[, b]) as the host computes it into a new variable t:
    DO IF c / COMPUTE t = a / ELSE / COMPUTE t = b / END IF."""
    kinds = {_kind(v) for v in values[1:]}
    if len(kinds) != 1:
        raise Refused("the branches of if give a number and a string")
    start = "" if kinds.pop() == "string" else None
    if isinstance(values[0], str):
        raise Refused("the condition of if is a string")
    flag = host.truth(values[0])
    if flag is None:
        return start  # a missing condition skips the block: t keeps its starting value
    if flag:
        return values[1]
    return values[2] if len(values) == 3 else start


# --- the description -------------------------------------------------------------------------


def evaluate(description_text, row, overrides=None):
    """Every Recode and Compute target, in entry order, name -> value for one row.

    row: source name (any case) -> value; None or an absent name is system-missing. Choice: a
    string source given None holds blanks, since strings have no system-missing value.
    overrides: function name -> a callable on argument values used instead of the host's meaning
    (to ask what a row would give under another rule); by default every function means what the
    host computes.
    """
    functions = dict(_FUNCTIONS)
    for name, fn in (overrides or {}).items():
        if name not in functions or name in ("if", "isMissing", "isNotMissing"):
            raise ValueError("%r cannot be overridden" % name)
        least, most, _ = functions[name]
        functions[name] = (least, most, fn)
    root = ET.fromstring(description_text)
    entries = next((c for c in root if _local(c) == "Transformations"), None)
    if entries is None:
        raise Refused("no Transformations element")
    given = {name.lower(): value for name, value in row.items()}
    ctx, results = _Context(functions), {}
    for entry in entries:
        tag = _local(entry)
        if tag == "Variable":
            var = _declare_source(entry)
            earlier = ctx.vars.get(var.name.lower())
            if earlier is not None:
                if earlier.kind != var.kind:
                    raise Refused("%s declared again with another type" % var.name)
                continue  # the first declaration counts
            value = given.get(var.name.lower())
            if var.kind == "numeric":
                var.value = None if value is None else float(value)
            else:
                # As the variable holds it: padded to its width, a longer value cut.
                var.value = host.fit_string("" if value is None else str(value), var.width)
            ctx.vars[var.name.lower()] = var
            continue
        if tag not in ("Recode", "Compute"):
            raise Refused("unknown entry %s" % tag)
        name, kind, width = _declaration(entry, "target")
        if name.lower() in ctx.vars:
            raise Refused("target %s is already defined" % name)
        target = _Variable(name, kind, width)
        if tag == "Recode":
            source = ctx.find(entry.get("source"))
            rules = [_read_rule(r, source, target) for r in entry if _local(r) == "Rule"]
            if not rules or len(rules) != len(entry):
                raise Refused("recode into %s needs rules and nothing else" % name)
            value = _recode(rules, source)
        else:
            if len(entry) != 1:
                raise Refused("compute into %s needs exactly one expression" % name)
            value = _evaluate(entry[0], ctx)
            if _kind(value) != kind:
                raise Refused("compute into %s %s gives a %s" % (kind, name, _kind(value)))
        if kind == "string":
            value = host.fit_string("" if value is None else value, width)
        target.value = value
        ctx.vars[name.lower()] = target
        results[name] = value.rstrip(" ") if kind == "string" else value
    return results

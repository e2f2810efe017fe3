"""Reference interpreter of the command-language subset that the syntax job writes.

It runs a piece of syntax on one case of an active dataset and returns every variable's value
afterwards. It follows the language's own value rules (missing values, precedence, string widths);
where those rules are silent the choice made is marked "Choice:" in a comment.

Values: numbers are float, system-missing is None, strings are str. Inside the interpreter a string
variable holds its value padded with blanks to its width; run() returns strings without trailing
blanks. Dates and times are numbers of seconds, dates counted from 14 October 1582 00:00.

The value-level functions (apply_operator, apply_not, apply_negate, apply_function, fit_string,
truth) are public so that other oracles can compute with the same rules.
"""

import datetime
import math
import re
import statistics


class SyntaxError_(Exception):
    """Syntax the interpreter cannot parse, or that the language refuses (types, unknown names)."""


class VarInfo:
    """One variable of the active dataset.

    missing: the user-missing values (numbers or strings); missing_range: (low, high) for a numeric
    variable, where an open end is None, "LO"/"LOWEST" or "HI"/"HIGHEST".
    """

    def __init__(self, kind, width=8, missing=(), missing_range=None):
        if kind not in ("numeric", "string"):
            raise ValueError("kind must be 'numeric' or 'string', not %r" % (kind,))
        self.kind = kind
        self.width = int(width)
        self.missing = list(missing)
        self.missing_range = missing_range


# ---------------------------------------------------------------------------------------------
# Values
# ---------------------------------------------------------------------------------------------


def _number(value):
    """A float, or None for a result that is not a finite number (overflow, domain error)."""
    if value is None:
        return None
    value = float(value)
    return value if math.isfinite(value) else None


def fit_string(text, width):
    """A string as a variable of this width holds it: cut, or padded with blanks.

    Choice: widths count characters (the rules do not say bytes or characters; the two differ only
    for text outside ASCII).
    """
    return text[:width].ljust(width)


def _bound(value, open_words):
    if value is None or (isinstance(value, str) and value.upper() in open_words):
        return None
    return float(value)


def is_user_missing(info, value):
    """True when the (non-system-missing) value is one of the variable's user-missing values."""
    if value is None:
        return False
    if info.kind == "string":
        return any(value.rstrip(" ") == str(m).rstrip(" ") for m in info.missing)
    if any(value == float(m) for m in info.missing):
        return True
    if info.missing_range is not None:
        low = _bound(info.missing_range[0], ("LO", "LOWEST"))
        high = _bound(info.missing_range[1], ("HI", "HIGHEST"))
        return (low is None or value >= low) and (high is None or value <= high)
    return False


def truth(value):
    """A logical value: None (missing), True or False.

    Choice: every non-missing number other than 0 counts as true (the rules name only 1 and 0).
    """
    if isinstance(value, str):
        raise SyntaxError_("a string cannot be a logical value")
    if value is None:
        return None
    return value != 0


def _logical(flag):
    return None if flag is None else (1.0 if flag else 0.0)


def _compare_strings(a, b):
    """Compare two strings as the language does: the shorter one padded with blanks.

    Choice: characters are ordered by code point.
    """
    width = max(len(a), len(b))
    a, b = a.ljust(width), b.ljust(width)
    return (a > b) - (a < b)


_COMPARISONS = {
    "=": lambda c: c == 0,
    "<>": lambda c: c != 0,
    "<": lambda c: c < 0,
    "<=": lambda c: c <= 0,
    ">": lambda c: c > 0,
    ">=": lambda c: c >= 0,
}


def _power(a, b):
    if b == 0:
        return 1.0  # x ** 0 is 1, a missing x included
    if a is None or b is None:
        return None
    if a == 0 and b < 0:
        return None  # a division by zero
    if a < 0 and b != math.trunc(b):
        return None  # no real result
    try:
        return _number(a**b)
    except OverflowError:
        return None


def apply_operator(op, a, b):
    """A two-operand operator: + - * / ** = <> < <= > >= AND OR."""
    if op in _COMPARISONS:
        if isinstance(a, str) != isinstance(b, str):  # None is a number: system-missing
            raise SyntaxError_("operator %s compares a string with a number" % op)
        if isinstance(a, str):
            return _logical(_COMPARISONS[op](_compare_strings(a, b)))
        if a is None or b is None:
            return None
        return _logical(_COMPARISONS[op]((a > b) - (a < b)))
    if isinstance(a, str) or isinstance(b, str):
        raise SyntaxError_("operator %s takes numbers" % op)
    if op == "AND":
        x, y = truth(a), truth(b)
        if x is False or y is False:
            return 0.0  # x AND false is false, a missing x included
        return None if x is None or y is None else 1.0
    if op == "OR":
        x, y = truth(a), truth(b)
        if x is True or y is True:
            return 1.0  # x OR true is true, a missing x included
        return None if x is None or y is None else 0.0
    if op == "*":
        if a == 0 or b == 0:
            return 0.0  # 0 * x is 0, a missing x included
        return None if a is None or b is None else _number(a * b)
    if op == "/":
        if a == 0:
            return 0.0  # 0 / x is 0, for a missing x and for x = 0 too
        if a is None or b is None or b == 0:
            return None
        return _number(a / b)
    if op == "**":
        return _power(a, b)
    if a is None or b is None:
        return None
    if op == "+":
        return _number(a + b)
    if op == "-":
        return _number(a - b)
    raise SyntaxError_("unknown operator %s" % op)


def apply_not(a):
    flag = truth(a)
    return None if flag is None else _logical(not flag)


def apply_negate(a):
    if isinstance(a, str):
        raise SyntaxError_("a string cannot be negated")
    return None if a is None else -a


# --- functions ------------------------------------------------------------------------------

_DATE_ORIGIN = datetime.date(1582, 10, 14).toordinal()
_DAY = 86400.0


def _whole(value):
    return value is not None and value == math.trunc(value)


def _rnd(x):
    """Round to the nearest whole number, halves away from zero."""
    a = abs(x)
    f = math.floor(a)
    r = f + 1 if a - f >= 0.5 else f
    return math.copysign(r, x) if r else 0.0


def _log(x, base_fn):
    return base_fn(x) if x > 0 else None


def _date_mdy(m, d, y):
    # Choice: only whole numbers naming a real Gregorian date from 15 October 1582 on give a date;
    # anything else (month 13, 31 April, a fraction, a two-digit year) is system-missing.
    if not (_whole(m) and _whole(d) and _whole(y)):
        return None
    try:
        day = datetime.date(int(y), int(m), int(d)).toordinal()
    except (ValueError, OverflowError):
        return None
    return (day - _DATE_ORIGIN) * _DAY if day > _DATE_ORIGIN else None


def _date_part(x, part):
    days = math.floor(x / _DAY)
    try:
        date = datetime.date.fromordinal(_DATE_ORIGIN + days)
    except (ValueError, OverflowError):
        return None
    return float(getattr(date, part))


def _time_hms(*parts):
    # Choice: the pieces are not checked against 24, 60 and 60; TIME.HMS(1, 90) is 5400 seconds.
    return _number(sum(p * f for p, f in zip(parts, (3600.0, 60.0, 1.0))))


def _day_seconds(x):
    # Choice: the time of day is taken modulo one day, also for negative values (floor modulo).
    return x % _DAY


def _in_order_sum(values):
    # The values present, added from the first argument to the last in double precision, as a
    # program adds its operands; an exactly rounded sum would part from it by more than any
    # relative tolerance where large terms cancel.
    total = 0.0
    for v in values:
        total += v
    return total


def _sd_var(values, sd):
    # Choice: as for the other statistics, only the arguments that are not missing count, and at
    # least two of them are needed; the sample (n - 1) form.
    if len(values) < 2:
        return None
    return statistics.stdev(values) if sd else statistics.variance(values)


def _normal(fn):
    def call(x, mean, sd):
        return fn(statistics.NormalDist(mean, sd), x) if sd > 0 else None

    return call


def _idf_normal(p, mean, sd):
    if not 0 < p < 1 or sd <= 0:
        return None
    return statistics.NormalDist(mean, sd).inv_cdf(p)


def _case_map(text, fn):
    # Choice: a character whose case mapping has another length (German sharp s) is kept, so that
    # the value keeps its length.
    return "".join(fn(c) if len(fn(c)) == 1 else c for c in text)


def _trim_char(args):
    if len(args) == 1:
        return " "
    if len(args[1]) != 1:
        raise SyntaxError_("the character to trim must be one character")
    return args[1]


def _substr(s, pos, length=None):
    # Choice: strings have no system-missing value, so a missing or invalid position or length
    # (not whole, before the start, after the end, negative) gives the empty string.
    if not _whole(pos) or pos < 1 or pos > len(s):
        return ""
    if length is None:
        return s[int(pos) - 1 :]
    if not _whole(length) or length < 0:
        return ""
    return s[int(pos) - 1 : int(pos) - 1 + int(length)]


def _any(x, *candidates):
    # Choice: a missing test value gives system-missing; missing candidates are skipped.
    if x is None:
        return None
    if isinstance(x, str):
        return _logical(any(_compare_strings(x, c) == 0 for c in candidates))
    return _logical(any(c is not None and c == x for c in candidates))


def _present(args):
    return [a for a in args if a is not None]


# name: (least, most arguments (None: no limit), argument kinds, result kind, implementation,
#        how missing arguments are treated). Kinds: "n" number, "s" string, "a" either; the last
#        kind stands for every further argument. Missing treatments: "any" - a missing argument
#        gives system-missing; "valid" - the function sees only the arguments that are not
#        missing; "raw" - the function sees every argument as it is.
_FUNCTIONS = {
    "ABS": (1, 1, "n", "n", abs, "any"),
    "SQRT": (1, 1, "n", "n", lambda x: math.sqrt(x) if x >= 0 else None, "any"),
    "EXP": (1, 1, "n", "n", lambda x: math.exp(x) if x < 710 else None, "any"),
    "LN": (1, 1, "n", "n", lambda x: _log(x, math.log), "any"),
    "LG10": (1, 1, "n", "n", lambda x: _log(x, math.log10), "any"),
    "TRUNC": (1, 1, "n", "n", lambda x: float(math.trunc(x)), "any"),
    "RND": (1, 1, "n", "n", _rnd, "any"),
    "MOD": (2, 2, "n", "n", lambda a, b: math.fmod(a, b) if b != 0 else None, "any"),
    "MIN": (1, None, "n", "n", lambda *v: min(v) if v else None, "valid"),
    "MAX": (1, None, "n", "n", lambda *v: max(v) if v else None, "valid"),
    "SUM": (1, None, "n", "n", lambda *v: _in_order_sum(v) if v else None, "valid"),
    "MEAN": (1, None, "n", "n", lambda *v: _in_order_sum(v) / len(v) if v else None, "valid"),
    "MEDIAN": (1, None, "n", "n", lambda *v: statistics.median(v) if v else None, "valid"),
    "SD": (1, None, "n", "n", lambda *v: _sd_var(v, True), "valid"),
    "VARIANCE": (1, None, "n", "n", lambda *v: _sd_var(v, False), "valid"),
    "CDF.NORMAL": (3, 3, "n", "n", _normal(lambda d, x: d.cdf(x)), "any"),
    "PDF.NORMAL": (3, 3, "n", "n", _normal(lambda d, x: d.pdf(x)), "any"),
    "IDF.NORMAL": (3, 3, "n", "n", _idf_normal, "any"),
    "CDFNORM": (1, 1, "n", "n", lambda z: statistics.NormalDist().cdf(z), "any"),
    "DATE.MDY": (3, 3, "n", "n", _date_mdy, "any"),
    "TIME.HMS": (1, 3, "n", "n", _time_hms, "any"),
    "TIME.DAYS": (1, 1, "n", "n", lambda d: d * _DAY, "any"),
    "XDATE.YEAR": (1, 1, "n", "n", lambda x: _date_part(x, "year"), "any"),
    "XDATE.MONTH": (1, 1, "n", "n", lambda x: _date_part(x, "month"), "any"),
    "XDATE.MDAY": (1, 1, "n", "n", lambda x: _date_part(x, "day"), "any"),
    "XDATE.HOUR": (1, 1, "n", "n", lambda x: float(_day_seconds(x) // 3600), "any"),
    "XDATE.MINUTE": (1, 1, "n", "n", lambda x: float(x % 3600.0 // 60), "any"),
    "XDATE.SECOND": (1, 1, "n", "n", lambda x: x % 60.0, "any"),
    "SYSMIS": (1, 1, "n", "n", lambda x: _logical(x is None), "raw"),
    "MISSING": (1, 1, "a", "n", lambda x: _logical(x is None), "raw"),
    "VALUE": (1, 1, "a", "=", lambda x: x, "raw"),
    "ANY": (2, None, "a", "n", _any, "raw"),
    "UPCASE": (1, 1, "s", "s", lambda s: _case_map(s, str.upper), "raw"),
    "LOWER": (1, 1, "s", "s", lambda s: _case_map(s, str.lower), "raw"),
    "LTRIM": (1, 2, "s", "s", lambda *a: a[0].lstrip(_trim_char(a)), "raw"),
    "RTRIM": (1, 2, "s", "s", lambda *a: a[0].rstrip(_trim_char(a)), "raw"),
    "CONCAT": (1, None, "s", "s", lambda *a: "".join(a), "raw"),
    # Choice: LENGTH counts the characters without the trailing blanks, which carry no meaning.
    "LENGTH": (1, 1, "s", "n", lambda s: float(len(s.rstrip(" "))), "raw"),
    "SUBSTR": (2, 3, "snn", "s", _substr, "raw"),
}


def _arg_kinds(name, count):
    least, most, kinds, _, _, _ = _FUNCTIONS[name]
    if count < least or (most is not None and count > most):
        raise SyntaxError_("%s takes %s arguments, not %d" % (name, least if least == most else
                                                              "%d or more" % least, count))
    return [kinds[min(i, len(kinds) - 1)] for i in range(count)]


def function_result_kind(name, arg_kinds):
    """The kind ("numeric"/"string") a call gives; raises SyntaxError_ on wrong arguments."""
    if name not in _FUNCTIONS:
        raise SyntaxError_("unknown function %s" % name)
    expected = _arg_kinds(name, len(arg_kinds))
    for i, (want, got) in enumerate(zip(expected, arg_kinds)):
        if want != "a" and want != got[0]:
            raise SyntaxError_("argument %d of %s must be %s" % (i + 1, name, want))
    if name == "ANY" and len(set(arg_kinds)) > 1:
        raise SyntaxError_("ANY compares values of one kind")
    result = _FUNCTIONS[name][3]
    if result == "=":
        return arg_kinds[0]
    return "numeric" if result == "n" else "string"


def apply_function(name, args):
    """Call a function of the language on values (None = system-missing)."""
    if name not in _FUNCTIONS:
        raise SyntaxError_("unknown function %s" % name)
    kinds = _arg_kinds(name, len(args))
    for i, (want, value) in enumerate(zip(kinds, args)):
        if want != "a" and (want == "s") != isinstance(value, str):
            raise SyntaxError_("argument %d of %s must be %s" % (i + 1, name, want))
    treatment = _FUNCTIONS[name][5]
    impl = _FUNCTIONS[name][4]
    if treatment == "valid":
        return _number(impl(*_present(args)))
    if treatment == "any" and any(a is None for a in args):
        return None
    result = impl(*args)
    return result if isinstance(result, str) else _number(result)


# ---------------------------------------------------------------------------------------------
# Tokens
# ---------------------------------------------------------------------------------------------

_TOKEN = re.compile(
    r"""\s*(?:
      (?P<num>(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)
    | (?P<str>'(?:[^']|'')*'|"(?:[^"]|"")*")
    | (?P<name>[^\W\d_][\w.$#@]*|[$#@][\w.$#@]*)
    | (?P<op>\*\*|<=|>=|<>|~=|[-+*/=<>()&|~,])
    )""",
    re.VERBOSE,
)

_WORD_OPS = {"AND": "AND", "OR": "OR", "NOT": "NOT", "EQ": "=", "NE": "<>", "LT": "<",
             "LE": "<=", "GT": ">", "GE": ">="}
_SYMBOL_OPS = {"&": "AND", "|": "OR", "~": "NOT", "~=": "<>"}
# Reserved words that are not operators: never variable names (TO makes a range of a list).
_KEYWORDS = ("ALL", "BY", "TO", "WITH")


class _Tok:
    __slots__ = ("kind", "text", "value")

    def __init__(self, kind, text, value):
        self.kind, self.text, self.value = kind, text, value

    def __repr__(self):
        return self.text


def _tokenize(text):
    tokens, pos = [], 0
    text = text.rstrip()
    while pos < len(text):
        m = _TOKEN.match(text, pos)
        if not m or m.end() == pos:
            raise SyntaxError_("cannot read %r" % text[pos:pos + 20])
        pos = m.end()
        if m.group("num"):
            if pos < len(text) and (text[pos].isalnum() or text[pos] == "_"):
                raise SyntaxError_("malformed number near %r" % text[m.start("num"):pos + 5])
            value = float(m.group("num"))
            # A number beyond the range of a double is read as system-missing.
            tokens.append(_Tok("num", m.group("num"), value if math.isfinite(value) else None))
        elif m.group("str"):
            s = m.group("str")
            tokens.append(_Tok("str", s, s[1:-1].replace(s[0] * 2, s[0])))
        elif m.group("name"):
            name = m.group("name")
            if name.endswith("."):
                raise SyntaxError_("a name cannot end with a period: %r" % name)
            word = name.upper()
            if word in _WORD_OPS:
                tokens.append(_Tok("op", word, _WORD_OPS[word]))
            else:
                tokens.append(_Tok("name", name, word))
        else:
            op = m.group("op")
            tokens.append(_Tok("op", op, _SYMBOL_OPS.get(op, op)))
    return tokens


class _Cursor:
    def __init__(self, tokens):
        self.tokens, self.i = tokens, 0

    def peek(self, offset=0):
        j = self.i + offset
        return self.tokens[j] if j < len(self.tokens) else None

    def at_end(self):
        return self.i >= len(self.tokens)

    def next(self):
        tok = self.peek()
        if tok is None:
            raise SyntaxError_("the command ends too early")
        self.i += 1
        return tok

    def is_op(self, *ops):
        tok = self.peek()
        return tok is not None and tok.kind == "op" and tok.value in ops

    def is_word(self, *words):
        tok = self.peek()
        return tok is not None and tok.kind == "name" and tok.value in words

    def expect_op(self, op):
        tok = self.next()
        if tok.kind != "op" or tok.value != op:
            raise SyntaxError_("expected %r, found %r" % (op, tok.text))

    def expect_word(self, word):
        tok = self.next()
        if tok.kind != "name" or tok.value != word:
            raise SyntaxError_("expected %s, found %r" % (word, tok.text))

    def name(self):
        """A variable name: not a keyword (ALL BY TO WITH; the word operators are never names),
        not a system variable ($...), at most 64 bytes."""
        tok = self.next()
        if tok.kind != "name":
            raise SyntaxError_("expected a variable name, found %r" % tok.text)
        if tok.value in _KEYWORDS:
            raise SyntaxError_("%s is a keyword, not a variable name" % tok.text)
        if tok.text.startswith("$"):
            raise SyntaxError_("%s is a system variable" % tok.text)
        if len(tok.text.encode("utf-8")) > 64:
            raise SyntaxError_("a variable name has at most 64 bytes: %r" % tok.text)
        return tok.text

    def done(self):
        if not self.at_end():
            raise SyntaxError_("unexpected %r" % self.peek().text)


# ---------------------------------------------------------------------------------------------
# Expressions: ("num", v) ("str", s) ("sysmis",) ("var", name) ("neg", e) ("not", e)
# ("op", op, a, b) ("call", NAME, [args])
# ---------------------------------------------------------------------------------------------


def _parse_expression(cur):
    return _parse_or(cur)


def _parse_or(cur):
    left = _parse_and(cur)
    while cur.is_op("OR"):
        cur.next()
        left = ("op", "OR", left, _parse_and(cur))
    return left


def _parse_and(cur):
    left = _parse_not(cur)
    while cur.is_op("AND"):
        cur.next()
        left = ("op", "AND", left, _parse_not(cur))
    return left


def _parse_not(cur):
    if cur.is_op("NOT"):
        cur.next()
        return ("not", _parse_not(cur))
    return _parse_comparison(cur)


def _parse_comparison(cur):
    # Choice: comparisons chain left to right (a < b < c compares the 1/0 of a < b with c).
    left = _parse_additive(cur)
    while cur.is_op(*_COMPARISONS):
        op = cur.next().value
        left = ("op", op, left, _parse_additive(cur))
    return left


def _parse_additive(cur):
    left = _parse_multiplicative(cur)
    while cur.is_op("+", "-"):
        op = cur.next().value
        left = ("op", op, left, _parse_multiplicative(cur))
    return left


def _parse_multiplicative(cur):
    left = _parse_unary(cur)
    while cur.is_op("*", "/"):
        op = cur.next().value
        left = ("op", op, left, _parse_unary(cur))
    return left


def _parse_unary(cur):
    # Unary minus binds less tightly than **: -2**2 is -(2**2).
    if cur.is_op("-"):
        cur.next()
        return ("neg", _parse_unary(cur))
    if cur.is_op("+"):
        cur.next()
        return _parse_unary(cur)
    return _parse_power(cur)


def _parse_power(cur):
    # Choice: ** groups left to right like the other operators (2**3**2 is 64); an exponent may
    # carry its own sign (2**-1).
    left = _parse_primary(cur)
    while cur.is_op("**"):
        cur.next()
        if cur.is_op("-", "+"):
            sign = cur.next().value
            right = _parse_primary(cur)
            right = ("neg", right) if sign == "-" else right
        else:
            right = _parse_primary(cur)
        left = ("op", "**", left, right)
    return left


def _parse_primary(cur):
    tok = cur.next()
    if tok.kind == "num":
        return ("num", tok.value)
    if tok.kind == "str":
        return ("str", tok.value)
    if tok.kind == "op" and tok.value == "(":
        inner = _parse_expression(cur)
        cur.expect_op(")")
        return inner
    if tok.kind == "name":
        if cur.is_op("("):
            cur.next()
            args = []
            if not cur.is_op(")"):
                args.append(_parse_expression(cur))
                while cur.is_op(","):
                    cur.next()
                    args.append(_parse_expression(cur))
            cur.expect_op(")")
            return ("call", tok.value, args)
        if tok.value == "$SYSMIS":
            return ("sysmis",)
        if tok.value.startswith("$"):
            raise SyntaxError_("unknown system variable %s" % tok.text)
        return ("var", tok.text)
    raise SyntaxError_("unexpected %r in an expression" % tok.text)


# ---------------------------------------------------------------------------------------------
# The active dataset
# ---------------------------------------------------------------------------------------------


class _Var:
    __slots__ = ("name", "info", "value")

    def __init__(self, name, info, value):
        self.name, self.info, self.value = name, info, value

    @property
    def kind(self):
        return self.info.kind


class _Dataset:
    """Variables by name ignoring case, in the order of their declaration or creation."""

    def __init__(self):
        self.vars = {}

    def find(self, name):
        return self.vars.get(name.lower())

    def get(self, name):
        var = self.find(name)
        if var is None:
            raise SyntaxError_("variable %s is not defined" % name)
        return var

    def create(self, name, info, value=None):
        if value is None and info.kind == "string":
            value = ""
        if info.kind == "string":
            value = fit_string(value, info.width)
        var = _Var(name, info, value)
        self.vars[name.lower()] = var
        return var


def _kind_of(expr, ds):
    """The kind of an expression, checking names and types as the language does before running."""
    tag = expr[0]
    if tag in ("num", "sysmis"):
        return "numeric"
    if tag == "str":
        return "string"
    if tag == "var":
        return ds.get(expr[1]).kind
    if tag in ("neg", "not"):
        if _kind_of(expr[1], ds) != "numeric":
            raise SyntaxError_("%s of a string" % ("minus" if tag == "neg" else "NOT"))
        return "numeric"
    if tag == "op":
        a, b = _kind_of(expr[2], ds), _kind_of(expr[3], ds)
        if expr[1] in _COMPARISONS:
            if a != b:
                raise SyntaxError_("operator %s compares a string with a number" % expr[1])
        elif a != "numeric" or b != "numeric":
            raise SyntaxError_("operator %s takes numbers" % expr[1])
        return "numeric"
    if tag == "call":
        if expr[1] == "VALUE" and not (len(expr[2]) == 1 and expr[2][0][0] == "var"):
            raise SyntaxError_("VALUE takes a variable")
        return function_result_kind(expr[1], [_kind_of(a, ds) for a in expr[2]])
    raise SyntaxError_("unknown expression %r" % (expr,))


def _evaluate(expr, ds):
    tag = expr[0]
    if tag in ("num", "str"):
        return expr[1]
    if tag == "sysmis":
        return None
    if tag == "var":
        var = ds.get(expr[1])
        if var.kind == "numeric" and is_user_missing(var.info, var.value):
            return None  # a user-missing value counts as missing in an expression
        # Choice: a string has no missing value to become, so a user-missing string is used as
        # it is; only MISSING() tells it apart.
        return var.value
    if tag == "neg":
        return apply_negate(_evaluate(expr[1], ds))
    if tag == "not":
        return apply_not(_evaluate(expr[1], ds))
    if tag == "op":
        return apply_operator(expr[1], _evaluate(expr[2], ds), _evaluate(expr[3], ds))
    name, args = expr[1], expr[2]
    if name in ("MISSING", "SYSMIS", "VALUE") and len(args) == 1 and args[0][0] == "var":
        var = ds.get(args[0][1])
        if name == "VALUE":
            return var.value
        if name == "SYSMIS":
            return _logical(var.value is None)
        return _logical(var.value is None or is_user_missing(var.info, var.value))
    return apply_function(name, [_evaluate(a, ds) for a in args])


def _assign(var, value):
    var.value = fit_string(value, var.info.width) if var.kind == "string" else value


# ---------------------------------------------------------------------------------------------
# Commands
# ---------------------------------------------------------------------------------------------


class _Compute:
    def __init__(self, target, expr, condition=None):
        self.target, self.expr, self.condition = target, expr, condition

    def check(self, ds):
        if self.condition is not None and _kind_of(self.condition, ds) != "numeric":
            raise SyntaxError_("the condition of IF must be logical")
        kind = _kind_of(self.expr, ds)
        var = ds.find(self.target)
        if var is None:
            if kind == "string":
                raise SyntaxError_("string variable %s must be declared before it is computed"
                                   % self.target)
            # A new numeric variable starts system-missing.
            ds.create(self.target, VarInfo("numeric"))
        elif var.kind != kind:
            raise SyntaxError_("%s is %s, the expression %s" % (self.target, var.kind, kind))

    def run(self, ds):
        if self.condition is not None and truth(_evaluate(self.condition, ds)) is not True:
            return  # a false or missing condition assigns nothing
        _assign(ds.get(self.target), _evaluate(self.expr, ds))


class _DoIf:
    def __init__(self):
        self.branches = []  # (condition or None for ELSE, [commands])

    def check(self, ds):
        pass  # the conditions are checked as they are read

    def run(self, ds):
        for condition, body in self.branches:
            if condition is not None:
                flag = truth(_evaluate(condition, ds))
                if flag is None:
                    return  # a missing condition skips the rest of the block, ELSE included
                if not flag:
                    continue
            for command in body:
                command.run(ds)
            return


class _Recode:
    """One RECODE specification: sources, clauses, targets (the sources themselves without INTO)."""

    def __init__(self, sources, clauses, targets):
        self.sources, self.clauses, self.targets = sources, clauses, targets
        self.new_targets = set()

    def check(self, ds):
        kinds = {ds.get(s).kind for s in self.sources}
        if len(kinds) != 1:
            raise SyntaxError_("RECODE mixes numeric and string sources")
        source_kind = kinds.pop()
        for items, result in self.clauses:
            for item in items:
                if item[0] == "value" and isinstance(item[1], str) != (source_kind == "string"):
                    raise SyntaxError_("RECODE value %r does not fit a %s source"
                                       % (item[1], source_kind))
                if source_kind == "string" and item[0] in ("range", "sysmis"):
                    raise SyntaxError_("a string source takes no THRU, LO, HI or SYSMIS")
        if len(self.targets) != len(self.sources):
            raise SyntaxError_("RECODE names %d sources and %d targets"
                               % (len(self.sources), len(self.targets)))
        target_kinds = set()
        for target in self.targets:
            var = ds.find(target)
            if var is None:
                if any(isinstance(r[1], str) for _, r in self.clauses if r[0] == "value"):
                    raise SyntaxError_("string target %s must be declared before RECODE" % target)
                if source_kind == "string" and any(r[0] == "copy" for _, r in self.clauses):
                    raise SyntaxError_("string target %s must be declared before RECODE" % target)
                var = ds.create(target, VarInfo("numeric"))
                self.new_targets.add(target.lower())
            target_kinds.add(var.kind)
            for _, result in self.clauses:
                if result[0] == "copy" and var.kind != source_kind:
                    raise SyntaxError_("COPY into %s needs a %s target" % (target, source_kind))
                if result[0] == "sysmis" and var.kind == "string":
                    raise SyntaxError_("SYSMIS cannot go into string target %s" % target)
                if result[0] == "value":
                    if isinstance(result[1], str) != (var.kind == "string"):
                        raise SyntaxError_("RECODE result %r does not fit %s target %s"
                                           % (result[1], var.kind, target))
                    if var.kind == "string" and len(result[1].rstrip(" ")) > var.info.width:
                        raise SyntaxError_("RECODE result %r is longer than the width %d of %s"
                                           % (result[1], var.info.width, target))

    def _match(self, item, value, info):
        tag = item[0]
        if tag == "else":
            return True
        if tag == "sysmis":
            return value is None
        if tag == "missing":
            return value is None or is_user_missing(info, value)
        if value is None:
            return False
        # A value or a range tests the actual value, user-missing values included.
        if tag == "value":
            if isinstance(value, str):
                return _compare_strings(value, item[1]) == 0
            return value == item[1]
        low, high = item[1], item[2]
        # Choice: a range whose low end lies above its high end matches nothing.
        return (low is None or value >= low) and (high is None or value <= high)

    def run(self, ds):
        # Every value is read before any target is written, so that RECODE a b (...) INTO b c reads
        # the old b. Choice: the rules do not say; this keeps each pair independent.
        values = [ds.get(s) for s in self.sources]
        values = [(v.value, v.info) for v in values]
        for (value, info), target in zip(values, self.targets):
            var = ds.get(target)
            for items, result in self.clauses:
                if any(self._match(item, value, info) for item in items):
                    if result[0] == "copy":
                        _assign(var, value)
                    elif result[0] == "sysmis":
                        _assign(var, None)
                    else:
                        _assign(var, result[1])
                    break
            else:
                if target.lower() in self.new_targets:
                    _assign(var, None)  # unmatched values of a new target are system-missing
                # an existing target keeps its value


class _Noop:
    def __init__(self, names=()):
        self.names = names

    def check(self, ds):
        for name in self.names:
            ds.get(name)

    def run(self, ds):
        pass


class _StringDecl:
    def __init__(self, names, width):
        self.names, self.width = names, width

    def check(self, ds):
        for name in self.names:
            if ds.find(name) is not None:
                raise SyntaxError_("variable %s is already defined" % name)
            ds.create(name, VarInfo("string", self.width))

    def run(self, ds):
        pass


class _NumericDecl(_StringDecl):
    def check(self, ds):
        for name in self.names:
            if ds.find(name) is not None:
                raise SyntaxError_("variable %s is already defined" % name)
            ds.create(name, VarInfo("numeric"))


def _parse_compute(cur):
    target = cur.name()
    cur.expect_op("=")
    expr = _parse_expression(cur)
    cur.done()
    return _Compute(target, expr)


def _parse_if(cur):
    condition = _parse_expression(cur)
    target = cur.name()
    cur.expect_op("=")
    expr = _parse_expression(cur)
    cur.done()
    return _Compute(target, expr, condition)


def _recode_number(cur):
    # A value of a RECODE clause takes a minus sign but not a plus.
    sign = 1.0
    if cur.is_op("-"):
        cur.next()
        sign = -1.0
    tok = cur.next()
    if tok.kind != "num" or tok.value is None:
        raise SyntaxError_("expected a number in RECODE, found %r" % tok.text)
    return sign * tok.value


def _recode_bound(cur, words):
    if cur.is_word(*words):
        cur.next()
        return None
    return _recode_number(cur)


def _parse_recode_items(cur):
    items = []
    while not cur.is_op("="):
        if cur.is_op(","):
            cur.next()
            continue
        if cur.is_word("ELSE"):
            cur.next()
            items.append(("else",))
        elif cur.is_word("MISSING"):
            cur.next()
            items.append(("missing",))
        elif cur.is_word("SYSMIS"):
            cur.next()
            items.append(("sysmis",))
        elif cur.peek() is not None and cur.peek().kind == "str":
            items.append(("value", cur.next().value))
        else:
            low = _recode_bound(cur, ("LO", "LOWEST"))
            if cur.is_word("THRU", "THROUGH"):
                cur.next()
                high = _recode_bound(cur, ("HI", "HIGHEST"))
                items.append(("range", low, high))
            elif low is None:
                raise SyntaxError_("LO needs THRU")
            else:
                items.append(("value", low))
    if not items:
        raise SyntaxError_("a RECODE clause has no values")
    return items


def _parse_recode_result(cur):
    if cur.is_word("COPY"):
        cur.next()
        return ("copy",)
    if cur.is_word("SYSMIS"):
        cur.next()
        return ("sysmis",)
    if cur.peek() is not None and cur.peek().kind == "str":
        return ("value", cur.next().value)
    return ("value", _recode_number(cur))


def _parse_recode(cur):
    specs = []
    while True:
        sources = []
        while not cur.is_op("("):
            sources.append(cur.name())
        if not sources:
            raise SyntaxError_("RECODE needs a variable")
        clauses = []
        while cur.is_op("("):
            cur.next()
            items = _parse_recode_items(cur)
            cur.expect_op("=")
            result = _parse_recode_result(cur)
            cur.expect_op(")")
            clauses.append((items, result))
        targets = list(sources)
        if cur.is_word("INTO"):
            cur.next()
            targets = []
            while not cur.at_end() and not cur.is_op("/"):
                targets.append(cur.name())
        specs.append(_Recode(sources, clauses, targets))
        if cur.at_end():
            return specs
        cur.expect_op("/")


def _parse_declaration(cur, cls, letter):
    decls = []
    while not cur.at_end():
        names = []
        while not cur.is_op("("):
            names.append(cur.name())
        cur.expect_op("(")
        tok = cur.next()
        m = re.fullmatch(letter + r"(\d+)(?:\.\d+)?", tok.text, re.IGNORECASE)
        if tok.kind != "name" or not m or not names:
            raise SyntaxError_("expected a format like %s8, found %r" % (letter, tok.text))
        cur.expect_op(")")
        if cur.is_op("/"):
            cur.next()
        if not 1 <= int(m.group(1)) <= 32767:
            raise SyntaxError_("width %s is out of range" % m.group(1))
        decls.append(cls(names, int(m.group(1))))
    return decls


def _parse_variable(cur):
    tok = cur.next()
    if tok.kind != "name":
        raise SyntaxError_("VARIABLE what?")
    if tok.value == "LEVEL":
        names = []
        while not cur.at_end():
            while not cur.is_op("("):
                names.append(cur.name())
            cur.expect_op("(")
            level = cur.next()
            if level.kind != "name" or level.value not in ("SCALE", "ORDINAL", "NOMINAL"):
                raise SyntaxError_("unknown measurement level %r" % level.text)
            cur.expect_op(")")
            if cur.is_op("/"):
                cur.next()
        return [_Noop(names)]
    if tok.value == "ROLE":
        names = []
        while not cur.at_end():
            cur.expect_op("/")
            role = cur.next()
            if role.kind != "name" or role.value not in ("INPUT", "TARGET", "BOTH", "NONE",
                                                         "PARTITION", "SPLIT"):
                raise SyntaxError_("unknown role %r" % role.text)
            while not cur.at_end() and not cur.is_op("/"):
                names.append(cur.name())
        return [_Noop(names)]
    if tok.value in ("LABELS", "WIDTH", "ALIGNMENT"):
        return [_Noop()]  # metadata only
    raise SyntaxError_("unknown command VARIABLE %s" % tok.text)


# ---------------------------------------------------------------------------------------------
# Splitting the text into commands
# ---------------------------------------------------------------------------------------------


def _strip_line(line, in_comment):
    """Remove /* */ comments outside quotes; tells whether the line ends a command with '.'.

    Returns (text, ends_command, still_in_comment).
    """
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if in_comment:
            end = line.find("*/", i)
            if end < 0:
                return "".join(out), False, True
            i, in_comment = end + 2, False
            continue
        if quote:
            out.append(c)
            if c == quote:
                quote = None  # a doubled quote closes and reopens: same result
        elif c in "'\"":
            quote = c
            out.append(c)
        elif line.startswith("/*", i):
            in_comment = True
            i += 2
            continue
        else:
            out.append(c)
        i += 1
    if quote:
        raise SyntaxError_("a string is not closed on its line: %r" % line)
    text = "".join(out).rstrip()
    return text, text.endswith("."), in_comment


def _split_commands(syntax):
    """Yield (line number, command text without its terminating period).

    A command ends with a period that is the last non-blank character of a line; its further
    lines must be indented. Choice: a blank line or an unindented line inside a command, or a
    command left open at the end, is refused rather than taken as the end of the command.
    """
    current, start, in_comment, is_comment = None, 0, False, False
    for number, line in enumerate(syntax.splitlines(), 1):
        if current is None:
            if not line.strip() and not in_comment:
                continue
            start = number
            is_comment = line.lstrip().startswith("*") or re.match(r"\s*COMMENT\b", line, re.I)
            current = []
        elif not line.strip() or not line[0].isspace():
            raise SyntaxError_("line %d: the command of line %d has no closing period"
                               % (number, start))
        if is_comment:
            # A comment command's text is not read: quotes in it need not pair.
            if line.rstrip().endswith("."):
                current = None
            continue
        text, ends, in_comment = _strip_line(line, in_comment)
        current.append(text)
        if ends and not in_comment:
            yield start, " ".join(current)[:-1]
            current = None
    if current is not None:
        raise SyntaxError_("line %d: the command has no closing period" % start)


def _parse_program(syntax, ds):
    """Parse every command, checking it against the variables defined before it."""
    top = []
    blocks = []  # open DO IF blocks: (block, the body being filled)

    def add(command):
        command.check(ds)
        (blocks[-1][1] if blocks else top).append(command)

    for number, text in _split_commands(syntax):
        try:
            cur = _Cursor(_tokenize(text))
            word = cur.next()
            head = word.value if word.kind in ("name", "op") else None
            if head == "COMPUTE":
                add(_parse_compute(cur))
            elif head == "IF":
                add(_parse_if(cur))
            elif head == "RECODE":
                for spec in _parse_recode(cur):
                    add(spec)
            elif head == "STRING":
                for decl in _parse_declaration(cur, _StringDecl, "A"):
                    add(decl)
            elif head == "NUMERIC":
                for decl in _parse_declaration(cur, _NumericDecl, "F"):
                    add(decl)
            elif head == "DO":
                cur.expect_word("IF")
                condition = _parse_expression(cur)
                cur.done()
                if _kind_of(condition, ds) != "numeric":
                    raise SyntaxError_("the condition of DO IF must be logical")
                block = _DoIf()
                (blocks[-1][1] if blocks else top).append(block)
                body = []
                block.branches.append((condition, body))
                blocks.append((block, body))
            elif head == "ELSE":
                if not blocks or blocks[-1][0].branches[-1][0] is None:
                    raise SyntaxError_("ELSE outside DO IF or after ELSE")
                block = blocks.pop()[0]
                condition = None
                if cur.is_word("IF"):
                    cur.next()
                    condition = _parse_expression(cur)
                    if _kind_of(condition, ds) != "numeric":
                        raise SyntaxError_("the condition of ELSE IF must be logical")
                cur.done()
                body = []
                block.branches.append((condition, body))
                blocks.append((block, body))
            elif head == "END":
                cur.expect_word("IF")
                cur.done()
                if not blocks:
                    raise SyntaxError_("END IF without DO IF")
                blocks.pop()
            elif head == "VARIABLE":
                for command in _parse_variable(cur):
                    add(command)
            elif head == "VALUE":
                cur.expect_word("LABELS")
            elif head in ("EXECUTE", "FORMATS"):
                pass  # no effect on values
            else:
                raise SyntaxError_("unknown command %r" % word.text)
        except SyntaxError_ as err:
            raise SyntaxError_("line %d: %s" % (number, err)) from None
    if blocks:
        raise SyntaxError_("DO IF without END IF")
    return top


def run(syntax, dictionary, row):
    """Run the syntax on one case; every variable's value afterwards, created ones included.

    dictionary: name -> VarInfo of the active dataset; row: name -> value (absent: missing).
    Names match ignoring case; keys keep the spelling of their first declaration or creation.
    Scratch variables (#name) are returned too. Choice: they start like any new variable
    (system-missing or blank); a single case cannot see the values they keep between cases.
    """
    ds = _Dataset()
    values = {name.lower(): value for name, value in row.items()}
    for name, info in dictionary.items():
        value = values.get(name.lower())
        if info.kind == "numeric":
            value = None if value is None else float(value)
        else:
            # Choice: a string has no system-missing value, so a missing string cell is blank; a
            # value longer than the width is cut, as the variable would hold it.
            value = "" if value is None else str(value)
        ds.create(name, info, value)
    # Parsing creates the variables (numeric system-missing, strings blank), also those whose
    # commands do not run for this case.
    program = _parse_program(syntax, ds)
    for command in program:
        command.run(ds)
    return {var.name: (var.value.rstrip(" ") if var.kind == "string" else var.value)
            for var in ds.vars.values()}

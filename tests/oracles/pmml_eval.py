"""Reference evaluator for PMML 4.3 transformations and two simple model kinds.

It evaluates one row of raw values at a time, written for readability rather than speed, so that the
documents the tool writes can be checked against what a PMML consumer computes from them.

Values: None is missing, numbers are Python floats, strings are str, boolean results are bool. A result
that PMML calls invalid (a division by zero, the logarithm of zero, an input that the data dictionary does
not accept) is the module constant INVALID.

    doc = load(text)
    doc.derived_values({"income": 2500.0, "debt": 100.0})   # every DerivedField, name -> value
    doc.score({"income": 2500.0, "debt": 100.0})            # the first model's prediction

Anything the evaluator does not implement raises Unsupported; it never guesses.

`Extension` elements carry application-specific content that a PMML consumer ignores, and so does this
evaluator, except for the few listed in APPLICATION_DEPARTURES: extensions whose meaning this application
documents and relies on. load(text, follow_application=False) turns those off and gives a plain consumer.
The same table lists the application's own functions (outlierHandle, the date differences, the date and
time parts, the recasts), which an Apply may call only when the application is followed.

Dates and times are numbers, as the host application holds them and as the differential tests pass them
to both sides: a date or dateTime is the seconds since 14 October 1582 (midnight), a time the seconds
since midnight. A row gives them as such numbers; a Constant (or any text converted to one of these
dataTypes) is read as the host's DATE.MDY and TIME.HMS pieces: "m/d/y" (or "m-d-y"), "h:m:s", and for a
dateTime "m/d/y h:m:s" (a blank or "T" between the two). Any other text of these types is Unsupported.
"""

import datetime

import math
import re
import xml.etree.ElementTree as ET


class Unsupported(Exception):
    """An element, attribute value or function that this evaluator does not implement."""


class _Invalid:
    """The invalid value: a result the data cannot have (see the module text)."""

    def __repr__(self):
        return "INVALID"


INVALID = _Invalid()

# Extensions that the application itself gives a meaning, which this evaluator follows when
# load(..., follow_application=True) (the default). A plain PMML consumer ignores all of them.
APPLICATION_DEPARTURES = {
    "DerivedField/Extension[MissingValues]":
        "The merge job moves the missing values of a model data field that the transformation computes "
        "into this extension on the DerivedField (Value property=\"missing\" elements and "
        "invalidRangeLower/invalidRangeUpper pairs, nested extensions included); the application counts "
        "everything it holds as missing, so a derived value equal to one of them is missing, as it was "
        "for the model before the merge.",
    "MapValues/Extension[recodeElseCopy]":
        "In the automated data preparation PMML the application converts to command syntax, a MapValues "
        "carrying this extension copies an input value that no row matches (ELSE=COPY) instead of giving "
        "defaultValue.",
    # The application's own functions, which an Apply calls by name in the data-preparation PMML. Their
    # meaning is the one the application documents for the command syntax it writes from them.
    "Apply[outlierHandle]":
        "outlierHandle(field, treatment, centre, spread, factor[, n]): below centre-spread*factor or above "
        "centre+spread*factor (with /SQRT(n) after the factor when a fourth parameter other than 1 is "
        "given) the result is the cut-off (asExtremeValues) or missing (asMissingValues); otherwise the "
        "input. A missing input gives a missing result (no test holds); another treatment, or other than "
        "three or four parameters, is an error.",
    "Apply[date_days_difference]":
        "date_days_difference(d1, d2) is (d1-d2)/time.days(1): the days from d2 to d1, fractional when "
        "the values carry a time of day.",
    "Apply[date_months_difference]":
        "date_months_difference(d1, d2) is the difference in days divided by 30.4375: average months, "
        "not a count of calendar months (1 February to 1 March is 0.92).",
    "Apply[date_years_difference]":
        "date_years_difference(d1, d2) is the difference in days divided by 365.25: average years "
        "(1 January 2021 to 1 January 2022 is 0.9993).",
    "Apply[year-from-date], Apply[month-from-date], Apply[day-from-date]":
        "The calendar year, month (1-12) and day of the month (1-31) of a date, as XDATE.YEAR, "
        "XDATE.MONTH and XDATE.MDAY give them.",
    "Apply[hour-from-time], Apply[minute-from-time], Apply[second-from-time]":
        "The hour (0-23), minute (0-59) and second (0-59, with any fraction) of a time of day, as "
        "XDATE.HOUR, XDATE.MINUTE and XDATE.SECOND give them; a value of a day or more is taken modulo "
        "one day, so a dateTime gives the parts of its time of day.",
    "Apply[recast_to_scale], Apply[recast_to_ordinal], Apply[recast_to_nominal]":
        "A recast copies its input (COMPUTE t = field.) and changes only the field's measurement level.",
    "dataType date, time, dateTime":
        "Values of these types are the host's numbers (see the module text), so that the PMML and the "
        "syntax are evaluated on the same values; PMML's own forms of them are not read.",
}

MODEL_ELEMENTS = (
    "AssociationModel", "BayesianNetworkModel", "BaselineModel", "ClusteringModel",
    "GaussianProcessModel",
    "GeneralRegressionModel", "MiningModel", "NaiveBayesModel", "NearestNeighborModel", "NeuralNetwork",
    "RegressionModel", "RuleSetModel", "SequenceModel", "Scorecard", "SupportVectorMachineModel",
    "TextModel", "TimeSeriesModel", "TreeModel")

_NUMERIC_TYPES = ("double", "float", "integer")
_TEMPORAL_TYPES = ("date", "time", "dateTime")
# The host's day zero for dates (see the module text).
_DAY_ZERO = datetime.date(1582, 10, 14)
_DAY = 86400.0
_OPEN_END = 1.79e308


# ----------------------------------------------------------------------------------------------
# XML helpers: names are compared without their namespace.

def _local(tag):
    return tag.rsplit("}", 1)[-1] if isinstance(tag, str) else ""


def _kids(el, name=None):
    """Child elements other than Extension (optionally only those of one local name)."""
    out = []
    for child in el:
        n = _local(child.tag)
        if n == "Extension" or not n:
            continue
        if name is None or n == name:
            out.append(child)
    return out


def _kid(el, name):
    found = _kids(el, name)
    return found[0] if found else None


def _extensions(el, name):
    """Extension children of el with the given name, and Extensions of that name nested inside them."""
    out = []
    for child in el:
        if _local(child.tag) == "Extension" and child.get("name") == name:
            out.append(child)
            out.extend(_extensions(child, name))
    return out


# ----------------------------------------------------------------------------------------------
# Values and types

def _is_number(v):
    return isinstance(v, (float, int)) and not isinstance(v, bool)


def _parse_number(text):
    """A PMML number written as text; ValueError when it is none."""
    if isinstance(text, bool):
        return 1.0 if text else 0.0
    if _is_number(text):
        return float(text)
    s = str(text).strip()
    if not re.fullmatch(r"[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?|[+-]?(INF|NaN)", s):
        raise ValueError("not a number: %r" % (text,))
    return float(s)


def _num_text(x):
    """A number as text. PMML does not fix the form; whole numbers are written without a fraction."""
    if math.isfinite(x) and x == int(x) and abs(x) < 1e15:
        return "%d" % int(x)
    return repr(x)


def _as_text(v):
    if isinstance(v, bool):
        return "true" if v else "false"
    if _is_number(v):
        return _num_text(float(v))
    return v


def _as_bool(v):
    if isinstance(v, bool):
        return v
    if _is_number(v):
        return v != 0
    s = str(v).strip().lower()
    if s in ("true", "1"):
        return True
    if s in ("false", "0"):
        return False
    raise ValueError("not a boolean: %r" % (v,))


def _convert(v, data_type):
    """v converted to a PMML dataType; None and INVALID pass through, a value that cannot be
    converted becomes INVALID."""
    if v is None or v is INVALID or data_type is None:
        return v
    if data_type in _NUMERIC_TYPES:
        try:
            x = _parse_number(v)
        except ValueError:
            return INVALID
        if data_type == "integer" and math.isfinite(x) and x != int(x):
            raise Unsupported("a fractional value %r for an integer field" % (x,))
        return x
    if data_type == "string":
        return _as_text(v)
    if data_type == "boolean":
        try:
            return _as_bool(v)
        except ValueError:
            return INVALID
    if data_type in _TEMPORAL_TYPES:
        if _is_number(v):
            return float(v)
        return _temporal(str(v).strip(), data_type)
    raise Unsupported("dataType %s" % data_type)


def _date_seconds(text):
    m = re.fullmatch(r"(\d+)([/-])(\d+)\2(\d+)", text)
    if m is None:
        raise Unsupported("a date written %r" % text)
    month, day, year = int(m.group(1)), int(m.group(3)), int(m.group(4))
    try:
        return (datetime.date(year, month, day) - _DAY_ZERO).days * _DAY
    except ValueError:
        return INVALID  # no such day (13/1/2020, 2/30/2021)


def _time_seconds(text):
    m = re.fullmatch(r"(\d+):(\d+):(\d+(?:\.\d*)?)", text)
    if m is None:
        raise Unsupported("a time written %r" % text)
    # The pieces are added up as TIME.HMS does, without a range check on each.
    return int(m.group(1)) * 3600.0 + int(m.group(2)) * 60.0 + float(m.group(3))


def _temporal(text, data_type):
    """A date, time or dateTime written as text, as the host's number of seconds."""
    if data_type == "date":
        return _date_seconds(text)
    if data_type == "time":
        return _time_seconds(text)
    parts = re.split(r"[ T]+", text)
    if len(parts) != 2:
        raise Unsupported("a dateTime written %r" % text)
    day = _date_seconds(parts[0])
    return INVALID if day is INVALID else day + _time_seconds(parts[1])


def _infer(text):
    """The value of a text without a declared type: a number if it reads as one, else a string."""
    try:
        return _parse_number(text)
    except ValueError:
        return text


def _same(a, b, data_type=None):
    """Equality of two non-missing values, by the field's dataType when it is known."""
    if data_type in _NUMERIC_TYPES or (data_type is None and (_is_number(a) or _is_number(b))):
        try:
            return _parse_number(a) == _parse_number(b)
        except ValueError:
            return _as_text(a) == _as_text(b)
    if data_type == "boolean":
        try:
            return _as_bool(a) == _as_bool(b)
        except ValueError:
            return False
    return _as_text(a) == _as_text(b)


def _order(a, b):
    """-1, 0 or 1: numbers numerically (a numeric string counts as a number next to a number),
    anything else as text."""
    if _is_number(a) or _is_number(b) or isinstance(a, bool) or isinstance(b, bool):
        try:
            x, y = _parse_number(a), _parse_number(b)
            return (x > y) - (x < y)
        except ValueError:
            pass
    x, y = _as_text(a), _as_text(b)
    return (x > y) - (x < y)


# ----------------------------------------------------------------------------------------------
# Field definitions

class _DataField:
    def __init__(self, el):
        self.name = el.get("name")
        self.data_type = el.get("dataType")
        self.optype = el.get("optype")
        self.missing, self.valid, self.invalid = [], [], []
        for v in _kids(el, "Value"):
            prop = v.get("property", "valid")
            lists = {"missing": self.missing, "valid": self.valid, "invalid": self.invalid}
            lists[prop].append(v.get("value"))
        self.intervals = _kids(el, "Interval")
        # The invalidRangeLower/invalidRangeUpper extensions the transform job writes for a missing
        # range have no scoring meaning: like any consumer, this one ignores them on a DataField.

    def is_missing(self, v):
        if v is None:
            return True
        return any(_same(v, m, self.data_type) for m in self.missing)

    def is_invalid(self, v):
        """The data dictionary's notion of an invalid (non-missing) value."""
        if self.data_type in _NUMERIC_TYPES:
            try:
                x = _parse_number(v)
            except ValueError:
                return True
            v = x
        if any(_same(v, m, self.data_type) for m in self.invalid):
            return True
        if self.optype == "continuous":
            # Intervals restrict a continuous field; its valid Values are valid in addition.
            if not self.intervals:
                return False
            if any(_same(v, m, self.data_type) for m in self.valid):
                return False
            try:
                x = _parse_number(v)
            except ValueError:
                return True
            return not any(_in_interval(x, i) for i in self.intervals)
        # Categorical and ordinal fields: the valid Values, when any are listed, are all there is.
        return bool(self.valid) and not any(_same(v, m, self.data_type) for m in self.valid)


def _missing_ranges(el):
    """(low, high) pairs from the invalidRangeLower/invalidRangeUpper extensions inside the
    MissingValues extensions of el, in document order."""
    ends = {"invalidRangeLower": [], "invalidRangeUpper": []}
    for holder in _extensions(el, "MissingValues"):
        for e in holder:
            if _local(e.tag) == "Extension" and e.get("name") in ends:
                ends[e.get("name")].append(_parse_number(e.get("value")))
    # An open end is written as the largest double rounded to 15 digits, which reads as a slightly
    # smaller number: take anything that large as unbounded.
    return [(-math.inf if a <= -_OPEN_END else a, math.inf if b >= _OPEN_END else b)
            for a, b in zip(ends["invalidRangeLower"], ends["invalidRangeUpper"])]


def _in_interval(x, interval):
    closure = interval.get("closure", "closedClosed")
    if closure not in ("openOpen", "openClosed", "closedOpen", "closedClosed"):
        raise Unsupported("closure %s" % closure)
    left, right = interval.get("leftMargin"), interval.get("rightMargin")
    # An absent margin leaves that end unbounded.
    if left is not None:
        lo = _parse_number(left)
        if x < lo or (x == lo and closure.startswith("open")):
            return False
    if right is not None:
        hi = _parse_number(right)
        if x > hi or (x == hi and closure.endswith("Open")):
            return False
    return True


class _Document:
    """Definitions shared by every evaluation of a loaded document."""

    def __init__(self, root, follow_application):
        if _local(root.tag) != "PMML":
            raise ValueError("not a PMML document: root %s" % _local(root.tag))
        self.root = root
        self.follow_application = follow_application
        self.data_fields = {}
        dd = _kid(root, "DataDictionary")
        if dd is not None:
            for f in _kids(dd, "DataField"):
                self.data_fields[f.get("name")] = _DataField(f)
        self.derived = {}       # name -> DerivedField element, in document order
        self.functions = {}     # name -> DefineFunction element
        td = _kid(root, "TransformationDictionary")
        if td is not None:
            for f in _kids(td, "DerivedField"):
                self.derived.setdefault(f.get("name"), f)
            for f in _kids(td, "DefineFunction"):
                self.functions[f.get("name")] = f
        self.model = next((c for c in _kids(root) if _local(c.tag) in MODEL_ELEMENTS), None)


# ----------------------------------------------------------------------------------------------
# One row's evaluation: field values resolved on demand, each computed once.

class _Row:
    def __init__(self, doc, row, local=None, mining=None, params=None):
        self.doc = doc
        self.row = row
        self.local = local or {}      # the model's LocalTransformations: name -> DerivedField
        self.mining = mining or {}    # name -> MiningField element (inputs only)
        self.params = params          # inside a DefineFunction: parameter name -> value
        self.cache = {}
        self.busy = set()
        self.hold = None              # derived_values: how a field's value is held (see there)

    def data_type(self, name):
        if self.params is not None:
            return None
        d = self.local.get(name)
        if d is None:
            d = self.doc.derived.get(name)
        if d is not None:
            return d.get("dataType")
        f = self.doc.data_fields.get(name)
        return f.data_type if f is not None else None

    def get(self, name):
        if self.params is not None:
            if name not in self.params:
                raise ValueError("a function body reads %r, which is not one of its parameters" % name)
            return self.params[name]
        if name in self.cache:
            return self.cache[name]
        definition = self.local.get(name)
        if definition is None:
            definition = self.doc.derived.get(name)
        if definition is not None and name not in self.busy:
            self.busy.add(name)
            try:
                value = _derived_value(definition, self)
            finally:
                self.busy.discard(name)
            if self.hold is not None and definition is self.doc.derived.get(name):
                value = self.hold(name, value)
        elif name in self.doc.data_fields or name in self.row:
            # A derived field that reads its own name reads the input field of that name.
            value = self._raw(name)
        elif definition is not None:
            raise ValueError("field %r is defined through itself" % name)
        else:
            raise ValueError("unknown field %r" % name)
        if name in self.mining:
            value = _mining_treatment(self.mining[name], self.doc.data_fields.get(name), value,
                                      self.data_type(name))
        self.cache[name] = value
        return value

    def _raw(self, name):
        v = self.row.get(name)
        f = self.doc.data_fields.get(name)
        if f is None:
            return v
        if f.is_missing(v):
            return None
        if f.data_type in _NUMERIC_TYPES and isinstance(v, str):
            try:
                return _parse_number(v)
            except ValueError:
                return v  # not a number: the mining schema, where there is one, calls it invalid
        return v


def _derived_value(el, env):
    expr = next((c for c in _kids(el) if _local(c.tag) != "Value"), None)
    if expr is None:
        raise ValueError("DerivedField %r has no expression" % el.get("name"))
    value = _convert(_eval(expr, env), el.get("dataType"))
    if value is None or value is INVALID:
        return value
    # A computed value is missing when its expression gives missing. The data dictionary's missing
    # values apply to the values a DataField receives: a model document that declares a field it gets
    # from another document's transformation as a DataField treats those codes as missing in its
    # input, but a DerivedField of the same document is not a DataField and they do not reach it.
    # The DerivedField's own Value list describes its values as a DataField's list does, so a
    # Value property="missing" there marks a computed value as missing.
    missing = [v.get("value") for v in _kids(el, "Value") if v.get("property") == "missing"]
    ranges = []
    if env.doc.follow_application:
        for ext in _extensions(el, "MissingValues"):
            missing += [v.get("value") for v in ext.iter() if _local(v.tag) == "Value"
                        and v.get("property", "missing") == "missing"]
        ranges = _missing_ranges(el)
    if any(_same(value, m, el.get("dataType")) for m in missing):
        return None
    if ranges and _is_number(value) and any(lo <= value <= hi for lo, hi in ranges):
        return None
    return value


def _mining_treatment(mf, data_field, value, data_type):
    """What the mining schema hands the model for one input: missing value replacement, invalid value
    treatment and outlier treatment."""
    replacement = mf.get("missingValueReplacement")
    # missingValueTreatment (asIs, asMean, ...) only says how the replacement was chosen; the
    # replacement itself applies whenever it is given.
    if value is INVALID or (value is not None and data_field is not None
                            and data_field.is_invalid(value)):
        treatment = mf.get("invalidValueTreatment", "returnInvalid")
    else:
        treatment = None
    if treatment == "returnInvalid" or (treatment == "asIs" and value is INVALID):
        return INVALID
    if treatment == "asMissing":
        value = None
    elif treatment not in (None, "asIs"):
        raise Unsupported("invalidValueTreatment %s" % treatment)
    if value is None:
        return _convert(replacement, data_type) if replacement is not None else None
    outliers = mf.get("outliers", "asIs")
    if outliers != "asIs" and _is_number(value):
        low, high = mf.get("lowValue"), mf.get("highValue")
        low = _parse_number(low) if low is not None else -math.inf
        high = _parse_number(high) if high is not None else math.inf
        if value < low or value > high:
            if outliers == "asMissingValues":
                # Treated as if it were missing, so a replacement applies.
                return _convert(replacement, data_type) if replacement is not None else None
            if outliers == "asExtremeValues":
                return low if value < low else high
            raise Unsupported("outliers %s" % outliers)
    return value


# ----------------------------------------------------------------------------------------------
# Expressions

def _eval(el, env):
    kind = _local(el.tag)
    handler = _EXPRESSIONS.get(kind)
    if handler is None:
        raise Unsupported("expression %s" % kind)
    return handler(el, env)


def _constant(el, env):
    if el.get("missing") == "true":
        return None
    text = el.text or ""
    data_type = el.get("dataType")
    if data_type is None:
        return _infer(text.strip())
    return _convert(text if data_type == "string" else text.strip(), data_type)


def _field_ref(el, env):
    v = env.get(el.get("field"))
    if v is None and el.get("mapMissingTo") is not None:
        return _replacement(el.get("mapMissingTo"), env.data_type(el.get("field")))
    return v


def _replacement(text, data_type):
    """mapMissingTo or defaultValue of an expression with an optional dataType."""
    if text is None:
        return None
    return _convert(text, data_type) if data_type else _infer(text)


def _discretize(el, env):
    data_type = el.get("dataType")
    v = env.get(el.get("field"))
    if v is INVALID:
        return INVALID
    if v is None:
        return _replacement(el.get("mapMissingTo"), data_type)
    try:
        x = _parse_number(v)
    except ValueError:
        return INVALID
    # The first bin whose interval holds the value decides.
    for b in _kids(el, "DiscretizeBin"):
        interval = _kid(b, "Interval")
        if interval is not None and _in_interval(x, interval):
            return _replacement(b.get("binValue"), data_type)
    return _replacement(el.get("defaultValue"), data_type)


def _map_values(el, env):
    data_type = el.get("dataType")
    pairs = _kids(el, "FieldColumnPair")
    values = [env.get(p.get("field")) for p in pairs]
    if any(v is INVALID for v in values):
        return INVALID
    if any(v is None for v in values):
        return _replacement(el.get("mapMissingTo"), data_type)
    table = _kid(el, "InlineTable")
    if table is None:
        raise Unsupported("MapValues without an InlineTable")
    out_column = el.get("outputColumn")
    for row in _kids(table, "row"):
        cells = {_local(c.tag): (c.text or "") for c in row}
        if all(p.get("column") in cells
               and _same(v, cells[p.get("column")], env.data_type(p.get("field")))
               for p, v in zip(pairs, values)):
            return _replacement(cells.get(out_column), data_type)
    if env.doc.follow_application and _extensions(el, "recodeElseCopy") and values:
        return _convert(values[0], data_type)
    return _replacement(el.get("defaultValue"), data_type)


def _norm_continuous(el, env):
    v = env.get(el.get("field"))
    if v is INVALID:
        return INVALID
    if v is None:
        return _replacement(el.get("mapMissingTo"), "double")
    try:
        x = _parse_number(v)
    except ValueError:
        return INVALID
    points = [(_parse_number(p.get("orig")), _parse_number(p.get("norm")))
              for p in _kids(el, "LinearNorm")]
    if len(points) < 2:
        raise ValueError("NormContinuous needs two LinearNorm points")
    outliers = el.get("outliers", "asIs")
    if x < points[0][0] or x > points[-1][0]:
        if outliers == "asMissingValues":
            # The outlier becomes a missing result; mapMissingTo replaces a missing input only.
            return None
        if outliers == "asExtremeValues":
            return points[0][1] if x < points[0][0] else points[-1][1]
        if outliers != "asIs":
            raise Unsupported("outliers %s" % outliers)
        # asIs: the outer segment is extended.
        (a1, b1), (a2, b2) = points[:2] if x < points[0][0] else points[-2:]
        return b1 + (x - a1) / (a2 - a1) * (b2 - b1)
    for (a1, b1), (a2, b2) in zip(points, points[1:]):
        if a1 <= x <= a2:
            return b1 + (x - a1) / (a2 - a1) * (b2 - b1)
    raise ValueError("LinearNorm points are not in ascending order")


def _norm_discrete(el, env):
    field = el.get("field")
    v = env.get(field)
    if v is INVALID:
        return INVALID
    if v is None:
        return _replacement(el.get("mapMissingTo"), "double")
    if el.get("method", "indicator") != "indicator":
        raise Unsupported("NormDiscrete method %s" % el.get("method"))
    return 1.0 if _same(v, el.get("value"), env.data_type(field)) else 0.0


# Functions that take missing arguments as data rather than passing them on. mapMissingTo stands in
# for a function that a missing input keeps from being evaluated; these functions are evaluated with
# missing inputs, so for them only defaultValue (a missing result) applies.
_MISSING_AWARE = ("isMissing", "isNotMissing", "min", "max", "sum", "avg", "median", "product")


def _apply(el, env):
    name = el.get("function")
    args = _kids(el)
    map_missing = el.get("mapMissingTo")
    treatment = el.get("invalidValueTreatment", "returnInvalid")
    if treatment not in ("returnInvalid", "asIs", "asMissing"):
        raise Unsupported("invalidValueTreatment %s" % treatment)
    if name == "if":
        result = _if(args, env, map_missing)
    else:
        values = [_eval(a, env) for a in args]
        if map_missing is not None and name not in _MISSING_AWARE and any(v is None for v in values):
            # A missing input: the function is not evaluated, mapMissingTo is the result.
            return _infer(map_missing)
        if name in env.doc.functions:
            result = _call_defined(env.doc.functions[name], values, env)
        elif env.doc.follow_application and name in _APPLICATION_FUNCTIONS:
            if any(v is INVALID for v in values):
                result = INVALID
            else:
                result = _APPLICATION_FUNCTIONS[name](values)
        elif name in _BUILTINS:
            if name not in ("isMissing", "isNotMissing") and any(v is INVALID for v in values):
                result = INVALID
            else:
                result = _BUILTINS[name](values)
        else:
            raise Unsupported("function %s" % name)
    # A number that is not finite (x/0, ln(0), sqrt(-1), an overflow) is an invalid result.
    if _is_number(result) and not math.isfinite(result):
        if treatment == "returnInvalid":
            result = INVALID
        elif treatment == "asMissing":
            result = None
    elif result is INVALID and treatment == "asMissing":
        result = None
    # defaultValue stands for a missing result of a function that was evaluated.
    if result is None and el.get("defaultValue") is not None:
        return _infer(el.get("defaultValue"))
    return result


def _if(args, env, map_missing):
    if len(args) not in (2, 3):
        raise ValueError("if takes 2 or 3 arguments, not %d" % len(args))
    cond = _eval(args[0], env)
    if cond is INVALID:
        return INVALID
    if cond is None:
        return _infer(map_missing) if map_missing is not None else None
    try:
        truth = _as_bool(cond)
    except ValueError:
        return INVALID
    if not truth and len(args) == 2:
        return None  # false and no else-value: a missing result (not a missing input)
    value = _eval(args[1] if truth else args[2], env)
    if value is None and map_missing is not None:
        return _infer(map_missing)  # the value chosen is a missing input
    return value


def _call_defined(fn, values, env):
    params = _kids(fn, "ParameterField")
    if len(params) != len(values):
        raise ValueError("function %s takes %d arguments, not %d"
                         % (fn.get("name"), len(params), len(values)))
    bound = {p.get("name"): _convert(v, p.get("dataType")) for p, v in zip(params, values)}
    body = next((c for c in _kids(fn) if _local(c.tag) != "ParameterField"), None)
    if body is None:
        raise ValueError("function %s has no body" % fn.get("name"))
    inner = _Row(env.doc, {}, params=bound)
    return _convert(_eval(body, inner), fn.get("dataType"))


_EXPRESSIONS = {
    "Constant": _constant,
    "FieldRef": _field_ref,
    "Discretize": _discretize,
    "MapValues": _map_values,
    "NormContinuous": _norm_continuous,
    "NormDiscrete": _norm_discrete,
    "Apply": _apply,
}


# ----------------------------------------------------------------------------------------------
# Built-in functions. Each takes the list of argument values (INVALID already handled) and returns a
# value; a missing argument gives a missing result unless the function says otherwise.

def _strict(arity, fn):
    """fn over arity arguments (None: any number, at least one); a missing argument gives missing."""
    def call(values):
        if arity is not None and len(values) not in (arity if isinstance(arity, tuple) else (arity,)):
            raise ValueError("wrong number of arguments: %d" % len(values))
        if not values:
            raise ValueError("no arguments")
        if any(v is None for v in values):
            return None
        try:
            return fn(*values)
        except ValueError:
            return INVALID  # an argument of the wrong kind (text where a number belongs)
    return call


def _numeric(arity, fn):
    return _strict(arity, lambda *vs: fn(*[_parse_number(v) for v in vs]))


def _divide(a, b):
    if b == 0:
        # No real result: the IEEE value, which the Apply then treats as invalid.
        if a == 0 or math.isnan(a):
            return math.nan
        return math.copysign(math.inf, a) * math.copysign(1.0, b)
    return a / b


def _guarded(fn):
    """A math function whose domain errors and overflows give a non-finite (invalid) result."""
    def call(*xs):
        try:
            return float(fn(*xs))
        except OverflowError:
            return math.inf
        except (ValueError, ZeroDivisionError):
            return math.nan
    return call


def _log(base_fn):
    def call(x):
        if x == 0:
            return -math.inf
        if x < 0:
            return math.nan
        return base_fn(x)
    return call


def _round(x):
    # The nearest whole number; a value halfway between two goes to the greater one (towards positive
    # infinity), so round(2.5) = 3 and round(-2.5) = -2.
    f = math.floor(x)
    return f + 1.0 if x - f >= 0.5 else float(f)


def _aggregate(fn):
    # Missing inputs are ignored; when every input is missing the result is missing.
    def call(values):
        if not values:
            raise ValueError("no arguments")
        present = [v for v in values if v is not None]
        if not present:
            return None
        try:
            return fn([_parse_number(v) for v in present])
        except ValueError:
            return INVALID
    return call


def _median(xs):
    xs = sorted(xs)
    n = len(xs)
    return xs[n // 2] if n % 2 else (xs[n // 2 - 1] + xs[n // 2]) / 2.0


def _sum(xs):
    # Left to right in double precision, as a scorer adds up its inputs.
    total = 0.0
    for x in xs:
        total += x
    return total


def _product(xs):
    total = 1.0
    for x in xs:
        total *= x
    return total


def _logical(fn):
    def call(*vs):
        return fn([_as_bool(v) for v in vs])
    return call


def _substring(s, start, length):
    # Characters at the 1-based positions p with round(start) <= p < round(start) + round(length).
    s = _as_text(s)
    first = _round(_parse_number(start))
    end = first + _round(_parse_number(length))
    return "".join(c for i, c in enumerate(s, 1) if first <= i < end)


def _regex(pattern):
    # The pattern dialect is the POSIX/Perl-like one Python's re module shares for the common cases.
    try:
        return re.compile(_as_text(pattern))
    except re.error as e:
        raise Unsupported("regular expression %r: %s" % (pattern, e))


def _replace(s, pattern, replacement):
    # $n in the replacement is the n-th group.
    repl = re.sub(r"\\|\$(\d+)", lambda m: "\\\\" if m.group(0) == "\\" else "\\g<%s>" % m.group(1),
                  _as_text(replacement))
    return _regex(pattern).sub(repl, _as_text(s))


def _format_number(x, pattern):
    # A printf-style pattern with one conversion.
    x = _parse_number(x)
    pattern = _as_text(pattern)
    m = re.fullmatch(r"([^%]*)%([-+ 0#]*)(\d*)(?:\.(\d+))?([diouxXeEfFgG])([^%]*)", pattern)
    if m is None:
        raise Unsupported("formatNumber pattern %r" % pattern)
    conv = m.group(5)
    arg = int(x) if conv in "diouxX" else x
    conversion = "%" + m.group(2) + m.group(3) + ("." + m.group(4) if m.group(4) is not None else "") + conv
    return m.group(1) + conversion % arg + m.group(6)


def _in_set(values):
    if len(values) < 2:
        raise ValueError("isIn needs a value and at least one member")
    if values[0] is None:
        return None
    return any(v is not None and _same(values[0], v) for v in values[1:])


_BUILTINS = {
    "+": _numeric(2, lambda a, b: a + b),
    "-": _numeric(2, lambda a, b: a - b),
    "*": _numeric(2, lambda a, b: a * b),
    "/": _numeric(2, _divide),
    "min": _aggregate(min),
    "max": _aggregate(max),
    "sum": _aggregate(_sum),
    "avg": _aggregate(lambda xs: _sum(xs) / len(xs)),
    "median": _aggregate(_median),
    "product": _aggregate(_product),
    "log10": _numeric(1, _log(math.log10)),
    "ln": _numeric(1, _log(math.log)),
    "sqrt": _numeric(1, lambda x: math.sqrt(x) if x >= 0 else math.nan),
    "abs": _numeric(1, abs),
    "exp": _numeric(1, _guarded(math.exp)),
    "pow": _numeric(2, _guarded(math.pow)),
    "threshold": _numeric(2, lambda x, y: 1.0 if x > y else 0.0),
    "floor": _numeric(1, lambda x: float(math.floor(x))),
    "ceil": _numeric(1, lambda x: float(math.ceil(x))),
    "round": _numeric(1, _round),
    "isMissing": lambda vs: vs[0] is None if len(vs) == 1 else _arity_error(vs),
    "isNotMissing": lambda vs: vs[0] is not None if len(vs) == 1 else _arity_error(vs),
    "equal": _strict(2, lambda a, b: _order(a, b) == 0),
    "notEqual": _strict(2, lambda a, b: _order(a, b) != 0),
    "lessThan": _strict(2, lambda a, b: _order(a, b) < 0),
    "lessOrEqual": _strict(2, lambda a, b: _order(a, b) <= 0),
    "greaterThan": _strict(2, lambda a, b: _order(a, b) > 0),
    "greaterOrEqual": _strict(2, lambda a, b: _order(a, b) >= 0),
    # Nothing is said of missing arguments to and/or, so the general rule holds: missing in, missing out.
    "and": _strict(None, _logical(all)),
    "or": _strict(None, _logical(any)),
    "not": _strict(1, lambda v: not _as_bool(v)),
    "isIn": _in_set,
    "isNotIn": lambda vs: (lambda r: None if r is None else not r)(_in_set(vs)),
    "uppercase": _strict(1, lambda s: _as_text(s).upper()),
    "lowercase": _strict(1, lambda s: _as_text(s).lower()),
    "substring": _strict(3, _substring),
    "trimBlanks": _strict(1, lambda s: _as_text(s).strip(" ")),  # blanks: spaces, not tabs or newlines
    "concat": _strict(None, lambda *vs: "".join(_as_text(v) for v in vs)),
    "replace": _strict(3, _replace),
    "matches": _strict(2, lambda s, p: _regex(p).search(_as_text(s)) is not None),
    "formatNumber": _strict(2, _format_number),
}


def _arity_error(values):
    raise ValueError("wrong number of arguments: %d" % len(values))


# ----------------------------------------------------------------------------------------------
# The application's own functions (see APPLICATION_DEPARTURES for what each means).

def _outlier_handle(values):
    if len(values) not in (5, 6):
        raise ValueError("outlierHandle takes a field, a treatment and three or four parameters, "
                         "not %d arguments" % len(values))
    x, treatment = values[0], values[1]
    if treatment not in ("asExtremeValues", "asMissingValues"):
        raise ValueError("outlierHandle treatment %r" % (treatment,))
    if any(v is None for v in values[2:]):
        return None
    try:
        centre, spread, factor = (_parse_number(v) for v in values[2:5])
        width = spread * factor
        if len(values) == 6:
            n = _parse_number(values[5])
            if n != 1:
                width = spread * factor / math.sqrt(n)
        if x is None:
            return None  # every test on a missing value fails: the result stays missing
        x = _parse_number(x)
    except ValueError:
        return INVALID
    low, high = centre - width, centre + width
    if x < low:
        return low if treatment == "asExtremeValues" else None
    if x > high:
        return high if treatment == "asExtremeValues" else None
    return x


def _days_between(d1, d2):
    return (d1 - d2) / _DAY


def _calendar_day(seconds):
    # The day that holds the instant (a time of day within it is dropped).
    try:
        return _DAY_ZERO + datetime.timedelta(days=math.floor(seconds / _DAY))
    except (OverflowError, ValueError):
        raise ValueError("no calendar day at %r seconds" % (seconds,))


def _of_day(seconds):
    return math.fmod(seconds, _DAY) if seconds >= 0 else seconds % _DAY


_APPLICATION_FUNCTIONS = {
    "outlierHandle": _outlier_handle,
    "date_days_difference": _numeric(2, _days_between),
    "date_months_difference": _numeric(2, lambda a, b: _days_between(a, b) / 30.4375),
    "date_years_difference": _numeric(2, lambda a, b: _days_between(a, b) / 365.25),
    "year-from-date": _numeric(1, lambda d: float(_calendar_day(d).year)),
    "month-from-date": _numeric(1, lambda d: float(_calendar_day(d).month)),
    "day-from-date": _numeric(1, lambda d: float(_calendar_day(d).day)),
    "hour-from-time": _numeric(1, lambda t: float(math.floor(_of_day(t) / 3600.0))),
    "minute-from-time": _numeric(1, lambda t: float(math.floor(_of_day(t) % 3600.0 / 60.0))),
    "second-from-time": _numeric(1, lambda t: _of_day(t) % 60.0),
    # The recasts copy their input whatever its kind (a string stays a string).
    "recast_to_scale": _strict(1, lambda v: v),
    "recast_to_ordinal": _strict(1, lambda v: v),
    "recast_to_nominal": _strict(1, lambda v: v),
}


# ----------------------------------------------------------------------------------------------
# Models

class _InvalidInput(Exception):
    """A model input is invalid: the prediction is invalid."""


def _input(env, name):
    v = env.get(name)
    if v is INVALID:
        raise _InvalidInput(name)
    return v


_PROBABILITY_LINKS = {
    "logit": lambda y: 1.0 / (1.0 + math.exp(-y)) if y > -700 else 0.0,
    "probit": lambda y: 0.5 * (1.0 + math.erf(y / math.sqrt(2.0))),
    "cloglog": lambda y: 1.0 - math.exp(-math.exp(min(y, 700.0))),
    "loglog": lambda y: math.exp(-math.exp(min(-y, 700.0))),
    "cauchit": lambda y: 0.5 + math.atan(y) / math.pi,
}


def _regression_table(table, env):
    y = _parse_number(table.get("intercept", "0"))
    for p in _kids(table, "NumericPredictor"):
        x = _input(env, p.get("name"))
        if x is None:
            return None  # a missing numeric input leaves no prediction
        try:
            y += _parse_number(p.get("coefficient")) * _parse_number(x) ** int(p.get("exponent", "1"))
        except (ValueError, ZeroDivisionError):
            raise _InvalidInput(p.get("name"))  # not a number, or zero to a negative power
    for p in _kids(table, "CategoricalPredictor"):
        v = _input(env, p.get("name"))
        if v is None:
            # Nothing says what a missing category contributes; no value is assumed.
            return None
        if _same(v, p.get("value"), env.data_type(p.get("name"))):
            y += _parse_number(p.get("coefficient"))
    for t in _kids(table, "PredictorTerm"):
        term = _parse_number(t.get("coefficient"))
        for ref in _kids(t, "FieldRef"):
            x = _input(env, ref.get("field"))
            if x is None:
                return None
            term *= _parse_number(x)
        y += term
    return y


def _regression(model, env, target_type):
    method = model.get("normalizationMethod", "none")
    tables = _kids(model, "RegressionTable")
    if model.get("functionName") == "regression":
        if len(tables) != 1:
            raise ValueError("a regression model needs one RegressionTable")
        y = _regression_table(tables[0], env)
        if y is None:
            return None
        if method == "none":
            return y
        if method == "exp":
            return math.exp(y)
        if method == "softmax":
            return _PROBABILITY_LINKS["logit"](y)  # softmax of one value is the logistic function
        if method in _PROBABILITY_LINKS:
            return _PROBABILITY_LINKS[method](y)
        raise Unsupported("normalizationMethod %s" % method)
    if model.get("functionName") != "classification":
        raise Unsupported("RegressionModel functionName %s" % model.get("functionName"))
    ys = []
    for t in tables:
        y = _regression_table(t, env)
        if y is None:
            return None
        ys.append(y)
    if method == "softmax":
        top = max(ys)
        exps = [math.exp(y - top) for y in ys]
        probs = [e / sum(exps) for e in exps]
    elif method == "none" or method in _PROBABILITY_LINKS:
        # Every category but the last has its own value; the last takes the rest.
        link = (lambda y: y) if method == "none" else _PROBABILITY_LINKS[method]
        probs = [link(y) for y in ys[:-1]]
        probs.append(1.0 - sum(probs))
    else:
        raise Unsupported("normalizationMethod %s for classification" % method)
    best = max(range(len(probs)), key=lambda i: (probs[i], -i))  # the first of equal ones wins
    return _convert(tables[best].get("targetCategory"), target_type or "string")


_TRUE, _FALSE, _UNKNOWN = True, False, None


def _predicate(el, env):
    """True, False or None (unknown)."""
    kind = _local(el.tag)
    if kind == "True":
        return _TRUE
    if kind == "False":
        return _FALSE
    if kind == "SimplePredicate":
        field, op = el.get("field"), el.get("operator")
        v = _input(env, field)
        if op == "isMissing":
            return v is None
        if op == "isNotMissing":
            return v is not None
        if v is None:
            return _UNKNOWN
        data_type = env.data_type(field)
        ref = _convert(el.get("value"), data_type) if data_type else _infer(el.get("value"))
        if ref is INVALID:
            raise ValueError("SimplePredicate value %r is not a %s" % (el.get("value"), data_type))
        c = _order(v, ref)
        ops = {"equal": c == 0, "notEqual": c != 0, "lessThan": c < 0, "lessOrEqual": c <= 0,
               "greaterThan": c > 0, "greaterOrEqual": c >= 0}
        if op not in ops:
            raise Unsupported("SimplePredicate operator %s" % op)
        return ops[op]
    if kind == "SimpleSetPredicate":
        field = el.get("field")
        v = _input(env, field)
        if v is None:
            return _UNKNOWN
        array = _kid(el, "Array")
        members = _array(array)
        found = any(_same(v, m, env.data_type(field)) for m in members)
        op = el.get("booleanOperator")
        if op not in ("isIn", "isNotIn"):
            raise Unsupported("SimpleSetPredicate booleanOperator %s" % op)
        return found if op == "isIn" else not found
    if kind == "CompoundPredicate":
        op = el.get("booleanOperator")
        parts = _kids(el)
        if op == "surrogate":
            # The first part that is not unknown decides.
            for part in parts:
                r = _predicate(part, env)
                if r is not _UNKNOWN:
                    return r
            return _UNKNOWN
        results = [_predicate(p, env) for p in parts]
        if op == "and":
            return _FALSE if _FALSE in results else (_UNKNOWN if _UNKNOWN in results else _TRUE)
        if op == "or":
            return _TRUE if _TRUE in results else (_UNKNOWN if _UNKNOWN in results else _FALSE)
        if op == "xor":
            return _UNKNOWN if _UNKNOWN in results else (results.count(_TRUE) % 2 == 1)
        raise Unsupported("CompoundPredicate booleanOperator %s" % op)
    raise Unsupported("predicate %s" % kind)


def _array(el):
    """The members of an Array: blank-separated, a member with blanks written in double quotes."""
    if el is None:
        raise ValueError("SimpleSetPredicate without Array")
    text = el.text or ""
    members = [m.group(1).replace('\\"', '"') if m.group(1) is not None else m.group(2)
               for m in re.finditer(r'"((?:[^"\\]|\\.)*)"|(\S+)', text)]
    return members


def _node_score(node, target_type):
    score = node.get("score")
    if score is None:
        dists = _kids(node, "ScoreDistribution")
        if not dists:
            return None
        best = max(range(len(dists)), key=lambda i: (_parse_number(dists[i].get("recordCount")), -i))
        score = dists[best].get("value")
    return _convert(score, target_type or "string")


def _tree(model, env, target_type):
    strategy = model.get("missingValueStrategy", "none")
    if strategy not in ("none", "nullPrediction", "lastPrediction", "defaultChild"):
        raise Unsupported("missingValueStrategy %s" % strategy)
    no_true_child = model.get("noTrueChildStrategy", "returnNullPrediction")
    if no_true_child not in ("returnNullPrediction", "returnLastPrediction"):
        raise Unsupported("noTrueChildStrategy %s" % no_true_child)
    node = _kid(model, "Node")
    root_pred = _predicate(_predicate_of(node), env)
    if root_pred is not _TRUE:
        return None
    while True:
        children = _kids(node, "Node")
        if not children:
            return _node_score(node, target_type)
        chosen = None
        for child in children:
            r = _predicate(_predicate_of(child), env)
            if r is _TRUE:
                chosen = child
                break
            if r is _UNKNOWN:
                if strategy == "nullPrediction":
                    return None
                if strategy == "lastPrediction":
                    return _node_score(node, target_type)
                if strategy == "defaultChild":
                    wanted = node.get("defaultChild")
                    chosen = next((c for c in children if c.get("id") == wanted), None)
                    if chosen is None:
                        raise ValueError("defaultChild %r is not a child" % wanted)
                    break
                # "none": a comparison with a missing value is false; go on with the next child.
                # Inside a compound predicate it stays unknown, so that a surrogate passes on to
                # its next part, which "false" would not let it do.
        if chosen is None:
            if no_true_child == "returnLastPrediction":
                return _node_score(node, target_type)
            return None
        node = chosen


_PREDICATES = ("SimplePredicate", "CompoundPredicate", "SimpleSetPredicate", "True", "False")


def _predicate_of(node):
    for child in _kids(node):
        if _local(child.tag) in _PREDICATES:
            return child
    raise ValueError("Node without predicate")


def _apply_targets(model, value, target_name):
    targets = _kid(model, "Targets")
    if targets is None or not _is_number(value):
        return value
    for t in _kids(targets, "Target"):
        if t.get("field") not in (None, target_name):
            continue
        value = (value * _parse_number(t.get("rescaleFactor", "1"))
                 + _parse_number(t.get("rescaleConstant", "0")))
        if t.get("min") is not None:
            value = max(value, _parse_number(t.get("min")))
        if t.get("max") is not None:
            value = min(value, _parse_number(t.get("max")))
        cast = t.get("castInteger")
        if cast is not None:
            value = {"round": _round, "ceiling": math.ceil, "floor": math.floor}[cast](value) * 1.0
    return value


# ----------------------------------------------------------------------------------------------
# Public interface

class PmmlDocument:
    def __init__(self, doc):
        self._doc = doc

    def derived_values(self, row, hold=None):
        """Every DerivedField of the TransformationDictionary, name -> value. With `hold`, each
        field's value v becomes hold(name, v) before it is reported or read by another field: for
        a consumer that stores every field in a variable that cannot hold every PMML value."""
        env = _Row(self._doc, row)
        env.hold = hold
        return {name: env.get(name) for name in self._doc.derived}

    def score(self, row):
        """The prediction of the document's first model (RegressionModel or TreeModel)."""
        model = self._doc.model
        if model is None:
            raise Unsupported("no model in the document")
        kind = _local(model.tag)
        if kind not in ("RegressionModel", "TreeModel"):
            raise Unsupported("model %s" % kind)
        schema = _kid(model, "MiningSchema")
        mining, target = {}, None
        for mf in _kids(schema, "MiningField") if schema is not None else []:
            if mf.get("usageType", "active") in ("predicted", "target"):
                target = target or mf.get("name")
            else:
                mining[mf.get("name")] = mf
        local = {}
        lt = _kid(model, "LocalTransformations")
        if lt is not None:
            for f in _kids(lt, "DerivedField"):
                local.setdefault(f.get("name"), f)
        env = _Row(self._doc, row, local=local, mining=mining)
        target_type = env.data_type(target) if target is not None else None
        if target_type is None and model.get("functionName") == "regression":
            target_type = "double"
        try:
            if kind == "RegressionModel":
                value = _regression(model, env, target_type)
            else:
                value = _tree(model, env, target_type)
        except _InvalidInput:
            return INVALID
        return _apply_targets(model, value, target)


def builtin(name):
    """A built-in function as a callable on its argument values (None for missing), for asking
    what another evaluator would give under this function's rule."""
    fn = _BUILTINS[name]
    return lambda *values: fn(list(values))


def load(text, follow_application=True):
    """Parses a PMML document (XML text; namespaces are ignored)."""
    if isinstance(text, str):
        text = text.encode("utf-8")
    root = ET.fromstring(text)
    return PmmlDocument(_Document(root, follow_application))

#!/usr/bin/python3
"""Differential test of the merge: the merged document scores like the transformation followed by
the model.

Each case is a random transformation (a TransformationDictionary over two to four raw fields with
user-missing codes: Discretize, MapValues, NormContinuous, Apply with arithmetic, if and isMissing,
chains of derived fields) and a random model over it (RegressionModel or TreeModel) that reads
derived and raw inputs, with missing value replacements, invalid value treatments, outlier
treatments and missing codes of its own on the derived inputs. For random rows that hit the bounds,
the missing codes and missing values, two scores must be equal:

  (a) the transformation evaluated on the row, its derived values fed to the model as its inputs;
  (b) the document `pmmlxform merge TRANSFORMATION MODEL` writes, scored from the raw row.

Both are computed by the reference evaluator tests/oracles/pmml_eval.py as a plain PMML consumer
(vendor extensions ignored), since the merged document must mean the same to any standard scorer.

Usage: merge_diff.py --tool PMMLXFORM [--cases N] [--seed S] [--out DIR]
       merge_diff.py --tool PMMLXFORM --replay DIR
A failing case is saved under DIR/case-<seed>-<n>/ (documents, rows, both results); --replay runs
saved cases again (DIR is one case or a directory of cases). The cases under
tests/data/differential/merge/ (cases that once failed) run first in every run. Exit 1 when any case
fails.
"""

import argparse
import collections
import json
import os
import random
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE_DIR, "tests", "oracles"))
import pmml_eval  # noqa: E402

FIXED_SEEDS = (1, 2, 3, 5, 8)
ROWS_PER_CASE = 40
NS = "http://www.dmg.org/PMML-4_3"
XSD = os.path.join(SOURCE_DIR, "tests", "data", "pmml-xsd", "pmml-4-3.xsd")
# Cases that once failed, run first in every run.
REGRESSION_DIR = os.path.join(SOURCE_DIR, "tests", "data", "differential", "merge")
# Every VALIDATE_EVERY-th case's merged document is also checked against the PMML schema.
VALIDATE_EVERY = 10

# What the generator leaves out, and why:
# - A derived value that is invalid (a division by zero): the transformation's scorer answers an
#   invalid result for it, which is no value a model can be fed. Divisors are non-zero constants.
# - invalidValueTreatment "returnInvalid" (the default) where the model's field lists its valid
#   values: an expression cannot return an invalid result, so the merged document scores such a
#   value as it is (docs/known-limits.md). Such inputs always say "asIs" or "asMissing".
# - A raw field that the model declares with other missing codes than the transformation: the
#   merged document has one DataField per name and keeps the model's (docs/known-limits.md).
# - A treatment (replacement, invalid value treatment) of a raw field that the model reads and the
#   transformation reads too: the merged document has one MiningField per raw field, and its
#   treatment reaches every reader of the field, derived fields included (docs/known-limits.md).


# ------------------------------------------------------------------------------------------------
# XML writing

def esc(text):
    return (str(text).replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")
            .replace('"', "&quot;"))


def attrs(**kw):
    return "".join(f' {k.rstrip("_")}="{esc(v)}"' for k, v in kw.items() if v is not None)


def el(tag, body="", **kw):
    """An element with its attributes (those given as None left out) and its content."""
    return f"<{tag}{attrs(**kw)}>{body}</{tag}>" if body else f"<{tag}{attrs(**kw)}/>"


def num(x):
    """A number as PMML text: integers without a fraction."""
    return str(int(x)) if float(x).is_integer() else repr(float(x))


# ------------------------------------------------------------------------------------------------
# Generation

NUMBERS = (-10, -1, 0, 1, 2.5, 5, 10, 20, 50, 99, 100, 999)
CODES = ("a", "b", "c", "dk", "zz")


class Field:
    """A generated field: its name, kind ("num" or "str"), the values it can take and how it is
    written."""

    def __init__(self, name, kind, values, xml=""):
        self.name, self.kind, self.values, self.xml = name, kind, list(values), xml

    @property
    def data_type(self):
        return "double" if self.kind == "num" else "string"

    @property
    def optype(self):
        return "continuous" if self.kind == "num" else "categorical"


def gen_raw(rng, index, taken):
    kind = rng.choice(("num", "num", "str"))
    name = f"r{index}"
    if kind == "num":
        missing = rng.sample((-1, 99, 999), rng.randint(0, 2))
        values = list(NUMBERS) + [m for m in missing]
        body = "".join(f'<Value value="{num(m)}" property="missing"/>' for m in missing)
        if rng.random() < 0.2:
            body = el("Interval", closure="closedClosed", leftMargin=0, rightMargin=100) + body
        if rng.random() < 0.2:
            # A missing range as the transform job writes it, which the application reads.
            lo, hi = rng.choice(((-10, -1), (99, 999), (-1.79769313486231e308, -5)))
            body = (el("Extension", extender="pmmlxform", name="invalidRangeLower", value=num(lo))
                    + el("Extension", extender="pmmlxform", name="invalidRangeUpper", value=num(hi))
                    + body)
    else:
        missing = rng.sample(("dk", "zz"), rng.randint(0, 1))
        values = list(CODES)
        body = ""
        if rng.random() < 0.3:
            # Valid values that leave some codes out: the transformation reads those as they are.
            body = "".join(f'<Value value="{v}"/>' for v in ("a", "b"))
        body += "".join(f'<Value value="{m}" property="missing"/>' for m in missing)
    f = Field(name, kind, values)
    f.body = body
    f.xml = el("DataField", body, name=name, optype=f.optype, dataType=f.data_type)
    return f


def interval(rng, lo, hi):
    closure = rng.choice(("openOpen", "openClosed", "closedOpen", "closedClosed"))
    return el("Interval", closure=closure, leftMargin=num(lo) if lo is not None else None,
              rightMargin=num(hi) if hi is not None else None)


def field_ref(f):
    return f'<FieldRef field="{esc(f.name)}"/>'


def gen_discretize(rng, name, source):
    cuts = sorted(rng.sample(NUMBERS, rng.randint(1, 3)))
    as_text = rng.random() < 0.5
    bins, outputs = [], []
    edges = [None] + cuts + [None]
    for i in range(len(edges) - 1):
        if rng.random() < 0.15:
            continue  # a gap: its values take defaultValue
        out = f"bin{i}" if as_text else num(i * 10)
        outputs.append(out)
        bins.append(el("DiscretizeBin", interval(rng, edges[i], edges[i + 1]), binValue=out))
    kind = "str" if as_text else "num"
    extra = {}
    if rng.random() < 0.5:
        extra["mapMissingTo"] = "miss" if as_text else "-5"
        outputs.append(extra["mapMissingTo"])
    if rng.random() < 0.5:
        extra["defaultValue"] = "other" if as_text else "77"
        outputs.append(extra["defaultValue"])
    f = Field(name, kind, outputs)
    expr = f'<Discretize{attrs(field=source.name, **extra)}>{"".join(bins)}</Discretize>'
    f.xml = el("DerivedField", expr, name=name, optype=f.optype, dataType=f.data_type)
    return f


def gen_map_values(rng, name, source):
    keys = rng.sample(source.values, min(len(source.values), rng.randint(1, 4)))
    as_text = rng.random() < 0.5
    outputs, rows = [], []
    for i, k in enumerate(keys):
        out = rng.choice(("x", "y", "z")) if as_text else num(rng.choice((1, 2, 3, 40)))
        outputs.append(out)
        key = num(k) if source.kind == "num" else k
        rows.append(f"<row><in>{esc(key)}</in><out>{esc(out)}</out></row>")
    extra = {}
    if rng.random() < 0.5:
        extra["mapMissingTo"] = "m" if as_text else "-2"
        outputs.append(extra["mapMissingTo"])
    if rng.random() < 0.6:
        extra["defaultValue"] = "d" if as_text else "9"
        outputs.append(extra["defaultValue"])
    kind = "str" if as_text else "num"
    f = Field(name, kind, outputs)
    dt = "string" if as_text else "double"
    expr = (f'<MapValues{attrs(outputColumn="out", dataType=dt, **extra)}>'
            f'<FieldColumnPair field="{esc(source.name)}" column="in"/>'
            f'<InlineTable>{"".join(rows)}</InlineTable></MapValues>')
    f.xml = el("DerivedField", expr, name=name, optype=f.optype, dataType=f.data_type)
    return f


def gen_norm(rng, name, source):
    origs = sorted(rng.sample(NUMBERS, rng.randint(2, 3)))
    norms = [rng.choice((0, 0.5, 1, 2, 10)) for _ in origs]
    points = "".join(f'<LinearNorm orig="{num(o)}" norm="{num(n)}"/>' for o, n in zip(origs, norms))
    extra = {"outliers": rng.choice((None, "asIs", "asMissingValues", "asExtremeValues"))}
    if rng.random() < 0.4:
        extra["mapMissingTo"] = "-3"
    f = Field(name, "num", norms + [0.25, -3])
    f.xml = el("DerivedField", el("NormContinuous", points, field=source.name, **extra),
               name=name, optype="continuous", dataType="double")
    return f


def gen_apply(rng, name, numeric):
    a, b = rng.choice(numeric), rng.choice(numeric)
    c = num(rng.choice((1, 2, 5, 10)))
    shape = rng.choice(("arith", "arith", "if", "ismissing", "divide"))
    if shape == "arith":
        fn = rng.choice(("+", "-", "*"))
        other = field_ref(b) if rng.random() < 0.5 else f"<Constant>{c}</Constant>"
        expr = el("Apply", field_ref(a) + other, function=fn)
    elif shape == "divide":
        expr = f'<Apply function="/">{field_ref(a)}<Constant>{c}</Constant></Apply>'
    elif shape == "if":
        bound = num(rng.choice(NUMBERS))
        cond = el("Apply", f"{field_ref(a)}<Constant>{bound}</Constant>", function="greaterThan")
        other = f"<Constant>{c}</Constant>" if rng.random() < 0.7 else ""
        expr = f'<Apply function="if">{cond}{field_ref(b)}{other}</Apply>'
    else:
        expr = (f'<Apply function="if"><Apply function="isMissing">{field_ref(a)}</Apply>'
                f'<Constant>{c}</Constant>{field_ref(a)}</Apply>')
    extra = {}
    if rng.random() < 0.3:
        extra["mapMissingTo"] = "-4"
    if extra:
        expr = expr.replace("<Apply function", f'<Apply{attrs(**extra)} function', 1)
    f = Field(name, "num", [1, 2, 5, 10, -4, 0, 20, 100])
    f.xml = el("DerivedField", expr, name=name, optype="continuous", dataType="double")
    return f


def gen_transformation(rng):
    raws = [gen_raw(rng, i + 1, set()) for i in range(rng.randint(2, 4))]
    derived = []
    for i in range(rng.randint(2, 5)):
        name = f"d{i + 1}"
        pool = raws + derived
        numeric = [f for f in pool if f.kind == "num"] or [raws[0]]
        kind = rng.choice(("discretize", "map", "norm", "apply", "apply"))
        if kind == "map":
            derived.append(gen_map_values(rng, name, rng.choice(pool)))
        elif not [f for f in pool if f.kind == "num"]:
            derived.append(gen_map_values(rng, name, rng.choice(pool)))
        elif kind == "discretize":
            derived.append(gen_discretize(rng, name, rng.choice(numeric)))
        elif kind == "norm":
            derived.append(gen_norm(rng, name, rng.choice(numeric)))
        else:
            derived.append(gen_apply(rng, name, numeric))
    for f in raws:
        f.read_by_transformation = any(f'field="{f.name}"' in d.xml for d in derived)
    # Now and then a raw field takes the name the merge would give an untreated copy.
    if rng.random() < 0.15:
        raws[-1].name = derived[0].name + "_untreated"
        raws[-1].xml = raws[-1].xml.replace(f'name="r{len(raws)}"', f'name="{raws[-1].name}"')
        for d in derived:
            d.xml = d.xml.replace(f'field="r{len(raws)}"', f'field="{raws[-1].name}"')
    text = (f'<PMML version="4.3" xmlns="{NS}"><Header/>'
            + el("DataDictionary", "".join(f.xml for f in raws), numberOfFields=len(raws))
            + el("TransformationDictionary", "".join(f.xml for f in derived)) + "</PMML>")
    return raws, derived, text


def gen_model_field(rng, field, derived):
    """The model's DataField and MiningField of one input, and the values rows should hit."""
    values = [v for v in field.values]
    body, mf = "", {"name": field.name}
    if not derived:
        # A raw input: the model declares it as the transformation does.
        body = field.body
        if not field.read_by_transformation:
            if rng.random() < 0.4:
                mf["missingValueReplacement"] = "3" if field.kind == "num" else "b"
        elif "<Interval" in body or '"/>' in body.replace('property="missing"/>', ""):
            # Its treatment would reach the transformation's fields too (see the top).
            mf["invalidValueTreatment"] = "asIs"
        return body, mf
    missing = []
    if rng.random() < 0.6 and values:
        missing = rng.sample(values, rng.randint(1, min(2, len(values))))
    lists = False
    if field.kind == "str":
        if rng.random() < 0.4:
            valid = [v for v in values if v not in missing]
            valid = rng.sample(valid, max(0, len(valid) - rng.randint(0, 2))) if valid else []
            body += "".join(f'<Value value="{esc(v)}"/>' for v in sorted(set(valid)))
            lists = lists or bool(valid)
        if rng.random() < 0.2:
            body += '<Value value="y" property="invalid"/>'
            lists = True
    else:
        bounds = sorted(set(float(v) for v in values))
        if len(bounds) < 3:
            bounds = sorted(set(bounds) | set(map(float, NUMBERS)))
        if rng.random() < 0.4:
            lo, hi = sorted(rng.sample(bounds, 2))
            body = interval(rng, lo if rng.random() < 0.8 else None, hi) + body
            lists = True
            if rng.random() < 0.3:
                body += f'<Value value="{num(rng.choice(values))}"/>'
        if rng.random() < 0.2:
            body += f'<Value value="{num(rng.choice(values))}" property="invalid"/>'
            lists = True
    body += "".join(el("Value", value=num(m) if field.kind == "num" else m, property="missing")
                    for m in missing)
    # Replacements and outlier bounds differ from the model's missing codes: the application reads
    # those codes on the derived field the model sees (docs/known-limits.md).
    taken = {float(m) for m in missing} if field.kind == "num" else set(missing)
    replacement_pool = ([v for v in (3, 7.5, 1000) if v not in taken] if field.kind == "num"
                        else [v for v in ("b", "r", "x") if v not in taken])
    if rng.random() < 0.6:
        r = rng.choice(replacement_pool)
        mf["missingValueReplacement"] = num(r) if field.kind == "num" else r
    if rng.random() < 0.3:
        mf["missingValueTreatment"] = rng.choice(
            ("asIs", "asMean", "asMode", "asMedian", "asValue"))
    if lists:
        mf["invalidValueTreatment"] = rng.choice(("asIs", "asMissing"))
    elif rng.random() < 0.5:
        mf["invalidValueTreatment"] = rng.choice(("returnInvalid", "asIs", "asMissing"))
    if field.kind == "num" and rng.random() < 0.3:
        mf["outliers"] = rng.choice(("asIs", "asMissingValues", "asExtremeValues"))
        lo, hi = sorted(rng.sample(bounds, 2))
        bound_pool = [b for b in (lo, hi) if b not in taken]
        if lo in bound_pool and rng.random() < 0.8:
            mf["lowValue"] = num(lo)
        if hi in bound_pool and rng.random() < 0.8:
            mf["highValue"] = num(hi)
    return body, mf


def predicate(rng, f):
    op = rng.choice(
        ("equal", "notEqual", "lessThan", "greaterOrEqual", "isMissing", "isNotMissing"))
    if f.kind == "str" and op in ("lessThan", "greaterOrEqual"):
        op = "equal"
    if op in ("isMissing", "isNotMissing"):
        return f'<SimplePredicate{attrs(field=f.name, operator=op)}/>'
    v = rng.choice(f.values + ([3, 7.5, 1000] if f.kind == "num" else ["b", "x"]))
    return el("SimplePredicate", field=f.name, operator=op,
              value=num(v) if f.kind == "num" else v)


def gen_tree(rng, inputs, depth=0):
    if depth >= 2 or rng.random() < 0.3:
        return ""
    kids = []
    for i in range(rng.randint(1, 3)):
        pred = predicate(rng, rng.choice(inputs)) if rng.random() < 0.9 else "<True/>"
        score = num(rng.choice((1, 2, 3, 4, 5)))
        kids.append(el("Node", pred + gen_tree(rng, inputs, depth + 1), score=score))
    return "".join(kids)


def gen_model(rng, raws, derived):
    chosen = rng.sample(derived, rng.randint(1, min(3, len(derived))))
    if rng.random() < 0.4:
        chosen.append(rng.choice(raws))
    chosen.sort(key=lambda f: f.name)
    fields, mining = [], []
    for f in chosen:
        body, mf = gen_model_field(rng, f, f in derived)
        fields.append(el("DataField", body, name=f.name, optype=f.optype, dataType=f.data_type))
        mining.append(f"<MiningField{attrs(**mf)}/>")
    fields.append('<DataField name="y" optype="continuous" dataType="double"/>')
    mining.append('<MiningField name="y" usageType="predicted"/>')
    local, inputs = "", list(chosen)
    numeric = [f for f in chosen if f.kind == "num"]
    if numeric and rng.random() < 0.3:
        # The model's own transformation of a derived input reads the treated value.
        src = rng.choice(numeric)
        doubled = el("Apply", f"{field_ref(src)}<Constant>2</Constant>", function="*")
        local = el("LocalTransformations",
                   el("DerivedField", doubled, name="lt", optype="continuous", dataType="double"))
        doubles = [v * 2 for v in src.values if isinstance(v, (int, float))]
        inputs.append(Field("lt", "num", doubles or [0]))
    schema = f'<MiningSchema>{"".join(mining)}</MiningSchema>'
    if rng.random() < 0.5:
        numeric_preds, categorical_preds = [], []
        for f in inputs:
            if f.kind == "num":
                coefficient = num(rng.choice((0.5, 1, 2, -3)))
                numeric_preds.append(el("NumericPredictor", name=f.name, coefficient=coefficient))
            else:
                for v in rng.sample(f.values, min(2, len(f.values))):
                    coefficient = num(rng.choice((1, 4, -2)))
                    categorical_preds.append(
                        el("CategoricalPredictor", name=f.name, value=v, coefficient=coefficient))
        preds = numeric_preds + categorical_preds
        table = el("RegressionTable", "".join(preds), intercept=num(rng.choice((0, 1, 10))))
        model = el("RegressionModel", schema + local + table, functionName="regression")
    else:
        strategy = rng.choice((None, "none", "nullPrediction", "lastPrediction"))
        no_true = rng.choice((None, "returnNullPrediction", "returnLastPrediction"))
        tree = f'<Node score="0"><True/>{gen_tree(rng, inputs)}</Node>'
        model = el("TreeModel", schema + local + tree, functionName="regression",
                   missingValueStrategy=strategy, noTrueChildStrategy=no_true)
    return (f'<PMML version="4.3" xmlns="{NS}"><Header/>'
            + el("DataDictionary", "".join(fields), numberOfFields=len(fields)) + model + "</PMML>")


def gen_rows(rng, raws):
    rows = []
    for _ in range(ROWS_PER_CASE):
        row = {}
        for f in raws:
            pick = rng.random()
            if pick < 0.1:
                v = None
            elif f.kind == "num":
                base = rng.choice(f.values)
                v = float(base) + (rng.choice((-0.5, 0.5)) if pick > 0.8 else 0.0)
            else:
                v = rng.choice(f.values)
            if v is not None:
                row[f.name] = v
        rows.append(row)
    return rows


def generate(seed, n):
    rng = random.Random(f"merge:{seed}:{n}")
    raws, derived, trans = gen_transformation(rng)
    rows = gen_rows(rng, raws)
    # The values the derived fields take on these rows, so that the model's missing values, valid
    # values, intervals and bounds are met exactly and on either side.
    doc = pmml_eval.load(trans, follow_application=False)
    for row in rows:
        computed = doc.derived_values(row)
        for f in derived:
            v = computed[f.name]
            if v is None or v is pmml_eval.INVALID:
                continue
            text = num(v) if f.kind == "num" else v
            if text not in f.values:
                f.values.append(text)
    return trans, gen_model(rng, raws, derived), rows


# ------------------------------------------------------------------------------------------------
# Scoring

def comparable(v):
    if v is True:
        return 1.0
    if v is False:
        return 0.0
    if v is pmml_eval.INVALID:
        return "INVALID"
    return v


def reference(trans_doc, model_doc, row):
    """The transformation evaluated on the row, its derived values fed to the model."""
    derived = trans_doc.derived_values(row)
    inputs = dict(row)
    inputs.update({k: v for k, v in derived.items()})
    inputs = {k: v for k, v in inputs.items() if v is not None}
    return comparable(model_doc.score(inputs))


def kind_of(v):
    if v is None:
        return "missing"
    if v == "INVALID":
        return "invalid"
    return "value"


def run_case(tool, trans, model, rows, workdir, validate):
    """[(row, expected, got)] of the rows that disagree, and a failure class for each; or the
    class of a failure of the whole case."""
    tpath, mpath, out = (os.path.join(workdir, n)
                         for n in ("transformation.pmml", "model.pmml", "merged.pmml"))
    with open(tpath, "w") as f:
        f.write(trans)
    with open(mpath, "w") as f:
        f.write(model)
    proc = subprocess.run([tool, "merge", tpath, mpath, "-o", out], capture_output=True, text=True,
                          timeout=60)
    if proc.returncode != 0:
        return [], [f"merge exit {proc.returncode}"], None
    with open(out) as f:
        merged = f.read()
    classes, bad = [], []
    if validate and shutil.which("xmllint") and os.path.exists(XSD):
        check = subprocess.run(["xmllint", "--noout", "--schema", XSD, out],
                               capture_output=True, text=True)
        if check.returncode != 0:
            classes.append("merged document not schema-valid")
            bad.append({"schema": check.stderr[-2000:]})
    # A standard scorer ignores the vendor extensions; the application reads them (missing ranges,
    # the model's missing codes on a derived field). Both must agree.
    for application in (False, True):
        mode = "application" if application else "standard"
        try:
            tdoc = pmml_eval.load(trans, follow_application=application)
            mdoc = pmml_eval.load(model, follow_application=application)
            gdoc = pmml_eval.load(merged, follow_application=application)
            for row in rows:
                expected = reference(tdoc, mdoc, row)
                got = comparable(gdoc.score(row))
                if expected != got:
                    bad.append({"mode": mode, "row": row, "expected": expected, "got": got})
                    classes.append(f"{mode}: transformation-then-model {kind_of(expected)}, "
                                   f"merged {kind_of(got)}")
        except pmml_eval.Unsupported as e:
            return bad, classes + [f"oracle unsupported: {e}"], merged
    return bad, classes, merged


def save_case(out_dir, name, trans, model, rows, merged, bad):
    d = os.path.join(out_dir, name)
    os.makedirs(d, exist_ok=True)
    documents = (("transformation.pmml", trans), ("model.pmml", model), ("merged.pmml", merged))
    for fname, text in documents:
        if text is not None:
            with open(os.path.join(d, fname), "w") as f:
                f.write(text)
    with open(os.path.join(d, "rows.json"), "w") as f:
        json.dump(rows, f, indent=1)
    with open(os.path.join(d, "results.json"), "w") as f:
        json.dump(bad, f, indent=1, default=str)
    return d


def load_case(d):
    with open(os.path.join(d, "transformation.pmml")) as f:
        trans = f.read()
    with open(os.path.join(d, "model.pmml")) as f:
        model = f.read()
    with open(os.path.join(d, "rows.json")) as f:
        rows = json.load(f)
    return trans, model, rows


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--tool", required=True)
    p.add_argument("--cases", type=int, default=100)
    p.add_argument("--seed", type=int, help="the run's own seed (random when not given)")
    p.add_argument("--out", default=os.path.join(os.getcwd(), "differential", "merge"))
    p.add_argument("--replay", metavar="DIR")
    p.add_argument("--verbose", action="store_true")
    args = p.parse_args()
    if not os.access(args.tool, os.X_OK):
        p.error(f"--tool {args.tool}: not an executable file")

    def saved(directory):
        if os.path.exists(os.path.join(directory, "model.pmml")):
            dirs = [directory]
        else:
            dirs = sorted(os.path.join(directory, d) for d in os.listdir(directory)
                          if os.path.exists(os.path.join(directory, d, "model.pmml")))
        return [(os.path.basename(d), lambda d=d: load_case(d)) for d in dirs]

    if args.replay:
        cases = saved(args.replay)
    else:
        # The failing cases of an earlier run go; the new run's take their place.
        if os.path.isdir(args.out):
            for d in os.listdir(args.out):
                if d.startswith("case-") or os.path.isdir(os.path.join(REGRESSION_DIR, d)):
                    shutil.rmtree(os.path.join(args.out, d), ignore_errors=True)
        run_seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 10**9)
        print(f"run seed {run_seed} (repeat with --seed {run_seed})", flush=True)
        seeds = list(FIXED_SEEDS) + [run_seed]
        cases = saved(REGRESSION_DIR) if os.path.isdir(REGRESSION_DIR) else []
        cases += [(f"case-{seeds[i % len(seeds)]}-{i // len(seeds)}",
                   lambda s=seeds[i % len(seeds)], n=i // len(seeds): generate(s, n))
                  for i in range(args.cases)]

    passed, failed = 0, 0
    tally = collections.Counter()
    with tempfile.TemporaryDirectory() as work:
        for index, (name, make) in enumerate(cases):
            trans, model, rows = make()
            bad, classes, merged = run_case(args.tool, trans, model, rows, work,
                                            validate=index % VALIDATE_EVERY == 0)
            if not classes:
                passed += 1
                continue
            failed += 1
            for c in set(classes):
                tally[c] += 1
            d = save_case(args.out, name, trans, model, rows, merged, bad)
            print(f"FAIL {name}: {sorted(set(classes))} (saved in {d})")
            if args.verbose:
                for b in bad[:5]:
                    print("   ", b)
    if failed:
        print("failures by class (cases):")
        for c, n in tally.most_common():
            print(f"  {n:5d}  {c}")
    print(f"{passed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())

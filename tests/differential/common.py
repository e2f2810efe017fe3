"""Shared machinery of the differential tests: command line, seeds, running the
tool, comparing values, saving and replaying cases, and the closing tally.

A differential test generates a document, runs one job of the tool on it, and
evaluates both the document and the tool's output with independent oracles on
the same rows; every value must agree. A case that disagrees is saved under
--out so that --replay runs exactly it again; a case copied into
tests/data/differential/<job>/ runs first in every run.
"""

import argparse
import collections
import json
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import traceback

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.dirname(os.path.dirname(HERE))
ORACLE_DIR = os.path.join(SOURCE_DIR, "tests", "oracles")
REGRESSION_DIR = os.path.join(SOURCE_DIR, "tests", "data", "differential")

# Every run generates cases from these seeds and from one more seed, random
# unless --seed names it, so that a run both repeats known ground and covers
# new ground; the seed is printed so that a run can be repeated.
FIXED_SEEDS = (1, 2, 3, 5, 8, 13, 21, 34, 55, 89)

# Relative difference allowed between two results of floating-point functions
# (logarithms, powers, roots, division, means): the two evaluators may round
# differently in the last bits, never more.
FLOAT_TOLERANCE = 1e-9

ROWS_FILE = "rows.json"
TOOL_TIMEOUT = 60


def import_oracles(*names):
    """The oracle modules, from tests/oracles/."""
    if ORACLE_DIR not in sys.path:
        sys.path.insert(0, ORACLE_DIR)
    modules = []
    for name in names:
        try:
            modules.append(__import__(name))
        except ImportError as e:
            sys.exit(f"cannot import the oracle {name} from {ORACLE_DIR}: {e}")
    return modules


def parse_args(job, description):
    p = argparse.ArgumentParser(description=description)
    p.add_argument("--tool", required=True, help="the pmmlxform executable")
    p.add_argument("--cases", type=int, default=100, help="number of generated cases")
    p.add_argument("--seed", type=int, help="the run's own seed (random when not given)")
    p.add_argument("--out", default=os.path.join(os.getcwd(), "differential"),
                   help="directory that receives the failing cases")
    p.add_argument("--replay", metavar="DIR",
                   help="run only the saved case in DIR (or every case directory under DIR)")
    p.add_argument("--report-only", action="store_true",
                   help="print the failures by class but exit 0")
    p.add_argument("--minimize", action="store_true",
                   help="also save, for the first failing case of each class, the case shrunk "
                        "to what still fails the same way")
    p.add_argument("--verbose", action="store_true", help="print every disagreement")
    args = p.parse_args()
    args.job = job
    args.out = os.path.join(os.path.abspath(args.out), job)
    if not os.access(args.tool, os.X_OK):
        p.error(f"--tool {args.tool}: not an executable file")
    return args


def clear_out(args):
    """Removes the failing cases an earlier run saved under --out, so that what is there is
    this run's."""
    shutil.rmtree(args.out, ignore_errors=True)


def case_seeds(args):
    """(case id, random generator) for every generated case of the run."""
    run_seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1, 10**9)
    print(f"run seed {run_seed} (repeat with --seed {run_seed})", flush=True)
    seeds = list(dict.fromkeys(FIXED_SEEDS + (run_seed,)))
    per_seed, extra = divmod(max(args.cases, 0), len(seeds))
    for k, seed in enumerate(seeds):
        # The run's own seed takes the cases that do not divide evenly.
        count = per_seed + (extra if k == len(seeds) - 1 else 0)
        for i in range(count):
            case_id = f"s{seed}-{i}"
            yield case_id, random.Random(case_id)


def regression_cases(job):
    """The directories of the fixed regression cases of a job, in name order."""
    root = os.path.join(REGRESSION_DIR, job)
    if not os.path.isdir(root):
        return []
    return [os.path.join(root, d) for d in sorted(os.listdir(root))
            if os.path.isfile(os.path.join(root, d, ROWS_FILE))]


def replay_cases(path):
    """One saved case directory, or every case directory below a directory."""
    path = os.path.abspath(path)
    if os.path.isfile(os.path.join(path, ROWS_FILE)):
        return [path]
    found = []
    for dirpath, _, files in os.walk(path):
        if ROWS_FILE in files:
            found.append(dirpath)
    if not found:
        sys.exit(f"--replay {path}: no saved case ({ROWS_FILE}) found there")
    return sorted(found)


def run_tool(argv, timeout=TOOL_TIMEOUT):
    """(exit code, standard output, standard error) of one run of the tool."""
    try:
        p = subprocess.run(argv, capture_output=True, timeout=timeout)
    except subprocess.TimeoutExpired:
        return None, "", f"timed out after {timeout} s"
    return (p.returncode, p.stdout.decode("utf-8", "replace"),
            p.stderr.decode("utf-8", "replace"))


class ScratchDir:
    """A temporary directory for one case's files, removed afterwards."""

    def __enter__(self):
        self.path = tempfile.mkdtemp(prefix="pmmlxform-diff-")
        return self.path

    def __exit__(self, *exc):
        shutil.rmtree(self.path, ignore_errors=True)


# Values ---------------------------------------------------------------------

def normalise(v):
    """Booleans of PMML expressions compare as the host's 1 and 0."""
    if isinstance(v, bool):
        return 1.0 if v else 0.0
    if isinstance(v, int):
        return float(v)
    return v


def values_equal(a, b, approx=False, scale=0.0):
    """Equal values; with approx, floats within FLOAT_TOLERANCE of the larger of the two and
    `scale` (the size of the numbers a result was computed from, where it comes out of their
    cancellation)."""
    a, b = normalise(a), normalise(b)
    if a is None or b is None:
        return a is None and b is None
    if isinstance(a, float) and isinstance(b, float):
        if a == b:
            return True
        if approx and math.isfinite(a) and math.isfinite(b):
            return abs(a - b) <= FLOAT_TOLERANCE * max(abs(a), abs(b), scale)
        return False
    return type(a) is type(b) and a == b


def show(v):
    v = normalise(v)
    if v is None or isinstance(v, str):
        return json.dumps(v, ensure_ascii=False)
    return repr(v)


def jsonable(v):
    """A value as JSON can hold it: a value of another kind (such as the PMML evaluator's
    invalid value, or a number that is not finite) as its repr text."""
    v = normalise(v)
    if v is None or isinstance(v, str) or (isinstance(v, float) and math.isfinite(v)):
        return v
    return repr(v)


def rows_to_json(rows):
    # repr of a float reads back as the same float, so nextafter points survive.
    for row in rows:
        for v in row.values():
            if isinstance(v, float) and not math.isfinite(v):
                raise ValueError(f"row value {v!r} cannot be saved")
    return json.dumps(rows, indent=1, ensure_ascii=False) + "\n"


def rows_from_json(text):
    rows = json.loads(text)
    return [{k: (float(v) if isinstance(v, int) and not isinstance(v, bool) else v)
             for k, v in row.items()} for row in rows]


def file_name(label):
    """A class label as a file name: compute-missing:/ becomes compute-missing_div."""
    for sign, word in (("*", "times"), ("/", "div"), ("+", "plus"), ("->", "_to_")):
        label = label.replace(sign, word)
    return "".join(c if c.isalnum() or c in "._-" else "_" for c in label)


def read_text(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def write_text(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# Results --------------------------------------------------------------------

class Disagreement:
    """One value on one row where the two sides differ."""

    def __init__(self, row_index, field, expected, actual, label, note=""):
        self.row_index = row_index
        self.field = field
        self.expected = expected
        self.actual = actual
        self.label = label
        self.note = note

    def line(self, expected_name, actual_name):
        text = (f"[{self.label}] row {self.row_index} {self.field}: {expected_name} "
                f"{show(self.expected)}, {actual_name} {show(self.actual)}")
        return text + (f" ({self.note})" if self.note else "")


class CaseResult:
    def __init__(self):
        self.disagreements = []      # Disagreement, counted as failures
        self.known = []              # (Disagreement, known-limit name)
        self.error = None            # a failure before any comparison: (label, text)

    @property
    def failed(self):
        return self.error is not None or bool(self.disagreements)

    def labels(self):
        if self.error is not None:
            return {self.error[0]}
        return {d.label for d in self.disagreements}


class Tally:
    def __init__(self, args):
        self.args = args
        self.passed = 0
        self.failed = 0
        self.classes = collections.Counter()      # label -> failing cases
        self.examples = {}                        # label -> first case id
        self.known = collections.Counter()        # known limit -> rows
        self.known_cases = collections.Counter()  # known limit -> cases
        self.groups = collections.defaultdict(lambda: [0, 0])  # group -> [passed, failed]
        self.known_reasons = {}                   # known limit -> why, and where it is stated

    def add(self, case_id, result, saved_dir=None, group=None):
        if group is not None:
            self.groups[group][result.failed] += 1
        for name in {k for _, k in result.known}:
            self.known_cases[name] += 1
        for _, name in result.known:
            self.known[name] += 1
        if not result.failed:
            self.passed += 1
            return
        self.failed += 1
        for label in sorted(result.labels()):
            self.classes[label] += 1
            self.examples.setdefault(label, saved_dir or case_id)

    def finish(self):
        """Prints the classes and the closing line; returns the exit code."""
        if self.known:
            print("known limits (counted apart, not failures):")
            for name in sorted(self.known):
                print(f"  {name}: {self.known[name]} rows in {self.known_cases[name]} cases")
                if name in self.known_reasons:
                    print(f"    {self.known_reasons[name]}")
        if self.classes:
            print("failures by class (cases):")
            for label, n in self.classes.most_common():
                print(f"  {label}: {n}  e.g. {self.examples[label]}")
        for group in sorted(self.groups):
            passed, failed = self.groups[group]
            print(f"  {group} cases: {passed} passed, {failed} failed")
        print(f"{self.passed} passed, {self.failed} failed", flush=True)
        if self.failed and not self.args.report_only:
            return 1
        return 0


def save_case(args, case_id, files, rows, report_lines):
    """Writes a failing case where --replay can run it again; returns its directory."""
    d = os.path.join(args.out, case_id)
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    for name, text in files.items():
        if text is not None:
            write_text(os.path.join(d, name), text)
    write_text(os.path.join(d, ROWS_FILE), rows_to_json(rows))
    write_text(os.path.join(d, "report.txt"), "\n".join(report_lines) + "\n")
    return d


def lookup(values, name):
    """(found, value) of a field by its name, the exact spelling first, then ignoring case."""
    if name in values:
        return True, values[name]
    for k, v in values.items():
        if k.lower() == name.lower():
            return True, v
    return False, None


def report_failure(args, case_id, result, files, rows, lines):
    """Saves a failing case (a replayed one is saved already), prints its labels and, when asked
    or replaying, its disagreements; returns where it is saved."""
    saved = args.replay or save_case(args, case_id, files, rows, lines)
    print(f"FAIL {case_id}: {', '.join(sorted(result.labels()))} -> {saved}", flush=True)
    if args.verbose or args.replay:
        for line in lines:
            print("   ", line)
    return saved


def guarded(label, fn, *a):
    """Runs an oracle; an exception becomes (None, (label, text))."""
    try:
        return fn(*a), None
    except Exception as e:  # noqa: BLE001 - any oracle failure is reported, not raised
        detail = "".join(traceback.format_exception_only(type(e), e)).strip()
        return None, (f"{label}:{type(e).__name__}", detail)

#!/usr/bin/env python3
"""Proves that the test suite catches a list of known faults.

Each fault in scripts/faults/*.tsv (name, file, line pattern, replacement,
TAB-separated) is applied alone to a scratch copy of the sources; the copy is
built and the suite is run, and the fault counts as caught when a test fails.
A fault whose pattern does not match exactly one line, or that does not
build, is reported as such: it proves nothing until its line is mended.

    scripts/mutate.py [-k SUBSTRING] [--scratch DIR] [--jobs N] [--workers N] [--matrix FILE]

-k picks the faults whose name, or whose list's file name, holds SUBSTRING, or
any of several separated by commas (`-k unlisted` plants every fault of
scripts/faults/unlisted.tsv).

--matrix runs the whole suite for every fault, records which test rows
(QtTest's Class::function(row), or a CTest name for other checks) fail, writes
the fault-by-row matrix to FILE as TSV (keep it out of the repository) and
prints each row's count of faults, those caught by that row alone, and the
rows that catch none.

--workers N plants N faults at a time, each in a scratch tree of its own
(DIR/w0, DIR/w1, ...): the suite mostly waits on its server, so on two cores
three workers of two jobs finish the whole list in about half the time.

The scratch tree is kept between runs (default: /tmp/tovik-mutate), so later
runs rebuild only what each fault touches.
"""
import argparse
import concurrent.futures
import glob
import queue
import os
import re
import shutil
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def load_faults(substring):
    faults = []
    for path in sorted(glob.glob(os.path.join(ROOT, "scripts", "faults", "*.tsv"))):
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            line = line.rstrip("\n")
            if not line.strip() or line.startswith("#"):
                continue
            fields = line.split("\t")
            if len(fields) != 4:
                sys.exit(f"{path}:{number}: expected 4 TAB-separated fields, found {len(fields)}")
            if any(part in fields[0] or part in os.path.basename(path) for part in substring.split(",")):
                faults.append(fields)
    return faults


def copy_sources(scratch):
    """Mirrors the working tree's tracked and new files into scratch/src."""
    src = os.path.join(scratch, "src")
    listed = subprocess.run(["git", "ls-files", "-co", "--exclude-standard"], cwd=ROOT,
                            capture_output=True, text=True, check=True).stdout.split("\n")
    for name in filter(None, listed):
        origin, copy = os.path.join(ROOT, name), os.path.join(src, name)
        if not os.path.isfile(origin):
            continue
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        if not os.path.exists(copy) or open(origin, "rb").read() != open(copy, "rb").read():
            shutil.copy(origin, copy)  # a new time, so the build sees the change
    kept = {os.path.normpath(name) for name in listed if name}
    for folder, _, names in os.walk(src):  # files renamed or removed since the last run would still build
        for name in names:
            if os.path.relpath(os.path.join(folder, name), src) not in kept:
                os.remove(os.path.join(folder, name))
    return src


def run(command, cwd):
    return subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


ROW = re.compile(r"^(?:\d+: )?(PASS|FAIL!|SKIP)\s*: (\w+::\w+\(.*?\))(?: |$)", re.M)


def build_and_test(build, jobs, rows=None):
    """The failing CTest names, [] when all pass, None when it does not build. With `rows`, a dict,
    runs everything and fills it with each QtTest row's outcome (a failed check with no row: its name)."""
    if run(["cmake", "--build", build, f"-j{jobs}"], build).returncode != 0:
        return None
    verbose = ["-V"] if rows is not None else ["--stop-on-failure"]
    result = run(["ctest", f"-j{jobs}", "--timeout", "300"] + verbose, build)
    failed = re.findall(r"\d+ - (\S+) \(", result.stdout)
    if rows is not None:
        for outcome, row in ROW.findall(result.stdout):
            rows[row] = "fail" if outcome == "FAIL!" or rows.get(row) == "fail" else outcome.lower()
        numbers = dict(re.findall(r"^\s*Start\s+(\d+): (\S+)", result.stdout, re.M))
        for test in failed:  # a crash, a time-out, or a check that is no QtTest program
            number = {name: n for n, name in numbers.items()}.get(test)
            if not re.search(rf"^{number}: FAIL!", result.stdout, re.M):
                rows[test] = "fail"
    return failed if result.returncode != 0 else []


def print_matrix(matrix, universe, path):
    """Writes the fault-by-row matrix and prints what each row earns."""
    rows = sorted(row for row in universe | {row for caught in matrix.values() for row in caught}
                  if not re.search(r"::(init|cleanup)TestCase\(|::closeModalBox\(", row))
    with open(path, "w", encoding="utf-8") as out:
        out.write("fault\t" + "\t".join(rows) + "\n")
        for fault, caught in matrix.items():
            out.write(fault + "\t" + "\t".join("x" if row in caught else "" for row in rows) + "\n")
    print(f"\nmatrix: {len(matrix)} faults x {len(rows)} rows, written to {path}")
    print("faults  alone  row (alone: faults no other row catches)")
    for row in rows:
        hits = [f for f, caught in matrix.items() if row in caught]
        alone = [f for f in hits if matrix[f] == {row}]
        print(f"{len(hits):6}  {len(alone):5}  {row}" + (f"  [{' '.join(alone)}]" if alone else ""))
    idle = [row for row in rows if not any(row in caught for caught in matrix.values())]
    print(f"rows that catch none: {len(idle)} of {len(rows)}")


def apply_fault(src, file, pattern, replacement):
    path = os.path.join(src, file)
    lines = open(path, encoding="utf-8").read().split("\n")
    matching = [i for i, line in enumerate(lines) if re.search(pattern, line)]
    if len(matching) != 1:
        return None, f"pattern matches {len(matching)} lines"
    original = "\n".join(lines)
    i = matching[0]
    lines[i] = re.sub(pattern, replacement, lines[i], count=1)
    with open(path, "w", encoding="utf-8") as out:
        out.write("\n".join(lines))
    return original, None


def prepare(scratch, jobs, matrix):
    """A scratch copy, configured, built and passing: its source and build folders, and its passing rows."""
    src = copy_sources(scratch)
    build = os.path.join(scratch, "build")
    configure = ["cmake", "--preset", "linux", "-S", src, "-B", build]  # the preset, in a folder of its own
    if shutil.which("ccache"):
        # Restoring a file after its fault rebuilds what was built before.
        configure.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
    if run(configure, ROOT).returncode != 0:
        sys.exit("mutate: cannot configure the scratch copy")
    baseline = {} if matrix else None
    if build_and_test(build, jobs, baseline) != []:
        sys.exit("mutate: the unchanged sources do not build or pass; nothing to prove")
    return src, build, baseline


def plant(fault, src, build, jobs, matrix):
    """Applies one fault, builds and tests, restores the file: (result, detail, failing rows or None)."""
    name, file, pattern, replacement = fault
    original, problem = apply_fault(src, file, pattern, replacement)
    if problem:
        return "INVALID", f"{file}: {problem}", None
    try:
        rows = {} if matrix else None
        failed = build_and_test(build, jobs, rows)
    finally:
        with open(os.path.join(src, file), "w", encoding="utf-8") as out:
            out.write(original)
    caught = {row for row, outcome in rows.items() if outcome == "fail"} if rows is not None else None
    if failed is None:
        return "INVALID", "does not build", None
    return ("caught", " ".join(failed), caught) if failed else ("MISSED", "", caught)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("-k", default="", help="only faults whose name, or whose list's file name, contains this")
    parser.add_argument("--scratch", default="/tmp/tovik-mutate")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("--workers", type=int, default=1, help="faults planted at once, each in its own copy")
    parser.add_argument("--matrix", metavar="FILE", help="record the failing rows of every fault into FILE")
    args = parser.parse_args()

    faults = load_faults(args.k)
    scratches = [args.scratch] if args.workers < 2 else [os.path.join(args.scratch, f"w{i}") for i in range(args.workers)]
    print(f"mutate: checking that the unchanged copy passes ({len(scratches)} copies) ...", flush=True)
    with concurrent.futures.ThreadPoolExecutor(len(scratches)) as pool:
        trees = list(pool.map(lambda scratch: prepare(scratch, args.jobs, args.matrix), scratches))
    free = queue.Queue()
    for tree in trees:
        free.put(tree)
    matrix, results, lock = {}, {}, threading.Lock()
    width = max(len(f[0]) for f in faults) if faults else 10
    print(f"{'fault':<{width}}  result   seconds  failing tests", flush=True)

    def one(fault):
        src, build, _ = tree = free.get()
        started = time.time()
        try:
            result, detail, caught = plant(fault, src, build, args.jobs, args.matrix)
        finally:
            free.put(tree)
        with lock:
            results[fault[0]] = result
            if caught is not None:
                matrix[fault[0]] = caught
            print(f"{fault[0]:<{width}}  {result:<7}  {time.time() - started:7.0f}  {detail}", flush=True)

    with concurrent.futures.ThreadPoolExecutor(len(trees)) as pool:
        list(pool.map(one, faults))
    if args.matrix:
        baseline = {row for tree in trees for row, outcome in tree[2].items() if outcome == "pass"}
        print_matrix({f[0]: matrix[f[0]] for f in faults if f[0] in matrix}, baseline, args.matrix)
    caught = sum(result == "caught" for result in results.values())
    print(f"{caught} of {len(faults)} caught")
    return 0 if caught == len(faults) else 1


if __name__ == "__main__":
    sys.exit(main())

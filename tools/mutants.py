#!/usr/bin/env python3
"""Measures how many faults the tests catch: a seeded random sample of
mutants of src/ (every folder) and lib/, each built on its own and run against the tests.

    tools/mutants.py [--count 80] [--seed 1] [--build build-mutants] [--list] [--matrix]

A mutant changes one place: a relational or equality operator flipped, &&
and || swapped, + and - swapped, 0 and 1 swapped, true and false swapped, or
a call statement deleted. A mutant that does not compile, or that compiles
to the same code and data as the program, is left out; one
that makes a test fail (or run past its time) is killed; the others
survive and are listed, to be looked at one by one. The tree is restored
after every mutant, also when the script is interrupted.

With --matrix every test runs against every mutant, and the end lists, for
each test, the mutants it kills and how many of them no other test kills:
a test that is the only one to kill none is a place to look when the suite
is pruned (it may still guard what the sample missed).
"""
import argparse
import hashlib
import os
import random
import re
import resource
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

SWAPS = [
    (r"(?<=\s)<(?=\s)", "<="), (r"(?<=\s)<=(?=\s)", "<"), (r"(?<=\s)>(?=\s)", ">="), (r"(?<=\s)>=(?=\s)", ">"),
    (r"(?<=\s)==(?=\s)", "!="), (r"(?<=\s)!=(?=\s)", "=="), (r"(?<=\s)&&(?=\s)", "||"), (r"(?<=\s)\|\|(?=\s)", "&&"),
    (r"(?<=\s)\+(?=\s)", "-"), (r"(?<=\s)-(?=\s)", "+"), (r"(?<![\w.])0(?![\w.x])", "1"), (r"(?<![\w.])1(?![\w.])", "0"),
    (r"\btrue\b", "false"), (r"\bfalse\b", "true"),
]
# a statement that is a call and nothing else: no assignment, no return, no declaration
CALL = re.compile(r"^(\s*)(?:\(void\))?[A-Za-z_][\w:.\->\[\]]*\s*\(.*\)\s*;\s*$")
NOT_CALL = re.compile(r"^\s*(return|if|for|while|switch|case|static_assert|delete|throw)\b|=")


def code_part(line):
    """The line without its comment and with its strings blanked."""
    out, in_str, quote = [], False, ""
    k = 0
    while k < len(line):
        c = line[k]
        if in_str:
            if c == "\\":
                out.append("  ")
                k += 2
                continue
            if c == quote:
                in_str = False
            out.append(c if not in_str else " ")
        else:
            if line.startswith("//", k):
                break
            if c in "\"'":
                in_str, quote = True, c
            out.append(c)
        k += 1
    return "".join(out)


def sites():
    found = []
    paths = []
    for top in ("src", "lib"):
        for folder, dirs, files in os.walk(os.path.join(ROOT, top)):
            dirs.sort()
            paths += [os.path.relpath(os.path.join(folder, n), ROOT) for n in sorted(files) if n.endswith((".cpp", ".h"))]
    for path in paths:
        with open(os.path.join(ROOT, path)) as f:
            lines = f.read().split("\n")
        in_block = False
        for n, line in enumerate(lines):
            stripped = line.strip()
            if in_block:
                in_block = "*/" not in stripped
                continue
            if stripped.startswith("/*"):
                in_block = "*/" not in stripped
                continue
            if stripped.startswith("#") or "template <" in line or "static_assert" in line:
                continue
            code = code_part(line)
            for pattern, repl in SWAPS:
                for m in re.finditer(pattern, code):
                    found.append((path, n, m.start(), m.end(), repl))
            if CALL.match(code) and not NOT_CALL.search(code):
                found.append((path, n, 0, len(line), None))
    return found


def apply(site):
    path, n, a, b, repl = site
    full = os.path.join(ROOT, path)
    with open(full) as f:
        text = f.read()
    lines = text.split("\n")
    before = lines[n]
    lines[n] = (re.match(r"\s*", before).group(0) + ";") if repl is None else before[:a] + repl + before[b:]
    with open(full, "w") as f:
        f.write("\n".join(lines))
    return text, before.strip(), lines[n].strip()


def limit_memory():
    # a mutant that loops while it allocates must not take the machine with
    # it; a bound on the data, not on the address space, under which the
    # program would take its other ways (no mapped drawing, a smaller grid)
    resource.setrlimit(resource.RLIMIT_DATA, (8 << 30, 8 << 30))


def run(cmd, timeout, limited=False):
    """The command's exit status; -1 once it runs past timeout seconds, when
    it is stopped with everything it started (a test ctest was running would
    go on otherwise, and take the cores from the next mutant)."""
    p = subprocess.Popen(cmd, cwd=ROOT, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         preexec_fn=limit_memory if limited else None, start_new_session=True)
    try:
        return p.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        os.killpg(p.pid, signal.SIGKILL)
        p.wait()
        return -1


def artifacts(build):
    """The code and data of every program and module the build makes, as
    one fingerprint: a mutant that leaves them as they were (code another
    platform compiles, a change the compiler folds away) cannot be told
    from the program, and is left out like one that does not compile."""
    h = hashlib.sha256()
    for top, dirs, files in os.walk(os.path.join(ROOT, build)):
        dirs[:] = sorted(d for d in dirs if d != "CMakeFiles")
        for name in sorted(files):
            path = os.path.join(top, name)
            with open(path, "rb") as f:
                if f.read(4) != b"\x7fELF":
                    continue
            for section in (".text", ".rodata", ".data", ".data.rel.ro"):
                out = subprocess.run(["objcopy", "-O", "binary", "--only-section=" + section, path, "/dev/stdout"],
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
                h.update(name.encode() + section.encode() + out)
    return h.hexdigest()


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--count", type=int, default=80)
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--build", default="build-mutants")
    ap.add_argument("--list", action="store_true", help="only list the sampled mutants")
    ap.add_argument("--under", default="", help="sample only the files under this path (src/surface)")
    ap.add_argument("--matrix", action="store_true", help="run every test on every mutant; list what each kills alone")
    args = ap.parse_args()
    jobs = str(os.cpu_count() or 2)
    all_sites = [s for s in sites() if s[0].startswith(args.under)]
    rng = random.Random(args.seed)
    order = rng.sample(all_sites, len(all_sites))
    if args.list:
        for s in order[: args.count]:
            print(f"{s[0]}:{s[1] + 1}: {'delete call' if s[4] is None else '-> ' + s[4]}")
        return 0
    subprocess.run(["cmake", "-S", ".", "-B", args.build, "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DZORVEL_TESTS=ON"],
                   cwd=ROOT, check=True, stdout=subprocess.DEVNULL)
    if run(["cmake", "--build", args.build, "-j", jobs], 3600) != 0 or \
            run(["ctest", "--test-dir", args.build, "-j", jobs], 3600) != 0:
        sys.exit("the unmutated tree does not build or pass its tests")
    plain = artifacts(args.build)
    killed, survived, built, same = 0, [], 0, 0
    kills = {}
    start = time.time()
    for site in order:
        if built == args.count:
            break
        original, was, now = apply(site)
        try:
            if run(["cmake", "--build", args.build, "-j", jobs], 1800) != 0:
                continue  # does not compile: left out
            if artifacts(args.build) == plain:
                same += 1
                print(f"same     {site[0]}:{site[1] + 1}: {was}  =>  {now}", flush=True)
                continue  # compiles to the same program: left out
            built += 1
            where = f"{site[0]}:{site[1] + 1}: {was}  =>  {now}"
            if args.matrix:
                failed = failing_tests(args.build, jobs)
                status = 1 if failed else 0
                kills[where] = failed
            else:
                status = run(["ctest", "--test-dir", args.build, "-j", jobs, "--stop-on-failure", "--timeout", "120"],
                             1800, limited=True)
            if status != 0:
                killed += 1
                print(f"killed   {where}" + (f"  by {' '.join(sorted(kills[where]))}" if args.matrix else ""),
                      flush=True)
            else:
                survived.append(where)
                print(f"SURVIVED {where}", flush=True)
        finally:
            with open(os.path.join(ROOT, site[0]), "w") as f:
                f.write(original)
    run(["cmake", "--build", args.build, "-j", jobs], 3600)
    print(f"\n{killed} of {built} mutants killed ({100.0 * killed / max(built, 1):.1f}%), seed {args.seed}, "
          f"{len(all_sites)} sites, {same} left out as the same program, {time.time() - start:.0f} s")
    for s in survived:
        print(f"  survived: {s}")
    if args.matrix:
        print_matrix(args.build, kills)
    return 0


# A mutant that makes every run hang would keep the whole suite waiting for
# each test's own time limit, hours in all: past this, it counts as killed
# by the suite as a whole.
SUITE_LIMIT = 600


def failing_tests(build, jobs):
    """The names of the tests that fail (or time out) on the built mutant."""
    log = os.path.join(ROOT, build, "Testing", "Temporary", "LastTestsFailed.log")
    if os.path.exists(log):
        os.remove(log)
    if run(["ctest", "--test-dir", build, "-j", jobs, "--timeout", "120"], SUITE_LIMIT, limited=True) == -1:
        return {f"(the suite, past {SUITE_LIMIT} s)"}
    if not os.path.exists(log):
        return set()
    with open(log) as f:
        return {line.strip().split(":", 1)[1] for line in f if ":" in line}


def print_matrix(build, kills):
    listing = subprocess.run(["ctest", "--test-dir", build, "-N"], cwd=ROOT, stdout=subprocess.PIPE, text=True).stdout
    tests = re.findall(r"Test\s+#\d+: (\S+)", listing)
    print("\nkills alone / kills, by test:")
    rows = []
    for t in tests:
        mine = [m for m, failed in kills.items() if t in failed]
        alone = [m for m in mine if len(kills[m]) == 1]
        rows.append((len(alone), len(mine), t, alone))
    for alone, mine, t, which in sorted(rows, key=lambda r: (-r[0], -r[1], r[2])):
        print(f"  {alone:3d} / {mine:3d}  {t}")
        for m in which:
            print(f"              {m}")


if __name__ == "__main__":
    sys.exit(main())

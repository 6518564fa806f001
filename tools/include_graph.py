#!/usr/bin/env python3
"""Checks the layering of src/: every folder is a layer that includes only
itself and the layers below it, no two modules include each other, even by
way of others, and only the run itself sees the run state (directly or
through another header). A module is a
header with its source, named by its folder: base/console.

    tools/include_graph.py [--dot] [--plant FROM:TO] [--table] [--check-table FILE]

--plant adds an include of module TO to module FROM before checking, so that
a test can show that the check catches it. --table prints the layers and
their modules as a Markdown table, each module with the first sentence of
its header; --check-table checks that FILE holds that table as it is.
"""
import os
import re
import sys

SRC = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src")
# the layers from the bottom up: a module may include modules of its own
# layer and of those before it
LAYERS = ["base", "reading", "geometry", "passes", "classes", "surface", "output", "run", "dialogue", "cli", "app"]
# the run's own rooms: they alone see the run state, directly or through
# another header
RUN_LEVEL = {"run/treatment", "run/fill_run", "run/run_state", "run/ending", "run/run", "run/grid_facts", "run/sources",
             "dialogue/dialogue_run"}
INCLUDE = re.compile(r'\s*#\s*include\s+"([\w/]+)\.h"')


def graph(headers_only=False):
    edges, strays = {}, []
    for top, _, files in os.walk(SRC):
        layer = os.path.relpath(top, SRC)
        for name in sorted(files):
            stem, ext = os.path.splitext(name)
            if ext not in (".h", ".cpp") or (headers_only and ext != ".h"):
                continue
            if layer not in LAYERS:
                strays.append(os.path.join(layer, name))
                continue
            module = f"{layer}/{stem}"
            edges.setdefault(module, set())
            with open(os.path.join(top, name)) as f:
                for line in f:
                    m = INCLUDE.match(line)
                    if m and m.group(1) != module and os.path.exists(os.path.join(SRC, m.group(1) + ".h")):
                        edges[module].add(m.group(1))
    return edges, strays


def cycles(edges):
    found, state, stack = [], {}, []

    def visit(m):
        state[m] = "open"
        stack.append(m)
        for n in sorted(edges.get(m, ())):
            if state.get(n) == "open":
                found.append(stack[stack.index(n):] + [n])
            elif n not in state:
                visit(n)
        stack.pop()
        state[m] = "done"

    for m in sorted(edges):
        if m not in state:
            visit(m)
    return found


def reached(edges, module):
    """Every module that module includes, directly or through others."""
    seen, todo = set(), [module]
    while todo:
        for n in edges.get(todo.pop(), ()):
            if n not in seen:
                seen.add(n)
                todo.append(n)
    return seen


def rank(module):
    return LAYERS.index(module.split("/")[0])


def faults_of(edges, strays):
    faults = [f"{s}: a file outside the layers {', '.join(LAYERS)}" for s in strays]
    faults += [" -> ".join(c) for c in cycles(edges)]
    for m, ns in sorted(edges.items()):
        for n in sorted(ns):
            if rank(n) > rank(m):
                faults.append(f"{m} includes {n}: a lower layer includes a higher one")
            if n == "run/run_state" and m not in RUN_LEVEL:
                faults.append(f"{m} includes the run state")
    # what a module's headers show it of others, through their own headers
    shown, _ = graph(headers_only=True)
    for m in sorted(edges):
        seen = set().union(*(reached(shown, n) | {n} for n in edges[m])) if edges[m] else set()
        if m not in RUN_LEVEL and "run/run_state" not in edges[m] and "run/run_state" in seen:
            faults.append(f"{m} sees the run state through another header")
    return faults


def summary(module):
    """The first sentence of a module's header comment (its source's, for a
    module without a header), or ''."""
    path = os.path.join(SRC, module + ".h")
    if not os.path.exists(path):
        path = os.path.join(SRC, module + ".cpp")
    words = []
    with open(path) as f:
        for line in f:
            if not line.startswith("//"):
                break
            words += line[2:].split()
            text = " ".join(words)
            for end in (". ", ": ", "; "):
                if end in text + " ":
                    return (text + " ")[:(text + " ").index(end)].rstrip(".:;")
    return " ".join(words).rstrip(".:;")


def table(edges):
    rows = ["| layer | modules |", "|---|---|"]
    for layer in LAYERS:
        modules = sorted(m for m in edges if m.split("/")[0] == layer)
        cells = []
        for m in modules:
            said = summary(m)
            cells.append(f"`{m.split('/')[1]}`" + (f" ({said[0].lower() + said[1:]})" if said else ""))
        rows.append(f"| `{layer}/` | {'; '.join(cells)} |")
    return "\n".join(rows) + "\n"


def main():
    edges, strays = graph()
    if "--table" in sys.argv:
        print(table(edges), end="")
        return 0
    if "--check-table" in sys.argv:
        with open(sys.argv[sys.argv.index("--check-table") + 1]) as f:
            held = f.read()
        if table(edges) not in held:
            print("the layer table is not as the code is: run tools/include_graph.py --table")
            return 1
        print("the layer table is as the code is")
        return 0
    if "--plant" in sys.argv:
        src, dst = sys.argv[sys.argv.index("--plant") + 1].split(":")
        edges.setdefault(src, set()).add(dst)
    if "--dot" in sys.argv:
        print("digraph src {")
        for m, ns in sorted(edges.items()):
            for n in sorted(ns):
                print(f'  "{m}" -> "{n}";')
        print("}")
        return 0
    faults = faults_of(edges, strays)
    for f in faults:
        print(f)
    print(f"{len(edges)} modules in {len(LAYERS)} layers, {sum(len(n) for n in edges.values())} includes, "
          f"{len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

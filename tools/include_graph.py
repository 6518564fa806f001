#!/usr/bin/env python3
"""Checks the layering of src/: no two modules include each other, even by
way of others, and only the run itself (run, treatment, the main source)
sees the run state. A module is a header with its source.

    tools/include_graph.py [--dot]
"""
import os
import re
import sys

SRC = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "src")
RUN_LEVEL = {"run", "treatment", "zorvel_raster", "run_state"}


def graph():
    edges = {}
    for name in os.listdir(SRC):
        module, ext = os.path.splitext(name)
        if ext not in (".h", ".cpp"):
            continue
        with open(os.path.join(SRC, name)) as f:
            for line in f:
                m = re.match(r'\s*#\s*include\s+"([\w.]+)\.h"', line)
                if m and m.group(1) != module and os.path.exists(os.path.join(SRC, m.group(1) + ".h")):
                    edges.setdefault(module, set()).add(m.group(1))
        edges.setdefault(module, set())
    return edges


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


def main():
    edges = graph()
    if "--dot" in sys.argv:
        print("digraph src {")
        for m, ns in sorted(edges.items()):
            for n in sorted(ns):
                print(f'  "{m}" -> "{n}";')
        print("}")
        return 0
    faults = [" -> ".join(c) for c in cycles(edges)]
    faults += [f"{m} includes run_state.h" for m, ns in sorted(edges.items()) if "run_state" in ns and m not in RUN_LEVEL]
    for f in faults:
        print(f)
    print(f"{len(edges)} modules, {sum(len(n) for n in edges.values())} includes, {len(faults)} faults")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

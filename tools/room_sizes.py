#!/usr/bin/env python3
"""Checks the size of the rooms: no file under src/ or lib/ over 400 lines,
no function over 60 (from the line of its opening brace to its closing one,
comments included). Functions are found by their braces, after comments and
literals are taken out: a brace whose text before it ends a parameter list.

    tools/room_sizes.py [--files N] [--functions N]
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def arg(name, default):
    return int(sys.argv[sys.argv.index(name) + 1]) if name in sys.argv else default


def plain(text):
    """The text without comments, strings and characters, its lines kept."""
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    text = re.sub(r'"(?:[^"\\\n]|\\.)*"', '""', text)
    return re.sub(r"'(?:[^'\\\n]|\\.)*'", "''", text)


CONTROL = re.compile(r"\b(if|for|while|switch|catch|else|do)\b[^;{]*$")
SIGNATURE = re.compile(r"\)\s*(const\s*)?(noexcept\s*)?(override\s*)?(final\s*)?(->\s*[\w:<>,\s*&]+)?$")


def long_functions(path, most):
    lines = plain(open(path, encoding="utf-8").read()).split("\n")
    found, stack = [], []
    for i, line in enumerate(lines):
        for at, ch in enumerate(line):
            if ch == "{":
                head = line[:at].strip() or (lines[i - 1].strip() if i > 0 else "")
                function = bool(SIGNATURE.search(head)) and not CONTROL.search(head) and not any(f for _, f in stack)
                stack.append((i, function))
            elif ch == "}" and stack:
                start, function = stack.pop()
                if function and i - start + 1 > most:
                    found.append((i - start + 1, start + 1))
    return found


def main():
    most_lines, most_function = arg("--files", 400), arg("--functions", 60)
    faults = []
    for top in ("src", "lib"):
        for folder, _, files in os.walk(os.path.join(ROOT, top)):
            for name in sorted(files):
                if not name.endswith((".cpp", ".h")):
                    continue
                path = os.path.join(folder, name)
                shown = os.path.relpath(path, ROOT)
                count = sum(1 for _ in open(path, encoding="utf-8"))
                if count > most_lines:
                    faults.append(f"{shown}: {count} lines")
                for length, line in long_functions(path, most_function):
                    faults.append(f"{shown}:{line}: a function of {length} lines")
    for f in faults:
        print(f)
    print(f"{len(faults)} rooms over {most_lines} lines or with a function over {most_function}")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

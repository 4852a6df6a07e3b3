#!/usr/bin/env python3
"""Whether two builds of the device code compute the same values.

    sass_arithmetic.py [--cuobjdump PATH] [--kernel REGEX] BEFORE AFTER

BEFORE and AFTER are bundles or objects (anything cuobjdump -sass reads) or
their disassembly saved as text (*.sass). For each kernel and architecture
in both, the multiset of the instructions that make or pick a value the
frame shows (floating-point arithmetic and comparisons, special functions,
conversions, doubles) is compared; each instruction is taken with its
modifiers, its operands' negations and absolute values, its immediates and
its constants, and with every register written as R. A register budget
changes which registers hold what, what is moved, spilled and scheduled
when: none of that is in the multiset. A change of arithmetic (a product
added in another order, a contraction into FFMA undone, a constant folded
in) is; so is a value computed twice, which --recomputed accepts when the
kernel loses no instruction and each one it gains is one it had. Prints
each kernel whose multisets differ, with the differing instructions, and
exits non-zero if there is one, or if a kernel is in only one of the two.
"""
import argparse
import collections
import os
import re
import subprocess
import sys

import sass_counts

# The units whose results are values: FP32 (FFMA .. FSET), the special
# functions and a division's range test, conversions, FP64 and half pairs.
VALUE_OPCODES = re.compile(r"^(FFMA|FMUL|FADD|FMNMX|FSETP|FSEL|FSET|FSWZADD|MUFU|FCHK|F2I|I2F|F2F|F2FP|I2I|FRND"
                           r"|DFMA|DMUL|DADD|DMNMX|DSETP|HFMA2|HMUL2|HADD2|HSETP2|HMNMX2)\b")
REGISTER = re.compile(r"\bU?R\d+\b")
PREDICATE = re.compile(r"\bU?P[0-6]\b")


# Operands whose order the hardware's result does not depend on: an FFMA's
# or FMUL's factors, an FADD's terms, FMNMX's pair.
COMMUTED = {"FFMA": (1, 3), "FMUL": (1, 3), "FADD": (1, 3), "FMNMX": (1, 3), "DFMA": (1, 3), "DMUL": (1, 3),
            "DADD": (1, 3)}


# A comparison of b with a is that of a with b, mirrored.
MIRRORED = {"LT": "GT", "GT": "LT", "LE": "GE", "GE": "LE", "LTU": "GTU", "GTU": "LTU", "LEU": "GEU", "GEU": "LEU"}


def is_move(ins):
    """A constant put in a register as a product of zeros plus it (HFMA2
    R0, -RZ, RZ, 1.5, 33.2): a move, made where a register budget asks."""
    return ins.opcode.startswith("HFMA2") and [o.lstrip("-") for o in ins.operands[1:3]] == ["RZ", "RZ"]


def value_key(ins):
    """The instruction with what a register budget may change written out:
    which registers, their reuse flags, the order of commuting operands, the
    order of a comparison's (FSETP.GT a, b as FSETP.LT b, a)."""
    operands = [PREDICATE.sub("P", REGISTER.sub("R", o.replace(".reuse", ""))) for o in ins.operands]
    parts = ins.opcode.split(".")
    span = COMMUTED.get(parts[0])
    if span:
        operands[span[0]:span[1]] = sorted(operands[span[0]:span[1]])
    key = ins.opcode + " " + ", ".join(operands)
    if parts[0] in ("FSETP", "DSETP") and len(parts) > 1 and len(operands) > 3:
        mirror = [parts[0], MIRRORED.get(parts[1], parts[1])] + parts[2:]
        swapped = operands[:2] + [operands[3], operands[2]] + operands[4:]
        key = min(key, ".".join(mirror) + " " + ", ".join(swapped))
    return key


def kernels_named(text, kernel):
    """cuobjdump -sass output with only the kernels whose name matches
    `kernel` left (a bundle's whole disassembly is large)."""
    keep, out = True, []
    for line in text.splitlines(True):
        m = sass_counts.FUNCTION.match(line)
        if m:
            keep = re.search(kernel, m.group(1)) is not None
        if keep or "arch =" in line:
            out.append(line)
    return "".join(out)


def value_multisets(text, kernel=None):
    """{(arch, kernel): Counter of value_key} from cuobjdump -sass output."""
    out = {}
    for arch, kernels in sass_counts.parse_sass(kernels_named(text, kernel) if kernel else text).items():
        for symbol, code in kernels.items():
            out[(arch, symbol)] = collections.Counter(value_key(i) for i in code
                                                      if VALUE_OPCODES.match(i.opcode) and not is_move(i))
    return out


def recomputed(before, after):
    """The instructions `after` adds to `before` when they are all copies
    of instructions `before` has and it loses none (a value recomputed
    where a register budget no longer holds it: the same operation on the
    same operands rounds the same), else None."""
    lost, gained = before - after, after - before
    return None if lost or any(k not in before for k in gained) else sum(gained.values())


def differences(before, after, allow_recomputed=False):
    """Lines naming each kernel whose value instructions differ (with
    `allow_recomputed`, unless they only recompute values: noted apart)."""
    lines = []
    for key in sorted(set(before) | set(after)):
        arch, symbol = key
        if key not in before or key not in after:
            lines.append("%s %s: only in %s" % (arch, symbol, "after" if key not in before else "before"))
            continue
        if before[key] == after[key]:
            continue
        copies = recomputed(before[key], after[key]) if allow_recomputed else None
        if copies is not None:
            print("%s %s: %d instructions recompute values it had" % (arch, symbol, copies))
            continue
        lost, gained = before[key] - after[key], after[key] - before[key]
        lines.append("%s %s: %d value instructions before, %d after" % (arch, symbol, sum(before[key].values()),
                                                                         sum(after[key].values())))
        lines += ["  - %d x %s" % (n, k) for k, n in sorted(lost.items())]
        lines += ["  + %d x %s" % (n, k) for k, n in sorted(gained.items())]
    return lines


def disassembly(path, cuobjdump):
    if path.endswith(".sass"):
        with open(path) as f:
            return f.read()
    return subprocess.run([cuobjdump, "-sass", path], check=True, capture_output=True, text=True).stdout


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--cuobjdump", default="cuobjdump")
    ap.add_argument("--kernel", help="only the kernels whose mangled name this matches")
    ap.add_argument("--recomputed", action="store_true",
                    help="a kernel that only adds copies of instructions it had is not a difference")
    ap.add_argument("before")
    ap.add_argument("after")
    a = ap.parse_args()
    try:
        before, after = (value_multisets(disassembly(p, a.cuobjdump), a.kernel) for p in (a.before, a.after))
    except (OSError, subprocess.CalledProcessError) as e:
        sys.stderr.write("sass_arithmetic: %s\n" % e)
        return 2
    lines = differences(before, after, a.recomputed)
    print("\n".join(lines) if lines else "%d kernels, the same value instructions in both" % len(before))
    return 1 if lines else 0


if __name__ == "__main__":
    sys.exit(main())

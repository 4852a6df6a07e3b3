#!/usr/bin/env python3
"""Per-kernel counts read from the product bundle's machine code.

    sass_counts.py --cuobjdump PATH [--nvdisasm-dir DIR] --bundle PATH
                   --arch 75 --arch 89 --output FILE [--code-dir DIR]
    sass_counts.py --table FILE --code-dir DIR --launches FILE --output FILE

Disassembles the bundle's kernels for each architecture (cuobjdump -sass,
which runs nvdisasm) and writes one line per kernel and architecture:

    kernel=<name> arch=sm_<n> symbol=<mangled> registers=<n> shared=<bytes>
        threads=<n> fixed_instructions=<n> fixed_waits=<n> fixed_clocks=<n>
        loops=<step>:<instructions>:<waits>:<clocks>,... [edge_loops=<the same>]
        [bank2=<hex words>]

and keeps each kernel's machine code in --code-dir. With --launches (lines
`<id> <arch> <symbol> <parameter buffer in hex>`), it counts instead the
path each launch takes: a branch whose predicate the launch's parameters
decide (a setting's switch, a refine slot in use; sass_values) takes the
launch's side, and a loop over a fixed list (the refine slots) is followed
trip by trip with its entry's settings. Branches on what a pixel holds stay
an upper bound. One line per launch: `id=<id> fixed_instructions=..
fixed_waits=.. fixed_clocks=.. loops=..` or `id=<id> error=<why>`.

 - registers, shared: a thread's registers and a block's static shared memory
   (cuobjdump -res-usage); threads: the block the kernel was compiled for
   (its launch bounds), 0 when it has none.
 - The walk: the loops at the kernel's top level, each as step:instructions:
   waits:clocks, the instructions, memory round trips and clocks of one trip
   (its inner loops included) and the step of its counter per trip. A loop whose step is
   not a constant (the grid-stride loop over rows) takes one item a trip and
   is written with step 0. fixed_*: what runs once, outside every loop.
 - Instructions are counted along the longest path through a trip (an upper
   bound where a kernel branches; a switch's indirect jump may go to any
   block after it); a call into a subroutine (the slow path of a division) is
   not followed. A test of what an unrolled loop left over (its counter after
   it, or that counter offset by a constant, until the counter is set again
   for another loop; a count's low bits, n & 3, in a register or straight in
   a predicate) takes the branch that skips: whole tiles leave nothing over.
 - Round trips: the machine code names for each load the scoreboard it sets
   and for each instruction the scoreboards it waits on. Walking a trip in
   issue order, an instruction that waits on a scoreboard a global load set
   since the last wait waits one round trip, for every load issued before it
   (they are in flight together). A trip is walked twice and the second walk
   counted, so loads issued at the end of one trip for the next count right.
 - Clocks: the same walk as one warp issues it, in order: after each
   instruction the stall its control word names (the compiler's figure for
   the fixed latencies: an FFMA's result is read 4 clocks after it issues),
   and an instruction that waits on a shared-memory load, a special function
   or a conversion no sooner than that result is ready
   (SHORT_SCOREBOARD_CLOCKS). A recursion is a chain of dependent
   multiply-adds, which issue a clock apart only where the compiler found
   independent work to put between them. The round trips are not in the
   clocks: the bench adds them.
 - An inner loop runs over a tile as wide as its parent's step (a row pass
   walks 32-pixel tiles: its loops over the tile's 32 rows and 32 columns).
   Loops the compiler made of one source loop (a main loop unrolled 16 times,
   its 8- and 4-step remainders, on the same counter) count once, at the main
   loop's rate: the remainders do not run on whole tiles.
 - edge_loops: the loops again as a trip short of a full batch runs them (a
   row pass's edge tile: the last block's where the height is not a
   multiple of 32, a row's last where the width is not): a test of a full
   batch takes the other side, and a remainder's test its longer side.
   Written only where it differs from loops; the bench charges it to the
   warps that run it (frame_cost.cpp).
 - Outside a tile (in the body of the loop over pixels) an inner loop over a
   fixed list, its counter set to 0 before it and tested against a constant
   (the colour corrector's refine slots), runs the whole list; any other
   inner loop there counts one trip.

The bench (bench/sass_table.cpp) reads this file. A kernel of the bundle
whose counts cannot be derived is written as kernel=<name> arch=<a> error=<why>.
"""
import argparse
import hashlib
import os
import re
import subprocess
import sys

import sass_values

GLOBAL_LOAD = re.compile(r"^(LDG|LD|ATOMG|ATOM|RED)\b")

# Clocks from the issue of an instruction that sets a scoreboard to the use of
# its result, for the variable-latency work that does not leave the
# multiprocessor (what the profiler calls the short scoreboard), by the unit
# that does it; a global load's wait is a round trip of the bench's own.
#  - "shared": shared-memory loads, and what else goes through the memory
#    pipeline or has no figure of its own (constant loads, S2R, the double
#    unit of these parts): the shared-memory load-to-use latencies that
#    pointer-chasing microbenchmarks measure, 19 clocks on a Turing T4
#    (Z. Jia, M. Maggioni, J. Smith, D. P. Scarpazza, "Dissecting the NVidia
#    Turing T4 GPU via Microbenchmarking", arXiv:1903.07486, 2019) and about
#    30 on an RTX 4090 (W. Luo et al., "Benchmarking and Dissecting the
#    Nvidia Hopper GPU Architecture", arXiv:2402.13499, 2024, which measures
#    the RTX 4090 beside the A100 and H800).
#  - "special": the special functions (MUFU, and FCHK, a division's range
#    test) and the conversions (F2I, I2F, F2F, FRND), which neither part runs
#    through the memory pipeline: the same kind of dependent-chain
#    measurement (a chain of one instruction's results timed by the clock
#    register) gives about 18 to 20 clocks from MUFU's issue to its use on
#    the parts from Turing on, and Ada keeps Turing's four special-function
#    units a scheduler (the Turing and Ada architecture whitepapers): 19 on
#    both, Turing's figure, where Ada's 30 would charge them its shared
#    memory's latency.
# The fixed latencies (4 clocks from an FFMA, FMUL, FADD, IADD3 or LOP3 to an
# instruction that reads its result, 4 or 5 from an IMAD, 5 or 6 from an
# IMAD.WIDE, on both parts) need no figure: the compiler writes into each
# instruction's control word the clocks the scheduler waits before it issues
# the warp's next instruction.
SHORT_SCOREBOARD_CLOCKS = {"sm_75": {"shared": 19, "special": 19}, "sm_89": {"shared": 30, "special": 19}}
SPECIAL_UNIT = re.compile(r"^(MUFU|FCHK|F2I|I2F|F2F|I2I|FRND)\b")


def short_unit(opcode):
    """The SHORT_SCOREBOARD_CLOCKS unit an instruction's result comes from."""
    return "special" if SPECIAL_UNIT.match(opcode) else "shared"


LINE = re.compile(r"^\s*/\*([0-9a-f]{4,})\*/\s+(.*?)\s*;\s*/\* (0x[0-9a-f]{16}) \*/\s*$")
CONTROL = re.compile(r"^\s*/\* (0x[0-9a-f]{16}) \*/\s*$")
FUNCTION = re.compile(r"^\s*Function : (\S+)")
ARCH = re.compile(r"arch = (sm_\d+)")
BANK2 = re.compile(r"c\[0x2\]\[\s*U?R\d+\s*(?:\+\s*(0x[0-9a-f]+))?\]")


class Instruction:
    __slots__ = ("address", "predicate", "opcode", "operands", "text", "wait", "write_barrier", "read_barrier",
                 "dest", "control")

    def __init__(self, address, text, low, high):
        self.address = address
        self.text = text
        m = re.match(r"^(@!?U?P\w+\s+)?(\S+)\s*(.*)$", text)
        self.predicate = (m.group(1) or "").strip()
        self.opcode = m.group(2)
        self.operands = [o.strip() for o in m.group(3).split(",")] if m.group(3) else []
        # An addition's carry out (IADD3 R9, P1, R9, -0x8, RZ) is not one of its terms.
        if self.opcode.split(".")[0] in ("IADD3", "UIADD3") and len(self.operands) > 2 and \
                re.match(r"^U?P\d$", self.operands[1]):
            del self.operands[1]
        # A register written beside a predicate comes second (LOP3.LUT P0, R31, R22, 0x3, RZ, 0xc0, !PT).
        first = 1 if len(self.operands) > 1 and re.match(r"^U?P(\d|T)$", self.operands[0]) else 0
        d = re.match(r"^-?\|?(U?R\d+)", self.operands[first]) if self.operands else None
        self.dest = d.group(1) if d else None
        # Control bits of the 128-bit instruction word (Volta and later): bits
        # 105-125, the top of the high word: stall 4, yield 1, write barrier 3
        # (7: none), read barrier 3, wait mask 6.
        self.control = high
        control = high >> 41
        self.write_barrier = (control >> 5) & 7
        self.read_barrier = (control >> 8) & 7
        self.wait = (control >> 11) & 0x3F


def arch_lines(text):
    """(arch, line) for each line of cuobjdump output, with the architecture
    of the part it lies in; the parts' header lines are left out."""
    arch = None
    for line in text.splitlines():
        m = ARCH.search(line)
        if m and "arch =" in line:
            arch = m.group(1)
            continue
        yield arch, line


def parse_sass(text):
    """{arch: {kernel: [Instruction]}} from cuobjdump -sass output."""
    kernels = {}
    current = None
    pending = None
    for arch, line in arch_lines(text):
        m = FUNCTION.match(line)
        if m:
            current = kernels.setdefault(arch, {}).setdefault(m.group(1), [])
            pending = None
            continue
        m = LINE.match(line)
        if m and current is not None:
            pending = (int(m.group(1), 16), m.group(2), int(m.group(3), 16))
            continue
        m = CONTROL.match(line)
        if m and pending is not None:
            current.append(Instruction(pending[0], pending[1], pending[2], int(m.group(1), 16)))
            pending = None
    return kernels


def parse_resources(text):
    """{arch: {kernel: (registers, shared)}} from cuobjdump -res-usage output."""
    out = {}
    function = None
    for arch, line in arch_lines(text):
        m = re.search(r"Function ([^ :]+):", line)
        if m:
            function = m.group(1)
            continue
        m = re.search(r"REG:(\d+) .*SHARED:(\d+)", line)
        if m and function:
            out.setdefault(arch, {})[function] = (int(m.group(1)), int(m.group(2)))
            function = None
    return out


def parse_bounds(text):
    """{arch: {kernel: threads}} from cuobjdump -elf output (EIATTR_MAX_THREADS)."""
    out = {}
    function = None
    lines = list(arch_lines(text))
    for i, (arch, line) in enumerate(lines):
        m = re.match(r"^\.nv\.info\.(\S+)", line.strip())
        if m:
            function = m.group(1)
            continue
        if "EIATTR_MAX_THREADS" in line and function:
            for _, follow in lines[i + 1:i + 3]:
                v = re.search(r"Value:\s+(0x[0-9a-f]+) (0x[0-9a-f]+) (0x[0-9a-f]+)", follow)
                if v:
                    out.setdefault(arch, {})[function] = int(v.group(1), 16) * int(v.group(2), 16) * int(
                        v.group(3), 16)
                    break
    return out


def parse_constant2(text):
    """{arch: {kernel: [words]}}: each kernel's constant bank 2 from cuobjdump -elf output."""
    out = {}
    arch = None
    current = None
    for part, line in arch_lines(text):
        if part != arch:
            arch, current = part, None
        m = re.match(r"^\.nv\.constant2\.(\S+)\s*$", line)
        if m:
            current = out.setdefault(arch, {}).setdefault(m.group(1), [])
            continue
        words = re.findall(r"0x([0-9a-f]{8})", line)
        if current is not None and words and re.match(r"^(0x[0-9a-f]{8}\s*)+", line):
            current.extend(int(w, 16) for w in re.findall(r"0x([0-9a-f]{8})", line.split("Skipping")[0]))
            if "Skipping" in line:
                current = None
        elif current is not None:
            current = None
    return out


def demangled(name):
    """The kernel's own name: _Z12iir_guassianPKf... -> iir_guassian."""
    m = re.match(r"^_Z(\d+)(\w+)", name)
    if not m:
        return name
    n = int(m.group(1))
    return m.group(2)[:n]


_jump_calls = set()  # (id(code), address) of calls the compiler made into jumps


def branch_target(ins):
    if (ins.opcode.startswith("BRA") or (ins.opcode.startswith("CALL") and ins.address in _jump_calls)) \
            and ins.operands:
        m = re.match(r"^`?\(?[^0-9]*?(0x[0-9a-f]+)", ins.operands[-1])
        if m:
            return int(m.group(1), 16)
    return None


class Loop:
    def __init__(self, start, end, branch):
        self.start = start  # index of the first instruction
        self.end = end  # index of the backward branch
        self.branch = branch
        self.children = []
        self.counter = None
        self.step = 0
        self.count = None  # trips, where the code fixes them (from 0 to a constant)


def find_loops(code):
    """Loops from backward branches, nested by their extents."""
    index = {ins.address: i for i, ins in enumerate(code)}
    loops = []
    for i, ins in enumerate(code):
        t = branch_target(ins)
        if t is not None and t <= ins.address and t in index:
            loops.append(Loop(index[t], i, ins))
    # Two branches back to one head make one loop (the widest).
    merged = {}
    for lp in loops:
        if lp.start not in merged or merged[lp.start].end < lp.end:
            merged[lp.start] = lp
    loops = sorted(merged.values(), key=lambda lp: (lp.start, -lp.end))
    top = []
    stack = []
    for lp in loops:
        while stack and not (stack[-1].start <= lp.start and lp.end <= stack[-1].end):
            stack.pop()
        (stack[-1].children if stack else top).append(lp)
        stack.append(lp)
    for lp in loops:
        find_counter(code, lp)
    return top


def register_of(operand):
    m = re.match(r"^-?\|?(U?R\d+)", operand)
    return m.group(1) if m else None


def find_counter(code, lp):
    """The loop's counter (the register its exit test compares) and its step."""
    pred = lp.branch.predicate.lstrip("@!")
    if not pred or pred == "PT":
        # Left by a conditional jump out of the loop instead: its last one.
        for i in range(lp.end - 1, lp.start - 1, -1):
            ins = code[i]
            t = branch_target(ins)
            if ins.predicate and t is not None and not code[lp.start].address <= t <= lp.branch.address:
                pred = ins.predicate.lstrip("@!")
                break
    tested, at = tested_registers(code, lp, pred, lp.end)
    # The test may compare the counter offset by a constant (R14 = R9 + 8;
    # R14 > 7, the test of row >= 0 of a loop counting down by 8), or a copy
    # of it: the counter is then the register the offset is taken from.
    for reg in list(tested):
        source = offset_source(code, lp, reg, at)
        if source and source not in tested:
            tested.append(source)
    # The counter steps by itself: R = R +- constant (a grid-stride loop steps
    # by a register: no constant step).
    for reg in tested:
        # The counter itself, or a copy the loop keeps of it (MOV copy, counter).
        copies = {reg} | {register_of(ins.operands[0]) for ins in code[lp.start:lp.end + 1]
                          if ins.opcode.startswith(("MOV", "IMAD.MOV")) and len(ins.operands) == 2
                          and register_of(ins.operands[1]) == reg}
        for ins in code[lp.start:lp.end]:
            o = sum_operands(ins)
            if ins.opcode.split(".")[0] in ("IADD3", "UIADD3", "VIADD") and len(o) >= 3 and \
                    register_of(o[0]) == reg and register_of(o[1]) in copies and \
                    re.match(r"^-?0x[0-9a-f]+$", o[2]) and not o[1].startswith("-"):
                lp.counter = reg
                lp.step = abs(int(o[2], 16))
                lp.count = constant_count(code, lp, pred, int(o[2], 16))
                return


def constant_count(code, lp, pred, step):
    """The trips of a loop whose counter starts at 0 (set to RZ just before
    it) and steps up to a constant the exit test names (ISETP.GE.U32.AND P0,
    PT, R137, 0x6, PT; @!P0 BRA back): the loop over a fixed list. None when
    the code does not say."""
    counter = lp.counter
    before = next((ins for ins in reversed(code[:lp.start]) if writes(ins, counter)), None)
    if before is None or step <= 0 or not (
            (before.opcode == "MOV" and before.operands[1:] == ["RZ"]) or
            (before.opcode.startswith("IMAD.MOV") and before.operands[1:] == ["RZ", "RZ", "RZ"])):
        return None
    # The branch back goes on while its predicate holds; or, back always, a
    # jump out (a call made of one, on sm_89) leaves when its own holds.
    branch, leaves = lp.branch, False
    if branch.predicate in ("", "@PT"):
        branch = next((ins for ins in reversed(code[lp.start:lp.end]) if ins.predicate.lstrip("@!") == pred and
                       branch_target(ins) is not None), None)
        leaves = True
    if branch is None or branch.predicate.lstrip("@!") != pred or len(branch.operands) != 1:
        return None
    step_at = test_at = None
    for i in range(lp.end - 1, lp.start - 1, -1):
        ins = code[i]
        if test_at is None and ins.opcode.startswith("ISETP") and ins.operands and ins.operands[0] == pred:
            test_at = i
        if step_at is None and writes(ins, counter):
            step_at = i
    if test_at is None or step_at is None or step_at > test_at:
        return None
    test = code[test_at]
    o = test.operands
    if len(o) < 5 or o[1] != "PT" or o[4] != "PT" or register_of(o[2]) != counter or \
            not re.match(r"^0x[0-9a-f]+$", o[3]):
        return None
    bound = int(o[3], 16)
    compare = {"LT": lambda a: a < bound, "LE": lambda a: a <= bound, "GT": lambda a: a > bound,
               "GE": lambda a: a >= bound, "NE": lambda a: a != bound, "EQ": lambda a: a == bound}
    op = test.opcode.split(".")[1]
    if op not in compare:
        return None
    holds = (lambda a: not compare[op](a)) if branch.predicate.startswith("@!") else compare[op]
    again = (lambda a: not holds(a)) if leaves else holds
    trips, value = 1, step
    while again(value) and trips < 4096:
        trips, value = trips + 1, value + step
    return trips if trips < 4096 else None


def sum_operands(ins):
    """An addition's operands without the carries it writes out
    (IADD3 R9, P1, R9, -0x8, RZ: R9, R9, -0x8, RZ)."""
    o = ins.operands
    if not o:
        return o
    rest = o[1:]
    while rest and re.match(r"^U?P(T|\d)$", rest[0]):
        rest = rest[1:]
    return [o[0]] + rest


def offset_source(code, lp, reg, at):
    """The register `reg` is a constant offset or a copy of (IADD3 R14, R9,
    0x8, RZ: R9; UMOV UR8, UR6: UR6), as the test at index `at` reads it: set
    last before the test in the trip, or else in the trip before; or None."""
    at = lp.end if at is None else at
    for ins in list(reversed(code[lp.start:at])) + list(reversed(code[at:lp.end])):
        if writes(ins, reg):
            copied = copy_source(ins)
            if copied:
                return copied if copied != reg else None
            o = sum_operands(ins)
            if ins.opcode.split(".")[0] in ("IADD3", "UIADD3", "VIADD") and len(o) >= 3 and \
                    re.match(r"^-?0x[0-9a-f]+$", o[2]) and not o[1].startswith("-") and \
                    all(x in ("RZ", "URZ") for x in o[3:]):
                source = register_of(o[1])
                return source if source != reg else None
            return None
    return None


def copy_source(ins):
    """The register `ins` copies (MOV R5, R9; UMOV UR8, UR6; IMAD.MOV.U32 R5,
    RZ, RZ, R9), or None."""
    o = ins.operands
    source = None
    if ins.opcode.split(".")[0] in ("MOV", "UMOV") and len(o) == 2:
        source = o[1]
    elif ins.opcode.startswith("IMAD.MOV") and len(o) == 4 and o[1:3] == ["RZ", "RZ"]:
        source = o[3]
    r = register_of(source) if source and not source.startswith("-") and ins.predicate == "" else None
    return r if r not in ("RZ", "URZ") else None


def tested_registers(code, lp, pred, before):
    """Registers the test setting predicate `pred` last before index `before`
    compares, and that test's index; through a predicate kept in a register
    (P2R, UP2UR, or a bit a LOP3 sets where it holds) and tested again."""
    if not pred or pred == "PT":
        return [], None
    for i in range(before - 1, lp.start - 1, -1):
        ins = code[i]
        copied = copied_predicate(ins, pred)
        if copied:
            return tested_registers(code, lp, copied, i)
        if not ins.operands or ins.operands[0] != pred:
            continue
        kept = kept_bit_test(ins)
        if kept:
            return tested_registers(code, lp, *kept_bit_source(code, lp, i, *kept))
        if ins.opcode.split(".")[0] in ("ISETP", "UISETP"):
            regs = [register_of(o) for o in ins.operands[2:4]]
            regs = [r for r in regs if r and r not in ("RZ", "URZ")]
            for j in range(i - 1, lp.start - 1, -1):
                kept = code[j]
                if kept.opcode.startswith(("P2R", "UP2UR")) and regs and writes(kept, regs[0]) and \
                        len(kept.operands) >= 4:
                    mask = int(kept.operands[3], 16) if re.match(r"^0x[0-9a-f]+$", kept.operands[3]) else 0
                    if mask and mask & (mask - 1) == 0:
                        prefix = "UP" if kept.opcode.startswith("UP2UR") else "P"
                        return tested_registers(code, lp, "%s%d" % (prefix, mask.bit_length() - 1), j)
                if regs and writes(kept, regs[0]):
                    break
            return regs, i
        return [], None  # set by a test of something else
    return [], None


def kept_bit_test(ins):
    """(register, bit) when `ins` sets its predicate to one bit of a register
    (LOP3.LUT P0, RZ, R204, 0x800, RZ, 0xc0, !PT), else None."""
    o = ins.operands
    if ins.opcode.startswith("LOP3") and len(o) >= 6 and re.match(r"^U?P\d$", o[0]) and o[1] == "RZ" and \
            register_of(o[2]) and o[4] == "RZ" and o[5] == "0xc0" and re.match(r"^0x[0-9a-f]+$", o[3]):
        bit = int(o[3], 16)
        if bit and bit & (bit - 1) == 0:
            return register_of(o[2]), bit
    return None


def kept_bit_source(code, lp, i, reg, bit):
    """(predicate, index) of the instruction before index i that set `bit`
    of `reg` where that predicate holds (@P0 LOP3.LUT R204, R204, 0x800, RZ,
    0xfc, !PT), passing over writes to its other bits; (None, i) if none."""
    for j in range(i - 1, lp.start - 1, -1):
        w = code[j]
        if not writes(w, reg):
            continue
        o = w.operands
        if not (w.opcode.startswith("LOP3") and len(o) >= 5 and o[1] == reg and o[3] == "RZ" and
                re.match(r"^0x[0-9a-f]+$", o[2])):
            break
        mask, table = int(o[2], 16), o[4]
        if table == "0xfc" and mask == bit and w.predicate not in ("", "@PT"):
            return w.predicate.lstrip("@!"), j
        if not ((table == "0xfc" and not mask & bit) or (table == "0xc0" and mask & bit)):
            break  # the bit set or cleared otherwise
    return None, i


def copied_predicate(ins, pred):
    """The predicate `ins` copies into `pred`, or None: the uniform datapath's
    tests reach a branch through PLOP3.LUT P0, PT, PT, PT, UP0, 0x80, 0x0
    (0x80: the AND of its three inputs, two of them true)."""
    o = ins.operands
    if ins.opcode.startswith("PLOP3.LUT") and len(o) >= 6 and o[0] == pred and o[5] == "0x80":
        inputs = [x for x in o[2:5] if x != "PT"]
        if len(inputs) == 1 and re.match(r"^U?P\d$", inputs[0]):
            return inputs[0]
    return None


def writes(ins, reg):
    return ins.dest == reg


def remainder_of(code, earlier, lp):
    """Whether `lp` is a remainder the compiler made of `earlier`'s source
    loop: the same counter, of a smaller step, not set again between them."""
    return earlier is not None and lp.counter is not None and lp.counter == earlier.counter and \
        lp.step < earlier.step and not any(writes(ins, lp.counter) and not steps_itself(ins, lp.counter)
                                           for ins in code[earlier.end + 1:lp.start])


def steps_itself(ins, reg):
    o = sum_operands(ins)
    return ins.opcode.split(".")[0] in ("IADD3", "UIADD3", "VIADD") and len(o) >= 3 and \
        register_of(o[0]) == reg and register_of(o[1]) == reg and re.match(r"^-?0x[0-9a-f]+$", o[2]) is not None


def is_jump(ins):
    return ins.opcode.startswith(("BRA", "JMP", "BRX", "JMX"))


def region_path(code, first, last, children, own_loop, step=0, facts=frozenset()):
    """The longest path, in instructions, through code[first..last] with the
    inner loops `children` each standing for all their trips: a list of
    instruction indices and of inner loops in issue order. Branches forward
    within the region are followed both ways; a branch out of it ends the
    path, and so does the loop's own branch back."""
    child_at = {c.start: c for c in children}
    leaders = block_starts(code)
    # Remainder tests: a loop's counter tested after the loop, until the
    # counter is set again for another loop (the compiler may reuse it), or a
    # count masked to its low bits (n & 3). The whole tiles the bench counts
    # leave no remainder: such a test's branch skips.
    remainder = {}  # register -> [(first, end)]: a test of it in [first, end) is a remainder test
    for c in children:
        if c.counter:
            end = next((k for k in range(c.end + 1, last + 1)
                        if writes(code[k], c.counter) and not steps_itself(code[k], c.counter)), last + 1)
            remainder.setdefault(c.counter, []).append((c.end + 1, end))
    weight = {}
    for c in children:
        weight[c.start] = child_cost(code, c, facts)[0]
    # best[i]: the longest path from i to the region's end, and its next step.
    best = [0.0] * (last + 2)
    nxt = [None] * (last + 2)
    i = last
    while i >= first:
        c = child_at.get(i)
        if c is not None:
            best[i] = weight[i] + (best[c.end + 1] if c.end + 1 <= last else 0.0)
            nxt[i] = c.end + 1 if c.end + 1 <= last else None
            i -= 1
            continue
        ins = code[i]
        options = []
        t = branch_target(ins)
        unconditional = ins.predicate in ("", "@PT")
        ends = ins.opcode.startswith(("EXIT", "RET")) and unconditional
        if t is not None and first <= (t_index := index_of(code, t)) <= last and t_index > i:
            options.append(t_index)
        if not ends and not (is_jump(ins) and unconditional) and i + 1 <= last:
            options.append(i + 1)
        if ins.opcode.startswith(("BRX", "JMX")):
            # An indirect jump (a switch): the targets its table holds, or
            # when they are not known any block after it.
            targets = _switch_targets.get(i)
            options = [j for j in (targets if targets is not None else leaders) if i < j <= last]
        if own_loop and i == last:
            options = []
        options = [j for j in options if (i, j) not in facts]
        pick = max(options, key=lambda j: best[j]) if options else None
        if len(options) == 2 and not _edge and is_remainder_test(code, first, i, remainder):
            pick = max(options)
        elif len(options) == 2 and step:
            full = full_batch_side(code, first, i, step)
            if full is not None:
                pick = t_index if full != _edge else i + 1
        best[i] = 1 + (best[pick] if pick is not None else 0.0)
        nxt[i] = pick
        i -= 1
    steps = []
    i = first
    while i is not None and i <= last:
        steps.append(child_at.get(i, i))
        i = nxt[i]
    return steps


def full_batch_side(code, first, i, step):
    """Whether the branch at i, in a trip of a loop of `step`, is taken when a
    full batch is left (True), not taken then (False), or is no such test
    (None). A loop over batches of rows tests each trip whether a whole
    batch is left (height - row > 7, or row > 6 counting down) and runs the
    straight code of a full batch, or the rows left one by one: the whole
    tiles the bench counts always take the full batch."""
    ins = code[i]
    pred = ins.predicate.lstrip("@")
    negated = pred.startswith("!")
    pred = pred.lstrip("!")
    if not pred or pred in ("PT", "UPT"):
        return None
    for j in range(i - 1, first - 1, -1):
        test = code[j]
        copied = copied_predicate(test, pred)
        if copied:
            pred = copied
            continue
        if test.opcode.split(".")[0] in ("ISETP", "UISETP") and test.operands and test.operands[0] == pred:
            o = test.operands
            kind = test.opcode.split(".")[1] if "." in test.opcode else ""
            if len(o) < 4 or not register_of(o[2]) or not re.match(r"^0x[0-9a-f]+$", o[3]) or \
                    kind not in ("GT", "GE", "LT", "LE") or not step - 2 <= int(o[3], 16) <= step:
                return None
            holds_when_full = kind in ("GT", "GE")
            return holds_when_full != negated
    return None


def is_remainder_test(code, first, i, remainder):
    """Whether the branch at i tests a remainder (region_path)."""
    pred = code[i].predicate.lstrip("@!")
    for j in range(i - 1, first - 1, -1):
        ins = code[j]
        if ins.opcode.split(".")[0] in ("ISETP", "UISETP") and ins.operands and ins.operands[0] == pred:
            return any(left_over(code, first, j, r, remainder) or masked(code, j, r)
                       for r in (register_of(o) for o in ins.operands[2:4]) if r)
        if ins.operands and ins.operands[0] == pred:
            # The test straight from the mask: LOP3.LUT P0, R31, R22, 0x3, RZ, 0xc0, !PT.
            return low_bits_mask(ins)
    return False


def left_over(code, first, j, reg, remainder):
    """Whether `reg` at index j holds a loop's counter after the loop, or that
    counter offset by a constant (R23 = R24 - 4; R23 > 4: whether the 8
    columns a loop of 16 over R24 may leave are left)."""
    def counter_at(r, k):
        return any(a <= k < b for a, b in remainder.get(r, ()))
    if counter_at(reg, j):
        return True
    for k in range(j - 1, first - 1, -1):
        if writes(code[k], reg):
            o = sum_operands(code[k])
            return code[k].opcode.split(".")[0] in ("IADD3", "UIADD3", "VIADD") and code[k].predicate == "" and \
                len(o) >= 3 and re.match(r"^-?0x[0-9a-f]+$", o[2]) is not None and \
                all(x in ("RZ", "URZ") for x in o[3:]) and register_of(o[1]) != reg and \
                counter_at(register_of(o[1]), k)
    return False


def low_bits_mask(ins):
    """Whether `ins` takes a count's low bits (n & 3), into a register or
    straight into a predicate."""
    if not ins.opcode.startswith("LOP3"):
        return False
    sources = ins.operands[2:4] if re.match(r"^U?P(\d|T)$", ins.operands[0]) else ins.operands[1:3]
    return any(o in ("0x1", "0x3", "0x7", "0xf") for o in sources)


_masked = {}


def masked(code, j, reg):
    """Whether `reg`, as last set before index j, is a count's low bits (n & 3)."""
    key = (id(code), j, reg)
    if key not in _masked:
        _masked[key] = masked_at(code, j, reg)
    return _masked[key]


def masked_at(code, j, reg):
    for k in range(j - 1, -1, -1):
        ins = code[k]
        if writes(ins, reg):
            return low_bits_mask(ins)
    return False


_leaders = {}


def block_starts(code):
    """Indices where a basic block starts: branch targets and what follows a jump."""
    key = id(code)
    if key not in _leaders:
        starts = set()
        for i, ins in enumerate(code):
            t = branch_target(ins)
            if t is not None:
                starts.add(index_of(code, t))
            if ins.opcode.startswith(("BRA", "BRX", "JMP", "JMX", "EXIT", "RET")) and i + 1 < len(code):
                starts.add(i + 1)
            starts.update(_switch_targets.get(i, []))
        _leaders[key] = sorted(j for j in starts if j >= 0)
    return _leaders[key]


_index_cache = {}


def index_of(code, address):
    key = id(code)
    if key not in _index_cache:
        _index_cache[key] = {ins.address: i for i, ins in enumerate(code)}
    return _index_cache[key].get(address, -1)


def path_cost(code, steps, repeat, facts=frozenset()):
    """Instructions, round trips and clocks along `steps`, the last of
    `repeat` walks counted (a loop's second trip sees the loads the first
    left in flight). The clocks are those of one warp issuing in order: each
    instruction the stall its control word gives after the one before, and
    no earlier than the short-scoreboard results it waits for are ready
    (SHORT_SCOREBOARD_CLOCKS); the round trips come on top."""
    # What the last walk left in flight stays: the next walk waits for it.
    pending = [[] for _ in range(6)]  # per scoreboard: the epoch each global load was issued in
    ready = [0.0] * 6  # per scoreboard: the clock its short-latency results are ready
    epoch = 0
    clock = 0.0
    for _ in range(repeat):
        count = waits = 0.0
        start = clock
        for s in steps:
            if isinstance(s, Loop):
                n, w, c = child_cost(code, s, facts)
                count += n
                waits += w
                clock += c
                epoch += 1 if w else 0
                continue
            ins = code[s]
            count += 1
            mask = ins.wait
            if ins.opcode.startswith("DEPBAR"):
                m = re.search(r"SB(\d+)", ins.text)
                if m:
                    mask |= 1 << int(m.group(1))
            drained = [e for b in range(6) if mask >> b & 1 for e in pending[b]]
            if drained:
                if epoch in drained:  # a load issued since the last round trip
                    waits += 1
                    epoch += 1
                for b in range(6):
                    if mask >> b & 1:
                        pending[b] = []
            issue = max([clock] + [ready[b] for b in range(6) if mask >> b & 1])
            if ins.write_barrier < 6:
                if GLOBAL_LOAD.match(ins.opcode):
                    pending[ins.write_barrier].append(epoch)
                else:
                    ready[ins.write_barrier] = max(ready[ins.write_barrier],
                                                 issue + _short_clocks[short_unit(ins.opcode)])
            clock = issue + max(1, (ins.control >> 41) & 0xF)
    return count, waits, clock - start


_costs = {}


def loop_cost(code, lp, tile, facts=None):
    """(instructions, waits, clocks) of one trip of `lp`, its inner loops included;
    `facts`: the branch edges the launch's parameters rule out (the whole
    kernel's, or those of one trip of a fixed list)."""
    facts = _facts if facts is None else facts
    key = (id(code), lp.start, id(facts), _edge)
    if key not in _costs:
        assign_trips(code, lp.children, lp.step)
        steps = region_path(code, lp.start, lp.end, lp.children, True, lp.step, facts)
        _costs[key] = path_cost(code, steps, 2, facts)
    return _costs[key]


def child_cost(code, c, facts):
    """(instructions, waits, clocks) of all the trips of inner loop `c`: trip
    by trip where the launch's parameters were followed through each trip of
    a fixed list, else a trip's upper bound times the trips."""
    trips = _trip_facts.get((id(code), c.start))
    if trips is not None and c.trips:
        costs = [loop_cost(code, c, c.tile, f) for f in trips]
        return tuple(sum(x[k] for x in costs) for k in range(3))
    return tuple(c.trips * x for x in loop_cost(code, c, c.tile, facts))



_facts = frozenset()  # edges (from index, to index) the launch's parameters rule out
_edge = False  # reading the edge path: a trip short of a full batch (region_path)
_short_clocks = {}  # SHORT_SCOREBOARD_CLOCKS of the architecture being read
_trip_facts = {}  # (code, loop start) -> the ruled-out edges of each trip of a fixed list


def follow_parameters(code, top, params, call_writes, bank2=None):
    """Walks the kernel with what its parameter buffer `params` fixes
    (sass_values): every branch whose predicate that decides has its other
    edge ruled out. A loop over a fixed list is walked trip by trip (its
    entries' settings differ); any other loop once, with what it writes not
    known at its head. Fills _facts and _trip_facts."""
    global _facts
    _facts = set()
    _trip_facts.clear()
    walk_region(code, 0, len(code) - 1, top, sass_values.State(params, None, bank2), _facts, call_writes)


def walk_region(code, first, last, children, state, facts, call_writes):
    """Forward through code[first..last] from `state`: returns what holds
    where the region is left (past its end, or by a branch out or back)."""
    child_at = {c.start: c for c in children}
    pending = {first: [state]}
    leaving = []

    def send(j, st):
        if first <= j <= last:
            pending.setdefault(j, []).append(st)
        else:
            leaving.append(st)

    i = first
    while i <= last:
        incoming = pending.pop(i, None)
        if not incoming:
            i += 1
            continue
        st = sass_values.join(incoming) if len(incoming) > 1 else incoming[0]
        c = child_at.get(i)
        if c is not None:
            send(c.end + 1, walk_loop(code, c, st, facts, call_writes))
            i = c.end + 1
            continue
        ins = code[i]
        unconditional = ins.predicate in ("", "@PT")
        guard = True if unconditional else sass_values.predicate(st, ins.predicate.lstrip("@"))
        t = branch_target(ins)
        if t is not None and len(ins.operands) > 1 and sass_values.PREDICATE.match(ins.operands[0]):
            # BRA P0, target: taken only where its own predicate holds too.
            unconditional = False
            guard = sass_values.combine("AND", guard, sass_values.predicate(st, ins.operands[0]))
        if t is not None:
            j = index_of(code, t)
            if guard is True and not unconditional:
                facts.add((i, i + 1))
            if guard is False:
                facts.add((i, j))
            if guard is not False:
                send(j if j > i else last + 1, st.copy() if guard is None else st)
            if guard is not True:
                send(i + 1, st)
        elif ins.opcode.startswith(("BRX", "JMX")):
            targets = _switch_targets.get(i)
            targets = [j for j in (targets if targets is not None else block_starts(code)) if j > i]
            known = switch_target(code, i, st) if guard is True else None
            if known in targets:
                # A switch on a setting: the one case it names.
                facts.update((i, j) for j in targets if j != known)
                targets = [known]
            for j in targets:
                send(j, st.copy())
        elif ins.opcode.startswith(("EXIT", "RET", "BPT")):
            if guard is not True:
                send(i + 1, st)
        elif ins.opcode.startswith("CALL"):
            st = st.copy()
            for n in subroutine_writes(ins, call_writes):
                st.set(n, None)
            send(i + 1, st)
        else:
            sass_values.execute(ins, st, guard)
            send(i + 1, st)
        i += 1
    leaving.extend(pending.pop(last + 1, []))
    return sass_values.join(leaving)


def switch_target(code, i, st):
    """The index the indirect jump at i goes to when its register is known
    (BRX Ra imm: Ra + imm + the next instruction's address), else None."""
    parts = code[i].operands[0].split() if code[i].operands else []
    value = sass_values.word(st, parts[0]) if parts else None
    if value is None or i + 1 >= len(code):
        return None
    imm = int(parts[1], 16) if len(parts) > 1 and re.match(r"^-?0x[0-9a-f]+$", parts[1]) else 0
    j = index_of(code, (value + imm + code[i + 1].address) & sass_values.MASK)
    return j if j >= 0 else None


def subroutine_write_sets(code, starts, end):
    """{address: what the subroutine there writes, the subroutines it calls
    included}; under None, what any of them writes (a call whose target is
    not known)."""
    bounds = starts + [len(code)]
    own = {code[j].address: (j, bounds[k + 1]) for k, j in enumerate(starts)}
    sets = {a: {n for ins in code[j:e] for n in sass_values.written(ins)} for a, (j, e) in own.items()}
    for _ in range(len(sets)):
        for a, (j, e) in own.items():
            for ins in code[j:e]:
                t = branch_target_any(ins) if ins.opcode.startswith("CALL") else None
                sets[a] |= sets.get(t, set())
    sets[None] = {n for ins in code[end:] for n in sass_values.written(ins)}
    return sets


def subroutine_writes(ins, call_writes):
    t = branch_target_any(ins)
    return call_writes.get(t, call_writes[None])


def walk_loop(code, lp, state, facts, call_writes):
    if lp.count and lp.counter and state is not None:
        trips = []
        for _ in range(lp.count):
            f = set()
            state = walk_region(code, lp.start, lp.end, lp.children, state, f, call_writes)
            trips.append(f)
            if state is None:
                break
        if len(trips) == lp.count:
            _trip_facts[(id(code), lp.start)] = trips
            return state
        # Left early: the trips' facts would not all be known.
    head = state.copy() if state is not None else None
    if head is not None:
        for ins in code[lp.start:lp.end + 1]:
            for n in sass_values.written(ins):
                head.set(n, None)
            if ins.opcode.startswith("CALL"):
                for n in subroutine_writes(ins, call_writes):
                    head.set(n, None)
    out = walk_region(code, lp.start, lp.end, lp.children, head, facts, call_writes)
    return sass_values.join([head, out])


def assign_trips(code, children, tile):
    """Each inner loop runs tile / step trips; loops on one counter after a
    first (the compiler's remainders of one source loop) run none."""
    main = None
    for c in children:
        c.tile = c.step
        if remainder_of(code, main, c):
            c.trips = 0.0
            continue
        main = c
        # Outside a tile (the pixel loop's body) a loop over a fixed list
        # runs its whole list.
        c.trips = tile / c.step if c.step and tile else float(c.count or 1)


_switch_targets = {}  # index of an indirect jump -> indices of the blocks its table names


def find_switch_targets(code, table):
    """The targets of each indirect jump, from the kernel's constant bank 2
    (`table`, its words): a jump BRX Ra imm goes to Ra + imm + the next
    instruction's address, Ra loaded from c[0x2][Rb + offset]; the table runs
    from that offset to the next one the kernel loads from."""
    _switch_targets.clear()
    if not table:
        return
    loads = {}  # register -> (index, byte offset) of its last LDC from bank 2
    offsets = set()
    for ins in code:
        m = ins.opcode.startswith("LDC") and BANK2.search(ins.text)
        if m:
            offsets.add(int(m.group(1) or "0", 16))
    ends = sorted(offsets) + [4 * len(table)]
    for i, ins in enumerate(code):
        m = ins.opcode.startswith("LDC") and BANK2.search(ins.text)
        if m and ins.operands:
            loads[register_of(ins.operands[0])] = int(m.group(1) or "0", 16)
        elif ins.opcode.startswith("BRX") and ins.operands:
            parts = ins.operands[0].split()
            reg = register_of(parts[0])
            imm = int(parts[1], 16) if len(parts) > 1 and re.match(r"^-?0x[0-9a-f]+$", parts[1]) else 0
            if reg not in loads:
                continue
            start = loads[reg]
            end = min(e for e in ends if e > start)
            base = (code[i + 1].address if i + 1 < len(code) else ins.address + 16) + imm
            targets = [index_of(code, table[w] + base) for w in range(start // 4, min(end // 4, len(table)))]
            if targets and all(t >= 0 for t in targets):
                _switch_targets[i] = sorted(set(targets))


def kernel_counts(code, arch, table=None, params=None):
    """(fixed instructions, fixed waits, fixed clocks, [(step, instructions,
    waits, clocks)], [the same of the edge path]) of a kernel's machine code
    for `arch` ("sm_75");
    `table`: its constant bank 2, where its switches' jump tables lie;
    `params`: a launch's parameter buffer, whose settings decide branches
    (follow_parameters), or None for the upper bound over every setting."""
    global _facts, _short_clocks, _edge
    _facts = frozenset()
    _edge = False
    if arch not in SHORT_SCOREBOARD_CLOCKS:
        raise ValueError("no short-scoreboard latency for %s" % arch)
    _short_clocks = SHORT_SCOREBOARD_CLOCKS[arch]
    _trip_facts.clear()
    if not code:
        raise ValueError("no machine code")
    # Subroutines (the slow paths of divisions) follow the kernel's own code:
    # calls into them are not followed.
    for cache in (_leaders, _index_cache, _costs, _masked):
        cache.clear()
    # A call whose code ends in EXIT rather than RET is a jump the compiler
    # made a call of (out of a loop, on sm_89).
    _jump_calls.clear()
    subroutines = []
    for ins in code:
        t = branch_target_any(ins) if ins.opcode.startswith("CALL") else None
        j = index_of(code, t) if t is not None else -1
        if j <= 0:
            continue
        k = next((k for k in range(j, len(code)) if code[k].opcode.startswith(("RET", "EXIT"))
                  and code[k].predicate == ""), None)
        if k is not None and code[k].opcode.startswith("RET"):
            subroutines.append(j)
        else:
            _jump_calls.add(ins.address)
    end = min(subroutines) if subroutines else len(code)
    body = code[:end]
    find_switch_targets(body, table)
    while body and body[-1].opcode.startswith(("BRA", "NOP")) and branch_target(body[-1]) == body[-1].address:
        body.pop()  # the padding's jump to itself
    while body and body[-1].opcode.startswith("NOP"):
        body.pop()
    top = [lp for lp in find_loops(body) if lp.end > lp.start]
    if params is not None:
        call_writes = subroutine_write_sets(code, sorted(set(subroutines)), end)
        follow_parameters(body, top, params, call_writes, table)
    loops = top_loops(body, top)
    fixed, fixed_waits, fixed_clocks = path_cost(body, region_path(body, 0, len(body) - 1, top, False, 0, _facts), 1,
                                                 _facts)
    # The edge path of each walk (a loop over pixels has none): each trip
    # short of a full batch, its remainders run.
    _edge = True
    try:
        edge_loops = [edge if edge[0] else whole for edge, whole in zip(top_loops(body, top), loops)]
    finally:
        _edge = False
    return fixed, fixed_waits, fixed_clocks, loops, edge_loops


def top_loops(body, top):
    """[(step, instructions, waits, clocks)] of a trip of each loop at the
    kernel's top level (kernel_counts)."""
    loops = []
    main = None
    versions = []  # loops without a constant step: versions of the loop over rows
    for lp in top:
        lp.tile = lp.step
        lp.trips = 0.0  # outside the fixed part: the bench multiplies
        if remainder_of(body, main, lp):
            continue
        main = lp
        n, w, c = loop_cost(body, lp, lp.step)
        if lp.step:
            loops.append((lp.step, n, w, c))
        else:
            versions.append((0, n, w, c))
    if versions:
        loops.append(max(versions))
    return loops


def branch_target_any(ins):
    m = re.search(r"(0x[0-9a-f]+)", ins.operands[-1]) if ins.operands else None
    return int(m.group(1), 16) if m else None


def run(command):
    r = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True)
    if r.returncode != 0:
        raise RuntimeError("%s failed: %s" % (" ".join(command), r.stderr.strip()))
    return r.stdout


def table(sass, resources, bounds, archs, banks=None):
    lines = []
    for arch in archs:
        if arch not in sass:
            raise RuntimeError("the bundle has no machine code for %s" % arch)
        for mangled in sorted(sass[arch], key=demangled):
            name = demangled(mangled)
            if mangled.startswith(("_ZN3cub", "_ZN6thrust", "_ZN4cuda")):  # the libraries' (reductions)
                continue
            head = "kernel=%s arch=%s symbol=%s" % (name, arch, mangled)
            if mangled not in resources.get(arch, {}):
                lines.append("%s error=no_resource_usage" % head)
                continue
            regs, shared = resources[arch][mangled]
            threads = bounds.get(arch, {}).get(mangled, 0)
            try:
                counts = kernel_counts(sass[arch][mangled], arch, (banks or {}).get(arch, {}).get(mangled))
            except Exception as e:  # a kernel whose code this reading does not follow
                lines.append("%s error=%s" % (head, re.sub(r"\s+", "_", str(e)) or type(e).__name__))
                continue
            bank = (banks or {}).get(arch, {}).get(mangled)
            tables = " bank2=%s" % "".join("%08x" % w for w in bank) if bank else ""
            lines.append("%s registers=%d shared=%d threads=%d %s%s" % (head, regs, shared, threads,
                                                                       counts_text(*counts), tables))
    return lines


def counts_text(fixed, fixed_waits, fixed_clocks, loops, edge_loops):
    def walk_text(walk):
        return ",".join("%d:%.0f:%.0f:%.0f" % lp for lp in walk) or "-"
    text = "fixed_instructions=%d fixed_waits=%d fixed_clocks=%d loops=%s" % (fixed, fixed_waits, fixed_clocks,
                                                                             walk_text(loops))
    return text + (" edge_loops=%s" % walk_text(edge_loops) if walk_text(edge_loops) != walk_text(loops) else "")


def launch_counts(requests, disassemble, banks):
    """One line per launch of `requests` ([(id, arch, symbol, parameter
    bytes)]): the counts of the path its parameters leave (kernel_counts),
    `id=<id> fixed_instructions=.. fixed_waits=.. loops=..`, or
    `id=<id> error=<why>`. disassemble(arch, symbol) gives the kernel's code;
    banks: {arch: {symbol: constant bank 2}}."""
    lines = []
    done = {}  # launches with the same parameters take the same path
    for ident, arch, symbol, params in requests:
        key = (arch, symbol, params)
        if key not in done:
            try:
                code = disassemble(arch, symbol)
                done[key] = counts_text(*kernel_counts(code, arch, banks.get(arch, {}).get(symbol), params))
            except Exception as e:
                done[key] = "error=%s" % (re.sub(r"\s+", "_", str(e)) or type(e).__name__)
        lines.append("id=%s %s" % (ident, done[key]))
    return lines


def read_launches(path):
    """Requests from a file of lines `<id> <arch> <symbol> <hex bytes>`."""
    out = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if len(fields) == 4:
                out.append((fields[0], fields[1], fields[2], bytes.fromhex(fields[3])))
            elif fields:
                raise RuntimeError("%s: a line does not parse: %s" % (path, line.strip()))
    return out


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--cuobjdump")
    ap.add_argument("--nvdisasm-dir", default="")
    ap.add_argument("--bundle")
    ap.add_argument("--arch", action="append", default=[])
    ap.add_argument("--output", required=True)
    ap.add_argument("--launches", help="count the paths these launches take (read_launches), not the table")
    ap.add_argument("--table", help="with --launches: the table written before (the kernels' constant bank 2)")
    ap.add_argument("--code-dir", help="where the table's reading keeps each kernel's machine code for --launches")
    a = ap.parse_args()
    archs = ["sm_" + x for x in a.arch]
    env = dict(os.environ)
    if a.nvdisasm_dir:
        env["PATH"] = a.nvdisasm_dir + os.pathsep + env.get("PATH", "")
    os.environ.update(env)
    try:
        if a.launches:
            lines = launch_counts(read_launches(a.launches), lambda arch, symbol: read_code(a.code_dir, arch, symbol),
                                  read_banks(a.table))
        else:
            if not a.cuobjdump or not os.path.exists(a.cuobjdump):
                raise RuntimeError("cuobjdump not found (tools/setup.sh installs it)")
            sass_text = res_text = elf_text = ""
            for arch in archs:
                sass_text += run([a.cuobjdump, "-sass", "-arch", arch, a.bundle])
                res_text += run([a.cuobjdump, "-res-usage", "-arch", arch, a.bundle])
                elf_text += run([a.cuobjdump, "-elf", "-arch", arch, a.bundle])
            sass = parse_sass(sass_text)
            lines = table(sass, parse_resources(res_text), parse_bounds(elf_text), archs, parse_constant2(elf_text))
            if a.code_dir:
                write_code(a.code_dir, sass)
    except (OSError, RuntimeError) as e:
        sys.stderr.write("sass_counts: %s\n" % e)
        return 1
    with open(a.output + ".tmp", "w") as f:
        f.write("\n".join(lines) + "\n")
    os.replace(a.output + ".tmp", a.output)
    return 0


# Each kernel's machine code as the table read it, one file per kernel and
# architecture (address, control word, text), for --launches to read back.
def code_path(directory, arch, symbol):
    # Named by a digest: a library kernel's name is longer than a file name may be.
    return os.path.join(directory, "%s.%s.sass" % (arch, hashlib.sha1(symbol.encode()).hexdigest()))


def write_code(directory, sass):
    os.makedirs(directory, exist_ok=True)
    for arch, kernels in sass.items():
        for symbol, code in kernels.items():
            with open(code_path(directory, arch, symbol), "w") as f:
                f.write("".join("%x %x %s\n" % (ins.address, ins.control, ins.text) for ins in code))


def read_code(directory, arch, symbol):
    path = code_path(directory or "", arch, symbol)
    if not directory or not os.path.exists(path):
        raise RuntimeError("no machine code for %s on %s" % (symbol, arch))
    code = []
    with open(path) as f:
        for line in f:
            address, control, text = line.rstrip("\n").split(" ", 2)
            code.append(Instruction(int(address, 16), text, 0, int(control, 16)))
    return code


def read_banks(path):
    """{arch: {symbol: constant bank 2}} as the table keeps them."""
    banks = {}
    with open(path) as f:
        for line in f:
            fields = dict(x.split("=", 1) for x in line.split() if "=" in x)
            if "bank2" in fields:
                words = fields["bank2"]
                banks.setdefault(fields["arch"], {})[fields["symbol"]] = [
                    int(words[k:k + 8], 16) for k in range(0, len(words), 8)]
    return banks

if __name__ == "__main__":
    sys.exit(main())

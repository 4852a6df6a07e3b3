"""What a kernel's machine code computes from its parameters alone.

A launch's parameters (the bytes of its parameter buffer) fix the values of
the registers and predicates the code derives from them, and with those the
branches that test only settings (a corrector family on or off, a refine slot
in use). `State` holds what is known at a point of the code: registers as
32-bit words, predicates as booleans; whatever is not in it is not known
(a pixel's value, a load from memory). `execute` applies one instruction;
an opcode it does not model leaves what it writes unknown, so the walk
errs towards taking both sides of a branch, never one side too few.

Parameters live in constant bank 0 from PARAMETER_BASE (sm_75 to sm_89).
"""
import re
import struct
from fractions import Fraction

PARAMETER_BASE = 0x160
MASK = 0xFFFFFFFF

CONSTANT = re.compile(r"^(-)?(\|)?c\[(0x[02])\]\[\s*(?:(U?R\d+|U?RZ)\s*\+?\s*)?(0x[0-9a-f]+)?\s*\]\|?$")
REGISTER = re.compile(r"^([-~])?(\|)?(U?R\d+|U?RZ)(?:\.reuse)?(?:\.(B[0-3]|H[01]))?\|?$")
PREDICATE = re.compile(r"^(!)?(U?P\d|U?PT)$")


class State:
    """Known registers and predicates; `params` the parameter buffer (constant
    bank 0 from PARAMETER_BASE), `bank2` the words of the kernel's constant
    bank 2 (the compiler's constants) or None."""
    __slots__ = ("values", "params", "bank2")

    def __init__(self, params, values=None, bank2=None):
        self.params = params
        self.values = values if values is not None else {}
        self.bank2 = bank2

    def copy(self):
        return State(self.params, dict(self.values), self.bank2)

    def read(self, bank, offset, size=4, signed=False):
        if bank == 0:
            return constant(self.params, offset, size, signed)
        if self.bank2 is None or offset % 4 or size != 4 or offset // 4 >= len(self.bank2):
            return None
        return self.bank2[offset // 4]

    def get(self, name):
        if name in ("RZ", "URZ"):
            return 0
        if name in ("PT", "UPT"):
            return True
        return self.values.get(name)

    def set(self, name, value):
        if name in ("RZ", "URZ", "PT", "UPT"):
            return
        if value is None:
            self.values.pop(name, None)
        else:
            self.values[name] = value


def join(states):
    """What holds on every one of `states`."""
    states = [s for s in states if s is not None]
    if not states:
        return None
    if len(states) == 1:
        return states[0]
    first = states[0]
    common = {k: v for k, v in first.values.items() if all(s.values.get(k, None) == v for s in states[1:])}
    return State(first.params, common, first.bank2)


def constant(params, offset, size=4, signed=False):
    """Bytes of the parameter buffer at constant-bank offset `offset`."""
    start = offset - PARAMETER_BASE
    if params is None or start < 0 or start + size > len(params):
        return None
    return int.from_bytes(params[start:start + size], "little", signed=signed) & MASK


def to_float(bits):
    return struct.unpack("<f", struct.pack("<I", bits & MASK))[0]


def from_float(x):
    """The float nearest x (ties to even), as bits; overflow to infinity."""
    if x != x:
        return 0x7FC00000
    try:
        return struct.unpack("<I", struct.pack("<f", x))[0]
    except OverflowError:
        return 0x7F800000 if x > 0 else 0xFF800000


def float_immediate(text):
    t = text.strip()
    if t in ("+INF", "INF"):
        return 0x7F800000
    if t == "-INF":
        return 0xFF800000
    if t.endswith("NAN"):
        return 0x7FFFFFFF
    try:
        return from_float(float(t))
    except ValueError:
        return None


def word(state, operand, floating=False, width=4, signed=False):
    """The 32-bit value of a source operand, or None."""
    o = operand.strip()
    m = CONSTANT.match(o)
    if m:
        neg, absolute, bank = m.group(1), m.group(2), int(m.group(3), 16)
        reg, off = m.group(4), int(m.group(5) or "0", 16)
        base = 0 if reg is None else state.get(reg)
        if base is None:
            return None
        v = state.read(bank, (base + off) & MASK, width, signed)
        return None if v is None else modify(v, neg, absolute, floating)
    m = REGISTER.match(o)
    if m:
        v = state.get(m.group(3))
        if v is None:
            return None
        if m.group(4):
            part = m.group(4)
            v = (v >> (8 * int(part[1]))) & 0xFF if part[0] == "B" else (v >> (16 * int(part[1]))) & 0xFFFF
        if m.group(1) == "~":
            return ~v & MASK
        return modify(v, m.group(1), m.group(2), floating)
    if re.match(r"^-?0x[0-9a-f]+$", o):
        v = int(o, 16)
        return v & MASK if not floating or v >= 0 else from_float(-to_float(-v))
    if floating:
        return float_immediate(o)
    return None


def modify(v, neg, absolute, floating):
    if floating:
        if absolute:
            v &= 0x7FFFFFFF
        if neg:
            v ^= 0x80000000
        return v
    if absolute:
        v = abs(signed32(v))
    if neg:
        v = -v
    return v & MASK


def signed32(v):
    return v - (1 << 32) if v & 0x80000000 else v


def predicate(state, operand):
    """A predicate operand (!P1, PT, UP0) as True/False, or None."""
    m = PREDICATE.match(operand.strip())
    if not m:
        return None
    v = state.get(m.group(2))
    if v is None:
        return None
    return (not v) if m.group(1) else v


def lut(table, a, b, c, bits=32):
    """The three-input logic operation whose truth table is `table`
    (the result for inputs 0xF0, 0xCC, 0xAA)."""
    full = (1 << bits) - 1
    r = 0
    for i in range(8):
        if table >> i & 1:
            r |= (a if i & 4 else ~a) & (b if i & 2 else ~b) & (c if i & 1 else ~c)
    return r & full


COMPARE = {
    "EQ": lambda a, b: a == b, "NE": lambda a, b: a != b, "LT": lambda a, b: a < b,
    "LE": lambda a, b: a <= b, "GT": lambda a, b: a > b, "GE": lambda a, b: a >= b,
}


def combine(kind, x, y):
    if x is None or y is None:
        # AND with a known false, OR with a known true, decide alone.
        if kind == "AND" and (x is False or y is False):
            return False
        if kind == "OR" and (x is True or y is True):
            return True
        return None
    return {"AND": x and y, "OR": x or y, "XOR": x != y}[kind]


def float_compare(op, a, b):
    x, y = to_float(a), to_float(b)
    unordered = x != x or y != y
    if op == "NUM":
        return not unordered
    if op == "NAN":
        return unordered
    if op.endswith("U") and op[:-1] in COMPARE:
        return True if unordered else COMPARE[op[:-1]](x, y)
    if op in COMPARE:
        return False if unordered else COMPARE[op](x, y)
    return None


def written(ins):
    """Registers and predicates `ins` may write (for the opcodes not modelled)."""
    o = ins.operands
    out = []
    if not o:
        return out
    if ins.opcode.startswith("R2P"):
        prefix = "UP" if o[0].startswith("UPR") else "P"
        return ["%s%d" % (prefix, k) for k in range(7)]
    first = o[0].split()[0]
    pair = "64" in ins.opcode or "WIDE" in ins.opcode or (ins.opcode.startswith("CS2R") and ".32" not in ins.opcode) \
        or re.match(r"^D(ADD|MUL|FMA|MNMX)", ins.opcode)
    width = 4 if ".128" in ins.opcode else 2 if pair else 1
    m = re.match(r"^(U?R)(\d+)$", first)
    if m:
        out += ["%s%d" % (m.group(1), int(m.group(2)) + k) for k in range(width)]
    elif PREDICATE.match(first):
        out.append(first.lstrip("!"))
        if len(o) > 1 and re.match(r"^(U?R\d+|U?P\d)$", o[1]):
            out.append(o[1])
    if len(o) > 1 and re.match(r"^U?P\d$", o[1]):
        out.append(o[1])
    return out


def execute(ins, state, guard):
    """Applies `ins` to `state` (in place). `guard`: its predicate's value
    (True, False or None when not known)."""
    if guard is False:
        return
    before = {n: state.get(n) for n in written(ins)} if guard is None else None
    try:
        done = apply(ins, state)
    except (ValueError, IndexError, ZeroDivisionError, OverflowError):
        done = False
    if not done:
        for n in written(ins):
            state.set(n, None)
    if before is not None:
        # Run or not: only what both would leave stays known.
        for n, v in before.items():
            if state.get(n) != v:
                state.set(n, None)


def apply(ins, state):
    """Models `ins`; False when its opcode (or form) is not modelled."""
    parts = ins.opcode.split(".")
    base, mods = parts[0], parts[1:]
    o = ins.operands
    w = lambda k, **kw: word(state, o[k], **kw)

    if base in ("MOV", "UMOV", "MOV32I", "R2UR"):
        state.set(o[0], w(1))
        return True
    if base in ("LDC", "ULDC"):
        size = {"U8": 1, "S8": 1, "U16": 2, "S16": 2, "64": 8}.get(mods[0] if mods else "", 4)
        m = CONSTANT.match(o[1])
        if not m or m.group(1) or m.group(2):
            return False
        bank, reg, off = int(m.group(3), 16), m.group(4), int(m.group(5) or "0", 16)
        b = 0 if reg is None else state.get(reg)
        if b is None:
            return False
        signed = bool(mods) and mods[0].startswith("S")
        if size == 8:
            lo, hi = state.read(bank, (b + off) & MASK), state.read(bank, (b + off + 4) & MASK)
            d = re.match(r"^(U?R)(\d+)$", o[0])
            state.set(o[0], lo)
            if d:
                state.set("%s%d" % (d.group(1), int(d.group(2)) + 1), hi)
            return True
        state.set(o[0], state.read(bank, (b + off) & MASK, size, signed))
        return True
    if base == "IMAD":
        if "HI" in mods or "X" in mods:
            return False
        if "MOV" in mods:
            state.set(o[0], w(3))
            return True
        a, b = w(1), w(2)
        if "WIDE" in mods:
            c_lo = w(3)
            m = re.match(r"^(U?R)(\d+)$", o[3].split(".")[0])
            c_hi = state.get("%s%d" % (m.group(1), int(m.group(2)) + 1)) if m else (0 if o[3] in ("RZ",) else None)
            if None in (a, b, c_lo, c_hi):
                return False
            if "U32" not in mods:
                a, b = signed32(a), signed32(b)
            r = (a * b + (c_hi << 32 | c_lo)) & ((1 << 64) - 1)
            d = re.match(r"^(U?R)(\d+)$", o[0])
            state.set(o[0], r & MASK)
            state.set("%s%d" % (d.group(1), int(d.group(2)) + 1), r >> 32)
            return True
        c = w(3)
        state.set(o[0], None if None in (a, b, c) else (a * b + c) & MASK)
        return True
    if base in ("IADD3", "UIADD3"):
        if "X" in mods:
            return False
        terms = [x for x in o[1:] if not PREDICATE.match(x)]
        carries = [x for x in o[1:] if PREDICATE.match(x) and x not in ("PT", "UPT", "!PT")]
        vals = [word(state, x) for x in terms]
        state.set(o[0], None if None in vals else sum(vals) & MASK)
        for p in carries:
            state.set(p, None)
        return True
    if base in ("LEA", "ULEA"):
        if "HI" in mods or "X" in mods:
            return False
        rest = [x for x in o[1:] if not PREDICATE.match(x)]
        for p in o[1:]:
            if PREDICATE.match(p) and p not in ("PT", "UPT"):
                state.set(p, None)
        a, b, s = word(state, rest[0]), word(state, rest[1]), word(state, rest[2])
        state.set(o[0], None if None in (a, b, s) else ((a << (s & 31)) + b) & MASK)
        return True
    if base in ("SHF", "USHF"):
        a, s, b = w(1), w(2), w(3)
        if None in (a, s, b):
            state.set(o[0], None)
            return True
        s &= 31 if "64" not in mods else 63
        pair = (b << 32) | a
        if mods[0] == "L":
            r = (pair << s) >> 32 if "HI" in mods else a << s
        elif "S32" in mods and "HI" in mods:
            r = signed32(b) >> s
        else:
            r = pair >> (s + 32) if "HI" in mods else pair >> s
        state.set(o[0], r & MASK)
        return True
    if base in ("LOP3", "ULOP3"):
        if PREDICATE.match(o[0]):
            pd, d, srcs, table, tail = o[0], o[1], o[2:5], o[5], o[6]
        else:
            pd, d, srcs, table, tail = None, o[0], o[1:4], o[4], o[5] if len(o) > 5 else "!PT"
        vals = [word(state, x) for x in srcs]
        r = None if None in vals else lut(int(table, 16), *vals)
        state.set(d, r)
        if pd:
            state.set(pd, (r != 0) if (r is not None and tail.strip() == "!PT") else None)
        return True
    if base in ("PLOP3", "UPLOP3"):
        ins_ = [predicate(state, x) for x in o[2:5]]
        for dest, table in ((o[0], o[5]), (o[1], o[6])):
            if None in ins_:
                state.set(dest, None)
            else:
                state.set(dest, bool(lut(int(table, 16), *[1 if x else 0 for x in ins_], bits=1)))
        return True
    if base in ("ISETP", "UISETP", "FSETP"):
        op = mods[0]
        kind = next((k for k in mods if k in ("AND", "OR", "XOR")), None)
        if kind is None or ("EX" in mods and (base == "FSETP" or len(o) < 6)):
            return False
        pc = predicate(state, o[4])
        if "EX" in mods:
            # The high words of a 64-bit comparison (a pointer's null test:
            # ISETP.NE.U32.AND P0, PT, R2, RZ, PT; ISETP.NE.AND.EX P0, PT,
            # R3, RZ, PT, P0): where they differ they decide, where they are
            # equal the low words' comparison, its last operand, does.
            a, b, low = w(2), w(3), predicate(state, o[5])
            if None in (a, b) or (a == b and low is None):
                r = None
            elif a == b:
                r = low
            else:
                r = COMPARE[op](a, b) if "U32" in mods else COMPARE[op](signed32(a), signed32(b))
            state.set(o[0].lstrip("!"), combine(kind, r, pc))
            state.set(o[1].lstrip("!"), None)
            return True
        if base == "FSETP":
            if "FTZ" in mods:
                return False
            a, b = w(2, floating=True), w(3, floating=True)
            r = None if None in (a, b) else float_compare(op, a, b)
        else:
            a, b = w(2), w(3)
            if None in (a, b):
                r = None
            elif "U32" in mods:
                r = COMPARE[op](a, b)
            else:
                r = COMPARE[op](signed32(a), signed32(b))
        state.set(o[0].lstrip("!"), combine(kind, r, pc))
        state.set(o[1].lstrip("!"), combine(kind, None if r is None else not r, pc))
        return True
    if base in ("SEL", "USEL", "FSEL"):
        p = predicate(state, o[3])
        a, b = w(1, floating=base == "FSEL"), w(2, floating=base == "FSEL")
        state.set(o[0], None if p is None else (a if p else b))
        return True
    if base in ("IMNMX", "UIMNMX"):
        a, b, p = w(1), w(2), predicate(state, o[3])
        if None in (a, b, p):
            state.set(o[0], None)
            return True
        x, y = (a, b) if "U32" in mods else (signed32(a), signed32(b))
        state.set(o[0], (min(x, y) if p else max(x, y)) & MASK)
        return True
    if base == "P2R":
        src, mask = w(2), w(3)
        if src is None or mask is None:
            state.set(o[0], None)
            return True
        prefix = "UP" if o[1].startswith("UPR") else "P"
        r = src & ~mask
        for k in range(7):
            if mask >> k & 1:
                v = state.get("%s%d" % (prefix, k))
                if v is None:
                    state.set(o[0], None)
                    return True
                r |= (1 << k) if v else 0
        state.set(o[0], r & MASK)
        return True
    if base == "R2P":
        src, mask = w(1), w(2)
        prefix = "UP" if o[0].startswith("UPR") else "P"
        for k in range(7):
            if mask is None or mask >> k & 1:
                state.set("%s%d" % (prefix, k), None if src is None else bool(src >> k & 1))
        return True
    if base == "VOTEU" and mods and mods[0] == "ANY":
        state.set(o[0], predicate(state, o[1]))
        return True
    if base == "PRMT":
        a, sel, b = w(1), w(2), w(3)
        if None in (a, sel, b) or len(mods) > 0:
            state.set(o[0], None)
            return True
        source = (b << 32) | a
        r = 0
        for k in range(4):
            nib = (sel >> (4 * k)) & 0xF
            byte = (source >> (8 * (nib & 7))) & 0xFF
            if nib & 8:
                byte = 0xFF if byte & 0x80 else 0
            r |= byte << (8 * k)
        state.set(o[0], r)
        return True
    if base in ("FADD", "FMUL", "FFMA", "FMNMX"):
        if any(m in mods for m in ("FTZ", "SAT", "RZ", "RM", "RP")):
            return False
        if base == "FMNMX":
            a, b, p = w(1, floating=True), w(2, floating=True), predicate(state, o[3])
            if None in (a, b, p):
                state.set(o[0], None)
                return True
            x, y = to_float(a), to_float(b)
            if x != x:
                state.set(o[0], b)
            elif y != y:
                state.set(o[0], a)
            else:
                state.set(o[0], (a if x <= y else b) if p else (a if x >= y else b))
            return True
        vals = [w(k, floating=True) for k in range(1, 4 if base == "FFMA" else 3)]
        if None in vals:
            state.set(o[0], None)
            return True
        xs = [to_float(v) for v in vals]
        if any(x != x or x in (float("inf"), float("-inf")) for x in xs):
            return False
        if base == "FADD":
            r = from_float(xs[0] + xs[1])
        elif base == "FMUL":
            r = from_float(xs[0] * xs[1])
        else:
            exact = Fraction(xs[0]) * Fraction(xs[1]) + Fraction(xs[2])
            r = from_float(float(exact)) if exact == Fraction(float(exact)) else None
        state.set(o[0], r)
        return True
    return False

"""tools/sass_arithmetic.py on machine code written by hand: what a register
budget changes is not a difference, a change of arithmetic is."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import sass_arithmetic  # noqa: E402


def listing(kernels, arch="sm_75"):
    """cuobjdump -sass output of {name: [instruction text]}."""
    text = "arch = %s\n" % arch
    for name, code in kernels.items():
        text += "\t\tFunction : %s\n" % name
        for i, ins in enumerate(code):
            text += "        /*%04x*/                   %s ;   /* 0x%016x */\n    /* 0x%016x */\n" % (16 * i, ins, 0, 0)
    return text


def compare(before, after, kernel=None, recomputed=False):
    return sass_arithmetic.differences(sass_arithmetic.value_multisets(listing(before), kernel),
                                       sass_arithmetic.value_multisets(listing(after), kernel), recomputed)


# A step of a polynomial and an exponential, as nvcc might allocate it.
BEFORE = ["LDG.E R2, [R4]", "FFMA R6, R2, 0.5, R3", "FMUL R7, R6, c[0x0][0x160]", "MUFU.EX2 R8, R7",
          "FADD R9, -R8, 1", "STG.E [R4], R9", "EXIT"]


class Differences(unittest.TestCase):

    def test_a_register_budget_s_changes_are_not_differences(self):
        # Other registers, reuse flags, commuted factors and terms, moves,
        # spills and another order: the same values.
        after = ["LDG.E R12, [R4]", "MOV R20, R3", "STL [R1], R20", "FFMA R13, 0.5, R12.reuse, R20",
                 "FMUL R14, c[0x0][0x160], R13", "MUFU.EX2 R15, R14", "FADD R16, 1, -R15", "LDL R20, [R1]",
                 "STG.E [R4], R16", "EXIT"]
        self.assertEqual(compare({"k": BEFORE}, {"k": after}), [])

    def test_a_change_of_arithmetic_is_named(self):
        cases = {
            "a contraction undone": ["FMUL R6, R2, 0.5", "FADD R6, R6, R3"],
            "another constant": ["FFMA R6, R2, 0.25, R3"],
            "a negation moved": ["FFMA R6, -R2, 0.5, R3"],
            "a value computed twice": ["FFMA R6, R2, 0.5, R3", "FFMA R6, R2, 0.5, R3"],
        }
        for case, step in cases.items():
            after = BEFORE[:1] + step + BEFORE[2:]
            lines = compare({"k": BEFORE}, {"k": after})
            self.assertTrue(lines and lines[0].startswith("sm_75 k:"), case)
            self.assertTrue(any(x.endswith(" x FFMA R, 0.5, R, R") for x in lines[1:]), case)

    def test_a_value_recomputed_passes_only_when_asked_and_nothing_else_changed(self):
        twice = BEFORE[:2] + ["FFMA R10, R2, 0.5, R3"] + BEFORE[2:]
        self.assertEqual(len(compare({"k": BEFORE}, {"k": twice})), 2)
        self.assertEqual(compare({"k": BEFORE}, {"k": twice}, recomputed=True), [])
        # A new operation, or one lost beside the copy, is still a difference.
        for after in (twice[:1] + ["FFMA R6, R2, 0.25, R3"] + twice[2:], twice[:3] + twice[4:]):
            self.assertTrue(compare({"k": BEFORE}, {"k": after}, recomputed=True))

    def test_a_kernel_in_one_build_only_is_named(self):
        self.assertEqual(compare({"k": BEFORE}, {"k": BEFORE, "j": BEFORE}), ["sm_75 j: only in after"])

    def test_a_name_picks_the_kernels_compared(self):
        changed = BEFORE[:1] + ["FFMA R6, R2, 0.25, R3"] + BEFORE[2:]
        self.assertEqual(compare({"k": BEFORE, "j": BEFORE}, {"k": BEFORE, "j": changed}, kernel="^k$"), [])
        self.assertEqual(len(compare({"k": BEFORE, "j": BEFORE}, {"k": BEFORE, "j": changed}, kernel="j")), 3)


if __name__ == "__main__":
    unittest.main()

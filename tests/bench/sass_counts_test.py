"""tools/sass_counts.py on machine code written by hand: which loads a trip
waits for, one after another, by the scoreboards the control bits name."""
import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
import sass_counts  # noqa: E402

NONE = 7  # no scoreboard


def line(address, text, write=NONE, wait=0, stall=1):
    """One instruction as cuobjdump prints it: the control bits (stall,
    write scoreboard, wait mask) in the top of the second word."""
    high = (stall | (write << 5) | (wait << 11)) << 41
    return "        /*%04x*/                   %s ;   /* 0x%016x */\n    /* 0x%016x */\n" % (address, text, 0, high)


def all_counts(instructions, params=None, bank2=None, arch="sm_75", edge=False):
    """kernel_counts of `instructions`: (fixed instructions, waits, clocks,
    [(step, instructions, waits, clocks)]), the loops those of the edge path
    with `edge`."""
    text = "arch = %s\n\t\tFunction : _Z6kernelPf\n" % arch
    for i, ins in enumerate(instructions):
        text += line(16 * i, *ins)
    code = sass_counts.parse_sass(text)[arch]["_Z6kernelPf"]
    fixed, waits, clocks, loops, edge_loops = sass_counts.kernel_counts(code, arch, bank2, params)
    return fixed, waits, clocks, edge_loops if edge else loops


def counts(instructions, params=None, bank2=None):
    """Instructions and round trips: (fixed instructions, waits, [(step,
    instructions, waits)])."""
    fixed, waits, _, loops = all_counts(instructions, params, bank2)
    return fixed, waits, [lp[:3] for lp in loops]


class RoundTrips(unittest.TestCase):
    def test_loads_issued_together_wait_once(self):
        fixed, waits, loops = counts([
            ("LDG.E.SYS R2, [R4]", 0),
            ("LDG.E.SYS R3, [R4+0x4]", 1),
            ("FADD R5, R2, R2", NONE, 0b01),
            ("FADD R6, R3, R5", NONE, 0b10),  # in flight since before the first wait
            ("EXIT",),
        ])
        self.assertEqual((fixed, waits, loops), (5, 1, []))

    def test_a_load_issued_after_a_wait_waits_again(self):
        fixed, waits, loops = counts([
            ("LDG.E.SYS R2, [R4]", 0),
            ("FADD R5, R2, R2", NONE, 0b01),
            ("LDG.E.SYS R3, [R4+0x4]", 0),
            ("STG.E.SYS [R4], R3", NONE, 0b01),
            ("EXIT",),
        ])
        self.assertEqual(waits, 2)

    def test_a_loop_gives_its_step_and_a_trip_s_counts(self):
        fixed, waits, loops = counts([
            ("MOV R4, RZ",),
            ("LDG.E.SYS R2, [R6]", 2),                                  # 0x10: the loop
            ("LDG.E.SYS R3, [R6+0x4]", 2),
            ("FADD R5, R2, R3", NONE, 0b100),
            ("STG.E.SYS [R6], R5",),
            ("IADD3 R4, R4, 0x8, RZ",),
            ("ISETP.GE.AND P0, PT, R4, c[0x0][0x170], PT",),
            ("@!P0 BRA 0x10",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(8, 7, 1)])
        self.assertEqual((fixed, waits), (2, 0))

    def test_a_loop_counting_down_gives_its_step(self):
        # for (row = h - 1; row >= 0; row -= 8): the counter steps with a
        # carry out, and the test compares it offset (row + 8 > 7).
        _, _, loops = counts([
            ("LDG.E.SYS R2, [R6]", 0),                                  # 0x0: the loop
            ("FADD R5, R2, R2", NONE, 0b1),
            ("STG.E.SYS [R6], R5",),
            ("IADD3 R9, P1, R9, -0x8, RZ",),
            ("IADD3 R14, R9, 0x8, RZ",),
            ("IADD3.X R10, R10, -0x1, RZ, P1, !PT",),
            ("ISETP.GT.AND P0, PT, R14, 0x7, PT",),
            ("@P0 BRA 0x0",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(8, 8, 1)])

    def test_a_load_a_trip_leaves_for_the_next_is_waited_for_there(self):
        # The trip waits for the load the trip before issued after its own
        # wait, then issues and waits for one more: two round trips.
        _, _, loops = counts([
            ("MOV R4, RZ",),
            ("FADD R7, R3, R3", NONE, 0b10),                            # 0x10: the loop
            ("LDG.E.SYS R2, [R6]", 0),
            ("FADD R5, R2, R7", NONE, 0b1),
            ("STG.E.SYS [R6], R5",),
            ("LDG.E.SYS R3, [R6+0x4]", 1),
            ("IADD3 R4, R4, 0x8, RZ",),
            ("ISETP.GE.AND P0, PT, R4, c[0x0][0x170], PT",),
            ("@!P0 BRA 0x10",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(8, 8, 2)])

    def test_whole_tiles_take_a_loop_s_full_batch(self):
        # if (row + 1 >= 8) the batch's loads go out together, else the rows
        # left each wait for their own: only the last trip of a column.
        code = [
            ("ISETP.GT.AND P0, PT, R9, 0x6, PT",),                      # 0x0: the loop
            ("@P0 BRA 0x60",),
            ("LDG.E.SYS R2, [R6]", 0),
            ("FADD R5, R2, R2", NONE, 0b1),
            ("LDG.E.SYS R3, [R6+0x4]", 0),
            ("FADD R5, R3, R5", NONE, 0b1),
            ("LDG.E.SYS R2, [R6]", 0),                                  # 0x60: the full batch
            ("LDG.E.SYS R3, [R6+0x4]", 0),
            ("FADD R5, R2, R3", NONE, 0b1),
            ("IADD3 R9, R9, -0x8, RZ",),
            ("ISETP.GT.AND P1, PT, R9, -0x1, PT",),
            ("@P1 BRA 0x0",),
            ("EXIT",),
        ]
        _, _, loops = counts(code)
        self.assertEqual(loops, [(8, 8, 1)])
        # The edge path, a batch short of rows: those left one by one, and
        # then the batch's code.
        self.assertEqual([lp[:3] for lp in all_counts(code, edge=True)[3]], [(8, 12, 3)])

    def test_a_uniform_counter_reaches_the_branch_through_a_predicate_copy(self):
        _, _, loops = counts([
            ("LDG.E.SYS R2, [R6]", 0),                                  # 0x0: the loop
            ("ISETP.GE.AND P0, PT, R24, 0x2, PT",),                     # a batch's own test
            ("@P0 FADD R5, R2, R2", NONE, 0b1),
            ("UIADD3 UR4, UR4, 0x8, URZ",),
            ("UISETP.GE.AND UP0, UPT, UR4, UR10, UPT",),
            ("PLOP3.LUT P0, PT, PT, PT, UP0, 0x80, 0x0",),
            ("@!P0 BRA 0x0",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(8, 7, 1)])

    def test_a_grid_stride_loop_takes_a_pixel_a_trip(self):
        _, _, loops = counts([
            ("LDG.E.SYS R2, [R6]", 0),                                  # 0x0: the loop
            ("FMUL R2, R2, 2",),
            ("STG.E.SYS [R6], R2", NONE, 0b1),
            ("IADD3 R4, R4, R7, RZ",),
            ("ISETP.GE.AND P0, PT, R4, c[0x0][0x170], PT",),
            ("@!P0 BRA 0x0",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(0, 6, 1)])

    def test_a_loop_tested_through_copies_of_its_counter_gives_its_step(self):
        # Forward: the exit test in a uniform predicate, copied to P0 for the
        # branch. Backward: the counter steps down with a carry out, and the
        # test reads it plus the step.
        _, _, loops = counts([
            ("UIADD3 UR4, UR4, 0x8, URZ",),                             # 0x00: forward
            ("UISETP.GE.AND UP0, UPT, UR4, UR10, UPT",),
            ("FADD R5, R2, R3",),
            ("PLOP3.LUT P0, PT, PT, PT, UP0, 0x80, 0x0",),
            ("@!P0 BRA 0x0",),
            ("FADD R5, R2, R3",),                                       # 0x50: backward
            ("IADD3 R9, P1, R9, -0x8, RZ",),
            ("IADD3 R14, R9, 0x8, RZ",),
            ("IADD3.X R10, R10, -0x1, RZ, P1, !PT",),
            ("ISETP.GT.AND P0, PT, R14, 0x7, PT",),
            ("@P0 BRA 0x50",),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(8, 5, 0), (8, 6, 0)])

    def test_a_counter_tested_through_what_keeps_its_test_gives_its_step(self):
        # A tile loop over x0 stepping back 32 columns, its exit test kept in
        # a register until the trip's end while other tests reuse P0: in a
        # bit a LOP3 sets; in a uniform register (UP2UR); or made on a copy
        # of the counter that a later write reuses.
        def step(code):
            return [lp[0] for lp in counts(at(["tile:"] + code + [("@P0 BRA @tile",), ("EXIT",)]))[2]]
        self.assertEqual(step([
            ("ISETP.GT.AND P0, PT, R142, 0x1f, PT",),
            ("LOP3.LUT R204, R204, 0xfffff7ff, RZ, 0xc0, !PT",),
            ("@P0 LOP3.LUT R204, R204, 0x800, RZ, 0xfc, !PT",),
            ("IADD3 R142, R142, -0x20, RZ",),
            ("FADD R5, R5, R2",),
            ("ISETP.GE.AND P0, PT, R7, R148, PT",),
            ("LOP3.LUT P0, RZ, R204, 0x800, RZ, 0xc0, !PT",),
        ]), [32])
        self.assertEqual(step([
            ("UISETP.GT.AND UP2, UPT, UR8, 0x1f, UPT",),
            ("UP2UR UR26, UPR, URZ, 0x4",),
            ("UIADD3 UR8, UR8, -0x20, URZ",),
            ("ISETP.GE.AND P0, PT, R7, R148, PT",),
            ("UISETP.NE.AND UP0, UPT, UR26, URZ, UPT",),
            ("PLOP3.LUT P0, PT, PT, PT, UP0, 0x80, 0x0",),
        ]), [32])
        self.assertEqual(step([
            ("UMOV UR8, UR6",),
            ("UISETP.GT.AND UP0, UPT, UR8, 0x1f, UPT",),
            ("UIADD3 UR6, UR6, -0x20, URZ",),
            ("UIADD3 UR8, UR5, 0x4, URZ",),
            ("PLOP3.LUT P0, PT, PT, PT, UP0, 0x80, 0x0",),
        ]), [32])
        # Left on a test of a pixel's value the loop has no counter, though
        # an older test of P0 compared one.
        self.assertEqual(step([
            ("IADD3 R142, R142, -0x20, RZ",),
            ("ISETP.GT.AND P0, PT, R142, 0x1f, PT",),
            ("FSETP.GT.AND P0, PT, R5, RZ, PT",),
        ]), [0])

    def test_a_pixel_loop_runs_an_inner_loop_over_a_fixed_list_whole(self):
        def pixel_loop(test):
            return counts([
                ("MOV R9, RZ",),                                        # 0x00: the pixel loop
                ("FADD R5, R2, R3",),                                   # 0x10: six slots
                ("IADD3 R9, R9, 0x1, RZ",),
                (test,),
                ("@!P0 BRA 0x10",),
                ("IADD3 R4, R4, R7, RZ",),
                ("ISETP.GE.AND P0, PT, R4, c[0x0][0x170], PT",),
                ("@!P0 BRA 0x0",),
                ("EXIT",),
            ])[2]
        self.assertEqual(pixel_loop("ISETP.GE.U32.AND P0, PT, R9, 0x6, PT"), [(0, 1 + 6 * 4 + 3, 0)])
        # Left by a jump out, the branch back taken always.
        self.assertEqual(counts([
            ("MOV R9, RZ",),                                            # 0x00: the pixel loop
            ("FADD R5, R2, R3",),                                       # 0x10: six slots
            ("IADD3 R9, R9, 0x1, RZ",),
            ("ISETP.GE.U32.AND P0, PT, R9, 0x6, PT",),
            ("@P0 BRA 0x60",),
            ("BRA 0x10",),
            ("IADD3 R4, R4, R7, RZ",),                                  # 0x60
            ("ISETP.GE.AND P0, PT, R4, c[0x0][0x170], PT",),
            ("@!P0 BRA 0x0",),
            ("EXIT",),
        ])[2], [(0, 1 + 6 * 5 + 3, 0)])
        # Against a register the count is not known: one trip.
        self.assertEqual(pixel_loop("ISETP.GE.U32.AND P0, PT, R9, R8, PT"), [(0, 1 + 4 + 3, 0)])


class Clocks(unittest.TestCase):
    """A warp issues in order: the stall each control word names, and no
    sooner than the short-scoreboard results an instruction waits for."""

    def test_dependent_work_waits_the_stall_the_compiler_wrote(self):
        # A recursion step: two multiply-adds that wait on each other (4
        # clocks each), a multiply and a store between steps (1 each).
        _, _, clocks, loops = all_counts([
            ("FMUL R4, R2, R9", NONE, 0, 1),                            # 0x00: the loop
            ("FFMA R5, -R3, R6, R4", NONE, 0, 4),
            ("FFMA R6, -R2, R7, R5", NONE, 0, 4),
            ("STS [R8], R6", NONE, 0, 1),
            ("IADD3 R8, R8, 0x4, RZ", NONE, 0, 1),
            ("ISETP.GE.AND P0, PT, R8, c[0x0][0x170], PT", NONE, 0, 1),
            ("@!P0 BRA 0x0", NONE, 0, 5),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(4, 7, 0, 1 + 4 + 4 + 1 + 1 + 1 + 5)])
        self.assertEqual(clocks, 1)

    def test_a_shared_load_s_result_is_ready_after_the_part_s_latency(self):
        code = [("LDS.U R4, [R8]", 0),
                ("FADD R5, R4, R4", NONE, 0b1),
                ("EXIT",)]
        for arch, latency in (("sm_75", 19), ("sm_89", 30)):
            self.assertEqual(all_counts(code, arch=arch)[2], latency + 2, arch)
        # Work issued meanwhile hides it.
        self.assertEqual(all_counts(code[:1] + fadds(10) + code[1:])[2], 19 + 2)
        # A global load's wait is a round trip, not clocks.
        fixed, waits, clocks, _ = all_counts([("LDG.E.SYS R4, [R8]", 0), ("FADD R5, R4, R4", NONE, 0b1),
                                              ("EXIT",)])
        self.assertEqual((fixed, waits, clocks), (3, 1, 3))

    def test_a_special_function_s_result_is_ready_after_its_unit_s_latency(self):
        # Ada's shared memory answers later than Turing's, its special
        # functions and conversions as soon.
        for unit in ("MUFU.EX2 R4, R8", "F2I.TRUNC.NTZ R4, R8", "I2F R4, R8", "FRND.FLOOR R4, R8"):
            code = [(unit, 0), ("FADD R5, R4, R4", NONE, 0b1), ("EXIT",)]
            for arch in ("sm_75", "sm_89"):
                self.assertEqual(all_counts(code, arch=arch)[2], 19 + 2, (unit, arch))
        # Two results on one scoreboard: the later one's unit decides.
        mixed = [("MUFU.RCP R4, R8", 0), ("LDS.U R6, [R9]", 0), ("FADD R5, R4, R6", NONE, 0b1), ("EXIT",)]
        self.assertEqual(all_counts(mixed, arch="sm_89")[2], 1 + 30 + 2)

    def test_a_trip_s_loads_for_the_next_are_ready_there(self):
        # The shared load issued at a trip's end is used at the next's start:
        # the counted (second) trip waits what the load has left after the
        # load's and the branch's own stalls.
        _, _, _, loops = all_counts([
            ("FADD R5, R4, R4", NONE, 0b1),                             # 0x00: the loop
            ("IADD3 R8, R8, 0x4, RZ",),
            ("ISETP.GE.AND P0, PT, R8, c[0x0][0x170], PT",),
            ("LDS.U R4, [R8]", 0),
            ("@!P0 BRA 0x0", NONE, 0, 5),
            ("EXIT",),
        ])
        self.assertEqual(loops, [(4, 5, 0, (19 - 1 - 5) + 1 + 1 + 1 + 1 + 5)])


def fadds(n):
    return [("FADD R5, R5, R2",)] * n


def at(code):
    """`code` with each label ("name:", on its own) resolved in the branches
    that name it: instructions are 16 bytes apart from address 0."""
    labels, out = {}, []
    for ins in code:
        if isinstance(ins, str):
            labels[ins.rstrip(":")] = 16 * len(out)
        else:
            out.append(ins)
    return [(ins[0].split(" @")[0] + (" 0x%x" % labels[ins[0].split(" @")[1]] if " @" in ins[0] else ""),) +
            ins[1:] for ins in out]


class WholeTiles(unittest.TestCase):
    """A row pass's tile of 32 columns leaves nothing over: the code the
    compiler adds for what an unrolled loop leaves does not run, and every
    loop the tile runs counts."""

    def tile(self, between, test):
        # Each tile: a loop of 16 columns a trip (the compute), the code of
        # what it leaves, then `between` and a loop of 16 rows a trip (the
        # stores) behind its entry test `test`.
        return counts(at([
            "tile:",
            ("MOV R19, R15",),
            "compute:",
            ("FADD R5, R5, R2",),
            ("IADD3 R19, R19, -0x10, RZ",),
            ("ISETP.GT.AND P0, PT, R19, 0xc, PT",),
            ("@P0 BRA @compute",),
            ("ISETP.GT.AND P0, PT, R19, RZ, PT",),
            ("@!P0 BRA @stores",),
        ] + fadds(3) + [
            "stores:",
        ] + between + [
            (test,),
            ("@!P1 BRA @tile_end",),
            "store:",
            ("STG.E.SYS [R6], R5",),
            ("IADD3 R19, R19, -0x10, RZ",),
            ("ISETP.GT.AND P1, PT, R19, 0xc, PT",),
            ("@P1 BRA @store",),
            "tile_end:",
            ("IADD3 R16, R16, 0x20, RZ",),
            ("ISETP.GE.AND P2, PT, R16, c[0x0][0x170], PT",),
            ("@!P2 BRA @tile",),
            ("EXIT",),
        ]))[2]

    def test_a_counter_set_again_for_the_next_loop_tests_no_remainder(self):
        # The compiler reuses the compute loop's counter for the stores: its
        # entry test reads the counter set again, and the stores run.
        self.assertEqual(self.tile([("MOV R19, R15",)], "ISETP.GT.AND P1, PT, R19, 0xc, PT"),
                         [(32, 1 + 2 * 4 + 2 + 3 + 2 * 4 + 3, 0)])
        # Not set again: what the compute loop left, tested, and skipped.
        self.assertEqual(self.tile([], "ISETP.GT.AND P1, PT, R19, 0xc, PT"), [(32, 1 + 2 * 4 + 2 + 2 + 3, 0)])
        # Its offset (R23 = R19 - 4; R23 > 4: the loop's next 8 columns) too.
        self.assertEqual(self.tile([("IADD3 R23, R19, -0x4, RZ",)], "ISETP.GT.AND P1, PT, R23, 0x4, PT"),
                         [(32, 1 + 2 * 4 + 2 + 3 + 3, 0)])

    def test_a_count_s_low_bits_tested_straight_from_the_mask_are_left_over(self):
        # A backward walk first takes the columns past a multiple of four
        # (columns & 3) one by one: none in a whole tile.
        _, _, loops = counts(at([
            "tile:",
            ("LOP3.LUT P0, R31, R22, 0x3, RZ, 0xc0, !PT",),
            ("@!P0 BRA @four",),
        ] + fadds(5) + [
            ("ISETP.NE.AND P0, PT, R31, 0x1, PT",),
            ("@!P0 BRA @four",),
        ] + fadds(5) + [
            "four:",
            ("FADD R5, R5, R3",),
            ("IADD3 R16, R16, 0x20, RZ",),
            ("ISETP.GE.AND P2, PT, R16, c[0x0][0x170], PT",),
            ("@!P2 BRA @tile",),
            ("EXIT",),
        ]))
        self.assertEqual(loops, [(32, 2 + 4, 0)])

    def test_a_branch_reads_the_test_that_set_its_predicate_last(self):
        # P0 held a remainder test once; set again by a test of a pixel's
        # value, its branch takes the longer side. So does a test of R4 once
        # R4 no longer holds the low bits (a logic operation that writes a
        # predicate beside it).
        fixed, _, _ = counts(at([
            ("LOP3.LUT R4, R9, 0x3, RZ, 0xc0, !PT",),
            ("ISETP.NE.AND P0, PT, R4, RZ, PT",),
            ("@!P0 BRA @value",),
        ] + fadds(2) + [
            "value:",
            ("FSETP.GT.AND P0, PT, R5, RZ, PT",),
            ("@!P0 BRA @bits",),
        ] + fadds(6) + [
            "bits:",
            ("LOP3.LUT P1, R4, R8, R7, RZ, 0xc0, !PT",),
            ("ISETP.NE.AND P0, PT, R4, RZ, PT",),
            ("@!P0 BRA @end",),
        ] + fadds(4) + [
            "end:",
            ("EXIT",),
        ]))
        self.assertEqual(fixed, 3 + 2 + 6 + 3 + 4 + 1)


class LaunchParameters(unittest.TestCase):
    """The branches a launch's parameters decide take the launch's side."""

    def test_a_setting_s_switch(self):
        # if (on) { ten additions }: the parameter buffer starts at c[0x0][0x160].
        code = [("ULDC.U8 UR4, c[0x0][0x164]",),
                ("ISETP.NE.AND P0, PT, RZ, UR4, PT",),
                ("@!P0 BRA 0xd0",)] + fadds(10) + [("EXIT",)]
        self.assertEqual(counts(code)[0], 14)
        self.assertEqual(counts(code, bytes([0, 0, 0, 0, 1]))[0], 14)
        self.assertEqual(counts(code, bytes([0, 0, 0, 0, 0]))[0], 4)
        # A pixel's value decides nothing: the longest side.
        data = [("LDG.E.SYS R4, [R6]", 0), ("ISETP.NE.AND P0, PT, RZ, R4, PT", NONE, 1),
                ("@!P0 BRA 0xd0",)] + fadds(10) + [("EXIT",)]
        self.assertEqual(counts(data, bytes(8))[0], 14)

    def test_a_fixed_list_takes_each_entry_s_settings(self):
        # Each pixel: for (i = 0; i < 3; ++i) if (entry[i].on) { five
        # additions }, entries of 4 bytes from c[0x0][0x168]: on, off, on.
        code = [("MOV R7, RZ",),
                ("MOV R8, RZ",),                                              # 0x10: the pixels
                ("MOV R9, RZ",),
                ("LDC.U8 R10, c[0x0][R8+0x168]",),                           # 0x30: the list
                ("ISETP.NE.AND P0, PT, R10, RZ, PT",),
                ("@!P0 BRA 0xb0",)] + fadds(5) + [
                ("IADD3 R8, R8, 0x4, RZ",),                                   # 0xb0
                ("IADD3 R9, R9, 0x1, RZ",),
                ("ISETP.GE.U32.AND P1, PT, R9, 0x3, PT",),
                ("@!P1 BRA 0x30",),
                ("IADD3 R7, R7, c[0x0][0x0], RZ",),
                ("ISETP.GE.AND P2, PT, R7, c[0x0][0x160], PT",),
                ("@!P2 BRA 0x10",),
                ("EXIT",)]
        params = bytes(8) + bytes([1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0])
        self.assertEqual(counts(code)[2], [(0, 2 + 3 * 12 + 3, 0)])
        self.assertEqual(counts(code, params)[2], [(0, 2 + 12 + 7 + 12 + 3, 0)])

    def test_a_pointer_s_null_test(self):
        # if (p) { nine additions }, p a 64-bit pointer at c[0x0][0x160]:
        # its low words compared, then its high words with the low words'
        # outcome.
        code = [("ULDC.64 UR4, c[0x0][0x160]",),
                ("ISETP.NE.U32.AND P0, PT, RZ, UR4, PT",),
                ("ISETP.NE.AND.EX P0, PT, RZ, UR5, PT, P0",),
                ("@!P0 BRA 0xd0",)] + fadds(9) + [("EXIT",)]
        self.assertEqual(counts(code)[0], 14)
        self.assertEqual(counts(code, bytes(8))[0], 5)
        self.assertEqual(counts(code, bytes([0, 0, 0x10, 0, 0, 0, 0, 0]))[0], 14)
        self.assertEqual(counts(code, bytes([0, 0, 0, 0, 1, 0, 0, 0]))[0], 14)  # the high word alone

    def test_a_switch_on_a_setting_takes_its_case(self):
        # switch (setting): the jump table in constant bank 2 holds each
        # case's address less the one after the jump (0x40 - 0x40 + ...).
        code = [("LDC R2, c[0x0][0x160]",),
                ("SHF.L.U32 R3, R2, 0x2, RZ",),
                ("LDC R4, c[0x2][R3]",),
                ("BRX R4 -0x40",),
                ("FADD R5, R5, R2",),                                         # 0x40: case 0
                ("BRA 0xd0",)] + fadds(6) + [                                 # 0x60: case 1
                ("BRA 0xd0",),
                ("EXIT",)]                                                    # 0xd0
        table = [0x40, 0x60]
        self.assertEqual(counts(code, None, table)[0], 4 + 7 + 1)
        self.assertEqual(counts(code, bytes([0, 0, 0, 0]), table)[0], 4 + 2 + 1)
        self.assertEqual(counts(code, bytes([1, 0, 0, 0]), table)[0], 4 + 7 + 1)

    def test_what_a_loop_writes_is_not_known_at_its_head(self):
        # The switch is read before the loop over pixels and kept; another
        # register the loop sets stops deciding at the loop's head.
        code = [("LDC.U8 R20, c[0x0][0x164]",),
                ("MOV R21, RZ",),
                ("ISETP.NE.AND P0, PT, R20, RZ, PT",),                        # 0x20: the loop
                ("@!P0 BRA 0x70",),
                ("FADD R5, R5, R2",),
                ("FADD R5, R5, R2",),
                ("FADD R5, R5, R2",),
                ("ISETP.NE.AND P2, PT, R21, RZ, PT",),                        # 0x70
                ("@!P2 BRA 0xb0",),
                ("FADD R5, R5, R2",),
                ("MOV R21, 0x1",),
                ("IADD3 R7, R7, c[0x0][0x0], RZ",),                           # 0xb0
                ("ISETP.GE.AND P1, PT, R7, c[0x0][0x168], PT",),
                ("@!P1 BRA 0x20",),
                ("EXIT",)]
        self.assertEqual(counts(code, bytes(16))[2], [(0, 9, 0)])
        self.assertEqual(counts(code, bytes([0, 0, 0, 0, 1]) + bytes(11))[2], [(0, 12, 0)])


if __name__ == "__main__":
    unittest.main()

#!/usr/bin/env python3
"""Writes tests/colour/data/colour_reference.csv: independent reference values
for the input colour spaces, computed with the colour-science package from the
published transfer functions and primaries.

    python3 -m pip install colour-science==0.4.7
    python3 tools/colour_reference.py > tests/colour/data/colour_reference.csv

The tests compare the plug-in's own conversions against these numbers, so the
tests need no Python. Only published curves and matrices are used here; the
options whose constants or matrices are the plug-in's own are tested against
worked values in the tests instead.
"""

import sys
import warnings

warnings.filterwarnings("ignore")

import numpy as np  # noqa: E402
import colour  # noqa: E402
from colour import models as M  # noqa: E402

D65 = np.array([0.3127, 0.3290])
ACES_WHITE = np.array([0.32168, 0.33767])
P3D65_WHITE = np.array([0.31271, 0.32902])  # the P3-D65 record's own white
P3_PRIMARIES = np.array([[0.68, 0.32], [0.265, 0.69], [0.15, 0.06]])
WORKING_MAX = 469.8


def npm(primaries, white):
    return colour.normalised_primary_matrix(np.asarray(primaries), np.asarray(white))


def bradford(src_xy, dst_xy):
    return colour.adaptation.matrix_chromatic_adaptation_VonKries(
        colour.xy_to_XYZ(src_xy), colour.xy_to_XYZ(dst_xy), "Bradford")


def space_matrix(name, adapt_to_d65=True):
    cs = colour.RGB_COLOURSPACES[name]
    m = npm(cs.primaries, cs.whitepoint)
    if adapt_to_d65 and not np.allclose(cs.whitepoint, D65, atol=1e-9):
        m = bradford(cs.whitepoint, D65) @ m
    return m


AWG4_TO_XYZ = space_matrix("ARRI Wide Gamut 4")
XYZ_TO_AWG4 = np.linalg.inv(AWG4_TO_XYZ)

# Matrices to D65 XYZ by option; None where the plug-in uses its own matrix.
MATRICES = {
    "BT709": space_matrix("ITU-R BT.709"),
    "BT2020": space_matrix("ITU-R BT.2020"),
    "P3D65": space_matrix("P3-D65"),
    "AP0_D65": space_matrix("ACES2065-1"),
    "AP1_D65": space_matrix("ACEScg"),
    "AP0_OWN": space_matrix("ACES2065-1", adapt_to_d65=False),
    "AP1_OWN": space_matrix("ACEScg", adapt_to_d65=False),
    "AWG3": space_matrix("ARRI Wide Gamut 3"),
    "AWG4": AWG4_TO_XYZ,
    "RWG": space_matrix("REDWideGamutRGB"),
    "EGAMUT": space_matrix("FilmLight E-Gamut"),
    "SGAMUT3": space_matrix("S-Gamut3"),
    "VGAMUT": space_matrix("V-Gamut"),
    "R2": space_matrix("REDcolor2"),
    "R3": space_matrix("REDcolor3"),
    "R4": space_matrix("REDcolor4"),
    "R5": space_matrix("DRAGONcolor"),
    "R6": space_matrix("DRAGONcolor2"),
    "DWG": space_matrix("DaVinci Wide Gamut"),
    # Blackmagic Wide Gamut's white is a hair off D65 and is not adapted.
    "BMDWG": space_matrix("Blackmagic Wide Gamut", adapt_to_d65=False),
    "P3DCI_OWN": npm(P3_PRIMARIES, colour.RGB_COLOURSPACES["DCI-P3"].whitepoint),
}


def pq_scene(x):
    """ST 2084 display light through the inverse BT.2100 OOTF (1000 cd/m2)."""
    return M.ootf_inverse_BT2100_HLG(M.eotf_ST2084(np.clip(x, 0, 1)), L_B=0, L_W=1000)


def pq_encode(lin):
    return M.eotf_inverse_ST2084(M.ootf_BT2100_HLG(lin, L_B=0, L_W=1000))


def gamma(g):
    return lambda x: np.where(x > 0, np.abs(x) ** g, 0.0)


def per_channel(f):
    return lambda v: np.array([f(c) for c in v], dtype=float)


def aces_proxy_encode(lin):
    return M.log_encoding_ACESproxy(lin, bit_depth=12)


# Option -> (decode code->linear, encode linear->code or None, matrix name,
#            adaptation (source white, destination white) or None, code limit).
# decode/encode act on a whole RGB triple (PQ mixes channels).
OPTIONS = {
    1: (per_channel(lambda x: M.oetf_inverse_BT2020(x, is_12_bits_system=True)),
        per_channel(lambda x: M.oetf_BT2020(x, is_12_bits_system=True)), "BT709"),
    2: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "BT709"),
    3: (per_channel(M.log_decoding_PivotedLog), per_channel(M.log_encoding_PivotedLog), "BT709"),
    4: (per_channel(lambda x: x), per_channel(lambda x: x), "AP0_D65"),
    5: (per_channel(lambda x: x), per_channel(lambda x: x), "AP1_D65"),
    6: (per_channel(M.log_decoding_ACEScc), per_channel(M.log_encoding_ACEScc), "AP1_D65"),
    7: (per_channel(M.log_decoding_ACEScct), per_channel(M.log_encoding_ACEScct), "AP1_D65"),
    8: (per_channel(lambda x: M.log_decoding_ACESproxy(x, bit_depth=12)),
        per_channel(aces_proxy_encode), "AP1_D65"),
    0: (per_channel(lambda x: x), per_channel(lambda x: x), "BT709"),
    10: (per_channel(M.log_decoding_NLog), per_channel(M.log_encoding_NLog), "BT2020"),
    11: (per_channel(M.log_decoding_ARRILogC3), per_channel(M.log_encoding_ARRILogC3), "AWG3"),
    12: (per_channel(M.log_decoding_Log3G10), per_channel(M.log_encoding_Log3G10), "RWG"),
    13: (per_channel(M.log_decoding_FLog2), per_channel(M.log_encoding_FLog2), "BT2020"),
    14: (per_channel(M.log_decoding_FilmLightTLog), per_channel(M.log_encoding_FilmLightTLog), "EGAMUT"),
    15: (per_channel(M.log_decoding_SLog3), per_channel(M.log_encoding_SLog3), "SGAMUT3"),
    16: (per_channel(M.log_decoding_SLog3), None, None),
    17: (per_channel(M.log_decoding_SLog3), None, None),
    18: (per_channel(M.log_decoding_SLog3), None, None),
    19: (per_channel(M.log_decoding_VLog), per_channel(M.log_encoding_VLog), "VGAMUT"),
    20: (per_channel(lambda x: M.log_decoding_CanonLog(x, out_reflection=False)), None, None),
    21: (per_channel(lambda x: M.log_decoding_CanonLog(x, out_reflection=False)), None, None),
    22: (per_channel(lambda x: M.log_decoding_CanonLog2(x, out_reflection=False)), None, None),
    23: (per_channel(lambda x: M.log_decoding_CanonLog2(x, out_reflection=False)), None, None),
    24: (per_channel(lambda x: M.log_decoding_CanonLog3(x, out_reflection=False)), None, None),
    25: (per_channel(lambda x: M.log_decoding_CanonLog3(x, out_reflection=False)), None, None),
    26: (per_channel(M.log_decoding_DJIDLog), None, None),
    27: (per_channel(M.eotf_sRGB), per_channel(M.eotf_inverse_sRGB), "BT709"),
    28: (per_channel(M.log_decoding_FLog), per_channel(M.log_encoding_FLog), "BT2020"),
    29: (per_channel(lambda x: M.oetf_inverse_BT2020(x, is_12_bits_system=True)),
         per_channel(lambda x: M.oetf_BT2020(
             x, constants=colour.models.rgb.transfer_functions.itur_bt_2020.CONSTANTS_BT2020_PRECISE)),
         "BT2020"),
    30: (per_channel(lambda x: x), per_channel(lambda x: x), "BT2020"),
    31: (gamma(2.6), None, None),  # the plug-in's own fixed P3-D60 matrix
    32: (per_channel(M.eotf_sRGB), per_channel(M.eotf_inverse_sRGB), "P3D65"),
    33: (gamma(2.6), gamma(1 / 2.6), "P3DCI_OWN",
         (colour.RGB_COLOURSPACES["DCI-P3"].whitepoint, P3D65_WHITE)),
    34: (per_channel(lambda x: M.eotf_BT1886(x, L_B=0, L_W=1)),
         per_channel(lambda x: M.eotf_inverse_BT1886(x, L_B=0, L_W=1)), "BT709"),
    35: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "R2"),
    36: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "R3"),
    37: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "R4"),
    38: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "R5"),
    39: (per_channel(M.log_decoding_Cineon), per_channel(M.log_encoding_Cineon), "R6"),
    40: (per_channel(M.log_decoding_Protune), per_channel(M.log_encoding_Protune), "BT709"),
    41: (per_channel(M.log_decoding_Protune), None, None),
    42: (pq_scene, pq_encode, "BT2020"),
    43: (pq_scene, pq_encode, "P3D65"),
    44: (per_channel(M.oetf_inverse_BT2100_HLG), per_channel(M.oetf_BT2100_HLG), "BT2020"),
    45: (per_channel(M.oetf_inverse_DaVinciIntermediate), per_channel(M.oetf_DaVinciIntermediate), "DWG"),
    # DCDM code values carry absolute light: 48 cd/m2 is relative 1.
    # (its equal-energy to D65 matrix is the plug-in's own)
    46: (lambda x: M.eotf_DCDM(x) / 48.0, None, None),
    47: (per_channel(M.log_decoding_ARRILogC4), per_channel(M.log_encoding_ARRILogC4), "AWG4"),
    48: (per_channel(M.oetf_inverse_BlackmagicFilmGeneration5),
         per_channel(M.oetf_BlackmagicFilmGeneration5), "BMDWG"),
}

LINEAR_OPTIONS = {0, 4, 5, 30}
CODE_SAMPLES = [i / 40 for i in range(41)] + [0.0123, 0.0911, 0.1337, 0.391, 0.4589844, 0.6724, 0.9876]
# Mildly coloured code triples well inside every gamut.
CODE_TRIPLES = [(0.3, 0.4, 0.5), (0.45, 0.42, 0.38), (0.6, 0.55, 0.5), (0.2, 0.22, 0.21), (0.8, 0.7, 0.75)]
LINEAR_TRIPLES = [(0.18, 0.18, 0.18), (0.05, 0.1, 0.2), (0.3, 0.25, 0.2), (0.9, 0.8, 0.7),
                  (0.02, 0.03, 0.025), (2.0, 1.8, 1.5)]


def full_matrix(opt):
    entry = OPTIONS[opt]
    m = MATRICES[entry[2]]
    if len(entry) > 3:
        src, dst = entry[3]
        m = bradford(src, dst) @ m
    return m


def fmt(v):
    return repr(float(v))


def row(kind, key, *groups):
    values = [fmt(v) for g in groups for v in np.asarray(g, dtype=float).ravel()]
    return ",".join([kind, str(key)] + values) + "\n"


def main():
    out = sys.stdout
    out.write("# Generated by tools/colour_reference.py (colour-science %s); do not edit.\n"
              % colour.__version__)
    out.write("# Published transfer functions and primaries, in double precision.\n")
    out.write("# curve,option,code,linear: relative linear light of a neutral code value\n")
    out.write("# matrix,name,9 values: to CIE XYZ (rows X, Y, Z), or between whites\n")
    out.write("# decode,option,3 code values,3 linear ARRI Wide Gamut 4 values (clamped to [0, 469.8])\n")
    out.write("# encode,option,3 linear ARRI Wide Gamut 4 values,3 code values\n")

    for opt in sorted(OPTIONS):
        if opt in LINEAR_OPTIONS:
            continue
        decode = OPTIONS[opt][0]
        for x in CODE_SAMPLES:
            lin = np.asarray(decode(np.array([x, x, x])), dtype=float)
            out.write(row("curve", opt, [x, lin[0]]))

    for name, m in MATRICES.items():
        out.write(row("matrix", name, m))
    out.write(row("matrix", "XYZ_TO_AWG4", XYZ_TO_AWG4))
    # Bradford adaptations between the whites of the P3 chromaticity records.
    for name, src in (("ADAPT_P3D60_TO_D65", ACES_WHITE),
                      ("ADAPT_P3DCI_TO_D65", np.array([0.314, 0.351]))):
        out.write(row("matrix", name, bradford(src, P3D65_WHITE)))

    for opt in sorted(OPTIONS):
        entry = OPTIONS[opt]
        if entry[2] is None:
            continue
        triples = CODE_TRIPLES if opt not in LINEAR_OPTIONS else [(0.18, 0.18, 0.18), (0.5, 1.0, 2.0)]
        for t in triples:
            lin = np.asarray(entry[0](np.array(t, dtype=float)), dtype=float)
            awg4 = lin if opt == 47 else XYZ_TO_AWG4 @ (full_matrix(opt) @ lin)
            out.write(row("decode", opt, t, np.clip(awg4, 0.0, WORKING_MAX)))

    # Samples whose option RGB is negative or whose code values leave [0, 1]
    # are left out: there the encodings apply their limits.
    for opt in sorted(OPTIONS):
        entry = OPTIONS[opt]
        if entry[1] is None:
            continue
        for t in LINEAR_TRIPLES:
            lin = np.array(t, dtype=float)
            rgb = lin if opt == 47 else np.linalg.inv(full_matrix(opt)) @ (AWG4_TO_XYZ @ lin)
            if np.any(rgb < 0):
                continue
            code = np.asarray(entry[1](rgb), dtype=float)
            if opt not in LINEAR_OPTIONS and (np.any(code < 0) or np.any(code > 1)):
                continue
            out.write(row("encode", opt, t, code))


if __name__ == "__main__":
    main()

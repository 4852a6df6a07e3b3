// Frames of many distinct, smoothly varying mid-level colours, and the
// specks a road makes of them: pixels that rounding broke.
#pragma once

#include <string>
#include <vector>

namespace colour_sweep {

// A hue x saturation sweep at several luminances in linear ARRI Wide Gamut
// 4: one hue a column (whole degrees, and hues ever closer to the six
// sextant centres), one saturation and luminance a row. RGBA, alpha 1.
struct Sweep {
  int width, height;
  std::vector<float> hues;    // a column's hue, in sextants
  std::vector<float> linear;  // three floats a pixel
};
Sweep make_sweep();

// The sweep as code values of `inputGamut`; with `nudged` every code value
// one float step up.
std::vector<float> encode(const Sweep& s, int inputGamut, bool nudged);

// A pixel that rounding broke, as the road rendered the sweep (`out`) and
// the sweep nudged by one float step (`nudgedOut`).
struct Speck {
  const char* kind;
  int x, y, channel;  // channel -1: the pixel as a whole
  float out[3], nudgedOut[3], left[3], right[3];
};
std::vector<Speck> find_specks(const Sweep& s, const std::vector<float>& out, const std::vector<float>& nudgedOut);
std::string describe(const Speck& s);

// What a road made of the sweep, which a road that broke every pixel alike
// (all black, one colour, or grey) would fail though it shows no speck:
//  - litFraction: the share of pixels with a channel lit above its floor
//    (colour_sweep.cpp);
//  - hueVariation: over the rows, the median of the widest range that a
//    channel's departure from the pixel's grey (the mean of its channels)
//    spans along the row's hues: each row holds one saturation and
//    luminance, so that only the hue moves it, and a road that loses the
//    colours (a grey or a flat frame) leaves it near 0;
//  - crushed: channels on their floor that are no speck, lying in a valley
//    that the road's own curve takes there (colour_sweep.cpp says how the
//    two differ), and crushForetold the most that the hue neighbours of
//    such a channel foretell of it above its floor;
//  - channelLit: per channel, the share of pixels where it stands apart
//    from what the road makes of black (`black`, the road's output for an
//    input of 0) by more than a lit channel's margin: every channel of the
//    sweep's input is lit, so each output channel must answer it, whatever
//    the channel's own darkest value (a channel held at one level anywhere
//    in the sweep gives 0);
//  - crushedChannel: per channel, the share of pixels where it is counted
//    in `crushed`;
//  - and how near the speck rules came: darkestRatio, the least share of
//    what its hue neighbours foretell of it that a channel reaches above
//    its floor where they foretell it lit, and largestJump, the largest
//    move of a pixel under the nudge that its neighbours did not make ten
//    times over.
struct Figures {
  double litFraction, hueVariation, channelLit[3], crushedChannel[3];
  long crushed;
  float crushForetold, darkestRatio, largestJump;
};
Figures figures(const Sweep& s, const std::vector<float>& out, const std::vector<float>& nudgedOut,
                const float (&black)[3]);

}  // namespace colour_sweep

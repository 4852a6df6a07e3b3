// The width and height of an image's bounds. A host may hand bounds whose
// extent does not fit an int ({INT_MIN, 0, INT_MAX, 1}): the difference is
// taken in 64 bits, where it cannot overflow, and such bounds are refused.
#pragma once

#include <climits>
#include <cstdint>

#include "ofx/ofxCore.h"

namespace kalthorne {

// True with the width and height (zero or negative for an empty image) when
// both fit an int.
inline bool boundsExtent(const OfxRectI& b, int& width, int& height) {
    const int64_t w = int64_t(b.x2) - int64_t(b.x1);
    const int64_t h = int64_t(b.y2) - int64_t(b.y1);
    if (w > INT_MAX || h > INT_MAX || w < INT_MIN || h < INT_MIN) return false;
    width = int(w);
    height = int(h);
    return true;
}

}  // namespace kalthorne

// Whole-frame copies between padded, bottom-up and packed rows: nothing is
// read or written outside a row.
#include <gtest/gtest.h>

#include <vector>

#include "plugin/frame_buffers.h"

using kalthorne::FrameView;

namespace {

constexpr float kGuard = -99.0f;

// A `rows` x `rowFloats` frame inside a buffer with `pad` floats after each
// row; bottomUp stores the rows in reverse with a negative stride.
struct Buffer {
    std::vector<float> data;
    FrameView view;
    Buffer(int rows, std::size_t rowFloats, std::size_t pad, bool bottomUp = false)
        : data(rows * (rowFloats + pad), kGuard) {
        const long stride = static_cast<long>((rowFloats + pad) * sizeof(float));
        view.rows = rows;
        view.rowFloats = rowFloats;
        view.rowBytes = bottomUp ? -stride : stride;
        view.base = bottomUp ? data.data() + (rows - 1) * (rowFloats + pad) : data.data();
    }
    float& at(int r, std::size_t i) { return reinterpret_cast<float*>(view.row(r))[i]; }
};

}  // namespace

TEST(FrameBuffers, PaddedAndBottomUpCopiesKeepGuards) {
    for (bool bottomUp : {false, true}) {
        Buffer from(3, 8, 2, bottomUp), to(3, 8, 5);
        for (int r = 0; r < 3; ++r)
            for (std::size_t i = 0; i < 8; ++i) from.at(r, i) = r * 100.0f + i;
        kalthorne::copyFrame(from.view, to.view);
        int guards = 0;
        for (float v : to.data) guards += v == kGuard;
        EXPECT_EQ(guards, 3 * 5);
        for (int r = 0; r < 3; ++r)
            for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(to.at(r, i), r * 100.0f + i);
    }
}

TEST(FrameBuffers, PackRoundTrip) {
    Buffer from(4, 6, 3, true), to(4, 6, 1);
    for (int r = 0; r < 4; ++r)
        for (std::size_t i = 0; i < 6; ++i) from.at(r, i) = r + i * 0.5f;
    std::vector<float> packed = kalthorne::packFrame(from.view);
    ASSERT_EQ(packed.size(), 24u);
    EXPECT_EQ(packed[6], 1.0f);  // row 1 starts right after row 0
    kalthorne::unpackFrame(packed, to.view);
    for (int r = 0; r < 4; ++r)
        for (std::size_t i = 0; i < 6; ++i) EXPECT_EQ(to.at(r, i), from.at(r, i));
    EXPECT_EQ(to.data[6], kGuard);
}

TEST(FrameBuffers, OverlappingRowsAreDetected) {
    FrameView v;
    v.rows = 2;
    v.rowFloats = 4;
    v.rowBytes = 16;
    EXPECT_TRUE(v.isPacked());
    EXPECT_TRUE(v.rowsAreDisjoint());
    v.rowBytes = -16;
    EXPECT_TRUE(v.rowsAreDisjoint());
    EXPECT_FALSE(v.isPacked());
    v.rowBytes = 12;
    EXPECT_FALSE(v.rowsAreDisjoint());
}

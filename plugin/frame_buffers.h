// Moving whole frames between host images, whose rows may be padded or run
// bottom-up (negative row bytes), and the packed rows the GPU pipeline takes.
#pragma once

#include <cstddef>
#include <vector>

namespace kalthorne {

// A host image's pixels: `rows` rows of `rowFloats` floats each, row r at
// base + r * rowBytes bytes.
struct FrameView {
    void* base = nullptr;
    long rowBytes = 0;
    int rows = 0;
    std::size_t rowFloats = 0;

    std::size_t packedRowBytes() const { return rowFloats * sizeof(float); }
    bool isPacked() const { return rowBytes == static_cast<long>(packedRowBytes()); }
    // Rows never overlap: |rowBytes| holds at least one whole row.
    bool rowsAreDisjoint() const {
        return static_cast<std::size_t>(rowBytes < 0 ? -rowBytes : rowBytes) >= packedRowBytes();
    }
    char* row(int r) const { return static_cast<char*>(base) + static_cast<long>(r) * rowBytes; }
};

// Copies the pixels of `from` to `to` row by row (same rows and row length).
void copyFrame(const FrameView& from, const FrameView& to);

// Packed copies, for images whose rows are not tightly packed.
std::vector<float> packFrame(const FrameView& from);
void unpackFrame(const std::vector<float>& packed, const FrameView& to);

}  // namespace kalthorne

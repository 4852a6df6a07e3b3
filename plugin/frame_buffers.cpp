#include "plugin/frame_buffers.h"

#include <cstring>

namespace kalthorne {

void copyFrame(const FrameView& from, const FrameView& to) {
    if (from.isPacked() && to.isPacked()) {
        std::memcpy(to.base, from.base, from.packedRowBytes() * static_cast<std::size_t>(from.rows));
        return;
    }
    for (int r = 0; r < from.rows; ++r) std::memcpy(to.row(r), from.row(r), from.packedRowBytes());
}

std::vector<float> packFrame(const FrameView& from) {
    std::vector<float> packed(from.rowFloats * static_cast<std::size_t>(from.rows));
    for (int r = 0; r < from.rows; ++r)
        std::memcpy(packed.data() + from.rowFloats * r, from.row(r), from.packedRowBytes());
    return packed;
}

void unpackFrame(const std::vector<float>& packed, const FrameView& to) {
    for (int r = 0; r < to.rows; ++r)
        std::memcpy(to.row(r), packed.data() + to.rowFloats * r, to.packedRowBytes());
}

}  // namespace kalthorne

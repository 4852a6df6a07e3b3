#include "plugin/source_formats.h"

namespace kalthorne {

namespace {

struct FormatSize {
    int width;
    int height;
    double pixelAspectRatio;
};

constexpr FormatSize kFormats[] = {
    {2048, 1080, 1.0},  // eSourceFormatDCI2K
    {1998, 1080, 1.0},  // eSourceFormatDCI2KFlat
    {2048, 858, 1.0},  // eSourceFormatDCI2KScope
    {4096, 2160, 1.0},  // eSourceFormatDCI4K
    {3996, 2160, 1.0},  // eSourceFormatDCI4KFlat
    {4096, 1716, 1.0},  // eSourceFormatDCI4KScope
    {1828, 1332, 1.0},  // eSourceFormat2KAcademy
    {1828, 1556, 2.0},  // eSourceFormat2KAnamorphic
    {3656, 2664, 1.0},  // eSourceFormat4KAcademy
    {3656, 3112, 2.0},  // eSourceFormat4KAnamorphic
    {2048, 1556, 1.0},  // eSourceFormat2KFullAperture
    {4096, 3112, 1.0},  // eSourceFormat4KFullAperture
    {2048, 1152, 1.0},  // eSourceFormat2K16x9
    {4096, 2304, 1.0},  // eSourceFormat4K16x9
    {2048, 1024, 1.0},  // eSourceFormat2K2x1
    {4096, 2048, 1.0},  // eSourceFormat4K2x1
    {1920, 1080, 1.0},  // eSourceFormatHD1080
    {3840, 2160, 1.0},  // eSourceFormatUHD4K
    {7680, 4320, 1.0},  // eSourceFormatUHD8K
    {1440, 1080, 1.0},  // eSourceFormatHD1440x1080
    {1280, 1080, 1.0},  // eSourceFormatHD1280x1080
    {1280, 720, 1.0},  // eSourceFormatHD720
    {960, 720, 1.0},  // eSourceFormatHD960x720
    {720, 486, 0.9},  // eSourceFormatNTSC
    {720, 540, 1.0},  // eSourceFormatNTSC720x540
    {720, 486, 1.2},  // eSourceFormatNTSCWide
    {720, 576, 1.0667},  // eSourceFormatPAL
    {768, 576, 1.0},  // eSourceFormatPALSquare
    {720, 576, 1.4223},  // eSourceFormatPALWide
    {648, 486, 1.0},  // eSourceFormatNTSC648x486
    {640, 480, 1.0},  // eSourceFormatVGA
    {720, 480, 1.0},  // eSourceFormatSD720x480
    {352, 240, 1.0},  // eSourceFormatSIF
    {320, 240, 1.0},  // eSourceFormatQVGA
};
static_assert(sizeof(kFormats) / sizeof(kFormats[0]) == kLastSourceFormat - kFirstSourceFormat + 1,
              "one row per format");

}  // namespace

void formatResolution(int format, int* width, int* height, double* pixelAspectRatio) {
    const unsigned row = static_cast<unsigned>(format) - static_cast<unsigned>(kFirstSourceFormat);
    if (row > static_cast<unsigned>(kLastSourceFormat - kFirstSourceFormat)) return;
    if (width) *width = kFormats[row].width;
    if (height) *height = kFormats[row].height;
    if (pixelAspectRatio) *pixelAspectRatio = kFormats[row].pixelAspectRatio;
}

}  // namespace kalthorne

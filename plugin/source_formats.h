// Delivery formats known to the effect: frame size and pixel aspect ratio.
// Look files carry a format index of this range; the render itself always
// takes its frame size from the output image.
#pragma once

enum SourceFormatEnum {
    eSourceFormatDCI2K = 2,
    eSourceFormatDCI2KFlat = 3,
    eSourceFormatDCI2KScope = 4,
    eSourceFormatDCI4K = 5,
    eSourceFormatDCI4KFlat = 6,
    eSourceFormatDCI4KScope = 7,
    eSourceFormat2KAcademy = 8,
    eSourceFormat2KAnamorphic = 9,
    eSourceFormat4KAcademy = 10,
    eSourceFormat4KAnamorphic = 11,
    eSourceFormat2KFullAperture = 12,
    eSourceFormat4KFullAperture = 13,
    eSourceFormat2K16x9 = 14,
    eSourceFormat4K16x9 = 15,
    eSourceFormat2K2x1 = 16,
    eSourceFormat4K2x1 = 17,
    eSourceFormatHD1080 = 18,
    eSourceFormatUHD4K = 19,
    eSourceFormatUHD8K = 20,
    eSourceFormatHD1440x1080 = 21,
    eSourceFormatHD1280x1080 = 22,
    eSourceFormatHD720 = 23,
    eSourceFormatHD960x720 = 24,
    eSourceFormatNTSC = 25,
    eSourceFormatNTSC720x540 = 26,
    eSourceFormatNTSCWide = 27,
    eSourceFormatPAL = 28,
    eSourceFormatPALSquare = 29,
    eSourceFormatPALWide = 30,
    eSourceFormatNTSC648x486 = 31,
    eSourceFormatVGA = 32,
    eSourceFormatSD720x480 = 33,
    eSourceFormatSIF = 34,
    eSourceFormatQVGA = 35,
};

namespace kalthorne {

constexpr int kFirstSourceFormat = eSourceFormatDCI2K;
constexpr int kLastSourceFormat = eSourceFormatQVGA;

// Writes the format's width, height and pixel aspect ratio; a value outside
// the list leaves the three outputs untouched.
void formatResolution(int format, int* width, int* height, double* pixelAspectRatio);

}  // namespace kalthorne

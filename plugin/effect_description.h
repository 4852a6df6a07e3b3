#ifndef KALTHORNE_EFFECT_DESCRIPTION_H
#define KALTHORNE_EFFECT_DESCRIPTION_H
// The effect's description: the host shows it as the effect's documentation
// and the "About Brew" button posts the same text.

namespace kalthorne {

constexpr const char* kEffectDescription =
    " Brew for Natron by Kalthorne, version 1.3\n"
    " Cine camera and print film looks with film lab processing\n"
    " The built-in looks use standard lab processing. Look files of the full Kalthorne product may carry\n"
    " its special lab processing options (silver, bleach, developer, pull or push, agitation,\n"
    " replenisher, diffusion)\n"
    " Brew loads Look files of Kalthorne version 3.7 and later\n"
    " Contact: support@kalthorne.com\n"
    " Kalthorne needs an NVIDIA display driver supporting CUDA 13.0 or later\n";

}  // namespace kalthorne

#endif

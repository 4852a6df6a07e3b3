#ifndef KALTHORNE_PLUGIN_IDENTITY_H
#define KALTHORNE_PLUGIN_IDENTITY_H
// Who the effect is to a host: kept apart from any OpenFX header so that
// tools and tests built against other OpenFX declarations can read it.

// Identifier under which hosts store the effect in their projects.
#define kPluginIdentifier "com.kalthorne.KalthorneBrewNatron"
#define kPluginVersionMajor 1
#define kPluginVersionMinor 3
#define kPluginLabel "Brew_Natron_1_3"
#define kPluginGrouping "Kalthorne"

#endif

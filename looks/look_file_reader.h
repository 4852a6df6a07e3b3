// The Look-file reader behind the "Load Look" button: the user picks a .prm
// file in the desktop's open dialog, and its 372 lines set the look.
#pragma once

class KalthornePlugin;

namespace kalthorne {
namespace looks {

// Runs one whole load at `time` (the change's time): dialog, reading,
// checking every line, and only then writing the parameters. A file that
// cannot be read or lacks a key changes nothing and says so in a message.
void loadLookFile(KalthornePlugin& plugin, double time);

} // namespace looks
} // namespace kalthorne

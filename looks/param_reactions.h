// The reactions to user edits, each given the host view of one change.
#pragma once

#include <string>

namespace kalthorne {
namespace looks {

class InterplayHost;

// Which edit brought the print visibility rule in: the colour-space edit
// also writes the bypass back on when it is already on.
enum class PrintRuleEntry { InputGamut, PrintDisplayBypass };

// Shows and hides the 15 print-group controls from the bypass, the input
// colour space and the print stock; forces the bypass for inputs that cannot
// be printed. Every branch sets all 15, so one run repairs any earlier state.
void applyPrintGroupVisibility(InterplayHost& host, PrintRuleEntry entry);

void onCameraStockEdit(InterplayHost& host);
void onPrintProfileEdit(InterplayHost& host);
// `name` is one of the 16 RGB master or channel names.
void onRgbEdit(InterplayHost& host, const std::string& name);

}  // namespace looks
}  // namespace kalthorne

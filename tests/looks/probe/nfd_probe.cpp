// The open dialog of the reader's probe bundle: linked in place of the real
// one, it answers as the test tells it through files in $LOOKS_PROBE_DIR and
// logs every open and release, so a test can see that the path it handed out
// is released exactly once on every way out of a load.
//   answer   okay | okay-null | cancel | error
//   path     the path to hand out on okay
//   request  the filter name, its pattern, the filter count and the default folder
//   log      "open" per dialog, "free" per release of the handed-out path,
//            "free-other" for any other pointer
#include "nfd/nfd.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace kalthorne_nfd {
void setError(const char* text);
}

namespace {

std::string probeFile(const char* name) {
    const char* dir = std::getenv("LOOKS_PROBE_DIR");
    return std::string(dir ? dir : "/nonexistent") + "/" + name;
}

std::string readProbe(const char* name) {
    std::ifstream in(probeFile(name));
    std::string s;
    std::getline(in, s);
    return s;
}

void log(const char* what) { std::ofstream(probeFile("log"), std::ios::app) << what << "\n"; }

char* g_handedOut = nullptr;

} // namespace

extern "C" nfdresult_t NFD_OpenDialogN(nfdnchar_t** outPath, const nfdnfilteritem_t* filterList,
                                       nfdfiltersize_t filterCount, const nfdnchar_t* defaultPath) {
    log("open");
    std::ofstream(probeFile("request")) << (filterCount ? filterList[0].name : "") << "\n"
                                        << (filterCount ? filterList[0].spec : "") << "\n"
                                        << filterCount << "\n" << (defaultPath ? defaultPath : "") << "\n";
    const std::string answer = readProbe("answer");
    if (answer == "cancel") return NFD_CANCEL;
    if (answer != "okay" && answer != "okay-null") {
        kalthorne_nfd::setError("probe: dialog error");
        return NFD_ERROR;
    }
    *outPath = answer == "okay" ? g_handedOut = strdup(readProbe("path").c_str()) : nullptr;
    return NFD_OKAY;
}

extern "C" void NFD_FreePathN(nfdnchar_t* filePath) {
    log(filePath != nullptr && filePath == g_handedOut ? "free" : "free-other");
    if (filePath == g_handedOut) g_handedOut = nullptr;
    std::free(filePath);
}

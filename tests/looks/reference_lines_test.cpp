// The 372-line table against the documented Look-file lines written down
// apart from the code (tests/reference/looks.tsv), field by field.
#include "look_departures.h"
#include "look_line_table.h"
#include "tests/reference/reference_tables.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kalthorne::looks;

namespace {

struct Fields : reference::Differences {
    int line;
    explicit Fields(int n) : line(n) {}
    void number(const char* field, double got, double documented) {
        check(field, got, looktest::departed(line, field, documented));
    }
};

} // namespace

TEST(LookLineReference, TheLineTableHoldsTheDocumentedLines) {
    const auto& documented = reference::lookLines();
    ASSERT_EQ(kLookLineCount, documented.size());
    for (std::size_t i = 0; i < kLookLineCount; ++i) {
        const LookLine& L = kLookLines[i];
        const reference::LookLine& d = documented[i];
        Fields f(d.number);
        f.check("number", L.number, d.number);
        f.check("key", std::string(L.key), d.key);
        f.check("type", std::string(L.type == ValueType::Int ? "int" : "float"), d.type);
        f.number("low", L.lo, d.low);
        f.number("high", L.hi, d.high);
        if (!d.target().empty()) f.check("target", std::string(L.target ? L.target : "none"), d.target());
        if (d.readOnly() || d.sets.rfind("nothing", 0) == 0)
            f.check("target", std::string(L.target ? L.target : "none"), std::string("none"));
        double fallback = 0;
        if (d.fixedFallback(&fallback)) {
            f.check("fallback kind", int(L.fallbackKind), int(FallbackKind::Fixed));
            f.number("fallback", L.fallback, fallback);
        } else {
            // The fallbacks the reader works out: named by the text that documents them.
            const std::map<std::string, FallbackKind> worked = {
                {"no fallback", FallbackKind::None},
                {"the Source image width, else 1920", FallbackKind::SourceWidth},
                {"the Source image height, else 1080", FallbackKind::SourceHeight},
                {"the Output image width, else 1920", FallbackKind::OutputWidth},
                {"the Output image height, else 1080", FallbackKind::OutputHeight},
                {"0.0, or 2.0 when the Look enhancer mode is not 0", FallbackKind::Enhancer}};
            const auto kind = worked.find(d.fallback);
            if (kind == worked.end()) f.check("fallback text", std::string("unknown"), d.fallback);
            else f.check("fallback kind", int(L.fallbackKind), int(kind->second));
            const std::size_t otherwise = d.fallback.find(", else ");  // without a clip image
            if (otherwise != std::string::npos)
                f.check("fallback without an image", L.fallback, std::stod(d.fallback.substr(otherwise + 7)));
        }
        f.check("message prefix", std::string(messageFor(L).prefix), d.prefix);
        f.check("message tail", std::string(messageFor(L).tail), d.tail);
        EXPECT_TRUE(f.text.empty()) << "Look line " << d.number << " " << d.key << f.text;
    }
}

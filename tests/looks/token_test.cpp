// get_str_token: the value text of one Look line.
#include "look_tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const char* const K = "Exposure(-1.0 - 1.0)---------------|";

struct Result {
    int found;
    std::string token, line;
};

// Runs the routine on exactly-sized heap buffers, so AddressSanitizer sees any
// read or write past the line or the token.
Result extract(const std::string& line, const char* key = K) {
    std::vector<char> lineBuf(line.c_str(), line.c_str() + line.size() + 1);
    std::vector<char> tokenBuf(lineBuf.size(), '#');
    tokenBuf.back() = '\0';
    Result r{get_str_token(tokenBuf.data(), key, lineBuf.data()), tokenBuf.data(), lineBuf.data()};
    if (!r.found) {
        EXPECT_EQ(r.token, std::string(line.size(), '#')) << "token touched on a miss";
        EXPECT_EQ(r.line, line) << "line touched on a miss";
    }
    return r;
}

std::string k(const char* rest) { return std::string(K) + rest; }

TEST(GetStrToken, ValueTextAfterKey) {
    // the line as found, then the value text it is rewritten to; the token is
    // that text lower-cased
    const std::pair<std::string, std::string> cases[] = {
        {k(" 0.25\n"), "0.25"},
        {k("0.25\n"), "0.25"},
        {"  " + k(" 12\n"), "12"},
        {"x " + k(" 12\n"), "x  12"},
        {k("\n"), ""},
        {k("   \n"), ""},
        {k(""), ""},
        {"  Ab " + k(""), "Ab "},
        {k(" 12\r\n"), "12\r"},
        {k(" -0.5 \n"), "-0.5 "},
        {k(" 1E5\n"), "1E5"},
        {k(K) + "5\n", std::string(K) + "5"},
        {"\xA0" + k(" 7\n"), "\xA0 7"},
        // a last line without its line feed and the first 44 bytes of an
        // overlong line both keep their whole text; the number is at its start
        {k(" 0.125"), "0.125"},
        {k(" 0.123456"), "0.123456"},
        {k("0.12345\n"), "0.12345"}, // the full 44 bytes of a line
        {"0.5 " + std::string(K), "0.5 "}, // the key at the very end
    };
    EXPECT_EQ(k("0.12345\n").size(), 44u);
    for (const auto& [line, text] : cases) {
        Result r = extract(line);
        ASSERT_EQ(r.found, 1) << line;
        std::string lower = text;
        for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(r.token, lower) << line;
        EXPECT_EQ(r.line, text) << line;
    }
}

TEST(GetStrToken, MissingKeyAndEmptyKey) {
    std::string lowerKey(K);
    lowerKey[0] = 'e';
    for (const std::string& line : {lowerKey + " 1\n", std::string(K, 20), std::string(), std::string("\n"),
                                   std::string("Exposure 0.5\n")})
        EXPECT_EQ(extract(line).found, 0) << line;
    EXPECT_EQ(extract("", "").found, 0);

    // an empty key matches at the start of any line that is not empty
    Result r = extract("ABC\n", "");
    EXPECT_EQ(r.found, 1);
    EXPECT_EQ(r.token, "abc");
    EXPECT_EQ(r.line, "ABC");
}

} // namespace

// get_str_token: the value text of one Look line.
#include "look_tokens.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const K = "Exposure(-1.0 - 1.0)---------------|";

struct Result {
    int found;
    std::string token;
    std::string line;
};

// Runs the routine on exactly-sized heap buffers, so AddressSanitizer sees any
// read or write past the line or the token.
Result extract(const std::string& line, const char* key = K)
{
    std::vector<char> lineBuf(line.begin(), line.end());
    lineBuf.push_back('\0');
    std::vector<char> tokenBuf(lineBuf.size(), '#');
    tokenBuf.back() = '\0';
    const std::string tokenBefore(tokenBuf.data());
    Result r;
    r.found = get_str_token(tokenBuf.data(), key, lineBuf.data());
    r.token = tokenBuf.data();
    r.line = std::string(lineBuf.data());
    if (!r.found) {
        EXPECT_EQ(r.token, tokenBefore) << "token touched on a miss";
    }
    return r;
}

std::string k(const char* rest) { return std::string(K) + rest; }

TEST(GetStrToken, ValueTextAfterKey)
{
    struct Case {
        std::string line, token, rewritten;
    } cases[] = {
        {k(" 0.25\n"), "0.25", "0.25"},
        {k("0.25\n"), "0.25", "0.25"},
        {"  " + k(" 12\n"), "12", "12"},
        {"x " + k(" 12\n"), "x  12", "x  12"},
        {k("\n"), "", ""},
        {k("   \n"), "", ""},
        {k(""), "", ""},
        {"  Ab " + k(""), "ab ", "Ab "},
        {k(" 12\r\n"), "12\r", "12\r"},
        {k(" -0.5 \n"), "-0.5 ", "-0.5 "},
        {k(" 1E5\n"), "1e5", "1E5"},
        {k(K) + "5\n", std::string(K) + "5", std::string(K) + "5"},
        {"\xA0" + k(" 7\n"), "\xA0 7", "\xA0 7"},
        // a last line without its line feed and an overlong line both keep
        // their whole text; the number is at its start either way
        {k(" 0.125"), "0.125", "0.125"},
        {k(" 0.1234567\n"), "0.1234567", "0.1234567"},
        {k("0.12345\n"), "0.12345", "0.12345"}, // the full 44 bytes of a line
        {"0.5 " + std::string(K), "0.5 ", "0.5 "}, // the key at the very end
    };
    EXPECT_EQ(k("0.12345\n").size(), 44u);
    for (auto& c : cases) {
        Result r = extract(c.line);
        ASSERT_EQ(r.found, 1) << c.line;
        std::string lower = c.token;
        for (char& ch : lower)
            ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(r.token, lower) << c.line;
        if (!c.rewritten.empty()) {
            EXPECT_EQ(r.line, c.rewritten) << c.line;
        }
    }
}

TEST(GetStrToken, MissingKeyAndEmptyKey)
{
    std::string lowerKey(K);
    lowerKey[0] = 'e';
    const std::string misses[] = {lowerKey + " 1\n", std::string(K, 20), "", "\n", "Exposure 0.5\n"};
    for (const auto& line : misses) {
        Result r = extract(line);
        EXPECT_EQ(r.found, 0) << line;
        EXPECT_EQ(r.line, line);
    }
    EXPECT_EQ(extract("", "").found, 0);

    // an empty key matches at the start of any line that is not empty
    Result r = extract("ABC\n", "");
    EXPECT_EQ(r.found, 1);
    EXPECT_EQ(r.token, "abc");
    EXPECT_EQ(r.line, "ABC");
}

} // namespace

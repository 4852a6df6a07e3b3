// Look files for the tests: the reference file from tests/looks/data with
// lines replaced, removed or cut off.
#pragma once

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace looktest {

inline std::string slurp(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string readData(const std::string& name) {
    const std::string text = slurp(std::string(LOOKS_TEST_DATA_DIR) + "/" + name);
    if (text.empty()) throw std::runtime_error("missing test file " + name);
    return text;
}

class LookFile {
public:
    LookFile() : LookFile(readData("reference.prm")) {}
    explicit LookFile(const std::string& text) {
        for (std::size_t pos = 0, nl; pos < text.size(); pos = nl + 1) {
            nl = std::min(text.find('\n', pos), text.size() - 1);
            m_lines.push_back(text.substr(pos, nl + 1 - pos));
        }
    }
    // The value text of line n (1-based), after its 36-character key.
    std::string value(int n) const {
        const std::string& l = m_lines.at(n - 1);
        return l.substr(36, l.find_last_not_of("\r\n") - 35);
    }
    LookFile& set(int n, const std::string& v) { return raw(n, m_lines.at(n - 1).substr(0, 36) + v + "\n"); }
    LookFile& raw(int n, const std::string& wholeLine) {
        m_lines.at(n - 1) = wholeLine;
        return *this;
    }
    LookFile& endAfter(int n) {
        m_lines.resize(n);
        return *this;
    }
    std::string text() const {
        std::string s;
        for (const auto& l : m_lines) s += l;
        return s;
    }

private:
    std::vector<std::string> m_lines;
};

} // namespace looktest

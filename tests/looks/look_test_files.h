// Look files for the tests: the reference file from tests/looks/data with
// lines replaced, removed or cut off.
#pragma once

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef LOOKS_TEST_DATA_DIR
#error "LOOKS_TEST_DATA_DIR must point at tests/looks/data"
#endif

namespace looktest {

inline std::string readData(const std::string& name)
{
    std::ifstream in(std::string(LOOKS_TEST_DATA_DIR) + "/" + name, std::ios::binary);
    if (!in)
        throw std::runtime_error("missing test file " + name);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class LookFile {
public:
    LookFile() : LookFile(readData("reference.prm")) {}
    explicit LookFile(const std::string& text)
    {
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t nl = text.find('\n', pos);
            if (nl == std::string::npos)
                nl = text.size() - 1;
            m_lines.push_back(text.substr(pos, nl + 1 - pos));
            pos = nl + 1;
        }
    }
    // The key of line n (1-based) as the reference file writes it.
    std::string key(int n) const { return m_lines.at(n - 1).substr(0, 36); }
    // The value text of line n in the reference file.
    std::string value(int n) const
    {
        std::string v = m_lines.at(n - 1).substr(36);
        while (!v.empty() && (v.back() == '\n' || v.back() == '\r'))
            v.pop_back();
        return v;
    }
    LookFile& set(int n, const std::string& v)
    {
        m_lines.at(n - 1) = key(n) + v + "\n";
        return *this;
    }
    LookFile& raw(int n, const std::string& wholeLine)
    {
        m_lines.at(n - 1) = wholeLine;
        return *this;
    }
    LookFile& endAfter(int n)
    {
        m_lines.resize(n);
        return *this;
    }
    std::string text() const
    {
        std::string s;
        for (const auto& l : m_lines)
            s += l;
        return s;
    }

private:
    std::vector<std::string> m_lines;
};

} // namespace looktest

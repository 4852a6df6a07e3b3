#include "look_file_io.h"

#include "look_line_table.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace kalthorne {
namespace looks {
namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

bool readLookFileBytes(const char* path, std::string& bytes)
{
    bytes.clear();
    if (path == nullptr || *path == '\0')
        return false;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file)
        return false;

    std::size_t lines = 0;
    char buffer[4096];
    while (bytes.size() < kLookFileReadLimit) {
        const std::size_t want = std::min(sizeof buffer, kLookFileReadLimit - bytes.size());
        const std::size_t got = std::fread(buffer, 1, want, file.get());
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n' && ++lines == kLookLineCount) {
                bytes.append(buffer, i + 1);
                return true;
            }
        }
        bytes.append(buffer, got);
        if (got < want)
            return !std::ferror(file.get());
    }
    return true;
}

} // namespace looks
} // namespace kalthorne

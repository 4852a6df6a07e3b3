// Reading a Look file line by line, with no host involved.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>

namespace kalthorne {
namespace looks {

// A Look line holds at most 44 bytes with the line feed that ends it (the
// 36-byte key and a value of up to 7); the buffer adds the NUL.
constexpr std::size_t kLookLineSize = 45;

enum class LineRead {
    Line,   // a line (or the first 44 bytes of a longer one) is in the buffer
    End,    // nothing left
    Failed, // the file could not be read
};

// Hands out the lines of a Look file one at a time, streamed from an open
// file or read from memory. A read takes the bytes up to and including the
// next line feed, but never more than 44: the rest of a longer line is the
// next read, as a line of its own. A carriage return just before the line
// feed is part of the line ending, not of the text, so a Windows line end
// reads exactly like a plain line feed. A UTF-8 byte-order mark at the start
// of the file is not part of the first line.
class LookLineReader {
public:
    explicit LookLineReader(std::FILE* file);
    LookLineReader(const char* data, std::size_t size);

    LineRead next(char (&line)[kLookLineSize]);

private:
    int byte();
    int peek(std::size_t ahead);
    void skip(std::size_t count);

    std::FILE* m_file = nullptr;
    const unsigned char* m_data = nullptr;
    std::size_t m_size = 0;
    std::size_t m_pos = 0;
    int m_ahead[3] = {};
    std::size_t m_aheadCount = 0;
    bool m_started = false;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using LookFileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens the regular file at `path` for reading, without waiting; empty when
// it cannot be opened or is anything but a regular file.
LookFileHandle openLookFile(const char* path);

} // namespace looks
} // namespace kalthorne

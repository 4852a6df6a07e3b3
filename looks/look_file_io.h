// Reading a Look file into memory, with no host involved.
#pragma once

#include <cstddef>
#include <string>

namespace kalthorne {
namespace looks {

// A Look file is 372 short lines; nothing past this size can belong to one.
constexpr std::size_t kLookFileReadLimit = 1 << 20;

// Reads the file at `path` (at most kLookFileReadLimit bytes, and nothing
// after its 372nd line). False when it cannot be opened or a read fails (a
// directory, an I/O error); the file is closed on every path.
bool readLookFileBytes(const char* path, std::string& bytes);

} // namespace looks
} // namespace kalthorne

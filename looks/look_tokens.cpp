#include "look_tokens.h"

#include "look_numbers.h"

#include <cctype>
#include <cstring>

using kalthorne::looks::isPosixSpace;

int get_str_token(char* token, const char* key, char* line)
{
    if (line[0] == '\0')
        return 0;

    const std::size_t keyLen = std::strlen(key);
    const std::size_t lineLen = std::strlen(line);
    if (keyLen > lineLen)
        return 0;

    std::size_t at = 0;
    bool found = false;
    for (; at + keyLen <= lineLen; ++at) {
        if (std::memcmp(line + at, key, keyLen) == 0) {
            found = true;
            break;
        }
    }
    if (!found)
        return 0;

    // The text after the key moves down over the key; source and destination
    // overlap, so this has to be a memmove.
    char* tail = line + at + keyLen;
    std::size_t tailLen = lineLen - at - keyLen;
    // A text that does not end in a line feed (last line without one, or an
    // overlong line) is kept whole: the number at its start is what counts.
    if (tailLen > 0 && tail[tailLen - 1] == '\n')
        --tailLen;
    std::memmove(line + at, tail, tailLen);
    line[at + tailLen] = '\0';

    std::size_t lead = 0;
    const std::size_t len = at + tailLen;
    while (lead < len && isPosixSpace(static_cast<unsigned char>(line[lead])))
        ++lead;
    std::memmove(line, line + lead, len - lead + 1);

    std::memcpy(token, line, len - lead + 1);
    for (char* p = token; *p != '\0'; ++p)
        *p = static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return 1;
}

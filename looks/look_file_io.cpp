#include "look_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kalthorne {
namespace looks {

LookLineReader::LookLineReader(std::FILE* file)
    : m_file(file)
{
}

LookLineReader::LookLineReader(const char* data, std::size_t size)
    : m_data(reinterpret_cast<const unsigned char*>(data))
    , m_size(size)
{
}

int LookLineReader::byte()
{
    if (m_file)
        return std::getc(m_file);
    return m_pos < m_size ? m_data[m_pos++] : EOF;
}

// The byte `ahead` places on, read but not yet taken; EOF when there is none.
int LookLineReader::peek(std::size_t ahead)
{
    while (m_aheadCount <= ahead) {
        const int c = byte();
        if (c == EOF)
            return EOF;
        m_ahead[m_aheadCount++] = c;
    }
    return m_ahead[ahead];
}

void LookLineReader::skip(std::size_t count)
{
    for (std::size_t i = count; i < m_aheadCount; ++i)
        m_ahead[i - count] = m_ahead[i];
    m_aheadCount -= count;
}

LineRead LookLineReader::next(char (&line)[kLookLineSize])
{
    if (!m_started) {
        m_started = true;
        if (peek(0) == 0xEF && peek(1) == 0xBB && peek(2) == 0xBF)
            skip(3);
    }
    std::size_t n = 0;
    while (n < kLookLineSize - 1) {
        const int c = peek(0);
        if (c == EOF)
            break;
        if (c == '\r' && peek(1) == '\n') {
            skip(2);
            line[n++] = '\n';
            break;
        }
        skip(1);
        line[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    line[n] = '\0';
    if (m_file && std::ferror(m_file))
        return LineRead::Failed;
    return n > 0 ? LineRead::Line : LineRead::End;
}

LookFileHandle openLookFile(const char* path)
{
    if (path == nullptr || *path == '\0')
        return nullptr;
    // Opening never waits (a FIFO with no writer would hold the host's
    // action for good, a terminal could become ours), and what was opened is
    // judged, not the path, so nothing can be swapped in between: only a
    // regular file is a Look file. Devices, directories, FIFOs and sockets
    // are refused; /dev/zero would otherwise read as an endless bad line.
    const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return nullptr;
    struct stat st;
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 ||
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    std::FILE* file = ::fdopen(fd, "r");
    if (file == nullptr)
        ::close(fd);
    return LookFileHandle(file);
}

} // namespace looks
} // namespace kalthorne

#include "nfd/nfd_chooser_linux.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nfd_linux {
namespace {

std::string envOf(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// The executable `name` in an absolute folder of PATH, or empty. Empty and
// relative entries are skipped: they name the host's working folder, and
// whatever a project folder holds must never run as the file chooser.
std::string findOnPath(const char* name)
{
    std::string path = envOf("PATH");
    if (path.empty())
        path = "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(':', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string dir = path.substr(start, end - start);
        start = end + 1;
        if (dir.empty() || dir[0] != '/')
            continue;
        const std::string candidate = dir + "/" + name;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool isDirectory(const char* path)
{
    struct stat st;
    return path && *path && ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// "prm,txt" -> {"*.prm", "*.txt"}
std::vector<std::string> patternsOf(const char* spec)
{
    std::vector<std::string> out;
    std::string current;
    for (const char* p = spec ? spec : ""; ; ++p) {
        if (*p == ',' || *p == '\0') {
            if (!current.empty())
                out.push_back("*." + current);
            current.clear();
            if (*p == '\0')
                break;
        } else if (*p != ' ') {
            current += *p;
        }
    }
    return out;
}

std::string joined(const std::vector<std::string>& parts)
{
    std::string s;
    for (const auto& p : parts)
        s += (s.empty() ? "" : " ") + p;
    return s;
}

std::vector<std::string> zenityArgs(const std::string& exe, const nfdnfilteritem_t* filters,
                                    nfdfiltersize_t count, const char* defaultPath)
{
    std::vector<std::string> args = {exe, "--file-selection", "--title=Open"};
    for (nfdfiltersize_t i = 0; i < count; ++i) {
        const auto patterns = patternsOf(filters[i].spec);
        if (!patterns.empty())
            args.push_back(std::string("--file-filter=") + (filters[i].name ? filters[i].name : "") + " | " +
                           joined(patterns));
    }
    if (isDirectory(defaultPath)) {
        std::string dir = defaultPath;
        if (dir.back() != '/')
            dir += '/';
        args.push_back("--filename=" + dir);
    }
    return args;
}

std::vector<std::string> kdialogArgs(const std::string& exe, const nfdnfilteritem_t* filters,
                                     nfdfiltersize_t count, const char* defaultPath)
{
    std::vector<std::string> args = {exe, "--title", "Open", "--getopenfilename",
                                     isDirectory(defaultPath) ? std::string(defaultPath) : std::string(".")};
    std::string filter;
    for (nfdfiltersize_t i = 0; i < count; ++i) {
        const auto patterns = patternsOf(filters[i].spec);
        if (patterns.empty())
            continue;
        if (!filter.empty())
            filter += "\n";
        filter += std::string(filters[i].name ? filters[i].name : "") + " (" + joined(patterns) + ")";
    }
    if (!filter.empty())
        args.push_back(filter);
    return args;
}

ChooserOutcome failure(std::string text)
{
    ChooserOutcome out;
    out.result = NFD_ERROR;
    out.error = std::move(text);
    return out;
}

// Spawns argv[0] with stdout on a pipe, stdin and stderr on /dev/null, and
// collects what it prints and how it ended.
ChooserOutcome runAndCollect(const std::vector<std::string>& args)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return failure(std::string("Cannot start the file chooser: ") + std::strerror(errno));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);

    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int spawnError = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        return failure("Cannot start the file chooser " + args[0] + ": " + std::strerror(spawnError));
    }

    std::string output;
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got > 0)
            output.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);

    int status = 0;
    pid_t waited;
    do {
        waited = ::waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);

    if (!output.empty() && output.back() == '\n')
        output.pop_back();

    ChooserOutcome out;
    if (waited < 0) {
        // The host reaps children itself (SIGCHLD ignored): judge by the output.
        out.result = output.empty() ? NFD_CANCEL : NFD_OKAY;
        out.path = output;
        return out;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        if (output.empty())
            return failure("The file chooser returned no file");
        out.result = NFD_OKAY;
        out.path = output;
        return out;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 1) {
        out.result = NFD_CANCEL;
        return out;
    }
    if (WIFSIGNALED(status))
        return failure("The file chooser was stopped by signal " + std::to_string(WTERMSIG(status)));
    return failure("The file chooser failed with exit code " + std::to_string(WEXITSTATUS(status)));
}

} // namespace

ChooserOutcome runDesktopChooser(const nfdnfilteritem_t* filters, nfdfiltersize_t filterCount,
                                 const char* defaultPath)
{
    if (filterCount > 0 && filters == nullptr)
        return failure("Filter list is null");
    if (envOf("DISPLAY").empty() && envOf("WAYLAND_DISPLAY").empty())
        return failure("No display to show the file chooser on (neither DISPLAY nor WAYLAND_DISPLAY is set)");

    const std::string zenity = findOnPath("zenity");
    const std::string kdialog = findOnPath("kdialog");
    const bool kde = envOf("XDG_CURRENT_DESKTOP").find("KDE") != std::string::npos;
    if (!kdialog.empty() && (kde || zenity.empty()))
        return runAndCollect(kdialogArgs(kdialog, filters, filterCount, defaultPath));
    if (!zenity.empty())
        return runAndCollect(zenityArgs(zenity, filters, filterCount, defaultPath));
    return failure("No desktop file chooser found: install zenity or kdialog");
}

} // namespace nfd_linux

extern "C" nfdresult_t NFD_OpenDialogN(nfdnchar_t** outPath, const nfdnfilteritem_t* filterList,
                                       nfdfiltersize_t filterCount, const nfdnchar_t* defaultPath)
{
    if (outPath == nullptr) {
        kalthorne_nfd::setError("Output path pointer is null");
        return NFD_ERROR;
    }
    *outPath = nullptr;
    nfd_linux::ChooserOutcome outcome;
    try {
        outcome = nfd_linux::runDesktopChooser(filterList, filterCount, defaultPath);
    } catch (...) {
        kalthorne_nfd::setError("Out of memory while opening the file chooser");
        return NFD_ERROR;
    }
    if (outcome.result == NFD_OKAY) {
        char* copy = static_cast<char*>(std::malloc(outcome.path.size() + 1));
        if (copy == nullptr) {
            kalthorne_nfd::setError("Out of memory for the chosen path");
            return NFD_ERROR;
        }
        std::memcpy(copy, outcome.path.c_str(), outcome.path.size() + 1);
        *outPath = copy;
    } else if (outcome.result == NFD_ERROR) {
        kalthorne_nfd::setError(outcome.error.c_str());
    }
    return outcome.result;
}

extern "C" void NFD_FreePathN(nfdnchar_t* filePath)
{
    std::free(filePath);
}

// A scripted stand-in for the desktop's file chooser: a shell script named
// zenity (or kdialog) in a private directory that becomes the whole PATH,
// with a made-up DISPLAY. It records its arguments and answers as told.
#pragma once

#include "look_test_files.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

namespace looktest {

class FakeChooser {
public:
    enum class Answer { Pick, Cancel, NothingPicked, Fail, Crash };

    explicit FakeChooser(const char* program = "zenity") {
        char tmpl[] = "/tmp/looks-chooser-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        for (const char* name : kEnv)
            m_saved.push_back(std::getenv(name) ? std::optional<std::string>(std::getenv(name)) : std::nullopt);
        const std::string script = m_dir + "/" + program, d = "'" + m_dir + "/";
        std::ofstream(script) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > " << d << "args'\necho x >> " << d << "runs'\n"
                              << "case \"$(/bin/cat " << d << "answer')\" in\n"
                              << "  pick) /bin/cat " << d << "path'; exit 0 ;;\n"
                              << "  cancel) exit 1 ;;\n  nothing) exit 0 ;;\n  fail) exit 5 ;;\n"
                              << "  crash) kill -9 $$ ;;\nesac\n";
        ::chmod(script.c_str(), 0755);
        ::setenv("PATH", m_dir.c_str(), 1);
        ::setenv("DISPLAY", ":99", 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("XDG_CURRENT_DESKTOP");
        answer(Answer::Cancel);
    }
    ~FakeChooser() {
        for (std::size_t i = 0; i < m_saved.size(); ++i)
            m_saved[i] ? ::setenv(kEnv[i], m_saved[i]->c_str(), 1) : ::unsetenv(kEnv[i]);
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }

    void answer(Answer a, const std::string& path = std::string()) {
        const char* word[] = {"pick", "cancel", "nothing", "fail", "crash"};
        std::ofstream(m_dir + "/answer") << word[static_cast<int>(a)];
        std::ofstream(m_dir + "/path") << path << "\n";
    }
    std::string args() const { return slurp(m_dir + "/args"); }
    const std::string& dir() const { return m_dir; }
    int runs() const {
        const std::string r = slurp(m_dir + "/runs");
        return int(std::count(r.begin(), r.end(), '\n'));
    }

private:
    static constexpr const char* kEnv[4] = {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP"};
    std::string m_dir;
    std::vector<std::optional<std::string>> m_saved; // kEnv as found
};

} // namespace looktest

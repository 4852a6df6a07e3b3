// A scripted stand-in for the desktop's file chooser: a shell script named
// zenity (or kdialog) in a private directory that becomes the whole PATH,
// with a made-up DISPLAY. It records its arguments and answers as told.
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace looktest {

class FakeChooser {
public:
    enum class Answer { Pick, Cancel, NothingPicked, Fail, Crash };

    explicit FakeChooser(const char* program = "zenity")
    {
        char tmpl[] = "/tmp/looks-chooser-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        save("PATH");
        save("DISPLAY");
        save("WAYLAND_DISPLAY");
        save("XDG_CURRENT_DESKTOP");
        install(program);
        ::setenv("PATH", m_dir.c_str(), 1);
        ::setenv("DISPLAY", ":99", 1);
        ::unsetenv("WAYLAND_DISPLAY");
        ::unsetenv("XDG_CURRENT_DESKTOP");
        answer(Answer::Cancel);
    }
    ~FakeChooser()
    {
        for (int i = 0; i < m_saved; ++i) {
            if (m_had[i])
                ::setenv(m_names[i], m_values[i].c_str(), 1);
            else
                ::unsetenv(m_names[i]);
        }
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }

    void install(const char* program)
    {
        const std::string script = m_dir + "/" + program;
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "printf '%s\\n' \"$@\" > '" << m_dir << "/args'\n"
               "echo x >> '" << m_dir << "/runs'\n"
               "answer=$(/bin/cat '" << m_dir << "/answer')\n"
               "case \"$answer\" in\n"
               "  pick) /bin/cat '" << m_dir << "/path'; exit 0 ;;\n"
               "  cancel) exit 1 ;;\n"
               "  nothing) exit 0 ;;\n"
               "  fail) exit 5 ;;\n"
               "  crash) kill -9 $$ ;;\n"
               "esac\n";
        out.close();
        ::chmod(script.c_str(), 0755);
    }

    void answer(Answer a, const std::string& path = std::string())
    {
        const char* word[] = {"pick", "cancel", "nothing", "fail", "crash"};
        std::ofstream(m_dir + "/answer") << word[static_cast<int>(a)];
        std::ofstream(m_dir + "/path") << path << "\n";
    }
    std::string args() const { return slurp(m_dir + "/args"); }
    int runs() const
    {
        const std::string r = slurp(m_dir + "/runs");
        int n = 0;
        for (char c : r)
            n += c == '\n';
        return n;
    }
    const std::string& dir() const { return m_dir; }

private:
    static std::string slurp(const std::string& file)
    {
        std::ifstream in(file);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void save(const char* name)
    {
        const char* v = std::getenv(name);
        m_names[m_saved] = name;
        m_had[m_saved] = v != nullptr;
        m_values[m_saved] = v ? v : "";
        ++m_saved;
    }

    std::string m_dir;
    const char* m_names[4] = {};
    bool m_had[4] = {};
    std::string m_values[4];
    int m_saved = 0;
};

} // namespace looktest

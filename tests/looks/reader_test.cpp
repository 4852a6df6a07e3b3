// The Look-file reader through an OpenFX host: the probe bundle (the plug-in
// with a scripted open dialog that logs every release of its path) is
// loaded, an instance created, and "Load Look" pressed.
#include "look_departures.h"
#include "look_line_table.h"
#include "look_test_files.h"
#include "tests/host/ofx_test_host.h"
#include "tests/reference/reference_tables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

using kalthorne::looks::kLookLines;
using kalthorne::looks::LookRule;
using looktest::LookFile;
using looktest::slurp;
using ofxtest::Event;

namespace {

long openDescriptors() {
    return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {});
}

class LookReader : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/looks-probe-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
        ::setenv("LOOKS_PROBE_DIR", m_dir.c_str(), 1);
        m_host = std::make_unique<ofxtest::Host>();
        std::string error;
        ASSERT_TRUE(m_host->loadAndDescribe(LOOKS_PROBE_BUNDLE, &error)) << error;
        m_inst = m_host->createInstance();
        ASSERT_EQ(m_inst->createStatus(), kOfxStatOK);
    }
    void TearDown() override {
        m_inst.reset();
        m_host.reset();
        std::system(("rm -rf '" + m_dir + "'").c_str());
    }

    // Presses "Load Look" with the dialog answering `a`; checks that nothing
    // stays open and the handed-out path was released exactly once.
    void press(const std::string& a, const std::string& path = std::string()) {
        std::ofstream(m_dir + "/answer") << a << "\n";
        std::ofstream(m_dir + "/path") << path << "\n";
        std::remove((m_dir + "/log").c_str());
        m_inst->clearRecords();
        const long fds = openDescriptors();
        EXPECT_EQ(m_inst->paramChanged("LoadLooks"), kOfxStatOK);
        EXPECT_EQ(openDescriptors(), fds) << "a file stayed open";
        EXPECT_EQ(slurp(m_dir + "/log"), a == "okay" ? "open\nfree\n" : "open\n");
    }
    void load(const std::string& text) {
        const std::string file = m_dir + "/look.prm";
        std::ofstream(file, std::ios::binary) << text;
        press("okay", file);
    }
    void load(const LookFile& f) { load(f.text()); }

    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const auto& m : m_inst->messages()) {
            EXPECT_EQ(m.type, "OfxMessageMessage");
            EXPECT_EQ(m.id, "");
            out.push_back(m.text);
        }
        return out;
    }
    // Writes and flag changes the plug-in made during the last press.
    int changes() const {
        int n = 0;
        for (const auto& e : m_inst->events())
            n += e.kind == Event::Kind::SetValue || e.kind == Event::Kind::SetValueAtTime ||
                 e.kind == Event::Kind::SetEnabled || e.kind == Event::Kind::SetSecret;
        return n;
    }
    int writesOf(const std::string& name) const {
        int n = 0;
        for (const auto& e : m_inst->events(Event::Kind::SetValue)) n += e.name == name;
        return n;
    }
    double value(const std::string& name) { return m_inst->value(name); }
    bool shown(const std::string& name) { return m_inst->enabled(name) && !m_inst->secret(name); }
    // Every line that writes its value as read holds the file's value.
    void expectFileValues(const LookFile& f) {
        for (const auto& L : kLookLines) {
            if (L.rule != LookRule::Write && L.rule != LookRule::Channel && L.rule != LookRule::ChannelMaster &&
                L.rule != LookRule::Pitch && L.rule != LookRule::PitchEnsemble)
                continue;
            EXPECT_DOUBLE_EQ(value(L.target), std::stod(f.value(L.number))) << L.number;
        }
    }

    std::string m_dir;
    std::unique_ptr<ofxtest::Host> m_host;
    std::unique_ptr<ofxtest::Instance> m_inst;
};

// The reference file, then the same with Windows line ends and a byte-order
// mark (and line 2 edited), then followed by 10 MB that are never read.
TEST_F(LookReader, ReferenceFileSetsEveryTargetSilently) {
    const std::pair<std::string, LookFile> files[] = {
        {LookFile().text(), LookFile()},
        {looktest::readData("windows_crlf_bom.prm"), LookFile().set(2, "-0.1234")},
        {LookFile().text() + std::string(10 << 20, 'x'), LookFile()}};
    for (const auto& [text, f] : files) {
        load(text);
        EXPECT_TRUE(messages().empty());
        expectFileValues(f);
        const std::pair<const char*, double> derived[] = {
            {"InputGamut", 11}, {"CameraStock", 12}, {"ColorRefine", 5}, {"PrintProfile", 3},
            {"DisplayGamutOutput", 7}, {"HalationBypass", 0}, {"HalationBreadth", 0.35},
            {"HDRcomp", 0},           // ARRI LogC3 is not a linear input
            {"ProcessLinear", 1}, {"BrewBleachBypass", 1},
            {"PrintBleachBypass", 0}, // never together with the negative bleach
            {"PrintDisplayBypass", 0}};
        for (const auto& [name, v] : derived) EXPECT_EQ(value(name), v) << name;
        for (const char* n : {"NegCast", "BrewDmaxBlue", "PrintProfile", "PrintCast", "PrinterLightBlue",
                              "DisplayGamutOutput"})
            EXPECT_TRUE(shown(n)) << n;
    }
    EXPECT_EQ(slurp(m_dir + "/request"),
              "Kalthorne Look file\nprm\n1\n/Library/Application Support/Blackmagic Design/DaVinci Resolve/LUT/\n");
}

// Every line at each documented bound is taken silently; one step beyond
// either bound gives the line's message, and the line's parameter holds the
// documented fallback. A failure names the line, the pass and the field.
TEST_F(LookReader, EveryLineAtAndBeyondItsDocumentedRange) {
    enum Pass { AtLow, AtHigh, BelowLow, AboveHigh };
    const char* const passNames[] = {"at the low bound", "at the high bound", "below the low bound",
                                     "above the high bound"};
    // the size fallbacks fetch the clip's image and release it at once
    m_inst->setClipImage("Source", std::make_shared<ofxtest::ImageBuffer>(ofxtest::rect(0, 0, 64, 32)));
    m_inst->setClipImage("Output", std::make_shared<ofxtest::ImageBuffer>(ofxtest::rect(0, 0, 64, 32)));
    const auto& lines = reference::lookLines();
    for (Pass pass : {AtLow, AtHigh, BelowLow, AboveHigh}) {
        SCOPED_TRACE(passNames[pass]);
        LookFile f;
        std::vector<double> read(lines.size());
        for (const auto& d : lines) {
            const bool isInt = d.type == "int";
            const double step = isInt ? 1.0 : 0.001;
            const double v = pass == AtLow ? d.low : pass == AtHigh ? d.high : pass == BelowLow ? d.low - step
                                                                                                 : d.high + step;
            char text[16];
            std::snprintf(text, sizeof text, isInt ? "%.0f" : pass <= AtHigh ? "%g" : "%.3f", v);
            f.set(d.number, text);
            read[std::size_t(d.number - 1)] = std::strtod(text, nullptr);
        }
        load(f);
        // the messages as the lines they belong to, in order
        std::vector<int> expected, got;
        std::map<std::string, int> lineOf;
        int sizeFallbacks = 0;
        for (const auto& d : lines) {
            lineOf[d.message()] = d.number;
            const double v = read[std::size_t(d.number - 1)];
            const bool inRange = v >= looktest::departed(d.number, "low", d.low) &&
                                 v <= looktest::departed(d.number, "high", d.high);
            if (inRange) continue;
            expected.push_back(d.number);
            sizeFallbacks += d.fallback.rfind("the ", 0) == 0;
            double fallback = 0;
            if (!d.target().empty() && d.fixedFallback(&fallback)) read[std::size_t(d.number - 1)] = fallback;
        }
        for (const std::string& m : messages()) {
            const auto line = lineOf.find(m);
            EXPECT_NE(line, lineOf.end()) << "a message no line has: " << m;
            got.push_back(line == lineOf.end() ? 0 : line->second);
        }
        EXPECT_EQ(got, expected) << "lines whose range message went out";
        EXPECT_EQ(m_inst->imagesFetched(), sizeFallbacks);
        EXPECT_EQ(m_inst->liveImages() + m_inst->badReleases(), 0);
        for (const auto& d : lines) {
            if (d.target().empty()) continue;
            double v = read[std::size_t(d.number - 1)];
            if (pass == AtHigh) v = looktest::departed(d.number, "written high", v);
            if (d.switchLine()) v = v == 1;
            EXPECT_EQ(value(d.target()), v) << "Look line " << d.number << " " << d.key << ": " << d.target();
        }
    }
}

// A print stock line leaves the documented Look print preset in the host
// (tests/reference/presets.tsv). Lines 358, 363 and 364, which follow it and
// write three of those parameters themselves, hold the preset's own values.
TEST_F(LookReader, PrintStockLineLeavesTheDocumentedPreset) {
    for (const auto& [stock, values] : reference::presets("look-print")) {
        load(LookFile().set(353, std::to_string(stock)).set(358, "0").set(363, "0").set(364, "0"));
        EXPECT_TRUE(messages().empty());
        for (const auto& v : values)
            EXPECT_EQ(value(v.parameter), v.value) << "print stock line " << stock << ": " << v.parameter;
    }
}

TEST_F(LookReader, NothingChangesWithoutAUsableFile) {
    m_inst->setValue("Exposure", 0.75);
    m_inst->setValue("CameraStock", 5);
    m_inst->setValue("PrintDisplayBypass", 0);
    const std::string dialogError = "Brew : Unable to load Look file. Check file and/or folder permissions";
    const std::string openError = "Brew : Unable to open Look file. Check file and folder permissions";
    const std::string file = m_dir + "/look.prm";
    const struct {
        const char* what;
        std::string answer, path, text, message;
    } cases[] = {
        {"cancel", "cancel", "", "", ""},
        {"dialog error", "error", "", "", dialogError},
        {"okay without a path", "okay-null", "", "", dialogError},
        {"no such file", "okay", m_dir + "/no-such-file.prm", "", openError},
        {"empty file", "okay", file, "", openError},
        {"missing key", "okay", file, looktest::readData("missing_key_line_200.prm"),
         "Brew : Unable to read 'Brew Refine-7-Hue-W(0 - 360.0)-----|'. Aborting reads beyond this point in the "
         "Looks file..."},
        // a read never takes more than 44 bytes: the rest of the line is line 101
        {"a 1.3 MB line 100", "okay", file, LookFile().set(100, "0" + std::string(1300000, '5')).text(),
         std::string("Brew : Unable to read '") + kLookLines[100].key +
             "'. Aborting reads beyond this point in the Looks file..."},
        // the range message of a file that is not loaded stays unsaid
        {"range and missing key", "okay", file, LookFile().set(2, "9").raw(3, "Halation Bypass 0\n").text(),
         "Brew : Unable to read 'Halation Bypass Off/On(0, 1)-------|'. Aborting reads beyond this point in the "
         "Looks file..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(file, std::ios::binary) << c.text;
        press(c.answer, c.path);
        EXPECT_EQ(messages(), c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
        EXPECT_EQ(changes(), 0) << "no pre-write, no bypass switching";
    }
    EXPECT_EQ(value("Exposure"), 0.75);
    EXPECT_EQ(value("CameraStock"), 5);
    EXPECT_EQ(value("PrintDisplayBypass"), 0);
}

// Only a regular file is a Look file. A FIFO with no writer must not hold
// the action (if the open waits, a watchdog plays the writer after a few
// seconds so that the test ends and fails); endless devices must not be read
// into an abort that resets the stocks.
TEST_F(LookReader, AnythingButARegularFileIsRefusedAtOnce) {
    m_inst->setValue("Exposure", 0.75);
    m_inst->setValue("CameraStock", 5);
    m_inst->setValue("PrintDisplayBypass", 0);
    const std::string fifo = m_dir + "/fifo.prm", socketPath = m_dir + "/socket.prm";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(sock, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(sock, 1), 0);

    const std::pair<const char*, std::string> cases[] = {{"FIFO with no writer", fifo},
                                                         {"directory", m_dir},
                                                         {"Unix socket", socketPath},
                                                         {"/dev/zero", "/dev/zero"},
                                                         {"/dev/urandom", "/dev/urandom"}};
    for (const auto& [what, path] : cases) {
        SCOPED_TRACE(what);
        std::atomic<bool> done{false};
        std::thread watchdog([&, fifoPath = fifo] {
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
            while (!done) {
                if (std::chrono::steady_clock::now() > giveUp) {
                    const int w = ::open(fifoPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                    if (w >= 0)
                        ::close(w);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
        const auto start = std::chrono::steady_clock::now();
        press("okay", path);
        const auto took = std::chrono::steady_clock::now() - start;
        done = true;
        watchdog.join();
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 1000) << "ms to refuse";
        EXPECT_EQ(messages(),
                  std::vector<std::string>{"Brew : Unable to open Look file. Check file and folder permissions"});
        EXPECT_EQ(changes(), 0);
    }
    ::close(sock);
    EXPECT_EQ(value("Exposure"), 0.75);
    EXPECT_EQ(value("CameraStock"), 5);
    EXPECT_EQ(value("PrintDisplayBypass"), 0);
}

TEST_F(LookReader, ValuesInForceFillWhatAShortFileLacks) {
    const std::pair<const char*, double> inForce[] = {
        {"TenorPitch", 4},          {"BaritonePitch", 5},      {"BassPitch", 6},         {"BrewDminRed", 0.1},
        {"BrewDminGreen", 0.2},     {"BrewDminBlue", 0.3},     {"PrinterLightRed", 0.5}, {"PrinterLightGreen", 0.25},
        {"PrinterLightBlue", 0.125}};
    for (const auto& [name, v] : inForce) m_inst->setValue(name, v);
    load(LookFile().set(34, "3").set(35, "3").set(36, "3").endAfter(36));
    EXPECT_TRUE(messages().empty());
    EXPECT_DOUBLE_EQ(value("EnsemblePitch"), (3.0 + 3.0 + 3.0 + 4.0 + 5.0 + 6.0) / 6);
    EXPECT_EQ(value("CameraStock"), 10) << "a file without line 45 keeps the reader's first write";
    EXPECT_EQ(writesOf("BrewDminRGB"), 1);
    EXPECT_DOUBLE_EQ(value("BrewDminRGB"), (0.1 + 0.2 + 0.3) / 3.0);
    for (const char* n : {"PrinterLightRed", "PrintProfile"}) EXPECT_EQ(writesOf(n), 0) << n;
    EXPECT_DOUBLE_EQ(value("PrinterLightsRGB"), (0.5 + 0.25 + 0.125) / 3.0);
}

TEST_F(LookReader, NegativeBleachDecidedByThisLoad) {
    // The negative bleach is animated and on at the change's time; the load
    // turns it off, so the print bleach may go on.
    m_inst->setValueAtTime("BrewBleachBypass", 0.0, 1);
    m_inst->setValueAtTime("BrewBleachBypass", 10.0, 1);
    load(LookFile().set(45, "12").set(319, "0").set(352, "0").set(358, "1"));
    EXPECT_EQ(writesOf("BrewBleachBypass"), 1);
    EXPECT_EQ(value("PrintBleachBypass"), 1);
}

} // namespace

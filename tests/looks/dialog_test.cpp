// The open dialog driven without a display: a scripted chooser on PATH.
#include "fake_chooser.h"
#include "nfd/nfd.h"

#include <gtest/gtest.h>

using looktest::FakeChooser;

namespace {

const nfdnfilteritem_t kFilter = {"Kalthorne Look file", "prm"};

struct Opened {
    nfdresult_t result;
    std::string path, error;
};

Opened open(const char* defaultPath = "/no/such/folder/") {
    nfdnchar_t* path = nullptr;
    NFD_ClearError();
    Opened o{NFD_OpenDialogN(&path, &kFilter, 1, defaultPath), path ? path : "", ""};
    NFD_FreePathN(path);
    o.error = NFD_GetError() ? NFD_GetError() : "";
    return o;
}

TEST(OpenDialog, ResultsOfTheChooser) {
    FakeChooser chooser;
    chooser.answer(FakeChooser::Answer::Pick, "/tmp/looks dir/ä look.prm");
    Opened picked = open("/tmp");
    EXPECT_EQ(picked.result, NFD_OKAY);
    EXPECT_EQ(picked.path, "/tmp/looks dir/ä look.prm");
    EXPECT_EQ(chooser.args(), "--file-selection\n--title=Open\n--file-filter=Kalthorne Look file | *.prm\n"
                              "--filename=/tmp/\n");

    chooser.answer(FakeChooser::Answer::Cancel);
    Opened cancelled = open();
    EXPECT_EQ(cancelled.result, NFD_CANCEL);
    EXPECT_TRUE(cancelled.path.empty());
    EXPECT_EQ(chooser.args().find("--filename"), std::string::npos) << "a missing folder is not passed on";

    for (auto answer : {FakeChooser::Answer::NothingPicked, FakeChooser::Answer::Fail, FakeChooser::Answer::Crash}) {
        chooser.answer(answer);
        Opened failed = open();
        EXPECT_EQ(failed.result, NFD_ERROR);
        EXPECT_TRUE(failed.path.empty());
        EXPECT_FALSE(failed.error.empty());
    }
}

TEST(OpenDialog, NoDisplayOrNoChooserIsAnError) {
    FakeChooser chooser;
    ::unsetenv("DISPLAY");
    Opened noDisplay = open();
    EXPECT_EQ(noDisplay.result, NFD_ERROR);
    EXPECT_NE(noDisplay.error.find("DISPLAY"), std::string::npos) << noDisplay.error;

    ::setenv("DISPLAY", ":99", 1);
    ::setenv("PATH", "/nonexistent", 1);
    Opened noChooser = open();
    EXPECT_EQ(noChooser.result, NFD_ERROR);
    EXPECT_NE(noChooser.error.find("zenity"), std::string::npos) << noChooser.error;

    // a chooser in the host's working folder is never run, whatever PATH says
    char* cwd = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(chooser.dir().c_str()), 0);
    ::setenv("PATH", ":.:looks-nowhere", 1);
    Opened fromWorkingFolder = open();
    ASSERT_EQ(::chdir(cwd), 0);
    std::free(cwd);
    EXPECT_EQ(fromWorkingFolder.result, NFD_ERROR);
    EXPECT_EQ(chooser.runs(), 0);

    EXPECT_EQ(NFD_OpenDialogN(nullptr, &kFilter, 1, nullptr), NFD_ERROR);
}

TEST(OpenDialog, KdialogOnKde) {
    FakeChooser chooser("kdialog");
    ::setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    ::unsetenv("DISPLAY");
    ::setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    chooser.answer(FakeChooser::Answer::Pick, "/home/a/b.prm");
    Opened picked = open("/tmp");
    EXPECT_EQ(picked.result, NFD_OKAY);
    EXPECT_EQ(picked.path, "/home/a/b.prm");
    EXPECT_EQ(chooser.args(), "--title\nOpen\n--getopenfilename\n/tmp\nKalthorne Look file (*.prm)\n");
}

} // namespace

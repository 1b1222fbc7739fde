// test_files.cpp: the file commands end to end on the headless frame: the
// save keys, the recent files through velto.ini and the File menu, the
// recovery copy on the program clock, and the unsaved mark of a time scale.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "tests/e2e.h"

namespace {

struct Files : E2E {
    void key(int32_t scan, int32_t mods = 0) { hl_key(scan, scan == SC_ESCAPE ? 27 : 0, mods), hl_pass(); }
    void edit(const char *value) { wiresetnumst(1, value), wire[1].value = atof(value), recalc = 3, passes(); }
    int32_t exists(const std::string &name) { return access(path(name).c_str(), F_OK) == 0; }
    // the recovery copy's name for process pid of this host, this one's by default
    static std::string copyname(long pid = getpid())
    {
        char host[256] = "";
        gethostname(host, sizeof host - 1);
        return "recovery-" + std::string(host) + "-" + std::to_string(pid) + ".vsm";
    }
};

}  // namespace

// Ctrl+S saves to the circuit's file, asking for a name only while it has
// none; Ctrl+Shift+S always asks, proposing the circuit's own file; Ctrl+O
// starts in its folder.
TEST_F(Files, CtrlSSavesAndCtrlShiftSAsksForAName)
{
    ASSERT_EQ(start(), 1);
    ASSERT_EQ(vsmread(DIVIDERFILE, strlen(DIVIDERFILE)), 1);
    passes();
    hl_answer_file(path("a").c_str());
    key(SC_S, KEYCTRL), settle();
    EXPECT_NE(strstr(hl_lastname(), "untitled.vsm"), nullptr) << "asked for a name";
    EXPECT_EQ(read("a.vsm"), DIVIDERFILE);
    edit("2000");
    key(SC_S, KEYCTRL), settle();  // no name asked: none is queued
    EXPECT_NE(read("a.vsm").find(",R,2000,"), std::string::npos);
    EXPECT_STREQ(hl_title(), "a.vsm - VELTO");
    hl_answer_file(path("b.vsm").c_str());
    key(SC_S, KEYCTRL | KEYSHIFT), settle();
    EXPECT_EQ(std::string(hl_lastname()), path("a.vsm"));
    EXPECT_EQ(read("b.vsm"), read("a.vsm"));
    EXPECT_EQ(std::string(curfilename), path("b.vsm"));

    // a name typed without ".vsm" gains it: a file of that name is not
    // replaced without a question
    const std::string kept = read("b.vsm");
    edit("3300");
    hl_answer_file(path("b").c_str()), hl_answer_yesno(0);
    key(SC_S, KEYCTRL | KEYSHIFT), settle();
    EXPECT_STREQ(hl_lastmsg(), "b.vsm exists. Replace it?");
    EXPECT_EQ(read("b.vsm"), kept);
    EXPECT_STREQ(hl_title(), "*b.vsm - VELTO") << "still unsaved";
    hl_answer_file(path("b").c_str()), hl_answer_yesno(1);
    key(SC_S, KEYCTRL | KEYSHIFT), settle();
    EXPECT_NE(read("b.vsm").find(",R,3300,"), std::string::npos);
    EXPECT_STREQ(hl_title(), "b.vsm - VELTO");

    // Open starts in the folder of the file last opened or saved
    key(SC_O, KEYCTRL), settle();  // no answer queued: cancelled
    EXPECT_EQ(std::string(hl_lastname()), path("*.VSM"));
}

// Ctrl+S over a file that another program wrote after this one opened or
// saved it asks first; no leaves that file alone and the circuit unsaved.
TEST_F(Files, SaveAsksBeforeReplacingAFileChangedElsewhere)
{
    const std::string a = write("a.vsm", DIVIDERFILE);
    ASSERT_EQ(start({a}), 1);
    edit("2000");
    key(SC_S, KEYCTRL), settle();
    const int32_t asked = hl_msgcount();
    edit("3000");
    key(SC_S, KEYCTRL), settle();
    EXPECT_EQ(hl_msgcount(), asked) << "the file is as this program left it";
    std::string other = DIVIDERFILE;
    other.replace(other.find(",R,1000,"), 8, ",R,47000,");  // another size: a time may not have moved yet
    write("a.vsm", other);
    edit("5000");
    hl_answer_yesno(0);
    key(SC_S, KEYCTRL), settle();
    EXPECT_STREQ(hl_lastmsg(), "a.vsm has changed since it was opened or saved here. Replace it?");
    EXPECT_EQ(read("a.vsm"), other);
    EXPECT_STREQ(hl_title(), "*a.vsm - VELTO");
    hl_answer_yesno(1);
    key(SC_S, KEYCTRL), settle();
    EXPECT_NE(read("a.vsm").find(",R,5000,"), std::string::npos);
    EXPECT_STREQ(hl_title(), "a.vsm - VELTO");
}

// Files opened and saved go first in the list, once each, as absolute
// paths; the list lives in velto.ini, where a relative, over-long or
// repeated entry is dropped; a file gone is dropped when the menu opens, and
// choosing an entry opens it as Open does, asking about unsaved changes.
TEST_F(Files, RecentFilesRoundTripThroughTheSettingsAndOpen)
{
    for (const char *f : {"a.vsm", "b.vsm", "c.vsm"}) write(f, DIVIDERFILE);
    char cwd[PATHMAX];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_EQ(start({"a.vsm"}), 1);
    ASSERT_EQ(chdir(cwd), 0);
    hl_answer_file(path("b.vsm").c_str());
    key(SC_L, KEYCTRL);
    hl_answer_file(path("c.vsm").c_str());
    key(SC_S, KEYCTRL | KEYSHIFT);
    hl_answer_file(path("a.vsm").c_str());
    key(SC_L, KEYCTRL), settle();
    stop();
    const std::string ini = read("velto.ini");
    EXPECT_NE(ini.find("recent1=" + path("a.vsm") + "\r\nrecent2=" + path("c.vsm") + "\r\nrecent3=" +
                       path("b.vsm") + "\r\n"), std::string::npos) << ini;
    EXPECT_EQ(ini.find("recent4="), std::string::npos);

    write("velto.ini", "[VELTO]\r\nrecent1=c.vsm\r\nrecent2=" + path(std::string(5000, 'x')) + "\r\nrecent3=" +
                           path("b.vsm") + "\r\nrecent4=" + path("c.vsm") + "\r\nrecent5=" + path("c.vsm") +
                           "\r\nrecent6=" + path("a.vsm") + "\r\n");
    unlink(path("b.vsm").c_str());
    ASSERT_EQ(start({path("a.vsm")}), 1);  // b, c, a read; a opened goes first
    key(SC_ESCAPE), settle();
    const int32_t first = menuchild(menufind("Recent files"));
    EXPECT_EQ(std::string(vopts.recent[0]), path("a.vsm"));
    EXPECT_EQ(std::string(vopts.recent[1]), path("c.vsm"));
    EXPECT_EQ(vopts.recent[2][0], 0);
    EXPECT_EQ(first, menufind("1 a.vsm"));
    EXPECT_EQ(menunext(menunext(first)), -1);
    key(SC_ESCAPE), edit("2000");
    hl_answer_yesno(1);  // Don't save
    key(SC_ESCAPE), key(SC_DOWN), key(SC_R), key(SC_2), settle();
    EXPECT_STREQ(hl_lastmsg(), "Save changes to a.vsm?");
    EXPECT_EQ(std::string(curfilename), path("c.vsm"));
    EXPECT_EQ(std::string(vopts.recent[0]), path("c.vsm"));

    for (int32_t k = 0; k < RECENTMAX; k++) vopts.recent[k][0] = 0;
    key(SC_ESCAPE), settle();
    EXPECT_EQ(menuchild(menufind("Recent files")), menufind("(none)"));
    key(SC_DOWN), key(SC_R), key(SC_RETURN), settle();
    EXPECT_EQ(menusel, menufind("(none)")) << "greyed: nothing happens";
    key(SC_ESCAPE), settle();
}

// Two programs share velto.ini: each one's exit puts the files it opened or
// saved before the list the file holds by then, so neither loses the
// other's; a run that opened nothing keeps the list another one wrote first.
TEST_F(Files, RecentFilesOfTwoProgramsMerge)
{
    const std::string a = write("a.vsm", DIVIDERFILE), b = write("b.vsm", DIVIDERFILE),
                      c = write("c.vsm", DIVIDERFILE), x = write("x.vsm", DIVIDERFILE);
    write("velto.ini", "[VELTO]\r\nengunits=0\r\nrecent1=" + x + "\r\n");
    ASSERT_EQ(start({a}), 1);
    write("velto.ini", "[VELTO]\r\nengunits=0\r\nrecent1=" + b + "\r\nrecent2=" + x + "\r\n");  // the other exits
    stop();
    std::string ini = read("velto.ini");
    EXPECT_NE(ini.find("recent1=" + a + "\r\nrecent2=" + b + "\r\nrecent3=" + x + "\r\n"), std::string::npos) << ini;

    ASSERT_EQ(start(), 1);
    vopts.gridmode ^= 1;  // a change of the options only
    write("velto.ini", "[VELTO]\r\nengunits=0\r\nrecent1=" + c + "\r\nrecent2=" + a + "\r\n");
    stop();
    ini = read("velto.ini");
    EXPECT_NE(ini.find("recent1=" + c + "\r\nrecent2=" + a + "\r\nrecent3=" + b + "\r\nrecent4=" + x + "\r\n"),
              std::string::npos) << ini;
    EXPECT_EQ(std::string(vopts.recent[0]), c);
}

// A name in UTF-8 shows in the menu as the font draws it, not byte by byte.
TEST_F(Files, RecentFileNamesShowTheirCharacters)
{
    ASSERT_EQ(start({write("Gr\xC3\xBC\xC3\x9F" "e.vsm", DIVIDERFILE)}), 1);
    key(SC_ESCAPE), settle();
    EXPECT_EQ(menuchild(menufind("Recent files")), menufind("1 Gr\x81\xE1" "e.vsm"));
    key(SC_ESCAPE), settle();
}

// Unsaved for 30 s of the program clock, the circuit is written beside
// velto.ini with its file's name, and at once when a question about unsaved
// changes comes; a save removes the copy, and so does a clean exit. A copy
// found at start-up asks: yes restores it unsaved under its name (over the
// file named on the command line), no removes it.
TEST_F(Files, RecoveryCopyFollowsUnsavedChangesAndIsOfferedAtStart)
{
    const std::string a = write("a.vsm", DIVIDERFILE), b = write("b.vsm", DIVIDERFILE);
    const std::string own = copyname();
    hl_setstep(1000000);
    ASSERT_EQ(start({a}), 1);
    edit("2000");
    passes(RECOVERYSECONDS - 5);
    EXPECT_FALSE(exists(own));
    passes(10);
    const std::string copy = read(own);
    EXPECT_NE(copy.find(",R,2000,"), std::string::npos);
    EXPECT_EQ(copy.substr(copy.size() - a.size() - 9), "//File," + a + "\r\n");
    key(SC_S, KEYCTRL), settle();
    EXPECT_FALSE(exists(own)) << "saved";
    edit("2500");
    EXPECT_FALSE(exists(own));
    hl_answer_yesno(2), hl_close();  // quit, Cancel: the copy is written before the question
    ASSERT_EQ(passes(2), 1);
    EXPECT_STREQ(hl_lastmsg(), "Save changes to a.vsm?");
    EXPECT_NE(read(own).find(",R,2500,"), std::string::npos);
    edit("3000"), passes(RECOVERYSECONDS + 5);
    EXPECT_TRUE(exists(own));
    hl_answer_yesno(1), hl_close();  // quit, Don't save
    EXPECT_EQ(passes(2), 0);
    EXPECT_FALSE(exists(own)) << "a clean exit";

    hl_reset();
    write(own, copy);
    hl_answer_yesno(1);
    ASSERT_EQ(start({b}), 1);
    passes();
    EXPECT_STREQ(hl_lastmsg(), "The last session ended with unsaved changes to a.vsm. Restore them?");
    EXPECT_STREQ(wire[1].numst, "2000");
    EXPECT_STREQ(hl_title(), "*a.vsm - VELTO");
    stop();
    hl_reset();
    write(own, copy);
    hl_answer_yesno(0);
    ASSERT_EQ(start({b}), 1);
    EXPECT_FALSE(exists(own));
    EXPECT_EQ(std::string(curfilename), b);
}

// Every running program has its own copy. At start-up a copy of a program
// still running, or of another host, is neither offered nor removed; the
// copies of programs gone are offered newest first until one is restored,
// the old single name among them; the restored one goes when this run's own
// copy is written.
TEST_F(Files, RecoveryOffersOnlyTheCopiesOfProgramsGone)
{
    const pid_t child = fork();
    if (child == 0) _exit(0);
    ASSERT_GT(child, 0);
    waitpid(child, nullptr, 0);
    const std::string live = copyname(getppid()), gone = copyname(child), other = "recovery-elsewhere-1.vsm";
    std::string text = DIVIDERFILE;
    write(live, text), write(other, text);
    write(gone, text + "//File,/x/gone.vsm\r\n");
    write("recovery.vsm", text + "//File,/x/old.vsm\r\n");
    const timespec older[2] = {{1000000, 0}, {1000000, 0}};
    utimensat(AT_FDCWD, path("recovery.vsm").c_str(), older, 0);
    hl_answer_yesno(0), hl_answer_yesno(1);  // the newest declined, the old name's restored
    hl_setstep(1000000);
    ASSERT_EQ(start(), 1);
    EXPECT_STREQ(hl_lastmsg(), "The last session ended with unsaved changes to old.vsm. Restore them?");
    EXPECT_FALSE(exists(gone)) << "declined";
    EXPECT_TRUE(exists("recovery.vsm")) << "restored: kept until this run's copy is written";
    EXPECT_TRUE(exists(live) && exists(other));
    passes(RECOVERYSECONDS + 5);
    EXPECT_TRUE(exists(copyname()));
    EXPECT_FALSE(exists("recovery.vsm"));
    stop();
    hl_reset();
    hl_answer_yesno(1);
    ASSERT_EQ(start(), 1);
    EXPECT_STREQ(hl_lastmsg(), "") << "nothing of a program gone is left to offer";
    EXPECT_TRUE(exists(live) && exists(other));
}

// Left and Right over a transient window step the time scale the circuit
// file holds: the circuit is unsaved while Save would write another scale
// than the file has, and saved again when the scale comes back.
TEST_F(Files, TimeScaleMarksTheCircuitUnsavedWhileItDiffersFromTheFile)
{
    ASSERT_EQ(start({write("a.vsm", DIVIDERFILE)}), 1);
    const int32_t t = openplot(PLOT_TRANS, 1, 0);
    passes();
    hl_mouse((int32_t)(plot[t].left + plot[t].right) / 2, (int32_t)(plot[t].top + plot[t].bottom) / 2);
    key(SC_LEFT), settle();
    EXPECT_EQ(circuitdirty, 1);
    EXPECT_STREQ(hl_title(), "*a.vsm - VELTO");
    key(SC_RIGHT), settle();
    EXPECT_EQ(circuitdirty, 0);
    key(SC_RIGHT), settle();
    EXPECT_EQ(circuitdirty, 1);
    menusavevsm(0);
    EXPECT_NE(read("a.vsm").find("TransDefXsc,0.0625 "), std::string::npos);
}

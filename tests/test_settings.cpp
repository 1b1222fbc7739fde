// test_settings.cpp: velto.ini: reading (the byte-wise header, every line to
// the end, automatic-base values, over-long lines), writing with other
// sections kept and the old file safe on failure, values brought into range,
// where the file lives, and the real program applying what it read.
#include <filesystem>
#include "tests/e2e.h"

namespace fs = std::filesystem;

struct Settings : E2E {
    // vopts as readini leaves it over the defaults, from a file with this text
    voptstype readtext(const std::string &text) {
        voptstype o;
        defaultopts(&o);
        readini(write("velto.ini", text).c_str(), &o);
        return o;
    }
    // names in the test's folder
    std::vector<std::string> files(const std::string &sub = "") {
        std::vector<std::string> v;
        for (auto &e : fs::directory_iterator(path(sub))) v.push_back(e.path().filename());
        return v;
    }
};

// === reading ===

TEST_F(Settings, ReadsOnlyAfterTheExactHeaderToTheEndOfTheFile)
{
    const std::string H = "[VELTO]\r\n";
    const struct { std::string text; int32_t circfont, cpuusage; } cases[] = {
        {H + "circfont=3\r\ncpuusage=2\r\n", 3, 2},
        {"[VELTO]\ncircfont=3\n", 1, 1},                                // LF alone: no header
        {"[OTHER]\r\ncircfont=4\r\n" + H + "cpuusage=0\r\n", 1, 0},     // other keys before it are not ours
        {H + "circfont=2\r\n[LATER]\r\ncpuusage=2\r\n", 2, 2},          // a later section reads on
        {"xx[VELTO]\r\ncircfont=6", 6, 1},                               // mid-line; last line unended
        {H + "circfont=0x3\r\ncpuusage=010\r\n", 3, 8},                 // automatic base
        {H + "circfont= -7junk\r\ncpuusage=2 and more\r\n", -7, 2},
        {H + "CIRCFONT=3\r\n circfont=3\r\ncircfont 3\r\n", 1, 1},    // exact key, '=' right after it
        {H + "circfont=3\ncpuusage=2\r\n", 3, 1},                       // only CR ends a line
        {H + "circfont=7" + std::string(290, 'x') + "\r\ncpuusage=2\r\n", 1, 2},  // 300 bytes: ignored
        {H + "circfont=7" + std::string(245, 'x') + "\r\n", 7, 1},     // 255 bytes: read
        {"", 1, 1},
    };
    for (auto &c : cases) {
        voptstype o = readtext(c.text);
        EXPECT_EQ(o.circfont, c.circfont) << c.text.substr(0, 60);
        EXPECT_EQ(o.cpuusage, c.cpuusage) << c.text.substr(0, 60);
    }
    voptstype o;
    memset(&o, 0x55, sizeof o);
    readini(path("none.ini").c_str(), &o);
    EXPECT_EQ(o.circfont, 0x55555555) << "no file: the record stays";

    // a recent file given twice, the longer path first, reads as the second
    // alone: a record read is the same bytes as one read from a clean file
    const voptstype twice = readtext(H + "recent2=/a/longer/path\r\nrecent2=/b\r\n");
    const voptstype once = readtext(H + "recent2=/b\r\n");
    EXPECT_EQ(memcmp(&twice, &once, sizeof twice), 0);
}

TEST_F(Settings, OutOfRangeValuesGoToTheNearestValidOne)
{
    const struct { int32_t voptstype::*f; int32_t in, want; } cases[] = {
        {&voptstype::circfont, 12, 9}, {&voptstype::circfont, -3, 0}, {&voptstype::circfont, 5, 5},
        {&voptstype::sampsperpix, 100, 64}, {&voptstype::sampsperpix, 3, 4},
        {&voptstype::sampsperpix, 0, 1}, {&voptstype::sampsperpix, 5000, 4096},
        {&voptstype::sampsperpix, INT32_MAX, 4096}, {&voptstype::sampsperpix, INT32_MIN, 1},
        {&voptstype::sampsperpix, 1024, 1024},
        {&voptstype::cpuusage, 7, 2}, {&voptstype::cpuusage, -1, 0}, {&voptstype::cpuusage, 1, 1},
        {&voptstype::gridmode, 2, 1}, {&voptstype::palinverted, -5, 0}, {&voptstype::usewingui, 9, 1},
        {&voptstype::autoyscale, 0, 0},
        {&voptstype::fullscreen, 7, 7}, {&voptstype::ismaxxed, -2, -2},  // kept as read
    };
    for (auto c : cases) {
        voptstype o;
        defaultopts(&o);
        o.*c.f = c.in;
        fixopts(&o);
        EXPECT_EQ(o.*c.f, c.want) << c.in;
    }
}

// === writing ===

TEST_F(Settings, SaveReplacesOurSectionsAndKeepsEveryOtherByte)
{
    const struct { const char *old, *kept; } cases[] = {
        {"", ""},
        {"[OTHER]\r\na=1\r\n", "[OTHER]\r\na=1\r\n"},
        {"[OTHER]\r\na=1", "[OTHER]\r\na=1\r\n"},                  // the unended line is ended
        {"[A]\r\na=1\r\n[VELTO]\r\nxres=1\r\n[B]\r\nb=2\r\n", "[A]\r\na=1\r\n[B]\r\nb=2\r\n"},
        {"[VELTO]\r\nx=1\r\n[A]\r\n[VELTO]\r\ny=2\r\n", "[A]\r\n"}, // both copies go
        {"[A]\r\na=1\r\n[VELTO]\r\nxres=1", "[A]\r\na=1\r\n"},      // ours last, unended
        {"[VELTO]\nxres=3\n", "[VELTO]\nxres=3\n"},                // not a header: kept
        {"[A]\nk[VELTO]", "[A]\nk\r\n"},                           // CR LF would make it one
        {"[VELTO]\r\nnote=a [v2]\r\n[B]\r\n", "[B]\r\n"},               // a '[' inside a line is ours
    };
    snprintf(veltoinifilnam, sizeof veltoinifilnam, "%s", path("cfg/velto/velto.ini").c_str());
    defaultopts(&vopts);
    vopts.xres = 640, vopts.circfont = 9, vopts.cpuusage = -4;
    ASSERT_EQ(saveini(), 1) << "the folders are made";
    const std::string section = read("cfg/velto/velto.ini");
    EXPECT_EQ(section.find("[VELTO]\r\nxres=640\r\nyres=0\r\nfullscreen=0\r\n"), 0u);
    EXPECT_NE(section.find("\r\ncpuusage=-4\r\n"), std::string::npos);
    for (auto &c : cases) {
        write("cfg/velto/velto.ini", c.old);
        ASSERT_EQ(saveini(), 1) << c.old;
        EXPECT_EQ(read("cfg/velto/velto.ini"), c.kept + section) << c.old;
        voptstype o;
        memset(&o, 0, sizeof o);
        readini(veltoinifilnam, &o);
        EXPECT_EQ(memcmp(&o, &vopts, sizeof o), 0) << "read back";
    }
    EXPECT_EQ(files("cfg/velto"), std::vector<std::string>{"velto.ini"}) << "no temporary is left";
}

TEST_F(Settings, FailedSaveLeavesTheOldFileAndNoTemporary)
{
    const std::string old = "[OTHER]\r\nkeep=me\r\n[VELTO]\r\ncircfont=3\r\n";
    snprintf(veltoinifilnam, sizeof veltoinifilnam, "%s", path("velto.ini").c_str());
    defaultopts(&vopts);
    vopts.circfont = 8;
    // the disk fills while the new file is written
    write("velto.ini", old);
    EXPECT_EQ(tccapped(40, saveini), 0);
    EXPECT_EQ(read("velto.ini"), old);
    EXPECT_EQ(files(), std::vector<std::string>{"velto.ini"});
}

// === the real program ===

TEST_F(Settings, StoredValuesTakeEffectAtStartUpAndCorrectedOnesAreWrittenBack)
{
    write("velto.ini", "[VELTO]\r\ncircfont=12\r\nsampsperpix=100\r\ncpuusage=2\r\npalinverted=1\r\n"
                       "gridmode=0\r\nxres=1024\r\nusewingui=1\r\n");
    uint32_t black = ovpal[PAL_BLACK];
    ASSERT_EQ(start(), 1);
    EXPECT_EQ(vopts.circfont, 9);
    EXPECT_EQ(menu[menufind("9: 12x16")].text[2], '*');
    EXPECT_EQ(vopts.sampsperpix, 64);
    EXPECT_EQ(menu[menufind("Low")].text[2], '*');
    EXPECT_EQ(menu[menufind("Show Grid")].text[1], '+');
    EXPECT_EQ(ovpal[PAL_BLACK], black ^ 0xFFFFFF) << "inverted colours";
    EXPECT_EQ(vopts.usewingui, 0);
    EXPECT_EQ(xres, 800) << "the size read is not applied";
    stop();
    menuinvcols(0);
    std::string s = read("velto.ini");
    for (const char *line : {"circfont=9\r\n", "sampsperpix=64\r\n", "xres=800\r\n", "usewingui=0\r\n"})
        EXPECT_NE(s.find(line), std::string::npos) << line;
}

TEST_F(Settings, EngineeringUnitsAreOnForAFileWithoutTheKeyAndKeptAsWritten)
{
    EXPECT_EQ(readtext("[VELTO]\r\ncircfont=3\r\n").engunits, 1);
    EXPECT_EQ(readtext("[VELTO]\r\nengunits=0\r\n").engunits, 0);
    for (int32_t on : {1, 0}) {
        if (on) unlink(path("velto.ini").c_str());
        else write("velto.ini", "[VELTO]\r\nengunits=0\r\n");
        ASSERT_EQ(start(), 1);
        EXPECT_EQ(vopts.engunits, on);
        EXPECT_EQ(menu[menufind("Engineering units")].text[1], on ? '*' : '+');
        menuengunits(-1);
        stop();
        EXPECT_NE(read("velto.ini").find(on ? "\r\nengunits=0\r\n" : "\r\nengunits=1\r\n"), std::string::npos);
    }
}

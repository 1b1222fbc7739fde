// test_textentry.cpp: the value text entry end to end on the headless frame:
// opened over a symbol, its edit keys and the clipboard, commit with
// normalisation and its errors, and cancel back to the wire as it was.
#include <math.h>
#include "tests/e2e.h"

namespace {


struct K { int32_t scan, ch, mods; };

struct Entry : E2E {
    int32_t w = -1;  // the wire edited: R from (112, 112) to (432, 112), symbol at (272, 112)

    // draws it with the keys: R from (112, 112) to (432, 112), then 22 typed over
    // its symbol, and the mouse away
    void SetUp() override {
        E2E::SetUp();
        ASSERT_EQ(start(), 1);
        vopts.gridmode = 1;
        hl_mouse(112, 112), hl_type("r"), hl_pass(), hl_mouse(432, 112), hl_type("\r"), hl_pass();
        hl_mouse(272, 112), hl_type("22"), hl_pass(), hl_mouse(600, 400);
        settle();
        ASSERT_STREQ(wire[0].numst, "22");
        w = 0;
    }
    // opens the value entry with key T over the symbol (Z: initial condition)
    void open(const char *key = "t", int32_t x = 272, int32_t y = 112) {
        hl_mouse(x, y), hl_pass();
        hl_type(key);
        settle();
    }
    void keys(std::initializer_list<K> ks) {
        for (const K &k : ks) hl_key(k.scan, k.ch, k.mods);
        settle();
    }
    std::string text() { return getstringptr && *getstringptr ? *getstringptr : "<none>"; }
    // typed over the whole text and committed with Return: the entry closes
    // with the text want, or with msg shown stays open (then Escape)
    void commits(const char *typed, const char *want, const char *msg) {
        open();
        keys({{SC_HOME, 0, KEYSHIFT}, {SC_DELETE, 127, 0}});
        hl_type(typed), hl_key(SC_RETURN, 13, 0);
        settle();
        EXPECT_EQ(getstringmode, msg[0] ? 0 : -1);
        EXPECT_EQ(text(), want);
        if (!msg[0]) return;
        EXPECT_STREQ(hl_lastmsg(), msg);
        keys({{SC_ESCAPE, 27, 0}});
    }
};

}  // namespace

// The entry opens at the symbol (T) or about 20 px beside it (Z, C and L
// only) with its prompt; keys typed before it opened are not for it.
TEST_F(Entry, OpensWithItsPromptWhereTheElementAllows)
{
    struct { char e; const char *key; int32_t mode, col, y; const char *prompt; } cases[] = {
        {'R', "t9", 0, 25, 112, "Set element value function(t):"},
        {'C', "z", 1, 24, 112 - 20 - 6, "Set Voltage (when t=0):"},  // k = 20 / 320, D = (320, 0)
        {'L', "z", 1, 21, 112 - 20 - 6, "Set Current (when t=0):"},
        {'D', "t", 0, 25, 112, "Set diode IS;N;BV;RS;CJ0 (or LED, SI, Z5V1):"},
        {'N', "t", 0, 25, 112, "Set current function(V,t):"},
        {'R', "z", -1, 0, 0, ""}, {'T', "t", -1, 0, 0, ""}, {'X', "t", -1, 0, 0, ""}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.key + std::string(1, c.e));
        wire[w].element = c.e;
        open(c.key);
        EXPECT_EQ(getstringmode, c.mode);
        if (c.mode < 0) continue;
        EXPECT_EQ(text(), c.mode ? "" : "22");
        EXPECT_EQ(getstringfcol, c.col);
        EXPECT_STREQ(getstringasktext, c.prompt);
        EXPECT_EQ(getstringx * 1000 + getstringy, 272 * 1000 + c.y);
        EXPECT_EQ(hl_cursor(), CURS_CROSS);
        keys({{SC_ESCAPE, 27, 0}});
    }
}

// Each case starts from the text with the cursor at its end (End drops the
// opening selection), in insert mode.
TEST_F(Entry, EditKeys)
{
    const int32_t S = KEYSHIFT, C = KEYCTRL, M = KEYCOMMAND;
    struct { const char *start; std::vector<K> ks; const char *want; int32_t curs; const char *clip; } cases[] = {
        {"123", {{SC_LEFT, 0, 0}, {SC_LEFT, 0, 0}, {SC_X, 'x', 0}}, "1x23", 2, ""},
        {"123", {{SC_HOME, 0, 0}, {SC_INSERT, 0, 0}, {SC_A, 'a', 0}, {SC_B, 'b', 0}, {SC_C, 'c', 0}, {SC_D, 'd', 0}},
         "abcd", 4, ""},                                                    // overwrite runs past the end
        {"123", {{SC_HOME, 0, 0}, {SC_INSERT, 0, 0}, {SC_A, 'a', 0}}, "a23", 1, ""},  // overwrite in the middle
        {"SIN(T)+1", {{SC_LEFT, 0, C}, {SC_LEFT, 0, C}}, "SIN(T)+1", 4, ""},      // words back
        {"SIN(T)+1", {{SC_HOME, 0, 0}, {SC_RIGHT, 0, C}, {SC_RIGHT, 0, C}}, "SIN(T)+1", 7, ""},
        {"12345", {{SC_HOME, 0, S}, {SC_DELETE, 127, 0}}, "", 0, "12345"},           // Shift+Home then cut
        {"12345", {{SC_LEFT, 0, 0}, {SC_LEFT, 0, 0}, {SC_LEFT, 0, S}, {SC_LEFT, 0, S}, {SC_X, 'x', C}}, "145", 1, "23"},
        {"12345", {{SC_LEFT, 0, S}, {SC_LEFT, 0, S}, {SC_C, 'c', C}, {SC_HOME, 0, 0}, {SC_INSERT, 0, S}},
         "4512345", 2, "45"},
        {"12345", {{SC_HOME, 0, S | M}, {SC_X, 'x', M}}, "", 0, "12345"},
        {"abc", {{SC_HOME, 0, 0}, {SC_DELETE, 127, 0}}, "bc", 0, ""},
        {"abc", {{SC_H, 'h', C}, {SC_BACKSPACE, 8, 0}}, "a", 1, ""},
        {"abc", {{SC_HOME, 0, 0}, {SC_F, 'f', C}, {SC_D, 'd', C}, {SC_E, 'e', C}, {SC_B, 'b', C}}, "ac", 1, ""},
        {"abc", {{SC_UP, 0, M}, {SC_TAB, 9, 0}}, " abc", 1, ""},                 // tab types a space
        {"ab", {{SC_EQUALS, '=', 0}, {SC_GRAVE, '`', 0}}, "ab=`", 4, ""},            // not the program's keys here
    };
    for (auto &c : cases) {
        SCOPED_TRACE(&c - cases);
        wiresetnumst(w, c.start);
        hl_clipboard_set("");
        getstringinsertmode = 1;
        open();
        hl_key(SC_END, 0, 0);
        for (const K &k : c.ks) hl_key(k.scan, k.ch, k.mods);
        settle();
        EXPECT_EQ(text(), c.want);
        EXPECT_EQ(getstringcurs, c.curs);
        EXPECT_STREQ(hl_clipboard_get(), c.clip);
        keys({{SC_ESCAPE, 27, 0}});
        EXPECT_STREQ(wire[w].numst, c.start);
    }
}

// Return normalises and evaluates; an empty value becomes "1"; a parenthesis
// fault or letters a number cannot carry are shown and the entry stays open
// with the text as typed.
TEST_F(Entry, CommitNormalisesEvaluatesOrShowsTheFault)
{
    struct { const char *typed, *want; double value; const char *msg; } cases[] = {
        {"sin(t) + 1", "SIN(T)+1", 1, ""}, {"min(3,2)", "MIN(3;2)", 2, ""}, {"", "1", 1, ""},
        {"5 'load", "5", 5, ""}, {"((1", "((1", 5, "ERROR: NOT ENOUGH ')'"},
        {"1))", "1))", 5, "ERROR: TOO MANY ')'"}, {"10q", "10q", 5, "ERROR: UNKNOWN SUFFIX"},
        {"4k7", "4K7", 4700, ""}, {"2pi", "2PI", 3.141592653589793, ""}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.typed);
        commits(c.typed, c.want, c.msg);
        EXPECT_DOUBLE_EQ(wire[w].value, c.value);
    }
}

// A diode's model text is upper-cased without blanks and checked: a field out
// of its range is named and the entry stays open; empty, it is the default.
TEST_F(Entry, DiodeModelsAreCheckedAndEmptyIsTheDefault)
{
    wire[w].element = 'D';
    struct { const char *typed, *want, *msg; } cases[] = {
        {"led", "LED", ""}, {"1e-12 ; 2", "1E-12;2", ""}, {"", "1E-14", ""},
        {"1e-14;0", "1E-14;0", "N must be an emission coefficient from 0.1 to 20"},
        {"0", "0", "IS must be a saturation current from 1E-30 to 1 A"}};
    for (auto &c : cases) {
        SCOPED_TRACE(c.typed);
        commits(c.typed, c.want, c.msg);
    }
}

// Control+Return commits and keeps the entry open; Escape or a right click
// then still bring the wire back as it was when the entry opened.
TEST_F(Entry, CancelRestoresTheWireAsItWasAlsoAfterAKeptCommit)
{
    enum { NOCOMMIT, KEPT };
    struct { int32_t how, cancel; } cases[] = {{NOCOMMIT, 0}, {NOCOMMIT, 1}, {KEPT, 0}, {KEPT, 1}};
    for (auto c : cases) {
        SCOPED_TRACE(c.how * 2 + c.cancel);
        open();
        hl_type("0");
        if (c.how == KEPT) hl_key(SC_RETURN, 13, KEYCTRL);
        settle();
        EXPECT_EQ(getstringmode, 0);
        EXPECT_DOUBLE_EQ(wire[w].value, c.how == KEPT ? 0 : 22);
        if (c.cancel) {
            hl_pass(), hl_button(2), hl_pass(), hl_button(0);
            settle();
        } else {
            keys({{SC_ESCAPE, 27, 0}});
        }
        EXPECT_EQ(getstringmode, -1);
        EXPECT_STREQ(wire[w].numst, "22");
        EXPECT_DOUBLE_EQ(wire[w].value, 22);
    }
    open();
    hl_type("5"), hl_pass(), hl_button(1), hl_pass(), hl_button(0);  // a left press commits
    settle();
    EXPECT_EQ(getstringmode, -1);
    EXPECT_DOUBLE_EQ(wire[w].value, 5);
}

// An open entry follows its wire through a deletion, and closes with it, writing nothing.
TEST_F(Entry, FollowsItsWireThroughADeletionOrClosesWithIt)
{
    hl_mouse(112, 304), hl_type("r"), hl_pass(), hl_mouse(432, 304), hl_type("\r"), hl_pass();
    hl_mouse(272, 304), hl_type("33"), hl_pass(), hl_mouse(600, 400);
    settle();
    ASSERT_EQ(numwires, 2);
    for (int32_t own = 0; own < 2; own++) {
        SCOPED_TRACE(own ? "its own wire deleted" : "another wire deleted");
        open("t", 272, own ? 112 : 304);
        hl_type("99"), settle();
        node[wire[0].node1].selected = 1;  // wire 0 goes with it, the last wire moves into 0
        deleteselection();
        EXPECT_EQ(getstringmode, own ? -1 : 0);
        if (!own) keys({{SC_ESCAPE, 27, 0}});
        ASSERT_EQ(numwires, 1);
        EXPECT_STREQ(wire[0].numst, "33");
        if (own) break;
        hl_key(SC_Z, 'z', KEYCTRL), settle();
        ASSERT_EQ(numwires, 2);
    }
}

// The entry opens with its text selected: a typed digit, Backspace or a paste
// replaces it, as after Control+A. Control+Z takes back the entry's own edits
// one by one down to the text it opened with, and never the editor's.
TEST_F(Entry, OpensSelectedReplacesTheSelectionAndUndoesInside)
{
    const int32_t C = KEYCTRL;
    open();
    hl_type("7");
    settle();
    EXPECT_EQ(text(), "7");
    hl_type("89"), hl_key(SC_A, 'a', C), hl_type("1");
    settle();
    EXPECT_EQ(text(), "1");
    for (const char *back : {"789", "78", "7", "22", "22"}) {
        keys({{SC_Z, 'z', C}});
        EXPECT_EQ(text(), back);
    }
    EXPECT_EQ(getstringmode, 0);
    EXPECT_EQ(numwires, 1);  // the editor's undo would take the wire away
    keys({{SC_ESCAPE, 27, 0}});
    open();
    keys({{SC_BACKSPACE, 8, 0}});
    EXPECT_EQ(text(), "");
    hl_clipboard_set("5");
    keys({{SC_Z, 'z', C}, {SC_A, 'a', C}, {SC_V, 'v', C}});
    EXPECT_EQ(text(), "5");
    keys({{SC_ESCAPE, 27, 0}});
}

// A suffixed value reaches the solution: 5 V across 10k drives 0.5 mA; 100nF
// on a capacitor is 100 nano.
TEST_F(Entry, SuffixedValuesReachTheCircuit)
{
    addwire(432, 304, 432, 112, 'V', "5", 1);  // the resistor's first end is grounded
    open();
    hl_type("10k\r");
    settle();
    EXPECT_STREQ(wire[w].numst, "10K");
    EXPECT_NEAR(fabs(dispi[w]), 5e-4, 1e-15);
    wire[w].element = 'C';
    open();
    hl_type("100nF\r");
    settle();
    EXPECT_DOUBLE_EQ(wire[w].value, 100e-9);
}

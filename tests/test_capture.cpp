// test_capture.cpp: the screen capture end to end: the file read back (header,
// colour table, padded bottom-up rows, nearest colours), a failed or
// cancelled capture, and the README's pictures as the program captures them.
#include "image/image.h"
#include "tests/e2e.h"

namespace {

uint32_t le(const std::string &s, size_t at, int32_t bytes)
{
    uint32_t v = 0;
    for (int32_t i = bytes - 1; i >= 0; i--) v = v << 8 | (uint8_t)s[at + i];
    return v;
}

// pixel (x, y) of a bottom-up 4-bit file h rows high of rowbytes each
int32_t nibble(const std::string &s, int32_t x, int32_t y, int32_t h, int32_t rowbytes)
{
    uint8_t b = (uint8_t)s[118 + (size_t)(h - 1 - y) * rowbytes + x / 2];
    return x & 1 ? b & 15 : b >> 4;
}

struct Capture : E2E {
    void begin(std::vector<std::string> args = {})
    {
        ASSERT_EQ(start(args), 1);
        vopts.showcirchelp = vopts.gridmode = 0;
    }
    void capture(const char *name)  // the dialog answered, then the pass that writes
    {
        hl_answer_file(name ? path(name).c_str() : nullptr);
        domenusavebmp = 1;
        passes(2);
    }
};

}  // namespace

TEST_F(Capture, WritesTheScreenAsAPaddedSixteenColourBitmap)
{
    begin();
    openplot(PLOT_KEYS, 0, 0);  // title bar, border, buttons and text
    hl_resize(801, 300), settle();
    capture("shot.bmp");
    const std::string f = read("shot.bmp");
    ASSERT_EQ(f.size(), 118u + 404 * 300);
    struct { size_t at; int32_t bytes; uint32_t want; } fields[] = {
        {0, 2, 'B' | 'M' << 8}, {2, 4, 118 + 404 * 300}, {6, 4, 0}, {10, 4, 118}, {14, 4, 40},
        {18, 4, 801}, {22, 4, 300}, {26, 2, 1}, {28, 2, 4}, {30, 4, 0}, {46, 4, 16}, {50, 4, 16},
    };
    for (auto &c : fields) EXPECT_EQ(le(f, c.at, c.bytes), c.want) << "offset " << c.at;
    for (int32_t k = 0; k < 16; k++) EXPECT_EQ(le(f, 54 + 4 * k, 4), ovpal[PAL_BLACK + k]);
    // the sixteen colours as they are, the button colours 26..30 as their nearest
    const int32_t nearest[] = {8, 7, 7, 15, 7};
    int32_t bad = 0, buttons = 0;
    for (int32_t y = 0; y < 300; y++)
        for (int32_t x = 0; x < 808; x++) {
            int32_t c = shownpal(x, y), want = x >= 801 ? 0 : c >= 26 && c <= 30 ? nearest[c - 26] : c - 10;
            buttons += c >= 26 && c <= 30;
            bad += nibble(f, x, y, 300, 404) != want;
        }
    EXPECT_EQ(bad, 0);
    EXPECT_GT(buttons, 100);
    EXPECT_EQ(nibble(f, 600, 10, 300, 404), 6);  // the title bar, colour 16
}

// Nothing is written for a cancelled dialog; a file that cannot be written is
// said, and the request is gone either way.
TEST_F(Capture, CancelledOrUnwritableCapturesLeaveNoFile)
{
    begin();
    capture(nullptr);
    EXPECT_EQ(hl_msgcount(), 0);
    capture("nofolder/shot.bmp");
    EXPECT_EQ(std::string(hl_lastmsg()).rfind("cannot write '" + path("nofolder/shot.bmp") + "'", 0), 0u);
    EXPECT_EQ(capitnowfilnam[0], 0);
    EXPECT_EQ(access(path("nofolder").c_str(), F_OK), -1);
}

// The README's pictures are the program's own PNG captures of the examples:
// the schematic as it opens, then plots opened by a right click on their
// node, laid out beside the circuit, filled in, and captured with F12.
// VELTO_SCREENSHOTS names the folder to keep them in.
TEST_F(Capture, ReadmePicturesAreTheProgramsOwnCaptures)
{
    const char *keep = getenv("VELTO_SCREENSHOTS");
    const std::string out = keep && keep[0] ? std::string(keep) + "/" : dir + "/";
    struct shot {
        const char *example, *png;
        int32_t pan;                // rows the circuit is dragged up
        struct { int32_t x, y; float l, t, r, b; } probes[2];  // x = 0: none
        int32_t mousex, mousey;     // where the mouse rests for the capture
    } shots[] = {
        {"wheatstone", "schematic.png", 0, {}, 400, 500},
        {"rlcringing", "transient.png", 48, {{400, 32, 16, 356, 392, 592}, {592, 32, 408, 356, 784, 592}}, 250, 470},
        {"rlcbandpass", "bode.png", 0, {{400, 80, 456, 28, 792, 592}}, 0, 0},
        {"wheatstone", "units.png", 0, {}, 496, 144},  // engineering units and the status line
    };
    for (const shot &s : shots) {
        SCOPED_TRACE(s.example);
        ASSERT_EQ(start({std::string(VELTO_SOURCE_DIR "/examples/") + s.example + ".vsm"}), 1);
        vopts.showcirchelp = s.probes[0].x == 0;  // the element picture where there is room
        vopts.engunits = std::string(s.png) == "units.png";
        passes(2);
        hl_mouse(760, 560), hl_pass(), hl_button(2), hl_pass(), hl_mouse(760, 560 - s.pan), hl_pass(), hl_button(0);
        settle();
        for (auto &p : s.probes) {
            if (!p.x) continue;
            hl_mouse(p.x, p.y), hl_pass(), hl_button(2), hl_pass(), hl_button(0);
            settle();
            plottype &w = plot[plotorder[numplots - 1]];
            w.left = p.l, w.top = p.t, w.right = p.r, w.bottom = p.b;
        }
        if (s.example == std::string("rlcbandpass")) {  // the mouse on the resonance, 1E4 rad/s
            const plottype &w = plot[0];
            hl_mouse((int32_t)(w.left + (w.right - w.left) * 7 / 10), 300);
        } else {
            hl_mouse(s.mousex, s.mousey);
        }
        for (int32_t i = 0; i < 200; i++) passes();  // the plots fill in
        hl_answer_file((out + s.png).c_str());
        hl_key(SC_F12, 0, 0);
        settle(), passes(2);
        EXPECT_EQ(tcread(out + s.png).substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        stop();
        hl_reset();
    }
}

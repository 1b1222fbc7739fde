// e2e.h: the real program on the headless frame, for end-to-end tests: start
// it with arguments, script keys, mouse and dialog answers (frame/headless.h),
// run passes, then look at the model, the files written and the frame buffer.
// The settings file lives in the test's own temporary folder. Also the pixel
// counters by palette colour, and the circuit as text and windows made by
// hand for the editor's tests.
#pragma once
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>
#include "app/app.h"
#include "frame/headless.h"
#include "edit/edit.h"
#include "tests/testcircuit.h"

// the machine's clock, for tests that run for a set time
static inline double e2eclock(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The transient windows' budget runs on this clock: every reading is 1/1024 s
// later, so a window computes the same columns in a pass on any machine (the
// headless clock stands still within a pass: on it a window would compute all
// it shows at once).
static double e2enow;
static inline double e2efakeclock(void) { return e2enow += 1.0 / 1024; }

// === pixels ===
// the colour of pixel (x, y) of tile s as a palette index (10..41), or -1
// when it lies outside or no palette entry has its value
static inline int32_t palat(const tiletype *s, int32_t x, int32_t y)
{
    if (x < 0 || y < 0 || x >= s->x || y >= s->y) return -1;
    uint32_t v = ((const uint32_t *)(s->f + (intptr_t)y * s->p))[x];
    for (int32_t i = PAL_BLACK; i < PALSIZ; i++)
        if (vpal[i] == v) return i;
    return -1;
}
// how many pixels of tile s in [x0, x1) x [y0, y1) have colour col
static inline int32_t palcount(const tiletype *s, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col)
{
    int32_t n = 0;
    for (int32_t y = y0; y < y1; y++)
        for (int32_t x = x0; x < x1; x++) n += palat(s, x, y) == col;
    return n;
}

struct E2E : ::testing::Test {
    std::string dir;     // this test's temporary folder
    int32_t running = 0;
    int32_t exitcode = -1;

    void SetUp() override {
        char t[] = "/tmp/velto-e2e-XXXXXX";
        dir = mkdtemp(t);
        hl_reset();
        hl_maxpasses(20000);
        inipath = dir + "/velto.ini";
        write("velto.ini", "[VELTO]\r\nengunits=0\r\n");  // bare numbers, as the golden frames hold them
        veltoinioverride = inipath.c_str();
        plotclock = e2efakeclock;
    }
    void TearDown() override {
        stop();
        hl_reset();
        veltoinioverride = nullptr;
        plotclock = vlock;
        if (system(("rm -rf " + dir).c_str())) {}
    }

    // start-up with these arguments after the program name; 1 started
    int32_t start(std::vector<std::string> args = {}) {
        std::vector<char *> argv = {(char *)"velto"};
        for (auto &a : args) argv.push_back(&a[0]);
        argv.push_back(nullptr);
        running = veltostart((int)argv.size() - 1, argv.data(), &exitcode);
        return running;
    }
    void stop() {
        if (running) veltostop();
        running = 0;
    }
    // n passes; 0 when the program ended in one of them
    int32_t passes(int32_t n = 1) {
        for (int32_t i = 0; i < n; i++)
            if (!mainpass()) {
                stop();
                return 0;
            }
        return 1;
    }
    // passes until the script is delivered, then one more
    int32_t settle() {
        while (hl_pending() > 0)
            if (!passes()) return 0;
        return passes();
    }

    // passes until every Bode window's curve is whole (on the fake clock a
    // pass computes some forty columns); 0 when it is not after 1000
    int32_t swept() {
        for (int32_t i = 0; i < 1000; i++) {
            int32_t busy = 0;
            for (int32_t w = 0; w < numplots; w++)
                busy |= plot[w].kind == PLOT_BODE && (!plot[w].swept || plot[w].reset == -1);
            if (!busy) return 1;
            if (!passes()) return 0;
        }
        return 0;
    }

    // files of the test's folder
    std::string path(const std::string &name) { return dir + "/" + name; }
    std::string write(const std::string &name, const std::string &text) {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    std::string read(const std::string &name) { return tcread(path(name)); }

    // the mouse to (x, y), then keys typed (\r Return, \b, \x1b Escape), in a pass of their own
    void at(int32_t x, int32_t y, const char *keys = "") { hl_mouse(x, y), hl_type(keys), hl_pass(); }

    // what Control+C over the middle of window w leaves on the clipboard
    std::string copyfrom(const plottype &w) {
        hl_mouse((int32_t)(w.left + w.right) / 2, (int32_t)(w.top + w.bottom) / 2);
        hl_pass(), hl_key(SC_C, 'c', KEYCTRL);
        settle();
        return hl_clipboard_get();
    }

    int32_t shownpal(int32_t x, int32_t y) { return palat(hl_shown(), x, y); }
    int32_t countpal(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col) {
        return palcount(hl_shown(), x0, y0, x1, y1, col);
    }

  private:
    std::string inipath;
};

// started on an empty circuit with the grid on, as the editor's tests draw
struct Drawing : E2E {
    void SetUp() override {
        E2E::SetUp();
        ASSERT_EQ(start(), 1);
        vopts.gridmode = 1;
        passes();
    }
};

// the circuit's file text as it stands
static inline std::string circuittext(void)
{
    size_t n;
    char *t = vsmtext(&n);
    std::string s(t, n);
    free(t);
    return s;
}

// V 5 V from a grounded node to node 1, 1 kOhm back: 5 mA
static const char *const DIVIDERFILE =
    "//VELTO version 12/2007\r\n"
    "NumNodes,2 //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n"
    "0,48,80,1\r\n1,240,80,0\r\n"
    "NumWires,2 //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n"
    "0,0,1,V,5,0,\r\n1,1,0,R,1000,1,\r\n"
    "Ibodewire,-1 //>=0:Input Bode Wire,-1:Use Transient analysis\r\n"
    "Ibodeflip,0 //0:default, 1:flip +,-\r\n"
    "TransDefXsc,0.015625 //Suggested default time scale for Transient analysis (seconds/pixel)\r\n";

// === the circuit as text, for the editor's tests ===
// nodes as "x,y" (g grounded, s selected)
static inline std::string nodes(void)
{
    std::string s;
    for (int32_t i = 0; i < numnodes; i++)
        s += (i ? " " : "") + std::to_string(node[i].x) + "," + std::to_string(node[i].y) +
             (node[i].isgrounded ? "g" : "") + (node[i].selected ? "s" : "");
    return s;
}
// wires as "R0-1=text/value", then " d" and the control when it is not the wire itself
static inline std::string wires(void)
{
    std::string s;
    for (int32_t i = 0; i < numwires; i++) {
        char b[300];
        snprintf(b, sizeof b, "%s%c%d-%d=%s/%g", i ? " " : "", (char)wire[i].element, wire[i].node1,
                 wire[i].node2, wire[i].numst, wire[i].value);
        s += b;
        if (wire[i].depwire != i) s += " d" + std::to_string(wire[i].depwire);
    }
    return s;
}
// a wire between screen points (nodes put there, or found), value v, the first end grounded when g
static inline int32_t addwire(int32_t x0, int32_t y0, int32_t x1, int32_t y1, char e, const char *v = "1", int32_t g = 0)
{
    int32_t a = putnode(x0, y0, g, 0), b = putnode(x1, y1, 0, 0), i = numwires;
    checknumwires(i + 2);
    wire[i].node1 = a, wire[i].node2 = b, wire[i].element = e, wire[i].depwire = i;
    wiresetnumst(i, v), wiresetinitst(i, "");
    wire[i].value = atof(v);
    numwires = i + 1;
    recalc = 3;
    return i;
}
// a window off screen (nothing of it under the mouse) that probes as given;
// a Bode window's input is wire id, or wire 0 when it has none
static inline void addplot(int32_t kind, int32_t probe, int32_t sense, int32_t id = -1, int32_t flip = 0)
{
    plottype &p = plot[numplots];
    plotcalc keep = p;  // the slot's buffers stay with it
    p = plottype{};
    p.colmin = keep.colmin, p.colmax = keep.colmax, p.savestate = keep.savestate;
    p.maxxdim = keep.maxxdim, p.bufcols = keep.bufcols, p.savestatemax = keep.savestatemax;
    p.left = p.right = -1000, p.top = p.bottom = -1000;
    p.kind = kind, p.plotwire = probe, p.plotsense = sense, p.idwire = id, p.idflip = flip;
    p.inwire = id < 0 ? 0 : id;
    plotorder[numplots] = numplots;
    numplots++;
}

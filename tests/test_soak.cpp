// test_soak.cpp: the real main loop on the headless frame under a long run
// of random but valid input: drawing and editing keys, clicks and drags,
// the menu, plot windows opened, scrolled, moved and closed, undo and redo,
// the clipboard, the wheel, files saved and opened again. Nothing may crash
// (the sanitizer build runs it too), the circuit stays sound after every
// action, the schematic shows the DC solve of the circuit as it stands, and
// every file saved reads back as the circuit that was saved.
// VELTO_SOAK_SECONDS runs it that long instead of the short CI length;
// VELTO_SOAK_SEED picks another sequence.
#include <math.h>
#include "tests/e2e.h"

namespace {

// every index names a real item, every text exists, the windows are counted
void expectsound(int64_t action)
{
    ASSERT_TRUE(circuitsound()) << "action " << action;
    ASSERT_TRUE(numplots >= 0 && numplots <= MAXPLOTS) << "action " << action;
}

// What the schematic shows is the DC solve of the circuit as it stands,
// whatever the windows have solved since: the same code, and when solved
// the same volts and amps (bit for bit; a circuit with diodes to 1e-9, as
// Newton may start elsewhere). Not while a re-solve is due, nor of a
// circuit that draws random values, nor while a diode's or an N element's
// value is being typed: the schematic shows the text as it was committed,
// and a solve reads the wire's text as it is typed.
void expectshown(int64_t action)
{
    if (recalc & 1) return;
    if (getstringmode == 0 && curw >= 0 && curw < numwires && isnonlinear(wire[curw].element)) return;
    for (int32_t w = 0; w < numwires; w++)
        if (wire[w].numst && strstr(wire[w].numst, "RND")) return;
    const int32_t shown = matbad;
    ASSERT_EQ(dcsolve(), shown) << "action " << action;
    if (shown != SOLVED) return;
    const double tol = nlcount ? 1e-9 : 0;
    auto same = [&](const char *what, int32_t k, double shows, double x) {
        ASSERT_TRUE(x == shows || fabs(x - shows) <= tol * (1 + fabs(x)) || (x != x && shows != shows))
            << "action " << action << ": " << what << " " << k << " shows " << shows << ", is " << x;
    };
    for (int32_t n = 0; n < numnodes; n++) same("node", n, dispv[n], el[yh[numwires + n]].re);
    for (int32_t w = 0; w < numwires; w++) same("wire", w, dispi[w], el[yh[w]].re);
}

std::vector<std::string> split(const std::string &s, const std::string &sep)
{
    std::vector<std::string> out;
    size_t at = 0;
    for (size_t k; (k = s.find(sep, at)) != std::string::npos; at = k + sep.size()) out.push_back(s.substr(at, k - at));
    out.push_back(s.substr(at));
    return out;
}

// The circuit read from a saved file is the saved one, except that a text
// left with unbalanced parentheses (typed straight onto an element) reads
// as the message that says so.
void expectloadedas(const std::string &saved, const std::string &loaded)
{
    const std::vector<std::string> a = split(saved, "\r\n"), b = split(loaded, "\r\n");
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); i++) {
        if (a[i] == b[i]) continue;
        const std::vector<std::string> fa = split(a[i], ","), fb = split(b[i], ",");
        ASSERT_EQ(fa.size(), 7u) << a[i];
        ASSERT_EQ(fb.size(), 7u) << b[i];
        for (size_t f = 0; f < 7; f++) {
            if (fa[f] == fb[f]) continue;
            std::string t = fa[f];
            ASSERT_TRUE((f == 4 || f == 6) && !fixupfunc(&t[0]) && fixupiserr(fb[f].c_str()))
                << a[i] << " read as " << b[i];
        }
    }
}

double fakenow;
double fakeclock(void) { return fakenow += 0.002; }  // a window computes 20 columns a pass

struct Soak : E2E {
    int32_t saves = 0, tidies = 0;

    int32_t rnd(int32_t n) { return rand() % n; }
    int32_t gx(void) { return 16 + 32 * rnd(24); }  // a grid point of the 800 x 600 window
    int32_t gy(void) { return 16 + 32 * rnd(18); }
    // a key as the keyboard gives it: Escape, Return and Space carry their character
    void key(int32_t scan, int32_t ch = 0, int32_t mods = 0) {
        if (!ch && !(mods & KEYCTRL)) ch = scan == SC_ESCAPE ? 27 : scan == SC_RETURN ? 13 : scan == SC_SPACE ? ' ' : 0;
        hl_key(scan, ch, mods), hl_pass();
    }
    void drag(int32_t button, int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        hl_mouse(x0, y0), hl_pass(), hl_button(button), hl_pass();
        hl_mouse((x0 + x1) / 2, (y0 + y1) / 2), hl_pass(), hl_mouse(x1, y1), hl_pass(), hl_button(0), hl_pass();
    }
    // somewhere on the topmost window, or anywhere when there is none
    void overwindow(int32_t *x, int32_t *y) {
        *x = gx(), *y = gy();
        if (!numplots) return;
        const plottype &w = plot[plotorder[numplots - 1]];
        *x = (int32_t)w.left + rnd((int32_t)(w.right - w.left) + 1);
        *y = (int32_t)w.top - 20 + rnd((int32_t)(w.bottom - w.top) + 21);
    }

    void drawing(void) {
        static const char *const keys[] = {"r", "c", "l", "v", "i", "e", "f", "g", "h", "s", "x", " ", "o", "k",
                                           "j", "\\", "n", "d", "b", "z", "4", "7", ".", "/", "\b", "\r", "-"};
        at(gx(), gy(), keys[rnd(sizeof keys / sizeof *keys)]);
    }
    void textbox(void) {
        static const char *const texts[] = {"1E3", "SIN(0;1;50;0;0)", "(T>1E-3)*5", "PWL(0;0;1;1)", "(", "",
                                            "T>.5", "2^3^2", "NRND(1)", "LED", "Z5V1", "V*V*1E-3"};
        at(gx(), gy(), rnd(2) ? "t" : "z");
        hl_type(texts[rnd(sizeof texts / sizeof *texts)]), hl_pass();
        if (numnodes && rnd(4) == 0) {  // Edit > Delete selection under the open box
            node[rnd(numnodes)].selected = 1;
            deleteselection(), hl_pass();
        }
        key(rnd(4) ? SC_RETURN : SC_ESCAPE, 0, 0);
        key(SC_ESCAPE);  // a refused text leaves the box open
    }
    void editing(void) {
        static const int32_t scans[] = {SC_Z, SC_Y, SC_X, SC_C, SC_V, SC_A, SC_Z, SC_V};
        hl_mouse(gx(), gy()), hl_pass();
        const int32_t s = scans[rnd(8)];
        key(s, 0, KEYCTRL | (s == SC_Z && rnd(3) == 0 ? KEYSHIFT : 0));
    }
    void mouse(void) {
        const int32_t r = rnd(5), x = gx(), y = gy();
        if (r == 0) drag(1, x, y, gx(), gy());          // move a node, or select
        else if (r == 1) drag(2, x, y, x + 32, y + 32);  // pan
        else if (r == 2) drag(1, x, y, x, y);           // click: place, or edit a value
        else drag(2, x, y, x, y);                       // plot on, plot off
    }
    void wheel(void) {
        hl_mouse(gx(), gy()), hl_pass();
        const int32_t shift = rnd(2);
        if (shift) hl_keydown(SC_LSHIFT), hl_pass();
        hl_wheel(rnd(5) - 2), hl_pass();
        if (shift) hl_keyup(SC_LSHIFT), hl_pass();
    }
    void windows(void) {
        static const int32_t scans[] = {SC_UP,   SC_DOWN, SC_LEFT, SC_RIGHT,  SC_SPACE,    SC_RETURN,
                                        SC_HOME, SC_PGUP, SC_PGDN, SC_PERIOD, SC_COMMA, SC_RBRACKET};
        int32_t x, y, x1, y1;
        overwindow(&x, &y);
        overwindow(&x1, &y1);
        const int32_t r = rnd(4);
        if (r == 0) drag(1 + rnd(2), x, y, x1, y1);  // scroll, move, resize, the buttons
        else if (r == 1) hl_mouse(x, y), hl_pass(), hl_wheel(rnd(3) - 1), hl_pass();
        else hl_mouse(x, y), hl_pass(), key(scans[rnd(12)], 0, rnd(3) == 0 ? KEYSHIFT : 0);
    }
    void menu(void) {
        static const int32_t scans[] = {SC_UP, SC_DOWN, SC_DOWN, SC_LEFT, SC_RIGHT, SC_RIGHT};
        key(SC_ESCAPE);
        for (int32_t i = rnd(6); i > 0; i--) key(scans[rnd(6)]);
        key(rnd(3) ? SC_RETURN : SC_ESCAPE);
        key(SC_ESCAPE);
    }
    void program(void) {
        static const int32_t scans[] = {SC_F1, SC_APOSTROPHE, SC_PGUP, SC_PGDN, SC_EQUALS, SC_GRAVE, SC_F12, SC_END, SC_INSERT, SC_DELETE};
        const int32_t s = scans[rnd(10)];
        hl_mouse(gx(), gy()), hl_pass();
        key(s, s == SC_APOSTROPHE ? '\'' : s == SC_EQUALS ? '=' : s == SC_GRAVE ? '`' : 0);
    }
    // Save As a new name, then Open it: the file is the circuit's text (and
    // the windows' lines), and the circuit read from it is the same text again
    void saveandopen(void) {
        escape();
        const std::string name = path("soak" + std::to_string(saves++ % 3) + ".vsm");
        hl_answer_file(name.c_str());
        key(SC_S, 0, KEYCTRL | KEYSHIFT);
        settle();
        const std::string saved = circuittext(), file = tcread(name);
        ASSERT_EQ(file.substr(0, file.find("//Plot,")), saved) << "saved as " << name;
        hl_answer_file(name.c_str());
        key(SC_O, 0, KEYCTRL);
        settle();
        expectloadedas(saved, circuittext());
    }

    // a circuit grown past hand size by pasting is cleared as a user would:
    // select all, delete
    void tidy(void) {
        tidies++;
        escape();
        hl_mouse(799, 599), hl_pass();
        key(SC_A, 0, KEYCTRL);
        settle();
        if (numnodes && !node[0].selected) key(SC_A, 0, KEYCTRL);
        settle();
        if (curw >= 0 || curn >= 0) return;  // something lies under the corner: try again later
        key(SC_DELETE);
    }
    // no text box, menu or wire in progress in the way
    void escape(void) {
        settle();
        for (int32_t i = 0; i < 4 && (menusel >= 0 || getstringmode >= 0 || drawwiremode); i++) key(SC_ESCAPE), settle();
    }

    // one random action and the passes it takes; 0 when the program ended
    int32_t act(void) {
        const int32_t r = rnd(100);
        if (numwires > 400 && r % 4 == 0) tidy();
        else if (r < 30) drawing();
        else if (r < 38) textbox();
        else if (r < 50) editing();
        else if (r < 65) mouse();
        else if (r < 70) wheel();
        else if (r < 82) windows();
        else if (r < 88) menu();
        else if (r < 96) program();
        else if (r < 98) hl_resize(400 + 32 * rnd(13), 300 + 32 * rnd(10)), hl_pass();
        else saveandopen();
        while (hl_pending() > 0)
            if (!passes()) return 0;
        return passes();
    }
};

}  // namespace

TEST_F(Soak, RandomUseNeverBreaksTheProgramOrItsFiles)
{
    const char *secs = getenv("VELTO_SOAK_SECONDS"), *seed = getenv("VELTO_SOAK_SEED");
    const double until = secs ? e2eclock() + atof(secs) : 0;
    const int32_t actions = secs ? INT32_MAX : 1500;
    srand(seed ? (unsigned)atoi(seed) : 7);
    plotclock = fakeclock;
    hl_maxpasses(INT32_MAX);
    // a copy: a random Save never reaches the committed file
    ASSERT_EQ(start({write("sallenkey.vsm", tcread(VELTO_SOURCE_DIR "/examples/sallenkey.vsm"))}), 1);
    int64_t done = 0, restarts = 0;
    for (; done < actions && (!secs || e2eclock() < until); done++) {
        if (!act()) {  // Exit from the menu with nothing unsaved
            restarts++;
            hl_reset();
            hl_maxpasses(INT32_MAX);
            ASSERT_EQ(start(), 1);
        }
        expectsound(done);
        expectshown(done);
        if (HasFatalFailure()) return;
    }
    RecordProperty("actions", (int)done);
    printf("soak: %lld actions, %d saves, %d clear-ups, %lld restarts, %d wires at the end\n", (long long)done,
           saves, tidies, (long long)restarts, numwires);
}

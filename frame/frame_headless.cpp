// frame_headless.cpp: the frame without a window, for tests and veltocli.
// The buffer stays in memory; input comes from the script of headless.h, the
// clock is virtual, dialogs and the clipboard answer from queues.
// Depends on frame.h, backend.h, headless.h and the C library only.
//   [x] frame buffer in memory, resize       [x] keys, held keys, mouse, wheel
//   [x] virtual clock and Sleep               [x] message boxes, file choosers (scripted)
//   [x] clipboard (a buffer)                  [x] cursor, beep, minimise (counted)
//   [ ] native menu bar: not on this platform
#include <stdlib.h>
#include <string.h>
#include "frame/backend.h"
#include "frame/headless.h"

// === private state ===
enum { EV_KEY, EV_KEYDOWN, EV_KEYUP, EV_MODS, EV_MOUSE, EV_BUTTON, EV_WHEEL, EV_RESIZE,
       EV_ACTIVATE, EV_CLOSE, EV_PASS };

struct hlevent { int32_t type, a, b, c; };

static struct {
    int32_t open = 0, failinit = 0, quitit = 0;
    uint32_t *buf = nullptr;                  // xres * yres pixels
    uint32_t *shownbuf = nullptr;             // copy taken by nextpage
    tiletype shown = {0, 0, 0, 0};
    uint8_t held[256] = {0}, okeys[256] = {0};  // by PC scan code
    int32_t px = 0, py = 0, pknown = 0;       // pointer; unknown until the script moves it
    int32_t pressed = 0, lateup = 0;          // buttons pressed this pass; released in it too
    hlevent *ev = nullptr;
    int32_t nev = 0, evmax = 0, evpos = 0;
    int32_t *yesno = nullptr;
    int32_t nyesno = 0, yesnomax = 0, yesnopos = 0;
    char **files = nullptr;                   // null entries cancel
    int32_t nfiles = 0, filesmax = 0, filespos = 0;
    char *clip = nullptr;
    int32_t cliplen = 0;
    int64_t clock = 0, step = 16667, slept = 0;   // microseconds; ticks
    int32_t passes = 0, maxpasses = 100000, frames = 0;
    int32_t msgcount = 0, cursor = -1, beeps = 0, minimized = 0;
    char lastmsg[1024] = "", lasttitle[256] = "", lastname[SAVEPATHSIZ] = "", title[1024] = "";
    char loadpath[LOADPATHSIZ] = "", savepath[SAVEPATHSIZ] = "";
} S;

// Grows a queue to hold one more item of siz bytes; a script that cannot be
// held ends the test run.
static void *grow(void *p, int32_t n, int32_t *max, size_t siz) {
    if (n < *max) return p;
    *max = *max ? *max * 2 : 64;
    void *q = realloc(p, (size_t)*max * siz);
    if (!q) abort();
    return q;
}

static void copytext(char *dst, size_t siz, const char *src) {
    if (!src) src = "";
    size_t n = strlen(src);
    if (n >= siz) n = siz - 1;
    memcpy(dst, src, n);
    dst[n] = 0;
}

// === set-up ===
void hl_reset(void) {
    uninitapp();
    free(S.ev), free(S.yesno), free(S.clip), free(S.shownbuf);
    for (int32_t i = 0; i < S.nfiles; i++) free(S.files[i]);
    free(S.files);
    S.ev = nullptr, S.nev = S.evmax = S.evpos = 0;
    S.yesno = nullptr, S.nyesno = S.yesnomax = S.yesnopos = 0;
    S.files = nullptr, S.nfiles = S.filesmax = S.filespos = 0;
    S.clip = nullptr, S.cliplen = 0;
    S.shownbuf = nullptr, S.shown = tiletype{0, 0, 0, 0};
    S.failinit = 0, S.step = 16667, S.maxpasses = 100000;
    S.msgcount = S.beeps = S.minimized = 0, S.cursor = -1;
    S.lastmsg[0] = S.lasttitle[0] = S.lastname[0] = S.title[0] = 0;
    memset(S.held, 0, sizeof(S.held));
    memset(S.okeys, 0, sizeof(S.okeys));
    S.pknown = S.pressed = S.lateup = 0;
    keyreset();
}

void hl_failinit(int32_t on) { S.failinit = on; }
void hl_setstep(int32_t us) { S.step = us; }
void hl_maxpasses(int32_t n) { S.maxpasses = n; }

// === input script ===
static void push(int32_t type, int32_t a, int32_t b, int32_t c) {
    S.ev = (hlevent *)grow(S.ev, S.nev, &S.evmax, sizeof(hlevent));
    S.ev[S.nev++] = hlevent{type, a, b, c};
}

void hl_key(int32_t scan, int32_t ch, int32_t mods) { push(EV_KEY, scan, ch, mods); }
void hl_keydown(int32_t scan) { push(EV_KEYDOWN, scan, 0, 0); }
void hl_keyup(int32_t scan) { push(EV_KEYUP, scan, 0, 0); }
void hl_mods(int32_t mods) { push(EV_MODS, mods, 0, 0); }
void hl_mouse(int32_t x, int32_t y) { push(EV_MOUSE, x, y, 0); }
void hl_button(int32_t mask) { push(EV_BUTTON, mask, 0, 0); }
void hl_wheel(int32_t steps) { push(EV_WHEEL, steps, 0, 0); }
void hl_resize(int32_t w, int32_t h) { push(EV_RESIZE, w, h, 0); }
void hl_activate(int32_t on) { push(EV_ACTIVATE, on, 0, 0); }
void hl_close(void) { push(EV_CLOSE, 0, 0, 0); }
void hl_pass(void) { push(EV_PASS, 0, 0, 0); }

void hl_type(const char *text) {
    for (const unsigned char *s = (const unsigned char *)text; *s; s++) {
        for (int32_t hid = 0x04; hid <= 0x38; hid++) {      // first key giving the character
            int32_t mods = keychar(hid, 0) == *s ? 0 : keychar(hid, KEYSHIFT) == *s ? KEYSHIFT : -1;
            if (mods < 0) continue;
            hl_key(hid2pc[hid], *s, mods);
            break;
        }
    }
}

// === dialog answers and the clipboard ===
void hl_answer_yesno(int32_t v) {
    S.yesno = (int32_t *)grow(S.yesno, S.nyesno, &S.yesnomax, sizeof(int32_t));
    S.yesno[S.nyesno++] = v;
}

void hl_answer_file(const char *path) {
    S.files = (char **)grow(S.files, S.nfiles, &S.filesmax, sizeof(char *));
    S.files[S.nfiles++] = path ? strdup(path) : nullptr;
}

void hl_clipboard_set(const char *text) {
    clipboard_write(text ? text : "", text ? (int32_t)strlen(text) : 0);
}

const char *hl_clipboard_get(void) { return S.clip ? S.clip : ""; }

// === what the program did ===
int32_t hl_passes(void) { return S.passes; }
int32_t hl_frames(void) { return S.frames; }
const tiletype *hl_shown(void) { return &S.shown; }
int64_t hl_clock(void) { return S.clock; }
int64_t hl_slepttotal(void) { return S.slept; }
int32_t hl_msgcount(void) { return S.msgcount; }
const char *hl_lastmsg(void) { return S.lastmsg; }
const char *hl_lasttitle(void) { return S.lasttitle; }
const char *hl_lastname(void) { return S.lastname; }
int32_t hl_cursor(void) { return S.cursor; }
int32_t hl_beeps(void) { return S.beeps; }
int32_t hl_minimized(void) { return S.minimized; }
int32_t hl_pending(void) { return S.nev - S.evpos; }

// === window, buffer and clock ===
static int32_t newbuffer(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return 0;
    uint32_t *b = (uint32_t *)calloc((size_t)w * h, 4);
    if (!b) return 0;                                    // keep the old buffer and size
    free(S.buf);
    S.buf = b, xres = w, yres = h;
    return 1;
}

int32_t initapp(int32_t w, int32_t h) {
    if (S.failinit || S.open) return -1;
    if (!newbuffer(w, h)) return -1;
    pixscale = uiscale >= 1 && uiscale <= SCALEMAX ? uiscale : 1;  // no screen: automatic is 1
    S.open = 1, S.quitit = 0;
    S.clock = 0, S.slept = 0, S.passes = S.frames = 0;
    S.title[0] = 0;  // a new window has no title
    ActiveApp = 1;
    memset(S.held, 0, sizeof(S.held));
    memset(S.okeys, 0, sizeof(S.okeys));
    keyfifr = keyfifw = 0;
    return 1;
}

void uninitapp(void) {
    free(S.buf);
    S.buf = nullptr, S.open = 0;
}

static void deliver(const hlevent &e) {
    switch (e.type) {
    case EV_KEY: keyput(keyentry(e.a, e.b, e.c)); break;
    case EV_KEYDOWN: S.held[e.a & 255] = 1; break;
    case EV_KEYUP: S.held[e.a & 255] = 0; break;
    case EV_MODS: shkeystatus = e.a; break;
    case EV_MOUSE:
        if (!S.pknown) S.px = mousx * pixscale, S.py = mousy * pixscale, S.pknown = 1;
        addmotion(e.a - S.px, e.b - S.py);
        S.px = e.a, S.py = e.b;
        break;
    case EV_BUTTON: {  // a button pressed and released in one pass is seen down for that pass
        const int32_t now = e.a & 3, up = bstatus & ~now;
        S.pressed |= now & ~bstatus;
        S.lateup |= up & S.pressed;
        bstatus = now | (up & S.pressed);
        break;
    }
    case EV_WHEEL: dmousz += e.a * 120; break;
    case EV_RESIZE: newbuffer(e.a / pixscale, e.b / pixscale); break;
    case EV_ACTIVATE: ActiveApp = e.a != 0; break;
    case EV_CLOSE: S.quitit = 1; break;
    }
}

int32_t breath(void) {
    S.passes++;
    S.clock += S.step;
    bstatus &= ~S.lateup;
    S.lateup = S.pressed = 0;
    while (S.evpos < S.nev) {
        const hlevent &e = S.ev[S.evpos++];
        if (e.type == EV_PASS) break;
        deliver(e);
    }
    if (S.pknown) mousx = unscale(S.px), mousy = unscale(S.py);  // the pointer as breath finds it
    if (S.maxpasses > 0 && S.passes >= S.maxpasses) return 2;  // the safety net cannot be refused
    return S.quitit;
}

void quitloop(void) { S.quitit = 1; }
void quitcancel(void) { S.quitit = 0; }
void settitle(const char *title) { copytext(S.title, sizeof(S.title), title); }
const char *hl_title(void) { return S.title; }

void readkeyboard(void) {
    static const uint8_t none[256] = {0};
    keysync(ActiveApp ? S.held : none, S.okeys, nullptr, 256);
}

int32_t startdirectdraw(intptr_t *f, int32_t *p, int32_t *x, int32_t *y) {
    *f = (intptr_t)S.buf, *p = xres * 4, *x = S.buf ? xres : 0, *y = S.buf ? yres : 0;
    return 1;
}

void stopdirectdraw(void) {}

void nextpage(void) {
    S.frames++;
    if (!S.buf) return;
    size_t n = (size_t)xres * yres;
    if (S.shown.x != xres || S.shown.y != yres) {
        free(S.shownbuf);
        S.shownbuf = (uint32_t *)malloc(n * 4);
        S.shown = tiletype{(intptr_t)S.shownbuf, xres * 4, S.shownbuf ? xres : 0, S.shownbuf ? yres : 0};
    }
    if (S.shownbuf) memcpy(S.shownbuf, S.buf, n * 4);
}

double vlock(void) { return (double)S.clock * 0.000001; }

void Sleep(int32_t ms) {
    int64_t t = sleepticks(ms);
    S.slept += t;
    S.clock += (t * 1000000 + 30) / 60;
}

void runloop(int32_t (*pass)(void), void (*)(void), void (*end)(void)) {
    while (pass()) {}
    end();
}

void minimizewindow(void) { S.minimized++; }
void SysBeep(int32_t) { S.beeps++; }
void setcurs(int32_t kind) { S.cursor = kind; }

// === dialogs and clipboard ===
void msgbox_ok(const char *text, const char *title) {
    S.msgcount++;
    copytext(S.lastmsg, sizeof(S.lastmsg), text);
    copytext(S.lasttitle, sizeof(S.lasttitle), title);
}

int32_t msgbox_ask(const char *text, const char *title, const char *const *, int32_t n) {
    msgbox_ok(text, title);
    if (n < 1) return -1;
    if (S.yesnopos >= S.nyesno) return n - 1;  // nobody answers: the last button, as Escape
    int32_t v = S.yesno[S.yesnopos++];
    return v >= 0 && v < n ? v : n - 1;
}

int32_t msgbox_yesno(const char *text, const char *title) {
    msgbox_ok(text, title);
    if (S.yesnopos >= S.nyesno) return 0;                // nobody answers: not "Yes"
    return S.yesno[S.yesnopos++] == 1;
}

static char *fileanswer(char *dst, int32_t siz) {
    if (S.filespos >= S.nfiles) return nullptr;
    const char *path = S.files[S.filespos++];
    return path && absolutepath(dst, siz, path) ? dst : nullptr;
}

char *loadfileselect(const char *title, const char *pattern) {
    copytext(S.lasttitle, sizeof(S.lasttitle), title);
    copytext(S.lastname, sizeof(S.lastname), pattern);
    return fileanswer(S.loadpath, LOADPATHSIZ);
}

char *savefileselect(const char *title, const char *name) {
    copytext(S.lasttitle, sizeof(S.lasttitle), title);
    copytext(S.lastname, sizeof(S.lastname), name);
    return fileanswer(S.savepath, SAVEPATHSIZ);
}

int32_t clipboard_write(const char *data, int32_t len) {
    if (len < 0 || (len && !data)) return 0;
    char *c = (char *)malloc((size_t)len + 1);
    if (!c) return 0;
    if (len) memcpy(c, data, (size_t)len);
    c[len] = 0;
    free(S.clip);
    S.clip = c, S.cliplen = len;
    return 1;
}

char *clipboard_read(int32_t *len) {
    *len = 0;
    if (!S.clip || S.cliplen < 1) return nullptr;
    char *c = (char *)malloc((size_t)S.cliplen + 1);
    if (!c) return nullptr;
    memcpy(c, S.clip, (size_t)S.cliplen + 1);
    *len = S.cliplen;
    return c;
}

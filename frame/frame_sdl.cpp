// frame_sdl.cpp: the frame over SDL2: one resizable window showing the 32-bit
// buffer through the window surface, keys mapped to PC scan codes, mouse,
// clock, message boxes, file choosers (zenity, else a prompt in the window),
// clipboard, system cursors and a beep. Depends on SDL2, frame.h, backend.h.
//   [x] window, buffer, resize                [x] keys with repeat, held keys, modifiers
//   [x] mouse, relative motion, wheel         [x] activation, close button
//   [x] clock and Sleep                        [x] message boxes (ok, yes/no, buttons)
//   [x] file choosers                          [x] clipboard (plain text)
//   [x] nine cursor kinds                      [x] beep (a short tone; BEL when no audio)
//   [x] minimise, title                        [x] whole-factor scaling for dense screens
//   [x] a hang-up of the terminal asks to quit
//   [ ] native menu bar: not on this platform
#include <SDL.h>
#include <errno.h>
#include <ctype.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "frame/backend.h"

// === private state ===
static struct {
    SDL_Window *win = nullptr;
    uint32_t *buf = nullptr;             // xres * yres pixels, pitch xres * 4
    SDL_Surface *src = nullptr;          // buf wrapped for blitting
    int32_t quitit = 0;
    uint64_t t0 = 0, freq = 1;           // performance counter at initapp, counts per second
    uint8_t held[256] = {0};             // by usage id, from key down and up events
    uint8_t okeys[256] = {0};            // the snapshot readkeyboard compared last
    int32_t textslot = -1;               // FIFO slot whose character a text event may correct
    int32_t pressed = 0;                 // buttons pressed in this breath
    int32_t lateup = 0;                  // buttons pressed and released in one breath: up at the next
    int32_t px = 0, py = 0;              // pointer in window pixels, from the motion events
    SDL_Cursor *cursors[9] = {nullptr};
    int32_t cursor = -1;
    SDL_AudioDeviceID audio = 0;
    char loadpath[LOADPATHSIZ] = "", savepath[SAVEPATHSIZ] = "";
} S;

// === buffer ===
// A new buffer of w x h; on failure the old one and its size stay.
static int32_t newbuffer(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return 0;
    uint32_t *b = (uint32_t *)calloc((size_t)w * h, 4);
    if (!b) return 0;
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(b, w, h, 32, w * 4, SDL_PIXELFORMAT_RGB888);
    if (!s) {
        free(b);
        return 0;
    }
    if (S.src) SDL_FreeSurface(S.src);
    free(S.buf);
    S.buf = b, S.src = s, xres = w, yres = h;
    return 1;
}

// === window ===
// The content area centred in the usable part of the first display.
static void centre(int32_t w, int32_t h, int32_t *x, int32_t *y) {
    SDL_Rect r;
    *x = *y = SDL_WINDOWPOS_CENTERED;
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) return;
    *x = r.x + (w < r.w ? (r.w - w) >> 1 : 0);  // too big a window keeps its top left (the menu) in view
    *y = r.y + (h < r.h ? (r.h - h) >> 1 : 0);
}

// A scale asked for keeps its big pixels: a drawing area whose window would
// not fit the display shrinks to what does, though not below AREAMINW x
// AREAMINH (the program follows any size, as after a resize).
enum { AREAMINW = 320, AREAMINH = 240 };

static void fitarea(int32_t *w, int32_t *h, int32_t k) {
    SDL_Rect r;
    if (SDL_GetDisplayUsableBounds(0, &r) != 0) return;
    if (*w * k > r.w) *w = SDL_max(r.w / k, SDL_min(*w, (int32_t)AREAMINW));
    if (*h * k > r.h) *h = SDL_max(r.h / k, SDL_min(*h, (int32_t)AREAMINH));
}

// Window pixels per buffer pixel: uiscale when given; otherwise what the
// first display's density calls for (about 96 dots per inch a pixel; without
// a density, a display 3200 pixels wide or more counts as dense). Never so
// large that the window no longer fits the display.
static int32_t choosescale(int32_t w, int32_t h) {
    int32_t k = uiscale;
    if (k < 1 || k > SCALEMAX) {
        float ddpi = 0;
        SDL_DisplayMode m;
        k = 1;
        if (SDL_GetDisplayDPI(0, &ddpi, nullptr, nullptr) == 0 && ddpi > 0) k = ddpi >= 264 ? 3 : ddpi >= 168 ? 2 : 1;
        else if (SDL_GetDesktopDisplayMode(0, &m) == 0 && m.w >= 3200) k = 2;
        SDL_Rect r;
        if (SDL_GetDisplayUsableBounds(0, &r) == 0)
            while (k > 1 && (w * k > r.w || h * k > r.h)) k--;
    }
    return k;
}

// Without a display the window layer falls back to drivers that show nothing;
// those count only when asked for by name (SDL_VIDEODRIVER, as the tests do).
static int32_t visible(void) {
    const char *drv = SDL_GetCurrentVideoDriver(), *asked = SDL_getenv("SDL_VIDEODRIVER");
    if (!drv) return 0;
    if (strcmp(drv, "offscreen") && strcmp(drv, "dummy")) return 1;
    return asked && strstr(asked, drv) != nullptr;
}

// === hang-up ===
// The terminal the program was started from going away (SIGHUP) asks to quit
// as closing the window does, so that unsaved changes are asked about instead
// of lost; a hang-up already ignored (nohup) stays ignored.
static volatile sig_atomic_t hungup = 0;

static void onhangup(int) { hungup = 1; }

static void watchhangup(void) {
    struct sigaction old, sa = {};
    if (sigaction(SIGHUP, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) return;
    sa.sa_handler = onhangup;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGHUP, &sa, nullptr);
}

int32_t initapp(int32_t w, int32_t h) {
    if (S.win || w <= 0 || h <= 0) return -1;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return -1;
    if (!visible()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return -1;
    }
    pixscale = choosescale(w, h);
    fitarea(&w, &h, pixscale);
    int32_t x, y;
    centre(w * pixscale, h * pixscale, &x, &y);
    S.win = SDL_CreateWindow(prognam ? prognam : "", x, y, w * pixscale, h * pixscale, SDL_WINDOW_RESIZABLE);
    if (!S.win || !newbuffer(w, h)) {
        if (S.win) SDL_DestroyWindow(S.win);
        S.win = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return -1;
    }
    S.quitit = 0, S.textslot = -1;
    memset(S.held, 0, sizeof(S.held));
    memset(S.okeys, 0, sizeof(S.okeys));
    ActiveApp = 1;
    keyfifr = keyfifw = 0;
    S.freq = SDL_GetPerformanceFrequency();
    S.t0 = SDL_GetPerformanceCounter();
    watchhangup();
    return 1;
}

void uninitapp(void) {
    for (SDL_Cursor *&c : S.cursors)
        if (c) SDL_FreeCursor(c), c = nullptr;
    S.cursor = -1;
    if (S.audio) SDL_CloseAudioDevice(S.audio), S.audio = 0;
    if (S.src) SDL_FreeSurface(S.src), S.src = nullptr;
    free(S.buf), S.buf = nullptr;
    if (S.win) SDL_DestroyWindow(S.win), S.win = nullptr;
    SDL_Quit();                                           // the window layer is done with
}

void runloop(int32_t (*pass)(void), void (*)(void), void (*end)(void)) {
    while (pass()) {}
    end();
}

void minimizewindow(void) {
    if (S.win) SDL_MinimizeWindow(S.win);
}

// === events ===
static int32_t modgroups(uint16_t m) {
    int32_t g = 0;
    if (m & KMOD_SHIFT) g |= KEYSHIFT;
    if (m & KMOD_CTRL) g |= KEYCTRL;
    if (m & KMOD_ALT) g |= KEYOPTION;
    if (m & KMOD_GUI) g |= KEYCOMMAND;
    if (m & KMOD_CAPS) g |= KEYCAPS;
    return g;
}

// A key down or repeat: one FIFO entry. Letters follow the layout's key
// symbol; the text event that usually follows corrects other characters.
static void keydown(const SDL_KeyboardEvent &k) {
    int32_t hid = k.keysym.scancode, mods = modgroups(k.keysym.mod);
    if (hid < 256) S.held[hid] = 1;
    int32_t sym = k.keysym.sym, ch;
    if (sym >= 'a' && sym <= 'z') ch = ((mods & KEYSHIFT) != 0) != ((mods & KEYCAPS) != 0) ? sym - 32 : sym;
    else ch = hid < 256 ? keychar(hid, mods) : 0;
    int32_t scan = hid < 256 ? hid2pc[hid] : 0;
    uint32_t w = keyfifw;
    keyput(keyentry(scan, ch, mods));
    int32_t plain = !(mods & (KEYCTRL | KEYOPTION | KEYCOMMAND));
    S.textslot = keyfifw != w && plain ? (int32_t)(w & (KEYFIFSIZ - 1)) : -1;
}

// The character the layout really produced, for the entry just stored
// (typedchar); a text of several characters leaves the key's own.
static void textinput(const char *text) {
    int32_t slot = S.textslot;
    S.textslot = -1;
    const int32_t ch = typedchar(text);
    if (slot < 0 || ch < 0) return;
    int32_t e = keyfif[slot];
    keyfif[slot] = keyentry(e >> 8 & 255, ch, e & ~0xFFFF);
}

static void windowevent(const SDL_WindowEvent &w) {
    switch (w.event) {
    case SDL_WINDOWEVENT_SIZE_CHANGED: newbuffer(w.data1 / pixscale, w.data2 / pixscale); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: ActiveApp = 1; break;
    case SDL_WINDOWEVENT_FOCUS_LOST: ActiveApp = 0; break;
    case SDL_WINDOWEVENT_CLOSE: S.quitit = 1; break;
    }
}

static void handle(const SDL_Event &e) {
    if (e.type != SDL_TEXTINPUT) S.textslot = -1;
    switch (e.type) {
    case SDL_QUIT: S.quitit = 1; break;
    case SDL_WINDOWEVENT: windowevent(e.window); break;
    case SDL_KEYDOWN: keydown(e.key); break;
    case SDL_KEYUP:
        if (e.key.keysym.scancode < 256) S.held[e.key.keysym.scancode] = 0;
        break;
    case SDL_TEXTINPUT: textinput(e.text.text); break;
    case SDL_MOUSEMOTION:
        addmotion(e.motion.xrel, e.motion.yrel);
        S.px = e.motion.x, S.py = e.motion.y;
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        int32_t bit = e.button.button == SDL_BUTTON_LEFT ? 1 : e.button.button == SDL_BUTTON_RIGHT ? 2 : 0;
        S.px = e.button.x, S.py = e.button.y;
        if (e.type == SDL_MOUSEBUTTONDOWN) bstatus |= bit, S.pressed |= bit;
        else if (S.pressed & bit) S.lateup |= bit;  // a quick click: the program sees it down once
        else bstatus &= ~bit;
        break;
    }
    case SDL_MOUSEWHEEL:
        dmousz += (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y) * 120;
        break;
    }
}

// The pointer relative to the content area, from the window's own events
// (they also follow a drag that leaves the window, as the window layer
// keeps the mouse while a button is held).
static void pointer(void) { mousx = unscale(S.px), mousy = unscale(S.py); }

int32_t breath(void) {
    if (!S.win) return 1;
    bstatus &= ~S.lateup;  // the release of last breath's quick click
    S.lateup = S.pressed = 0;
    SDL_Event e;
    while (SDL_PollEvent(&e)) handle(e);
    if (hungup) hungup = 0, S.quitit = 1;
    shkeystatus = modgroups((uint16_t)SDL_GetModState()) & (KEYSHIFT | KEYCTRL | KEYOPTION | KEYCOMMAND | KEYCAPS);
    pointer();
    return S.quitit;
}

void quitloop(void) { S.quitit = 1; }
void quitcancel(void) { S.quitit = 0; }

void settitle(const char *title) {
    if (S.win) SDL_SetWindowTitle(S.win, title ? title : "");
}

void readkeyboard(void) {
    static const uint8_t none[256] = {0};
    keysync(ActiveApp ? S.held : none, S.okeys, hid2pc, 256);
}

// Keys pressed when a dialog opened are released to the program's eyes; their
// up events went to the dialog.
static void dialogdone(void) {
    memset(S.held, 0, sizeof(S.held));
    S.textslot = -1;
}

// A message box or an outside chooser is a window of its own: what was
// typed, clicked or wheeled at the program's window meanwhile waits in the
// queue, meant for nothing, and goes. Releases and moves stay, so that no
// key or button is left held and the pointer is where it is.
static void dropinput(void) {
    SDL_PumpEvents();
    static const Uint32 dropped[] = {SDL_KEYDOWN, SDL_TEXTEDITING, SDL_TEXTINPUT, SDL_MOUSEBUTTONDOWN,
                                     SDL_MOUSEWHEEL};
    for (Uint32 type : dropped) SDL_FlushEvent(type);
}

// === drawing ===
int32_t startdirectdraw(intptr_t *f, int32_t *p, int32_t *x, int32_t *y) {
    *f = (intptr_t)S.buf, *p = xres * 4, *x = S.buf ? xres : 0, *y = S.buf ? yres : 0;
    return 1;
}

void stopdirectdraw(void) {}

// Each buffer pixel becomes a k x k block: rows are widened once and copied
// k times, straight into a 32-bit window surface; another format goes
// through the window layer's own (nearest-pixel) scaled blit.
static void blitscaled(SDL_Surface *dst, int32_t k) {
    const int32_t w = xres * k < dst->w ? xres * k : dst->w, h = yres * k < dst->h ? yres * k : dst->h;
    if (dst->format->BytesPerPixel != 4 || dst->format->format != SDL_PIXELFORMAT_RGB888) {
        SDL_Rect r = {0, 0, xres * k, yres * k};
        SDL_BlitScaled(S.src, nullptr, dst, &r);
        return;
    }
    if (SDL_MUSTLOCK(dst) && SDL_LockSurface(dst) != 0) return;
    for (int32_t y = 0; y < h; y += k) {
        uint32_t *row = (uint32_t *)((uint8_t *)dst->pixels + (size_t)y * dst->pitch);
        const uint32_t *src = S.buf + (size_t)(y / k) * xres;
        for (int32_t x = 0; x < w; x++) row[x] = src[x / k];
        for (int32_t r = 1; r < k && y + r < h; r++)
            memcpy((uint8_t *)row + (size_t)r * dst->pitch, row, (size_t)w * 4);
    }
    if (SDL_MUSTLOCK(dst)) SDL_UnlockSurface(dst);
}

void nextpage(void) {
    if (!S.win || !S.src) return;
    SDL_Surface *dst = SDL_GetWindowSurface(S.win);
    if (!dst) return;
    if (pixscale > 1) blitscaled(dst, pixscale);
    else SDL_BlitSurface(S.src, nullptr, dst, nullptr);
    SDL_UpdateWindowSurface(S.win);
}

// === clock ===
double vlock(void) {
    uint64_t d = SDL_GetPerformanceCounter() - S.t0;
    uint64_t us = d / S.freq * 1000000 + d % S.freq * 1000000 / S.freq;
    return (double)us * 0.000001;
}

void Sleep(int32_t ms) {
    int64_t t = sleepticks(ms);
    if (!t) return;
    int64_t d = (t * 1000 + 30) / 60;                    // ticks of 1/60 s in milliseconds
    SDL_Delay(d > 0xFFFFFFFF ? 0xFFFFFFFFu : (Uint32)d);
}

// === cursor and beep ===
void setcurs(int32_t kind) {
    static const SDL_SystemCursor sys[9] = {
        SDL_SYSTEM_CURSOR_ARROW, SDL_SYSTEM_CURSOR_SIZEALL, SDL_SYSTEM_CURSOR_IBEAM,
        SDL_SYSTEM_CURSOR_CROSSHAIR, SDL_SYSTEM_CURSOR_HAND, SDL_SYSTEM_CURSOR_SIZEWE,
        SDL_SYSTEM_CURSOR_SIZENS, SDL_SYSTEM_CURSOR_SIZENWSE, SDL_SYSTEM_CURSOR_SIZENESW,
    };
    if (kind < 0 || kind > 8) kind = CURS_ARROW;
    if (!S.win || kind == S.cursor) return;
    if (!S.cursors[kind]) S.cursors[kind] = SDL_CreateSystemCursor(sys[kind]);
    if (!S.cursors[kind]) return;
    SDL_SetCursor(S.cursors[kind]);
    S.cursor = kind;
}

// A 0.1 s square wave of about 900 Hz; without audio the terminal bell.
void SysBeep(int32_t) {
    if (!S.audio && SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        SDL_AudioSpec want = {}, have;
        want.freq = 22050, want.format = AUDIO_S16SYS, want.channels = 1, want.samples = 512;
        S.audio = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!S.audio) {
        fputc('\a', stderr);
        return;
    }
    static int16_t tone[2205];
    for (int32_t i = 0; i < 2205; i++) tone[i] = (i / 12) & 1 ? 3000 : -3000;  // 12-sample half-periods
    SDL_QueueAudio(S.audio, tone, sizeof(tone));
    SDL_PauseAudioDevice(S.audio, 0);
}

// === message boxes ===
void msgbox_ok(const char *text, const char *title) {
    if (!text) text = "";
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title ? title : "", text, S.win) != 0)
        fprintf(stderr, "%s\n", text);                   // no display: the terminal
    dropinput();
    dialogdone();
}

int32_t msgbox_yesno(const char *text, const char *title) {
    static const char *const b[2] = {"Yes", "No"};
    return msgbox_ask(text, title, b, 2) == 0;  // Escape or no box: "No"
}

int32_t msgbox_ask(const char *text, const char *title, const char *const *buttons, int32_t n) {
    enum { ASKMAX = 8 };
    if (n < 1) return -1;
    if (n > ASKMAX) n = ASKMAX;
    SDL_MessageBoxButtonData b[ASKMAX];
    for (int32_t i = 0; i < n; i++) {
        b[i].flags = i == 0 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT : 0;
        if (i == n - 1) b[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
        b[i].buttonid = i;
        b[i].text = buttons[i];
    }
    SDL_MessageBoxData d = {SDL_MESSAGEBOX_WARNING | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT, S.win,
                            title ? title : "", text ? text : "", n, b, nullptr};
    int id = n - 1;
    if (SDL_ShowMessageBox(&d, &id) != 0 || id < 0 || id >= n) id = n - 1;  // not shown: the last
    dropinput();
    dialogdone();
    return id;
}

// === external chooser ===
enum { CHOSEN = 0, CANCELLED = 1, NOCHOOSER = -1 };

static int32_t onpath(const char *prog) {
    const char *path = getenv("PATH");
    char full[4096];
    while (path && *path) {
        const char *end = strchr(path, ':');
        int32_t n = end ? (int32_t)(end - path) : (int32_t)strlen(path);
        snprintf(full, sizeof(full), "%.*s/%s", n, path, prog);
        if (n && access(full, X_OK) == 0) return 1;
        path = end ? end + 1 : nullptr;
    }
    return 0;
}

// Runs the chooser; its first output line goes to out.
static int32_t runchooser(char *const argv[], char *out, size_t siz) {
    int fd[2];
    if (pipe(fd) != 0) return NOCHOOSER;
    pid_t pid = fork();
    if (pid < 0) {
        close(fd[0]), close(fd[1]);
        return NOCHOOSER;
    }
    if (pid == 0) {                                       // child: output into the pipe, no chatter
        dup2(fd[1], 1);
        close(fd[0]), close(fd[1]);
        int nul = open("/dev/null", O_WRONLY);
        if (nul >= 0) dup2(nul, 2);
        execvp(argv[0], argv);
        _exit(127);
    }
    close(fd[1]);
    size_t n = 0;
    char tmp[512];
    for (ssize_t r; (r = read(fd[0], tmp, sizeof(tmp))) != 0;) {
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) break;
        for (ssize_t i = 0; i < r; i++)
            if (n + 1 < siz) out[n++] = tmp[i];
    }
    out[n] = 0;
    close(fd[0]);
    int st = 0;
    while (waitpid(pid, &st, 0) < 0 && errno == EINTR) {}
    if (!WIFEXITED(st)) return NOCHOOSER;
    if (WEXITSTATUS(st) == 1) return CANCELLED;
    if (WEXITSTATUS(st) != 0) return NOCHOOSER;           // could not start or no display
    out[strcspn(out, "\n")] = 0;
    return out[0] ? CHOSEN : CANCELLED;
}

// zenity's file selection; a pattern such as "*.VSM" becomes a filter (either
// case), a load in folder (ending in '/') starts there.
static int32_t zenity(const char *title, const char *pattern, const char *name, const char *folder, char *out,
                      size_t siz) {
    static char targ[300], farg[320], narg[SAVEPATHSIZ + 16];
    char *argv[10];
    int32_t n = 0;
    argv[n++] = (char *)"zenity", argv[n++] = (char *)"--file-selection";
    snprintf(targ, sizeof(targ), "--title=%s", title ? title : "");
    argv[n++] = targ;
    if (name) {
        snprintf(narg, sizeof(narg), "--filename=%s", name);
        argv[n++] = (char *)"--save", argv[n++] = (char *)"--confirm-overwrite", argv[n++] = narg;
    } else if (folder[0]) {
        snprintf(narg, sizeof(narg), "--filename=%s", folder);
        argv[n++] = narg;
    }
    if (pattern && pattern[0] == '*' && !strchr(pattern, '|') && strlen(pattern) < 100) {
        char low[100];
        for (int32_t i = 0; (low[i] = (char)tolower((unsigned char)pattern[i])) != 0; i++) {}
        snprintf(farg, sizeof(farg), "--file-filter=%.99s | %.99s %.99s", pattern, pattern, low);
        argv[n++] = farg, argv[n++] = (char *)"--file-filter=All files | *";
    }
    argv[n] = nullptr;
    return runchooser(argv, out, siz);
}

// === in-window path prompt ===
struct promptstate {
    char text[4096];
    const char *title, *hint, *note;
};

static void promptdraw(const promptstate &p) {
    tiletype t = {(intptr_t)S.buf, xres * 4, xres, yres};
    int32_t x0 = 8, x1 = xres - 8, yc = yres / 2;
    drawrectfill(&t, x0, yc - 30, x1, yc + 30, 0xBBAA99);
    drawrectfill(&t, x0 + 1, yc - 29, x1 - 1, yc + 29, 0x332211);
    print6x8(&t, x0 + 6, yc - 24, 0xFFEEDD, -1, "%s  %s", p.title, p.hint);
    drawrectfill(&t, x0 + 4, yc - 8, x1 - 4, yc + 4, 0x000000);
    int32_t fit = (x1 - x0 - 20) / 6 - 1, len = (int32_t)strlen(p.text);
    const char *shown = len > fit && fit > 0 ? p.text + len - fit : p.text;
    print6x8(&t, x0 + 8, yc - 6, 0xFFFFFF, -1, "%s_", shown);
    print6x8(&t, x0 + 6, yc + 14, 0xEEDDCC, -1, "%s", p.note);
    nextpage();
}

static void promptadd(promptstate &p, const char *s) {
    size_t n = strlen(p.text);
    for (; *s && *s != '\n' && *s != '\r' && n + 1 < sizeof(p.text); s++) p.text[n++] = *s;
    p.text[n] = 0;
}

// 1 when the typed path is acceptable: an existing file to open, or a file to
// write that does not exist or may be replaced (a regular file, either way).
static int32_t promptcheck(promptstate &p, int32_t save, char *dst, int32_t siz) {
    struct stat st;
    if (!absolutepath(dst, siz, p.text)) return p.note = "That path is too long.", 0;
    int32_t exists = stat(dst, &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return p.note = "That is a folder; add a file name.", 0;
    if (exists && !S_ISREG(st.st_mode)) return p.note = "That is not a regular file.", 0;
    if (!save) return exists ? 1 : (p.note = "There is no such file.", 0);
    if (!exists) return 1;
    char q[SAVEPATHSIZ + 40];
    snprintf(q, sizeof(q), "%s exists. Replace it?", dst);
    return msgbox_yesno(q, prognam);
}

static int32_t promptkey(promptstate &p, const SDL_KeyboardEvent &k) {
    SDL_Keycode sym = k.keysym.sym;
    if (sym == SDLK_RETURN || sym == SDLK_KP_ENTER) return 1;
    if (sym == SDLK_ESCAPE) return -1;
    size_t n = strlen(p.text);
    if (sym == SDLK_BACKSPACE) {
        while (n > 0 && ((unsigned char)p.text[n - 1] & 0xC0) == 0x80) n--;  // whole UTF-8 character
        if (n > 0) n--;
        p.text[n] = 0;
    }
    if ((k.keysym.mod & KMOD_CTRL) && sym == SDLK_u) p.text[0] = 0;
    if ((k.keysym.mod & KMOD_CTRL) && sym == SDLK_v && SDL_HasClipboardText()) {
        char *c = SDL_GetClipboardText();
        if (c) promptadd(p, c), SDL_free(c);
    }
    return 0;
}

// Runs the prompt until Return with a usable path (dst) or cancel (null).
static char *prompt(promptstate &p, int32_t save, char *dst, int32_t siz) {
    size_t bytes = (size_t)xres * yres * 4;
    uint32_t *saved = (uint32_t *)malloc(bytes);
    int32_t sx = xres, sy = yres;
    if (saved) memcpy(saved, S.buf, bytes);
    char *result = nullptr;
    for (int32_t done = 0; !done;) {
        promptdraw(p);
        SDL_Event e;
        if (!SDL_WaitEvent(&e)) break;
        if (e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
            S.quitit = 1;                                 // closing the window still quits
            break;
        }
        if (e.type == SDL_WINDOWEVENT) windowevent(e.window);
        if (e.type == SDL_TEXTINPUT) promptadd(p, e.text.text);
        if (e.type != SDL_KEYDOWN) continue;
        int32_t r = promptkey(p, e.key);
        if (r < 0) break;
        if (r > 0 && promptcheck(p, save, dst, siz)) result = dst, done = 1;
    }
    if (saved && sx == xres && sy == yres) memcpy(S.buf, saved, bytes), nextpage();
    free(saved);
    return result;
}

// === file choosers ===
// zenity when installed, else the prompt. Results are absolute paths. A load
// starts in the folder its pattern carries, else the working folder.
static char *choosefile(const char *title, const char *pattern, const char *name, char *dst, int32_t siz) {
    char out[4096], folder[SAVEPATHSIZ] = "";
    const char *leaf = patternleaf(pattern);
    if (!name && leaf != pattern && leaf - pattern < (ptrdiff_t)sizeof(folder))
        snprintf(folder, sizeof(folder), "%.*s", (int)(leaf - pattern), pattern);
    pattern = leaf;
    int32_t r = onpath("zenity") ? zenity(title, pattern, name, folder, out, sizeof(out)) : NOCHOOSER;
    char *result = nullptr;
    if (r == CHOSEN && absolutepath(dst, siz, out)) result = dst;
    if (r != NOCHOOSER) dropinput();
    if (r == NOCHOOSER && S.buf) {
        promptstate p;
        char hint[100];
        snprintf(hint, sizeof(hint), pattern && pattern[0] ? "%s (%.60s):" : "%s:", name ? "Save as" : "Open", pattern);
        p.title = title ? title : "", p.hint = hint;
        p.note = "Return: OK    Escape: cancel    Control+U: clear";
        int32_t named = name && !strpbrk(name, "*?");
        snprintf(p.text, sizeof(p.text), "%s", folder);
        if (!folder[0] && !(named && name[0] == '/') && getcwd(p.text, sizeof(p.text) - 2) && strcmp(p.text, "/"))
            strcat(p.text, "/");
        if (named) promptadd(p, name);
        result = prompt(p, name != nullptr, dst, siz);
    }
    dialogdone();
    return result;
}

char *loadfileselect(const char *title, const char *pattern) {
    return choosefile(title, pattern, nullptr, S.loadpath, LOADPATHSIZ);
}

char *savefileselect(const char *title, const char *name) {
    const char *pattern = name && strpbrk(name, "*?") ? name : nullptr;  // a proposed name is no filter
    return choosefile(title, pattern, name ? name : "", S.savepath, SAVEPATHSIZ);
}

// === clipboard ===
int32_t clipboard_write(const char *data, int32_t len) {
    if (!S.win || len < 0 || (len && !data)) return 0;
    char *c = (char *)malloc((size_t)len + 1);
    if (!c) return 0;
    if (len) memcpy(c, data, (size_t)len);
    c[len] = 0;                                           // the clipboard holds text up to a zero
    int32_t ok = SDL_SetClipboardText(c) == 0;
    free(c);
    return ok;
}

char *clipboard_read(int32_t *len) {
    *len = 0;
    if (!S.win || !SDL_HasClipboardText()) return nullptr;
    char *t = SDL_GetClipboardText();
    if (!t) return nullptr;
    size_t n = strlen(t);
    char *c = n ? (char *)malloc(n + 1) : nullptr;
    if (c) memcpy(c, t, n + 1), *len = (int32_t)n;
    SDL_free(t);
    return c;
}

// frame_web.cpp: the frame on a web page, over Emscripten's html5.h: the
// 32-bit buffer put on the page's <canvas> once per pass, keys mapped from
// the page's key codes to PC scan codes, mouse, wheel, focus, clock, cursor
// and title; message boxes through the browser's dialogs and an HTML
// <dialog>; files in the page's in-memory file system, opened through a file
// input and saved as downloads; settings kept in the browser's database; the
// clipboard through the page's paste event and the clipboard API.
// Depends on Emscripten, frame.h and backend.h.
//   [x] canvas, buffer, page resize           [x] keys, held keys, modifiers
//   [x] mouse, wheel, focus loss               [x] clock (Sleep gives nothing back)
//   [x] alert, confirm, a dialog of buttons    [x] open (file input), save (download)
//   [x] clipboard (paste event, async write)   [x] nine cursor kinds, title, beep
//   [ ] minimise: a page cannot
#include <emscripten.h>
#include <emscripten/html5.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <algorithm>
#include "frame/backend.h"

// === private state ===
enum {
    WATCHMAX = 16,          // files handed out whose writes become downloads
    WEBMINW = 320, WEBMINH = 240, WEBMAXW = 1920, WEBMAXH = 1200,
};
struct watched {
    char path[SAVEPATHSIZ];
    ino_t ino;              // the file as it was last seen (0: none); a save renames a new file over it
    off_t size;
    time_t mtime;
};
static struct {
    uint32_t *buf = nullptr;              // xres * yres pixels
    uint32_t *rgba = nullptr;             // the same as the canvas takes them: R, G, B, A bytes
    int32_t quitit = 0;
    double t0 = 0;                        // page clock at initapp, ms
    uint8_t held[256] = {0};              // by usage id
    uint8_t okeys[256] = {0};
    int32_t mods = 0;                     // modifier groups of the last event
    int32_t pressed = 0, lateup = 0;      // as the window backend: a quick click is seen down once
    int32_t px = 0, py = 0;               // pointer in canvas pixels
    int32_t cursor = -1;
    int32_t pastekey = 0;                 // Control+V held back until the paste event brings its text
    double pasteat = 0;
    char *clip = nullptr;                 // the clipboard as this page knows it
    int32_t clipn = 0;
    char pendingopen[LOADPATHSIZ] = "";   // the page's choice, for the next loadfileselect
    char loadpath[LOADPATHSIZ] = "", savepath[SAVEPATHSIZ] = "";
    watched watch[WATCHMAX];
    int32_t numwatch = 0;
    double synced = 0;                    // page clock of the last store of the settings folder
    double looked = 0;                    // and of the last look for files written
    void (*keep)(void) = nullptr;         // the program's writer of what it keeps
    int32_t indialog = 0;                 // 1 while a page dialog waits: its keys are its own
} S;

// === the page ===
// rgba: the buffer's pixels with their bytes in the canvas's order
EM_JS(void, webshow, (const uint8_t *rgba, int32_t w, int32_t h), {
    const c = Module.canvas;
    if (!c) return;
    if (c.width !== w || c.height !== h) c.width = w, c.height = h;
    const px = new Uint8ClampedArray(HEAPU8.buffer, rgba, w * h * 4);  // a fresh view: memory may have grown
    const ctx = Module.velCtx || (Module.velCtx = c.getContext('2d'));
    ctx.putImageData(new ImageData(px, w, h), 0, 0);
    if (!Module.velFirstFrame) Module.velFirstFrame = performance.now();
});

// the room the page gives the canvas, in canvas pixels
EM_JS(void, webroom, (int32_t *w, int32_t *h), {
    const c = Module.canvas, box = c && c.parentElement;
    HEAP32[w >> 2] = box ? box.clientWidth : 800;
    HEAP32[h >> 2] = box ? box.clientHeight : 600;
});

EM_JS(void, weborigin, (int32_t *x, int32_t *y), {
    const r = Module.canvas ? Module.canvas.getBoundingClientRect() : {left: 0, top: 0};
    HEAP32[x >> 2] = Math.round(r.left);
    HEAP32[y >> 2] = Math.round(r.top);
});

EM_JS(void, webtitle, (const char *t), { document.title = UTF8ToString(t); });

EM_JS(void, webcursor, (int32_t k), {
    const names = ['default', 'move', 'text', 'crosshair', 'pointer', 'ew-resize', 'ns-resize', 'nwse-resize', 'nesw-resize'];
    if (Module.canvas) Module.canvas.style.cursor = names[k] || 'default';
});

EM_JS(void, webbeep, (void), {
    try {
        const a = Module.velAudio || (Module.velAudio = new AudioContext());
        const o = a.createOscillator(), g = a.createGain();
        o.type = 'square', o.frequency.value = 920, g.gain.value = 0.05;
        o.connect(g), g.connect(a.destination);
        o.start(), o.stop(a.currentTime + 0.1);
    } catch (e) {}
});

EM_JS(void, webdownload, (const char *path), {
    const p = UTF8ToString(path), name = p.substring(p.lastIndexOf('/') + 1);
    const a = document.createElement('a');
    a.href = URL.createObjectURL(new Blob([FS.readFile(p)], {type: 'application/octet-stream'}));
    a.download = name;
    document.body.appendChild(a), a.click(), a.remove();
    setTimeout(() => URL.revokeObjectURL(a.href), 10000);
});

EM_JS(void, webclipwrite, (const char *t), {
    const s = UTF8ToString(t);
    if (navigator.clipboard) navigator.clipboard.writeText(s).catch(() => {});
});

// the settings folder to the browser's database (the page mounted it)
EM_JS(void, webstore, (void), {
    if (Module.velStored) FS.syncfs(false, () => {});
});

EM_JS(void, webended, (void), { if (Module.velEnded) Module.velEnded(); });

// === dialogs that wait ===
// msgbox_ask's buttons as one string joined by newlines; the index chosen,
// the last one for Escape
EM_ASYNC_JS(int32_t, webask, (const char *text, const char *title, const char *buttons), {
    const d = document.getElementById('velask');
    if (!d) return -1;
    d.querySelector('.title').textContent = UTF8ToString(title);
    d.querySelector('.text').textContent = UTF8ToString(text);
    const row = d.querySelector('.buttons'), names = UTF8ToString(buttons).split('\n');
    row.replaceChildren();
    const chosen = await new Promise(done => {
        names.forEach((n, i) => {
            const b = document.createElement('button');
            b.textContent = n;
            b.onclick = () => done(i);
            row.appendChild(b);
        });
        d.oncancel = e => { e.preventDefault(); done(names.length - 1); };
        d.showModal();
        row.firstChild.focus();
    });
    d.close();
    return chosen;
});

// a file chosen through the page's file input, copied into /home/web_user/files;
// its path (malloc'ed) or 0 when cancelled
EM_ASYNC_JS(char *, webchoose, (const char *accept), {
    const input = document.createElement('input');
    input.type = 'file', input.accept = UTF8ToString(accept);
    const file = await new Promise(done => {
        input.onchange = () => done(input.files[0] || null);
        input.oncancel = () => done(null);
        input.click();
    });
    if (!file) return 0;
    const dir = '/home/web_user/files', path = dir + '/' + file.name.replaceAll('/', '_');
    try { FS.mkdir(dir); } catch (e) {}
    FS.writeFile(path, new Uint8Array(await file.arrayBuffer()));
    return allocateUTF8(path);
});

// === buffer ===
static int32_t newbuffer(int32_t w, int32_t h) {
    w = w < WEBMINW ? WEBMINW : w > WEBMAXW ? WEBMAXW : w;
    h = h < WEBMINH ? WEBMINH : h > WEBMAXH ? WEBMAXH : h;
    if (S.buf && w == xres && h == yres) return 1;
    uint32_t *b = (uint32_t *)calloc((size_t)w * h, 4), *c = (uint32_t *)malloc((size_t)w * h * 4);
    if (!b || !c) {
        free(b), free(c);
        return 0;
    }
    free(S.buf), free(S.rgba);
    S.buf = b, S.rgba = c, xres = w, yres = h;
    return 1;
}

// === keys ===
// The page names keys by their place (KeyboardEvent.code); these are the
// usage ids of those places, which the shared map turns into scan codes.
static const struct { const char *code; uint8_t hid; } webkeys[] = {
    {"Enter", 0x28}, {"Escape", 0x29}, {"Backspace", 0x2A}, {"Tab", 0x2B}, {"Space", 0x2C},
    {"Minus", 0x2D}, {"Equal", 0x2E}, {"BracketLeft", 0x2F}, {"BracketRight", 0x30},
    {"Backslash", 0x31}, {"Semicolon", 0x33}, {"Quote", 0x34}, {"Backquote", 0x35},
    {"Comma", 0x36}, {"Period", 0x37}, {"Slash", 0x38}, {"CapsLock", 0x39},
    {"PrintScreen", 0x46}, {"ScrollLock", 0x47}, {"Pause", 0x48}, {"Insert", 0x49},
    {"Home", 0x4A}, {"PageUp", 0x4B}, {"Delete", 0x4C}, {"End", 0x4D}, {"PageDown", 0x4E},
    {"ArrowRight", 0x4F}, {"ArrowLeft", 0x50}, {"ArrowDown", 0x51}, {"ArrowUp", 0x52},
    {"NumLock", 0x53}, {"NumpadDivide", 0x54}, {"NumpadMultiply", 0x55},
    {"NumpadSubtract", 0x56}, {"NumpadAdd", 0x57}, {"NumpadEnter", 0x58},
    {"Numpad0", 0x62}, {"NumpadDecimal", 0x63}, {"IntlBackslash", 0x64}, {"ContextMenu", 0x65},
    {"ControlLeft", 0xE0}, {"ShiftLeft", 0xE1}, {"AltLeft", 0xE2}, {"MetaLeft", 0xE3},
    {"ControlRight", 0xE4}, {"ShiftRight", 0xE5}, {"AltRight", 0xE6}, {"MetaRight", 0xE7},
};

static int32_t hidof(const char *code) {
    if (!strncmp(code, "Key", 3) && code[3] >= 'A' && code[3] <= 'Z' && !code[4]) return 0x04 + code[3] - 'A';
    if (!strncmp(code, "Digit", 5) && code[5] >= '0' && code[5] <= '9' && !code[6])
        return code[5] == '0' ? 0x27 : 0x1E + code[5] - '1';
    if (!strncmp(code, "Numpad", 6) && code[6] >= '1' && code[6] <= '9' && !code[7]) return 0x59 + code[6] - '1';
    if (code[0] == 'F' && code[1] >= '1' && code[1] <= '9') {
        const int32_t f = atoi(code + 1);
        if (f >= 1 && f <= 12) return 0x3A + f - 1;
    }
    for (const auto &k : webkeys)
        if (!strcmp(code, k.code)) return k.hid;
    return 0;
}

static int32_t modsof(const EmscriptenKeyboardEvent *e) {
    int32_t g = 0;
    if (e->shiftKey) g |= KEYSHIFT;
    if (e->ctrlKey) g |= KEYCTRL;
    if (e->altKey) g |= KEYOPTION;
    if (e->metaKey) g |= KEYCOMMAND;
    return g;
}

// the browser keeps these: paste (its event brings the text), reload, full screen
static int32_t browserkeeps(int32_t hid, int32_t mods) {
    const int32_t ctrl = (mods & KEYCTRL) != 0;
    return (ctrl && hid == 0x19) || ((mods & KEYSHIFT) && hid == 0x49) || hid == 0x3E || hid == 0x44 ||
           (ctrl && hid == 0x15);
}

static EM_BOOL keydown(int, const EmscriptenKeyboardEvent *e, void *) {
    if (S.indialog) return 0;
    const int32_t hid = hidof(e->code), mods = modsof(e);
    S.mods = mods;
    if (hid) S.held[hid] = 1;
    int32_t ch = typedchar(e->key);
    if (ch < 0) ch = keychar(hid, mods);  // a named key, as "Enter"
    if ((mods & KEYCTRL) && ch >= 'A' && ch <= 'Z' && !(mods & KEYSHIFT)) ch += 'a' - 'A';
    const int32_t entry = keyentry(hid2pc[hid], ch, mods);
    const int32_t paste = (mods & KEYCTRL) && hid == 0x19;
    if (paste) S.pastekey = entry, S.pasteat = emscripten_get_now();
    else if (hid || ch) keyput(entry);
    return !browserkeeps(hid, mods);
}

static EM_BOOL keyup(int, const EmscriptenKeyboardEvent *e, void *) {
    const int32_t hid = hidof(e->code);
    S.mods = modsof(e);
    if (hid) S.held[hid] = 0;
    return 0;
}

// the page's paste event: its text becomes the clipboard, then the held Control+V goes in
extern "C" EMSCRIPTEN_KEEPALIVE void webpaste(const char *text) {
    if (S.pastekey) keyput(S.pastekey), S.pastekey = 0;
    if (!text[0]) return;  // nothing the page could read: the clipboard as it was
    free(S.clip);
    S.clipn = (int32_t)strlen(text);
    S.clip = (char *)malloc((size_t)S.clipn + 1);
    if (S.clip) memcpy(S.clip, text, (size_t)S.clipn + 1);
    else S.clipn = 0;
}

// the page's list of examples: the circuit opens as through Control+O
extern "C" EMSCRIPTEN_KEEPALIVE void webopen(const char *path) {
    snprintf(S.pendingopen, sizeof S.pendingopen, "%s", path);
    keyput(keyentry(SC_O, 'o', KEYCTRL));
}

// === mouse ===
static EM_BOOL mouse(int type, const EmscriptenMouseEvent *e, void *) {
    int32_t ox, oy;
    weborigin(&ox, &oy);
    const int32_t x = e->clientX - ox, y = e->clientY - oy;
    if (type == EMSCRIPTEN_EVENT_MOUSEMOVE) addmotion(x - S.px, y - S.py);
    S.px = x, S.py = y;
    const int32_t bit = e->button == 0 ? 1 : e->button == 2 ? 2 : 0;
    if (type == EMSCRIPTEN_EVENT_MOUSEDOWN) bstatus |= bit, S.pressed |= bit;
    if (type == EMSCRIPTEN_EVENT_MOUSEUP) {
        if (S.pressed & bit) S.lateup |= bit;
        else bstatus &= ~bit;
    }
    return type != EMSCRIPTEN_EVENT_MOUSEMOVE;
}

static EM_BOOL wheel(int, const EmscriptenWheelEvent *e, void *) {
    if (e->deltaY) dmousz += e->deltaY < 0 ? 120 : -120;  // one step an event, whatever the units
    return 1;
}

static EM_BOOL focus(int type, const EmscriptenFocusEvent *, void *) {
    ActiveApp = type == EMSCRIPTEN_EVENT_FOCUS;
    if (!ActiveApp) memset(S.held, 0, sizeof S.held), S.mods = 0, bstatus = 0;
    return 0;
}

static EM_BOOL resized(int, const EmscriptenUiEvent *, void *) {
    int32_t w, h;
    webroom(&w, &h);
    newbuffer(w, h);
    return 0;
}

static EM_BOOL visibility(int, const EmscriptenVisibilityChangeEvent *e, void *) {
    if (e->hidden && S.keep) S.keep(), webstore();  // the page may go without a word
    return 0;
}

// === window ===
int32_t initapp(int32_t w, int32_t h) {
    if (S.buf || w <= 0 || h <= 0) return -1;
    int32_t rw, rh;
    webroom(&rw, &rh);
    pixscale = 1;
    if (!newbuffer(rw > 0 ? rw : w, rh > 0 ? rh : h)) return -1;
    const char *win = EMSCRIPTEN_EVENT_TARGET_WINDOW, *canvas = "#canvas";
    emscripten_set_keydown_callback(win, nullptr, 1, keydown);
    emscripten_set_keyup_callback(win, nullptr, 1, keyup);
    emscripten_set_mousedown_callback(canvas, nullptr, 1, mouse);
    emscripten_set_mouseup_callback(win, nullptr, 1, mouse);
    emscripten_set_mousemove_callback(win, nullptr, 1, mouse);
    emscripten_set_wheel_callback(canvas, nullptr, 1, wheel);
    emscripten_set_focus_callback(win, nullptr, 1, focus);
    emscripten_set_blur_callback(win, nullptr, 1, focus);
    emscripten_set_resize_callback(win, nullptr, 1, resized);
    emscripten_set_visibilitychange_callback(nullptr, 1, visibility);
    umask(022);  // the runtime starts with 0777, which would leave saved files unreadable
    S.quitit = 0;
    ActiveApp = 1;
    keyfifr = keyfifw = 0;
    S.t0 = S.synced = emscripten_get_now();
    return 1;
}

void uninitapp(void) {
    free(S.buf), S.buf = nullptr;
    free(S.rgba), S.rgba = nullptr;
    free(S.clip), S.clip = nullptr, S.clipn = 0;
}

void minimizewindow(void) {}

// === files written become downloads ===
static void look(watched *w) {
    struct stat st;
    if (stat(w->path, &st) != 0) w->ino = 0, w->size = 0, w->mtime = 0;
    else w->ino = st.st_ino, w->size = st.st_size, w->mtime = st.st_mtime;
}

static void watchfile(const char *path) {
    int32_t k = 0;
    while (k < S.numwatch && strcmp(S.watch[k].path, path)) k++;
    if (k == S.numwatch) {
        if (S.numwatch == WATCHMAX) memmove(S.watch, S.watch + 1, sizeof(watched) * --S.numwatch), k--;
        k = S.numwatch++;
        snprintf(S.watch[k].path, sizeof S.watch[k].path, "%s", path);
    }
    look(&S.watch[k]);
}

static void downloads(void) {
    for (int32_t k = 0; k < S.numwatch; k++) {
        watched was = S.watch[k];
        look(&S.watch[k]);
        const watched &now = S.watch[k];
        if (now.ino && (now.ino != was.ino || now.size != was.size || now.mtime != was.mtime)) webdownload(now.path);
    }
}

// === the pass ===
static void pointer(void) { mousx = unscale(S.px), mousy = unscale(S.py); }

int32_t breath(void) {
    if (!S.buf) return 1;
    bstatus &= ~S.lateup;
    S.lateup = S.pressed = 0;
    if (S.pastekey && emscripten_get_now() - S.pasteat > 250) keyput(S.pastekey), S.pastekey = 0;  // no paste event came
    shkeystatus = S.mods & (KEYSHIFT | KEYCTRL | KEYOPTION | KEYCOMMAND);
    pointer();
    const double now = emscripten_get_now();
    if (now - S.looked > 200) S.looked = now, downloads();  // a look at the files costs a pass 5 %
    if (now - S.synced > 5000) {  // the settings and the recovery copy into the browser's storage
        S.synced = now;
        if (S.keep) S.keep();
        webstore();
    }
    return S.quitit;
}

void quitloop(void) { S.quitit = 1; }
void quitcancel(void) { S.quitit = 0; }
void settitle(const char *title) { webtitle(title ? title : ""); }

void readkeyboard(void) {
    static const uint8_t none[256] = {0};
    keysync(ActiveApp ? S.held : none, S.okeys, hid2pc, 256);
}

int32_t startdirectdraw(intptr_t *f, int32_t *p, int32_t *x, int32_t *y) {
    *f = (intptr_t)S.buf, *p = xres * 4, *x = S.buf ? xres : 0, *y = S.buf ? yres : 0;
    return 1;
}

void stopdirectdraw(void) {}

void nextpage(void) {
    if (!S.buf) return;
    const size_t n = (size_t)xres * yres;
    for (size_t i = 0; i < n; i++) {  // 0x00RRGGBB to bytes R, G, B, 255 in memory
        const uint32_t v = S.buf[i];
        S.rgba[i] = 0xFF000000u | (v & 0xFF) << 16 | (v & 0xFF00) | (v >> 16 & 0xFF);
    }
    webshow((const uint8_t *)S.rgba, xres, yres);
}

double vlock(void) { return (emscripten_get_now() - S.t0) * 0.001; }

void Sleep(int32_t) {}  // the page's frames pace the loop; a pass never blocks

void setcurs(int32_t kind) {
    if (kind < 0 || kind > 8) kind = CURS_ARROW;
    if (kind != S.cursor) webcursor(kind), S.cursor = kind;
}

void SysBeep(int32_t) { webbeep(); }

// === the loop ===
static int32_t (*loop)(void);
static void (*loopend)(void);

static double passms[64];  // durations of the last passes, for webpassms
static int32_t numpasses;

// the median time of the program's last 64 passes, ms (the page's speed
// check; the median, as the browser's own work now and then delays one)
extern "C" EMSCRIPTEN_KEEPALIVE double webpassms(void) {
    const int32_t n = numpasses < 64 ? numpasses : 64;
    double t[64];
    memcpy(t, passms, sizeof(double) * (size_t)n);
    std::sort(t, t + n);
    return n ? t[n / 2] : 0;
}

static void webpass(void) {
    const double t = emscripten_get_now();
    const int32_t more = loop();
    passms[numpasses++ & 63] = emscripten_get_now() - t;
    if (more) return;
    emscripten_cancel_main_loop();
    loopend();
    webended();
}

void runloop(int32_t (*pass)(void), void (*keep)(void), void (*end)(void)) {
    loop = pass, loopend = end, S.keep = keep;
    emscripten_set_main_loop(webpass, 0, 1);
}

// === dialogs ===
static void dialogdone(void) {
    memset(S.held, 0, sizeof S.held);
    S.mods = 0;
}

void msgbox_ok(const char *text, const char *title) {
    (void)title;
    EM_ASM({ alert(UTF8ToString($0)); }, text ? text : "");
    dialogdone();
}

int32_t msgbox_yesno(const char *text, const char *title) {
    (void)title;
    const int32_t yes = EM_ASM_INT({ return confirm(UTF8ToString($0)) ? 1 : 0; }, text ? text : "");
    dialogdone();
    return yes;
}

int32_t msgbox_ask(const char *text, const char *title, const char *const *buttons, int32_t n) {
    if (n < 1) return -1;
    char names[512];
    int32_t at = 0;
    for (int32_t i = 0; i < n && at < (int32_t)sizeof names; i++)
        at += snprintf(names + at, sizeof names - at, "%s%s", i ? "\n" : "", buttons[i]);
    S.indialog = 1;
    int32_t id = webask(text ? text : "", title ? title : "", names);
    S.indialog = 0;
    dialogdone();
    return id < 0 || id >= n ? n - 1 : id;
}

char *loadfileselect(const char *title, const char *pattern) {
    (void)title;
    char *result = nullptr;
    if (S.pendingopen[0]) {
        snprintf(S.loadpath, sizeof S.loadpath, "%s", S.pendingopen);
        S.pendingopen[0] = 0;
        result = S.loadpath;
    } else {
        char accept[64] = "";
        pattern = patternleaf(pattern);  // the page's chooser picks its own folder
        if (pattern && pattern[0] == '*' && pattern[1] == '.') snprintf(accept, sizeof accept, "%s", pattern + 1);
        S.indialog = 1;
        char *p = webchoose(accept);
        S.indialog = 0;
        if (p && absolutepath(S.loadpath, LOADPATHSIZ, p)) result = S.loadpath;
        free(p);
    }
    if (result) watchfile(result);  // a later save of it is a download
    dialogdone();
    return result;
}

// The name is asked for (the proposed one offered); the file goes to the
// page's files folder, and its download starts once the program wrote it. A
// name typed without an extension may be written with the proposed name's
// (a circuit's ".vsm"), so that file is watched too.
char *savefileselect(const char *title, const char *name) {
    const char *base = name ? strrchr(name, '/') : nullptr;
    base = base ? base + 1 : name ? name : "";
    if (strpbrk(base, "*?")) base = "";  // a pattern proposes no name
    char *typed = (char *)(intptr_t)EM_ASM_INT({
        const t = prompt(UTF8ToString($0), UTF8ToString($1));
        return t ? allocateUTF8(t) : 0;
    }, title ? title : "Save as", base);
    char *result = nullptr;
    if (typed && typed[0]) {
        char path[SAVEPATHSIZ + 32];
        const char *leaf = strrchr(typed, '/');
        snprintf(path, sizeof path, "/home/web_user/files/%s", leaf ? leaf + 1 : typed);
        mkdir("/home/web_user/files", 0777);
        if (absolutepath(S.savepath, SAVEPATHSIZ, path)) result = S.savepath;
    }
    free(typed);
    if (result) {
        watchfile(result);
        const char *leaf = strrchr(result, '/'), *ext = strrchr(base, '.');
        char also[SAVEPATHSIZ + 32];
        const int32_t bare = ext && !strchr(leaf ? leaf : result, '.');
        if (bare && snprintf(also, sizeof also, "%s%s", result, ext) < (int)sizeof also) watchfile(also);
    }
    dialogdone();
    return result;
}

// === clipboard ===
int32_t clipboard_write(const char *data, int32_t len) {
    if (len < 0 || (len && !data)) return 0;
    char *c = (char *)malloc((size_t)len + 1);
    if (!c) return 0;
    if (len) memcpy(c, data, (size_t)len);
    c[len] = 0;
    free(S.clip);
    S.clip = c, S.clipn = (int32_t)strlen(c);
    webclipwrite(c);
    return 1;
}

char *clipboard_read(int32_t *len) {
    *len = 0;
    if (!S.clip || !S.clipn) return nullptr;
    char *c = (char *)malloc((size_t)S.clipn + 1);
    if (c) memcpy(c, S.clip, (size_t)S.clipn + 1), *len = S.clipn;
    return c;
}

// input.cpp: the frame's input globals and the parts of input handling both
// backends share: key FIFO, key map from USB usage ids to PC scan codes, the
// character of a key, the held-key snapshot, the sleep tick rule, dialog paths.
// Depends on frame.h and backend.h only. Characters follow a US layout; the
// window backend corrects them from the window system's text where it can.
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include "frame/backend.h"

// === globals ===
static int32_t restx, resty;  // pointer motion below one buffer pixel, window pixels
int32_t xres = 800, yres = 600;
int32_t uiscale = 0;
int32_t pixscale = 1;
const char *prognam = "velto";
int32_t mousx, mousy;
int32_t dmousx, dmousy, dmousz;
int32_t bstatus;
int32_t ActiveApp;
uint8_t keystatus[256];
int32_t shkeystatus;
int32_t keyfif[KEYFIFSIZ];
uint32_t keyfifr, keyfifw;

// === key map ===
// Row by row: usage ids 0x00..0xFF. Letters 0x04.., digits 0x1E.., controls and
// punctuation 0x28.., F1..F12 0x3A.., navigation 0x46.., keypad 0x53..,
// ISO key 0x64, menu key 0x65, international keys 0x87..0x8B, modifiers 0xE0..
// Pause has no E0 form; it gets SC_PAUSE (0x45 + 0x80), as most PC programs see it.
// The international keys 0x87..0x8B keep their bare codes: the program names none.
const uint8_t hid2pc[256] = {
    0, 0, 0, 0, SC_A, SC_B, SC_C, SC_D,  // 00
    SC_E, SC_F, SC_G, SC_H, SC_I, SC_J, SC_K, SC_L,  // 08
    SC_M, SC_N, SC_O, SC_P, SC_Q, SC_R, SC_S, SC_T,  // 10
    SC_U, SC_V, SC_W, SC_X, SC_Y, SC_Z, SC_1, SC_2,  // 18
    SC_3, SC_4, SC_5, SC_6, SC_7, SC_8, SC_9, SC_0,  // 20
    SC_RETURN, SC_ESCAPE, SC_BACKSPACE, SC_TAB, SC_SPACE, SC_MINUS, SC_EQUALS, SC_LBRACKET,  // 28
    SC_RBRACKET, SC_BACKSLASH, SC_BACKSLASH, SC_SEMICOLON, SC_APOSTROPHE, SC_GRAVE, SC_COMMA, SC_PERIOD,  // 30
    SC_SLASH, SC_CAPSLOCK, SC_F1, SC_F2, SC_F3, SC_F4, SC_F5, SC_F6,  // 38
    SC_F7, SC_F8, SC_F9, SC_F10, SC_F11, SC_F12, SC_PRINTSCREEN, SC_SCROLLLOCK,  // 40
    SC_PAUSE, SC_INSERT, SC_HOME, SC_PGUP, SC_DELETE, SC_END, SC_PGDN, SC_RIGHT,  // 48
    SC_LEFT, SC_DOWN, SC_UP, SC_NUMLOCK, SC_KPDIVIDE, SC_KPMULTIPLY, SC_KPMINUS, SC_KPPLUS,  // 50
    SC_KPENTER, SC_KP1, SC_KP2, SC_KP3, SC_KP4, SC_KP5, SC_KP6, SC_KP7,  // 58
    SC_KP8, SC_KP9, SC_KP0, SC_KPPERIOD, SC_ISOKEY, SC_MENU, 0, 0,  // 60
    0, 0, 0, 0, 0, 0, 0, 0,  // 68
    0, 0, 0, 0, 0, 0, 0, 0,  // 70
    0, 0, 0, 0, 0, 0, 0, 0,  // 78
    0, 0, 0, 0, 0, 0, 0, 0x73,  // 80
    0x70, 0x7D, 0x79, 0x7B, 0, 0, 0, 0,  // 88
    0, 0, 0, 0, 0, 0, 0, 0,  // 90
    0, 0, 0, 0, 0, 0, 0, 0,  // 98
    0, 0, 0, 0, 0, 0, 0, 0,  // A0
    0, 0, 0, 0, 0, 0, 0, 0,  // A8
    0, 0, 0, 0, 0, 0, 0, 0,  // B0
    0, 0, 0, 0, 0, 0, 0, 0,  // B8
    0, 0, 0, 0, 0, 0, 0, 0,  // C0
    0, 0, 0, 0, 0, 0, 0, 0,  // C8
    0, 0, 0, 0, 0, 0, 0, 0,  // D0
    0, 0, 0, 0, 0, 0, 0, 0,  // D8
    SC_LCTRL, SC_LSHIFT, SC_LALT, SC_LSUPER, SC_RCTRL, SC_RSHIFT, SC_RALT, SC_RSUPER,  // E0
    0, 0, 0, 0, 0, 0, 0, 0,  // E8
    0, 0, 0, 0, 0, 0, 0, 0,  // F0
    0, 0, 0, 0, 0, 0, 0, 0,  // F8
};

// Characters of usage ids 0x1E..0x38 (digits, controls, punctuation), plain and shifted.
static const char uschars[] = "1234567890\r\x1b\b\t -=[]\\\\;'`,./";
static const char usshift[] = "!@#$%^&*()\r\x1b\b\t _+{}||:\"~<>?";

int32_t keychar(int32_t hid, int32_t mods) {
    int32_t shift = (mods & KEYSHIFT) != 0;
    if (hid >= 0x04 && hid <= 0x1D) {                       // letters: shift and caps lock cancel
        int32_t upper = shift ^ ((mods & KEYCAPS) != 0);
        return (upper ? 'A' : 'a') + hid - 0x04;
    }
    if (hid >= 0x1E && hid <= 0x38) return (uint8_t)(shift ? usshift : uschars)[hid - 0x1E];
    if (hid == 0x4C) return 127;                            // forward delete
    if (hid == 0x64) return shift ? '|' : '\\';             // ISO key beside left shift
    if (hid >= 0x59 && hid <= 0x61) return '1' + hid - 0x59;  // keypad digits (no num-lock state)
    switch (hid) {
    case 0x54: return '/';
    case 0x55: return '*';
    case 0x56: return '-';
    case 0x57: return '+';
    case 0x58: return 13;
    case 0x62: return '0';
    case 0x63: return '.';
    }
    return 0;
}

// One character of UTF-8 as the program takes it: printable ASCII as it is,
// the micro sign (U+00B5, U+03BC) as u, the suffix it stands for, any other
// as none, so that a key the program cannot show never types the character
// of its place on a US keyboard (AZERTY's e acute is not a 2). -1 when text
// is not one character (a key's name, as "Enter").
int32_t typedchar(const char *text) {
    const unsigned char c = (unsigned char)text[0];
    if (!c) return -1;
    if (c < 0x80) return text[1] ? -1 : c >= 0x20 && c <= 0x7E ? c : 0;
    if (!strcmp(text, "\xC2\xB5") || !strcmp(text, "\xCE\xBC")) return 'u';
    int32_t k = 1;
    while (((unsigned char)text[k] & 0xC0) == 0x80) k++;
    return text[k] ? -1 : 0;
}

// === key FIFO ===
int32_t ctrlascommand(int32_t scan, int32_t ch) {
    if (ch >= 'A' && ch <= 'Z') ch += 'a' - 'A';
    if (ch == 'q' || ch == 'o' || ch == 'm' || ch == '/' || ch == '?') return 1;
    if (ch) return 0;
    return scan == SC_Q || scan == SC_O || scan == SC_M || scan == SC_SLASH;
}

int32_t keyentry(int32_t scan, int32_t ch, int32_t mods) {
    ch &= 255;
    int32_t pass = (ch >= 0x20 && ch <= 0x7F) || ch == 8 || ch == 9 || ch == 10 || ch == 13 || ch == 27;
    if (!pass) ch = 0;
    mods &= KEYSHIFT | KEYCTRL | KEYOPTION | KEYCOMMAND;
    if ((mods & KEYCTRL) && !(mods & KEYCOMMAND) && ctrlascommand(scan & 255, ch))
        mods |= KEYCOMMAND;                                  // Control stands in for Command here
    return ch | (scan & 255) << 8 | mods;
}

void keyput(int32_t entry) {
    if (keyfifw - keyfifr > KEYFIFSIZ - 1) return;         // full: the key is dropped
    keyfif[keyfifw & (KEYFIFSIZ - 1)] = entry;
    keyfifw++;
}

int32_t keyread(void) {
    if ((int32_t)(keyfifw - keyfifr) <= 0) return 0;
    int32_t k = keyfif[keyfifr & (KEYFIFSIZ - 1)];
    keyfifr++;
    return k;
}

// === held keys ===
int32_t ctrlheld(void) { return keystatus[SC_LCTRL] || keystatus[SC_RCTRL]; }
int32_t shiftheld(void) { return keystatus[SC_LSHIFT] || keystatus[SC_RSHIFT]; }

void keysync(const uint8_t *held, uint8_t *okeys, const uint8_t *map, int32_t n) {
    for (int32_t i = 0; i < n; i++) {
        if (held[i] == okeys[i]) continue;                  // only changes are written
        keystatus[map ? map[i] : i] = held[i];
        okeys[i] = held[i];
    }
}

void keyreset(void) {
    keyfifr = keyfifw = 0;
    memset(keystatus, 0, sizeof(keystatus));
    shkeystatus = 0;
    dmousx = dmousy = dmousz = 0;
    restx = resty = 0;
    bstatus = 0;
}

// === scale ===

static int32_t floordiv(int32_t v, int32_t k) { return v >= 0 ? v / k : -((-v + k - 1) / k); }

int32_t unscale(int32_t v) { return floordiv(v, pixscale > 0 ? pixscale : 1); }

void addmotion(int32_t dx, int32_t dy) {
    const int32_t k = pixscale > 0 ? pixscale : 1;
    restx += dx, resty += dy;
    const int32_t mx = floordiv(restx, k), my = floordiv(resty, k);
    dmousx += mx, dmousy += my;
    restx -= mx * k, resty -= my * k;
}

// === clock ===
int32_t sleepticks(int32_t ms) {
    if (ms <= 0) return 0;
    if (ms > 524286) return 2147483647;
    int32_t ticks = (ms * 3932) >> 16;                      // ms * 60 / 1000, rounded down
    return ticks < 1 ? 1 : ticks;
}

// === dialog paths ===
const char *patternleaf(const char *pattern) {
    const char *slash = pattern ? strrchr(pattern, '/') : nullptr;
    return slash ? slash + 1 : pattern;
}

int32_t absolutepath(char *dst, int32_t siz, const char *path) {
    if (!path || !path[0]) return 0;
    const char *head = "";
    char cwd[PATH_MAX];
    if (path[0] == '~' && (path[1] == '/' || !path[1])) {  // home folder
        head = getenv("HOME");
        if (!head) return 0;
        path++;
    } else if (path[0] != '/') {
        if (!getcwd(cwd, sizeof(cwd))) return 0;
        head = cwd;
        if (strcmp(cwd, "/")) {
            size_t n = strlen(cwd);
            if (n + 1 >= sizeof(cwd)) return 0;
            cwd[n] = '/', cwd[n + 1] = 0;
        }
    }
    size_t nh = strlen(head), np = strlen(path);
    if (nh + np + 1 > (size_t)siz) return 0;                // too long: no truncated path
    memcpy(dst, head, nh);
    memcpy(dst + nh, path, np + 1);
    return 1;
}

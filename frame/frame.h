// frame.h: the application frame, the program's only contact with the window
// system: window and frame buffer, input, clock, dialogs, clipboard, cursor,
// beep; plus the drawing primitives and the program's palette.
// Three backends define the functions below: a window (velto), a web page
// and a headless one driven by a script (tests). Nothing here names the platform.
#pragma once
#include <stdint.h>

// === buffer descriptor ===
struct tiletype {
    intptr_t f;     // address of pixel (0,0)
    int32_t p;      // bytes per row
    int32_t x, y;   // width, height in pixels
};

// === window, buffer and clock ===
extern int32_t xres, yres;       // frame-buffer size, pixels; asked for before initapp
extern int32_t uiscale;          // asked for before initapp: 0 as the screen's density calls for,
                                 // 1..4 the window shows each buffer pixel uiscale x uiscale
extern int32_t pixscale;         // in use (initapp): window pixels per buffer pixel, 1..4
extern const char *prognam;      // window title and message-box caption; set before initapp

int32_t initapp(int32_t xres, int32_t yres);  // 1 open; -1 no window could be made
void uninitapp(void);                         // close the window, free the buffer
int32_t breath(void);             // handle pending events; 0 go on; 1 the user asked to quit (the
                                  // program may ask first and call quitcancel); 2 quit now
void quitloop(void);              // the next breath returns 1
void quitcancel(void);            // forget the request to quit: the program goes on
void settitle(const char *title); // the window's title (prognam until set)
int32_t startdirectdraw(intptr_t *f, int32_t *p, int32_t *x, int32_t *y);  // buffer of this pass; 1
void stopdirectdraw(void);        // end of drawing (does nothing)
void nextpage(void);              // show the whole buffer
double vlock(void);               // seconds since initapp, microsecond resolution
void Sleep(int32_t ms);           // give up the processor for ms, in ticks of 1/60 s
void minimizewindow(void);        // minimise the window (Command+M)
void runloop(int32_t (*pass)(void), void (*keep)(void), void (*end)(void));
                                  // pass until it returns 0, then end (a page: one pass a frame,
                                  // and keep whenever it may be closed without end)
void SysBeep(int32_t duration);   // the system alert sound; duration is ignored

// === pointer (in buffer pixels: window pixels divided by pixscale) ===
extern int32_t mousx, mousy;     // pointer relative to the content area; may lie outside (breath)
extern int32_t dmousx, dmousy;   // motion accumulated since the program last reset them
extern int32_t dmousz;           // wheel motion, 120 per step; the consumer resets it
extern int32_t bstatus;          // bit 0 left button held, bit 1 right button held
extern int32_t ActiveApp;        // 1 while the window is the active one

// === keyboard ===
// Scan codes are PC set 1; keys sent with an E0 prefix have 0x80 added.
// A FIFO entry: character bits 0..7, scan code bits 8..15, modifier groups.
enum {
    KEYSHIFT = 0x30000,          // modifier groups of FIFO entries and shkeystatus
    KEYCTRL = 0xC0000,
    KEYOPTION = 0x300000,        // Alt
    KEYCOMMAND = 0xC00000,       // Super; Control+Q, O, M and / also carry it
    KEYCAPS = 0x1000000,         // shkeystatus only
    KEYFIFSIZ = 256,
};
// The scan codes the program names (index of keystatus, bits 8..15 of a FIFO entry).
enum {
    SC_ESCAPE = 0x01, SC_1 = 0x02, SC_2 = 0x03, SC_3 = 0x04, SC_4 = 0x05, SC_5 = 0x06,
    SC_6 = 0x07, SC_7 = 0x08, SC_8 = 0x09, SC_9 = 0x0A, SC_0 = 0x0B, SC_MINUS = 0x0C,
    SC_EQUALS = 0x0D, SC_BACKSPACE = 0x0E, SC_TAB = 0x0F,
    SC_Q = 0x10, SC_W = 0x11, SC_E = 0x12, SC_R = 0x13, SC_T = 0x14, SC_Y = 0x15, SC_U = 0x16,
    SC_I = 0x17, SC_O = 0x18, SC_P = 0x19, SC_LBRACKET = 0x1A, SC_RBRACKET = 0x1B,
    SC_RETURN = 0x1C, SC_LCTRL = 0x1D,
    SC_A = 0x1E, SC_S = 0x1F, SC_D = 0x20, SC_F = 0x21, SC_G = 0x22, SC_H = 0x23, SC_J = 0x24,
    SC_K = 0x25, SC_L = 0x26, SC_SEMICOLON = 0x27, SC_APOSTROPHE = 0x28, SC_GRAVE = 0x29,
    SC_LSHIFT = 0x2A, SC_BACKSLASH = 0x2B,
    SC_Z = 0x2C, SC_X = 0x2D, SC_C = 0x2E, SC_V = 0x2F, SC_B = 0x30, SC_N = 0x31, SC_M = 0x32,
    SC_COMMA = 0x33, SC_PERIOD = 0x34, SC_SLASH = 0x35, SC_RSHIFT = 0x36,
    SC_KPMULTIPLY = 0x37, SC_LALT = 0x38, SC_SPACE = 0x39, SC_CAPSLOCK = 0x3A,
    SC_F1 = 0x3B, SC_F2 = 0x3C, SC_F3 = 0x3D, SC_F4 = 0x3E, SC_F5 = 0x3F, SC_F6 = 0x40,
    SC_F7 = 0x41, SC_F8 = 0x42, SC_F9 = 0x43, SC_F10 = 0x44, SC_F11 = 0x57, SC_F12 = 0x58,
    SC_NUMLOCK = 0x45, SC_SCROLLLOCK = 0x46,
    SC_KP7 = 0x47, SC_KP8 = 0x48, SC_KP9 = 0x49, SC_KPMINUS = 0x4A, SC_KP4 = 0x4B, SC_KP5 = 0x4C,
    SC_KP6 = 0x4D, SC_KPPLUS = 0x4E, SC_KP1 = 0x4F, SC_KP2 = 0x50, SC_KP3 = 0x51, SC_KP0 = 0x52,
    SC_KPPERIOD = 0x53, SC_KPENTER = 0x9C, SC_KPDIVIDE = 0xB5,
    SC_RCTRL = 0x9D, SC_RALT = 0xB8, SC_LSUPER = 0xDB, SC_RSUPER = 0xDC, SC_MENU = 0xDD,
    SC_ISOKEY = 0x56, SC_PRINTSCREEN = 0xB7, SC_PAUSE = 0xC5,
    SC_HOME = 0xC7, SC_UP = 0xC8, SC_PGUP = 0xC9, SC_LEFT = 0xCB, SC_RIGHT = 0xCD,
    SC_END = 0xCF, SC_DOWN = 0xD0, SC_PGDN = 0xD1, SC_INSERT = 0xD2, SC_DELETE = 0xD3,
};
extern uint8_t keystatus[256];   // 1 while the key is held (readkeyboard); the program may clear entries
extern int32_t shkeystatus;      // modifier groups held now, plus KEYCAPS (breath)
extern int32_t keyfif[KEYFIFSIZ];  // typed keys, slot = counter & 255
extern uint32_t keyfifr, keyfifw;  // read and write counters; they only grow

void readkeyboard(void);          // refresh keystatus from the held keys; all released while inactive
int32_t keyread(void);            // oldest FIFO entry, or 0 when empty
int32_t ctrlheld(void);           // 1 while either Control key is held (keystatus)
int32_t shiftheld(void);          // 1 while either Shift key is held (keystatus)

// === dialogs and clipboard ===
void msgbox_ok(const char *text, const char *title);
int32_t msgbox_yesno(const char *text, const char *title);  // 1 "Yes"; 0 "No" or "Cancel"
int32_t msgbox_ask(const char *text, const char *title, const char *const *buttons, int32_t n);
                                  // n buttons left to right: the index chosen; the last one
                                  // answers Escape and a box that could not be shown
char *loadfileselect(const char *title, const char *pattern);  // pattern: "*.VSM", or with the
                                  // folder to start in before it: "/home/me/circuits/*.VSM"
char *savefileselect(const char *title, const char *name);     // name: proposed path or pattern
                                  // both: absolute path in a static buffer, or null (cancelled)
int32_t clipboard_write(const char *data, int32_t len);  // 1 written, 0 not
char *clipboard_read(int32_t *len);  // malloc'ed text of *len bytes plus a zero, or null (free it)

// === cursor ===
enum {
    CURS_ARROW, CURS_PLUS, CURS_IBEAM, CURS_CROSS, CURS_HAND,
    CURS_SIZEWE, CURS_SIZENS, CURS_SIZENWSE, CURS_SIZENESW,
};
void setcurs(int32_t kind);       // 0..8 as above

// === the frame's drawing set: explicit target, colour 0x00RRGGBB ===
void drawpix(tiletype *t, int32_t x, int32_t y, int32_t c);
void drawhlin(tiletype *t, int32_t x0, int32_t x1, int32_t y, int32_t c);        // x1 excluded
void drawrectfill(tiletype *t, int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t c);
void drawline(tiletype *t, float x0, float y0, float x1, float y1, int32_t c);  // end excluded
void drawcirc(tiletype *t, int32_t cx, int32_t cy, int32_t r, int32_t c);
void drawcircfill(tiletype *t, int32_t cx, int32_t cy, int32_t r, int32_t c);
void print6x8(tiletype *t, int32_t x, int32_t y, int32_t fcol, int32_t bcol, const char *fmt, ...)
    __attribute__((format(printf, 6, 7)));  // bcol < 0: transparent

// === the program's drawing state: target gdd, colours by palette index ===
// Palette indices by name; their colours are the table ovpal (draw.cpp).
// Entries 0..9 are shades no screen draws with.
enum {
    // the sixteen PC text colours, PAL_BLACK + k for text colour k 0..15;
    // PAL_BLACK is also the background
    PAL_BLACK = 10, PAL_BLUE = 11, PAL_GREEN = 12, PAL_CYAN = 13,
    PAL_RED = 14, PAL_MAGENTA = 15, PAL_BROWN = 16, PAL_LIGHTGREY = 17,
    PAL_DARKGREY = 18, PAL_LIGHTBLUE = 19, PAL_LIGHTGREEN = 20, PAL_LIGHTCYAN = 21,
    PAL_LIGHTRED = 22, PAL_LIGHTMAGENTA = 23, PAL_YELLOW = 24, PAL_WHITE = 25,
    // the plot windows' title-bar buttons, chosen by a pixel's blue byte (clut_0)
    PAL_BUTTONDARK = 26,         // 0x40: outer shadow, bottom and right
    PAL_BUTTONSHADOW = 27,       // 0x80: inner shadow
    PAL_BUTTONFACE = 28,         // 0xC8: face and outer light edge
    PAL_BUTTONLIGHT = 29,        // 0xFF: inner light edge, top and left
    PAL_BUTTONHIGHLIGHT = 30,    // 0xF0: highlight; the present button pictures have none
    // the element help picture, chosen by a pixel's blue byte (the main loop's clut)
    PAL_HELPCAPTION = 31,        // 0xC0: captions, marks of a current control (teal)
    PAL_HELPRULE = 32,           // 0xAA: dotted rules between the rows, the dummy wire (grey)
    PAL_HELPKEY = 33,            // 0x40: key letters, signs of a voltage control and the op-amp (olive)
    PAL_HELPSYMBOL = 34,         // 0xD5: element bodies and their signs (light grey)
    PAL_HELPWIRE = 35,           // 0x55: leads, wires, switch, link of a voltage control (red)
    // the menu
    PAL_MENUTEXT = 36,           // entry text
    PAL_MENUDARK = 37,           // dark edge: frame bottom and right, separator line
    PAL_MENUHIGHLIGHT = 38,      // behind the selected entry
    PAL_MENUFACE = 39,           // background
    PAL_MENULIGHT = 40,          // light edge: frame top and left, separator line
    PAL_MENUACCEL = 41,          // the accelerator letter of an entry
    PALSIZ = 42,
};
extern tiletype gdd;             // the program's view of the buffer (startdirectdraw each pass)
extern int32_t colbits;          // bits per pixel; 32
extern int32_t colbytes;         // (colbits + 7) >> 3
extern void (*drawpixp)(int32_t x, int32_t y, int32_t c);  // writer for colbytes
extern uint32_t vpal[PALSIZ];    // live palette 0x00RRGGBB, copied from ovpal every pass
extern uint32_t ovpal[PALSIZ];   // reference palette; PAL_BLACK..PAL_WHITE the sixteen PC text colours

void drawpix8(int32_t x, int32_t y, int32_t c);
void drawpix16(int32_t x, int32_t y, int32_t c);
void drawpix24(int32_t x, int32_t y, int32_t c);
void drawpix32(int32_t x, int32_t y, int32_t c);
int32_t getpixpal(int32_t x, int32_t y);  // 0..15: nearest standard colour to the pixel

// frame.h: the application frame, the program's only contact with the window
// system: window and frame buffer, input, clock, dialogs, clipboard, cursor,
// beep; plus the drawing primitives and the program's palette.
// Two backends define the functions below: a window (velto) and a headless
// one driven by a script (tests, veltocli). Nothing here names the platform.
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
extern uint8_t keystatus[256];   // 1 while the key is held (readkeyboard); the program may clear entries
extern int32_t shkeystatus;      // modifier groups held now, plus KEYCAPS (breath)
extern int32_t keyfif[KEYFIFSIZ];  // typed keys, slot = counter & 255
extern uint32_t keyfifr, keyfifw;  // read and write counters; they only grow

void readkeyboard(void);          // refresh keystatus from the held keys; all released while inactive
int32_t keyread(void);            // oldest FIFO entry, or 0 when empty

// === dialogs and clipboard ===
void msgbox_ok(const char *text, const char *title);
int32_t msgbox_yesno(const char *text, const char *title);  // 1 "Yes"; 0 "No" or "Cancel"
int32_t msgbox_ask(const char *text, const char *title, const char *const *buttons, int32_t n);
                                  // n buttons left to right: the index chosen; the last one
                                  // answers Escape and a box that could not be shown
char *loadfileselect(const char *title, const char *pattern);  // pattern: "*.VSM"
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
enum { PALSIZ = 42 };
extern tiletype gdd;             // the program's view of the buffer (startdirectdraw each pass)
extern int32_t colbits;          // bits per pixel; 32
extern int32_t colbytes;         // (colbits + 7) >> 3
extern void (*drawpixp)(int32_t x, int32_t y, int32_t c);  // writer for colbytes
extern uint32_t vpal[PALSIZ];    // live palette 0x00RRGGBB, copied from ovpal every pass
extern uint32_t ovpal[PALSIZ];   // reference palette; 10..25 the sixteen PC text colours

void drawpix8(int32_t x, int32_t y, int32_t c);
void drawpix16(int32_t x, int32_t y, int32_t c);
void drawpix24(int32_t x, int32_t y, int32_t c);
void drawpix32(int32_t x, int32_t y, int32_t c);
int32_t getpixpal(int32_t x, int32_t y);  // 0..15: nearest standard colour to the pixel

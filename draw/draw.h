// draw.h: what every screen of the program draws with and reads: the
// per-pass clock and mouse, the keys as the rooms above read them, the view
// transform world <-> screen, line routines, number formatting, text in the
// bitmap fonts and the embedded pictures. Sits on the frame and the image
// decoder; the editor and the plot windows sit on it.
#pragma once
#include <stdint.h>
#include "frame/frame.h"        // tiletype, gdd, keys
#include "settings/settings.h"  // NUMFONTS

// === the program ===
extern const char *veltoversion;  // "1.0": the about box, --version

// === per-pass state (the main loop writes it at the start of each pass) ===
extern double dtotclk;         // clock at the start of this pass, seconds (vlock)
extern double odtotclk;        // the same for the previous pass
extern double deltim;          // dtotclk - odtotclk: held keys scroll and zoom by it
extern double oldtim;          // clock at the last animation tick
extern int32_t numframes;      // animation ticks, 80 a second, from INT32_MIN; blinking uses its bits
extern float frmousx, frmousy; // mouse movement in this pass (from dmousx, dmousy)
extern float fmousx, fmousy;   // mouse position in this pass
extern int32_t obstatus;       // bstatus of the previous pass: a press is set now and clear then
extern int32_t backgroundcol;  // 0x00RRGGBB; its red byte tints the background of an unsolvable circuit

// === keys as the program reads them ===
// The program installs its program-wide keys (the menu, file commands, help,
// capture) as keyfilter; every consumer reads its keys through mykeyread, so
// those keys work wherever the focus is.
extern int32_t (*keyfilter)(int32_t k);  // 0: k is the caller's; 1 taken; 2 taken, and the
                               // caller reads no more keys in this pass (null: nothing taken)
extern int32_t (*keysowned)(void);  // 1 while an overlay (the menu) owns the keyboard (null: never)
int32_t mykeyread(void);       // next key entry for the caller, 0 none (or while owned)
int32_t keyheld(int32_t scan); // keystatus[scan], 0 while an overlay owns the keyboard

// === view transform: screen = world * fsscale + offset ===
extern float fsscale;          // zoom, power of two 0.125..8; start 1
extern float frscale;          // 1 / fsscale
extern int32_t ilscale;        // log2(fsscale), -3..3
extern float fsxoff, fsyoff;   // screen offset of world (0, 0), pixels
extern int32_t isxoff, isyoff; // the same truncated to integers (hit tests, snapping)
double screenx(double x);      // screen column of world x
double screeny(double y);
int32_t worldx(int32_t sx);    // world x under screen column sx (single precision, not snapped)
int32_t worldy(int32_t sy);
void viewreset(void);          // zoom 1, world (0, 0) at the screen's corner

// === plot line routines ===
// Solid, patterned and marching-dash lines through drawpixp (frame.h) with
// palette colours, for plots and the schematic. Half-open along the major
// axis; the minor coordinate is stepped in 12.20 fixed point from pixel
// centres of the major axis. Only the stretch inside gdd is walked, so
// far-off end points cost nothing.
extern double movetoposx, movetoposy;   // pen: end point of the last line routine
void line(double x0, double y0, double x1, double y1, int32_t col);
void dotline2d(double x0, double y0, double x1, double y1, int32_t col, uint32_t pattern);
                                        // pixel at major coordinate c only if bit c & 31 is set
void dotline(double x0, double y0, double x1, double y1, int32_t col0, int32_t col1, int32_t phase);
                                        // dashes 0x000F000F in col1 marching towards (x1, y1) as
                                        // phase grows; phase < 0: plain line in col0
void lineto(double x, double y, int32_t col);  // line from the pen, pen moves to (x, y)

// === number formatting ===
extern char gnumstr[16];            // fstr's result, overwritten by the next call
extern const int32_t tenpow[10];    // 1, 10, .. 1e9: digit picking

char *fstr(double x);               // " 1.5", "-.25", " 1.2345E-04", " NAN"; sign position first
char *ltrim(char *p);               // skips one leading blank: ltrim(fstr(x)) is the shown number
enum { ENGDIGITS = 4 };             // significant digits of a shown number (a grid label may take more)
int32_t engstr(char *out, int32_t n, double v, const char *unit, char micro, int32_t digits);
                                    // v in engineering form with an SI prefix and unit into out, digits
                                    // significant ones (1..17; 4: "1.57 kHz", "-47.02 mV"; unit "": "1k");
                                    // micro: the sign of 10^-6
                                    // (0xE6 in a code page 437 font, else 'u'); snprintf's count

// === text ===

extern tiletype font[NUMFONTS];     // decoded strips, one glyph wide, 256 tall; f 0 when not decoded

// one line at (x, y) of gdd in font 0..9; fg, bg palette colours, -1 transparent;
// fmt "" draws the next argument, a string, as it is; fmt null draws nothing
void drawtext(int32_t fnt, int32_t x, int32_t y, int32_t fg, int32_t bg, const char *fmt, ...);
extern void (*textnote)(const tiletype *t, int32_t x, int32_t y, int32_t w, int32_t h);
                                    // null, or told the box of each text drawn into tile t (tests)
int32_t fonttext(char *out, const char *s, int32_t len);  // UTF-8 s[0..len) (a file name) as the fonts'
                                    // code page 437 into out: a character it lacks '?', a byte that
                                    // starts no UTF-8 character kept; bytes written, at most len

// === embedded pictures ===
// PNG files carried in the program (assets/*.png, turned into arrays at build
// time); start-up decodes them into tiletype images.
extern const unsigned char vasc_4x6_png[], vasc_6x8_png[], vasc_6x10_png[], vasc_7x12_png[],
    vasc_8x12_png[], vasc_8x13_png[], vasc_8x14_png[], vasc_8x15_png[], vasc_9x16_png[],
    vasc_12x16_png[];
extern const int32_t vasc_4x6_png_size, vasc_6x8_png_size, vasc_6x10_png_size,
    vasc_7x12_png_size, vasc_8x12_png_size, vasc_8x13_png_size, vasc_8x14_png_size,
    vasc_8x15_png_size, vasc_9x16_png_size, vasc_12x16_png_size;
extern const unsigned char veltohlp_png[];    // element help picture, 84x552, 4-bit palette
extern const int32_t veltohlp_png_size;
extern const unsigned char winminmaxx_png[];  // title-bar buttons of a normal window, 50x14
extern const int32_t winminmaxx_png_size;
extern const unsigned char winminnorx_png[];  // the same for a maximised or minimised window
extern const int32_t winminnorx_png_size;

struct fonttype {                   // one row of fontlist
    const unsigned char *png;       // embedded strip: one glyph wide, 256 glyphs tall
    int32_t leng;                   // its bytes
    int32_t width, height;          // glyph cell, pixels
    int32_t extchars;               // 1: 0x80..0xFF are code page 437 (0xB3 bar, 0xF8 degree, 0xEC infinity)
};
extern const fonttype fontlist[NUMFONTS];  // 4x6, 6x8, 6x10, 7x12, 8x12, 8x13, 8x14, 8x15, 9x16, 12x16

// === decoded pictures ===
extern tiletype winminmaxx;         // title-bar buttons of a normal window, 50x14
extern tiletype winminnorx;         // the same for a maximised or minimised window
extern tiletype veltohlp;           // element help picture, 84x552
void decodepictures(void);          // fonts and pictures from the embedded PNGs; f 0 where it failed
void freepictures(void);

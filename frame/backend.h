// backend.h: what the two frame backends share and the program does not use:
// the key map, the key-entry builder, the FIFO writer, the held-key snapshot,
// the sleep tick rule and path resolution. Tests include it as well.
#pragma once
#include <stdint.h>
#include "frame/frame.h"

// === keys ===
extern const uint8_t hid2pc[256];  // USB HID usage id (as the window layer reports keys) -> PC scan code; 0 none

int32_t keychar(int32_t hid, int32_t mods);      // character of a key on a US layout with shift/caps; 0 none
int32_t typedchar(const char *text);             // the character a layout produced (UTF-8) as typed:
                                                 // ASCII, u for micro, 0 other; -1 not one character
int32_t ctrlascommand(int32_t scan, int32_t ch); // 1: Control+this key also means Command (Q O M /)
int32_t keyentry(int32_t scan, int32_t ch, int32_t mods);  // FIFO entry: character filtered, modifiers grouped
void keyput(int32_t entry);                      // append to the FIFO; dropped when it holds 256 entries
void keysync(const uint8_t *held, uint8_t *okeys, const uint8_t *map, int32_t n);
                                                 // keystatus[map[i]] = held[i] for every i that changed
void keyreset(void);                             // empty FIFO, every key released, modifiers and mouse cleared

// === scale ===
enum { SCALEMAX = 4 };
int32_t unscale(int32_t v);                      // a window coordinate in buffer pixels (rounded down)
void addmotion(int32_t dx, int32_t dy);          // window-pixel motion into dmousx/dmousy, the
                                                 // remainder below one buffer pixel kept

// === clock ===
int32_t sleepticks(int32_t ms);  // ticks of 1/60 s: 0 for ms <= 0, 2147483647 above 524286, else >= 1

// === dialogs ===
const char *patternleaf(const char *pattern);    // a load pattern without its folder: "*.VSM"
enum { LOADPATHSIZ = 260, SAVEPATHSIZ = 288 };
int32_t absolutepath(char *dst, int32_t siz, const char *path);  // 1 written; 0 empty or too long

// headless.h: the script a test gives the headless frame. Input events queue
// up in order and breath delivers them, up to the next hl_pass marker, one
// batch per pass. Dialogs answer from their own queues; the clock is virtual
// and advances hl_setstep microseconds per breath, plus what Sleep waits.
#pragma once
#include <stdint.h>
#include "frame/frame.h"

// === set-up ===
void hl_reset(void);                  // close the frame; empty script, answers, clipboard, counters
void hl_failinit(int32_t on);         // 1: initapp returns -1 (as with no display)
void hl_setstep(int32_t us);          // clock advance per breath; default 16667 us
void hl_maxpasses(int32_t n);         // breath returns 2 from pass n on (safety net); default 100000

// === input script (delivered by breath, in order) ===
void hl_key(int32_t scan, int32_t ch, int32_t mods);  // one typed key (FIFO entry); mods as KEYSHIFT..
void hl_type(const char *text);       // typed keys for printable ASCII text on a US layout
void hl_keydown(int32_t scan);        // key pressed and held (keystatus after readkeyboard)
void hl_keyup(int32_t scan);          // key released
void hl_mods(int32_t mods);           // shkeystatus from now on
void hl_mouse(int32_t x, int32_t y);  // pointer moves there (window pixels: the buffer's times
                                      // pixscale); dmousx/dmousy gain the motion
void hl_button(int32_t mask);         // bstatus becomes mask (bit 0 left, bit 1 right)
void hl_wheel(int32_t steps);         // dmousz += 120 * steps
void hl_resize(int32_t w, int32_t h); // the window resized to w x h: a buffer of w x h / pixscale
void hl_activate(int32_t on);         // ActiveApp
void hl_close(void);                  // the close button: breath returns 1
void hl_pass(void);                   // later events arrive on the next breath

// === dialog answers and the clipboard ===
void hl_answer_yesno(int32_t v);      // next msgbox_yesno (1 yes) or msgbox_ask (the button's
                                      // index); none queued: no, or the last button
void hl_answer_file(const char *path);  // next file chooser; null cancels; none queued: null
void hl_clipboard_set(const char *text);  // null or "": empty
const char *hl_clipboard_get(void);   // zero-terminated copy of what clipboard_write stored

// === what the program did ===
int32_t hl_passes(void);              // breath calls since initapp
int32_t hl_frames(void);              // nextpage calls since initapp
const tiletype *hl_shown(void);       // copy of the buffer taken by the last nextpage (x = 0: none)
int64_t hl_clock(void);               // virtual microseconds since initapp
int64_t hl_slepttotal(void);          // ticks Sleep waited in all
int32_t hl_msgcount(void);            // message boxes shown (ok and yes/no)
const char *hl_lastmsg(void);         // text of the last message box
const char *hl_lasttitle(void);       // title of the last dialog of any kind
const char *hl_lastname(void);        // name proposed to the last savefileselect, or the
                                      // pattern of the last loadfileselect
int32_t hl_cursor(void);              // last setcurs kind, -1 none
const char *hl_title(void);           // the window title last set
int32_t hl_beeps(void);               // SysBeep calls
int32_t hl_minimized(void);           // minimizewindow calls
int32_t hl_pending(void);             // script events not yet delivered

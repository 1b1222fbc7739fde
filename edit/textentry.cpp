// textentry.cpp: the one-line editor of a wire's value or initial-condition
// text: insert and overwrite, cursor and word moves, a Shift selection (the
// whole text when it opens, and on Control+A), the clipboard, a short undo
// history, commit with normalisation, cancel back to the wire as it was.
// Depends on edit.h, the model, the expressions and the frame's clipboard. The
// text is the wire's own heap string, grown in place and found afresh through
// curw on every use, so a circuit replaced under the entry closes it.
#include "circuit/circuit.h"
#include "expr/expr.h"
#include "edit/edit.h"
#include <stdlib.h>
#include <string.h>

int32_t getstringmode = -1;
char **getstringptr = 0;
char *getstringbak = 0;
int32_t getstringleng = 0, getstringcurs = 0, getstringmax = 0;
int32_t getstringsel0 = -1, getstringsel1 = -1;
int32_t getstringinsertmode = 1;
int32_t getstringx = 0, getstringy = 0;
const char *getstringasktext = "";
int32_t getstringfcol = PAL_WHITE;

static char *seen = 0;           // the text as the entry last saw it
static double bakvalue = 0;      // the wire's value when the entry opened
static int32_t swapped = 0;      // 1 once a commit swapped the wire's ends

// === undo history (while the entry is open) ===
enum { ENTRYUNDOMAX = 32 };      // edits Control+Z can take back; older ones are forgotten
struct entrystep { char *text; int32_t curs; };
static entrystep history[ENTRYUNDOMAX];
static int32_t numhistory = 0;   // steps held, newest last; emptied when the entry opens

// === the text ===

// the text being edited, or null when its wire is gone (the entry closes);
// a text replaced behind the entry's back (a save fills an empty value) is
// taken up as it is now
static char *entrytext(void)
{
    if (getstringmode < 0) return 0;
    if (curw < 0 || curw >= numwires) {
        getstringmode = -1;
        return 0;
    }
    wiretype &w = wire[curw];
    getstringptr = getstringmode ? &w.initst : &w.numst;
    if (!*getstringptr) *getstringptr = copytext("");
    if (*getstringptr != seen) {
        seen = *getstringptr;
        getstringleng = (int32_t)strlen(seen);
        getstringmax = getstringleng + 1;
        getstringsel0 = -1;
    }
    if (getstringcurs > getstringleng) getstringcurs = getstringleng;
    return seen;
}

// room for n characters and the terminator
static char *reserve(int32_t n)
{
    if (n + 1 > getstringmax) {
        getstringmax = n + 1 > 2 * getstringmax ? n + 1 : 2 * getstringmax;
        seen = *getstringptr = (char *)growmem(*getstringptr, (size_t)getstringmax);
    }
    return seen;
}

static void settext(const char *s)
{
    int32_t n = (int32_t)strlen(s);
    memmove(reserve(n), s, (size_t)n + 1);
    getstringleng = getstringcurs = n;
    getstringsel0 = -1;
}

static void forget(void)
{
    for (int32_t i = 0; i < numhistory; i++) free(history[i].text);
    numhistory = 0;
}

// the text as it is before an edit, for Control+Z
static void remember(void)
{
    if (numhistory == ENTRYUNDOMAX) {
        free(history[0].text);
        memmove(history, history + 1, sizeof history[0] * (ENTRYUNDOMAX - 1));
        numhistory--;
    }
    history[numhistory++] = entrystep{copytext(seen), getstringcurs};
}

// the text before the last edit; nothing to take back: nothing happens
static void undoentry(void)
{
    if (!numhistory) return;
    entrystep &h = history[--numhistory];
    settext(h.text);
    getstringcurs = h.curs < getstringleng ? h.curs : getstringleng;
    free(h.text);
}

// the whole text, the cursor at its end; a Shift move starts afresh from there
static void entryselectall(void)
{
    getstringsel0 = getstringleng;
    getstringsel1 = 0;
    getstringcurs = getstringleng;
}

// n characters at the cursor replaced by the m of s; the selection goes
static void splice(int32_t n, const char *s, int32_t m)
{
    char *t = reserve(getstringleng - n + m);
    int32_t c = getstringcurs;
    memmove(t + c + m, t + c + n, (size_t)(getstringleng - c - n) + 1);
    memcpy(t + c, s, (size_t)m);
    getstringleng += m - n;
    getstringsel0 = -1;
}

// a character as typed or pasted: a tab is a space; other control bytes are
// dropped (0), so a value cannot break the circuit file's lines
static int32_t typable(int32_t c)
{
    if (c == 9) return ' ';
    return c >= 0x20 && c != 0x7F ? c : 0;
}

// === opening and closing ===

void getstringopen(int32_t mode, int32_t x, int32_t y, const char *prompt, int32_t col)
{
    if (curw < 0 || curw >= numwires) return;
    getstringmode = mode;
    seen = 0;
    char *t = entrytext();
    free(getstringbak);
    getstringbak = copytext(t);
    bakvalue = wire[curw].value;
    swapped = 0;
    forget();
    entryselectall();
    getstringx = x, getstringy = y;
    getstringasktext = prompt;
    getstringfcol = col;
    while (keyread()) {}  // keys typed before it opened are not for it
}

static void swapends(void)
{
    wiretype &w = wire[curw];
    int32_t t = w.node1;
    w.node1 = w.node2, w.node2 = t;
    swapped ^= 1;
}

// Cancelling puts the wire back as it was when the entry opened, also after
// a commit that kept the entry open: text, value and the order of its ends.
void getstringcancel(void)
{
    if (entrytext()) {
        settext(getstringbak);
        if (getstringmode == 0) wire[curw].value = bakvalue;
        if (swapped) swapends();
    }
    getstringmode = -1;
    recalc = 3;
}

// the fault of value text t for an element of that letter, or 0
static const char *valuefault(int32_t letter, char *t)
{
    if (!elementfixup(letter, t)) return fixupfuncerr;
    diodemodel m;
    return letter == 'D' && t[0] ? diodeparse(t, &m) : 0;
}

// Normalises the text; a parenthesis fault or a diode model out of range is
// shown and the entry stays open. A value left empty becomes the element's
// default ("1" for most). An initial condition typed on the node1 half swaps
// the wire's ends (once per opening), so that half counts as positive.
static void commit(int32_t keepopen)
{
    char *t = entrytext();
    if (!t) return;
    const int32_t letter = wire[curw].element;
    const char *fault = getstringmode == 0 ? valuefault(letter, t) : fixupfunc(t) ? 0 : fixupfuncerr;
    if (fault) {
        releasectrl();
        msgbox_ok(fault, prognam);
        return;
    }
    settext(t);
    if (getstringmode == 0) {
        if (!getstringleng) settext(elementdefault(letter));
        wire[curw].value = isnonlinear(letter) ? 0.0 : valueat0(seen);
    } else if (curside < 0 && !swapped) {
        swapends();
    }
    if (!keepopen) getstringmode = -1;
    recalc = 3;
}

// === clipboard ===

static int32_t selected(int32_t *lo, int32_t *hi)
{
    if (getstringsel0 < 0) return 0;
    int32_t a = getstringsel0, b = getstringsel1;
    *lo = a < b ? a : b, *hi = a < b ? b : a;
    if (*hi > getstringleng) *hi = getstringleng;
    return *lo < *hi;
}

static void copysel(void)
{
    int32_t lo, hi;
    if (selected(&lo, &hi)) clipboard_write(seen + lo, hi - lo);
}

// the selection out of the text; 0 when there is none
static int32_t dropsel(void)
{
    int32_t lo, hi;
    if (!selected(&lo, &hi)) return 0;
    remember();
    getstringcurs = lo;
    splice(hi - lo, "", 0);
    return 1;
}

// the selection goes to the clipboard and out of the text
static void cutsel(void)
{
    int32_t lo, hi;
    if (!selected(&lo, &hi)) return;
    copysel();
    remember();
    int32_t c = getstringcurs;
    getstringcurs = lo;
    splice(hi - lo, "", 0);
    getstringcurs = c > lo ? (c >= hi ? c - (hi - lo) : lo) : c;
}

// the clipboard's text at the cursor or over the selection, filtered as typed text is
static void paste(void)
{
    int32_t n = 0;
    char *c = clipboard_read(&n);
    if (!c) return;
    if (!dropsel()) remember();
    int32_t m = 0;
    for (int32_t i = 0; i < n; i++)
        if (typable((unsigned char)c[i])) c[m++] = (char)typable((unsigned char)c[i]);
    splice(0, c, m);
    getstringcurs += m;
    free(c);
}

// === editing keys ===

static int32_t isword(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// a selection is replaced; else insert mode shifts the rest right, overwrite
// replaces, or extends at the end
static void typechar(int32_t ch)
{
    char c = (char)ch;
    int32_t over = 0;
    if (!dropsel()) {
        remember();
        over = !getstringinsertmode && getstringcurs < getstringleng;
    }
    splice(over, &c, 1);
    getstringcurs++;
}

// the selection goes; without one the character before the cursor
static void backspace(void)
{
    if (dropsel() || getstringcurs == 0) return;
    remember();
    getstringcurs--;
    splice(1, "", 0);
}

// the selection is cut; without one the character at the cursor goes
static void deletekey(void)
{
    int32_t lo, hi;
    if (selected(&lo, &hi)) cutsel();
    else if (getstringcurs < getstringleng) remember(), splice(1, "", 0);
}

// the cursor to c; with Shift the selection stretches from where it was
static void moveto(int32_t c, int32_t shift)
{
    if (!shift) getstringsel0 = -1;
    else if (getstringsel0 < 0) getstringsel0 = getstringcurs;
    getstringsel1 = c;
    getstringcurs = c;
}

// past the word at c, then past what separates it from the next
static int32_t wordright(int32_t c)
{
    while (c < getstringleng && isword(seen[c])) c++;
    while (c < getstringleng && !isword(seen[c])) c++;
    return c;
}

// back over what separates c from a word, then to that word's start
static int32_t wordleft(int32_t c)
{
    while (c > 0 && !isword(seen[c - 1])) c--;
    while (c > 0 && isword(seen[c - 1])) c--;
    return c;
}

// Control's letters act as the keys they stand for (plain, Shift kept); the
// ones that act at once return 1. Command's arrows go to the ends. Control
// (or Command) with A selects all and with Z takes back the last edit: the
// editor's own undo waits until the entry is closed.
static int32_t translate(int32_t k, int32_t *scan, int32_t *ctrl)
{
    static const uint8_t ctrlmap[][2] = {
        {SC_E, SC_END}, {SC_D, SC_DELETE}, {SC_F, SC_RIGHT}, {SC_B, SC_LEFT}};
    static const uint8_t cmdmap[][2] = {{SC_UP, SC_HOME}, {SC_LEFT, SC_HOME}, {SC_RIGHT, SC_END}, {SC_DOWN, SC_END}};
    int32_t cmd = (k & KEYCOMMAND) != 0;
    if (*ctrl || cmd) {
        if (*scan == SC_C) return copysel(), 1;
        if (*scan == SC_V) return paste(), 1;
        if (*scan == SC_X) return cutsel(), 1;   // with a selection
        if (*scan == SC_A) return entryselectall(), 1;
        if (*scan == SC_Z) return undoentry(), 1;
    }
    if (*ctrl && *scan == SC_H) return backspace(), 1;
    for (auto &m : ctrlmap)
        if (*ctrl && *scan == m[0]) *scan = m[1], *ctrl = 0;
    for (auto &m : cmdmap)
        if (cmd && *scan == m[0]) *scan = m[1];
    return 0;
}

static void scanentry(int32_t k)
{
    int32_t scan = (k >> 8) & 255, ctrl = (k & KEYCTRL) != 0, shift = (k & KEYSHIFT) != 0;
    if (translate(k, &scan, &ctrl)) return;
    int32_t c = getstringcurs;
    switch (scan) {
    case SC_HOME: moveto(0, shift); break;
    case SC_END: moveto(getstringleng, shift); break;
    case SC_LEFT: moveto(ctrl ? wordleft(c) : c > 0 ? c - 1 : 0, shift); break;
    case SC_RIGHT: moveto(ctrl ? wordright(c) : c < getstringleng ? c + 1 : c, shift); break;
    case SC_INSERT:
        if (shift) paste();
        else if (ctrl) copysel();
        else getstringinsertmode ^= 1;
        break;
    case SC_DELETE: deletekey(); break;
    }
}

static void entrykey(int32_t k)
{
    int32_t ch = k & 255;
    if (((k >> 8) & 255) == SC_RETURN && (k & KEYCTRL)) commit(1);  // Control+Return: stays open
    else if (!ch || (k & (KEYCTRL | KEYOPTION | KEYCOMMAND))) scanentry(k);
    else if (ch == 13) commit(0);
    else if (ch == 127) deletekey();
    else if (ch == 8) backspace();
    else if (typable(ch)) typechar(typable(ch));
}

// === one pass ===

// keys until none is left, then a left press commits and a right press cancels
void getstringinput(void)
{
    for (int32_t k; entrytext() && (k = mykeyread()) != 0;)
        if (entrytext()) entrykey(k);
    if (!entrytext()) return;
    int32_t press = bstatus & ~obstatus;
    if (press & 1) commit(0);
    else if (press & 2) getstringcancel();
}

// === drawing ===

// four lines; the right one reaches one pixel further down, closing the corner
static void box(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col)
{
    line(x0, y0, x1, y0, col);
    line(x0, y1, x1, y1, col);
    line(x0, y0, x0, y1, col);
    line(x1, y0, x1, y1 + 1, col);
}

// The box is centred on the anchor and kept on the screen; the text and one
// blank for the cursor, the selection inverted, the cursor blinking on bit 2
// of numframes ("_" inserting, a full block overwriting), the prompt above.
void getstringdraw(void)
{
    const char *t = entrytext();
    if (!t) return;
    int32_t f = circfontindex(), w = fontlist[f].width, h = fontlist[f].height;
    int32_t n = getstringleng + 1, lo, hi;
    int32_t x = getstringx - n * (w / 2), y = getstringy - h / 2;
    if (x > gdd.x - 1 - w * n) x = gdd.x - 1 - w * n;
    if (x < 1) x = 1;  // a text wider than the screen shows its start
    if (y > gdd.y - 2 * h - 3) y = gdd.y - 2 * h - 3;
    if (y < 1) y = 1;
    box(x - 2, y - 2, x + w * n + 1, y + h + 1, PAL_DARKGREY);
    box(x - 1, y - 1, x + w * n, y + h, PAL_BLACK);
    drawtext(f, x, y, getstringfcol, PAL_BLACK, "%s ", t);
    if (selected(&lo, &hi)) drawtext(f, x + w * lo, y, PAL_BLACK, PAL_WHITE, "%.*s", hi - lo, t + lo);
    if (numframes & 4)
        drawtext(f, x + w * getstringcurs, y, PAL_WHITE, -1, "", getstringinsertmode ? "_" : "\xDB");
    int32_t pl = (int32_t)strlen(getstringasktext), px = getstringx - (w / 2) * pl;
    if (px > gdd.x - pl * w) px = gdd.x - pl * w;
    if (px < 0) px = 0;
    drawtext(f, px, y - 6 - h, getstringfcol, -1, "", getstringasktext);
}

// menu.cpp: the in-window menu: its table, keyboard navigation and
// accelerators, drawing (bar, pull-downs, submenus with a raised frame) and
// the handlers of the display settings, which keep the marks in the entry
// texts in step with vopts, and the Recent files rows made from the settings'
// list. Depends on the editor, the frame's palette and pixel writer, and
// openplot/removeplot for the help windows. Keyboard only: a click anywhere
// closes the menu (the main loop does that).
#include "app/app.h"
#include "edit/edit.h"
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// === the table ===
// One row an entry: its text, its handler and the handler's argument. The
// text is its level in leading spaces, then a mark ('*' ticked, '+' not),
// '_' before the accelerator and a tab before the shortcut hint. The marks
// here are placeholders: start-up sets them through the handlers, as
// menurecent writes the RECENTMAX rows under Recent files.
menutype menu[MENUCOUNT] = {
    {"_File", 0, 0},
    {" _New\tCtrl+N", menunewvsm, 0},
    {" _Open .VSM circuit file\tCtrl+L", menuloadvsm, 0},
    {" _Recent files", 0, 0},
    {"  (none)", 0, 0},
    {"  -", menuopenrecent, 1},
    {"  -", menuopenrecent, 2},
    {"  -", menuopenrecent, 3},
    {"  -", menuopenrecent, 4},
    {"  -", menuopenrecent, 5},
    {"  -", menuopenrecent, 6},
    {"  -", menuopenrecent, 7},
    {" _Save .VSM circuit file\tCtrl+S", menusavevsm, 0},
    {" Save _As .VSM file\tCtrl+Shift+S", menusaveasvsm, 0},
    {" -", 0, 0},
    {" Screen capture (.BMP)\tF12", menusavebmp, 0},
    {" -", 0, 0},
    {" E_xit", menuquit, 0},
    {"_Edit", 0, 0},
    {" _Undo\tCtrl+Z", menuundo, 0},
    {" _Redo\tCtrl+Y", menuredo, 0},
    {" -", 0, 0},
    {" Cu_t\tCtrl+X", menucut, 0},
    {" _Copy\tCtrl+C", menucopy, 0},
    {" _Paste\tCtrl+V", menupaste, 0},
    {" _Delete selection\tDel", menudeleteselection, 0},
    {" Select _all\tCtrl+A", menuselectall, 0},
    {"_Options", 0, 0},
    {" +_Invert colors\t`", menuinvcols, -1},
    {" *Show _Grid\t=", menushowgrid, -1},
    {" *Draw _Nodes as circles", menushowcircles, -1},
    {" *Show _Animation", menushowanimation, -1},
    {" *Show _Solved volts & amps", menushowresults, -1},
    {" *Windows _Menu style", menuusewingui, -1},
    {" Time _Scale Resolution", 0, 0},
    {"  *1x", menusetoversamp, sampsteps[0]},
    {"  *4x", menusetoversamp, sampsteps[1]},
    {"  *16x", menusetoversamp, sampsteps[2]},
    {"  *64x", menusetoversamp, sampsteps[3]},
    {"  *256x", menusetoversamp, sampsteps[4]},
    {"  *1024x", menusetoversamp, sampsteps[5]},
    {"  *4096x", menusetoversamp, sampsteps[6]},
    {" *Auto _Y Scale", menuautoyscale, -1},
    {" *Engineering _units", menuengunits, -1},
    {" _Font", 0, 0},
    {"  *_0: 4x6", menusetfontsiz, 0x40006},
    {"  +_1: 6x8", menusetfontsiz, 0x60008},
    {"  +_2: 6x10", menusetfontsiz, 0x6000A},
    {"  +_3: 7x12", menusetfontsiz, 0x7000C},
    {"  +_4: 8x12", menusetfontsiz, 0x8000C},
    {"  +_5: 8x13", menusetfontsiz, 0x8000D},
    {"  +_6: 8x14", menusetfontsiz, 0x8000E},
    {"  +_7: 8x15", menusetfontsiz, 0x8000F},
    {"  +_8: 9x16", menusetfontsiz, 0x90010},
    {"  +_9: 12x16", menusetfontsiz, 0xC0010},
    {" _CPU usage", 0, 0},
    {"  +_Max", menusetcpuusage, 0},
    {"  *_Medium", menusetcpuusage, 1},
    {"  +_Low", menusetcpuusage, 2},
    {"_Help", 0, 0},
    {" _Key summary\tF1", menushowhelp, 0},
    {" _Full help", menushowhelp, 1},
    {" +Show _Elements", menushowcirchelp, -1},
    {" -", 0, 0},
    {" +_About", menuabout, -1},
    {"-", 0, 0},  // ends the table
};

int32_t menusel = -1;

// upper-case character of scan codes 0..SC_M, '_' none
static const char scan2asc4menu[52] = "__1234567890____QWERTYUIOP____ASDFGHJKL_____ZXCVBNM";

enum { MENULAST = MENUCOUNT - 1 };  // the closing separator: no scan goes past it

// === structure ===

int32_t menulev(int32_t i)
{
    int32_t n = 0;
    while (menu[i].text[n] == ' ') n++;
    return n;
}

// 1 when entry i is named label: its text without level, mark, '_' and hint
static int32_t menuisnamed(int32_t i, const char *label)
{
    const char *t = menu[i].text + menulev(i);
    if (*t == '*' || *t == '+') t++;
    for (; *t && *t != '\t'; t++) {
        if (*t == '_' && t[1] != '_') continue;
        if (*t == '_') t++;  // "__": one plain '_'
        if (*t != *label++) return 0;
    }
    return *label == 0;
}

int32_t menufind(const char *label)
{
    for (int32_t i = 0; i < MENUCOUNT; i++)
        if (menuisnamed(i, label)) return i;
    return -1;
}

// character pos of entry i's text, 0 past its end
static char menuchar(int32_t i, int32_t pos)
{
    const char *t = menu[i].text;
    for (int32_t k = 0; k < pos; k++)
        if (!t[k]) return 0;
    return t[pos];
}

static int32_t isseparator(int32_t i) { return menuchar(i, menulev(i)) == '-'; }

int32_t menuchild(int32_t i)
{
    int32_t lev = menulev(i) + 1;
    for (int32_t j = i + 1; j <= MENULAST && menulev(j) == lev; j++)
        if (menuchar(j, lev) != '-') return j;
    return -1;
}

int32_t menuparent(int32_t i)
{
    int32_t lev = menulev(i) - 1;
    if (lev < 0) return -1;
    for (int32_t j = i - 1; j >= 0; j--) {
        int32_t l = menulev(j);
        if (l == lev) return j;
        if (l < lev) return -1;
    }
    return -1;
}

// the nearest sibling of i in direction dir (+1 or -1) that is no separator
static int32_t menusibling(int32_t i, int32_t dir)
{
    int32_t lev = menulev(i);
    for (int32_t j = i + dir; j >= 0 && j <= MENULAST; j += dir) {
        int32_t l = menulev(j);
        if (l < lev) return -1;
        if (l == lev && !isseparator(j)) return j;
    }
    return -1;
}

int32_t menunext(int32_t i) { return menusibling(i, 1); }
int32_t menuprev(int32_t i) { return menusibling(i, -1); }

// the first (dir -1) or last (dir +1) sibling of i
static int32_t menuend(int32_t i, int32_t dir)
{
    for (int32_t j; (j = menusibling(i, dir)) >= 0;) i = j;
    return i;
}

// the sibling after (dir +1) or before (dir -1) i, wrapping at the ends
static int32_t menuwrap(int32_t i, int32_t dir)
{
    int32_t j = menusibling(i, dir);
    return j >= 0 ? j : menuend(i, -dir);
}

// === keys ===

// upper-case accelerator of entry i: the character after its first lone '_', 0 none
static char menuaccel(int32_t i)
{
    const char *u = menu[i].text + menulev(i);
    while ((u = strchr(u, '_')) != 0 && u[1] == '_') u += 2;
    if (!u || !u[1]) return 0;
    char c = u[1];
    return (c >= 'a' && c <= 'z') ? (char)(c - 'a' + 'A') : c;
}

// a pull-down entry with neither handler nor submenu does nothing: greyed
static int32_t menugreyed(int32_t i) { return menulev(i) > 0 && !menu[i].func && menuchild(i) < 0; }

// entry i chosen: into its submenu, or its handler runs with the menu
// closed; a greyed entry keeps the menu open
static void menuchoose(int32_t i)
{
    int32_t c = menuchild(i);
    if (c >= 0) {
        menusel = c;
        return;
    }
    if (menugreyed(i)) return;
    menusel = -1;
    if (menu[i].func) menu[i].func(menu[i].arg);
}

// letter c among the highlighted entry's siblings, then its parent's, up to
// the bar; the first in the table wins. 1 when an entry had it
static int32_t menuletter(char c)
{
    for (int32_t e = menusel; e >= 0; e = menuparent(e))
        for (int32_t j = menuend(e, -1); j >= 0; j = menunext(j))
            if (menuaccel(j) == c) {
                menuchoose(j);
                return 1;
            }
    return 0;
}

// the bar entry above i
static int32_t menubar(int32_t i)
{
    while (menulev(i) > 0) i = menuparent(i);
    return i;
}

// bar entry b highlighted, with its pull-down open when it has one
static void menuopenbar(int32_t b)
{
    int32_t c = menuchild(b);
    menusel = c >= 0 ? c : b;
}

static void menuleft(int32_t e)
{
    int32_t lev = menulev(e);
    if (lev == 0) menusel = menuwrap(e, -1);
    else if (lev == 1) menuopenbar(menuwrap(menuparent(e), -1));
    else menusel = menuparent(e);
}

static void menuright(int32_t e)
{
    if (menulev(e) == 0) menusel = menuwrap(e, 1);
    else if (menuchild(e) >= 0) menusel = menuchild(e);
    else menuopenbar(menuwrap(menubar(e), 1));
}

// Down (dir +1) or Up (dir -1); on the bar they open the pull-down at its
// first or last entry
static void menuupdown(int32_t e, int32_t dir)
{
    if (menulev(e) > 0) {
        menusel = menuwrap(e, dir);
        return;
    }
    int32_t c = menuchild(e);
    if (c >= 0) menusel = dir > 0 ? c : menuend(c, 1);
}

int32_t menuinput(int32_t key)
{
    if (menusel < 0 || menusel >= MENULAST) return 0;  // closed: nothing to steer
    int32_t s = (key >> 8) & 255;
    if (s <= SC_M && scan2asc4menu[s] != '_' && menuletter(scan2asc4menu[s])) return 1;
    int32_t e = menusel;
    switch (s) {
    case SC_ESCAPE: menusel = -1; break;                 // Esc
    case SC_RETURN: case SC_KPENTER: menuchoose(e); break;     // Enter, keypad Enter
    case SC_LEFT: menuleft(e); break;
    case SC_RIGHT: menuright(e); break;
    case SC_UP: menuupdown(e, -1); break;
    case SC_DOWN: menuupdown(e, 1); break;
    default: return 0;
    }
    return 1;
}

// === drawing ===
// Font 7 (8 x 15) in the menu shades of the palette (PAL_MENUTEXT ..
// PAL_MENUACCEL).

enum { MENUFONT = 7 };

// the menu's own line routines, palette colours through drawpixp (clipped to
// gdd); ends excluded, either order
static void menuhlin(int32_t x0, int32_t x1, int32_t y, int32_t col)
{
    if (x0 > x1) { int32_t t = x0; x0 = x1; x1 = t; }
    if (x0 < 0) x0 = 0;
    if (x1 > gdd.x) x1 = gdd.x;
    for (int32_t x = x0; x < x1; x++) drawpixp(x, y, col);
}

static void menuvlin(int32_t x, int32_t y0, int32_t y1, int32_t col)
{
    if (y0 > y1) { int32_t t = y0; y0 = y1; y1 = t; }
    if (y0 < 0) y0 = 0;
    if (y1 > gdd.y) y1 = gdd.y;
    for (int32_t y = y0; y < y1; y++) drawpixp(x, y, col);
}

static void menurect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t col)
{
    for (int32_t y = y0; y < y1; y++) menuhlin(x0, x1, y, col);
}

// characters entry i shows: a mark cell (or the first character after a
// blank), then every later character but '_'; a tab counts one
static int32_t menulen(int32_t i)
{
    const char *t = menu[i].text + menulev(i);
    int32_t n = (*t == '_' || *t == '*' || *t == '+') ? 1 : 2;
    for (t += *t != 0; *t; t++) {
        if (*t == '_' && t[1] != '_') continue;
        t += *t == '_';  // "__": one plain '_'
        n++;
    }
    return n;
}

int32_t menuwidth(int32_t first)
{
    int32_t w = 0;
    for (int32_t e = first; e >= 0; e = menunext(e))
        if (menulen(e) > w) w = menulen(e);
    return w;
}

int32_t menulabel(int32_t e, int32_t maxw, char *b)
{
    int32_t lev = menulev(e), n = 1, acc = -1, tab = -1;
    const char *t = menu[e].text + lev;
    // --- mark cell and the text, '_' dropped ---
    b[0] = *t == '*' ? '*' : ' ';
    if (*t == '_') acc = 1;
    else if (*t != '*' && *t != '+') b[n++] = *t;
    for (t += *t != 0; *t && n < MENUTEXTMAX; t++) {
        if (*t == '_' && t[1] != '_') { acc = n; continue; }
        t += *t == '_';  // "__": one plain '_'
        if (*t == '\t' && tab < 0) tab = n;
        b[n++] = *t;
    }
    if (lev == 0) {
        b[n++] = ' ';
        b[n] = 0;
        return acc;
    }
    // --- pull-down: hint right-aligned to column maxw - 1, '>' at maxw ---
    if (maxw > MENUTEXTMAX) maxw = MENUTEXTMAX;  // b's size
    if (maxw < n) maxw = n;  // no entry is wider than its level
    int32_t hint = tab >= 0 ? n - tab - 1 : 0, start = tab >= 0 ? tab : n;
    memmove(b + maxw - hint, b + n - hint, hint);
    memset(b + start, ' ', maxw - hint - start);
    b[maxw] = menuchild(e) >= 0 ? '>' : ' ';
    b[maxw + 1] = 0;
    return acc;
}

// separator band across iw at row cy: face, dark line, light line, face
static void menuband(int32_t x, int32_t cy, int32_t iw, int32_t h4, int32_t ch)
{
    menurect(x, cy, x + iw, cy + (ch >> 1), PAL_MENUFACE);
    menuhlin(x, x + iw, cy + h4 - 1, PAL_MENUDARK);
    menuhlin(x, x + iw, cy + h4, PAL_MENULIGHT);
}

// raised frame around [x, x1) x [y, yb): light top and left, dark bottom and right
static void menuframe(int32_t x, int32_t y, int32_t x1, int32_t cy, int32_t yb, int32_t h4)
{
    menurect(x + 1, y, x1 - 1, y + h4, PAL_MENULIGHT);
    menurect(x + 1, cy, x1 - 1, yb, PAL_MENUDARK);
    menuvlin(x, y + 1, yb - 1, PAL_MENULIGHT);
    menuvlin(x + 1, y + 1, yb - 1, PAL_MENULIGHT);
    menuvlin(x1 - 2, y + 1, yb - 1, PAL_MENUDARK);
    menuvlin(x1 - 1, y + 1, yb - 1, PAL_MENUDARK);
    drawpixp(x1 - 2, y + 1, PAL_MENUFACE);
    drawpixp(x + 1, yb - 2, PAL_MENUFACE);
}

void menudraw(int32_t first, int32_t x, int32_t y)
{
    if (first < 0 || first >= MENULAST) return;
    const int32_t cw = fontlist[MENUFONT].width, ch = fontlist[MENUFONT].height, h4 = ch >> 2;
    int32_t lev = menulev(first), sel = menusel;
    while (sel >= 0 && menulev(sel) > lev) sel = menuparent(sel);
    int32_t maxw = menuwidth(first), iw = (maxw + 1) * cw;
    int32_t x0 = x, cy = y + h4;
    char b[MENUTEXTMAX + 2];
    for (int32_t e = first; e >= 0; e = menunext(e)) {
        if (lev > 0 && menuchar(e - 1, lev) == '-') {
            menuband(x, cy, iw, h4, ch);
            cy += ch >> 1;
        }
        int32_t acc = menulabel(e, maxw, b), child = menuchild(e);
        if (e == sel && menusel != e && child >= 0) {
            if (lev == 0) {
                menudraw(child, x, cy + ch + h4);
            } else {
                menurect(x + iw, cy, x + iw + (cw >> 2), cy + ch, PAL_MENUFACE);
                menudraw(child, x + iw + (cw >> 2), cy - h4);
            }
        }
        int32_t ink = menugreyed(e) ? PAL_MENUDARK : PAL_MENUTEXT;
        drawtext(MENUFONT, x, cy, ink, e == sel ? PAL_MENUHIGHLIGHT : PAL_MENUFACE, "", b);
        if (acc >= 0) {
            char a[2] = {b[acc], 0};
            drawtext(MENUFONT, x + acc * cw, cy, PAL_MENUACCEL, -1, "", a);
        }
        if (lev == 0) x += (int32_t)strlen(b) * cw;
        else cy += ch;
    }
    int32_t x1 = lev == 0 ? x : x0 + iw;
    if (lev == 0) cy += ch;
    menuframe(x0, y, x1, cy, cy + h4, h4);
}

// === handlers ===

// every entry of handler f gets '*' when on, '+' otherwise; the table's
// closing separator ends the walk
static void menumarks(void (*f)(int32_t), int32_t (*on)(int32_t arg, int32_t v), int32_t v)
{
    for (int32_t i = 0; menu[i].text[0] != '-'; i++)
        if (menu[i].func == f) menu[i].text[menulev(i)] = on(menu[i].arg, v) ? '*' : '+';
}

static int32_t markon(int32_t, int32_t v) { return v != 0; }
static int32_t markis(int32_t arg, int32_t v) { return arg == v; }

// arg < 0 toggles, 0 or 1 sets, larger values leave the setting alone
static void onoff(void (*f)(int32_t), int32_t *v, int32_t arg)
{
    if (arg < 0) *v ^= 1;
    else if (arg <= 1) *v = arg;
    menumarks(f, markon, *v);
}

void menushowgrid(int32_t arg) { onoff(menushowgrid, &vopts.gridmode, arg); }
void menushowcircles(int32_t arg) { onoff(menushowcircles, &vopts.showcircles, arg); }
void menushowanimation(int32_t arg) { onoff(menushowanimation, &vopts.showanimation, arg); }
void menushowresults(int32_t arg) { onoff(menushowresults, &vopts.showresults, arg); }
void menuengunits(int32_t arg) { onoff(menuengunits, &vopts.engunits, arg); }
void menuusewingui(int32_t arg) { onoff(menuusewingui, &vopts.usewingui, arg); }
void menuautoyscale(int32_t arg) { onoff(menuautoyscale, &vopts.autoyscale, arg); }
void menushowcirchelp(int32_t arg) { onoff(menushowcirchelp, &vopts.showcirchelp, arg); }

// the palette counts as inverted while its black (PAL_BLACK) is not black; the
// reference palette is asked, as the pass's copy may carry the red tint
void menuinvcols(int32_t arg)
{
    onoff(menuinvcols, &vopts.palinverted, arg);
    if ((ovpal[PAL_BLACK] != 0) == (vopts.palinverted != 0)) return;
    for (int32_t i = PAL_BLACK; i < PALSIZ; i++) {
        ovpal[i] ^= 0xFFFFFF;
        vpal[i] ^= 0xFFFFFF;
    }
}

void menusetoversamp(int32_t v)
{
    if (vopts.sampsperpix != v) {
        vopts.sampsperpix = v;
        recalc = 3;  // every plot computed anew
    }
    menumarks(menusetoversamp, markis, v);
}

// k = (glyph width << 16) + height; the last font of that size is taken, none
// leaves the font as it was, and the marks follow the font in force
void menusetfontsiz(int32_t k)
{
    for (int32_t f = 0; f < NUMFONTS; f++)
        if (fontlist[f].width == k >> 16 && fontlist[f].height == (k & 0xFFFF)) vopts.circfont = f;
    int32_t f = vopts.circfont;
    if (f >= 0 && f < NUMFONTS) k = (fontlist[f].width << 16) + fontlist[f].height;
    menumarks(menusetfontsiz, markis, k);
}

void menusetcpuusage(int32_t v)
{
    vopts.cpuusage = v;
    menumarks(menusetcpuusage, markis, v);
}

// help window 4 + k closed when open, else opened on top
void menushowhelp(int32_t k)
{
    if (k < 0 || k > 1) return;
    for (int32_t p = numplots - 1; p >= 0; p--)
        if (plot[p].kind == PLOT_KEYS + k) {
            removeplot(p);
            return;
        }
    openplot(PLOT_KEYS + k, 0, 0);
}

#if defined(__clang__)
#define COMPILERNAME __VERSION__
#elif defined(__GNUC__)
#define COMPILERNAME "GCC " __VERSION__
#else
#define COMPILERNAME "an unknown compiler"
#endif

void menuabout(int32_t)
{
    char s[256];
    snprintf(s, sizeof s,
             "VELTO %s (" __DATE__ ") interactive circuit simulator, by the VELTO developers\n"
             "Compiled with " COMPILERNAME,
             veltoversion);
    msgbox_ok(s, prognam);
}

void menuquit(int32_t) { quitloop(); }

// === recent files ===
// A row shows "N name" and, right-aligned as a shortcut is, the folder
// ("~" for the home folder); a long name keeps its start, a long folder its
// end, ".." where they were cut. A '_' of a path is written doubled.

enum { RECENTNAMEMAX = 22 };  // bytes of a row's name before it is cut

// s[0..len) after t[0..n), each '_' doubled, within lim bytes of t: all of
// it, else its start (tail 0) or its end (tail 1) and ".."; t's new length
static int32_t menuappend(char *t, int32_t n, int32_t lim, const char *s, int32_t len, int32_t tail)
{
    int32_t need = 0, from = 0, to = len;
    for (int32_t i = 0; i < len; i++) need += s[i] == '_' ? 2 : 1;
    if (n + need > lim) {
        int32_t room = lim - n - 2;  // ".." takes two
        if (tail) {
            for (from = len; from > 0 && room >= (s[from - 1] == '_' ? 2 : 1); from--) room -= s[from - 1] == '_' ? 2 : 1;
            t[n++] = '.', t[n++] = '.';
        } else {
            for (to = 0; to < len && room >= (s[to] == '_' ? 2 : 1); to++) room -= s[to] == '_' ? 2 : 1;
        }
    }
    for (int32_t i = from; i < to; i++) {
        if (s[i] == '_') t[n++] = '_';
        t[n++] = s[i];
    }
    if (to < len) t[n++] = '.', t[n++] = '.';
    t[n] = 0;
    return n;
}

// the row of recent file k into t (MENUTEXTMAX bytes); the path's UTF-8 as
// the font draws it
static void recentrow(char *t, int32_t k)
{
    const char *p = vopts.recent[k], *slash = strrchr(p, '/'), *home = getenv("HOME");
    const char *name = slash ? slash + 1 : p;
    char f[PATHMAX];
    int32_t lim = MENUTEXTMAX - 1, n = snprintf(t, MENUTEXTMAX, "  _%d ", (int)k + 1);
    n = menuappend(t, n, n + RECENTNAMEMAX, f, fonttext(f, name, (int32_t)strlen(name)), 0);
    int32_t dir = slash ? (int32_t)(slash - p) : 0, hn = home ? (int32_t)strlen(home) : 0;
    if (n + 4 > lim) return;
    t[n++] = '\t';
    if (hn > 1 && dir >= hn && !strncmp(p, home, hn) && (dir == hn || p[hn] == '/')) {
        t[n++] = '~';
        menuappend(t, n, lim, f, fonttext(f, p + hn, dir - hn), 1);
    } else {
        menuappend(t, n, lim, dir ? f : "/", dir ? fonttext(f, p, dir) : 1, 1);
    }
}

void menurecent(void)
{
    recentprune();
    const int32_t first = menufind("Recent files") + 1, n = recentcount();
    for (int32_t k = 0; k < RECENTMAX; k++) {
        menutype &m = menu[first + k];
        m.func = menuopenrecent, m.arg = k;
        if (k < n) recentrow(m.text, k);
        else snprintf(m.text, sizeof m.text, "%s", k ? "  -" : "  (none)");
    }
    if (n == 0) menu[first].func = 0;  // greyed
}

void menuopen(void)
{
    menurecent();
    menusel = 0;
}

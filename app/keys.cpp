// keys.cpp: the program-wide keys, which work wherever the focus is: Escape
// (cancel what is in progress, else open the menu), an Option key opening
// the menu, the file commands, help, minimise, quit and capture. Installed
// as the drawing room's keyfilter, so every reader of keys sees them
// handled first; while the menu is open it owns the keyboard.
#include "app/app.h"
#include "edit/edit.h"

// An Option key with a key opens the menu and feeds it the rest of the
// buffer; while the menu is open the keys stay in the buffer for it.
int32_t programkey(int32_t k)
{
    int32_t ch = k & 255, scan = (k >> 8) & 255, lc = ch | 0x20;
    int32_t cmd = (k & KEYCOMMAND) != 0, ctrl = (k & KEYCTRL) != 0;
    if (!vopts.usewingui && (k & KEYOPTION) && !ctrl) {
        menuopen();
        for (; k && menusel >= 0; k = keyread()) menuinput(k);
        return 2;
    }
    if (ch == 27) {
        if (getstringmode >= 0) getstringcancel();
        else if (drawwiremode) cancelwire();
        else if (!vopts.usewingui) menuopen();
        else return 0;
        return 1;
    }
    if (ch == '=' && getstringmode < 0) menushowgrid(-1);
    else if (ch == '`' && getstringmode < 0) menuinvcols(-1);
    else if (cmd && lc == 'm') minimizewindow();
    else if (cmd && lc == 'q') quitloop();  // the main loop asks about unsaved changes
    else if ((scan == SC_O && cmd) || (scan == SC_L && ctrl)) menuloadvsm(0);
    else if (scan == SC_S && (cmd || ctrl) && (k & KEYSHIFT)) menusaveasvsm(0);
    else if (scan == SC_S && (cmd || ctrl)) menusavevsm(0);
    else if (scan == SC_N && (cmd || ctrl)) menunewvsm(0);
    else if ((scan == SC_SLASH && cmd) || scan == SC_F1) menushowhelp(0);
    else if (scan == SC_F12) domenusavebmp = 1;
    else return 0;
    return 1;
}

int32_t menuowns(void) { return menusel >= 0; }

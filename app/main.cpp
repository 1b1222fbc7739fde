// main.cpp: program entry: velto [file] [/WxH]. Opens the frame and runs an
// empty frame cycle (clear to black, show, pause) until the user quits.
// Depends on the frame only; the circuit named on the command line is not
// loaded yet and the editor, plots and menu are not drawn yet.
#include <ctype.h>
#include <stdint.h>
#include "frame/frame.h"

// === command line ===
// "/" followed by a digit: up to three numbers separated by non-digits; the
// first is the width, the second the height. Sizes are limited to 800 x 600.
static void parsesize(const char *arg) {
    const char *s = arg + 1;
    for (int32_t k = 0; k < 3 && *s; k++) {
        while (*s && !isdigit((unsigned char)*s)) s++;
        if (!*s) break;
        int32_t v = 0;
        for (; isdigit((unsigned char)*s); s++) v = v < 100000 ? v * 10 + (*s - '0') : v;
        if (k == 0) xres = v;
        if (k == 1) yres = v;
    }
}

// a size argument is "/" and one or two numbers ("/640x480", "/640"); any
// other argument, an absolute path included, names the circuit file
static int32_t issizearg(const char *a) {
    if (a[0] != '/' || !isdigit((unsigned char)a[1])) return 0;
    for (a++; *a; a++)
        if (*a == '/' || *a == '.' || (isalpha((unsigned char)*a) && *a != 'x' && *a != 'X')) return 0;
    return 1;
}

static const char *parseargs(int argc, char **argv) {
    const char *file = nullptr;
    for (int i = 1; i < argc; i++) {
        if (issizearg(argv[i])) parsesize(argv[i]);
        else file = argv[i];
    }
    if (xres > 800) xres = 800;
    if (yres > 600) yres = 600;
    return file;
}

// === frame cycle ===
int main(int argc, char **argv) {
    prognam = "VELTO";
    xres = 800, yres = 600;
    parseargs(argc, argv);
    if (initapp(xres, yres) < 0) {
        msgbox_ok("initapp failed", prognam);
        return 1;
    }
    while (!breath()) {
        for (int32_t i = 0; i < PALSIZ; i++) vpal[i] = ovpal[i];
        readkeyboard();
        for (int32_t k; (k = keyread()) != 0;)
            if ((k & KEYCOMMAND) && ((k & 255) == 'q' || (k & 255) == 'Q')) quitloop();
        if (startdirectdraw(&gdd.f, &gdd.p, &gdd.x, &gdd.y)) {
            drawrectfill(&gdd, 0, 0, gdd.x, gdd.y, (int32_t)vpal[10]);
            stopdirectdraw();
            nextpage();
        }
        setcurs(CURS_ARROW);
        Sleep(1);
    }
    uninitapp();
    return 0;
}

// capture.cpp: the screen capture: the dialog that asks for a file name
// (proposing a free VELTO<n>.BMP) and the writer that saves the frame buffer
// during the next drawing pass, before the menu is drawn: as a PNG of the
// very pixels when the name ends in ".png", else as a 16-colour BMP.
// Depends on the editor, the frame (getpixpal, dialogs), the PNG encoder and
// replacefile, so a failed capture leaves any old file as it was.
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>
#include "circuit/circuit.h"
#include "image/image.h"
#include "app/app.h"
#include "edit/edit.h"

char capitnowfilnam[PATHMAX] = "";
int32_t domenusavebmp = 0;
int32_t capcount = 0;

// === the dialog ===

// the first of VELTO<capcount>.BMP, VELTO<capcount+1>.BMP, .. up to 999 that
// does not exist yet (capcount moves past it); "*.BMP" when all do
static void freecapturename(char *out, size_t siz)
{
    snprintf(out, siz, "*.BMP");
    while (capcount <= 999) {
        char name[32];
        snprintf(name, sizeof name, "VELTO%d.BMP", capcount++);
        if (access(name, F_OK) != 0) {  // nothing of that name, readable or not
            snprintf(out, siz, "%s", name);
            return;
        }
    }
}

void menusavebmp(int32_t)
{
    releasectrl();
    char name[32];
    freecapturename(name, sizeof name);
    const char *path = savefileselect("BMP file..", name);
    if (path) snprintf(capitnowfilnam, sizeof capitnowfilnam, "%s", path);
}

// === the writer ===
// Header (54 bytes), 16 colours (the reference palette PAL_BLACK..PAL_WHITE as
// blue, green, red, 0), then the rows from the bottom up, two pixels a byte
// (left one in the high half), each row padded to a multiple of 8 pixels (4 bytes).
enum { BMPHEAD = 54, BMPDATA = 54 + 16 * 4 };

static void put16(uint8_t *b, uint32_t v) { b[0] = (uint8_t)v, b[1] = (uint8_t)(v >> 8); }

static void put32(uint8_t *b, uint32_t v)
{
    put16(b, v);
    put16(b + 2, v >> 16);
}

static int32_t writebmp(FILE *f, void *)
{
    const int32_t w = gdd.x, h = gdd.y;
    const uint32_t rowbytes = ((uint32_t)w + 7) / 8 * 4;
    if (w <= 0 || h <= 0 || (uint64_t)rowbytes * h > 0xFFFFFFFFu - BMPDATA) return 0;
    uint8_t head[BMPDATA] = {'B', 'M'};
    put32(head + 2, BMPDATA + rowbytes * h);  // file size
    put32(head + 10, BMPDATA);                // offset of the pixels
    put32(head + 14, 40);                     // information header size
    put32(head + 18, w);
    put32(head + 22, h);                      // positive: bottom-up
    put16(head + 26, 1);                      // planes
    put16(head + 28, 4);                      // bits per pixel
    put32(head + 46, 16);                     // colours used
    put32(head + 50, 16);                     // important colours
    for (int32_t k = 0; k < 16; k++) put32(head + BMPHEAD + 4 * k, ovpal[PAL_BLACK + k] & 0xFFFFFF);
    int32_t ok = fwrite(head, 1, BMPDATA, f) == BMPDATA;
    uint8_t *row = (uint8_t *)growmem(0, rowbytes);
    for (int32_t y = h - 1; ok && y >= 0; y--) {
        for (uint32_t i = 0; i < rowbytes; i++)  // pixels beyond the width read as 0
            row[i] = (uint8_t)(getpixpal(2 * i, y) << 4 | getpixpal(2 * i + 1, y));
        ok = fwrite(row, 1, rowbytes, f) == rowbytes;
    }
    free(row);
    return ok;
}

static int32_t writepng(FILE *f, void *)
{
    return vpngwrite(f, (const uint32_t *)gdd.f, gdd.p, gdd.x, gdd.y);
}

// 1 when the name ends in ".png", in any case
static int32_t pngname(const char *path)
{
    size_t n = strlen(path);
    return n >= 4 && strcasecmp(path + n - 4, ".png") == 0;
}

// the pending capture from gdd, the whole screen; the request is gone after
// it, written or not, and a failure is said in a message box
void capturewrite(void)
{
    if (!capitnowfilnam[0]) return;
    errno = 0;
    if (!replacefile(capitnowfilnam, pngname(capitnowfilnam) ? writepng : writebmp, 0)) {
        char msg[PATHMAX + 64];
        snprintf(msg, sizeof msg, "cannot write '%s': %s", capitnowfilnam,
                 errno ? replacefilewhy(errno) : "no picture to capture");
        releasectrl();
        msgbox_ok(msg, prognam);
    }
    capitnowfilnam[0] = 0;
}

// frameshot.cpp: the frame the program shows for a circuit, from the headless
// backend, for the browser test to hold the page's canvas against: velto
// started on FILE in a WIDTH x HEIGHT drawing area with the settings of a first
// start, run for a second of passes, its frame written to OUT as two 32-bit
// sizes and then the 0x00RRGGBB pixels, row by row (little-endian words).
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <unistd.h>
#include "app/app.h"
#include "frame/headless.h"

int main(int argc, char **argv)
{
    if (argc != 5) {
        fprintf(stderr, "usage: frameshot FILE WIDTH HEIGHT OUT\n");
        return 2;
    }
    char tmp[] = "/tmp/frameshot-XXXXXX";
    if (!mkdtemp(tmp)) return 1;
    const std::string ini = std::string(tmp) + "/velto.ini";  // none yet: a first start
    veltoinioverride = ini.c_str();
    std::string size = std::string("/") + argv[2] + "x" + argv[3];
    char *args[] = {(char *)"velto", argv[1], &size[0], nullptr};
    int32_t code = 1;
    hl_reset();
    if (!veltostart(3, args, &code)) return code;
    for (int32_t i = 0; i < 60; i++) mainpass();
    const tiletype *t = hl_shown();
    FILE *f = fopen(argv[4], "wb");
    int32_t ok = f && t && t->f;
    if (ok) {
        const uint32_t dims[2] = {(uint32_t)t->x, (uint32_t)t->y};
        ok = fwrite(dims, 4, 2, f) == 2;
        for (int32_t y = 0; ok && y < t->y; y++)
            ok = fwrite((const char *)t->f + (intptr_t)y * t->p, 4, (size_t)t->x, f) == (size_t)t->x;
    }
    if (f && fclose(f)) ok = 0;
    veltostop();
    unlink(ini.c_str());
    rmdir(tmp);
    return ok ? 0 : 1;
}

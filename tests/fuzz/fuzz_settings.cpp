// fuzz_settings.cpp: any bytes as the settings file. Checks: reading never
// fails, bringing values into range twice changes nothing the first time
// did not, the settings written come back exactly as they were, and writing
// the file again gives the same bytes (other sections and lines kept as
// they stood). Must stay clean under AddressSanitizer and UBSan. One
// temporary file per process.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <fstream>
#include <sstream>
#include <string>
#include "settings/settings.h"

static char inipath[64];

static void removefile(void) { unlink(inipath); }

static std::string readback(void)
{
    std::stringstream s;
    s << std::ifstream(inipath, std::ios::binary).rdbuf();
    return s.str();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (!inipath[0]) {
        snprintf(inipath, sizeof inipath, "/tmp/fuzz_settings_%d.ini", (int)getpid());
        atexit(removefile);
    }
    FILE *f = fopen(inipath, "wb");
    if (!f || fwrite(data, 1, size, f) != size) abort();
    fclose(f);

    voptstype o;
    defaultopts(&o);
    readini(inipath, &o);
    fixopts(&o);
    voptstype again = o;
    fixopts(&again);
    if (memcmp(&o, &again, sizeof o)) abort();

    snprintf(veltoinifilnam, sizeof veltoinifilnam, "%s", inipath);
    vopts = o;
    if (!saveini()) abort();
    const std::string first = readback();
    voptstype back;
    defaultopts(&back);
    readini(inipath, &back);
    if (memcmp(&back, &o, sizeof o)) abort();
    if (!saveini() || readback() != first) abort();
    return 0;
}

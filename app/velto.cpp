// velto.cpp: start-up and shutdown of the program: the command line, the
// frame, the settings applied through the menu handlers, the decoded
// pictures, the first circuit; at the end the settings written back if they
// changed. Depends on the editor, the circuit model and the frame.
#include "app/app.h"
#include "circuit/circuit.h"
#include "edit/edit.h"
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <string.h>

const char *veltoinioverride = 0;

// === command line ===

// "/" followed by a digit: up to three numbers separated by non-digits; the
// first is the width, the second the height
static void parsesize(const char *arg)
{
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
static int32_t issizearg(const char *a)
{
    if (a[0] != '/' || !isdigit((unsigned char)a[1])) return 0;
    for (a++; *a; a++)
        if (*a == '/' || *a == '.' || (isalpha((unsigned char)*a) && *a != 'x' && *a != 'X')) return 0;
    return 1;
}

static const char usage[] =
    "usage: velto [options] [circuit.vsm] [/WIDTHxHEIGHT]\n"
    "  circuit.vsm      the circuit to open (\".vsm\" may be left out)\n"
    "  /WIDTHxHEIGHT    drawing area in pixels, at most 800x600 (default)\n"
    "  --scale N        show every pixel N x N (1..4; default: as the screen's density calls for)\n"
    "  --help           this text\n"
    "  --version        the version\n";

// an option; 0 taken, else the exit code after its message
static int32_t parseoption(int argc, char **argv, int *i, veltoargs *a)
{
    const char *o = argv[*i];
    if (!strcmp(o, "--help")) return printf("%s", usage), a->exitcode = 0, 0;
    if (!strcmp(o, "--version")) return printf("VELTO %s\n", veltoversion), a->exitcode = 0, 0;
    if (!strcmp(o, "--scale") || !strncmp(o, "--scale=", 8)) {
        const char *v = o[7] == '=' ? o + 8 : (*i + 1 < argc ? argv[++*i] : "");
        if (strlen(v) == 1 && v[0] >= '1' && v[0] <= '4') return a->scale = v[0] - '0', 0;
        fprintf(stderr, "velto: --scale wants 1, 2, 3 or 4, not '%s'\n%s", v, usage);
        return a->exitcode = 2;
    }
    fprintf(stderr, "velto: unknown option '%s'\n%s", o, usage);
    return a->exitcode = 2;
}

veltoargs parseargs(int argc, char **argv)
{
    veltoargs a = {0, -1, -1};
    for (int i = 1; i < argc && a.exitcode < 0; i++) {
        if (!strncmp(argv[i], "--", 2)) parseoption(argc, argv, &i, &a);
        else if (issizearg(argv[i])) parsesize(argv[i]);
        else a.file = argv[i];
    }
    if (xres > 800) xres = 800;
    if (yres > 600) yres = 600;
    return a;
}

// === start-up ===

// the stored settings take effect through the handlers that set them
static void applyopts(void)
{
    menusetoversamp(vopts.sampsperpix);
    const fonttype &f = fontlist[vopts.circfont];
    menusetfontsiz((f.width << 16) + f.height);
    menuinvcols(vopts.palinverted);
    menushowgrid(vopts.gridmode);
    menushowcircles(vopts.showcircles);
    menushowanimation(vopts.showanimation);
    menushowresults(vopts.showresults);
    menuengunits(vopts.engunits);
    menuusewingui(vopts.usewingui);
    menushowcirchelp(vopts.showcirchelp);
    menuautoyscale(vopts.autoyscale);
    menusetcpuusage(vopts.cpuusage);
    menurecent();
}

static void readsettings(void)
{
    if (veltoinioverride) snprintf(veltoinifilnam, sizeof veltoinifilnam, "%s", veltoinioverride);
    else setinipath();
    defaultopts(&vopts);
    readini(veltoinifilnam, &vopts);
    ovopts = vopts;
    fixopts(&vopts);
    vopts.usewingui = 0;  // the keyboard menu is always on here
}

// the editor at rest, the mouse in the middle of the window
static void initeditor(void)
{
    numnodes = numwires = 0;
    matbad = -1;
    ibodewire = -1;
    frqgraphmode = 0;
    curtypewire = curn = curw = -1;
    drawwiremode = 0;
    grabnode = grabrect = depwiremode = -1;
    numframes = INT32_MIN;
    dtotclk = odtotclk = deltim = oldtim = 0;  // the clock's start, as in a new process
    mousx = xres >> 1;
    mousy = (yres >> 1) + 16;
    fmousx = (float)mousx;
    fmousy = (float)mousy;
    bstatus = 0;
    mousexquant = (mousx & ~31) + 16;
    mouseyquant = (mousy & ~31) + 16;
    curfilename[0] = 0;
    renumlistener = editrenumber;
    vsmsectionwrite = plotsectionwrite;  // the open windows travel with the saved circuit
    vsmsectionread = plotsectionread;
    keyfilter = programkey;  // every reader of keys sees the program-wide ones handled
    keysowned = menuowns;
}

int32_t veltostart(int argc, char **argv, int32_t *exitcode)
{
    prognam = "VELTO";
    xres = 800, yres = 600;
    colbits = 32;
    veltoargs a = parseargs(argc, argv);  // the size and scale before the window opens
    *exitcode = a.exitcode;
    if (a.exitcode >= 0) return 0;
    readsettings();
    uiscale = a.scale > 0 ? a.scale : vopts.uiscale;
    if (initapp(xres, yres) < 0) {
        msgbox_ok("initapp failed", prognam);
        *exitcode = 1;
        return 0;
    }
    vopts.xres = xres;  // the size read from the file is not applied
    vopts.yres = yres;
    applyopts();
    titleforget();
    initeditor();
    colbytes = (colbits + 7) >> 3;
    drawpixp = drawpix32;
    decodepictures();
    editorreset();
    if (!a.file || !loadcircuit(a.file, 1)) markclean();
    recoveryoffer();
    undoreset();
    return 1;
}

// === shutdown ===

// the settings written when they changed; the window's size when it moved by
// 64 pixels or more
void veltokeep(void)
{
    int32_t dx = xres - ovopts.xres, dy = yres - ovopts.yres;
    if (dx * dx + dy * dy > 4095) {
        vopts.xres = xres;
        vopts.yres = yres;
    }
    errno = 0;
    if (!memcmp(&vopts, &ovopts, sizeof vopts)) return;
    if (saveini()) ovopts = vopts;
    else  // no window to say it in
        fprintf(stderr, "velto: the settings could not be written to %s: %s\n", veltoinifilnam,
                errno ? strerror(errno) : "unknown error");
}

void veltostop(void)
{
    recoverydrop();  // a clean exit: what was unsaved was meant to go
    uninitapp();
    veltokeep();
    freepictures();
}

int veltomain(int argc, char **argv)
{
    int32_t code;
    if (!veltostart(argc, argv, &code)) return code;
    runloop(mainpass, veltokeep, veltostop);
    return 0;
}

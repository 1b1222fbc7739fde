// settings.cpp: velto.ini, the user's preferences in its [VELTO] section:
// where it lives (beside the program when that folder takes files, else the
// user's configuration folder), reading it into vopts, bringing values into
// range, and writing it back with every other section kept; the recent files
// it keeps for the File menu; the names beside it. Depends on settings.h
// and the circuit layer's replacefile; the old file is read whole into
// memory when it is rewritten (a settings file is small).
#include "settings/settings.h"
#include "analysis/analysis.h"  // sampsteps
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// === settings state ===
voptstype vopts;
voptstype ovopts;
char veltoinifilnam[PATHMAX] = "velto.ini";
// The files this run opened or saved since the list was last read or
// written are the first recenttouched entries: a write puts them before
// what the file holds by then, which another program may have written.
static int32_t recenttouched = 0;

static const char inihead[] = "[VELTO]\r\n";
enum { INIHEADLEN = 9, INILINEMAX = 256 };
enum { RECENTKEYLEN = 8, INIPATHLINEMAX = RECENTKEYLEN + PATHMAX };  // "recent1=" and a path

static const struct {
    const char *name;
    int32_t voptstype::*field;
} inikeys[] = {  // file order
    {"xres", &voptstype::xres},
    {"yres", &voptstype::yres},
    {"fullscreen", &voptstype::fullscreen},
    {"ismaxxed", &voptstype::ismaxxed},
    {"circfont", &voptstype::circfont},
    {"showcirchelp", &voptstype::showcirchelp},
    {"palinverted", &voptstype::palinverted},
    {"gridmode", &voptstype::gridmode},
    {"showcircles", &voptstype::showcircles},
    {"showanimation", &voptstype::showanimation},
    {"showresults", &voptstype::showresults},
    {"usewingui", &voptstype::usewingui},
    {"sampsperpix", &voptstype::sampsperpix},
    {"autoyscale", &voptstype::autoyscale},
    {"cpuusage", &voptstype::cpuusage},
    {"uiscale", &voptstype::uiscale},
    {"engunits", &voptstype::engunits},
};
enum { NUMINIKEYS = sizeof(inikeys) / sizeof(inikeys[0]) };

void defaultopts(voptstype *o)
{
    memset(o, 0, sizeof *o);
    o->circfont = 1;
    o->showcirchelp = 1;
    o->gridmode = 1;
    o->showcircles = 1;
    o->showanimation = 1;
    o->showresults = 1;
    o->usewingui = 1;
    o->sampsperpix = 64;
    o->autoyscale = 1;
    o->cpuusage = 1;
    o->engunits = 1;
}

// === where the files live ===

int32_t joinpath(char *out, int32_t siz, const char *dir, const char *name)
{
    size_t n = strlen(dir);
    const char *sep = (n > 0 && dir[n - 1] != '/') ? "/" : "";
    return snprintf(out, siz, "%s%s%s", dir, sep, name) < siz;
}

int32_t exefolder(char *out, int32_t siz)
{
    char exe[PATHMAX];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    out[0] = 0;
    if (n <= 0 || n >= (ssize_t)sizeof exe - 1) return 0;  // unknown, or cut short
    exe[n] = 0;
    char *slash = strrchr(exe, '/');
    if (!slash) return 0;
    slash[slash == exe] = 0;  // "/velto" keeps its root folder
    if (snprintf(out, siz, "%s", exe) < siz) return 1;
    out[0] = 0;
    return 0;
}

int32_t fullpath(char *out, int32_t siz, const char *path)
{
    char real[PATH_MAX];
    if (realpath(path, real)) return snprintf(out, siz, "%s", real) < siz;
    if (path[0] == '/') return snprintf(out, siz, "%s", path) < siz;
    return getcwd(real, sizeof real) && joinpath(out, siz, real, path);
}

// 1 when a file can be made in dir (tried, not guessed from the mode bits,
// which do not bind the superuser and do not show a read-only file system)
static int32_t folderwritable(const char *dir)
{
    char probe[PATHMAX];
    if (!dir[0] || !joinpath(probe, sizeof probe, dir, ".velto-XXXXXX")) return 0;
    int fd = mkstemp(probe);
    if (fd < 0) return 0;
    close(fd);
    unlink(probe);
    return 1;
}

int32_t inipathfor(char *out, int32_t siz, const char *exedir, const char *confighome,
                   const char *home)
{
    if (folderwritable(exedir)) return joinpath(out, siz, exedir, "velto.ini");
    if (confighome && confighome[0] == '/') return joinpath(out, siz, confighome, "velto/velto.ini");
    if (home && home[0]) return joinpath(out, siz, home, ".config/velto/velto.ini");
    return joinpath(out, siz, exedir, "velto.ini");  // nowhere better: read it where it is
}

void setinipath(void)
{
    char exe[PATHMAX];
    exefolder(exe, sizeof exe);
    if (!inipathfor(veltoinifilnam, sizeof veltoinifilnam, exe, getenv("XDG_CONFIG_HOME"),
                    getenv("HOME")))
        snprintf(veltoinifilnam, sizeof veltoinifilnam, "velto.ini");
    helpdirfor(helpdir, sizeof helpdir, exe);
}

// === reading ===

// header bytes matched after byte c when k had matched before; a mismatch
// starts again without comparing c with the first byte
static int32_t headmatch(int32_t k, int32_t c) { return c == (uint8_t)inihead[k] ? k + 1 : 0; }

// strtol's base 0 (blanks, sign, 0x hex, 0 octal), held to 32 bits
static int32_t inivalue(const char *s)
{
    long v = strtol(s, 0, 0);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return (int32_t)v;
}

// 1 when velto.ini can hold path as a recent file: absolute, short enough,
// no control byte (a CR would end the line, the menu cannot show the rest)
static int32_t recentvalid(const char *path)
{
    size_t n = strnlen(path, PATHMAX);
    if (n == 0 || n >= PATHMAX || path[0] != '/') return 0;
    for (size_t i = 0; i < n; i++)
        if ((uint8_t)path[i] < 0x20) return 0;
    return 1;
}

// "recentN=path", N 1..RECENTMAX, from a line with every byte but CR kept;
// a path velto.ini cannot hold leaves the slot as it was
static void inirecent(const char *line, int32_t n, voptstype *o)
{
    if (n < RECENTKEYLEN || strncmp(line, "recent", 6) || line[7] != '=') return;
    int32_t k = line[6] - '1';
    if (k < 0 || k >= RECENTMAX || n - RECENTKEYLEN >= PATHMAX) return;
    if (memchr(line, 0, n)) return;  // a NUL inside: corrupt
    if (!recentvalid(line + RECENTKEYLEN)) return;
    memset(o->recent[k], 0, PATHMAX);  // nothing of a longer path before it stays behind its end
    memcpy(o->recent[k], line + RECENTKEYLEN, n - RECENTKEYLEN + 1);
}

// "key=value" for the first key the line starts with; others are ignored
static void iniline(const char *line, voptstype *o)
{
    for (int32_t k = 0; k < NUMINIKEYS; k++) {
        size_t n = strlen(inikeys[k].name);
        if (strncmp(line, inikeys[k].name, n) || line[n] != '=') continue;
        o->*inikeys[k].field = inivalue(line + n + 1);
        return;
    }
}

// every line to the end of the file; a line ends at CR or the end. For the
// number keys it keeps bytes 0x20..0x7F only and counts only while shorter
// than INILINEMAX; a recent file's line keeps every byte after a first LF
// (a path may hold any) and counts while shorter than INIPATHLINEMAX
static void inilines(FILE *f, voptstype *o)
{
    static char line[INILINEMAX + 1], raw[INIPATHLINEMAX + 1];
    int32_t n = 0, r = 0, c;
    do {
        c = getc(f);
        if (c != '\r' && c != EOF) {
            if (c >= 0x20 && c <= 0x7F && n < INILINEMAX) line[n++] = (char)c;
            if (r == 0 && c == '\n') continue;  // the LF of the CR LF before
            if (r < INIPATHLINEMAX) raw[r] = (char)c;
            r += r <= INIPATHLINEMAX;
            continue;
        }
        line[n] = 0;
        if (n < INILINEMAX) iniline(line, o);
        if (r < INIPATHLINEMAX) raw[r] = 0, inirecent(raw, r, o);
        n = r = 0;
    } while (c != EOF);
}

// the [VELTO] keys of an open file over o
static void inifile(FILE *f, voptstype *o)
{
    int32_t k = 0, c;
    while (k < INIHEADLEN && (c = getc(f)) != EOF) k = headmatch(k, c);
    if (k == INIHEADLEN) inilines(f, o);
}

void readini(const char *path, voptstype *o)
{
    if (o == &vopts) recenttouched = 0;  // the list as the file has it: nothing of this run's yet
    FILE *f = fopen(path, "rb");
    if (!f) return;
    inifile(f, o);
    fclose(f);
}

// === correcting ===

int32_t circfontindex(void) { return (uint32_t)vopts.circfont < NUMFONTS ? vopts.circfont : 1; }

static int32_t clampopt(int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// the time-scale resolution offered (sampsteps) nearest to v
static int32_t nearestoversamp(int32_t v)
{
    int32_t best = v;
    int64_t bestd = -1;
    for (int32_t s : sampsteps) {
        int64_t d = (int64_t)v - s;
        if (d < 0) d = -d;
        if (bestd < 0 || d < bestd) best = s, bestd = d;
    }
    return best;
}

// the valid paths of from[0..n), each once, in order, RECENTMAX at most, into
// out (which from may point into), zeros after each path and after the last
static void recentpack(const char *const *from, int32_t n, char (*out)[PATHMAX])
{
    static char list[RECENTMAX][PATHMAX];
    memset(list, 0, sizeof list);
    int32_t m = 0;
    for (int32_t i = 0; i < n && m < RECENTMAX; i++) {
        int32_t keep = recentvalid(from[i]);
        for (int32_t j = 0; j < m && keep; j++) keep = strcmp(list[j], from[i]) != 0;
        if (keep) memcpy(list[m++], from[i], strlen(from[i]) + 1);
    }
    memcpy(out, list, sizeof list);
}

void fixopts(voptstype *o)
{
    static int32_t voptstype::*const onoff[] = {
        &voptstype::showcirchelp, &voptstype::palinverted, &voptstype::gridmode,
        &voptstype::showcircles, &voptstype::showanimation, &voptstype::showresults,
        &voptstype::usewingui, &voptstype::autoyscale, &voptstype::engunits,
    };
    for (auto f : onoff) o->*f = clampopt(o->*f, 0, 1);
    o->circfont = clampopt(o->circfont, 0, NUMFONTS - 1);
    o->cpuusage = clampopt(o->cpuusage, 0, 2);
    o->uiscale = clampopt(o->uiscale, 0, 4);
    o->sampsperpix = nearestoversamp(o->sampsperpix);
    // --- recent files: each ended, valid and unlike those before it, packed to the front ---
    const char *from[RECENTMAX];
    for (int32_t k = 0; k < RECENTMAX; k++) o->recent[k][PATHMAX - 1] = 0, from[k] = o->recent[k];
    recentpack(from, RECENTMAX, o->recent);
}

// === recent files ===

int32_t recentcount(void)
{
    int32_t n = 0;
    while (n < RECENTMAX && vopts.recent[n][0]) n++;
    return n;
}

// entry k out, the later ones moved up
static void recentremove(int32_t k)
{
    if (k < recenttouched) recenttouched--;
    for (; k + 1 < RECENTMAX; k++) memcpy(vopts.recent[k], vopts.recent[k + 1], PATHMAX);
    memset(vopts.recent[RECENTMAX - 1], 0, PATHMAX);
}

void recentadd(const char *path)
{
    char abs[PATHMAX];
    if (!fullpath(abs, sizeof abs, path) || !recentvalid(abs)) return;
    int32_t k = 0;
    while (k < RECENTMAX - 1 && vopts.recent[k][0] && strcmp(vopts.recent[k], abs)) k++;
    if (k >= recenttouched && recenttouched < RECENTMAX) recenttouched++;
    for (; k > 0; k--) memcpy(vopts.recent[k], vopts.recent[k - 1], PATHMAX);
    memset(vopts.recent[0], 0, PATHMAX);
    memcpy(vopts.recent[0], abs, strlen(abs) + 1);
}

void recentprune(void)
{
    for (int32_t k = recentcount() - 1; k >= 0; k--)
        if (access(vopts.recent[k], F_OK) != 0) recentremove(k);
}

// === writing ===

struct inijob {
    const char *keep;   // the old file without its [VELTO] sections
    size_t keepn;
    const voptstype *o;
};

// old[0..n) into out (n + 2 bytes) without any [VELTO] section: a header
// found is taken back out and what follows is skipped up to the next line
// that starts with '[' (a '[' inside a line, as in a recent file's path, is
// the section's own);
// an unfinished last line gets CR LF, unless it ends in "[VELTO]", which
// the CR LF would make a header: that goes, our own header follows anyway.
// Returns the bytes kept
static size_t inikeep(const char *old, size_t n, char *out)
{
    size_t m = 0;
    int32_t k = 0, skip = 0;
    uint8_t last = '\n', prev = '\n';  // nothing yet counts as a finished line
    for (size_t i = 0; i < n; i++) {
        uint8_t c = (uint8_t)old[i];
        const int32_t linestart = prev == '\r' || prev == '\n';
        prev = c;
        if (skip && !(c == '[' && linestart)) continue;
        skip = 0;
        out[m++] = (char)c;
        last = c;
        k = headmatch(k, c);
        if (k == INIHEADLEN) {
            m -= INIHEADLEN;  // the header goes; its LF still ends the line before
            k = 0, skip = 1;
        }
    }
    if (k == INIHEADLEN - 2) m -= k, last = m ? (uint8_t)out[m - 1] : '\n';
    if (last != '\n') out[m++] = '\r', out[m++] = '\n';
    return m;
}

static int32_t iniwrite(FILE *f, void *ctx)
{
    const inijob *j = (const inijob *)ctx;
    if (fwrite(j->keep, 1, j->keepn, f) != j->keepn) return 0;
    fputs(inihead, f);
    for (int32_t k = 0; k < NUMINIKEYS; k++) fprintf(f, "%s=%d\r\n", inikeys[k].name, j->o->*inikeys[k].field);
    for (int32_t k = 0; k < RECENTMAX; k++)
        if (recentvalid(j->o->recent[k])) fprintf(f, "recent%d=%s\r\n", (int)k + 1, j->o->recent[k]);
    return !ferror(f);
}

// the whole file into *buf (malloc'ed, null when there is no file); 0 when
// it exists but cannot be read, so that nothing of it is lost by a rewrite
static int32_t readwhole(const char *path, char **buf, size_t *n)
{
    *buf = 0, *n = 0;
    FILE *f = fopen(path, "rb");
    if (!f) return errno == ENOENT;
    char chunk[4096];
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, f)) > 0;) {
        *buf = (char *)growmem(*buf, *n + got + 2);
        memcpy(*buf + *n, chunk, got);
        *n += got;
    }
    int32_t ok = !ferror(f);
    fclose(f);
    return ok;
}

// the folders above path, made as needed (the configuration folder may not
// exist yet)
static void makefolders(const char *path)
{
    char dir[PATHMAX];
    snprintf(dir, sizeof dir, "%s", path);
    for (char *p = dir + 1; (p = strchr(p, '/')) != 0; p++) {
        *p = 0;
        mkdir(dir, 0700);
        *p = '/';
    }
}

int32_t configfile(char *out, int32_t siz, const char *name)
{
    const char *slash = strrchr(veltoinifilnam, '/');
    int32_t n = slash ? (int32_t)(slash - veltoinifilnam) + 1 : 0;
    if (snprintf(out, siz, "%.*s%s", n, veltoinifilnam, name) >= siz) return 0;
    makefolders(out);
    return 1;
}

// vopts.recent: this run's touched entries, then the list of the file text
// old[0..n) (as it is now), then the rest of this run's; each once,
// RECENTMAX at most
static void recentmerge(char *old, size_t n)
{
    static voptstype disk;
    memset(disk.recent, 0, sizeof disk.recent);
    FILE *f = n ? fmemopen(old, n, "rb") : 0;
    if (f) inifile(f, &disk), fclose(f);
    const char *from[3 * RECENTMAX];
    int32_t nfrom = 0;
    for (int32_t k = 0; k < recenttouched; k++) from[nfrom++] = vopts.recent[k];
    for (int32_t k = 0; k < RECENTMAX; k++) from[nfrom++] = disk.recent[k];
    for (int32_t k = recenttouched; k < RECENTMAX; k++) from[nfrom++] = vopts.recent[k];
    recentpack(from, nfrom, vopts.recent);
}

int32_t saveini(void)
{
    char *old;
    size_t n;
    if (!readwhole(veltoinifilnam, &old, &n)) return 0;
    recentmerge(old, n);
    char *keep = (char *)growmem(0, n + 2);
    inijob j = {keep, inikeep(old ? old : "", n, keep), &vopts};
    makefolders(veltoinifilnam);
    int32_t r = replacefile(veltoinifilnam, iniwrite, &j);
    if (r) recenttouched = 0;
    free(keep);
    free(old);
    return r;
}

// === the help file ===

char helpdir[PATHMAX];  // folder of velto.txt; empty: the executable's folder

void helpfilename(char *out, int32_t siz, const char *inipath)
{
    int32_t n = (int32_t)strlen(inipath);
    if (n < 5 || n >= siz) { snprintf(out, siz, "velto.txt"); return; }
    memcpy(out, inipath, n - 3);
    memcpy(out + n - 3, "txt", 4);
}

// 1 when dir holds a readable velto.txt
static int32_t hashelp(const char *dir)
{
    char name[PATHMAX];
    return joinpath(name, sizeof name, dir, "velto.txt") && access(name, R_OK) == 0;
}

// velto.txt beside the program, or for an installed program in its data folder
void helpdirfor(char *out, int32_t siz, const char *exedir)
{
    char share[PATHMAX];
    int32_t shared = exedir[0] && joinpath(share, sizeof share, exedir, "../share/velto");
    snprintf(out, siz, "%s", !hashelp(exedir) && shared && hashelp(share) ? share : exedir);
}

// the settings path as the program derives it, in the folder of velto.txt
static int32_t helpinipath(char *out, int32_t siz)
{
    char dir[PATHMAX];
    if (helpdir[0]) {
        snprintf(dir, sizeof dir, "%s", helpdir);
    } else {
        char exe[PATHMAX];
        exefolder(exe, sizeof exe);
        helpdirfor(dir, sizeof dir, exe);
    }
    return joinpath(out, siz, dir, "velto.ini");
}

int32_t helpfilepath(char *out, int32_t siz)
{
    char ini[PATHMAX];
    if (!helpinipath(ini, sizeof ini)) return 0;
    helpfilename(out, siz, ini);
    return 1;
}

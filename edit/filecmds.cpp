// filecmds.cpp: the File menu's commands (New, Open, Save, Save As, the
// recent files) over the frame's dialogs, loading with its messages, the
// unsaved-changes mark and the recovery copy: the circuit is compared with
// the text of the file it came from, so an edit undone by hand counts as no
// change, and nothing is lost without a question, nor by a crash that comes
// RECOVERYSECONDS after an edit. Depends on edit.h, the circuit file, the
// settings (the recent list, the configuration folder), the frame's dialogs,
// and POSIX directory and process calls (which copies belong to programs gone).
#include "edit/edit.h"
#include <stdlib.h>
#include <string.h>
#include <dirent.h>
#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

// === unsaved changes ===
int32_t circuitdirty = 0;
textblob *savedblob = 0;
static char shown[PATHMAX + 32];  // the window title last set

textblob *blobof(char *text, size_t leng)
{
    textblob *b = (textblob *)growmem(0, sizeof *b);
    b->text = text, b->leng = leng, b->refs = 1;
    return b;
}

void blobhold(textblob *b)
{
    if (b) b->refs++;
}

void blobdrop(textblob *b)
{
    if (!b || --b->refs > 0) return;
    free(b->text);
    free(b);
}

// the file's name without its folder, or "untitled"
static const char *circuitname(void)
{
    const char *p = strrchr(curfilename, '/');
    p = p ? p + 1 : curfilename;
    return p[0] ? p : "untitled";
}

static void showtitle(void)
{
    char t[sizeof shown];
    snprintf(t, sizeof t, "%s%s - %s", circuitdirty ? "*" : "", circuitname(), prognam);
    if (strcmp(t, shown)) {
        memcpy(shown, t, sizeof t);
        settitle(t);
    }
}

void titleforget(void) { shown[0] = 0; }

void markclean(void)
{
    size_t n;
    char *t = vsmtext(&n);
    blobdrop(savedblob);
    savedblob = blobof(t, n);
    circuitdirty = 0;
    showtitle();
}

void checkdirtytext(const char *now, size_t n)
{
    circuitdirty = !savedblob || n != savedblob->leng || memcmp(now, savedblob->text, n) != 0;
    showtitle();
}

void checkdirty(void)
{
    size_t n;
    char *now = vsmtext(&n);
    checkdirtytext(now, n);
    free(now);
}

void releasectrl(void) { keystatus[SC_LCTRL] = keystatus[SC_RCTRL] = 0; }

// === saving ===

// the folder of the file last opened or saved, "" none yet (the working folder)
static char lastfolder[PATHMAX];

static void notefolder(const char *path)
{
    const char *slash = strrchr(path, '/');
    int32_t n = slash ? (int32_t)(slash - path) : 0;
    snprintf(lastfolder, sizeof lastfolder, "%.*s", n, path);
}


// "name" without an extension gains ".vsm"
static const char *withextension(const char *path, char *buf, size_t siz)
{
    const char *base = strrchr(path, '/');
    base = base ? base + 1 : path;
    if (strchr(base, '.') || strlen(path) + 5 > siz) return path;
    snprintf(buf, siz, "%s.vsm", path);
    return buf;
}

// === the file as this program left it ===
// Its size, time and inode when it was last read or written here: a Save
// over a file that another program (or a second VELTO) has written since
// asks first.
static struct stat filewas;
static int32_t filewasknown = 0;

static void notefile(void) { filewasknown = curfilename[0] && stat(curfilename, &filewas) == 0; }

// the question q (one %s: name) about replacing a file; 1 yes
static int32_t replaceasked(const char *q, const char *name)
{
    char text[PATHMAX + 96];
    snprintf(text, sizeof text, q, name);
    releasectrl();
    return msgbox_yesno(text, prognam);
}

// 1 when the circuit's file exists and is not as this program left it
static int32_t changedoutside(void)
{
    struct stat st;
    if (!filewasknown || stat(curfilename, &st) != 0) return 0;
    return st.st_size != filewas.st_size || st.st_ino != filewas.st_ino ||
           st.st_mtim.tv_sec != filewas.st_mtim.tv_sec || st.st_mtim.tv_nsec != filewas.st_mtim.tv_nsec;
}

// savevsm with a message box when it fails; 1 saved
static int32_t savecircuit(const char *path)
{
    if (!savevsm(path)) {
        releasectrl();
        msgbox_ok(vsmerror(), prognam);
        checkdirty();  // still unsaved
        return 0;
    }
    notefolder(curfilename);
    notefile();
    markclean();
    recentadd(curfilename);
    return 1;
}

// the name Save As proposes: the circuit's own file, or "untitled.vsm" in
// the folder last used
static const char *proposedname(char *buf, size_t siz)
{
    if (curfilename[0]) return curfilename;
    if (lastfolder[0] && strlen(lastfolder) + 14 < siz) snprintf(buf, siz, "%s/untitled.vsm", lastfolder);
    else snprintf(buf, siz, "untitled.vsm");
    return buf;
}

static int32_t saveas(void)
{
    releasectrl();
    char proposed[PATHMAX];
    const char *path = savefileselect("VSM file..", proposedname(proposed, sizeof proposed));
    if (!path) return 0;
    char buf[PATHMAX];
    const char *target = withextension(path, buf, sizeof buf);
    const char *leaf = strrchr(target, '/');
    if (target != path && access(target, F_OK) == 0 &&  // the chooser asked about the name as typed
        !replaceasked("%s exists. Replace it?", leaf ? leaf + 1 : target))
        return 0;
    return savecircuit(target);
}

static int32_t save(void)
{
    if (!curfilename[0]) return saveas();
    const char *q = "%s has changed since it was opened or saved here. Replace it?";
    if (changedoutside() && !replaceasked(q, circuitname())) return 0;
    return savecircuit(curfilename);
}

void menusavevsm(int32_t) { save(); }
void menusaveasvsm(int32_t) { saveas(); }

int32_t asksave(void)
{
    static const char *const buttons[] = {"Save", "Don't save", "Cancel"};
    if (!circuitdirty) return 1;
    recoverynow();  // the question may be cut short: the session ends, the program is killed
    char q[PATHMAX + 32];
    snprintf(q, sizeof q, "Save changes to %s?", circuitname());
    releasectrl();
    int32_t a = msgbox_ask(q, prognam, buttons, 3);
    if (a == 0) return save();
    return a == 1;
}

// === loading ===

int32_t loadcircuit(const char *path, int32_t retry)
{
    char before[PATHMAX];
    snprintf(before, sizeof before, "%s", curfilename);
    int32_t ok = loadvsm(path);
    char why[PATHMAX + 96];
    snprintf(why, sizeof why, "%s", vsmerror());
    if (!ok && retry && strlen(path) + 5 < PATHMAX) {
        char other[PATHMAX];
        snprintf(other, sizeof other, "%s.vsm", path);
        ok = loadvsm(other);
    }
    releasectrl();
    if (!ok) {
        msgbox_ok(why, prognam);
        return 0;
    }
    if (before[0] && !strcmp(before, curfilename)) editorreload();  // the same file again: views kept
    else editorreset(), plotsectionrestore();  // another file: the windows it was saved with
    undoreplaced();
    notefolder(curfilename);
    notefile();
    markclean();
    recentadd(curfilename);
    if (vsmrepairs) msgbox_ok(vsmrepairmsg(), prognam);
    return 1;
}

void menuloadvsm(int32_t)
{
    if (!asksave()) return;
    releasectrl();
    char pattern[PATHMAX + 8];
    snprintf(pattern, sizeof pattern, lastfolder[0] ? "%s/*.VSM" : "*.VSM", lastfolder);  // starts there
    const char *path = loadfileselect("VSM file..", pattern);
    if (path) loadcircuit(path, 0);
}

void menuopenrecent(int32_t k)
{
    if (k < 0 || k >= recentcount()) return;
    char path[PATHMAX];
    snprintf(path, sizeof path, "%s", vopts.recent[k]);  // a save in asksave reorders the list
    if (!asksave()) return;
    loadcircuit(path, 0);
}

// === new ===

void menunewvsm(int32_t)
{
    if (circuitdirty) {
        if (!asksave()) return;
    } else if (numnodes + numwires > 0) {
        releasectrl();
        if (!msgbox_yesno("Are you sure you want to clear?", prognam)) return;
    }
    editorreset();
    undoreplaced();
    numnodes = numwires = 0;
    ibodewire = -1;
    curfilename[0] = 0;  // a new circuit is untitled: Save asks for a name
    filewasknown = 0;
    markclean();
}

// === the recovery copy ===
// recovery-HOST-PID.vsm beside velto.ini, one per running program: the
// circuit's file text, then, when it has a file, a last line naming it. At
// start-up the copies of programs that are gone are offered, newest first; a
// copy whose program still runs on this host, or that another host wrote, is
// left alone, so two programs never take or remove each other's copy.
// recovery.vsm, the one name of earlier versions, counts as gone.

static const char recoveryold[] = "recovery.vsm";
static const char recoveryfile[] = "//File,";  // the last line's start
static char recoveryown[PATHMAX];  // this run's name, recovery-HOST-PID.vsm
static char recoveryhost[256];     // this host's name, '/' and control bytes made '_'
static char restored[PATHMAX];     // the copy restored at start, until this run's own replaces it
static double recoverydue = -1;    // program clock of the next write, -1: nothing unsaved
static int32_t recoveryheld = 0;   // 1 while this run's copy may be on disk

static const char *ownname(void)
{
    if (recoveryown[0]) return recoveryown;
    if (gethostname(recoveryhost, sizeof recoveryhost - 1) != 0 || !recoveryhost[0])
        snprintf(recoveryhost, sizeof recoveryhost, "localhost");
    for (char *c = recoveryhost; *c; c++)
        if (*c == '/' || (uint8_t)*c < 0x20) *c = '_';
    snprintf(recoveryown, sizeof recoveryown, "recovery-%s-%ld.vsm", recoveryhost, (long)getpid());
    return recoveryown;
}

// 1 when name is a recovery copy that may be offered: the old name, or this
// host's copy of a process that is gone (or is this one: an earlier run's)
static int32_t recoverygone(const char *name)
{
    if (!strcmp(name, recoveryold)) return 1;
    size_t n = strlen(name), h = strlen(recoveryhost);
    if (n < 14 + h || memcmp(name, "recovery-", 9) || strcmp(name + n - 4, ".vsm")) return 0;
    if (memcmp(name + 9, recoveryhost, h) || name[9 + h] != '-') return 0;
    char *end;
    long pid = strtol(name + 10 + h, &end, 10);
    if (end != name + n - 4 || pid <= 0) return 0;
    if (pid == (long)getpid()) return 1;
    return kill((pid_t)pid, 0) != 0 && errno == ESRCH;
}

struct recoveryjob {
    const char *text;            // the circuit's file text
    size_t leng;
    const char *name;            // its file, absolute, or ""
};

static int32_t recoverywrite(FILE *f, void *ctx)
{
    const recoveryjob *j = (const recoveryjob *)ctx;
    if (fwrite(j->text, 1, j->leng, f) != j->leng) return 0;
    if (j->name[0]) fprintf(f, "%s%s\r\n", recoveryfile, j->name);
    return !ferror(f);
}

// a name the last line can carry: no control byte
static int32_t nameline(const char *name)
{
    for (; *name; name++)
        if ((uint8_t)*name < 0x20) return 0;
    return 1;
}

void recoverytick(double now)
{
    if (!circuitdirty) {
        recoverydue = -1;
        recoverydrop();
        return;
    }
    if (recoverydue < 0) recoverydue = now + RECOVERYSECONDS;
    if (now < recoverydue) return;
    recoverydue = now + RECOVERYSECONDS;
    recoverynow();
}

void recoverynow(void)
{
    char path[PATHMAX], name[PATHMAX] = "";
    if (!configfile(path, sizeof path, ownname())) return;
    if (curfilename[0] && !fullpath(name, sizeof name, curfilename)) name[0] = 0;
    if (!nameline(name)) name[0] = 0;
    recoveryjob j = {0, 0, name};
    char *text = vsmtext(&j.leng);
    j.text = text;
    if (replacefile(path, recoverywrite, &j)) {  // a failure is tried again next time
        recoveryheld = 1;
        if (restored[0] && strcmp(restored, path)) unlink(restored);
        restored[0] = 0;
    }
    free(text);
}

void recoverydrop(void)
{
    char path[PATHMAX];
    if (recoveryheld && configfile(path, sizeof path, ownname())) unlink(path);
    if (restored[0]) unlink(restored);
    recoveryheld = 0, restored[0] = 0;
}

// the whole of path into a growmem'd buffer (a zero after it), null when it
// cannot be read
static char *readall(const char *path, size_t *n)
{
    FILE *f = fopen(path, "rb");
    if (!f) return 0;
    char *buf = 0, chunk[4096];
    *n = 0;
    for (size_t got; (got = fread(chunk, 1, sizeof chunk, f)) > 0;) {
        buf = (char *)growmem(buf, *n + got + 1);
        memcpy(buf + *n, chunk, got);
        *n += got;
    }
    if (ferror(f) || !buf) free(buf), buf = 0;
    if (buf) buf[*n] = 0;
    fclose(f);
    return buf;
}

// the file named by the last line of text[0..*n) into name, and *n cut before
// that line; name "" when there is none
static void splitname(const char *text, size_t *n, char *name, size_t siz)
{
    name[0] = 0;
    size_t end = *n, start;
    while (end > 0 && (text[end - 1] == '\r' || text[end - 1] == '\n')) end--;
    for (start = end; start > 0 && text[start - 1] != '\n'; start--) {
    }
    size_t k = sizeof recoveryfile - 1;
    if (end - start <= k || memcmp(text + start, recoveryfile, k) || end - start - k >= siz) return;
    memcpy(name, text + start + k, end - start - k);
    name[end - start - k] = 0;
    *n = start;
}

// the newest copy in folder dir (ending in '/', or "") that may be offered,
// into path; 0 when there is none
static int32_t newestgone(const char *dir, char *path, size_t siz)
{
    DIR *d = opendir(dir[0] ? dir : ".");
    if (!d) return 0;
    double best = -1;
    char full[PATHMAX];
    for (struct dirent *e; (e = readdir(d)) != 0;) {
        struct stat st;
        if (!recoverygone(e->d_name) || snprintf(full, sizeof full, "%s%s", dir, e->d_name) >= (int)sizeof full ||
            stat(full, &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        double t = st.st_mtim.tv_sec + st.st_mtim.tv_nsec * 1e-9;
        if (t > best) best = t, snprintf(path, siz, "%s", full);
    }
    closedir(d);
    return best >= 0;
}

// asks whether the copy at path is to be restored: yes loads it, unsaved and
// named as it was (1); no, or a copy that holds no circuit, 0 (the caller
// removes it)
static int32_t offerone(const char *path)
{
    char name[PATHMAX] = "", q[PATHMAX + 96];
    size_t n = 0;
    char *text = readall(path, &n);
    if (text) splitname(text, &n, name, sizeof name);
    const char *what = "an untitled circuit", *slash = strrchr(name, '/');
    if (name[0]) what = slash ? slash + 1 : name;
    snprintf(q, sizeof q, "The last session ended with unsaved changes to %s. Restore them?", what);
    releasectrl();
    int32_t yes = text && msgbox_yesno(q, prognam);
    if (yes && !vsmread(text, n)) {
        msgbox_ok("The recovery copy holds no circuit: it is removed.", prognam);
        yes = 0;
    }
    free(text);
    if (!yes) return 0;
    editorreset();
    undoreplaced();
    snprintf(curfilename, sizeof curfilename, "%s", name);
    if (name[0]) notefolder(name);
    notefile();  // restored over the file as it is now
    blobdrop(savedblob);
    savedblob = blobof(copytext(""), 0);  // no circuit text is empty: unsaved, whatever the file holds
    checkdirty();
    snprintf(restored, sizeof restored, "%s", path);  // kept until this run's own copy is written
    return 1;
}

void recoveryoffer(void)
{
    char dir[PATHMAX], path[PATHMAX];
    ownname();
    recoverydue = -1, recoveryheld = 0, restored[0] = 0;  // a run starts with nothing of its own
    if (!configfile(dir, sizeof dir, "")) return;
    while (newestgone(dir, path, sizeof path))
        if (offerone(path) || unlink(path) != 0) return;  // restored, or a copy that cannot go
}

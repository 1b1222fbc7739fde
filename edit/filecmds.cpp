// filecmds.cpp: the File menu's commands (New, Open, Save, Save As) over the
// frame's dialogs, loading with its messages, and the unsaved-changes mark:
// the circuit is compared with the text of the file it came from, so an edit
// undone by hand counts as no change, and nothing is lost without a question.
// Depends on edit.h, the circuit file and the frame's dialogs.
#include "edit/edit.h"
#include <stdlib.h>
#include <string.h>

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
    markclean();
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
    return savecircuit(withextension(path, buf, sizeof buf));
}

static int32_t save(void) { return curfilename[0] ? savecircuit(curfilename) : saveas(); }

void menusavevsm(int32_t) { save(); }
void menusaveasvsm(int32_t) { saveas(); }

int32_t asksave(void)
{
    static const char *const buttons[] = {"Save", "Don't save", "Cancel"};
    if (!circuitdirty) return 1;
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
    markclean();
    if (vsmrepairs) msgbox_ok(vsmrepairmsg(), prognam);
    return 1;
}

void menuloadvsm(int32_t)
{
    if (!asksave()) return;
    releasectrl();
    const char *path = loadfileselect("VSM file..", "*.VSM");
    if (path) loadcircuit(path, 0);
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
    markclean();
}

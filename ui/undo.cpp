// undo.cpp: undo and redo of every change to the circuit. A step is the
// circuit's file text (nodes, wires with their texts, Bode input, time scale)
// with its file name and the text that file held, taken when the user's
// action has ended: a wire chain, a drag, a run of typing or tuning, an open
// entry count as one action until they finish. Views, windows and settings
// are not steps. Depends on ui.h and the circuit file's in-memory texts.
// History: up to UNDOSTEPS steps and UNDOBYTES bytes; the oldest go first.
#include "ui/ui.h"
#include <stdlib.h>
#include <string.h>

enum { UNDOSTEPS = 10000 };
static const size_t UNDOBYTES = (size_t)64 << 20;

struct undostep {
    char *text;        // the circuit's text
    size_t leng;
    char *file;        // curfilename then
    textblob *saved;   // what that file held then (the unsaved mark follows it)
};

// === history ===
static undostep *undos, *redos;  // oldest first; the last is the next to take
static int32_t numundos, numredos, undomax, redomax;
static size_t historybytes;      // text bytes in both lists
static undostep settled;         // the circuit after the last finished action
static int32_t pending;          // 1: the circuit differs from settled
static char *noted;              // the circuit's text at the last undonote, when pending
static size_t notedleng;
int32_t undotunewire = -1;

static void freestep(undostep *s)
{
    historybytes -= s->leng;
    free(s->text);
    free(s->file);
    blobdrop(s->saved);
    *s = undostep{};
}

// the circuit as it is now, as a step
static undostep capture(void)
{
    undostep s;
    s.text = vsmtext(&s.leng);
    s.file = copytext(curfilename);
    s.saved = savedblob;
    blobhold(s.saved);
    historybytes += s.leng;
    return s;
}

static void push(undostep **list, int32_t *n, int32_t *max, undostep s)
{
    if (*n >= *max) {
        *max = *max ? 2 * *max : 64;
        *list = (undostep *)growmem(*list, (size_t)*max * sizeof(undostep));
    }
    (*list)[(*n)++] = s;
}

static void clearredo(void)
{
    while (numredos > 0) freestep(&redos[--numredos]);
}

// the oldest steps go while there are too many or they hold too much
static void trim(void)
{
    int32_t drop = 0;
    size_t bytes = historybytes;
    while (drop < numundos && (numundos - drop > UNDOSTEPS || bytes > UNDOBYTES)) bytes -= undos[drop++].leng;
    for (int32_t i = 0; i < drop; i++) freestep(&undos[i]);
    memmove(undos, undos + drop, (size_t)(numundos - drop) * sizeof(undostep));
    numundos -= drop;
}

void undoreset(void)
{
    while (numundos > 0) freestep(&undos[--numundos]);
    clearredo();
    freestep(&settled);
    settled = capture();
    pending = 0;
    free(noted);
    noted = nullptr;
}

// === finding the end of an action ===

// an action in progress: its changes so far are part of it
static int32_t acting(void)
{
    return drawwiremode || grabnode >= 0 || depwiremode >= 0 || curtypewire >= 0 || getstringmode >= 0 ||
           undotunewire >= 0;
}

void undonote(char *text, size_t leng)
{
    free(noted);
    pending = leng != settled.leng || memcmp(text, settled.text, leng) != 0 || strcmp(settled.file, curfilename) != 0;
    noted = pending ? text : nullptr;
    notedleng = leng;
    if (!pending) free(text);
}

void undosettle(void)
{
    if (!pending || acting()) return;
    pending = 0;
    push(&undos, &numundos, &undomax, settled);
    settled = undostep{noted, notedleng, copytext(curfilename), savedblob};
    blobhold(savedblob);
    historybytes += notedleng;
    noted = nullptr;
    clearredo();
    trim();
}

// === undo and redo ===

// stop whatever is in progress, so that what it changed is a step of its own
static void finishaction(void)
{
    if (getstringmode >= 0) getstringcancel();
    if (drawwiremode) cancelwire();
    grabnode = grabrect = depwiremode = curtypewire = undotunewire = -1;
    if (recalc & 1) {  // a change the re-solve has not seen yet
        size_t n;
        char *t = vsmtext(&n);
        undonote(t, n);
    }
    undosettle();
}

// the circuit, its file name and that file's text as step s held them
static void restore(const undostep *s)
{
    vsmread(s->text, s->leng);
    snprintf(curfilename, PATHMAX, "%s", s->file);
    blobhold(s->saved);
    blobdrop(savedblob);
    savedblob = s->saved;
    curn = curw = -1;
    plotprune();
    recalc = 3;
}

// moves the newest step of one list to the other, through the circuit
static int32_t travel(undostep *from, int32_t *nfrom, undostep **to, int32_t *nto, int32_t *maxto)
{
    finishaction();
    if (*nfrom == 0) {
        SysBeep(32);
        return 0;
    }
    undostep s = from[--*nfrom];
    push(to, nto, maxto, settled);
    restore(&s);
    settled = s;
    pending = 0;
    free(noted);
    noted = nullptr;
    checkdirty();
    return 1;
}

int32_t undo(void) { return travel(undos, &numundos, &redos, &numredos, &redomax); }
int32_t redo(void) { return travel(redos, &numredos, &undos, &numundos, &undomax); }
int32_t undocount(void) { return numundos; }
int32_t redocount(void) { return numredos; }

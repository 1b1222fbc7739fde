// undo.cpp: undo and redo of every change to the circuit. A step is the
// circuit's file text (nodes, wires with their texts, Bode input, time scale)
// taken when the user's action has ended: a wire chain, a drag, a run of
// typing or tuning, an open entry count as one action until they finish.
// Undo and redo change the circuit only: the file name stays the one last
// opened or saved, and the unsaved mark compares with what that file holds.
// Between two steps the history keeps how the items were renumbered, so the
// plot windows keep their probes across undo and redo. Views, windows and
// settings are not steps. Depends on edit.h and the circuit file's texts.
// History: up to UNDOSTEPS steps and UNDOBYTES bytes; the oldest go first.
#include "edit/edit.h"
#include <stdlib.h>
#include <string.h>

enum { UNDOSTEPS = 10000 };
static const size_t UNDOBYTES = (size_t)64 << 20;

// How the items of a newer circuit were numbered in the circuit one step
// older: back[j] the older index of newer item j, -1 new. A null list is the
// plain case: the first `old` items kept their places, the rest are new.
struct renumedge {
    int32_t *back[2];  // [newer count] per kind (RENUMNODE, RENUMWIRE), or null
    int32_t num[2];    // newer count (the list's length)
    int32_t old[2];    // older count
    int32_t replaced;  // 1: a New or Open between them: no item is the same
};

struct undostep {
    char *text;        // the circuit's text
    size_t leng;
    renumedge edge;    // undo list: to the next newer step; redo list: from the next older
};

// === history ===
static undostep *undos, *redos;  // oldest first; the last is the next to take
static int32_t numundos, numredos, undomax, redomax;
static size_t historybytes;      // text and edge bytes in both lists
static undostep settled;         // the circuit after the last finished action
static int32_t pending;          // 1: the circuit differs from settled
static char *noted;              // the circuit's text at the last undonote, when pending
static size_t notedleng;
int32_t undotunewire = -1;

// === renumbering since settled ===
static int32_t *since[2];        // [sincemax] per kind: settled's index of each item now, -1 new
static int32_t sincemax[2];
static int32_t sincenum[2];      // items settled had
static int32_t sincemoved;       // 1 once a notice came since settled
static int32_t sincereplaced;    // 1 once the circuit was replaced since settled

static int32_t count(int32_t kind) { return kind == RENUMNODE ? numnodes : numwires; }

static size_t edgebytes(const renumedge *e)
{
    return ((e->back[0] ? (size_t)e->num[0] : 0) + (e->back[1] ? (size_t)e->num[1] : 0)) * sizeof(int32_t);
}

static void freestep(undostep *s)
{
    historybytes -= s->leng + edgebytes(&s->edge);
    free(s->text);
    free(s->edge.back[0]);
    free(s->edge.back[1]);
    *s = undostep{};
}

// room for index i in since[kind]; new slots are new items
static void sinceroom(int32_t kind, int32_t i)
{
    if (i < sincemax[kind]) return;
    int32_t m = sincemax[kind], n = i + 1 > 2 * m ? i + 1 : 2 * m;
    since[kind] = (int32_t *)growmem(since[kind], (size_t)n * sizeof(int32_t));
    for (int32_t k = m; k < n; k++) since[kind][k] = -1;
    sincemax[kind] = n;
}

// the circuit as it is now is where renumbering is counted from
static void sincereset(void)
{
    for (int32_t k = 0; k < 2; k++) {
        sincenum[k] = count(k);
        sinceroom(k, sincenum[k]);
        for (int32_t i = 0; i < sincemax[k]; i++) since[k][i] = i < sincenum[k] ? i : -1;
    }
    sincemoved = sincereplaced = 0;
}

void undorenumber(int32_t kind, int32_t from, int32_t to)
{
    if (kind != RENUMNODE && kind != RENUMWIRE) return;
    sinceroom(kind, from > to ? from : to);
    int32_t *s = since[kind];
    sincemoved = 1;
    if (to >= 0 && s[to] < 0) s[to] = s[from];  // merged into an item: that item stays itself
    s[from] = -1;
}

void undoreplaced(void) { sincereplaced = 1; }

// what happened since settled, as an edge; the since lists start again
static renumedge takeedge(void)
{
    renumedge e = {};
    e.replaced = sincereplaced;
    for (int32_t k = 0; k < 2; k++) {
        e.num[k] = count(k), e.old[k] = sincenum[k];
        if (!sincemoved || sincereplaced) continue;
        sinceroom(k, e.num[k]);  // items added without a notice are new
        e.back[k] = (int32_t *)growmem(0, (size_t)e.num[k] * sizeof(int32_t) + 1);
        memcpy(e.back[k], since[k], (size_t)e.num[k] * sizeof(int32_t));
    }
    historybytes += edgebytes(&e);
    sincereset();
    return e;
}

// where item i of one end of edge e is at the other end (older: from the
// newer end to the older), -1 gone
static int32_t across(const renumedge *e, int32_t kind, int32_t i, int32_t older)
{
    if (e->replaced) return -1;
    const int32_t *b = e->back[kind];
    if (older) {
        if (i < 0 || i >= e->num[kind]) return -1;
        return b ? b[i] : i < e->old[kind] ? i : -1;
    }
    if (!b) return i >= 0 && i < e->old[kind] ? i : -1;
    for (int32_t j = 0; j < e->num[kind]; j++)
        if (b[j] == i && i >= 0) return j;
    return -1;
}

static const renumedge *crossing;  // the edge plotremap's callback reads
static int32_t crossolder;
static int32_t crossitem(int32_t kind, int32_t i) { return across(crossing, kind, i, crossolder); }

// the circuit as it is now, as a step
static undostep capture(void)
{
    undostep s = {};
    s.text = vsmtext(&s.leng);
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
    while (drop < numundos && (numundos - drop > UNDOSTEPS || bytes > UNDOBYTES))
        bytes -= undos[drop].leng + edgebytes(&undos[drop].edge), drop++;
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
    sincereset();
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
    pending = leng != settled.leng || memcmp(text, settled.text, leng) != 0;
    noted = pending ? text : nullptr;
    notedleng = leng;
    if (!pending) free(text);
}

void undosettle(void)
{
    if (!pending || acting()) return;
    pending = 0;
    settled.edge = takeedge();
    push(&undos, &numundos, &undomax, settled);
    settled = undostep{noted, notedleng, {}};
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

// moves the newest step of one list to the other, through the circuit: the
// edge between the two travels with them, and the windows' probes follow it
static int32_t travel(undostep *from, int32_t *nfrom, undostep **to, int32_t *nto, int32_t *maxto, int32_t older)
{
    finishaction();
    if (*nfrom == 0) {
        SysBeep(32);
        return 0;
    }
    undostep s = from[--*nfrom];
    settled.edge = s.edge;
    s.edge = renumedge{};
    push(to, nto, maxto, settled);
    vsmrestore(s.text, s.leng);
    crossing = &settled.edge, crossolder = older;
    plotremap(crossitem);
    curn = curw = -1;
    recalc = 3;
    settled = s;
    sincereset();
    pending = 0;
    free(noted);
    noted = nullptr;
    checkdirty();
    return 1;
}

int32_t undo(void) { return travel(undos, &numundos, &redos, &numredos, &redomax, 1); }
int32_t redo(void) { return travel(redos, &numredos, &undos, &numundos, &undomax, 0); }
int32_t undocount(void) { return numundos; }
int32_t redocount(void) { return numredos; }

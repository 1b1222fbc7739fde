// vsmfile.cpp: the .VSM circuit file. savevsm writes CR LF text through
// replacefile (a failed save leaves the old file); loadvsm reads the whole
// file at once and parses it line by line, LF or CR LF alike.
// Depends on circuit.h, expr.h (fixupfunc, solvefunc) and POSIX file calls.
// A malformed file loads what is sound and repairs the rest (counted in
// vsmrepairs), so every index it leaves names a real item; a file that is no
// circuit file at all is refused and the circuit stays as it was.
#include "circuit/circuit.h"
#include "expr/expr.h"
#include <errno.h>
#include <fcntl.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

// === file state ===
void (*vsmsectionwrite)(FILE *f) = 0;
void (*vsmsectionread)(const char *line, int32_t n) = 0;
char curfilename[PATHMAX] = "";
double transdefxsc = 0.015625;  // 2^-6 s/pixel
int32_t vsmrepairs = 0;

// === format ===
static const char vsmheader[] = "//VELTO version 12/2007";
static const char vsmoldheader[] = "//VELSIM circuit file:";  // switch values are converted
enum { VSMOLDLEN = 22 };

enum { KEYNODES, KEYWIRES, KEYBODEWIRE, KEYBODEFLIP, KEYXSC, KEYCOUNT };
static const char *const vsmkeys[KEYCOUNT] = {"NumNodes", "NumWires", "Ibodewire", "Ibodeflip",
                                              "TransDefXsc"};

// === limits of a loaded circuit ===
enum { VSMCOORDMAX = 1 << 24 };             // |x|, |y| of a node, world units
static const long VSMSIZEMAX = 1L << 30;    // larger files do not fit: not loaded

// === why the last load or save failed ===
static char vsmerr[PATHMAX + 96];

const char *vsmerror(void) { return vsmerr; }

static void vsmfail(const char *what, const char *path, const char *why)
{
    snprintf(vsmerr, sizeof vsmerr, "cannot %s '%s': %s", what, path, why);
}

// === writing ===
// The text of the circuit is made on every edit (the unsaved mark and the
// undo history), so its records go out a character at a time with the file
// locked once, not a formatted print a field: that took most of an undo step
// of a large circuit.

// a text field; a line break or a comma inside it would split the record
static void puttext(FILE *f, const char *s)
{
    for (; s && *s; s++) {
        char c = *s;
        if (c == '\r' || c == '\n') c = ' ';
        if (c == ',') c = ';';
        putc_unlocked(c, f);
    }
}

// n in decimal, as %d writes it, then the character after
static void putint(FILE *f, int32_t n, char after)
{
    char b[12];
    int32_t k = 0;
    uint32_t u = n < 0 ? 0u - (uint32_t)n : (uint32_t)n;
    do b[k++] = (char)('0' + u % 10);
    while (u /= 10);
    if (n < 0) putc_unlocked('-', f);
    while (k) putc_unlocked(b[--k], f);
    putc_unlocked(after, f);
}

// What a write covers. nmap/wmap give each node and wire its index in the
// text, -1 to leave it out (null: every one, in place).
struct vsmwriting {
    int32_t fixempty;   // 1 (a save): an empty value text is set to "0" in the model too,
                        // and the other rooms' sections end the file
    int32_t *nmap;      // [numnodes] or null
    int32_t *wmap;      // [numwires] or null
    int32_t nn, nw;     // how many nodes and wires the text holds
};

// a control's wire in the text: its own index when the control is left out
static int32_t vsmwritedep(const vsmwriting *v, int32_t i)
{
    const int32_t dep = wire[i].depwire, d = dep < 0 ? ~dep : dep;
    if (!v->wmap) return dep;
    const int32_t to = d >= 0 && d < numwires ? v->wmap[d] : -1;
    const int32_t nd = to >= 0 ? to : v->wmap[i];
    return dep < 0 ? ~nd : nd;
}

// the file's lines
static int32_t writevsm(FILE *f, void *ctx)
{
    const vsmwriting *v = (const vsmwriting *)ctx;
    fprintf(f, "%s\r\n", vsmheader);
    flockfile(f);  // held through the records: fprintf takes it again
    fprintf(f, "NumNodes,%d //Form: Node#,ScreenX,ScreenY,Isgrounded(0/1)\r\n", v->nn);
    for (int32_t i = 0, k = 0; i < numnodes; i++) {
        if (v->nmap && v->nmap[i] < 0) continue;
        putint(f, k++, ','), putint(f, node[i].x, ','), putint(f, node[i].y, ',');
        putint(f, node[i].isgrounded, '\r'), putc_unlocked('\n', f);
    }
    fprintf(f, "NumWires,%d //Form: Wire#,Node1,Node2,Element,Value,DepWire(1sComp),InitCond\r\n", v->nw);
    for (int32_t i = 0, k = 0; i < numwires; i++) {
        if (v->wmap && v->wmap[i] < 0) continue;
        int32_t empty = !wire[i].numst || !wire[i].numst[0];  // never empty in the file
        if (empty && v->fixempty) wiresetnumst(i, "0");
        int32_t n1 = v->nmap ? v->nmap[wire[i].node1] : wire[i].node1;
        int32_t n2 = v->nmap ? v->nmap[wire[i].node2] : wire[i].node2;
        putint(f, k++, ','), putint(f, n1, ','), putint(f, n2, ',');
        putc_unlocked((char)wire[i].element, f), putc_unlocked(',', f);
        puttext(f, empty ? "0" : wire[i].numst);
        putc_unlocked(',', f), putint(f, vsmwritedep(v, i), ',');
        puttext(f, wire[i].initst);
        putc_unlocked('\r', f), putc_unlocked('\n', f);
    }
    funlockfile(f);
    fprintf(f, "Ibodewire,%d //>=0:Input Bode Wire,-1:Use Transient analysis\r\n", v->wmap ? -1 : ibodewire);
    fprintf(f, "Ibodeflip,%d //0:default, 1:flip +,-\r\n", ibodeflip);
    fprintf(f, "TransDefXsc,%g //Suggested default time scale for Transient analysis (seconds/pixel)\r\n",
            transdefxsc);
    if (v->fixempty && vsmsectionwrite) vsmsectionwrite(f);
    return !ferror(f);
}

int32_t savevsm(const char *path)
{
    if (!path || !path[0] || strlen(path) >= PATHMAX) {
        vsmfail("write", path ? path : "", "the name is empty or too long");
        return 0;
    }
    vsmwriting v = {1, 0, 0, numnodes, numwires};
    if (!replacefile(path, writevsm, &v)) {
        vsmfail("write", path, replacefilewhy(errno));
        return 0;
    }
    if (path != curfilename) memmove(curfilename, path, strlen(path) + 1);
    return 1;
}

// the text of a write into a growmem'd buffer
static char *vsmwritetext(vsmwriting *v, size_t *len)
{
    char *buf = 0;
    size_t n = 0;
    FILE *f = open_memstream(&buf, &n);
    if (!f) outofmemory(BUFSIZ);
    writevsm(f, v);
    fclose(f);
    *len = n;
    return buf;
}

char *vsmtext(size_t *len)
{
    vsmwriting v = {0, 0, 0, numnodes, numwires};
    return vsmwritetext(&v, len);
}

char *vsmselectiontext(size_t *len)
{
    vsmwriting v = {0, 0, 0, 0, 0};
    v.nmap = (int32_t *)growmem(0, sizeof(int32_t) * ((size_t)numnodes + 1));
    v.wmap = (int32_t *)growmem(0, sizeof(int32_t) * ((size_t)numwires + 1));
    for (int32_t i = 0; i < numnodes; i++) v.nmap[i] = node[i].selected ? v.nn++ : -1;
    for (int32_t i = 0; i < numwires; i++) {
        int32_t in = nodeexists(wire[i].node1) && nodeexists(wire[i].node2) && v.nmap[wire[i].node1] >= 0 &&
                     v.nmap[wire[i].node2] >= 0;
        v.wmap[i] = in ? v.nw++ : -1;
    }
    char *t = vsmwritetext(&v, len);
    free(v.nmap);
    free(v.wmap);
    return t;
}

// === reading: lines and fields ===

struct vsmspan {
    const char *s, *e;  // [s, e)
};

struct vsmcursor {
    const char *p, *end;
};

// next line without its line feed and one final carriage return; 0 at the end
static int32_t vsmline(vsmcursor *c, vsmspan *l)
{
    if (c->p >= c->end) return 0;
    const char *s = c->p, *e = (const char *)memchr(s, '\n', (size_t)(c->end - s));
    c->p = e ? e + 1 : c->end;
    if (!e) e = c->end;
    if (e > s && e[-1] == '\r') e--;
    l->s = s;
    l->e = e;
    return 1;
}

static int32_t isblank8(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

static int32_t vsmblank(vsmspan l)
{
    for (const char *p = l.s; p < l.e; p++)
        if (!isblank8(*p)) return 0;
    return 1;
}

// splits a record: nf fields ended by commas (runs of commas count as one, as
// the format's tokenizer reads them), then the rest of the line as the last
// field, commas and all. Returns the number of fields found; a field ended by
// the line end instead of a comma is the last one found.
static int32_t vsmsplit(vsmspan l, int32_t nf, vsmspan *f)
{
    const char *s = l.s;
    for (int32_t k = 0; k < nf; k++) {
        while (s < l.e && *s == ',') s++;
        if (s >= l.e) return k;
        f[k].s = s;
        while (s < l.e && *s != ',') s++;
        f[k].e = s;
        if (s >= l.e) return k + 1;
        s++;
    }
    f[nf].s = s;
    f[nf].e = l.e;
    return nf + 1;
}

// which key the line starts with (KEYNODES ..), -1 for none; *rest is its value field
static int32_t vsmkey(vsmspan l, vsmspan *rest, int32_t *hasrest)
{
    vsmspan f[2];
    int32_t k = vsmsplit(l, 1, f);
    if (k < 1) return -1;
    *hasrest = k == 2;
    if (k == 2) *rest = f[1];
    for (int32_t i = 0; i < KEYCOUNT; i++) {
        size_t n = strlen(vsmkeys[i]);
        if ((size_t)(f[0].e - f[0].s) >= n && memcmp(f[0].s, vsmkeys[i], n) == 0) return i;
    }
    return -1;
}

// leading decimal integer (blanks, sign, digits) saturated to 32 bits; 0 without digits
static int32_t vsmint(vsmspan f, int32_t *v)
{
    const char *s = f.s;
    while (s < f.e && isblank8(*s)) s++;
    int32_t neg = 0;
    if (s < f.e && (*s == '+' || *s == '-')) neg = *s++ == '-';
    int64_t x = 0;
    int32_t any = 0;
    for (; s < f.e && *s >= '0' && *s <= '9'; s++, any = 1)
        if (x <= 0xFFFFFFFFLL) x = x * 10 + (*s - '0');
    if (neg) x = -x;
    if (x > INT32_MAX) x = INT32_MAX;
    if (x < INT32_MIN) x = INT32_MIN;
    *v = any ? (int32_t)x : 0;
    return any;
}

// leading floating-point number; 0 when there is none
static int32_t vsmdouble(vsmspan f, double *v)
{
    char b[64];
    size_t n = (size_t)(f.e - f.s);
    if (n > sizeof b - 1) n = sizeof b - 1;
    memcpy(b, f.s, n);
    b[n] = 0;
    char *end;
    *v = strtod(b, &end);
    return end != b;
}

// === reading: records ===

struct vsmreader {
    vsmcursor c;
    int32_t oldgen;   // "//VELSIM circuit file:": switch values are converted
    int32_t lines;    // non-blank lines in the file: no block can hold more records
    int32_t nbase;    // the text's node 0 lands in this slot (0 for a whole circuit)
    int32_t wbase;    // and its wire 0 in this one
    int32_t paste;    // 1: a fragment added to the circuit; its Bode input and time scale are not taken
};

// next record line of a block; 0 at the end of the file or at the next key line
static int32_t vsmrecord(vsmreader *r, vsmspan *l)
{
    for (;;) {
        const char *at = r->c.p;
        if (!vsmline(&r->c, l)) return 0;
        if (vsmblank(*l)) continue;
        vsmspan rest;
        int32_t hasrest;
        if (vsmkey(*l, &rest, &hasrest) < 0) return 1;
        r->c.p = at;  // the key line starts the next block
        return 0;
    }
}

// a block count: negative counts read as 0, and no count exceeds the file's lines
static int32_t vsmcount(vsmreader *r, vsmspan rest, int32_t hasrest, int32_t *declared)
{
    int32_t n = 0;
    if (!hasrest || !vsmint(rest, &n) || n < 0) {
        vsmrepairs++;
        n = 0;
    }
    *declared = n;
    return n < r->lines ? n : r->lines;
}

static int32_t clampcoord(int32_t v, int32_t *fixed)
{
    if (v > VSMCOORDMAX) v = VSMCOORDMAX, *fixed = 1;
    if (v < -VSMCOORDMAX) v = -VSMCOORDMAX, *fixed = 1;
    return v;
}

static void vsmnodes(vsmreader *r, vsmspan rest, int32_t hasrest)
{
    int32_t declared, n = vsmcount(r, rest, hasrest, &declared), i = 0;
    checknumnodes(r->nbase + n + 1);
    vsmspan l, f[4];
    while (i < n && vsmrecord(r, &l)) {
        int32_t k = vsmsplit(l, 3, f), x = 0, y = 0, g = 0, fixed = k < 4;
        if (k > 1 && !vsmint(f[1], &x)) fixed = 1;
        if (k > 2 && !vsmint(f[2], &y)) fixed = 1;
        if (k > 3 && !vsmint(f[3], &g)) fixed = 1;
        g &= 0xFF;  // the flag's low byte
        if (g > 1) g = 1, fixed = 1;
        nodetype &d = node[r->nbase + i];
        d.x = clampcoord(x, &fixed);
        d.y = clampcoord(y, &fixed);
        d.isgrounded = (int8_t)g;
        d.selected = 0;
        dispv[r->nbase + i] = 0;
        vsmrepairs += fixed;
        i++;
    }
    if (i < declared) vsmrepairs++;
    numnodes = r->nbase + i;
}

// stores a value or initial-condition text in canonical form, or the
// normalisation's error message in its place; a text that is such a message
// (read back from a file saved after that) stays as it is, so that it does
// not decay into "ERROR:TOOMANY" on the next read. A carriage return inside the
// field is dropped: the writer would make it a blank, which the next read
// drops, so the text would change on its way through a file.
// how a text's value and initial-condition fields are taken: VSMNORMAL
// normalised, a text the normaliser refuses replaced by its error message (a
// file from anywhere); VSMKEEPBAD normalised, a refused text kept as it stands
// (a paste: the user typed it so); VSMEXACT as they stand (the program's own
// snapshots)
enum { VSMNORMAL, VSMKEEPBAD, VSMEXACT };
static int32_t vsmtextmode = VSMNORMAL;

static void vsmtext(int32_t i, int32_t isinit, const char *prefix, vsmspan f)
{
    size_t np = strlen(prefix), n = 0;
    char *b = (char *)growmem(0, np + (size_t)(f.e - f.s) + 1);
    memcpy(b, prefix, np);
    for (const char *c = f.s; c < f.e; c++)
        if (*c != '\r') b[np + n++] = *c;
    b[np + n] = 0;
    char *kept = vsmtextmode == VSMKEEPBAD ? copytext(b) : 0;  // the normaliser may change a text it refuses
    const char *t = b;
    if (vsmtextmode != VSMEXACT && !fixupiserr(b) && !elementfixup(isinit ? 0 : wire[i].element, b))
        t = kept ? kept : fixupfuncerr;
    if (isinit) wiresetinitst(i, t);
    else wiresetnumst(i, t);
    free(b);
    free(kept);
}

static int32_t printable(int32_t c) { return c > ' ' && c < 0x7F; }

// an index of the text as a slot of the circuit, base added; one that
// would pass INT32_MAX stays there, out of range for the checks to catch
static int32_t vsmadd(int32_t i, int32_t base) { return i > INT32_MAX - base ? INT32_MAX : i + base; }

// a wire index of the text (~d flipped) as a slot of the circuit
static int32_t vsmshift(int32_t dep, int32_t base) { return dep < 0 ? ~vsmadd(~dep, base) : vsmadd(dep, base); }

// one wire line into slot i (the text's wire i - wbase); a wire that cannot
// name its nodes or letter gets node1 = -1 and is dropped by vsmcheck
static void vsmwire(vsmreader *r, int32_t i, int32_t count, vsmspan l)
{
    vsmspan f[7];
    int32_t k = vsmsplit(l, 6, f), fixed = 0;
    wiretype *w = &wire[i];
    int32_t n1, n2;
    w->element = k > 3 ? (unsigned char)f[3].s[0] : 0;
    int32_t sound = k > 3 && printable(w->element) && vsmint(f[1], &n1) && vsmint(f[2], &n2);
    sound = sound && n1 >= 0 && n2 >= 0;
    w->node1 = sound ? vsmadd(n1, r->nbase) : -1;
    w->node2 = sound ? vsmadd(n2, r->nbase) : -1;
    vsmspan none = {l.e, l.e};
    int32_t sw = r->oldgen && w->element == 'S';  // old switches closed after their time
    vsmtext(i, 0, sw ? "T>" : "", k > 4 ? f[4] : none);
    fixed |= k < 5;
    w->value = valueat0(w->numst);
    int32_t dep = i - r->wbase;
    if (k < 6 || !vsmint(f[5], &dep)) dep = i - r->wbase, fixed = 1;
    if (dep < ~count) dep ^= 0x7FFFFFFF;  // older flipped encoding: sign bit on the index
    w->depwire = vsmshift(dep, r->wbase);
    vsmspan init = k > 6 ? f[6] : none;
    if (init.s < init.e && init.s[0] == '\r') init = none;
    vsmtext(i, 1, "", init);
    fixed |= k < 7;
    dispi[i] = 0;
    if (w->node1 >= 0) vsmrepairs += fixed;
}

static void vsmwires(vsmreader *r, vsmspan rest, int32_t hasrest)
{
    int32_t declared, n = vsmcount(r, rest, hasrest, &declared), i = 0;
    checknumwires(r->wbase + n + 1);
    vsmspan l;
    while (i < n && vsmrecord(r, &l)) vsmwire(r, r->wbase + i++, declared, l);
    if (i < declared) vsmrepairs++;
    numwires = r->wbase + i;
}

// rounds to a power of two, sign kept: half the lowest exponent step is added
// to the bit pattern, then the 52 mantissa bits are cleared
static double pow2round(double v)
{
    uint64_t b;
    memcpy(&b, &v, 8);
    b += 1ULL << 51;
    b &= ~((1ULL << 52) - 1);
    memcpy(&v, &b, 8);
    return v;
}

static void vsmtimescale(vsmspan rest, int32_t hasrest)
{
    double v;
    if (!hasrest || !vsmdouble(rest, &v) || !(v > 0) || !isfinite(v)) {
        vsmrepairs++;  // no usable scale: the previous one stays
        return;
    }
    v = pow2round(v);
    if (v < XSCMIN) v = XSCMIN, vsmrepairs++;
    if (v > XSCMAX) v = XSCMAX, vsmrepairs++;
    transdefxsc = v;
}

// === reading: checks across blocks ===

// drops the read wires whose nodes are not among the read nodes or that join
// a node to itself (the others keep their order) and makes every read
// depwire name a read wire; for a whole circuit also ibodewire an existing
// wire. A control that names a wire outside the text or a dropped one leaves
// its source without one (a switch keeps its sense).
static void vsmcheck(const vsmreader *r)
{
    const int32_t b = r->wbase, n = numwires, nb = r->nbase;
    int32_t j = b;
    int32_t *map = (int32_t *)growmem(0, sizeof(int32_t) * (size_t)(n - b + 1));
    for (int32_t i = b; i < n; i++) {
        int32_t n1 = wire[i].node1, n2 = wire[i].node2;
        int32_t named = n1 >= nb && n1 < numnodes && n2 >= nb && n2 < numnodes;
        if (!named || n1 == n2) {  // a wire joining a node to itself is neither seen nor hit
            map[i - b] = -1;
            vsmrepairs++;
            continue;
        }
        map[i - b] = j;
        wiretype t = wire[j];
        wire[j] = wire[i];
        wire[i] = t;
        j++;
    }
    numwires = j;
    for (int32_t i = b; i < j; i++) {
        int32_t dep = wire[i].depwire, d = dep < 0 ? ~dep : dep;
        int32_t nd = d >= b && d < n ? map[d - b] : -1;
        if (nd >= 0) {
            wire[i].depwire = dep < 0 ? ~nd : nd;
            continue;
        }
        wire[i].depwire = (wire[i].element == 'S' && dep < 0) ? ~i : i;  // a switch keeps its sense
        vsmrepairs++;
    }
    if (!r->paste && ibodewire != -1) {
        int32_t nd = (ibodewire >= 0 && ibodewire < n) ? map[ibodewire] : -1;
        if (nd < 0) vsmrepairs++;
        ibodewire = nd;
    }
    if (ibodeflip != 0 && ibodeflip != 1) ibodeflip = 1, vsmrepairs++;
    free(map);
}

// === reading ===

// 1 when the text is a circuit file: it starts with one of the two header
// lines, or it has a node or a wire block
static int32_t vsmiscircuit(const char *buf, int32_t size)
{
    enum { VSMHEADLEN = 19 };  // "//VELTO version 12/": the month and year may differ
    if (size >= VSMHEADLEN && memcmp(buf, vsmheader, VSMHEADLEN) == 0) return 1;
    if (size >= VSMOLDLEN && memcmp(buf, vsmoldheader, VSMOLDLEN) == 0) return 1;
    vsmcursor c = {buf, buf + size};
    vsmspan l, rest;
    int32_t hasrest;
    while (vsmline(&c, &l)) {
        int32_t k = vsmkey(l, &rest, &hasrest);
        if (k == KEYNODES || k == KEYWIRES) return 1;
    }
    return 0;
}

// reads the text into the circuit from node slot nbase and wire slot wbase
// on; paste 1 keeps the circuit's Bode input and time scale
static void vsmparse(const char *buf, int32_t size, int32_t nbase, int32_t wbase, int32_t paste)
{
    vsmreader r;
    r.c.p = buf;
    r.c.end = buf + size;
    r.oldgen = size >= VSMOLDLEN && memcmp(buf, vsmoldheader, VSMOLDLEN) == 0;
    r.lines = 0;
    r.nbase = nbase, r.wbase = wbase, r.paste = paste;
    vsmspan l, rest;
    int32_t hasrest, seen[KEYCOUNT] = {0};
    while (vsmline(&r.c, &l)) r.lines += !vsmblank(l);
    r.c.p = buf;
    if (vsmline(&r.c, &l) && vsmkey(l, &rest, &hasrest) >= 0) r.c.p = buf;  // no header line
    numnodes = nbase, numwires = wbase;
    while (vsmline(&r.c, &l)) {
        int32_t key = vsmkey(l, &rest, &hasrest), v = 0;
        if (key < 0) continue;  // lines between the blocks are skipped
        seen[key] = 1;
        if (key == KEYNODES) vsmnodes(&r, rest, hasrest);
        if (key == KEYWIRES) vsmwires(&r, rest, hasrest);
        if (paste || (key != KEYXSC && key != KEYBODEWIRE && key != KEYBODEFLIP)) continue;
        if (key == KEYXSC) {
            vsmtimescale(rest, hasrest);
            continue;
        }
        int32_t has = hasrest && vsmint(rest, &v);
        vsmrepairs += !has;
        if (key == KEYBODEWIRE) ibodewire = has ? v : -1;
        else ibodeflip = has ? v : 0;
    }
    vsmrepairs += !seen[KEYNODES] + !seen[KEYWIRES];
    checknumnodes(numnodes + 1);  // room for a wire being drawn, also without blocks
    checknumwires(numwires + 1);
    vsmcheck(&r);
}

// the whole file in one buffer with a NUL after its last byte, or 0 (vsmerr
// says why). Opened without waiting, so that a pipe or a device is refused
// instead of holding the program until something writes to it.
static char *vsmreadall(const char *path, int32_t *size)
{
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    FILE *f = fd >= 0 ? fdopen(fd, "rb") : 0;
    if (!f) {
        vsmfail("read", path, strerror(errno));
        if (fd >= 0) close(fd);
        return 0;
    }
    struct stat st;
    char *buf = 0;
    if (fstat(fileno(f), &st) != 0) vsmfail("read", path, strerror(errno));
    else if (S_ISDIR(st.st_mode)) vsmfail("read", path, strerror(EISDIR));
    else if (!S_ISREG(st.st_mode)) vsmfail("read", path, "not a regular file");
    else if (st.st_size >= VSMSIZEMAX) vsmfail("read", path, "too large for a circuit file");
    else if (!(buf = (char *)malloc((size_t)st.st_size + 1)))  // checked: the size comes from outside
        vsmfail("read", path, strerror(ENOMEM));
    if (buf) {
        size_t n = fread(buf, 1, (size_t)st.st_size, f);
        buf[n] = 0;
        *size = (int32_t)n;
        if (ferror(f)) {
            vsmfail("read", path, strerror(errno ? errno : EIO));
            free(buf);
            buf = 0;
        }
    }
    fclose(f);
    return buf;
}

// every "//" line after the header to the room that keeps lines in the file
static void vsmsections(const char *buf, int32_t size)
{
    if (!vsmsectionread) return;
    vsmsectionread(0, 0);
    vsmcursor c = {buf, buf + size};
    vsmspan l;
    for (int32_t first = 1; vsmline(&c, &l); first = 0)
        if (!first && l.e - l.s >= 2 && l.s[0] == '/' && l.s[1] == '/') vsmsectionread(l.s, (int32_t)(l.e - l.s));
}

int32_t loadvsm(const char *path)
{
    if (!path || strlen(path) >= PATHMAX) {
        vsmfail("read", path ? path : "", "the name is too long");
        return 0;
    }
    int32_t size = 0;
    char *buf = vsmreadall(path, &size);
    if (!buf) return 0;
    int32_t ok = vsmread(buf, (size_t)size);
    if (ok) vsmsections(buf, size);
    free(buf);
    if (!ok) {
        snprintf(vsmerr, sizeof vsmerr, "'%s' is not a circuit file", path);
        return 0;
    }
    if (path != curfilename) memmove(curfilename, path, strlen(path) + 1);
    return 1;
}

int32_t vsmread(const char *text, size_t len)
{
    if (len > (size_t)VSMSIZEMAX || !vsmiscircuit(text, (int32_t)len)) return 0;
    vsmrepairs = 0;
    vsmparse(text, (int32_t)len, 0, 0, 0);
    recalc = 3;
    return 1;
}

int32_t vsmrestore(const char *text, size_t len)
{
    vsmtextmode = VSMEXACT;
    int32_t ok = vsmread(text, len);
    vsmtextmode = VSMNORMAL;
    return ok;
}

int32_t vsmpaste(const char *text, size_t len)
{
    if (len > (size_t)VSMSIZEMAX || !vsmiscircuit(text, (int32_t)len)) return -1;
    const int32_t first = numnodes;
    vsmrepairs = 0;
    vsmtextmode = VSMKEEPBAD;
    vsmparse(text, (int32_t)len, numnodes, numwires, 1);
    vsmtextmode = VSMNORMAL;
    for (int32_t i = 0; i < numnodes; i++) node[i].selected = i >= first;
    recalc = 3;
    return first;
}

const char *vsmrepairmsg(void)
{
    static char msg[64];
    if (vsmrepairs <= 0) return "";
    snprintf(msg, sizeof msg, "circuit file repaired: %d items fixed", (int)vsmrepairs);
    return msg;
}

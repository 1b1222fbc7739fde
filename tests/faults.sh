#!/bin/bash
# faults.sh TREE BUILD [N...]: applies each deliberate fault to the tree in
# turn, builds, runs the tests until the first failure, records whether the
# fault was caught, reverts the file, and prints a table. With numbers, only
# those faults run. Every fault must be caught: a test suite trimmed or a
# test rewritten is checked against it. Run by hand, on a tree of its own
# (it edits files): git worktree add /tmp/faults HEAD &&
#   cmake -S /tmp/faults -B /tmp/faults/build && tests/faults.sh /tmp/faults /tmp/faults/build
TREE=${1:?tree}; BUILD=${2:?build dir}; shift 2
ONLY=" $* "
HERE=$(cd "$(dirname "$0")" && pwd)
TABLE=$(mktemp)
declare -a NUMS

fault() {  # fault N BASENAME 'old' 'new' 'what'
    local n=$1 base=$2 old=$3 new=$4 what=$5
    if [ "$ONLY" != "  " ] && [[ "$ONLY" != *" $n "* ]]; then return; fi
    local file res
    if ! file=$(python3 "$HERE/faultapply.py" "$TREE" "$base" "$old" "$new"); then
        printf '%-3s %-16s %-12s %s\n' "$n" "$base" "NOT APPLIED" "$what" >> "$TABLE"
        return
    fi
    if ! cmake --build "$BUILD" -j2 > "$BUILD/fault$n.build.log" 2>&1; then
        res="NO BUILD"
    elif ctest --test-dir "$BUILD" -j2 --stop-on-failure > "$BUILD/fault$n.test.log" 2>&1; then
        res="NOT CAUGHT"
    else
        res="caught"
        res="caught by $(grep -m1 -oE '[A-Za-z0-9_]+\.[A-Za-z0-9_]+ \.+\*{0,3}(Failed|Exception|Timeout|SEGFAULT|Child aborted|Subprocess aborted)' "$BUILD/fault$n.test.log" | awk '{print $1}')"
    fi
    git -C "$TREE" checkout -q -- "$file"
    printf '%-3s %-16s %-40s %s\n' "$n" "$base" "$res" "$what" | tee -a "$TABLE" >&2
}

# === analysis ===
fault 1 equations.cpp 'put(b, rhs, -v * capindval[m], 0, F_NVCAP);' 'put(b, rhs, v * capindval[m], 0, F_NVCAP);' \
    "capacitor companion: wrong sign of the state term"
fault 2 transient.cpp 'delta = hs * TRANSPROBE;' 'delta = 2 * hs * TRANSPROBE;' \
    "transient sub-step: integration step twice too long"
fault 3 sparse.cpp 'if (mg > pk.bm) {' 'if (mg >= pk.bm) {' \
    "pivot search: a tie takes the later row"
fault 4 bode.cpp 'while (ph < 0) ph += TWOPI;' 'while (ph < 0) ph += 2 * TWOPI;' \
    "Bode phase: negative phases wrapped by 4 pi"
# === expressions, circuit, files ===
fault 5 evaluate.cpp 'oplevel[] = {7, 0, 1, 1, 1, 2, 2,' 'oplevel[] = {7, 0, 1, 2, 1, 2, 2,' \
    "expression: division at the precedence of addition"
fault 6 vsmfile.cpp 'if (!named || n1 == n2) {' 'if (!named) {' \
    "file reader: a wire joining a node to itself is kept"
fault 7 vsmfile.cpp 'v.wmap[i] = in ? v.nw++ : -1;' 'v.wmap[i] = in && i > 0 ? v.nw++ : -1;' \
    "selection copy: drops the first wire"
fault 8 circuit.cpp 'if (wire[i].node2 == l) wire[i].node2 = k;' 'if (wire[i].node2 == l) wire[i].node2 = l;' \
    "deletenode: the moved node keeps its old index in node2"
# === image and capture ===
fault 9 png.cpp 'c[i] += (uint8_t)((l + a) >> 1);' 'c[i] += (uint8_t)((l + a + 1) >> 1);' \
    "PNG decoder: Average filter rounds up"
fault 10 capture.cpp 'put16(head + 28, 4);' 'put16(head + 28, 8);' \
    "screen capture: wrong bits-per-pixel header field"
# === ui ===
fault 11 editwire.cpp 'for (int32_t i = numwires - 1; i >= 0; i--) {
        if (!nodeexists(wire[i].node1) || !nodeexists(wire[i].node2)) continue;
        double p1x' 'for (int32_t i = numwires - 1; i > 0; i--) {
        if (!nodeexists(wire[i].node1) || !nodeexists(wire[i].node2)) continue;
        double p1x' \
    "findwire: off by one, wire 0 never hit"
fault 12 menu.cpp 'static int32_t markis(int32_t arg, int32_t v) { return arg == v; }' \
    'static int32_t markis(int32_t arg, int32_t v) { return arg <= v; }' \
    "menu: choice marks tick every entry up to the one chosen"
fault 13 undo.cpp 'bytes > UNDOBYTES))' 'bytes > 2 * UNDOBYTES))' \
    "undo: history memory bound doubled"
fault 14 numfmt.cpp 'int32_t vx = (int32_t)(x / pow(10.0, ex - 6) + 0.5);' 'int32_t vx = (int32_t)(x / pow(10.0, ex - 6));' \
    "fstr: mantissa truncated instead of rounded"
fault 15 settings.cpp 'o->circfont = clampopt(o->circfont, 0, NUMFONTS - 1);' 'o->circfont = clampopt(o->circfont, 0, NUMFONTS);' \
    "settings reader: font clamp one past the last font"
fault 16 editor.cpp "elementkey(ch == ' ' ? 'T' : ch);" "elementkey(ch == ' ' ? 'X' : ch);" \
    "editor: Space draws an open instead of a connection"
fault 17 plotwin.cpp 'if (plotnames(p, kind, from)) removeplot(p);' 'if (plotnames(p, kind, from) && kind == RENUMNODE) removeplot(p);' \
    "plot windows: a window stays open when its probe wire is deleted"
fault 18 plotcsv.cpp "csvnum(f, -p->colmax[c - p->basecol], ',');" "csvnum(f, -p->colmin[c - p->basecol], ',');" \
    "plot CSV: min column holds the max"
fault 19 plotcsv.cpp 'if (deg > 180) deg -= 360;' 'if (deg > 540) deg -= 360;' \
    "Bode CSV: phases above 180 degrees not wrapped"
fault 20 text.cpp 'for (int32_t j = 0; j < 3 && n < bufsiz - 1; j++)' 'for (int32_t j = 0; j < 4 && n < bufsiz - 1; j++)' \
    "drawtext: a tab becomes four blanks"

fault 21 plotwin.cpp '        r.inwire = in;' '        r.inwire = r.inwire;' \
    "undo forgets the Bode input: it stays on the wire's old index"
fault 22 draw/keys.cpp '        if (taken == 2) return 0;' '' \
    "keys: the reader goes on reading after the menu took the keys"
fault 23 plotwin.cpp 'if (plot[p].kind == PLOT_BODE || plot[p].kind == PLOT_TRANS) plot[p].reset = -1;' 'if (plot[p].kind == PLOT_TRANS) plot[p].reset = -1; else if (plot[p].kind == PLOT_BODE) plot[p].phaseoffs = -1;' \
    "an edit resets a Bode window's view"
fault 24 evaluate.cpp '    globalx = 0;
    globalbad = 0;
    return solvefunc(text);' '    globalbad = 0;
    return solvefunc(text);' \
    "value at t = 0 evaluated at whatever time the last run left"
fault 25 menu.cpp 'if (*t == '"'"'*'"'"' || *t == '"'"'+'"'"') t++;' '' \
    "menufind: the mark is taken as part of the name"

cmake --build "$BUILD" -j2 > /dev/null 2>&1  # back to the tree as it is
echo
echo "fault table ($(git -C "$TREE" rev-parse --short HEAD), $(date -u +%H:%M) UTC)"
cat "$TABLE"
rm -f "$TABLE"

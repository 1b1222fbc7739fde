// fuzz_vsm.cpp: libFuzzer target: any bytes as a circuit file, loaded with
// loadvsm, then a DC build, a time-step build at t != 0 and a phasor build,
// each solved by both solvers and checked against the plain reference build
// and solver of the tests (same entries, heads and code, NaNs aside).
// Must stay clean under AddressSanitizer and UBSan. One temporary file per process.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>
#include <vector>
#include "analysis/analysis.h"
#include "circuit/circuit.h"
#include "tests/refsolver.cpp"

static char fuzzpath[64];

static void removefile(void) { unlink(fuzzpath); }

static int32_t samebits(double a, double b) { return !memcmp(&a, &b, sizeof a) || (a != a && b != b); }

static void expectsame(const std::vector<sparsel> &a, const sparsel *b) {
    for (size_t k = 0; k < a.size(); k++)
        if (!samebits(a[k].re, b[k].re) || !samebits(a[k].im, b[k].im) || a[k].next != b[k].next || a[k].col != b[k].col)
            abort();
}

// build and solve with the fast code and with the reference; they must agree
static void check(double w, double t, double h, int32_t iscomplex) {
    const int32_t n = numwires + numnodes;
    srand(1), snormstat = 0;
    initmat(w, t, h);
    std::vector<sparsel> built(el, el + elcnt);
    std::vector<int32_t> heads(yh, yh + n);
    srand(1), snormstat = 0;
    refinitmat(w, t, h);
    if ((size_t)elcnt != built.size() || heads != std::vector<int32_t>(yh, yh + n)) abort();
    expectsame(built, el);
    const int32_t code = iscomplex ? smatsolve_comp(yh, el, elcnt, pivorder, n)
                                   : smatsolve_real(yh, el, elcnt, pivorder, n);
    std::vector<int32_t> rows(yh, yh + n + 1);
    std::vector<sparsel> fast(el, el + (code == 0 ? rows[n] + 1 : 0));
    memcpy(el, built.data(), built.size() * sizeof(sparsel));
    for (int32_t r = 0; r < n; r++) yh[r] = heads[r];
    int32_t used;
    if (refsolve(iscomplex, yh, (int32_t)built.size(), pivorder, n, &used) != code) abort();
    if (code == 0) {
        if (rows != std::vector<int32_t>(yh, yh + n + 1)) abort();
        expectsame(fast, el);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (!fuzzpath[0]) {
        snprintf(fuzzpath, sizeof fuzzpath, "/tmp/fuzz_vsm_%d.vsm", (int)getpid());
        atexit(removefile);
    }
    FILE *f = fopen(fuzzpath, "wb");
    if (!f) return 0;
    fwrite(data, 1, size, f);
    fclose(f);
    if (!loadvsm(fuzzpath)) return 0;
    for (int32_t i = 0; i < numwires; i++)
        if (isnonlinear(wire[i].element)) return 0;  // the reference builds linear rows only
    for (int32_t i = 0; i < numwires; i++) capindval[i] = 0.25 * (i % 7) - 0.5;
    check(0, 0, 0, 0);
    check(0, 0, 0, 1);
    check(0, 0.125, 1e-4, 0);
    check(0, 0.125, 1e-4, 0);  // the same system again: right-hand side only
    check(0, 0.375, 1e-4, 0);  // sources at another time: matrix too, where values read t
    check(1000, 0, 0, 1);
    return 0;
}

// fuzz_expr.cpp: arbitrary bytes through fixupfunc and solvefunc. Checks that
// the evaluator never writes the text and that a text functimedep calls
// constant gives the same bits and flag at two different times.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <vector>
#include "expr/expr.h"

static double evalat(const char *text, double t, int32_t *bad) {
    globalx = t;
    globalbad = 0;
    double v = solvefunc(text);
    *bad = globalbad;
    return v;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::vector<char> text(data, data + size);
    text.push_back(0);
    fixupfunc(text.data());  // evaluated either way: solvefunc must survive any text
    std::vector<char> before = text;
    int32_t bad0, bad1;
    double v0 = evalat(text.data(), 0.0, &bad0);
    if (memcmp(before.data(), text.data(), text.size())) abort();
    if (!functimedep(text.data())) {
        double v1 = evalat(text.data(), 1.75, &bad1);
        if (memcmp(&v0, &v1, sizeof v0) || bad0 != bad1) abort();
    }
    return 0;
}

// fuzz_nonlinear.cpp: libFuzzer target: any bytes as the value text of a
// diode or N element in a small circuit (a source behind 1 kOhm, the element
// to ground, maybe a capacitor across it), solved for DC and a few transient
// columns. Checks that a diode text the model reader refuses is reported as
// such, that a solved circuit holds no NaN or infinity, and that transient
// columns computed without a failed sub-step are finite; libFuzzer's timeout
// catches a hang. Must stay clean under AddressSanitizer and UBSan.
//
// Bytes: [0] bit 0 N (else D), bit 1 the element reversed, bit 2 a 1 uF
// capacitor across it; [1] the source, (b - 128) / 4 V; the rest the text.
#include <math.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include "tests/testcircuit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > 256) return 0;
    const int32_t letter = data[0] & 1 ? 'N' : 'D', reversed = data[0] & 2, cap = data[0] & 4;
    std::string text((const char *)data + 2, size - 2);
    text = text.c_str();  // up to a zero byte
    const int32_t fixed = elementfixup(letter, &text[0]);
    text = text.c_str();

    char source[32];
    snprintf(source, sizeof source, "%g", (data[1] - 128) / 4.0);
    tcclear();
    const int32_t g = tcnode(1), a = tcnode(0), b = tcnode(0);
    tcwire(g, a, 'V', source);
    tcwire(a, b, 'R', "1000");
    tcwire(reversed ? g : b, reversed ? b : g, letter, text.c_str());
    if (cap) tcwire(b, g, 'C', "1E-6");

    diodemodel m;
    const int32_t refused = letter == 'D' && diodeparse(text.c_str(), &m);
    const int32_t code = dcsolve();
    if (refused && code != SOLVEBADMODEL) abort();
    if (code == SOLVED) {
        for (int32_t r = 0; r < numwires + numnodes; r++)
            if (!isfinite(el[yh[r]].re)) abort();
    }
    if (code != SOLVED || !cap || !fixed) return 0;
    tcplot p(b, 0, 1e-5);
    transbad = 0;
    transcompute(&p.rec, 64, 4, 6, nullptr, 0);
    if (transbad) return 0;
    for (int32_t c = 0; c < p.rec.numcols; c++)
        if (!isfinite(p.rec.colmin[c]) || !isfinite(p.rec.colmax[c])) abort();
    return 0;
}

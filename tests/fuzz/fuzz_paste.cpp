// fuzz_paste.cpp: any bytes pasted as circuit parts into a small circuit.
// Checks: the model stays sound (every index names a real item, every text
// exists, the old circuit untouched), exactly the pasted nodes are selected,
// and the pasted parts copied and pasted again give the same fragment text.
// Must stay clean under AddressSanitizer and UBSan.
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include "circuit/circuit.h"
#include "tests/testcircuit.h"

// V 5 V from grounded node 0 to node 1, R back, C controlled nowhere
static void base(void)
{
    static const char text[] =
        "NumNodes,2\r\n0,48,80,1\r\n1,240,80,0\r\n"
        "NumWires,2\r\n0,0,1,V,5,0,\r\n1,1,0,R,1000,1,\r\n";
    if (!vsmread(text, sizeof text - 1)) abort();
}

static void sound(void)
{
    if (!circuitsound() || numnodes >= numnodesmax || numwires >= numwiresmax) abort();
}

static std::string selection(void)
{
    size_t n;
    char *t = vsmselectiontext(&n);
    std::string s(t, n);
    free(t);
    return s;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    base();
    size_t n0;
    char *t0 = vsmtext(&n0);
    const std::string before(t0, n0);
    free(t0);
    const int32_t first = vsmpaste((const char *)data, size);
    if (first < 0) {  // refused: nothing changed
        size_t n;
        char *t = vsmtext(&n);
        if (std::string(t, n) != before) abort();
        free(t);
        return 0;
    }
    sound();
    if (first != 2 || wire[0].node2 != 1 || strcmp(wire[1].numst, "1000")) abort();
    for (int32_t i = 0; i < numnodes; i++)
        if (node[i].selected != (i >= first)) abort();
    const std::string fragment = selection();
    if (vsmpaste(fragment.data(), fragment.size()) < 0) abort();
    sound();
    if (vsmrepairs) abort();  // what the program wrote needs no repair
    if (selection() != fragment) abort();
    return 0;
}

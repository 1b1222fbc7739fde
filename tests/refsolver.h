// refsolver.h: the plain reference build and solver of the tests (refsolver.cpp).
#pragma once
#include <stdint.h>

// the equations as initmat builds them, every value text evaluated afresh
void refinitmat(double w, double t, double h);
// cplx 0 real, 1 complex; arguments and codes as smatsolve_real/comp;
// *countout: entries in use afterwards (fill-in and the back-substitution entry)
int32_t refsolve(int32_t cplx, int32_t *rows, int32_t count, int32_t *scratch, int32_t n,
                 int32_t *countout);

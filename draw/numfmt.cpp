// numfmt.cpp: the engineering number formatter behind every number on screen.
// fstr writes at most seven significant digits, plain where the magnitude allows
// and with an exponent otherwise; ltrim drops the blank in the sign position.
// Depends on the C library only. Not reentrant: every call of fstr overwrites gnumstr.
// Exponents of 100 or more print with three digits (E+100, E-308).
#include "draw/draw.h"
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <initializer_list>

// === number formatting state ===
char gnumstr[16];
const int32_t tenpow[10] = {1, 10, 100, 1000, 10000, 100000, 1000000,
                           10000000, 100000000, 1000000000};

// === digit helpers ===

// digit k (0 = units, 6 = leading) of the seven-digit mantissa v
static char fdigit(int32_t v, int32_t k) { return (char)('0' + (v / tenpow[k]) % 10); }

// |e| as two digits, or three when it reaches 100
static char *fexponent(char *p, int32_t e)
{
    *p++ = 'E';
    *p++ = (e < 0) ? '-' : '+';
    if (e < 0) e = -e;
    if (e >= 100) *p++ = (char)('0' + e / 100);
    *p++ = (char)('0' + (e / 10) % 10);
    *p++ = (char)('0' + e % 10);
    return p;
}

// x > 0 and finite: seven-digit mantissa in *v, decimal exponent in *e
static void fsplit(double x, int32_t *v, int32_t *e)
{
    int32_t bias = 0;
    if (x < 1e-290) { x *= 1e300; bias = 300; }  // keep 10^(e-6) clear of underflow
    int32_t ex = (int32_t)floor(log10(x));
    int32_t vx = (int32_t)(x / pow(10.0, ex - 6) + 0.5);
    // --- the logarithm may be off by one at a power of ten ---
    if (vx < 1000000) { vx *= 10; ex--; }
    if (vx > 9999999) { vx /= 10; ex++; }
    *v = vx;
    *e = ex - bias;
}

// === fstr / ltrim ===

char *fstr(double x)
{
    char *p = gnumstr;
    if (x != x) { p[0] = ' '; p[1] = 'N'; p[2] = 'A'; p[3] = 'N'; p[4] = 0; return gnumstr; }
    *p++ = (x < 0) ? '-' : ' ';
    if (isinf(x)) { *p++ = (char)0xEC; *p = 0; return gnumstr; }
    if (x == 0) { gnumstr[0] = ' '; *p++ = '0'; *p = 0; return gnumstr; }
    int32_t v, e;
    fsplit(fabs(x), &v, &e);
    int32_t s = 7;  // significant digits: drop the trailing zeros, keep one
    while (s > 1 && fdigit(v, 7 - s) == '0') s--;

    if (e >= 0 && e <= 6) {  // --- plain: ddd.ddd ---
        int32_t i;
        for (i = 0; i < s || i <= e; i++) {
            if (i == e + 1) *p++ = '.';
            *p++ = (i < s) ? fdigit(v, 6 - i) : '0';
        }
    } else if (e < 0 && e - s >= -8) {  // --- leading point: .000ddd ---
        *p++ = '.';
        for (int32_t i = 0; i < -e - 1; i++) *p++ = '0';
        for (int32_t i = 0; i < s; i++) *p++ = fdigit(v, 6 - i);
    } else {  // --- exponent: d.ddddddE+xx ---
        *p++ = fdigit(v, 6);
        if (s > 1) *p++ = '.';
        for (int32_t i = 1; i < s; i++) *p++ = fdigit(v, 6 - i);
        p = fexponent(p, e);
    }
    *p = 0;
    return gnumstr;
}

char *ltrim(char *p) { return (*p == ' ') ? p + 1 : p; }

// === engineering form with units ===
// digits significant digits (four for most) and an SI prefix from f to T, so
// that the mantissa lies in [1, 1000): "500 us", "1.57 kHz", "-47.02 mV"; a
// grid label asks for more when four cannot tell it from the next one
// ("5.0005 V" beside "5 V"). Outside the prefixes
// (and for 0, infinities and NaN) the plain form with the unit after it.
// digits before the point of a number as %g writes it (no exponent): 4 for
// "1000" and "-1000", 3 for "999.9"; read without parsing the number
static int32_t intdigits(const char *s)
{
    if (*s == '-') s++;
    int32_t k = 0;
    while (s[k] >= '0' && s[k] <= '9') k++;
    return k;
}

// a, b, c and d one after the other, as snprintf("%s%s%s%s") writes them
static int32_t joinstr(char *out, int32_t n, const char *a, const char *b, const char *c, const char *d)
{
    int32_t k = 0;
    for (const char *s : {a, b, c, d})
        for (; *s; s++, k++)
            if (k + 1 < n) out[k] = *s;
    if (n > 0) out[k < n ? k : n - 1] = 0;
    return k;
}

int32_t engstr(char *out, int32_t n, double v, const char *unit, char micro, int32_t digits)
{
    static const char prefix[] = {'f', 'p', 'n', 'u', 'm', 0, 'k', 'M', 'G', 'T'};
    digits = digits < 1 ? 1 : digits > 17 ? 17 : digits;
    if (v == 0 || !isfinite(v)) return snprintf(out, n, "%s %s", ltrim(fstr(v)), unit);
    int32_t e = (int32_t)floor(log10(fabs(v)) / 3) * 3;
    double m = v / pow(10.0, e);
    char text[40];
    snprintf(text, sizeof text, "%.*g", digits, m);
    if (intdigits(text) >= 4) e += 3, snprintf(text, sizeof text, "%.*g", digits, m / 1000);  // rounded up to 1000
    if (e < -15 || e > 12) return snprintf(out, n, "%s %s", ltrim(fstr(v)), unit);
    char p = prefix[e / 3 + 5];
    if (p == 'u') p = micro;
    const char prefixed[2] = {p, 0};
    return joinstr(out, n, text, unit[0] ? " " : "", prefixed, unit);  // bare with its prefix: "1k", "500m"
}

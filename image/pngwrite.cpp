// pngwrite.cpp: a PNG encoder for screen pictures: 8-bit RGB, each row with
// the filter that leaves the smallest sum of magnitudes (the usual rule),
// compressed by deflate.cpp. Depends on the C library only.
// Writes to a FILE the caller opened; pixels are 0x00RRGGBB.
#include <stdlib.h>
#include <string.h>
#include "image/image.h"

// === chunks ===
static void put32(uint8_t *p, uint32_t v) {
    p[0] = (uint8_t)(v >> 24), p[1] = (uint8_t)(v >> 16), p[2] = (uint8_t)(v >> 8), p[3] = (uint8_t)v;
}

static int32_t chunk(FILE *f, const char *type, const uint8_t *data, uint32_t n) {
    uint8_t head[8], tail[4];
    put32(head, n);
    memcpy(head + 4, type, 4);
    uint32_t crc = vcrc32(0, head + 4, 4);
    if (n) crc = vcrc32(crc, data, n);
    put32(tail, crc);
    return fwrite(head, 1, 8, f) == 8 && (!n || fwrite(data, 1, n, f) == n) && fwrite(tail, 1, 4, f) == 4;
}

// === filters ===
// Paeth's predictor: of left a, up b and up-left c, the one nearest a + b - c
static int32_t paeth(int32_t a, int32_t b, int32_t c) {
    int32_t p = a + b - c, pa = abs(p - a), pb = abs(p - b), pc = abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// row (n bytes, 3 per pixel) filtered with type t against prev into out[1..n]
static uint32_t filterrow(const uint8_t *row, const uint8_t *prev, int32_t n, int32_t t, uint8_t *out) {
    uint32_t cost = 0;
    out[0] = (uint8_t)t;
    for (int32_t i = 0; i < n; i++) {
        const int32_t a = i >= 3 ? row[i - 3] : 0, b = prev[i], c = i >= 3 ? prev[i - 3] : 0;
        const int32_t p = t == 0 ? 0 : t == 1 ? a : t == 2 ? b : t == 3 ? (a + b) >> 1 : paeth(a, b, c);
        const uint8_t d = (uint8_t)(row[i] - p);
        out[i + 1] = d;
        cost += d < 128 ? d : 256 - d;
    }
    return cost;
}

// === encoder ===
int32_t vpngwrite(FILE *f, const uint32_t *px, int32_t pitch, int32_t w, int32_t h) {
    if (!f || !px || w <= 0 || h <= 0 || (int64_t)w * h > (1 << 28)) return 0;
    const int32_t n = 3 * w;
    uint8_t *rows = (uint8_t *)calloc(2, (size_t)n), *best = (uint8_t *)malloc((size_t)n + 1);
    uint8_t *trial = (uint8_t *)malloc((size_t)n + 1);
    const size_t rawsize = (size_t)(n + 1) * (size_t)h;
    size_t zsize = vzlibbound(rawsize);
    uint8_t *raw = (uint8_t *)malloc(rawsize), *z = (uint8_t *)malloc(zsize);
    int32_t ok = rows && best && trial && raw && z;
    for (int32_t y = 0; ok && y < h; y++) {
        uint8_t *cur = rows + (y & 1) * n, *prev = rows + (~y & 1) * n;
        const uint32_t *src = (const uint32_t *)((const uint8_t *)px + (size_t)y * pitch);
        for (int32_t x = 0; x < w; x++)
            cur[3 * x] = (uint8_t)(src[x] >> 16), cur[3 * x + 1] = (uint8_t)(src[x] >> 8), cur[3 * x + 2] = (uint8_t)src[x];
        if (y == 0) memset(prev, 0, (size_t)n);
        uint32_t low = filterrow(cur, prev, n, 0, best);
        for (int32_t t = 1; t <= 4; t++) {
            const uint32_t c = filterrow(cur, prev, n, t, trial);
            if (c < low) low = c, memcpy(best, trial, (size_t)n + 1);
        }
        memcpy(raw + (size_t)y * (n + 1), best, (size_t)n + 1);
    }
    if (ok) zsize = vzlibcompress(z, zsize, raw, rawsize);
    ok = ok && zsize > 0;
    uint8_t ihdr[13];
    put32(ihdr, (uint32_t)w), put32(ihdr + 4, (uint32_t)h);
    ihdr[8] = 8, ihdr[9] = 2, ihdr[10] = ihdr[11] = ihdr[12] = 0;  // 8-bit RGB, not interlaced
    ok = ok && fwrite("\x89PNG\r\n\x1a\n", 1, 8, f) == 8 && chunk(f, "IHDR", ihdr, 13) &&
         chunk(f, "IDAT", z, (uint32_t)zsize) && chunk(f, "IEND", nullptr, 0);
    free(rows), free(best), free(trial), free(raw), free(z);
    return ok;
}

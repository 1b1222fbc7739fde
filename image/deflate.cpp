// deflate.cpp: the compressor behind the PNG encoder: a zlib stream of one
// deflate block with the fixed Huffman codes, strings found by hash chains
// over the 32 KB window, and the CRC-32 of PNG chunks. Screen pictures are
// long runs of a few colours, which the fixed codes and long matches serve
// well. Depends on the C library only.
#include <stdlib.h>
#include <string.h>
#include "image/image.h"

// === CRC-32 (the polynomial of PNG and zlib, reflected) ===
uint32_t vcrc32(uint32_t crc, const uint8_t *p, size_t n) {
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t i = 0; i < 256; i++) {
            uint32_t c = i;
            for (int32_t k = 0; k < 8; k++) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
    crc = ~crc;
    for (size_t i = 0; i < n; i++) crc = table[(crc ^ p[i]) & 255] ^ (crc >> 8);
    return ~crc;
}

// === bits out, least significant first ===
struct bitsink {
    uint8_t *p, *end;
    uint32_t acc;
    int32_t n;
    int32_t full;  // 1 when a byte did not fit
};

static void putbits(bitsink *s, uint32_t v, int32_t len) {
    s->acc |= v << s->n;
    s->n += len;
    while (s->n >= 8) {
        if (s->p < s->end) *s->p++ = (uint8_t)s->acc;
        else s->full = 1;
        s->acc >>= 8, s->n -= 8;
    }
}

// a Huffman code of len bits, sent most significant bit first
static void putcode(bitsink *s, uint32_t code, int32_t len) {
    uint32_t r = 0;
    for (int32_t k = 0; k < len; k++) r = r << 1 | (code >> k & 1);
    putbits(s, r, len);
}

// === the fixed codes ===
static void putliteral(bitsink *s, int32_t c) {
    if (c < 144) putcode(s, 0x30 + c, 8);
    else if (c < 256) putcode(s, 0x190 + c - 144, 9);
    else if (c < 280) putcode(s, c - 256, 7);
    else putcode(s, 0xC0 + c - 280, 8);
}

static const uint16_t lenbase[29] = {3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 15, 17, 19, 23, 27,
                                     31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
static const uint8_t lenextra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
static const uint16_t distbase[30] = {1, 2, 3, 4, 5, 7, 9, 13, 17, 25, 33, 49, 65, 97, 129, 193, 257, 385,
                                      513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
static const uint8_t distextra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

static void putmatch(bitsink *s, int32_t len, int32_t dist) {
    int32_t k = 28;
    while (lenbase[k] > len) k--;
    putliteral(s, 257 + k);
    putbits(s, (uint32_t)(len - lenbase[k]), lenextra[k]);
    int32_t d = 29;
    while (distbase[d] > dist) d--;
    putcode(s, (uint32_t)d, 5);
    putbits(s, (uint32_t)(dist - distbase[d]), distextra[d]);
}

// === matching ===
enum {
    WINDOW = 32768,     // farthest distance back
    HASHBITS = 15,
    MINMATCH = 3, MAXMATCH = 258,
    CHAINMAX = 48,      // candidates tried per position
};

static uint32_t hash3(const uint8_t *p) { return ((uint32_t)p[0] << 16 | p[1] << 8 | p[2]) * 2654435761u >> (32 - HASHBITS); }

// the longest match for in[i..n) among the chained earlier positions; its length (0 none)
static int32_t longest(const uint8_t *in, size_t i, size_t n, const int32_t *prev, int32_t cand, int32_t *dist) {
    int32_t best = 0;
    const int32_t most = n - i < MAXMATCH ? (int32_t)(n - i) : MAXMATCH;
    for (int32_t tries = 0; cand >= 0 && i - (size_t)cand <= WINDOW && tries < CHAINMAX; tries++) {
        const uint8_t *a = in + cand, *b = in + i;
        if (a[best] == b[best]) {
            int32_t l = 0;
            while (l < most && a[l] == b[l]) l++;
            if (l > best) best = l, *dist = (int32_t)(i - (size_t)cand);
            if (l == most) break;
        }
        cand = prev[cand & (WINDOW - 1)];
    }
    return best >= MINMATCH ? best : 0;
}

// === the zlib stream ===
size_t vzlibbound(size_t n) { return n + n / 8 + 64; }  // 9 bits per literal at worst

size_t vzlibcompress(uint8_t *out, size_t cap, const uint8_t *in, size_t n) {
    int32_t *head = (int32_t *)malloc(sizeof(int32_t) << HASHBITS), *prev = (int32_t *)malloc(sizeof(int32_t) * WINDOW);
    if (!head || !prev || cap < 6) {
        free(head), free(prev);
        return 0;
    }
    memset(head, 0xFF, sizeof(int32_t) << HASHBITS);
    bitsink s = {out, out + cap, 0, 0, 0};
    putbits(&s, 0x78, 8), putbits(&s, 0x01, 8);  // deflate, 32 KB window, fastest level: 0x7801 % 31 == 0
    putbits(&s, 1, 1), putbits(&s, 1, 2);        // the final block, fixed codes
    auto insert = [&](size_t i) {
        const uint32_t h = hash3(in + i);
        prev[i & (WINDOW - 1)] = head[h];
        head[h] = (int32_t)i;
    };
    for (size_t i = 0; i < n && !s.full;) {
        int32_t len = 0, dist = 0;
        if (i + MINMATCH <= n) {
            len = longest(in, i, n, prev, head[hash3(in + i)], &dist);
            insert(i);
        }
        if (!len) {
            putliteral(&s, in[i++]);
            continue;
        }
        putmatch(&s, len, dist);
        for (size_t e = i + (size_t)len, j = i + 1; j < e; j++)
            if (j + MINMATCH <= n) insert(j);
        i += (size_t)len;
    }
    putliteral(&s, 256);
    if (s.n) putbits(&s, 0, 8 - s.n);  // to the byte
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < n; i++) a = (a + in[i]) % 65521, b = (b + a) % 65521;
    const uint32_t adler = b << 16 | a;
    for (int32_t k = 24; k >= 0; k -= 8) putbits(&s, adler >> k & 255, 8);
    free(head), free(prev);
    return s.full ? 0 : (size_t)(s.p - out);
}

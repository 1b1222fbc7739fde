// fuzz_png.cpp: hostile bytes into vpgetdim and vprender, once as the program
// calls them (a buffer of exactly width x height x 4 pixels) and once into a
// small target at offsets taken from the input. Pictures wider than 2^20 that
// the decoder would accept are skipped: their row buffers alone pass the limit.
#include <stdint.h>
#include <stdlib.h>
#include "image/image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2 || size > (1 << 20)) return 0;
    int32_t w, h, len = (int32_t)size;
    vpgetdim(data, len, &w, &h);
    const uint64_t pixels = w > 0 && h > 0 ? (uint64_t)w * (uint64_t)h : 0;  // below 2^62
    if (w > (1 << 20) && pixels * 4 <= 0x7FFFFFFF) return 0;
    if (pixels > 0 && pixels <= (1 << 22)) {
        uint32_t *buf = (uint32_t *)malloc((size_t)pixels * 4);
        vprender(data, len, (intptr_t)buf, w * 4, w, h, 0, 0);
        free(buf);
    }
    uint32_t *small = (uint32_t *)malloc(7 * 5 * 4);
    vprender(data, len, (intptr_t)small, 7 * 4, 7, 5, (int8_t)data[size - 1] % 16, (int8_t)data[size - 2] % 16);
    free(small);
    return 0;
}

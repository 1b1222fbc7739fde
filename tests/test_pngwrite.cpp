// test_pngwrite.cpp: the PNG encoder's pictures decode to the very pixels
// written, with the program's own decoder and with libpng, for pictures a
// screen holds (flat areas, lines, text-like noise) and odd sizes.
#include <gtest/gtest.h>
#include <png.h>
#include <stdio.h>
#include <stdlib.h>
#include <vector>
#include "image/image.h"

namespace {

std::vector<uint32_t> picture(int w, int h, unsigned seed) {
    std::vector<uint32_t> px((size_t)w * h);
    srand(seed);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint32_t v = (x / 7 + y / 5) % 3 == 0 ? 0x000000 : 0x55FF55;  // flat areas
            if (x == y % w) v = 0xFFFFFF;                                // a line
            if (rand() % 11 == 0) v = (uint32_t)rand() & 0xFFFFFF;        // noise
            px[(size_t)y * w + x] = v;
        }
    return px;
}

std::vector<uint8_t> encode(const std::vector<uint32_t> &px, int w, int h) {
    char *buf = nullptr;
    size_t n = 0;
    FILE *f = open_memstream(&buf, &n);
    EXPECT_EQ(vpngwrite(f, px.data(), w * 4, w, h), 1);
    fclose(f);
    std::vector<uint8_t> out(buf, buf + n);
    free(buf);
    return out;
}

// 0x00RRGGBB pixels through libpng
std::vector<uint32_t> libpngdecode(const std::vector<uint8_t> &file, int *w, int *h) {
    png_image im = {};
    im.version = PNG_IMAGE_VERSION;
    std::vector<uint32_t> px;
    if (!png_image_begin_read_from_memory(&im, file.data(), file.size())) return px;
    im.format = PNG_FORMAT_BGRA;
    px.resize((size_t)im.width * im.height);
    if (!png_image_finish_read(&im, nullptr, px.data(), 0, nullptr)) px.clear();
    for (uint32_t &v : px) v &= 0xFFFFFF;
    *w = (int)im.width, *h = (int)im.height;
    return px;
}

}  // namespace

TEST(Pngwrite, DecodesToTheSamePixelsWithBothDecoders) {
    const struct { int w, h; } sizes[] = {{1, 1}, {801, 3}, {37, 91}, {800, 600}};
    for (auto s : sizes) {
        const std::vector<uint32_t> px = picture(s.w, s.h, (unsigned)s.w);
        const std::vector<uint8_t> file = encode(px, s.w, s.h);
        std::vector<uint32_t> mine((size_t)s.w * s.h);
        int32_t w = 0, h = 0;
        vpgetdim(file.data(), (int32_t)file.size(), &w, &h);
        EXPECT_EQ(w, s.w);
        EXPECT_EQ(h, s.h);
        ASSERT_EQ(vprender(file.data(), (int32_t)file.size(), (intptr_t)mine.data(), s.w * 4, s.w, s.h, 0, 0), 0);
        for (uint32_t &v : mine) v &= 0xFFFFFF;
        EXPECT_TRUE(mine == px) << s.w << "x" << s.h;
        int lw = 0, lh = 0;
        EXPECT_TRUE(libpngdecode(file, &lw, &lh) == px) << s.w << "x" << s.h;
    }
    std::vector<uint32_t> one(1);
    EXPECT_EQ(vpngwrite(nullptr, one.data(), 4, 1, 1), 0);
    char *buf = nullptr;
    size_t n = 0;
    FILE *f = open_memstream(&buf, &n);
    EXPECT_EQ(vpngwrite(f, one.data(), 4, 0, 1), 0);
    fclose(f);
    free(buf);
}

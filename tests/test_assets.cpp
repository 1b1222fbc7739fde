// test_assets.cpp: the embedded 6x8 font strip decodes with the program's own
// decoder into the glyphs of frame/font6x8.inc (the other strips and the
// pictures are checked against their scripts by Assets.*Regenerate).
#include <gtest/gtest.h>
#include <vector>
#include "image/image.h"
#include "app/app.h"
#include "edit/edit.h"

namespace {
#include "frame/font6x8.inc"

struct decoded {
    int32_t w = 0, h = 0, rc = -1;
    std::vector<uint32_t> px;
    uint32_t at(int32_t x, int32_t y) const { return px[(size_t)y * w + x]; }
};

decoded decode(const unsigned char *png, int32_t leng) {
    decoded d;
    vpgetdim(png, leng, &d.w, &d.h);
    if (d.w <= 0 || d.h <= 0) return d;
    d.px.assign((size_t)d.w * d.h, 0x12345678);
    d.rc = vprender(png, leng, (intptr_t)d.px.data(), d.w * 4, d.w, d.h, 0, 0);
    return d;
}

}  // namespace

// === fonts ===

TEST(Fontstrip, FrameTableMatchesThe6x8Strip)
{
    decoded img = decode(fontlist[1].png, fontlist[1].leng);
    ASSERT_EQ(img.rc, 0);
    for (int32_t c = 0; c < 256; c++)
        for (int32_t y = 0; y < 8; y++)
            for (int32_t x = 0; x < 8; x++) {
                bool strip = x < 6 && (img.at(x, c * 8 + y) & 0xFF) != 0;
                ASSERT_EQ(strip, ((font6x8[c][y] >> (7 - x)) & 1) != 0) << "code " << c << " row " << y;
            }
}

// test_png.cpp: the PNG decoder against the pictures of an independent encoder
// (tests/data/png/make_pngs.py with its expected.txt), against hostile files
// built here (headers, every truncation). Every decode lands in a target with
// a guard band.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>
#include "image/image.h"

namespace {

typedef std::vector<uint8_t> bytes;
const uint32_t FILL = 0x5A5A5A5A;   // as in make_pngs.py
const int GUARD = 3;                // pixels of guard band around every target

bytes readpng(const std::string &name) {
    bytes b;
    FILE *fp = fopen((std::string(VELTO_SOURCE_DIR) + "/tests/data/png/" + name).c_str(), "rb");
    if (!fp) { ADD_FAILURE() << "missing " << name; return b; }
    for (int c; (c = fgetc(fp)) != EOF;) b.push_back((uint8_t)c);
    fclose(fp);
    return b;
}

uint64_t fnv(const std::vector<uint32_t> &px) {
    uint64_t h = 0xCBF29CE484222325ull;
    for (uint32_t w : px)
        for (int k = 0; k < 4; k++) h = (h ^ ((w >> (8 * k)) & 255)) * 0x100000001B3ull;
    return h;
}

// decodes into a tw x th target (with guard band and a wider pitch); px gets the target
int32_t decode(const bytes &f, int tw, int th, int xo, int yo, std::vector<uint32_t> *px = 0) {
    int pw = tw + 2 * GUARD + 1;
    std::vector<uint32_t> buf((size_t)pw * (th + 2 * GUARD), FILL);
    intptr_t at = (intptr_t)&buf[(size_t)GUARD * pw + GUARD];
    int32_t r = vprender(f.data(), (int32_t)f.size(), at, pw * 4, tw, th, xo, yo);
    for (int y = 0; y < th + 2 * GUARD; y++)
        for (int x = 0; x < pw; x++) {
            bool in = y >= GUARD && y < th + GUARD && x >= GUARD && x < tw + GUARD;
            if (!in && buf[(size_t)y * pw + x] != FILL) { ADD_FAILURE() << "wrote outside the target at " << x << "," << y; return r; }
            if (in && px) px->push_back(buf[(size_t)y * pw + x]);
        }
    return r;
}

// --- building files ---
void put32(bytes &b, uint32_t v) { for (int k = 24; k >= 0; k -= 8) b.push_back((uint8_t)(v >> k)); }

void addchunk(bytes &b, const char *type, const bytes &data, int64_t lenfield = -1) {
    put32(b, lenfield < 0 ? (uint32_t)data.size() : (uint32_t)lenfield);
    b.insert(b.end(), type, type + 4);
    b.insert(b.end(), data.begin(), data.end());
    put32(b, 0);                                             // CRCs are not checked
}

bytes ihdr(uint32_t w, uint32_t h, int bd = 8, int ct = 0, int il = 0, int comp = 0, int filt = 0) {
    bytes d;
    put32(d, w); put32(d, h);
    d.insert(d.end(), {(uint8_t)bd, (uint8_t)ct, (uint8_t)comp, (uint8_t)filt, (uint8_t)il});
    return d;
}

bytes png(const bytes &hdr, const bytes &idat, std::function<void(bytes &)> before = nullptr) {
    bytes b = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    addchunk(b, "IHDR", hdr);
    if (before) before(b);
    addchunk(b, "IDAT", idat);
    addchunk(b, "IEND", {});
    return b;
}

struct bitwriter {                                           // deflate bits, lowest first
    bytes out = {0x78, 0x01};
    uint32_t acc = 0; int n = 0;
    bitwriter &put(uint32_t v, int k) {
        for (int i = 0; i < k; i++, n++) {
            if (n == 8) { out.push_back((uint8_t)acc); acc = 0; n = 0; }
            acc |= ((v >> i) & 1) << n;
        }
        return *this;
    }
    bytes done() { bytes b = out; if (n) b.push_back((uint8_t)acc); return b; }
};

bytes zstored(const bytes &raw) {
    bitwriter w;
    w.put(1, 1).put(0, 2).put(0, 5).put((uint32_t)raw.size(), 16).put(~(uint32_t)raw.size(), 16);
    for (uint8_t c : raw) w.put(c, 8);
    return w.done();
}

const bytes grey2x2raw = {0, 10, 20, 0, 30, 40};             // 2x2 grey 8, filter 0

// === pictures of the independent encoder ===

TEST(Pngdecode, CorpusMatchesEncoderExpectations) {
    FILE *fp = fopen(VELTO_SOURCE_DIR "/tests/data/png/expected.txt", "r");
    ASSERT_TRUE(fp);
    char line[512], name[64];
    int lines = 0;
    while (fgets(line, sizeof line, fp)) {
        int w, h, tw, th, xo, yo, res, ct, bd, pl, ft, nh;
        unsigned bak, zf; unsigned long long hash;
        if (line[0] == '#' || sscanf(line, "%63s %d %d %d %d %d %d %d %d %d %d %d %d %x %x %llx", name, &w, &h, &tw, &th,
                                     &xo, &yo, &res, &ct, &bd, &pl, &ft, &nh, &bak, &zf, &hash) != 16) continue;
        SCOPED_TRACE(std::string(name) + " into " + std::to_string(tw) + "x" + std::to_string(th) + " at " +
                     std::to_string(xo) + "," + std::to_string(yo));
        bytes f = readpng(name);
        int32_t gw, gh;
        vpgetdim(f.data(), (int32_t)f.size(), &gw, &gh);
        EXPECT_EQ(gw * 100000 + gh, w * 100000 + h);
        std::vector<uint32_t> px;
        ASSERT_EQ(decode(f, tw, th, xo, yo, &px), res);
        lines++;
        if (res < 0) continue;
        EXPECT_EQ(coltype, ct); EXPECT_EQ(bitdepth, bd); EXPECT_EQ(paleng, pl);
        EXPECT_EQ(filtype, ft); EXPECT_EQ(bakcol, bak); EXPECT_EQ(zlibcompflags, (int32_t)zf);
        if (nh >= 0) { EXPECT_EQ(numhufblocks, nh); }
        EXPECT_EQ(fnv(px), hash);
    }
    fclose(fp);
    EXPECT_GT(lines, 90);
}

// every cut of a file fails until all rows are in, then gives the whole picture
TEST(Pngdecode, TruncationFailsUntilEveryRowIsIn) {
    for (const char *name : {"grey1.png", "pal4_i.png", "adam_3x3.png", "idat_split.png", "hand_mixed.png"}) {
        bytes f = readpng(name);
        int32_t w, h;
        vpgetdim(f.data(), (int32_t)f.size(), &w, &h);
        std::vector<uint32_t> full;
        ASSERT_EQ(decode(f, w, h, 0, 0, &full), 0);
        size_t idat = std::search(f.begin(), f.end(), "IDAT", "IDAT" + 4) - f.begin();
        int32_t prev = -1;
        for (size_t cut = 0; cut < f.size(); cut++) {
            std::vector<uint32_t> px;
            int32_t r = decode(bytes(f.begin(), f.begin() + cut), w, h, 0, 0, &px);
            ASSERT_TRUE(r == -1 || (r == 0 && px == full && cut > idat)) << name << " cut at " << cut;
            ASSERT_GE(r, prev) << name << " cut at " << cut;
            prev = r;
        }
        EXPECT_EQ(prev, 0) << name;
    }
}

// === hostile files ===

struct hostile { const char *what; bytes file; };

// header faults are refused even when no row would reach the target
void expectrejected(const std::vector<hostile> &cases, bool header = false) {
    for (const hostile &c : cases) {
        EXPECT_EQ(decode(c.file, 5, 5, 0, 0), -1) << c.what;
        if (header) { EXPECT_EQ(decode(c.file, 5, 0, 0, 0), -1) << c.what << " (no rows wanted)"; }
    }
}

TEST(Pngdecode, RejectsBadHeaders) {
    bytes ok = zstored(bytes(64, 0)), sig = png(ihdr(2, 2), ok), hdr = ihdr(2, 2);   // rows for any format
    sig[1] = 'Q';
    hdr.pop_back();
    expectrejected({
        {"bad signature", sig},
        {"zero width", png(ihdr(0, 2), ok)},
        {"zero height", png(ihdr(2, 0), ok)},
        {"sixteen-bit depth", png(ihdr(2, 2, 16), ok)},
        {"bit depth 3", png(ihdr(2, 2, 3), ok)},
        {"colour type 1", png(ihdr(2, 2, 8, 1), ok)},
        {"colour type 5", png(ihdr(2, 2, 8, 5), ok)},
        {"colour type 7", png(ihdr(2, 2, 8, 7), ok)},
        {"RGB at 4 bits", png(ihdr(2, 2, 4, 2), ok)},
        {"grey+alpha at 2 bits", png(ihdr(2, 2, 2, 4), ok)},
        {"compression method 1", png(ihdr(2, 2, 8, 0, 0, 1), ok)},
        {"filter method 1", png(ihdr(2, 2, 8, 0, 0, 0, 1), ok)},
        {"interlace method 2", png(ihdr(2, 2, 8, 0, 2), ok)},
        {"w*h*4 overflows", png(ihdr(65536, 65536), ok)},
        {"w*h*4 just over 2^31-1", png(ihdr(0x20000000, 1), ok)},
        {"width above 2^31", png(ihdr(0x80000000u, 1), ok)},
        {"second IHDR", png(ihdr(2, 2), ok, [](bytes &b) { addchunk(b, "IHDR", ihdr(2, 2)); })},
        {"short IHDR", png(hdr, ok)},
    }, true);
}

}  // namespace

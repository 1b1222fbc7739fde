// test_png.cpp: the PNG decoder against the pictures of an independent encoder
// (tests/data/png/make_pngs.py with its expected.txt), against hostile files
// built here (headers, chunks, deflate streams, every truncation), and the
// sizes vpgetdim reports. Every decode lands in a target with a guard band.
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
    bitwriter &code(uint32_t c, int k) { for (int i = k - 1; i >= 0; i--) put(c >> i, 1); return *this; }
    bitwriter &lit(int s) {                                  // a fixed-block literal/length code
        if (s < 144) return code(0x30 + s, 8);
        if (s < 256) return code(0x190 + s - 144, 9);
        if (s < 280) return code(s - 256, 7);
        return code(0xC0 + s - 280, 8);
    }
    bytes done() { bytes b = out; if (n) b.push_back((uint8_t)acc); return b; }
};

bytes zstored(const bytes &raw) {
    bitwriter w;
    w.put(1, 1).put(0, 2).put(0, 5).put((uint32_t)raw.size(), 16).put(~(uint32_t)raw.size(), 16);
    for (uint8_t c : raw) w.put(c, 8);
    return w.done();
}

// a dynamic block header: code-length code lengths (order 16, 17, 18, 0, 8, ...) then a
// code-length sequence given as (code, code bits, extra, extra bits)
bitwriter dynamic(int hlit, int hdist, const std::vector<int> &cl, const std::vector<std::vector<int>> &seq) {
    bitwriter w;
    w.put(1, 1).put(2, 2).put(hlit - 257, 5).put(hdist - 1, 5).put((uint32_t)cl.size() - 4, 4);
    for (int l : cl) w.put(l, 3);
    for (auto &s : seq) w.code(s[0], s[1]).put(s[2], s[3]);
    return w;
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

TEST(Pngdecode, IgnoresBadCrcs) {
    for (const char *name : {"pal4_trns.png", "idat_split.png", "rgba8_i.png"}) {
        bytes f = readpng(name), g = f;
        for (size_t pos = 8; pos + 12 <= g.size();) {
            size_t len = (size_t)g[pos] << 24 | g[pos + 1] << 16 | g[pos + 2] << 8 | g[pos + 3];
            g[pos + 8 + len] ^= 0xFF;
            pos += 12 + len;
        }
        std::vector<uint32_t> a, b;
        int32_t w, h;
        vpgetdim(f.data(), (int32_t)f.size(), &w, &h);
        ASSERT_EQ(decode(f, w, h, 0, 0, &a), 0);
        EXPECT_EQ(decode(g, w, h, 0, 0, &b), 0) << name;
        EXPECT_EQ(a, b) << name;
    }
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

TEST(Pngdecode, RejectsBadChunks) {
    bytes ok = zstored(grey2x2raw), pal = zstored({0, 0, 1, 0, 2, 3});
    bytes noihdr = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
    addchunk(noihdr, "IDAT", ok);
    bytes noidat = png(ihdr(2, 2), ok);
    noidat.erase(noidat.begin() + 33, noidat.begin() + 33 + 12 + ok.size());
    bytes idatlie = png(ihdr(2, 2), ok);
    idatlie[33] = 0x7F;                                      // IDAT length far past the end
    expectrejected({
        {"IDAT before IHDR", noihdr},
        {"no IDAT", noidat},
        {"IDAT length past the end", idatlie},
        {"chunk length past the end", png(ihdr(2, 2), ok, [](bytes &b) { addchunk(b, "tEXt", {1, 2}, 0xFFFFFFF0); })},
        {"palette picture without PLTE", png(ihdr(2, 2, 8, 3), pal)},
        {"PLTE of 257 entries", png(ihdr(2, 2, 8, 3), pal, [](bytes &b) { addchunk(b, "PLTE", bytes(771, 9)); })},
        {"filter type 5", png(ihdr(2, 2), zstored({5, 1, 2, 0, 3, 4}))},
        {"image data short by a row", png(ihdr(2, 2), zstored({0, 1, 2}))},
        {"empty image data", png(ihdr(2, 2), {})},
        {"zlib header only", png(ihdr(2, 2), {0x78, 0x01})},
    });
}

TEST(Pngdecode, RejectsBadDeflateStreams) {
    bytes stored = zstored(grey2x2raw);
    bytes nlen = stored; nlen[5] ^= 1;
    std::vector<int> over(4, 1);                             // four one-bit code-length codes
    // code-length code: 1 -> 0, 17 -> 10, 18 -> 11; one = a length of 1
    std::vector<int> cl = {0, 2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    std::vector<int> one = {0, 1, 0, 0}, z138 = {3, 2, 127, 7};
    // three one-bit literal codes (0, 1, 256): taken as codes, 1s and a 0 would decode
    bitwriter three = dynamic(257, 1, cl, {one, one, z138, {3, 2, 105, 7}, one, one});
    for (int k = 0; k < 6; k++) three.code(1, 1);
    three.code(0, 1);
    // literal code {0, 256} and distance code {0} are sound, but the last zero run
    // (three, at the second distance length) runs past the 259 lengths
    bitwriter past = dynamic(257, 2, cl, {one, z138, {3, 2, 106, 7}, one, one, {2, 2, 0, 3}});
    for (int k = 0; k < 6; k++) past.code(0, 1);
    past.code(1, 1);
    auto fix = [](std::function<void(bitwriter &)> body) {
        bitwriter w; w.put(1, 1).put(1, 2); body(w); return w.done();
    };
    expectrejected({
        {"reserved block type", png(ihdr(2, 2), bitwriter().put(7, 3).done())},
        {"stored length and complement disagree", png(ihdr(2, 2), nlen)},
        {"distance before the output", png(ihdr(2, 2), fix([](bitwriter &w) { w.lit(0).lit(259).code(2, 5).lit(256); }))},
        {"distance code 30", png(ihdr(2, 2), fix([](bitwriter &w) { w.lit(0).lit(0).lit(257).code(30, 5); }))},
        {"length code 286", png(ihdr(2, 2), fix([](bitwriter &w) { w.lit(0).lit(286); }))},
        {"stream ends without end of block", png(ihdr(2, 2), fix([](bitwriter &w) { w.lit(0).lit(10); }))},
        {"over-subscribed code-length code", png(ihdr(2, 2), dynamic(257, 1, over, {}).done())},
        {"over-subscribed literal code", png(ihdr(2, 2), three.done())},
        {"repeat with nothing before", png(ihdr(2, 2), dynamic(257, 1, {1, 0, 0, 0}, {{0, 1, 0, 2}}).done())},
        {"zero run past the lengths", png(ihdr(2, 2), past.done())},
    });
}

// literal code {0: 1 bit, 256: 2 bits} leaves pattern 11 unused; lone one-bit distance code
TEST(Pngdecode, IncompleteCodesDecodeUntilAnUnusedPattern) {
    std::vector<int> cl = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1};  // 1 -> 0, 2 -> 10, 18 -> 11
    std::vector<std::vector<int>> seq = {{0, 1, 0, 0}, {3, 2, 127, 7}, {3, 2, 106, 7}, {2, 2, 0, 0}, {0, 1, 0, 0}};
    bitwriter good = dynamic(257, 1, cl, seq), bad = good;
    for (int k = 0; k < 6; k++) good.code(0, 1);
    good.code(2, 2);
    bad.code(0, 1).code(3, 2);
    std::vector<uint32_t> px;
    ASSERT_EQ(decode(png(ihdr(2, 2), good.done()), 2, 2, 0, 0, &px), 0);
    EXPECT_EQ(px, std::vector<uint32_t>(4, 0xFF000000));
    EXPECT_EQ(numhufblocks, 1);
    EXPECT_EQ(decode(png(ihdr(2, 2), bad.done()), 2, 2, 0, 0), -1);
}

TEST(Pngdecode, UnsetPaletteEntriesAreOpaqueBlackWhateverCameBefore) {
    ASSERT_EQ(decode(readpng("pal8.png"), 11, 9, 0, 0), 0);
    bytes f = png(ihdr(2, 2, 8, 3), zstored({0, 0, 1, 0, 3, 199}), [](bytes &b) {
        addchunk(b, "PLTE", {1, 2, 3, 4, 5, 6});
        addchunk(b, "tRNS", {255, 128, 7, 7});                 // alphas past the palette do nothing
    });
    std::vector<uint32_t> px;
    ASSERT_EQ(decode(f, 2, 2, 0, 0, &px), 0);
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF010203, 0x80040506, 0xFF000000, 0xFF000000}));
    EXPECT_EQ(paleng, 2);
}

TEST(Pngdecode, GreyPictureIgnoresPaletteChunk) {
    bytes f = png(ihdr(2, 2, 8, 0), zstored(grey2x2raw), [](bytes &b) { addchunk(b, "PLTE", bytes(768, 7)); });
    std::vector<uint32_t> px;
    ASSERT_EQ(decode(f, 2, 2, 0, 0, &px), 0);
    EXPECT_EQ(px, (std::vector<uint32_t>{0xFF0A0A0A, 0xFF141414, 0xFF1E1E1E, 0xFF282828}));
}

TEST(Pngdecode, EmptyTargetsDecodeNothingAndOtherFormatsAreRefused) {
    bytes f = readpng("earlystop.png");                      // bad data below row 10
    EXPECT_EQ(decode(f, 64, 0, 0, 0) + decode(f, 0, 0, 0, 0), 0);
    ASSERT_EQ(decode(readpng("pal4_bkgd.png"), 5, 5, 0, 0), 0);
    ASSERT_NE(bakcol, 0u);
    const char gif[] = "GIF89a\1\0\1\0\0\0\0;";
    EXPECT_EQ(vprender(gif, sizeof gif, 0, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(bakcol, 0u); EXPECT_EQ(paleng, 0); EXPECT_EQ(filtype, 255);
    EXPECT_EQ(vprender(gif, 1, 0, 0, 0, 0, 0, 0), -1);
}

// === vpgetdim ===

TEST(Pngdecode, VpgetdimFindsHeaderOrReportsZero) {
    bytes f = png(ihdr(300, 7), {}), late = png(ihdr(9, 4), {});
    late.insert(late.begin() + 8, {0, 0, 0, 2, 'a', 'b', 'c', 'd', 1, 2, 0, 0, 0, 0});  // unknown chunk first
    bytes lying = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0xFF, 0xFF, 0xFF, 0xF0, 'x', 'x', 'x', 'x'};
    lying.resize(60, 0);
    struct { const char *what; bytes d; int32_t len, w, h; } cases[] = {
        {"whole file", f, (int32_t)f.size(), 300, 7},
        {"after another chunk", late, (int32_t)late.size(), 9, 4},
        {"25 bytes", f, 25, 300, 7},
        {"24 bytes", f, 24, 0, 0},
        {"15 bytes", f, 15, 0, 0},
        {"lying first length", lying, (int32_t)lying.size(), 0, 0},
        {"no signature", bytes(f.begin() + 1, f.end()), (int32_t)f.size() - 1, 0, 0},
    };
    for (auto &c : cases) {
        int32_t w = -1, h = -1;
        vpgetdim(c.d.data(), c.len, &w, &h);
        EXPECT_EQ(w, c.w) << c.what;
        EXPECT_EQ(h, c.h) << c.what;
    }
}

}  // namespace

// image.h: the picture decoder that turns the embedded PNG fonts and pictures
// into 32-bit pixels 0xAARRGGBB (alpha in the top byte, blue in the lowest).
// The facts of the last decode are left in the globals below. The decoder keeps
// its state in static storage: it is not re-entrant, one thread only.
#pragma once
#include <stdint.h>
#include <stddef.h>
#include <stdio.h>

// === results of the last vprender (reset at its start) ===
extern int32_t coltype;        // PNG colour type: 0 grey, 2 RGB, 3 palette, 4 grey+alpha, 6 RGBA
extern int32_t bitdepth;       // bits per sample: 1, 2, 4 or 8
extern int32_t paleng;         // palette entries in use, 0..256 (2^bitdepth for grey)
extern uint32_t palcol[256];   // palette as 0xAARRGGBB; unused entries opaque black
extern uint32_t bakcol;        // bKGD colour as 0xAARRGGBB, 0 if none
extern int32_t filtype;        // row filters: the number if all alike, 3 for 1 then all 3, else 5; 255 no row
extern int32_t numhufblocks;   // dynamic-Huffman deflate blocks met
extern int32_t zlibcompflags;  // the two zlib header bytes, first << 8 | second (not checked)

// === decoding ===
// width and height of a PNG's IHDR, or 0 and 0 when there is none to be found
void vpgetdim(const void *data, int32_t length, int32_t *width, int32_t *height);

// decodes data into the target: pixel (x, y) of the picture lands at
// frameplace + (y + yoff) * bytesperline + (x + xoff) * 4 when that lies inside
// 0..width-1 by 0..height-1, else it is not written; 0 done, -1 failed
// (the target may then be partly written). Only PNG is decoded.
int32_t vprender(const void *data, int32_t length, intptr_t frameplace, int32_t bytesperline,
                 int32_t width, int32_t height, int32_t xoff, int32_t yoff);

// === encoding ===
// w x h pixels 0x00RRGGBB (rows pitch bytes apart) as an 8-bit RGB PNG into f;
// 1 written, 0 not (arguments out of range, no memory, a failed write)
int32_t vpngwrite(FILE *f, const uint32_t *px, int32_t pitch, int32_t w, int32_t h);

// the compressor under it (deflate.cpp): the zlib stream of in[0..n) into
// out[0..cap), its length, 0 when it did not fit; cap vzlibbound(n) always
// fits. vcrc32 continues crc (0 to start) over p[0..n).
size_t vzlibbound(size_t n);
size_t vzlibcompress(uint8_t *out, size_t cap, const uint8_t *in, size_t n);
uint32_t vcrc32(uint32_t crc, const uint8_t *p, size_t n);

// the PNG decoder itself (vprender dispatches here); same arguments and result
int32_t vpngrend(const void *data, int32_t length, intptr_t frameplace, int32_t bytesperline,
                 int32_t width, int32_t height, int32_t xoff, int32_t yoff);

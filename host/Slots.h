// Row helpers shared by the host's row output and the drivers: pixel-order
// mirroring of packed raster rows and the length of a row's ink.
#pragma once

#include "HostTypes.h"

// Writes the row src of nPixels pixels at nBitsPerPixel (1, 2, 4 or 8; MSB
// first) into dst with the pixel order reversed: pixel i lands at
// nPixels - 1 - i. The bits after the last pixel of dst are zero whatever src
// holds there. dst and src hold (nPixels * nBitsPerPixel + 7) / 8 bytes each
// and must not overlap. Returns 0 (and writes nothing) for another bit depth
// or a negative width.
HOST_API int MirrorRow(BYTE* dst, const BYTE* src, int nPixels, int nBitsPerPixel);

// Length of the row without its trailing zero bytes.
HOST_API int TrimmedRowLength(const BYTE* row, int n);

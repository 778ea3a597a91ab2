// PackBits run-length coding (TIFF flavour): a header byte n followed by
// n+1 literal bytes (n = 0..127), or 257-n copies of the next byte
// (n = 129..255); 128 is a no-op.
#pragma once

#include <cstddef>

#include "HostApi.h"

// Largest coded size of a row of len bytes.
constexpr std::size_t packbits_bound(std::size_t len) { return len + (len + 127) / 128; }

// Codes len bytes of src into dst, which must hold packbits_bound(len)
// bytes. Returns the coded length; bytes of dst past it may have been
// written to.
HOST_API int packbits_compress(BYTE* dst, const BYTE* src, int len);

// As packbits_compress, but never writes past dst[capacity-1] (bytes up to
// there past the coded length may have been written to). Returns the
// coded length, or -1 when the coded row does not fit (dst then holds a
// partial result) or when len or capacity is negative.
HOST_API int packbits_compress_safe(BYTE* dst, const BYTE* src, int len, int capacity);

// The coder exists once per instruction set; packbits_compress and
// packbits_compress_safe use the fastest the processor has. All code every
// row to the same bytes.
enum class PackBitsPath { Scalar, SSE2, AVX2, AVX512BW };
HOST_API bool packbits_path_available(PackBitsPath path);
HOST_API const char* packbits_path_name(PackBitsPath path);
HOST_API PackBitsPath packbits_active_path();
// Codes with the given version: with capacity < 0 as packbits_compress,
// else as packbits_compress_safe. -1 when the version is not available here.
HOST_API int packbits_compress_with(PackBitsPath path, BYTE* dst, const BYTE* src, int len, int capacity = -1);

// Decodes from src until exactly dstLen bytes are produced. Returns the
// number of source bytes consumed, or -1 when src ends first or a run would
// write past dstLen (dst then holds what was decoded so far).
HOST_API long packbits_decode(const BYTE* src, std::size_t srcLen, BYTE* dst, std::size_t dstLen);

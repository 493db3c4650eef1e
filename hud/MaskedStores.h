#ifndef KELTO_HUD_MASKEDSTORES_H
#define KELTO_HUD_MASKEDSTORES_H

#include <cstdint>

// The view's AVX-512 paths. Where the processor has AVX-512's byte masks, a store writes only
// the bytes its mask selects, so a row of any length goes in 64-byte stores with nothing read
// or written past its ends. Each has a plain way beside it in its caller, which the tests
// compare it with; elsewhere these do the same work byte by byte.

// 1 where the processor has byte masks and they are allowed.
int HudMaskedStores();
// Tests and benchmarks turn them off (0) to try the plain ways on the same machine. On (1) by
// default.
void HudAllowMaskedStores( int allow );
// 1 unless turned off as above: the view's fast ways that need no AVX-512 (a part wholly inside
// the clip written a row at a time) follow the same switch.
int HudFastWaysAllowed();

// Lays `rows` rows of a kept line of text: the bytes of `set` (rows `stride` bytes apart, a
// multiple of 64) that `masks` select (stride / 64 words a row, bit n for byte n).
void LayMasked( uint8_t *target, int pitch, const uint8_t *set, int stride, const uint64_t *masks, int rows );

// Copies `rows` rows of `width` bytes; the target's rows are stored in whole 64-byte lines
// between a masked first and last store.
void CopyMasked( uint8_t *target, int pitch, const uint8_t *source, int sourcePitch, int width, int rows );

// Lays `rows` rows of a framed picture in two colours cut into the target's 64-byte lines:
// `lines` lines a row from `line` (64-byte aligned) on, `bits` a word a line with 1 for `one` and
// 0 for `zero`. `within` selects each line's bytes of the picture and `sides` the frame's in the
// rows between the first and last, which are all frame.
void LayFramedLines( uint8_t *line, int pitch, const uint64_t *bits, const uint64_t *within,
                     const uint64_t *sides, int lines, int rows, uint8_t zero, uint8_t one, uint8_t frame );

#endif

#ifndef KELTO_HOST_HOSTBLIT_H
#define KELTO_HOST_HOSTBLIT_H

// The pixel work behind a surface's fast blit, on plain memory. Both copy `width` x `height`
// pixels row by row, each side stepping by its own pitch; the ranges must not overlap.

#include <cstdint>

// Copies every pixel.
void HostBlitCopy( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                   int width, int height );

// Copies the pixels whose index lies outside keyLow..keyHigh (inclusive); the others leave
// the destination as it was. This is how the land is put on the screen every frame, so it
// works on whole words and runs, not a branch per pixel.
void HostBlitKeyed( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                    int width, int height, uint8_t keyLow, uint8_t keyHigh );

// Where the processor has AVX2 the keyed blit uses it; tests and benchmarks turn that off
// (0) to try the SSE2 and word paths on the same machine. On (1) by default.
void HostBlitAllowWideVectors( int allow );

#endif

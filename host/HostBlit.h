#ifndef KELTO_HOST_HOSTBLIT_H
#define KELTO_HOST_HOSTBLIT_H

// The pixel work behind a surface's fast blit, on plain memory. Both copy `width` x `height`
// pixels row by row, each side stepping by its own pitch; the ranges must not overlap.

#include <cstdint>

class HostKeyedPieces;

// Copies every pixel.
void HostBlitCopy( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                   int width, int height );

// Copies the pixels whose index lies outside keyLow..keyHigh (inclusive); the others leave
// the destination as it was. This is how the land is put on the screen every frame, so it
// works on whole words and runs, not a branch per pixel.
void HostBlitKeyed( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                    int width, int height, uint8_t keyLow, uint8_t keyHigh );

// The keyed blit laid over a backdrop in the same pass: each destination pixel becomes the
// source's where it lies outside keyLow..keyHigh and the backdrop's where it lies inside, so
// the destination is only written, never read. The same as HostBlitCopy from the backdrop
// followed by HostBlitKeyed, with one pass over the screen instead of two.
void HostBlitKeyedOver( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                        const uint8_t *backdrop, int backdropPitch, int width, int height, uint8_t keyLow,
                        uint8_t keyHigh );
// The same, where `pieces` knows the source surface's rows and `source` is its pixel
// (sourceLeft, sourceTop): a stretch of transparent pieces is copied from the backdrop and a
// stretch of opaque ones from the source, each read alone, and only mixed pieces are keyed.
// The caller has followed the pieces to the source as it stands, and the blit lies inside
// it; the pieces the blit shows are sorted as it goes. Null pieces key every pixel.
void HostBlitKeyedOver( uint8_t *destination, int destinationPitch, const uint8_t *source, int sourcePitch,
                        const uint8_t *backdrop, int backdropPitch, int width, int height, uint8_t keyLow,
                        uint8_t keyHigh, HostKeyedPieces *pieces, int sourceLeft, int sourceTop );

// Sorts the row's pixels into pieces of 64 (the last one shorter when `width` is not a
// multiple), writing one HostKeyedPieces kind a piece into `kinds`: transparent when every
// pixel lies inside keyLow..keyHigh, opaque when none does, mixed otherwise.
void HostBlitSortPieces( const uint8_t *row, int width, uint8_t keyLow, uint8_t keyHigh, uint8_t *kinds );

// The keyed blit uses the widest vectors the processor has, up to the widest allowed here;
// tests and benchmarks lower it to try the narrower paths on the same machine.
enum { HOST_BLIT_SSE2 = 0, HOST_BLIT_AVX2 = 1, HOST_BLIT_AVX512 = 2 };
void HostBlitAllowWideVectors( int widest );

#endif

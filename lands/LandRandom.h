#ifndef KELTO_LANDS_LANDRANDOM_H
#define KELTO_LANDS_LANDRANDOM_H

#include <cstdint>

// The lands' own pseudo-random numbers: a 32-bit xorshift and a hash of a point, in integer
// arithmetic only, so that a land code makes the same land on every machine and in the browser.
class LandRandom {
public:
    explicit LandRandom( uint32_t seed );
    virtual ~LandRandom();

    uint32_t Next();
    // A whole number in [low, high]; low when high < low.
    int Range( int low, int high );

    // A well-mixed number for the point (x, y) under `seed`: the same point always gives the
    // same number, neighbours unrelated ones.
    static uint32_t Hash( int x, int y, uint32_t seed );
    // The seed of the land after the one made from `seed`.
    static uint32_t NextSeed( uint32_t seed );

private:
    uint32_t state;
};

#endif

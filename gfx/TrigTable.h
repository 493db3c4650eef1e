#ifndef KELTO_GFX_TRIGTABLE_H
#define KELTO_GFX_TRIGTABLE_H

#include <cstdint>

// Fixed-point sines and tangents for every whole step of a turn in both directions, built
// once; the cosine is the sine a quarter turn further on. The game's one table has 360 steps
// and scale 256, so 256 stands for 1.0.
class TrigTable {
public:
    TrigTable( int steps, int scale );
    virtual ~TrigTable();

    int Sine( int angle ) const;
    int Cosine( int angle ) const;
    int Tangent( int angle ) const;

    int GetSteps() const { return steps; }
    int GetScale() const { return scale; }
    int IsReady() const { return ready; }

private:
    TrigTable( const TrigTable & ) = delete;
    TrigTable &operator=( const TrigTable & ) = delete;

    int Wrap( int64_t angle ) const;

    uint8_t ready;
    int steps;
    int scale;
    int32_t *sines;    // owned: 2 * steps - 1 entries, angle 0 at index steps - 1
    int32_t *tangents; // owned: likewise
};

#endif

#include "lands/LandNoise.h"

#include "lands/LandRandom.h"

namespace {

// t in [0, 256) eased to [0, 256).
int Ease( int t ) {
    return ( t * t * ( 768 - 2 * t ) ) >> 16;
}

int Lerp( int a, int b, int t256 ) {
    return a + ( ( ( b - a ) * t256 ) >> 8 );
}

// Floor division, so that lattice cells run on the same way left of 0.
int FloorDiv( int value, int divisor ) {
    const int q = value / divisor;
    return ( value % divisor != 0 && ( value < 0 ) != ( divisor < 0 ) ) ? q - 1 : q;
}

} // namespace

int LandNoise1( int x, int wavelength, int amplitude, uint32_t seed ) {
    if ( wavelength < 1 ) {
        wavelength = 1;
    }
    const int cell = FloorDiv( x, wavelength );
    const int t = ( ( x - cell * wavelength ) * 256 ) / wavelength;
    const int span = 2 * amplitude + 1;
    const int a = int( LandRandom::Hash( cell, 0, seed ) % uint32_t( span ) ) - amplitude;
    const int b = int( LandRandom::Hash( cell + 1, 0, seed ) % uint32_t( span ) ) - amplitude;
    return Lerp( a, b, Ease( t ) );
}

void LandAddOctaves( int *line, int count, int wavelength, int amplitude, int octaves, uint32_t seed ) {
    for ( int octave = 0; octave < octaves && wavelength > 0 && amplitude > 0; octave++ ) {
        const uint32_t octaveSeed = seed + 977u * uint32_t( octave );
        for ( int x = 0; x < count; x++ ) {
            line[x] += LandNoise1( x, wavelength, amplitude, octaveSeed );
        }
        wavelength /= 2;
        amplitude /= 2;
    }
}

int LandNoise2( int x, int y, int cell, uint32_t seed ) {
    if ( cell < 1 ) {
        cell = 1;
    }
    const int cx = FloorDiv( x, cell );
    const int cy = FloorDiv( y, cell );
    const int tx = Ease( ( ( x - cx * cell ) * 256 ) / cell );
    const int ty = Ease( ( ( y - cy * cell ) * 256 ) / cell );
    const int a = int( LandRandom::Hash( cx, cy, seed ) & 255u );
    const int b = int( LandRandom::Hash( cx + 1, cy, seed ) & 255u );
    const int c = int( LandRandom::Hash( cx, cy + 1, seed ) & 255u );
    const int d = int( LandRandom::Hash( cx + 1, cy + 1, seed ) & 255u );
    return Lerp( Lerp( a, b, tx ), Lerp( c, d, tx ), ty );
}

int LandDither( int x, int y ) {
    static const int MATRIX[4][4] = { { 0, 8, 2, 10 }, { 12, 4, 14, 6 }, { 3, 11, 1, 9 }, { 15, 7, 13, 5 } };
    return MATRIX[y & 3][x & 3] * 16 + 8;
}

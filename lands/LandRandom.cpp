#include "lands/LandRandom.h"

// xorshift never leaves 0, so a seed of 0 starts from a fixed other number.
LandRandom::LandRandom( uint32_t seed ) : state( seed != 0 ? seed : 0x6D2B79F5u ) {
    // A few steps mix seeds that differ in one bit apart.
    for ( int i = 0; i < 4; i++ ) {
        Next();
    }
}

LandRandom::~LandRandom() {
}

uint32_t LandRandom::Next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

int LandRandom::Range( int low, int high ) {
    if ( high <= low ) {
        return low;
    }
    const uint32_t span = uint32_t( high - low ) + 1u;
    return low + int( Next() % span );
}

uint32_t LandRandom::Hash( int x, int y, uint32_t seed ) {
    uint32_t h = seed ^ ( uint32_t( x ) * 0x9E3779B1u ) ^ ( uint32_t( y ) * 0x85EBCA77u );
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

uint32_t LandRandom::NextSeed( uint32_t seed ) {
    return Hash( int( seed ), 0x4C414E44, 0x5EED5EEDu );
}

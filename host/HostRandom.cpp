#include "host/HostRandom.h"

HostRandom::HostRandom() : words{}, front( 0 ), rear( 0 ) {
    Seed( 1 );
}

HostRandom::~HostRandom() {
}

void HostRandom::Seed( unsigned seed ) {
    int32_t word = int32_t( seed == 0 ? 1u : seed );
    words[0] = word;
    // 16807 * word mod 2^31 - 1, without overflowing 32 bits (Schrage's way).
    for ( int i = 1; i < WORDS; i++ ) {
        const long hi = word / 127773;
        const long lo = word % 127773;
        word = int32_t( 16807 * lo - 2836 * hi );
        if ( word < 0 ) {
            word += 2147483647;
        }
        words[i] = word;
    }
    front = 3;
    rear = 0;
    for ( int i = 0; i < 10 * WORDS; i++ ) {
        Next();
    }
}

int HostRandom::Next() {
    const uint32_t sum = uint32_t( words[front] ) + uint32_t( words[rear] );
    words[front] = int32_t( sum );
    front = front + 1 < WORDS ? front + 1 : 0;
    rear = rear + 1 < WORDS ? rear + 1 : 0;
    return int( sum >> 1 );
}

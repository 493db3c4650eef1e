#include "replay/ReplayKeys.h"

#include "host/HostTypes.h"

#include <cstring>

// Fixed for good: the bit of a key is part of the file format (docs/replay-format.md).
const uint8_t REPLAY_KEY_CODES[REPLAY_KEY_COUNT] = { DIK_LEFT,   DIK_RIGHT,       DIK_UP, DIK_DOWN, DIK_SPACE,
                                                     DIK_RETURN, DIK_NUMPADENTER, DIK_F1, DIK_Q,    DIK_E };

uint16_t ReplayKeysFromState( const uint8_t *keyState ) {
    uint16_t bits = 0;
    if ( keyState == nullptr ) {
        return bits;
    }
    for ( int i = 0; i < REPLAY_KEY_COUNT; i++ ) {
        if ( keyState[REPLAY_KEY_CODES[i]] & 0x80 ) {
            bits = uint16_t( bits | ( 1u << i ) );
        }
    }
    return bits;
}

void ReplayKeysToState( uint16_t bits, uint8_t keyState[256] ) {
    std::memset( keyState, 0, 256 );
    for ( int i = 0; i < REPLAY_KEY_COUNT; i++ ) {
        if ( bits & ( 1u << i ) ) {
            keyState[REPLAY_KEY_CODES[i]] = 0x80;
        }
    }
}

#ifndef KELTO_REPLAY_REPLAYKEYS_H
#define KELTO_REPLAY_REPLAYKEYS_H

// The keys a recording keeps: the ones the game reads (the five play keys, and the keys of
// the player's view that change what happens, such as Enter for a new match), one bit each.
// A key the game starts to read must get a bit here, or replays will not see it.

#include <cstdint>

const int REPLAY_KEY_COUNT = 10;

// The bits a recording may hold; any other bit marks a file this game cannot replay.
const uint16_t REPLAY_KEY_BITS = ( 1u << REPLAY_KEY_COUNT ) - 1;

// The DIK_ code of each bit, bit 0 first.
extern const uint8_t REPLAY_KEY_CODES[REPLAY_KEY_COUNT];

// The bits of the keys held down in a 256-byte key state.
uint16_t ReplayKeysFromState( const uint8_t *keyState );

// A 256-byte key state with exactly the keys of `bits` held down.
void ReplayKeysToState( uint16_t bits, uint8_t keyState[256] );

#endif

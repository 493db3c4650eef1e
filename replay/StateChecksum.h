#ifndef KELTO_REPLAY_STATECHECKSUM_H
#define KELTO_REPLAY_STATECHECKSUM_H

// One number for everything that decides how the game goes on: the camera, the land picture,
// every field of every tank and bomb, whose turn it is, and whatever the caller adds (the
// match's scores). A replay that reaches the same number after every second of play is
// playing the same game. The number is the CRC-32 of those values laid out little-endian
// in a fixed order (docs/replay-format.md), so it is the same on every build and machine.

#include <cstddef>
#include <cstdint>

class World;

class StateChecksum {
public:
    StateChecksum();
    virtual ~StateChecksum();

    void AddWorld( const World &world );
    void AddInt( int32_t value );

    uint32_t Get() const { return crc; }

private:
    void AddBytes( const void *bytes, size_t count );
    void AddInts( const int32_t *values, int count );

    uint32_t crc;
};

#endif

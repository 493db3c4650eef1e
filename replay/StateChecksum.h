#ifndef KELTO_REPLAY_STATECHECKSUM_H
#define KELTO_REPLAY_STATECHECKSUM_H

// One number for everything that decides how the game goes on: the camera, the land picture,
// every field of every tank and bomb, whose turn it is, and whatever the caller adds (the
// match's scores). A replay that reaches the same number after every second of play is
// playing the same game. The values are laid out little-endian in a fixed order and hashed
// with XXH3 (docs/replay-format.md), so the number is the same on every build and machine.

#include <cstddef>
#include <cstdint>
#include <vector>

class World;

class StateChecksum {
public:
    StateChecksum();
    virtual ~StateChecksum();

    void AddWorld( const World &world );
    void AddInt( int32_t value );

    // The low 32 bits of the XXH3 hash of what was added.
    uint32_t Get() const;

    // The low 32 bits of the XXH3 hash of `count` bytes: the recordings' picture checksums.
    static uint32_t OfBytes( const void *bytes, size_t count );

private:
    void AddInts( const int32_t *values, int count );
    void AddHash( uint64_t hash );

    std::vector<uint8_t> bytes; // the values laid out, the land as its own hash
};

#endif

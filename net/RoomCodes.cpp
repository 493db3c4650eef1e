#include "net/RoomCodes.h"

#include "net/NetMessage.h"

#include <cstring>

// 32 letters and digits: 30 bits a code, so a guessed code rarely finds a room.
const char ROOM_CODE_ALPHABET[] = "23456789ABCDEFGHJKLMNPQRSTUVWXYZ";

namespace {

const int ALPHABET_SIZE = int( sizeof( ROOM_CODE_ALPHABET ) - 1 );
// Tries before giving up; with a million rooms of a billion codes the first try all but always wins.
const int TAKE_TRIES = 64;

} // namespace

RoomCodes::RoomCodes() : state( 0x9E3779B97F4A7C15ull ) {
}

RoomCodes::~RoomCodes() {
}

void RoomCodes::Seed( uint64_t seed ) {
    state = seed ^ 0x9E3779B97F4A7C15ull;
}

// splitmix64: every seed, zero included, gives a full-period stream.
uint64_t RoomCodes::Next() {
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = ( z ^ ( z >> 30 ) ) * 0xBF58476D1CE4E5B9ull;
    z = ( z ^ ( z >> 27 ) ) * 0x94D049BB133111EBull;
    return z ^ ( z >> 31 );
}

std::string RoomCodes::Take() {
    for ( int attempt = 0; attempt < TAKE_TRIES; attempt++ ) {
        uint64_t bits = Next();
        std::string code;
        for ( int i = 0; i < NET_CODE_LENGTH; i++ ) {
            code += ROOM_CODE_ALPHABET[bits % ALPHABET_SIZE];
            bits /= ALPHABET_SIZE;
        }
        if ( inUse.insert( code ).second ) {
            return code;
        }
    }
    return std::string();
}

void RoomCodes::Release( const std::string &code ) {
    inUse.erase( code );
}

int RoomCodes::IsValid( const std::string &code ) {
    if ( code.size() != size_t( NET_CODE_LENGTH ) ) {
        return 0;
    }
    for ( char c : code ) {
        if ( c == '\0' || std::strchr( ROOM_CODE_ALPHABET, c ) == nullptr ) {
            return 0;
        }
    }
    return 1;
}

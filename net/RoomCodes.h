#ifndef KELTO_NET_ROOMCODES_H
#define KELTO_NET_ROOMCODES_H

// The short codes players read to each other to meet in a room: six letters and digits from an
// alphabet without the ones that are easily mistaken for each other (0 and O, 1 and I), so that a
// code said aloud or copied by hand still finds its room. Codes are drawn at random and never
// repeat a code that is in use.

#include <cstdint>
#include <set>
#include <string>

class RoomCodes {
public:
    RoomCodes();
    virtual ~RoomCodes();

    // Seeds the random source; a relay seeds from the system, a test from a fixed number.
    void Seed( uint64_t seed );
    // A fresh code not in use, now in use; empty when none was found (all but impossible).
    std::string Take();
    void Release( const std::string &code );
    int IsInUse( const std::string &code ) const { return inUse.count( code ) != 0; }
    int GetCount() const { return int( inUse.size() ); }

    // 1 when `code` has the form of a code, whether or not it is in use.
    static int IsValid( const std::string &code );

private:
    uint64_t Next();

    uint64_t state;
    std::set<std::string> inUse;
};

extern const char ROOM_CODE_ALPHABET[];

#endif

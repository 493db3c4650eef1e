#include "replay/StateChecksum.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"

#include <cstring>

// xxHash is used from its header alone, so that every build compiles the same code.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace {

// The place of `entity` in `list`, or -1.
int32_t IndexIn( const EntityList *list, const Entity *entity ) {
    EntityNode *node = nullptr;
    int32_t index = 0;
    for ( list->First( node ); !list->IsEnd( node ); list->Next( node, 1 ) ) {
        if ( list->Get( node ) == entity ) {
            return index;
        }
        index++;
    }
    return -1;
}

} // namespace

StateChecksum::StateChecksum() {
}

StateChecksum::~StateChecksum() {
}

uint32_t StateChecksum::OfBytes( const void *data, size_t count ) {
    return uint32_t( XXH3_64bits( data, count ) );
}

uint32_t StateChecksum::Get() const {
    return OfBytes( bytes.data(), bytes.size() );
}

// Laid out little-endian whatever the machine, so that the number is the same everywhere.
void StateChecksum::AddInts( const int32_t *values, int count ) {
    for ( int i = 0; i < count; i++ ) {
        const uint32_t value = uint32_t( values[i] );
        for ( int b = 0; b < 4; b++ ) {
            bytes.push_back( uint8_t( value >> ( 8 * b ) ) );
        }
    }
}

void StateChecksum::AddHash( uint64_t hash ) {
    for ( int b = 0; b < 8; b++ ) {
        bytes.push_back( uint8_t( hash >> ( 8 * b ) ) );
    }
}

void StateChecksum::AddInt( int32_t value ) {
    AddInts( &value, 1 );
}

void StateChecksum::AddWorld( const World &world ) {
    const int32_t camera[2] = { world.GetCameraX(), world.GetCameraY() };
    AddInts( camera, 2 );

    const Image *land = world.GetLandImage();
    const int32_t size[2] = { land != nullptr ? land->GetWidth() : 0,
                              land != nullptr ? land->GetHeight() : 0 };
    AddInts( size, 2 );
    // The picture's rows one after another, hashed apart from the rest: a million bytes.
    std::vector<uint8_t> rows;
    const uint8_t *pixels = land != nullptr ? land->GetPixels() : nullptr;
    size_t length = pixels != nullptr ? size_t( size[0] ) * size_t( size[1] ) : 0;
    if ( pixels != nullptr && land->GetPitch() != size[0] ) {
        for ( int y = 0; y < size[1]; y++ ) {
            const uint8_t *row = pixels + size_t( y ) * size_t( land->GetPitch() );
            rows.insert( rows.end(), row, row + size[0] );
        }
        pixels = rows.data();
    }
    AddHash( XXH3_64bits( pixels, length ) );

    const EntityList *tanks = world.GetTanks();
    const EntityList *bombs = world.GetBombs();
    EntityNode *node = nullptr;
    if ( tanks != nullptr ) {
        AddInt( tanks->GetCount() );
        for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ) ) {
            const Tank *tank = static_cast<const Tank *>( tanks->Get( node ) );
            const int32_t fields[10] = {
                tank->GetX(),         tank->GetY(),          tank->GetState(),        tank->GetResumeState(),
                tank->GetPower(),     tank->GetBodyAngle(),  tank->GetMoveFraction(), tank->GetBarrelMax(),
                tank->GetBarrelMin(), tank->GetBarrelAngle() };
            AddInts( fields, 10 );
        }
        const int32_t turn[2] = { IndexIn( tanks, world.GetCurrentTank() ),
                                  IndexIn( tanks, world.GetCameraTarget() ) };
        AddInts( turn, 2 );
    }
    if ( bombs != nullptr ) {
        AddInt( bombs->GetCount() );
        for ( bombs->First( node ); !bombs->IsEnd( node ); bombs->Next( node, 1 ) ) {
            const Bomb *bomb = static_cast<const Bomb *>( bombs->Get( node ) );
            const BombFlight &flight = bomb->GetFlight();
            const float time = flight.GetTime();
            int32_t timeBits = 0;
            std::memcpy( &timeBits, &time, sizeof( timeBits ) );
            const int32_t fields[8] = {
                bomb->GetX(),        bomb->GetY(),          bomb->GetState(),      flight.GetLaunchX(),
                flight.GetLaunchY(), flight.GetVelocityX(), flight.GetVelocityY(), timeBits };
            AddInts( fields, 8 );
        }
    }
}

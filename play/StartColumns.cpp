#include "play/StartColumns.h"

#include "game/Globals.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"

#include <cstdlib>

StartColumns::StartColumns() : land( nullptr ) {
}

StartColumns::~StartColumns() {
}

int StartColumns::IsFree( int column, int tankWidth, const int *taken, int count ) {
    for ( int i = 0; i < count; i++ ) {
        const int apart = column > taken[i] ? column - taken[i] : taken[i] - column;
        if ( apart < 2 * tankWidth ) {
            return 0;
        }
    }
    return 1;
}

// The column under the tank's middle holds ground somewhere.
int StartColumns::HasGround( int column, int tankWidth ) const {
    if ( land == nullptr || land->GetPixels() == nullptr ) {
        return 1;
    }
    const int probe = column + tankWidth / 2;
    if ( probe < 0 || probe >= land->GetWidth() ) {
        return 0;
    }
    for ( int row = 0; row < land->GetHeight(); row++ ) {
        if ( land->GetPixels()[row * land->GetPitch() + probe] != 0 ) {
            return 1;
        }
    }
    return 0;
}

// Each tank draws its column from the room left between the sides until one is free and has
// ground; a land too crowded for chance gets the tanks spread evenly instead.
void StartColumns::Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) {
    const int tankWidth = g_tankSprite.GetWidth() > 0 ? g_tankSprite.GetWidth() : 1;
    // The tank's box stays a tank width clear of either side.
    const int lowest = tankWidth;
    const int room = landWidth - 3 * tankWidth + 1;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        int found = 0;
        for ( int attempt = 0; attempt < TRIES && room > 0 && !found; attempt++ ) {
            const int column = lowest + std::rand() % room;
            if ( IsFree( column, tankWidth, columns, i ) && HasGround( column, tankWidth ) ) {
                columns[i] = column;
                found = 1;
            }
        }
        if ( !found ) {
            Spread( landWidth, tankWidth, columns );
            return;
        }
    }
}

void StartColumns::Spread( int landWidth, int tankWidth, int columns[TANK_PLACEMENT_COUNT] ) const {
    const int room = landWidth - 3 * tankWidth;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        const int offset = room > 0 ? room * ( 2 * i + 1 ) / ( 2 * TANK_PLACEMENT_COUNT ) : 0;
        columns[i] = tankWidth + offset;
    }
}

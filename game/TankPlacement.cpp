#include "game/TankPlacement.h"

#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"

#include <cstdlib>
#include <new>

namespace {

TankColumnSource *columnSource = nullptr; // not owned

// The row a tank at `column` starts on: the top edge, or where the game wants its tanks on the
// ground from the start, one pixel above the highest ground under its middle, so that it
// settles onto its slope in its first updates instead of falling the height of the land.
int StartRow( const World &world, int column ) {
    const Image *land = world.GetLandImage();
    if ( !g_gameRules.tanksStartOnGround || land == nullptr || land->GetPixels() == nullptr ) {
        return 0;
    }
    const int probe = column + g_tankSprite.GetWidth() / 2;
    if ( probe < 0 || probe >= land->GetWidth() ) {
        return 0;
    }
    for ( int row = 0; row < land->GetHeight(); row++ ) {
        if ( land->GetPixels()[row * land->GetPitch() + probe] != 0 ) {
            const int top = row - g_tankSprite.GetHeight() - 1;
            return top > 0 ? top : 0;
        }
    }
    return 0;
}

} // namespace

void SetTankColumnSource( TankColumnSource *source ) {
    columnSource = source;
}

TankColumnSource *GetTankColumnSource() {
    return columnSource;
}

void ChooseTankColumns( const World &world, int columns[TANK_PLACEMENT_COUNT] ) {
    const Image *land = world.GetLandImage();
    const int landWidth = land != nullptr && land->GetWidth() > 0 ? land->GetWidth() : 1;
    if ( columnSource != nullptr ) {
        columnSource->Choose( landWidth, columns );
    } else {
        DrawTankColumns( landWidth, columns );
    }
}

void DrawTankColumns( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) {
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        columns[i] = std::rand() % landWidth;
    }
}

int PlaceTanks( World &world, const int columns[TANK_PLACEMENT_COUNT] ) {
    EntityList *tanks = world.GetTanks();
    if ( tanks == nullptr ) {
        return 0;
    }
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        Tank *tank =
            new ( std::nothrow ) Tank( columns[i], StartRow( world, columns[i] ), &g_tankSprite, &world );
        const int before = tanks->GetCount();
        if ( tank != nullptr ) {
            world.AddTank( tank );
            if ( tanks->GetCount() == before ) {
                delete tank;
            }
        }
    }
    if ( tanks->GetCount() == 0 ) {
        return 0;
    }
    EntityNode *first = nullptr;
    Entity *tank = tanks->First( first );
    world.SetCurrentTank( tank );
    world.SetCameraTarget( tank );
    return tanks->GetCount();
}

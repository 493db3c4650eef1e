#include "game/TankPlacement.h"

#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"

#include <cstdlib>
#include <new>

namespace {

TankColumnSource *columnSource = nullptr; // not owned

} // namespace

void SetTankColumnSource( TankColumnSource *source ) {
    columnSource = source;
}

TankColumnSource *GetTankColumnSource() {
    return columnSource;
}

void ChooseTankColumns( int landWidth, int columns[TANK_COUNT] ) {
    if ( columnSource != nullptr ) {
        columnSource->Choose( landWidth, columns );
    } else {
        DrawTankColumns( landWidth, columns );
    }
}

void DrawTankColumns( int landWidth, int columns[TANK_COUNT] ) {
    for ( int i = 0; i < TANK_COUNT; i++ ) {
        columns[i] = landWidth > 0 ? std::rand() % landWidth : 0;
    }
}

int PlaceTanks( World &world, const int columns[TANK_COUNT] ) {
    EntityList *tanks = world.GetTanks();
    if ( tanks == nullptr ) {
        return 0;
    }
    Entity *first = nullptr;
    for ( int i = 0; i < TANK_COUNT; i++ ) {
        Tank *tank = new ( std::nothrow ) Tank( columns[i], 0, &g_tankSprite, &world );
        if ( tank == nullptr ) {
            continue;
        }
        const int before = tanks->GetCount();
        world.AddTank( tank );
        if ( tanks->GetCount() == before ) {
            delete tank;
        } else if ( first == nullptr ) {
            first = tank;
        }
    }
    if ( first == nullptr ) {
        return 0;
    }
    world.SetCurrentTank( first );
    world.SetCameraTarget( first );
    return 1;
}

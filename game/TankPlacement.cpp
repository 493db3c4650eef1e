#include "game/TankPlacement.h"

#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"

#include <cstdlib>
#include <new>

void ChooseTankColumns( const World &world, int columns[TANK_PLACEMENT_COUNT] ) {
    const Image *land = world.GetLandImage();
    const int landWidth = land != nullptr && land->GetWidth() > 0 ? land->GetWidth() : 1;
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
        Tank *tank = new ( std::nothrow ) Tank( columns[i], 0, &g_tankSprite, &world );
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

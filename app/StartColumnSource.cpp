#include "app/StartColumnSource.h"

#include "game/Globals.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "lands/LandStarts.h"

#include <cstdlib>

StartColumnSource::StartColumnSource() : world( nullptr ) {
}

StartColumnSource::~StartColumnSource() {
}

void StartColumnSource::Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) {
    const Image *land = world != nullptr ? world->GetLandImage() : nullptr;
    const uint32_t draw = uint32_t( std::rand() );
    if ( land == nullptr || land->GetWidth() != landWidth ||
         !LandStarts::Choose( *land, g_tankSprite.GetWidth(), g_tankSprite.GetHeight(), draw, columns ) ) {
        DrawTankColumns( landWidth, columns );
    }
}

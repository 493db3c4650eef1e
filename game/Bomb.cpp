#include "game/Bomb.h"

#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"

Bomb::Bomb() {
    x = 0;
    y = 0;
    state = Flying;
    resumeState = 0;
    sprite = nullptr;
    world = nullptr;
}

Bomb::Bomb( int x, int y, int angle, int power, Sprite *sprite, World *world )
    : flight( x, y, angle, power ) {
    this->x = x;
    this->y = y;
    state = Flying;
    resumeState = 0;
    this->sprite = sprite;
    this->world = world;
}

Bomb::~Bomb() {
}

void Bomb::Draw( Image &target ) {
    if ( state == Gone || sprite == nullptr || world == nullptr ) {
        return;
    }
    sprite->Draw( target, x - world->GetCameraX(), y - world->GetCameraY() );
}

void Bomb::Update() {
    if ( state == Flying ) {
        Fly();
    }
}

// The flight's own rules say where the bomb is and whether it strikes or leaves play.
void Bomb::Fly() {
    if ( sprite == nullptr || world == nullptr || world->GetLandImage() == nullptr ) {
        return;
    }
    flight.Step( x, y );
    const int verdict =
        BombFlight::Meet( *world->GetLandImage(), x + sprite->GetWidth() / 2, y + sprite->GetHeight() / 2 );
    if ( verdict == BombFlight::LeavesPlay ) {
        state = Gone;
    } else if ( verdict == BombFlight::Strikes ) {
        Explode();
    }
}

// The crater goes into every tile, each shifted by its place in the grid, and the ellipse's
// clipping leaves alone the tiles it does not reach; then into the land picture, which all
// ground checks read. A tile whose surface is lost takes nothing now and is refilled from
// the land picture when the World next draws it.
void Bomb::Explode() {
    Land *land = world->GetLand();
    const Display *display = world->GetDisplay();
    if ( land != nullptr && display != nullptr ) {
        const int tileWidth = display->GetWidth();
        const int tileHeight = display->GetHeight();
        for ( int row = 0; row < land->GetRows(); row++ ) {
            for ( int column = 0; column < land->GetColumns(); column++ ) {
                LandTile *tile = land->GetTile( column, row );
                if ( tile == nullptr ) {
                    continue;
                }
                Image &tileImage = tile->Lock();
                tileImage.FillEllipse( x - column * tileWidth, y - row * tileHeight, CRATER_RX, CRATER_RY,
                                       0 );
                tile->Unlock();
            }
        }
    }
    world->GetLandImage()->FillEllipse( x, y, CRATER_RX, CRATER_RY, 0 );
    state = Exploded;
}

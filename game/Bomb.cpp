#include "game/Bomb.h"

#include "game/Globals.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"

// 40 updates make one time unit of flight. The step is added in double precision and the
// sum kept as a float, so the clock carries a float's rounding from step to step.
static const double FLIGHT_TIME_STEP = 0.025;
// Half the gravity, in pixels per time unit squared.
static const double HALF_GRAVITY = 50.0;

Bomb::Bomb() : launchX( 0 ), launchY( 0 ), velocityX( 0 ), velocityY( 0 ), flightTime( 0.0f ) {
    x = 0;
    y = 0;
    state = Flying;
    resumeState = 0;
    sprite = nullptr;
    world = nullptr;
}

Bomb::Bomb( int x, int y, int angle, int power, Sprite *sprite, World *world )
    : launchX( x ), launchY( y ), velocityX( g_trigTable.Cosine( angle ) * power ),
      velocityY( g_trigTable.Sine( angle ) * power ), flightTime( 0.0f ) {
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

// The position comes from the launch values every time, so no error builds up in it; only
// the clock is accumulated.
void Bomb::Fly() {
    if ( sprite == nullptr || world == nullptr || world->GetLandImage() == nullptr ) {
        return;
    }
    const double t = flightTime;
    const int dx = static_cast<int>( ( velocityX * t ) / 256.0 );
    const int dy = static_cast<int>( ( velocityY * t ) / 256.0 - ( HALF_GRAVITY * t ) * t );
    x = launchX + dx;
    y = launchY - dy;
    flightTime = static_cast<float>( flightTime + FLIGHT_TIME_STEP );

    // Past either side or the bottom the bomb can never come back onto the land: it leaves
    // play without a crater. Above the top it is still on its way and comes down again, so
    // it flies on, untested until it is back over the picture.
    const Image &land = *world->GetLandImage();
    const int middleX = x + sprite->GetWidth() / 2;
    const int middleY = y + sprite->GetHeight() / 2;
    if ( middleX < 0 || middleX >= land.GetWidth() || middleY >= land.GetHeight() ) {
        state = Gone;
        return;
    }
    if ( middleY >= 0 && HitsLand( middleX, middleY ) ) {
        Explode();
    }
}

// Only asked about a pixel inside the land picture: the middle of the bomb's picture.
int Bomb::HitsLand( int column, int row ) const {
    const Image &land = *world->GetLandImage();
    if ( land.GetPixels() == nullptr ) {
        return 0;
    }
    return land.GetPixels()[row * land.GetPitch() + column] != 0 ? 1 : 0;
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

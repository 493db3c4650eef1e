#include "game/Bomb.h"

#include "game/EntityList.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"

#include <new>

// A cluster's pieces spread sideways by this much each, 1/256 pixel per time unit.
static const int CLUSTER_SPREAD = 24 * 256;

Bomb::Bomb() : weapon( WEAPON_BOMB ), digLeft( 0 ) {
    x = 0;
    y = 0;
    state = Flying;
    resumeState = 0;
    sprite = nullptr;
    world = nullptr;
}

Bomb::Bomb( int x, int y, int angle, int power, Sprite *sprite, World *world )
    : Bomb( BombFlight( x, y, angle, power ), WEAPON_BOMB, sprite, world ) {
}

Bomb::Bomb( int x, int y, int angle, int power, int weapon, int wind, Sprite *sprite, World *world )
    : Bomb( BombFlight( x, y, angle, power, wind ), weapon, sprite, world ) {
}

Bomb::Bomb( const BombFlight &flight, int weapon, Sprite *sprite, World *world )
    : flight( flight ), weapon( weapon ), digLeft( 0 ) {
    x = flight.GetLaunchX();
    y = flight.GetLaunchY();
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

// The flight's own rules say where the bomb is and whether it strikes or leaves play; the
// weapon says what striking does.
void Bomb::Fly() {
    if ( sprite == nullptr || world == nullptr || world->GetLandImage() == nullptr ) {
        return;
    }
    flight.Step( x, y );
    const int verdict =
        BombFlight::Meet( *world->GetLandImage(), x + sprite->GetWidth() / 2, y + sprite->GetHeight() / 2 );
    if ( digLeft > 0 ) {
        Dig( verdict );
    } else if ( verdict == BombFlight::LeavesPlay ) {
        state = Gone;
    } else if ( verdict == BombFlight::Strikes ) {
        const Weapon &row = WeaponOf( weapon );
        if ( row.pieces > 0 ) {
            Split(); // met the ground before the top of its arc: it breaks where it is
        } else if ( row.digUpdates > 0 ) {
            digLeft = row.digUpdates;
            Dig( verdict );
        } else {
            Explode();
        }
    } else if ( WeaponOf( weapon ).pieces > 0 && flight.IsFalling() ) {
        Split();
    }
}

// A digger bores on along its arc whatever it meets, leaving a narrow shaft, and goes off
// where the boring ends.
void Bomb::Dig( int verdict ) {
    if ( verdict == BombFlight::LeavesPlay ) {
        state = Gone;
        return;
    }
    const int radius = WeaponOf( weapon ).shaftRadius;
    Carve( x, y, radius, radius );
    if ( --digLeft == 0 ) {
        Explode();
    }
}

// The pieces leave from where the cluster is, with its velocity there, fanned sideways; the
// cluster itself is spent and no longer drawn.
void Bomb::Split() {
    const int pieces = WeaponOf( weapon ).pieces;
    EntityList *bombs = world->GetBombs();
    for ( int i = 0; i < pieces && bombs != nullptr; i++ ) {
        const int spread = ( 2 * i - ( pieces - 1 ) ) * CLUSTER_SPREAD / 2;
        const BombFlight pieceFlight = BombFlight::FromVelocity( x, y, flight.GetVelocityXNow() + spread,
                                                                 flight.GetVelocityYNow(), flight.GetWind() );
        Bomb *piece = new ( std::nothrow ) Bomb( pieceFlight, WEAPON_BOMBLET, sprite, world );
        if ( piece == nullptr ) {
            continue;
        }
        const int before = bombs->GetCount();
        if ( bombs->Add( piece ) == before ) {
            delete piece;
        }
    }
    state = Gone;
}

// Fills the pixels of `target` (placed at (originX, originY) on the land) that the mound's
// mask covers and that were empty in the land picture `land` before it.
static void FillEmpty( Image &target, const Image &land, int originX, int originY, const Image &mask,
                       int maskX, int maskY, uint8_t colour ) {
    for ( int my = 0; my < mask.GetHeight(); my++ ) {
        const int row = maskY + my;
        if ( row < 0 || row >= land.GetHeight() || row - originY < 0 ||
             row - originY >= target.GetHeight() ) {
            continue;
        }
        for ( int mx = 0; mx < mask.GetWidth(); mx++ ) {
            const int column = maskX + mx;
            if ( mask.GetPixels()[my * mask.GetPitch() + mx] == 0 || column < 0 ||
                 column >= land.GetWidth() || column - originX < 0 ||
                 column - originX >= target.GetWidth() ) {
                continue;
            }
            if ( land.GetPixels()[row * land.GetPitch() + column] == 0 ) {
                target.GetPixels()[( row - originY ) * target.GetPitch() + column - originX] = colour;
            }
        }
    }
}

// A mound of new ground in the colour of the ground the bomb struck, the very ellipse a crater
// of its size would blow: the tiles first, while the land picture still says which pixels were
// empty, then the land picture itself.
void Bomb::Heap( int centreX, int centreY, int rx, int ry ) {
    Image &picture = *world->GetLandImage();
    Image mask( 2 * rx + 1, 2 * ry + 1 );
    if ( mask.GetPixels() == nullptr ) {
        return;
    }
    mask.Clear( 0 );
    mask.FillEllipse( rx, ry, rx, ry, 1 );
    const int maskX = centreX - rx;
    const int maskY = centreY - ry;
    const int middleX = x + sprite->GetWidth() / 2;
    const int middleY = y + sprite->GetHeight() / 2;
    const uint8_t colour = picture.GetPixels()[middleY * picture.GetPitch() + middleX];
    Land *land = world->GetLand();
    const Display *display = world->GetDisplay();
    if ( land != nullptr && display != nullptr ) {
        for ( int row = 0; row < land->GetRows(); row++ ) {
            for ( int column = 0; column < land->GetColumns(); column++ ) {
                LandTile *tile = land->GetTile( column, row );
                if ( tile == nullptr ) {
                    continue;
                }
                Image &tileImage = tile->Lock();
                if ( tileImage.GetPixels() != nullptr ) {
                    FillEmpty( tileImage, picture, column * display->GetWidth(), row * display->GetHeight(),
                               mask, maskX, maskY, colour );
                }
                tile->Unlock();
            }
        }
    }
    FillEmpty( picture, picture, 0, 0, mask, maskX, maskY, colour );
}

void Bomb::Explode() {
    const Weapon &row = WeaponOf( weapon );
    if ( weapon == WEAPON_DIRT ) {
        Heap( x, y, row.craterRx, row.craterRy );
    } else {
        Carve( x, y, row.craterRx, row.craterRy );
    }
    state = Exploded;
}

// The crater goes into every tile, each shifted by its place in the grid, and the ellipse's
// clipping leaves alone the tiles it does not reach; then into the land picture, which all
// ground checks read. A tile whose surface is lost takes nothing now and is refilled from
// the land picture when the World next draws it.
void Bomb::Carve( int centreX, int centreY, int rx, int ry ) {
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
                tileImage.FillEllipse( centreX - column * tileWidth, centreY - row * tileHeight, rx, ry, 0 );
                tile->Unlock();
            }
        }
    }
    world->GetLandImage()->FillEllipse( centreX, centreY, rx, ry, 0 );
}

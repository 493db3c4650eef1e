#include "game/World.h"

#include "game/Bomb.h"
#include "game/Entity.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/LandParts.h"
#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "host/HostSurface.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"

#include <cstdio>
#include <new>

namespace {

// The grid is made for the game's land; a land picture of another size rebuilds it.
const int LAND_WIDTH = 1280;
const int LAND_HEIGHT = 960;

// 1024 is one land pixel per background pixel. Along an axis where the land is no larger
// than the screen the land never scrolls, so neither does the background.
int ParallaxRatio( int backgroundSide, int landSide, int screenSide ) {
    const int landTravel = landSide - screenSide;
    if ( landTravel == 0 ) {
        return 0;
    }
    return ( ( backgroundSide - screenSide ) * 1024 ) / landTravel;
}

// The part of a tile's land rectangle that the view shows, in the tile's own coordinates
// with exclusive right and bottom edges, as the blit takes it.
HostRect VisiblePart( Rect tileRect, const Rect &view ) {
    const int left = tileRect.left;
    const int top = tileRect.top;
    tileRect.Intersect( view );
    HostRect source;
    source.left = tileRect.left - left;
    source.top = tileRect.top - top;
    source.right = tileRect.right + 1 - left;
    source.bottom = tileRect.bottom + 1 - top;
    return source;
}

void UpdateAll( EntityList *list ) {
    if ( list == nullptr ) {
        return;
    }
    EntityNode *node;
    for ( list->First( node ); !list->IsEnd( node ); list->Next( node, 1 ) ) {
        list->Get( node )->Update();
    }
}

// `flyingOnly` leaves out the bombs that are spent; `target` null skips the drawing of the
// very entities that would be drawn.
void DrawAll( EntityList *list, Image *target, int flyingOnly ) {
    if ( list == nullptr ) {
        return;
    }
    EntityNode *node;
    for ( list->First( node ); !list->IsEnd( node ); list->Next( node, 1 ) ) {
        Entity *entity = list->Get( node );
        if ( flyingOnly && entity->GetState() != Bomb::Flying ) {
            continue;
        }
        if ( target != nullptr ) {
            entity->Draw( *target );
        } else {
            entity->SkipDraw();
        }
    }
}

} // namespace

World::World()
    : cameraX( 0 ), cameraY( 0 ), parallaxX( 0 ), parallaxY( 0 ), display( nullptr ), background( nullptr ),
      landImage( nullptr ), land( nullptr ), tanks( nullptr ), bombs( nullptr ), list2( nullptr ),
      list3( nullptr ), currentTank( nullptr ), cameraTarget( nullptr ),
      keptLand( nullptr ), kept{}, lastDrawn{}, wind( 0 ), unseen( 0 ) {
    loadError[0] = '\0';
    tanks = new ( std::nothrow ) EntityList;
    bombs = new ( std::nothrow ) EntityList;
    list2 = new ( std::nothrow ) EntityList;
    list3 = new ( std::nothrow ) EntityList;
    background = new ( std::nothrow ) Image( 1, 1 );
    landImage = new ( std::nothrow ) Image( 1, 1 );
    land = new ( std::nothrow ) Land;
}

World::~World() {
    delete tanks;
    delete bombs;
    delete list2;
    delete list3;
    delete background;
    delete landImage;
    delete land;
    delete keptLand;
}

int World::FailLoad( const char *what, const char *reason ) {
    std::snprintf( loadError, sizeof( loadError ), "%s: %s", what, reason );
    return 0;
}

int World::Load( Display *newDisplay, const char *landFile, const char *backgroundFile ) {
    BmpFile backgroundRead;
    if ( !backgroundRead.Load( backgroundFile ) ) {
        return FailLoad( backgroundFile, BmpGetLastError() );
    }
    BmpFile landRead;
    if ( !landRead.Load( landFile ) ) {
        return FailLoad( landFile, BmpGetLastError() );
    }
    return Load( newDisplay, landRead, backgroundRead );
}

int World::Load( Display *newDisplay, BmpFile &landFile, BmpFile &backgroundFile ) {
    ForgetKeptLand();
    display = newDisplay;
    loadError[0] = '\0';
    unseen = 0;
    if ( tanks == nullptr || bombs == nullptr || list2 == nullptr || list3 == nullptr || !tanks->IsUsable() ||
         !bombs->IsUsable() ) {
        return FailLoad( "the tank and bomb lists", "out of memory" );
    }
    // A picture whose first 1 x 1 block could not be had is a machine out of memory.
    if ( background == nullptr || background->GetPixels() == nullptr ) {
        return FailLoad( backgroundFile.GetName(), "out of memory" );
    }
    if ( !background->LoadBmp( backgroundFile ) ) {
        return FailLoad( backgroundFile.GetName(), BmpGetLastError() );
    }
    backgroundFile.Release();
    if ( landImage == nullptr || landImage->GetPixels() == nullptr ) {
        return FailLoad( landFile.GetName(), "out of memory" );
    }
    if ( !landImage->LoadBmp( landFile ) ) {
        return FailLoad( landFile.GetName(), BmpGetLastError() );
    }
    landFile.Release();
    if ( display == nullptr || display->GetWidth() <= 0 || display->GetHeight() <= 0 ) {
        return FailLoad( landFile.GetName(), "no display to show it on" );
    }
    // The tiles are display surfaces: what stops them is a lack of memory.
    if ( land == nullptr || !land->Create( display, LAND_WIDTH, LAND_HEIGHT ) || !land->Load( *landImage ) ) {
        return FailLoad( landFile.GetName(), "out of memory" );
    }
    parallaxX = ParallaxRatio( background->GetWidth(), landImage->GetWidth(), display->GetWidth() );
    parallaxY = ParallaxRatio( background->GetHeight(), landImage->GetHeight(), display->GetHeight() );
    MakeRoomToKeepLand();
    return 1;
}

// Copies `source` into `target`, which takes its size: in place when the sizes match, else
// into a new picture. 0, keeping the old one, without memory for it.
static int CopyPicture( Image *&target, const Image &source ) {
    if ( source.GetPixels() == nullptr ) {
        return 0;
    }
    if ( target == nullptr || target->GetWidth() != source.GetWidth() ||
         target->GetHeight() != source.GetHeight() || !target->GetOwnsPixels() ) {
        Image *made = new ( std::nothrow ) Image( source.GetWidth(), source.GetHeight() );
        if ( made == nullptr || made->GetPixels() == nullptr ) {
            delete made;
            return 0;
        }
        delete target;
        target = made;
    }
    source.BlitTo( *target, 0, 0, source.GetBounds() );
    return 1;
}

int World::LoadPictures( Display *newDisplay, const Image &landPicture, const Image &backgroundPicture ) {
    ForgetKeptLand();
    display = newDisplay;
    loadError[0] = '\0';
    unseen = 0;
    if ( tanks == nullptr || bombs == nullptr || list2 == nullptr || list3 == nullptr || !tanks->IsUsable() ||
         !bombs->IsUsable() ) {
        return FailLoad( "the tank and bomb lists", "out of memory" );
    }
    if ( !CopyPicture( background, backgroundPicture ) ) {
        return FailLoad( "the background", "out of memory" );
    }
    if ( !CopyPicture( landImage, landPicture ) ) {
        return FailLoad( "the land", "out of memory" );
    }
    if ( display == nullptr || display->GetWidth() <= 0 || display->GetHeight() <= 0 ) {
        return FailLoad( "the land", "no display to show it on" );
    }
    // A grid made by an earlier load is rebuilt by the Land itself when the size changes.
    const int hasGrid = land != nullptr && land->GetColumns() > 0;
    if ( land == nullptr || ( !hasGrid && !land->Create( display, LAND_WIDTH, LAND_HEIGHT ) ) ||
         !land->Load( *landImage ) ) {
        return FailLoad( "the land", "out of memory" );
    }
    parallaxX = ParallaxRatio( background->GetWidth(), landImage->GetWidth(), display->GetWidth() );
    parallaxY = ParallaxRatio( background->GetHeight(), landImage->GetHeight(), display->GetHeight() );
    MakeRoomToKeepLand();
    return 1;
}

int World::LoadUnseen( Display *newDisplay, Image *landPicture ) {
    ForgetKeptLand();
    display = newDisplay;
    loadError[0] = '\0';
    if ( tanks == nullptr || bombs == nullptr || list2 == nullptr || list3 == nullptr || !tanks->IsUsable() ||
         !bombs->IsUsable() ) {
        delete landPicture;
        return FailLoad( "the tank and bomb lists", "out of memory" );
    }
    if ( landPicture == nullptr || landPicture->GetPixels() == nullptr ) {
        delete landPicture;
        return FailLoad( "the land", "out of memory" );
    }
    if ( display == nullptr || display->GetWidth() <= 0 || display->GetHeight() <= 0 ) {
        delete landPicture;
        return FailLoad( "the land", "no display to show it on" );
    }
    delete landImage;
    landImage = landPicture;
    unseen = 1;
    // Nothing is drawn: the parallax has no background to follow.
    parallaxX = 0;
    parallaxY = 0;
    return 1;
}

void World::SetCameraX( int value ) {
    // The lower bound first: a land narrower than the screen leaves the camera negative.
    if ( value < 0 ) {
        value = 0;
    }
    if ( display != nullptr && landImage != nullptr ) {
        const int highest = landImage->GetWidth() - display->GetWidth();
        if ( value > highest ) {
            value = highest;
        }
    }
    cameraX = value;
}

void World::SetCameraY( int value ) {
    if ( value < 0 ) {
        value = 0;
    }
    if ( display != nullptr && landImage != nullptr ) {
        const int highest = landImage->GetHeight() - display->GetHeight();
        if ( value > highest ) {
            value = highest;
        }
    }
    cameraY = value;
}

void World::SetCurrentTank( Entity *tank ) {
    currentTank = tank;
    if ( tank != nullptr ) {
        tank->SetState( 1 );
    }
}

void World::AddTank( Entity *tank ) {
    if ( tanks != nullptr ) {
        tanks->Add( tank );
    }
}

void World::AddBomb( Entity *bomb ) {
    if ( bombs != nullptr ) {
        bombs->Add( bomb );
    }
}

void World::AddToList2( Entity *entity ) {
    if ( list2 != nullptr ) {
        list2->Add( entity );
    }
}

void World::AddToList3( Entity *entity ) {
    if ( list3 != nullptr ) {
        list3->Add( entity );
    }
}

// Where the game's rules pass the turn themselves, the World leaves it where it is; where
// spent bombs are dropped, those spent in the last update go before anything moves, so that
// whoever watched the World after that update saw them explode.
void World::Update() {
    if ( g_gameRules.removeSpentBombs ) {
        DropSpentBombs();
    }
    if ( !g_gameRules.rulesPassTurn && currentTank != nullptr && currentTank->GetState() == 0 ) {
        PassTurn();
    }
    UpdateAll( tanks );
    UpdateAll( bombs );
}

void World::DropSpentBombs() {
    if ( bombs == nullptr ) {
        return;
    }
    EntityNode *node;
    bombs->First( node );
    while ( !bombs->IsEnd( node ) ) {
        Entity *bomb = bombs->Get( node );
        if ( bomb->GetState() == Bomb::Flying ) {
            bombs->Next( node, 1 );
            continue;
        }
        if ( cameraTarget == bomb ) {
            cameraTarget = nullptr;
        }
        bombs->Remove( node );
        delete bomb;
    }
}

void World::Carve( int x, int y, int radiusX, int radiusY ) {
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
                tileImage.FillEllipse( x - column * tileWidth, y - row * tileHeight, radiusX, radiusY, 0 );
                tile->Unlock();
            }
        }
    }
    if ( landImage != nullptr ) {
        landImage->FillEllipse( x, y, radiusX, radiusY, 0 );
    }
}

void World::PassTurn() {
    if ( tanks == nullptr ) {
        return;
    }
    EntityNode *node;
    tanks->First( node );
    while ( !tanks->IsEnd( node ) && tanks->Get( node ) != currentTank ) {
        tanks->Next( node, 1 );
    }
    // Stepping on from the last tank (or from the end) wraps round to the first.
    tanks->Next( node, 1 );
    if ( tanks->IsEnd( node ) ) {
        tanks->First( node );
        if ( tanks->IsEnd( node ) ) {
            return; // no tank to give the turn to
        }
    }
    Entity *next = tanks->Get( node );
    SetCurrentTank( next );
    cameraTarget = next;
}

// Where the land's tiles cover the whole screen over a background that does too, the land is
// laid over the background in one pass, the same pixels as the background's copy followed by
// the keyed blits, written once; otherwise, or should a blit be refused, the two passes.
void World::Draw( Display &target ) {
    if ( unseen ) {
        SkipDraw(); // no background and no tiles to draw from
        return;
    }
    LandParts parts;
    Image &back = target.LockBackBuffer();
    const uint8_t *backdrop = BackdropUnder( back, target, parts );
    if ( backdrop == nullptr ) {
        DrawBackgroundOn( back, target );
    }
    target.UnlockBackBuffer();
    if ( backdrop == nullptr ) {
        DrawLand( target );
    } else if ( !DrawLandKept( target, parts, backdrop ) ) {
        DrawBackground( target );
        DrawLand( target );
    }
    DrawEntities( target );
}

void World::DrawBackground( Display &target ) {
    DrawBackgroundOn( target.LockBackBuffer(), target );
    target.UnlockBackBuffer();
}

void World::DrawBackgroundOn( Image &back, const Display &target ) {
    if ( background != nullptr ) {
        const int bgX = ( cameraX * parallaxX ) >> 10;
        const int bgY = ( cameraY * parallaxY ) >> 10;
        background->BlitTo( back, 0, 0, Rect( bgX, bgY, bgX + target.GetWidth(), bgY + target.GetHeight() ) );
    }
}

// The background's pixel under the screen's top-left corner, when the background covers the
// whole screen, nothing limits drawing on the screen, and `parts` of the land cover it too;
// null otherwise.
const uint8_t *World::BackdropUnder( const Image &back, const Display &target, LandParts &parts ) const {
    const int width = target.GetWidth();
    const int height = target.GetHeight();
    if ( background == nullptr || background->GetPixels() == nullptr || back.GetPixels() == nullptr ||
         land == nullptr || back.GetWidth() != width || back.GetHeight() != height ) {
        return nullptr;
    }
    const Rect &clip = back.GetClipRect();
    if ( clip.left != 0 || clip.top != 0 || clip.right != width - 1 || clip.bottom != height - 1 ) {
        return nullptr;
    }
    const int bgX = ( cameraX * parallaxX ) >> 10;
    const int bgY = ( cameraY * parallaxY ) >> 10;
    if ( bgX < 0 || bgY < 0 || bgX > background->GetWidth() - width ||
         bgY > background->GetHeight() - height ) {
        return nullptr;
    }
    const Rect view( cameraX, cameraY, cameraX + width - 1, cameraY + height - 1 );
    if ( !parts.Find( *land, view, width, height ) ) {
        return nullptr;
    }
    return background->GetPixels() + size_t( bgY ) * size_t( background->GetPitch() ) + size_t( bgX );
}

int World::DrawLandOver( Display &target, const LandParts &parts, const uint8_t *backdrop ) {
    HostSurface *backSurface = target.GetBackSurface();
    if ( backSurface == nullptr ) {
        return 0;
    }
    for ( int i = 0; i < parts.GetCount(); i++ ) {
        const LandParts::Part &part = parts.Get( i );
        if ( backSurface->BltFastOver( part.x, part.y, part.surface, &part.source,
                                       DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT, backdrop,
                                       background->GetPitch() ) != HOST_OK ) {
            return 0;
        }
    }
    return 1;
}

// A camera that stands still over land that has not changed shows the picture of the frame
// before: once the camera has stood still for two frames the picture is kept, and copied back
// while it stands, one frame's read instead of land and background. A moving camera pays
// nothing for it.
int World::DrawLandKept( Display &target, const LandParts &parts, const uint8_t *backdrop ) {
    const LandView now = { 1, cameraX, cameraY, LandChanges() };
    const auto same = []( const LandView &a, const LandView &b ) {
        return a.valid && b.valid && a.cameraX == b.cameraX && a.cameraY == b.cameraY &&
               a.changes == b.changes;
    };
    if ( same( kept, now ) && CopyKeptLand( target ) ) {
        return 1;
    }
    // The kept picture stays good for its own camera and land, should the camera come back.
    if ( !DrawLandOver( target, parts, backdrop ) ) {
        lastDrawn.valid = 0;
        return 0;
    }
    if ( same( lastDrawn, now ) ) {
        kept = KeepLand( target ) ? now : LandView{};
    }
    lastDrawn = now;
    return 1;
}

// 1 when the kept picture fits the back buffer and went onto it.
int World::CopyKeptLand( Display &target ) const {
    Image &back = target.LockBackBuffer();
    const int fits = KeptLandFits( back );
    if ( fits ) {
        keptLand->BlitTo( back, 0, 0, keptLand->GetBounds() );
    }
    target.UnlockBackBuffer();
    return fits;
}

// New pictures: nothing drawn before shows them.
void World::ForgetKeptLand() {
    kept.valid = 0;
    lastDrawn.valid = 0;
}

// 1 when there is a kept picture the size of the back buffer, which has its pixels.
int World::KeptLandFits( const Image &back ) const {
    return keptLand != nullptr && back.GetPixels() != nullptr && back.GetWidth() == keptLand->GetWidth() &&
           back.GetHeight() == keptLand->GetHeight();
}

// Room for a screen of land is made with the pictures, so that play itself never takes memory
// for it; without that memory the land is simply never kept.
void World::MakeRoomToKeepLand() {
    if ( keptLand != nullptr && keptLand->GetWidth() == display->GetWidth() &&
         keptLand->GetHeight() == display->GetHeight() ) {
        return;
    }
    delete keptLand;
    keptLand = new ( std::nothrow ) Image( display->GetWidth(), display->GetHeight() );
    if ( keptLand != nullptr && keptLand->GetPixels() == nullptr ) {
        delete keptLand;
        keptLand = nullptr;
    }
}

// Takes the land just drawn from the back buffer, before anything is drawn over it; 1 when
// there was room for it.
int World::KeepLand( Display &target ) {
    Image &back = target.LockBackBuffer();
    const int fits = KeptLandFits( back );
    if ( fits ) {
        back.BlitTo( *keptLand, 0, 0, back.GetBounds() );
    }
    target.UnlockBackBuffer();
    return fits;
}

// Any crater, refill, loss or restore of any tile moves the sum.
uint32_t World::LandChanges() const {
    uint32_t changes = 0;
    for ( int row = 0; row < land->GetRows(); row++ ) {
        for ( int column = 0; column < land->GetColumns(); column++ ) {
            const LandTile *tile = land->GetTile( column, row );
            if ( tile != nullptr && tile->GetSurface() != nullptr ) {
                changes += tile->GetSurface()->GetChangeCount();
            }
        }
    }
    return changes;
}

// The land is put on the screen by the display's keyed blit, tile by tile, never by
// software: only the visible part of each visible tile is copied. The view lies inside the
// land, so the visible tiles of a row are neighbours and so are the visible rows: each blit
// goes where the one before it ended.
void World::DrawLand( Display &target ) {
    HostSurface *backSurface = target.GetBackSurface();
    if ( land == nullptr || backSurface == nullptr ) {
        return;
    }
    const int screenWidth = target.GetWidth();
    const int screenHeight = target.GetHeight();
    const Rect view( cameraX, cameraY, cameraX + screenWidth - 1, cameraY + screenHeight - 1 );
    int destY = 0;
    for ( int row = 0; row < land->GetRows(); row++ ) {
        int destX = 0;
        int rowHeight = 0;
        for ( int column = 0; column < land->GetColumns(); column++ ) {
            const Rect tileRect = TileRect( column, row, screenWidth, screenHeight );
            LandTile *tile = land->GetTile( column, row );
            RefillIfLost( tile, tileRect );
            if ( !tileRect.Overlaps( view ) ) {
                continue;
            }
            const HostRect source = VisiblePart( tileRect, view );
            // A tile without a surface (or never allocated) leaves its place to the
            // background, but the tiles after it still go where they belong.
            if ( tile != nullptr && tile->GetSurface() != nullptr ) {
                backSurface->BltFast( destX, destY, tile->GetSurface(), &source,
                                      DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT );
            }
            destX += source.right - source.left;
            rowHeight = source.bottom - source.top;
        }
        destY += rowHeight;
    }
}

// A lost tile has its memory back after Restore but not its picture: the land picture holds
// the land as it stands now, craters included.
void World::RefillIfLost( LandTile *tile, const Rect &region ) {
    HostSurface *surface = tile != nullptr ? tile->GetSurface() : nullptr;
    if ( surface == nullptr || surface->IsLost() != DDERR_SURFACELOST ) {
        return;
    }
    surface->Restore();
    RefillTile( tile, region );
}

void World::RefillTile( LandTile *tile, const Rect &region ) {
    Image &pixels = tile->Lock();
    if ( landImage != nullptr ) {
        landImage->BlitTo( pixels, 0, 0, region );
    }
    tile->Unlock();
}

// The grid's pitch is the display size: tile (column, row) starts at column x display width.
Rect World::TileRect( int column, int row, int pitchX, int pitchY ) const {
    const int left = column * pitchX;
    const int top = row * pitchY;
    return Rect( left, top, left + land->GetTileWidthAt( column ) - 1,
                 top + land->GetTileHeightAt( row ) - 1 );
}

void World::RefillTiles() {
    if ( land == nullptr || display == nullptr ) {
        return;
    }
    for ( int row = 0; row < land->GetRows(); row++ ) {
        for ( int column = 0; column < land->GetColumns(); column++ ) {
            LandTile *tile = land->GetTile( column, row );
            if ( tile != nullptr && tile->GetSurface() != nullptr ) {
                RefillTile( tile, TileRect( column, row, display->GetWidth(), display->GetHeight() ) );
            }
        }
    }
}

void World::DrawEntities( Display &target ) {
    Image &back = target.LockBackBuffer();
    DrawAll( tanks, &back, 0 );
    DrawAll( bombs, &back, g_gameRules.removeSpentBombs );
    target.UnlockBackBuffer();
}

void World::SkipDraw() {
    DrawAll( tanks, nullptr, 0 );
    DrawAll( bombs, nullptr, g_gameRules.removeSpentBombs );
}

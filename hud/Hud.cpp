#include "hud/Hud.h"

#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "host/HostTypes.h"
#include "platform/Display.h"

namespace {

int IsDown( const uint8_t *keys, int key ) {
    return ( keys[key] & 0x80 ) != 0 ? 1 : 0;
}

} // namespace

Hud::Hud()
    : world( nullptr ), helpShown( 0 ), settled( 0 ), bannerFrames( 0 ), helpKeyBefore( 0 ),
      newMatchKeysBefore( 0 ) {
}

Hud::~Hud() {
}

int Hud::Init( World &newWorld, const HostPaletteEntry *palette, int startHealth ) {
    world = &newWorld;
    helpShown = 0;
    helpKeyBefore = 0;
    newMatchKeysBefore = 0;
    colours.Find( palette );
    if ( !match.Init( newWorld, startHealth ) ) {
        return 0;
    }
    // A map that could not be had is a machine out of memory: start-up stops there.
    return ResetView();
}

int Hud::ResetView() {
    settled = 0;
    bannerFrames = 0;
    const Image *land = world != nullptr ? world->GetLandImage() : nullptr;
    return land == nullptr || map.Build( *land, colours.GetGround(), colours.GetSky(), colours.GetShadow() );
}

// Keys count when they go down, not while they are held.
int Hud::ReadKeys( const uint8_t *keys ) {
    if ( keys == nullptr ) {
        return 0;
    }
    const uint8_t help = uint8_t( IsDown( keys, DIK_F1 ) );
    if ( help && !helpKeyBefore ) {
        helpShown = !helpShown;
    }
    helpKeyBefore = help;
    const uint8_t newMatch =
        uint8_t( IsDown( keys, DIK_RETURN ) | IsDown( keys, DIK_NUMPADENTER ) | IsDown( keys, DIK_SPACE ) );
    const int wanted = newMatch && !newMatchKeysBefore && !IsPlaying() && bannerFrames >= BANNER_FRAMES;
    newMatchKeysBefore = newMatch;
    return wanted;
}

int Hud::StartNewMatch( World &newWorld, const int columns[Match::MAX_PLAYERS] ) {
    world = &newWorld;
    const int started = match.StartNew( newWorld, columns );
    ResetView();
    return started;
}

void Hud::Observe() {
    // A finished match still looks, so that what it reports of the last frame is forgotten.
    match.Observe();
    if ( !IsPlaying() && match.GetCraterCount() == 0 ) {
        bannerFrames++;
        return;
    }
    const Image *land = world != nullptr ? world->GetLandImage() : nullptr;
    for ( int i = 0; land != nullptr && i < match.GetCraterCount(); i++ ) {
        const int x = match.GetCraterX( i );
        const int y = match.GetCraterY( i );
        // Any weapon's mark on the land, the digger's shaft included, lies within this reach.
        map.Refresh( *land, Rect( x - WEAPON_REACH, y - WEAPON_REACH, x + WEAPON_REACH, y + WEAPON_REACH ) );
    }
    if ( !settled ) {
        settled = 1;
        for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
            if ( match.IsInPlay( player ) && match.GetTank( player )->GetState() == Tank::Falling ) {
                settled = 0;
            }
        }
    }
}

int Hud::GetHintShown() const {
    const int frame = match.GetFrame();
    return frame < HINT_FRAMES || ( !settled && frame < HINT_LONGEST_FRAMES );
}

void Hud::Draw( Display &display, const World &drawn ) {
    Image &screen = display.LockBackBuffer();
    DrawOn( screen, drawn );
    display.UnlockBackBuffer();
}

void Hud::DrawOn( Image &screen, const World &drawn ) {
    overlay.Draw( screen, drawn, match, map, colours, GetHintShown(), helpShown );
}

void Hud::Forget() {
    match.Forget();
    world = nullptr;
}

#include "hud/Match.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Sprite.h"

#include <new>

namespace {

// Deletes what the list holds and empties it; the lists never own their entities.
void DropAll( EntityList *list ) {
    if ( list != nullptr ) {
        list->DeleteEntities();
        list->Clear();
    }
}

} // namespace

Match::Match()
    : world( nullptr ), tanks{}, scores{}, computer{}, playerCount( 0 ), targetHits( DEFAULT_TARGET ),
      winner( NO_PLAYER ), matchNumber( 0 ), frame( 0 ), bombsSeen( 0 ), flights{},
      flightCount( 0 ), craterX{}, craterY{}, craterCount( 0 ), startLand( nullptr ) {
}

Match::~Match() {
    delete startLand;
}

int Match::Init( World &newWorld, int newTargetHits ) {
    world = &newWorld;
    targetHits = newTargetHits > 0 ? newTargetHits : DEFAULT_TARGET;
    matchNumber = 1;
    for ( int &isComputer : computer ) {
        isComputer = 0;
    }
    // The crater as the bomb carves it, drawn once by the same ellipse fill.
    if ( craterShape.GetPixels() == nullptr ) {
        if ( !craterShape.Create( 2 * Bomb::CRATER_RX + 1, 2 * Bomb::CRATER_RY + 1 ) ) {
            return 0; // without it no crater could be told to hit a tank
        }
        craterShape.FillEllipse( Bomb::CRATER_RX, Bomb::CRATER_RY, Bomb::CRATER_RX, Bomb::CRATER_RY, 1 );
    }
    delete startLand;
    startLand = nullptr;
    const Image *land = world->GetLandImage();
    if ( land != nullptr && land->GetPixels() != nullptr ) {
        startLand = new ( std::nothrow ) Image( land->GetWidth(), land->GetHeight() );
        if ( startLand == nullptr || startLand->GetPixels() == nullptr ) {
            return 0;
        }
        land->BlitTo( *startLand, 0, 0, land->GetBounds() );
    }
    TakePlayers();
    return playerCount > 0 ? 1 : 0;
}

int Match::StartNew( World &newWorld, const int columns[MAX_PLAYERS] ) {
    world = &newWorld;
    DropAll( world->GetBombs() );
    DropAll( world->GetTanks() );
    world->SetCurrentTank( nullptr );
    world->SetCameraTarget( nullptr );
    Image *land = world->GetLandImage();
    if ( land != nullptr && startLand != nullptr ) {
        startLand->BlitTo( *land, 0, 0, startLand->GetBounds() );
        world->RefillTiles();
    }
    PlaceTanks( *world, columns );
    matchNumber++;
    TakePlayers();
    return playerCount > 0 ? 1 : 0;
}

// A generated land gives each match a land of its own.
int Match::SetStartLand( const Image &land ) {
    if ( land.GetPixels() == nullptr ) {
        return 0;
    }
    if ( startLand == nullptr || startLand->GetWidth() != land.GetWidth() ||
         startLand->GetHeight() != land.GetHeight() ) {
        Image *copy = new ( std::nothrow ) Image( land.GetWidth(), land.GetHeight() );
        if ( copy == nullptr || copy->GetPixels() == nullptr ) {
            delete copy;
            return 0;
        }
        delete startLand;
        startLand = copy;
    }
    land.BlitTo( *startLand, 0, 0, land.GetBounds() );
    return 1;
}

// The tanks in list order are the players; everything of the match before is forgotten.
void Match::TakePlayers() {
    playerCount = 0;
    EntityList *list = world != nullptr ? world->GetTanks() : nullptr;
    if ( list != nullptr ) {
        EntityNode *node = nullptr;
        for ( list->First( node ); !list->IsEnd( node ) && playerCount < MAX_PLAYERS;
              list->Next( node, 1 ) ) {
            tanks[playerCount++] = static_cast<Tank *>( list->Get( node ) );
        }
    }
    for ( int i = 0; i < MAX_PLAYERS; i++ ) {
        scores[i] = 0;
        if ( i >= playerCount ) {
            tanks[i] = nullptr;
        }
    }
    winner = NO_PLAYER;
    frame = 0;
    // Bombs already in the list belong to no one.
    bombsSeen = list != nullptr && world->GetBombs() != nullptr ? world->GetBombs()->GetCount() : 0;
    flightCount = 0;
    craterCount = 0;
}

void Match::Forget() {
    world = nullptr;
    playerCount = 0;
    flightCount = 0;
    craterCount = 0;
    for ( Tank *&tank : tanks ) {
        tank = nullptr;
    }
}

Tank *Match::GetTank( int player ) const {
    return player >= 0 && player < playerCount ? tanks[player] : nullptr;
}

int Match::GetPlayerOf( const Entity *tank ) const {
    for ( int i = 0; i < playerCount; i++ ) {
        if ( tanks[i] == tank ) {
            return i;
        }
    }
    return NO_PLAYER;
}

int Match::GetCurrentPlayer() const {
    return world != nullptr ? GetPlayerOf( world->GetCurrentTank() ) : NO_PLAYER;
}

int Match::GetScore( int player ) const {
    return player >= 0 && player < playerCount ? scores[player] : 0;
}

int Match::GetComputer( int player ) const {
    return player >= 0 && player < MAX_PLAYERS ? computer[player] : 0;
}

void Match::SetComputer( int player, int value ) {
    if ( player >= 0 && player < MAX_PLAYERS ) {
        computer[player] = value ? 1 : 0;
    }
}

void Match::Observe() {
    craterCount = 0;
    if ( world == nullptr || winner != NO_PLAYER ) {
        return;
    }
    frame++;
    FollowNewBombs();
    // A bomb can explode in the update that fired it, so the new ones are looked at too.
    for ( int i = 0; i < flightCount; ) {
        const Flight flight = flights[i];
        const int state = flight.bomb->GetState();
        if ( state == Bomb::Flying ) {
            i++;
            continue;
        }
        flights[i] = flights[--flightCount];
        if ( state == Bomb::Exploded ) {
            Explode( *flight.bomb, flight.shooter );
        }
    }
}

// Bombs are only ever appended, and only by the tank that has the turn, which keeps it for
// the rest of the frame it fires in: every bomb new since the last look is that player's.
void Match::FollowNewBombs() {
    EntityList *bombs = world->GetBombs();
    if ( bombs == nullptr || bombs->GetCount() == bombsSeen ) {
        return;
    }
    const int shooter = GetCurrentPlayer();
    EntityNode *node = nullptr;
    bombs->First( node );
    bombs->Next( node, bombsSeen );
    for ( ; !bombs->IsEnd( node ); bombs->Next( node, 1 ) ) {
        if ( flightCount < MAX_FLIGHTS ) {
            flights[flightCount++] = Flight{ bombs->Get( node ), shooter };
        }
    }
    bombsSeen = bombs->GetCount();
}

void Match::Explode( const Entity &bomb, int shooter ) {
    if ( craterCount < MAX_CRATERS ) {
        craterX[craterCount] = bomb.GetX();
        craterY[craterCount] = bomb.GetY();
        craterCount++;
    }
    if ( shooter == NO_PLAYER ) {
        return;
    }
    const int width = g_tankSprite.GetWidth();
    const int height = g_tankSprite.GetHeight();
    for ( int i = 0; i < playerCount; i++ ) {
        const Tank *tank = tanks[i];
        if ( i == shooter || tank == nullptr ) {
            continue;
        }
        if ( CraterTouches( bomb.GetX(), bomb.GetY(), tank->GetX(), tank->GetY(), tank->GetX() + width - 1,
                            tank->GetY() + height - 1 ) ) {
            scores[shooter]++;
        }
    }
    if ( winner == NO_PLAYER && scores[shooter] >= targetHits ) {
        winner = shooter;
    }
}

int Match::CraterTouches( int bombX, int bombY, int left, int top, int right, int bottom ) const {
    // The box in the crater shape's own coordinates, cut to the shape.
    Rect box( left - ( bombX - Bomb::CRATER_RX ), top - ( bombY - Bomb::CRATER_RY ),
              right - ( bombX - Bomb::CRATER_RX ), bottom - ( bombY - Bomb::CRATER_RY ) );
    box.Intersect( craterShape.GetBounds() );
    const uint8_t *shape = craterShape.GetPixels();
    if ( shape == nullptr ) {
        return 0;
    }
    for ( int y = box.top; y <= box.bottom; y++ ) {
        for ( int x = box.left; x <= box.right; x++ ) {
            if ( shape[y * craterShape.GetPitch() + x] != 0 ) {
                return 1;
            }
        }
    }
    return 0;
}

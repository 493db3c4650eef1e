#include "play/Match.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Sprite.h"
#include "platform/Display.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace {

// The camera closes this fraction of the distance to what it looks at in every frame.
const int CAMERA_EASE = 8;

// Deletes what the list holds and empties it; the lists never own their entities.
void DropAll( EntityList *list ) {
    if ( list != nullptr ) {
        list->DeleteEntities();
        list->Clear();
    }
}

uint64_t SquareRoot( uint64_t value ) {
    uint64_t root = 0;
    uint64_t bit = uint64_t( 1 ) << 62;
    while ( bit > value ) {
        bit >>= 2;
    }
    while ( bit != 0 ) {
        if ( value >= root + bit ) {
            value -= root + bit;
            root = ( root >> 1 ) + bit;
        } else {
            root >>= 1;
        }
        bit >>= 2;
    }
    return root;
}

int Clamp( int value, int low, int high ) {
    return value < low ? low : ( value > high ? high : value );
}

// What a bomb's crater is and how much it hurts at its centre, by its weapon's row: a heavy
// shell's larger crater reaches more tanks and hurts twice as hard; the dirt bomb's mound
// hurts nobody.
struct CraterSize {
    int rx;
    int ry;
    int centreDamage;
};

CraterSize CraterOf( const Entity &bomb ) {
    const Weapon &weapon = WeaponOf( static_cast<const Bomb &>( bomb ).GetWeapon() );
    return CraterSize{ weapon.craterRx, weapon.craterRy, Match::CENTRE_DAMAGE * weapon.damagePercent / 100 };
}

} // namespace

Match::Match()
    : world( nullptr ), tanks{}, scores{}, health{}, inPlay{}, fallTop{}, computer{}, seated{ 1, 1, 1, 1 },
      playerCount( 0 ), startHealth( DEFAULT_HEALTH ), outcome( Playing ), winner( NO_PLAYER ),
      matchNumber( 0 ), starter( 0 ), frame( 0 ), phase( Aiming ), countdown( 0 ), hurtInTurn( 0 ),
      quietTurns( 0 ), bombsSeen( 0 ), news( NoNews ), newsPlayer( NO_PLAYER ), newsFrames( 0 ), focusX( 0 ),
      focusY( 0 ), snapCamera( 1 ), followed( nullptr ), flights{}, flightCount( 0 ), craters{},
      craterCount( 0 ), wreckCount( 0 ), startLand( nullptr ), startLandElsewhere( 0 ),
      sharedStartLand( nullptr ) {
}

Match::~Match() {
    delete startLand;
}

int Match::Init( World &newWorld, int newStartHealth ) {
    world = &newWorld;
    SetStartHealth( newStartHealth );
    matchNumber = 1;
    for ( int player = 0; player < MAX_PLAYERS; player++ ) {
        computer[player] = 0;
        scores[player] = 0;
    }
    delete startLand;
    startLand = nullptr;
    const Image *land = world->GetLandImage();
    if ( !startLandElsewhere && land != nullptr && land->GetPixels() != nullptr ) {
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
    PutLandBack( *world );
    PlaceTanks( *world, columns );
    matchNumber++;
    TakePlayers();
    return playerCount > 0 ? 1 : 0;
}

// Only the rows a match changed are written back: a page written with the bytes it already
// holds is a page of this process's own, no longer shared with the referees of other rooms.
static void CopyChangedRows( const Image &from, Image &to ) {
    const size_t width = size_t( from.GetWidth() );
    for ( int y = 0; y < from.GetHeight(); y++ ) {
        const uint8_t *source = from.GetPixels() + size_t( y ) * size_t( from.GetPitch() );
        uint8_t *target = to.GetPixels() + size_t( y ) * size_t( to.GetPitch() );
        if ( std::memcmp( source, target, width ) != 0 ) {
            std::memcpy( target, source, width );
        }
    }
}

void Match::PutLandBack( World &landWorld ) const {
    Image *land = landWorld.GetLandImage();
    const Image *start = startLandElsewhere ? sharedStartLand : startLand;
    if ( land == nullptr || start == nullptr ) {
        return;
    }
    if ( land->GetWidth() == start->GetWidth() && land->GetHeight() == start->GetHeight() &&
         land->GetPixels() != nullptr && start->GetPixels() != nullptr ) {
        CopyChangedRows( *start, *land );
    } else {
        start->BlitTo( *land, 0, 0, start->GetBounds() );
    }
    landWorld.RefillTiles();
}

void Match::KeepStartLandIn( const Image *land ) {
    delete startLand;
    startLand = nullptr;
    startLandElsewhere = 1;
    sharedStartLand = land;
}

// A generated land gives each match a land of its own.
int Match::SetStartLand( const Image &land ) {
    if ( land.GetPixels() == nullptr ) {
        return 0;
    }
    startLandElsewhere = 0;
    sharedStartLand = nullptr;
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

void Match::SetStartHealth( int newStartHealth ) {
    startHealth =
        newStartHealth >= MIN_HEALTH && newStartHealth <= MAX_HEALTH ? newStartHealth : DEFAULT_HEALTH;
}

// The tanks in list order are the players; everything of the match before but the scores is
// forgotten.
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
    // With fewer than two seats taken there would be no match to play: everyone plays.
    const int allSeated = CountSeated() < 2;
    for ( int i = 0; i < MAX_PLAYERS; i++ ) {
        health[i] = i < playerCount ? startHealth : 0;
        inPlay[i] = i < playerCount && ( allSeated || seated[i] ) ? 1 : 0;
        fallTop[i] = -1;
        if ( i >= playerCount ) {
            tanks[i] = nullptr;
        } else if ( !inPlay[i] ) {
            // The empty seat's tank leaves as a destroyed one does, but quietly and unhurt.
            health[i] = 0;
            tanks[i]->SetState( Tank::Out );
        }
    }
    outcome = Playing;
    winner = NO_PLAYER;
    frame = 0;
    phase = Aiming;
    countdown = 0;
    hurtInTurn = 0;
    quietTurns = 0;
    news = NoNews;
    newsPlayer = NO_PLAYER;
    newsFrames = 0;
    snapCamera = 1;
    followed = nullptr;
    // Bombs already in the list belong to no one.
    bombsSeen = list != nullptr && world->GetBombs() != nullptr ? world->GetBombs()->GetAdded() : 0;
    flightCount = 0;
    craterCount = 0;
    wreckCount = 0;
    GiveFirstTurn();
}

int Match::CountSeated() const {
    int count = 0;
    for ( int i = 0; i < playerCount; i++ ) {
        count += seated[i] ? 1 : 0;
    }
    return count;
}

// The first player in play starts the first match, the second one the second, and so on
// round the table. The placement gave the first tank the turn; it goes back to waiting on its
// way to the ground (unless its seat is empty).
void Match::GiveFirstTurn() {
    int playing = 0;
    for ( int i = 0; i < playerCount; i++ ) {
        playing += inPlay[i];
    }
    starter = 0;
    if ( playing == 0 || world == nullptr ) {
        return;
    }
    for ( int skip = ( matchNumber > 0 ? matchNumber - 1 : 0 ) % playing; !inPlay[starter] || skip > 0;
          starter++ ) {
        skip -= inPlay[starter];
    }
    if ( starter != 0 && inPlay[0] ) {
        tanks[0]->SetState( Tank::Falling );
    }
    world->SetCurrentTank( tanks[starter] );
    world->SetCameraTarget( tanks[starter] );
    focusX = tanks[starter]->GetX();
    focusY = tanks[starter]->GetY();
}

void Match::Forget() {
    world = nullptr;
    playerCount = 0;
    flightCount = 0;
    craterCount = 0;
    wreckCount = 0;
    followed = nullptr;
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

int Match::GetHealth( int player ) const {
    return player >= 0 && player < playerCount ? health[player] : 0;
}

int Match::IsInPlay( int player ) const {
    return player >= 0 && player < playerCount ? inPlay[player] : 0;
}

int Match::GetComputer( int player ) const {
    return player >= 0 && player < MAX_PLAYERS ? computer[player] : 0;
}

void Match::SetSeated( int player, int value ) {
    if ( player >= 0 && player < MAX_PLAYERS ) {
        seated[player] = value ? 1 : 0;
    }
}

int Match::IsSeated( int player ) const {
    return player >= 0 && player < MAX_PLAYERS && ( seated[player] || CountSeated() < 2 ) ? 1 : 0;
}

void Match::SetComputer( int player, int value ) {
    if ( player >= 0 && player < MAX_PLAYERS ) {
        computer[player] = value ? 1 : 0;
    }
}

void Match::Observe() {
    craterCount = 0;
    wreckCount = 0;
    if ( world == nullptr || outcome != Playing ) {
        return;
    }
    frame++;
    if ( newsFrames > 0 ) {
        newsFrames--;
    }
    FollowNewBombs();
    ObserveFlights();
    ObserveFalls();
    ObserveLeavers();
    Decide();
    if ( outcome == Playing ) {
        KeepTurn();
    }
}

// Bombs are only ever appended, and only by the tank that has the turn: every bomb new since
// the last look is that player's. The last one fired is the one the camera follows.
void Match::FollowNewBombs() {
    EntityList *bombs = world->GetBombs();
    if ( bombs == nullptr || bombs->GetAdded() == bombsSeen ) {
        return;
    }
    const int fresh = bombs->GetAdded() - bombsSeen;
    const int shooter = GetCurrentPlayer();
    EntityNode *node = nullptr;
    bombs->First( node );
    bombs->Next( node, fresh < bombs->GetCount() ? bombs->GetCount() - fresh : 0 );
    for ( ; !bombs->IsEnd( node ); bombs->Next( node, 1 ) ) {
        if ( flightCount < MAX_FLIGHTS ) {
            flights[flightCount++] = Flight{ bombs->Get( node ), shooter };
            followed = bombs->Get( node );
        }
    }
    bombsSeen = bombs->GetAdded();
}

// A bomb can explode in the update that fired it, so the new ones are looked at too.
void Match::ObserveFlights() {
    for ( int i = 0; i < flightCount; ) {
        const Flight flight = flights[i];
        const int state = flight.bomb->GetState();
        if ( state == Bomb::Flying ) {
            i++;
            continue;
        }
        flights[i] = flights[--flightCount];
        if ( flight.bomb == followed ) {
            followed = nullptr;
            focusX = flight.bomb->GetX();
            focusY = flight.bomb->GetY();
        }
        if ( state == Bomb::Exploded ) {
            Explode( *flight.bomb );
        }
    }
    // The next bomb to follow is the last one fired of those still in the air.
    if ( followed == nullptr && flightCount > 0 ) {
        followed = flights[flightCount - 1].bomb;
    }
}

// Every tank in play whose box the crater touches loses health by how near its middle is to
// the crater's centre, the shooter's own tank as well.
void Match::Explode( const Entity &bomb ) {
    const CraterSize crater = CraterOf( bomb );
    NoteCrater( bomb.GetX(), bomb.GetY(), crater.rx, crater.ry );
    const int width = g_tankSprite.GetWidth();
    const int height = g_tankSprite.GetHeight();
    for ( int i = 0; i < playerCount; i++ ) {
        const Tank *tank = tanks[i];
        if ( !inPlay[i] ||
             !EllipseTouches( bomb.GetX(), bomb.GetY(), crater.rx, crater.ry, tank->GetX(), tank->GetY(),
                              tank->GetX() + width - 1, tank->GetY() + height - 1 ) ) {
            continue;
        }
        const int dx = tank->GetX() + width / 2 - bomb.GetX();
        const int dy = tank->GetY() + height / 2 - bomb.GetY();
        Hurt( i, CraterDamage( dx, dy, crater.rx, crater.ry, crater.centreDamage ) );
    }
}

void Match::Hurt( int player, int damage ) {
    if ( damage <= 0 || !inPlay[player] ) {
        return;
    }
    hurtInTurn = 1;
    health[player] = health[player] > damage ? health[player] - damage : 0;
    if ( health[player] == 0 ) {
        // The tank goes up in a blast of its own, which leaves a hole where it stood.
        const Tank *tank = tanks[player];
        const int x = tank->GetX() + g_tankSprite.GetWidth() / 2;
        const int y = tank->GetY() + g_tankSprite.GetHeight() / 2;
        world->Carve( x, y, WRECK_RX, WRECK_RY );
        NoteCrater( x, y, WRECK_RX, WRECK_RY );
        wreckCount++;
        TakeOut( player, Destroyed );
    }
}

// A fall is measured from the row it began at to the row it ended on.
void Match::ObserveFalls() {
    for ( int i = 0; i < playerCount; i++ ) {
        if ( !inPlay[i] ) {
            continue;
        }
        const Tank *tank = tanks[i];
        if ( tank->GetState() == Tank::Falling ) {
            if ( fallTop[i] < 0 ) {
                fallTop[i] = tank->GetY();
            }
        } else if ( fallTop[i] >= 0 ) {
            const int rows = tank->GetY() - fallTop[i];
            fallTop[i] = -1;
            Hurt( i, FallDamage( rows ) );
        }
    }
}

// A tank whose middle has left the land at a side, or whose top has dropped below its bottom,
// is out of the match.
void Match::ObserveLeavers() {
    const Image *land = world->GetLandImage();
    if ( land == nullptr ) {
        return;
    }
    for ( int i = 0; i < playerCount; i++ ) {
        const Tank *tank = tanks[i];
        const int middle = tank->GetX() + g_tankSprite.GetWidth() / 2;
        if ( inPlay[i] &&
             ( middle < 0 || middle >= land->GetWidth() || tank->GetY() >= land->GetHeight() ) ) {
            TakeOut( i, OffTheLand );
        }
    }
}

void Match::TakeOut( int player, int why ) {
    inPlay[player] = 0;
    fallTop[player] = -1;
    tanks[player]->SetState( Tank::Out );
    news = why;
    newsPlayer = player;
    newsFrames = NEWS_FRAMES;
}

// The last tank in play wins; when the last ones go together nobody does.
void Match::Decide() {
    if ( playerCount < 2 ) {
        return;
    }
    int left = 0;
    int last = NO_PLAYER;
    for ( int i = 0; i < playerCount; i++ ) {
        if ( inPlay[i] ) {
            left++;
            last = i;
        }
    }
    if ( left == 1 ) {
        outcome = Won;
        winner = last;
        scores[last]++;
    } else if ( left == 0 ) {
        outcome = Drawn;
    }
}

// The turn stays with the tank that aims until it has fired (or left the match); then the
// camera follows the shot until every bomb is down, the crater is shown for a moment, and
// once no tank is still falling the turn passes on.
void Match::KeepTurn() {
    const int current = GetCurrentPlayer();
    if ( phase == Aiming ) {
        if ( current == NO_PLAYER || !inPlay[current] || tanks[current]->GetState() == Tank::Idle ) {
            phase = flightCount > 0 ? Following : Settling;
            countdown = SETTLE_FRAMES;
        }
        return;
    }
    if ( phase == Following ) {
        if ( flightCount == 0 ) {
            phase = Settling;
            countdown = SETTLE_FRAMES;
        }
        return;
    }
    if ( countdown > 0 ) {
        countdown--;
    }
    if ( countdown == 0 && !AnyoneFalling() ) {
        PassTurn();
    }
}

int Match::AnyoneFalling() const {
    for ( int i = 0; i < playerCount; i++ ) {
        if ( inPlay[i] && tanks[i]->GetState() == Tank::Falling ) {
            return 1;
        }
    }
    return 0;
}

// To the next tank in play after the current one, round the table. A match in which nobody
// has been hurt for too long ends in a draw instead.
void Match::PassTurn() {
    quietTurns = hurtInTurn ? 0 : quietTurns + 1;
    hurtInTurn = 0;
    if ( quietTurns >= QUIET_TURN_LIMIT ) {
        outcome = Drawn;
        return;
    }
    const int current = GetCurrentPlayer();
    int next = current == NO_PLAYER ? starter : current;
    for ( int step = 0; step < playerCount; step++ ) {
        next = ( next + 1 ) % playerCount;
        if ( inPlay[next] ) {
            break;
        }
    }
    world->SetCurrentTank( tanks[next] );
    world->SetCameraTarget( tanks[next] );
    phase = Aiming;
}

void Match::NoteCrater( int x, int y, int rx, int ry ) {
    if ( craterCount < MAX_CRATERS ) {
        craters[craterCount++] = Crater{ x, y, rx, ry };
    }
}

void Match::MoveCamera( World &camera ) {
    const Display *display = camera.GetDisplay();
    if ( display == nullptr ) {
        return;
    }
    const int current = GetCurrentPlayer();
    if ( followed != nullptr ) {
        focusX = followed->GetX();
        focusY = followed->GetY();
    } else if ( phase == Aiming && current != NO_PLAYER ) {
        focusX = tanks[current]->GetX();
        focusY = tanks[current]->GetY();
    }
    // The camera puts what it looks at in the middle of the screen, within the land.
    const int wantX = focusX - display->GetWidth() / 2;
    const int wantY = focusY - display->GetHeight() / 2;
    if ( snapCamera ) {
        snapCamera = 0;
        camera.SetCameraX( wantX );
        camera.SetCameraY( wantY );
        return;
    }
    // The clamped goal first, so that the camera does not linger against the land's edge.
    const int fromX = camera.GetCameraX();
    const int fromY = camera.GetCameraY();
    camera.SetCameraX( wantX );
    camera.SetCameraY( wantY );
    const int goalX = camera.GetCameraX();
    const int goalY = camera.GetCameraY();
    const int stepX = ( goalX - fromX ) / CAMERA_EASE;
    const int stepY = ( goalY - fromY ) / CAMERA_EASE;
    camera.SetCameraX( fromX + ( stepX != 0 ? stepX : Clamp( goalX - fromX, -1, 1 ) ) );
    camera.SetCameraY( fromY + ( stepY != 0 ? stepY : Clamp( goalY - fromY, -1, 1 ) ) );
}

int Match::CraterDamage( int dx, int dy, int rx, int ry, int centreDamage ) {
    if ( rx <= 0 || ry <= 0 || centreDamage <= 0 ) {
        return 0;
    }
    const int rimDamage = centreDamage / 5;
    // The distance from the centre in 1/1024 of the way to the rim, along the same direction.
    const int64_t across = int64_t( dx ) * ry;
    const int64_t down = int64_t( dy ) * rx;
    const uint64_t reach = SquareRoot( uint64_t( across * across + down * down ) );
    const int64_t way = int64_t( reach * 1024 / uint64_t( int64_t( rx ) * ry ) );
    if ( way >= 1024 ) {
        return rimDamage;
    }
    return centreDamage - int( ( centreDamage - rimDamage ) * way / 1024 );
}

int Match::FallDamage( int rows ) {
    return rows > SAFE_FALL ? rows / 2 - 20 : 0;
}

// The point of the box nearest the centre decides.
int Match::EllipseTouches( int cx, int cy, int rx, int ry, int left, int top, int right, int bottom ) {
    if ( rx <= 0 || ry <= 0 || right < left || bottom < top ) {
        return 0;
    }
    const int64_t dx = Clamp( cx, left, right ) - cx;
    const int64_t dy = Clamp( cy, top, bottom ) - cy;
    const int64_t rx2 = int64_t( rx ) * rx;
    const int64_t ry2 = int64_t( ry ) * ry;
    return dx * dx * ry2 + dy * dy * rx2 <= rx2 * ry2 ? 1 : 0;
}

namespace {

// Into -179 .. 180.
int Normalised( int direction ) {
    int d = direction % 360;
    if ( d > 180 ) {
        d -= 360;
    }
    if ( d <= -180 ) {
        d += 360;
    }
    return d;
}

} // namespace

int Match::PointsLeft( int direction ) {
    const int d = Normalised( direction );
    return d > 90 || d < -90 ? 1 : 0;
}

int Match::Elevation( int direction ) {
    const int d = Normalised( direction );
    if ( d > 90 ) {
        return 180 - d;
    }
    if ( d < -90 ) {
        return -180 - d;
    }
    return d;
}

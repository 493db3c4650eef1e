#include "game/Tank.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "platform/Keyboard.h"

#include <cstdlib>
#include <new>

static const int ONE_PIXEL = 65536; // sub-pixel movement is 16.16 fixed point
static const int START_BARREL_MAX = 45;
static const int START_BARREL_MIN = -15;
static const int START_BARREL_ANGLE = 30;
// The slope search stops one degree short of the vertical, where the tangent has its pole.
static const int STEEPEST = 89;

// Where only the tank whose turn it is reads the keys, a waiting tank sees them all up.
int Tank::IsKeyDown( int code ) const {
    if ( g_gameRules.onlyCurrentTankReadsKeys && world->GetCurrentTank() != this ) {
        return 0;
    }
    return g_keyState != nullptr && ( g_keyState[code] & 0x80 ) != 0 ? 1 : 0;
}

Tank::Tank()
    : power( 0 ), bodyAngle( 0 ), moveFraction( 0 ), barrelMax( START_BARREL_MAX ),
      barrelMin( START_BARREL_MIN ), barrelAngle( START_BARREL_ANGLE ), weapon( WEAPON_BOMB ) {
    x = 0;
    y = 0;
    state = Falling;
    resumeState = Idle;
    sprite = nullptr;
    world = nullptr;
}

Tank::Tank( int x, int y, Sprite *sprite, World *world )
    : power( 0 ), bodyAngle( 0 ), moveFraction( 0 ), barrelMax( START_BARREL_MAX ),
      barrelMin( START_BARREL_MIN ), barrelAngle( START_BARREL_ANGLE ), weapon( WEAPON_BOMB ) {
    this->x = x;
    this->y = y;
    state = Falling;
    resumeState = Idle;
    this->sprite = sprite;
    this->world = world;
    ClampX();
}

Tank::~Tank() {
}

void Tank::BeginTurn() {
    state = Active;
}

int Tank::FacesLeft() const {
    return FacesLeftAt( bodyAngle );
}

int Tank::FacesLeftAt( int bodyAngle ) {
    return bodyAngle > 90 && bodyAngle < 270 ? 1 : 0;
}

int Tank::FacesLeftForDrawing() const {
    return g_gameRules.mirrorLeftFacingTanks && FacesLeft();
}

// The barrel's elevation counts upwards whichever way the hull faces.
int Tank::GetBarrelDirection() const {
    return FacesLeft() ? bodyAngle - barrelAngle : bodyAngle + barrelAngle;
}

void Tank::Update() {
    if ( sprite == nullptr || world == nullptr || world->GetLandImage() == nullptr ) {
        return;
    }
    switch ( state ) {
    case Idle:
        UpdateIdle();
        break;
    case Active:
        UpdateActive();
        break;
    case Charging:
        UpdateCharging();
        break;
    case Firing:
        Fire();
        break;
    case Falling:
        UpdateFalling();
        break;
    default:
        break;
    }
}

// Waiting tanks still turn with the arrow keys (every tank reads them), but never drive.
void Tank::UpdateIdle() {
    if ( !IsOnGround() ) {
        state = Falling;
        resumeState = Idle;
        return;
    }
    if ( IsKeyDown( DIK_RIGHT ) && FacesLeft() ) {
        bodyAngle -= 180;
    }
    if ( IsKeyDown( DIK_LEFT ) && bodyAngle > -90 && bodyAngle < 90 ) {
        bodyAngle += 180;
    }
}

// The keys are taken in a fixed order, each seeing what the one before left: Up then Down,
// Right then Left. So Up and Down held at the upper limit settle one below it, and Right
// and Left held together leave the tank facing left without moving.
void Tank::UpdateActive() {
    if ( !IsOnGround() ) {
        state = Falling;
        resumeState = Active;
        return;
    }
    if ( IsKeyDown( DIK_SPACE ) ) {
        state = Charging;
        return;
    }
    if ( IsKeyDown( DIK_UP ) ) {
        barrelAngle += 1;
        if ( barrelAngle > barrelMax ) {
            barrelAngle = barrelMax;
        }
    }
    if ( IsKeyDown( DIK_DOWN ) ) {
        barrelAngle -= 1;
        if ( barrelAngle < barrelMin ) {
            barrelAngle = barrelMin;
        }
    }
    if ( IsKeyDown( DIK_RIGHT ) ) {
        if ( FacesLeft() ) {
            bodyAngle -= 180;
        } else {
            Move( SPEED );
        }
    }
    if ( IsKeyDown( DIK_LEFT ) ) {
        if ( bodyAngle > -90 && bodyAngle < 90 ) {
            bodyAngle += 180;
        } else {
            Move( SPEED );
        }
    }
}

// The ground is not looked at while charging: the tank stays put until it has fired.
void Tank::UpdateCharging() {
    if ( IsKeyDown( DIK_SPACE ) ) {
        power += g_gameRules.chargePerFrame;
        if ( power >= MAX_POWER ) {
            power = MAX_POWER;
            state = Firing;
        }
    } else {
        state = Firing;
    }
}

// The bomb leaves from the tank's top-left corner along the barrel. Firing ends the turn
// even when no bomb could be made.
void Tank::Fire() {
    Bomb *bomb = new ( std::nothrow )
        Bomb( x, y, GetBarrelDirection(), power, weapon, world->GetWind(), &g_bombSprite, world );
    if ( bomb != nullptr ) {
        EntityList *bombs = world->GetBombs();
        const int before = bombs != nullptr ? bombs->GetCount() : 0;
        if ( bombs == nullptr || bombs->Add( bomb ) == before ) {
            delete bomb;
        }
    }
    power = 0;
    state = Idle;
}

void Tank::UpdateFalling() {
    if ( IsOnGround() ) {
        state = resumeState;
        FitToSlope();
    } else {
        y += 1;
    }
}

void Tank::Move( int speed ) {
    moveFraction += g_trigTable.Cosine( bodyAngle ) * speed;
    if ( moveFraction >= ONE_PIXEL || moveFraction <= -ONE_PIXEL ) {
        x += moveFraction / ONE_PIXEL;
        moveFraction %= ONE_PIXEL;
    }
    ClampX();

    // Any step up is climbed at once; the tank then settles one pixel into the ground, and
    // where that finds nothing the ground drops away and the tank falls.
    while ( IsOnGround() ) {
        y -= 1;
    }
    y += 1;
    if ( !IsOnGround() ) {
        state = Falling;
        resumeState = Active;
    } else {
        FitToSlope();
    }
}

int Tank::IsOnGround() const {
    return IsSolid( x + sprite->GetWidth() / 2, y + sprite->GetHeight() );
}

// Rows above the land picture are open sky, so nothing climbs out of the top; rows below it
// are bedrock, so a tank whose ground is blown away at the bottom comes to rest on the
// bottom edge instead of falling for ever. Columns outside are never asked for while x is
// clamped; they read as empty all the same. Where the game opens the land's edges, x is not
// clamped and the rows below are empty too: the tank drives or falls out of the land.
int Tank::IsSolid( int column, int row ) const {
    const Image &land = *world->GetLandImage();
    if ( row < 0 ) {
        return 0;
    }
    if ( row >= land.GetHeight() ) {
        return g_gameRules.openLandEdges ? 0 : 1;
    }
    if ( column < 0 || column >= land.GetWidth() || land.GetPixels() == nullptr ) {
        return 0;
    }
    return land.GetPixels()[row * land.GetPitch() + column] != 0 ? 1 : 0;
}

// The ground reads look at the probe column x + w/2 and at most `reach` columns either side
// of it, where reach = w/2 (the look-ahead and the trace) but at least 1 (the first two
// slope tests). Every one of those columns lies inside the land picture exactly when
//     0 <= x + w/2 - reach   and   x + w/2 + reach <= landWidth - 1,
// that is reach - w/2 <= x <= landWidth - 1 - w/2 - reach; for any tank at least two pixels
// wide this is 0 <= x <= landWidth - 1 - 2 * (w/2). A land too narrow for the tank leaves it
// at the left bound.
void Tank::ClampX() {
    if ( g_gameRules.openLandEdges || sprite == nullptr || world == nullptr ||
         world->GetLandImage() == nullptr ) {
        return;
    }
    const int half = sprite->GetWidth() / 2;
    const int reach = half > 1 ? half : 1;
    const int lowest = reach - half;
    const int highest = world->GetLandImage()->GetWidth() - 1 - half - reach;
    if ( x > highest ) {
        x = highest;
    }
    if ( x < lowest ) {
        x = lowest;
    }
}

int Tank::Pixel( int dx, int dy ) const {
    return IsSolid( x + sprite->GetWidth() / 2 + dx, y + sprite->GetHeight() + dy );
}

// Tilts the hull to the ground around the probe point, keeping the side it faces.
void Tank::FitToSlope() {
    const int ahead = FacesLeft() ? -1 : 1;
    const int baseAngle = FacesLeft() ? 180 : 0;
    // Sunk between ground on both sides, or perched on a single column: level.
    if ( Pixel( 1, -1 ) && Pixel( -1, -1 ) ) {
        bodyAngle = baseAngle;
        return;
    }
    if ( !Pixel( 1, 0 ) && !Pixel( -1, 0 ) ) {
        bodyAngle = baseAngle;
        return;
    }
    const int slope = LookAhead( ahead );
    if ( slope == 0 ) {
        bodyAngle = baseAngle;
        return;
    }
    // A rise is measured ahead, a fall by the rise behind.
    const int side = slope > 0 ? ahead : -ahead;
    const int rise = TraceRise( side );
    // Positive when the ground climbs toward the right of the screen.
    bodyAngle = AngleForTangent( side > 0 ? rise : -rise );
}

// 1 when the ground rises ahead, -1 when it falls away ahead, 0 when it runs level for half
// the tank's width.
int Tank::LookAhead( int ahead ) const {
    const int half = sprite->GetWidth() / 2;
    for ( int i = 1; i <= half; i++ ) {
        if ( !Pixel( ahead * i, 0 ) ) {
            return -1;
        }
        if ( Pixel( ahead * i, -1 ) ) {
            return 1;
        }
    }
    return 0;
}

// Follows the surface outwards on one side, climbing each column to its top, until the
// ground runs out or half the tank's width is covered; returns the rise over that run as a
// tangent in 1/256.
int Tank::TraceRise( int side ) const {
    const int half = sprite->GetWidth() / 2;
    int rows = 0;
    int run = half + 1;
    for ( int i = 1; i <= half; i++ ) {
        if ( !Pixel( side * i, -rows ) ) {
            run = i;
            break;
        }
        while ( Pixel( side * i, -rows - 1 ) ) {
            rows += 1;
        }
    }
    return ( 256 * rows ) / run;
}

// The whole-degree hull angle whose tangent brackets the slope, searched outwards from the
// level angle of the side the tank faces.
int Tank::AngleForTangent( int tangent ) const {
    const int level = FacesLeft() ? 180 : 0;
    if ( tangent >= 0 ) {
        for ( int m = level; m < level + STEEPEST; m++ ) {
            if ( g_trigTable.Tangent( m ) <= tangent && tangent < g_trigTable.Tangent( m + 1 ) ) {
                return m;
            }
        }
        return level + STEEPEST;
    }
    for ( int m = level; m > level - STEEPEST; m-- ) {
        if ( g_trigTable.Tangent( m - 1 ) < tangent && tangent <= g_trigTable.Tangent( m ) ) {
            return m;
        }
    }
    return level - STEEPEST;
}

// The barrel first, from the middle of the box, so that the hull covers its inner part; the
// hull turned by its angle, so a tank facing left is drawn upside down (unless the game
// mirrors it); and
// the probe point in a colour that changes every frame.
void Tank::Draw( Image &target ) {
    if ( !IsDrawn() ) {
        return;
    }
    const int w = sprite->GetWidth();
    const int h = sprite->GetHeight();
    const int cameraX = world->GetCameraX();
    const int cameraY = world->GetCameraY();
    const int centreX = x + w / 2 - cameraX;
    const int centreY = y + h / 2 - cameraY;
    const int direction = GetBarrelDirection();
    // Arithmetic shifts: the barrel's end rounds toward minus infinity.
    const int barrelX = ( g_trigTable.Cosine( direction ) * BARREL_LENGTH ) >> 8;
    const int barrelY = ( g_trigTable.Sine( direction ) * BARREL_LENGTH ) >> 8;
    target.DrawLine( centreX, centreY, centreX + barrelX, centreY - barrelY, BARREL_COLOUR );
    if ( FacesLeftForDrawing() ) {
        // Mirrored and tilted by the slope alone, so it stands upright facing left.
        sprite->DrawRotatedMirrored( target, x - cameraX, y - cameraY, w >> 1, h >> 1, bodyAngle - 180,
                                     g_trigTable );
    } else {
        sprite->DrawRotated( target, x - cameraX, y - cameraY, w >> 1, h >> 1, bodyAngle, g_trigTable );
    }
    target.PutPixel( x + w / 2 - cameraX, y + h - cameraY, static_cast<uint8_t>( std::rand() % 256 ) );
}

int Tank::IsDrawn() const {
    return sprite != nullptr && world != nullptr && state != Out;
}

// The probe colour is drawn even where the probe is off the screen: one rand() a drawn tank.
void Tank::SkipDraw() {
    if ( IsDrawn() ) {
        std::rand();
    }
}

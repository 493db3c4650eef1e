#include "audio/WorldSounds.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/Weapons.h"
#include "game/World.h"
#include "gfx/Sprite.h"
#include "host/HostSound.h"
#include "host/HostTypes.h"
#include "platform/Display.h"

#include <algorithm>

namespace {

// Driving downhill drops a tank a pixel or two at a time; only a real fall ends in a thud.
const int SMALLEST_HEARD_FALL = 8;
const int ENGINE_LOUDNESS = 60;
const int BARREL_LOUDNESS = 45;
const int FLIGHT_LOUDNESS = 50;
// The lightest shot is this loud; the full charge is at full loudness.
const int QUIETEST_SHOT = 60;

int IsDown( const uint8_t *keys, int code ) {
    return keys != nullptr && ( keys[code] & 0x80 ) != 0 ? 1 : 0;
}

} // namespace

WorldSounds::WorldSounds()
    : tankCount( 0 ), flightCount( 0 ), nextRecent( 0 ), firingPower( -1 ), bombCount( -1 ), engineVoice( 0 ),
      barrelVoice( 0 ), muteKeyDown( 0 ), loaded( 0 ), muted( 0 ), volume( HOST_VOLUME_FULL ) {
    for ( int &voice : recentVoices ) {
        voice = 0;
    }
}

WorldSounds::~WorldSounds() {
}

int WorldSounds::Load( const std::string &folder ) {
    StopAll();
    Forget();
    loaded = bank.Load( folder ) > 0 ? 1 : 0;
    return loaded;
}

void WorldSounds::Unload() {
    StopAll();
    Forget();
    loaded = 0;
}

void WorldSounds::Forget() {
    for ( int i = 0; i < flightCount; ++i ) {
        HostStopSound( flights[i].voice );
    }
    flightCount = 0;
    tankCount = 0;
    bombCount = -1;
    firingPower = -1;
}

void WorldSounds::SetMuted( int value ) {
    muted = value ? 1 : 0;
    if ( muted ) {
        StopAll();
    }
}

void WorldSounds::SetVolume( int value ) {
    volume = std::clamp( value, 0, HOST_VOLUME_FULL );
}

void WorldSounds::StopAll() {
    StopLoops();
    for ( int &voice : recentVoices ) {
        HostStopSound( voice );
        voice = 0;
    }
}

void WorldSounds::StopLoops() {
    HostStopSound( engineVoice );
    HostStopSound( barrelVoice );
    engineVoice = 0;
    barrelVoice = 0;
    for ( int i = 0; i < flightCount; ++i ) {
        HostStopSound( flights[i].voice );
        flights[i].voice = 0;
    }
}

void WorldSounds::Observe( const World &world, const uint8_t *keys, int updated ) {
    if ( !loaded ) {
        return;
    }
    HandleMuteKey( keys );
    if ( !updated ) {
        StopLoops();
        return;
    }
    const Display *display = world.GetDisplay();
    listener.SetView( world.GetCameraX(), world.GetCameraY(), display ? display->GetWidth() : 640,
                      display ? display->GetHeight() : 480 );
    // The bombs first: a new one was fired with the power the tanks showed a frame ago.
    ObserveBombs( world );
    ObserveTanks( world, keys );
}

void WorldSounds::HandleMuteKey( const uint8_t *keys ) {
    const int down = IsDown( keys, DIK_M );
    if ( down && !muteKeyDown ) {
        SetMuted( !muted );
    }
    muteKeyDown = down;
}

// Bombs are only ever appended, so the ones added since the last look are the last in the
// list (spent ones may have left it meanwhile). A list that was emptied belongs to a new
// world: its bombs are taken as heard.
void WorldSounds::ObserveBombs( const World &world ) {
    const EntityList *bombs = world.GetBombs();
    if ( bombs == nullptr ) {
        return;
    }
    if ( bombCount < 0 || bombs->GetAdded() < bombCount ) {
        Forget();
        bombCount = bombs->GetAdded();
        return;
    }
    const int firstNew = bombs->GetCount() - ( bombs->GetAdded() - bombCount );
    int index = 0;
    EntityNode *node;
    for ( bombs->First( node ); !bombs->IsEnd( node ); bombs->Next( node, 1 ), ++index ) {
        const Entity *bomb = bombs->Get( node );
        if ( index >= firstNew ) {
            Shot( *bomb );
            if ( bomb->GetState() == Bomb::Flying ) {
                const int pan = listener.GetPan( bomb->GetX() );
                if ( flightCount < MAX_FLIGHTS ) {
                    flights[flightCount++] = { bomb, Start( SOUND_FLIGHT, pan, FLIGHT_LOUDNESS, 1 ) };
                }
            } else {
                BombStopsFlying( *bomb, 0 );
            }
            continue;
        }
        for ( int i = 0; i < flightCount; ++i ) {
            if ( flights[i].bomb == bomb && bomb->GetState() != Bomb::Flying ) {
                BombStopsFlying( *bomb, flights[i].voice );
                flights[i] = flights[--flightCount];
                break;
            }
        }
    }
    bombCount = bombs->GetAdded();
}

void WorldSounds::Shot( const Entity &bomb ) {
    const int power = firingPower >= 0 ? std::min( firingPower, Tank::MAX_POWER ) : Tank::MAX_POWER / 2;
    const SoundName weights[3] = { SOUND_SHOT_LIGHT, SOUND_SHOT_MEDIUM, SOUND_SHOT_HEAVY };
    const SoundName name = weights[std::min( 2, power * 3 / Tank::MAX_POWER )];
    const int loudness = QUIETEST_SHOT + ( HOST_VOLUME_FULL - QUIETEST_SHOT ) * power / Tank::MAX_POWER;
    PlayAt( name, bomb.GetX(), bomb.GetY(), loudness );
}

// The crater is centred on the bomb's corner, where the explosion is heard from; each weapon
// goes off with its own sound, and a cluster that breaks open in the air with its pop.
void WorldSounds::BombStopsFlying( const Entity &bomb, int voice ) {
    HostStopSound( voice );
    const Weapon &weapon = WeaponOf( static_cast<const Bomb &>( bomb ).GetWeapon() );
    if ( bomb.GetState() == Bomb::Exploded || ( bomb.GetState() == Bomb::Gone && weapon.pieces > 0 ) ) {
        PlayAt( SoundBank::FromFileName( weapon.sound ), bomb.GetX(), bomb.GetY(), HOST_VOLUME_FULL );
    }
}

// Only the tank whose turn it is drives or aims; it drives when the arrow it faced before
// the update is held (the other arrow only turns it round).
void WorldSounds::ObserveTanks( const World &world, const uint8_t *keys ) {
    const EntityList *list = world.GetTanks();
    int driving = 0;
    int turning = 0;
    firingPower = -1;
    if ( list != nullptr ) {
        EntityNode *node;
        for ( list->First( node ); !list->IsEnd( node ); list->Next( node, 1 ) ) {
            const Tank *tank = static_cast<const Tank *>( list->Get( node ) );
            TankMemory *remembered = Remember( tank );
            if ( remembered == nullptr ) {
                continue;
            }
            TankMemory &memory = *remembered;
            const int state = tank->GetState();
            if ( tank == world.GetCurrentTank() && memory.state == Tank::Active && state == Tank::Active ) {
                driving |= IsDown( keys, Tank::FacesLeftAt( memory.bodyAngle ) ? DIK_LEFT : DIK_RIGHT );
                turning |= tank->GetBarrelAngle() != memory.barrelAngle ? 1 : 0;
            }
            if ( state == Tank::Falling && memory.state != Tank::Falling ) {
                memory.fallTop = memory.y;
            }
            if ( state != Tank::Falling && memory.state == Tank::Falling ) {
                const int fall = tank->GetY() - memory.fallTop;
                if ( memory.hasLanded && fall >= SMALLEST_HEARD_FALL ) {
                    const int loudness = std::min( HOST_VOLUME_FULL, 50 + fall );
                    PlayAt( SOUND_LANDING, tank->GetX() + g_tankSprite.GetWidth() / 2,
                            tank->GetY() + g_tankSprite.GetHeight(), loudness );
                }
                memory.hasLanded = 1;
            }
            if ( state == Tank::Firing ) {
                firingPower = tank->GetPower();
            }
            memory.state = state;
            memory.power = tank->GetPower();
            memory.bodyAngle = tank->GetBodyAngle();
            memory.barrelAngle = tank->GetBarrelAngle();
            memory.y = tank->GetY();
        }
    }
    KeepLoop( engineVoice, driving, SOUND_ENGINE, ENGINE_LOUDNESS );
    KeepLoop( barrelVoice, turning, SOUND_BARREL, BARREL_LOUDNESS );
}

// A tank seen for the first time makes no sound until something about it changes.
WorldSounds::TankMemory *WorldSounds::Remember( const Entity *entity ) {
    for ( int i = 0; i < tankCount; ++i ) {
        if ( tanks[i].tank == entity ) {
            return &tanks[i];
        }
    }
    if ( tankCount == MAX_TANKS ) {
        return nullptr;
    }
    const Tank *tank = static_cast<const Tank *>( entity );
    const int state = tank->GetState();
    tanks[tankCount] = { entity,
                         state,
                         tank->GetPower(),
                         tank->GetBodyAngle(),
                         tank->GetBarrelAngle(),
                         tank->GetY(),
                         tank->GetY(),
                         state != Tank::Falling ? 1 : 0 };
    return &tanks[tankCount++];
}

// The loops follow the tank the camera is on, which is always near the middle of the screen.
void WorldSounds::KeepLoop( int &voice, int running, SoundName name, int loudness ) {
    if ( running && voice == 0 ) {
        voice = Start( name, 0, loudness, 1 );
    } else if ( !running && voice != 0 ) {
        HostStopSound( voice );
        voice = 0;
    }
}

void WorldSounds::PlayAt( SoundName name, int x, int y, int loudness ) {
    KeepRecent( Start( name, listener.GetPan( x ), listener.GetVolume( x, y, loudness ), 0 ) );
}

void WorldSounds::Play( SoundName name, int loudness ) {
    KeepRecent( Start( name, 0, loudness, 0 ) );
}

void WorldSounds::KeepRecent( int voice ) {
    if ( voice != 0 ) {
        recentVoices[nextRecent] = voice;
        nextRecent = ( nextRecent + 1 ) % RECENT_VOICES;
    }
}

int WorldSounds::Start( SoundName name, int pan, int loudness, int loop ) {
    const int heard = loudness * volume / HOST_VOLUME_FULL;
    if ( !loaded || muted || heard <= 0 ) {
        return 0;
    }
    return HostStartSound( bank.GetSound( name ), pan, heard, loop );
}

WorldSounds g_worldSounds;

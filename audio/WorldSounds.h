#ifndef KELTO_AUDIO_WORLDSOUNDS_H
#define KELTO_AUDIO_WORLDSOUNDS_H

#include "audio/SoundBank.h"
#include "audio/SoundListener.h"

#include <cstdint>
#include <string>

class Entity;
class World;

// The game's sound, made by watching the world after each update rather than by the game
// itself: a new bomb is a shot (heavier with the power it was charged to) and the start of
// its flight; a bomb that stops flying ends the flight and, with a crater, explodes; the
// tank whose turn it is runs its engine while it drives and its barrel gear while the barrel
// moves; a tank that falls a fair way lands with a thud. The game's rules never notice.
class WorldSounds {
public:
    WorldSounds();
    virtual ~WorldSounds();

    // Loads the sounds from `folder` (as SoundBank::Load) and forgets any earlier world; 1, or 0 when no
    // sound could be loaded (no audio device): the game then runs silent.
    int Load( const std::string &folder );

    // Stops everything and loads nothing more: the game is silent until the next Load.
    void Unload();

    // After world.Update(), with the key state the game read this frame; `updated` is 0 when
    // the world stood still (a won match): then the loops stop and nothing else is heard.
    void Observe( const World &world, const uint8_t *keys, int updated );

    // Forgets the world seen so far (a new match): its bombs and tanks make no sound of their
    // own when they go.
    void Forget();

    // A sound the match asks for: at a place on the land, or in the middle of the screen.
    void PlayAt( SoundName name, int x, int y, int loudness );
    void Play( SoundName name, int loudness );

    // Silences every voice; the loops start again by themselves when unmuted.
    void StopAll();
    // Silences the engine, the gear and the flights, letting sounds played once finish.
    void StopLoops();

    void SetMuted( int value );
    int GetMuted() const { return muted; }
    // The loudness of everything, 0 to 100.
    void SetVolume( int value );
    int GetVolume() const { return volume; }

private:
    WorldSounds( const WorldSounds & ) = delete;
    WorldSounds &operator=( const WorldSounds & ) = delete;

    struct TankMemory {
        const Entity *tank;
        int state;
        int power;
        int bodyAngle;
        int barrelAngle;
        int y;
        int fallTop;   // the row the present or last fall began at
        int hasLanded; // the first landing is the tank being put on the land: no thud
    };
    struct Flight {
        const Entity *bomb;
        int voice;
    };

    void HandleMuteKey( const uint8_t *keys );
    void ObserveTanks( const World &world, const uint8_t *keys );
    void ObserveBombs( const World &world );
    void BombStopsFlying( const Entity &bomb, int voice );
    void Shot( const Entity &bomb );
    TankMemory *Remember( const Entity *tank ); // null when the table is full
    void KeepLoop( int &voice, int running, SoundName name, int loudness );
    int Start( SoundName name, int pan, int loudness, int loop );
    void KeepRecent( int voice );

    SoundBank bank;
    SoundListener listener;
    // Fixed tables, so that nothing is allocated while the game runs; a tank or a flight
    // beyond them is not heard.
    static const int MAX_TANKS = 16;
    static const int MAX_FLIGHTS = 64;
    TankMemory tanks[MAX_TANKS];
    int tankCount;
    Flight flights[MAX_FLIGHTS];
    int flightCount;
    static const int RECENT_VOICES = 8;
    int recentVoices[RECENT_VOICES]; // the last sounds played once, stopped by a mute
    int nextRecent;
    int firingPower; // what the tank that fires this frame had charged, from the last frame
    int bombCount;   // bombs already heard: the list's GetAdded at the last look
    int engineVoice;
    int barrelVoice;
    int muteKeyDown;
    int loaded;
    int muted;
    int volume;
};

extern WorldSounds g_worldSounds;

#endif

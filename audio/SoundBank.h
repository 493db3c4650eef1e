#ifndef KELTO_AUDIO_SOUNDBANK_H
#define KELTO_AUDIO_SOUNDBANK_H

#include <string>

// The game's sounds, each read once from its WAV file in the game's data folder.
enum SoundName {
    SOUND_SHOT_LIGHT,
    SOUND_SHOT_MEDIUM,
    SOUND_SHOT_HEAVY,
    SOUND_FLIGHT,
    SOUND_EXPLOSION,
    SOUND_ENGINE,
    SOUND_BARREL,
    SOUND_LANDING,
    SOUND_HIT,
    SOUND_WINNER,
    SOUND_DESTROYED,
    SOUND_HEAVY, // the weapons' own explosions, named by their rows (game/Weapons.h)
    SOUND_CLUSTER,
    SOUND_DIGGER,
    SOUND_DIRT,
    SOUND_COUNT
};

class SoundBank {
public:
    SoundBank();
    virtual ~SoundBank();

    // Loads every sound from `folder` (ending in '/', or empty for the working directory);
    // returns how many could be loaded (0 without an audio device). A
    // sound that cannot be loaded stays silent; the game plays on without it.
    int Load( const std::string &folder );

    // The host layer's number for a sound; 0 when it is not loaded.
    int GetSound( SoundName name ) const;

    static const char *GetFileName( SoundName name );
    // The sound whose file is `fileName`; SOUND_EXPLOSION for a file not in the bank.
    static SoundName FromFileName( const char *fileName );

private:
    int sounds[SOUND_COUNT];
};

#endif

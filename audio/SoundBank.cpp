#include "audio/SoundBank.h"

#include "host/HostSound.h"

#include <cstdio>
#include <cstring>

static const char *const SOUND_FILES[SOUND_COUNT] = {
    "shot-light.wav", "shot-medium.wav", "shot-heavy.wav", "flight.wav", "explosion.wav",
    "engine.wav",     "barrel.wav",      "landing.wav",    "hit.wav",    "winner.wav",
    "destroyed.wav",  "heavy.wav",       "cluster.wav",    "digger.wav", "dirt.wav" };

SoundBank::SoundBank() {
    for ( int &sound : sounds ) {
        sound = 0;
    }
}

SoundBank::~SoundBank() {
}

int SoundBank::Load( const std::string &folder ) {
    int loaded = 0;
    for ( int i = 0; i < SOUND_COUNT; ++i ) {
        // Put together without allocating: a game short of memory still starts, silent.
        char path[4096];
        const int length = std::snprintf( path, sizeof( path ), "%s%s", folder.c_str(), SOUND_FILES[i] );
        sounds[i] = length > 0 && length < int( sizeof( path ) ) ? HostLoadSound( path ) : 0;
        loaded += sounds[i] > 0 ? 1 : 0;
    }
    return loaded;
}

int SoundBank::GetSound( SoundName name ) const {
    return name >= 0 && name < SOUND_COUNT ? sounds[name] : 0;
}

const char *SoundBank::GetFileName( SoundName name ) {
    return name >= 0 && name < SOUND_COUNT ? SOUND_FILES[name] : "";
}

SoundName SoundBank::FromFileName( const char *fileName ) {
    for ( int i = 0; i < SOUND_COUNT && fileName != nullptr; ++i ) {
        if ( std::strcmp( SOUND_FILES[i], fileName ) == 0 ) {
            return SoundName( i );
        }
    }
    return SOUND_EXPLOSION;
}

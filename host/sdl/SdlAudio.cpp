#include "host/sdl/SdlAudio.h"

#include "host/HostSound.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Sound libraries that find no device (ALSA above all) say so on standard error, line after
// line; a game without sound is normal, so their words go nowhere while the device is opened.
class QuietStandardError {
public:
    QuietStandardError() : saved( -1 ) {
        std::fflush( stderr );
        const int nowhere = open( "/dev/null", O_WRONLY );
        if ( nowhere >= 0 ) {
            saved = dup( STDERR_FILENO );
            dup2( nowhere, STDERR_FILENO );
            close( nowhere );
        }
    }
    ~QuietStandardError() {
        if ( saved >= 0 ) {
            std::fflush( stderr );
            dup2( saved, STDERR_FILENO );
            close( saved );
        }
    }

private:
    int saved;
};

} // namespace

SdlAudio::SdlAudio() : chunkCount( 0 ), lastVoice( 0 ), opened( 0 ), tried( 0 ) {
    for ( Mix_Chunk *&chunk : chunks ) {
        chunk = nullptr;
    }
    for ( int &voice : voiceOnChannel ) {
        voice = 0;
    }
}

SdlAudio::~SdlAudio() {
    Close();
}

int SdlAudio::Open() {
    if ( tried ) {
        return opened;
    }
    tried = 1;
    QuietStandardError quiet;
    if ( SDL_InitSubSystem( SDL_INIT_AUDIO ) != 0 ) {
        return 0;
    }
    if ( Mix_OpenAudio( SAMPLE_RATE, AUDIO_S16SYS, 2, BUFFER_FRAMES ) != 0 ) {
        SDL_QuitSubSystem( SDL_INIT_AUDIO );
        return 0;
    }
    Mix_AllocateChannels( VOICES );
    opened = 1;
    return 1;
}

void SdlAudio::Close() {
    if ( !opened ) {
        return;
    }
    Mix_HaltChannel( -1 );
    for ( int i = 0; i < chunkCount; ++i ) {
        Mix_FreeChunk( chunks[i] );
        chunks[i] = nullptr;
    }
    chunkCount = 0;
    Mix_CloseAudio();
    SDL_QuitSubSystem( SDL_INIT_AUDIO );
    opened = 0;
}

int SdlAudio::Load( const uint8_t *bytes, size_t size ) {
    if ( !Open() || bytes == nullptr || size == 0 || chunkCount == MAX_SOUNDS ) {
        return 0;
    }
    SDL_RWops *stream = SDL_RWFromConstMem( bytes, int( size ) );
    Mix_Chunk *chunk = stream != nullptr ? Mix_LoadWAV_RW( stream, 1 ) : nullptr;
    if ( chunk == nullptr ) {
        return 0;
    }
    chunks[chunkCount] = chunk;
    return ++chunkCount;
}

// The voice is chosen here rather than by the mixer so that its panning and volume are set
// before the first sample is mixed.
int SdlAudio::Start( int sound, int pan, int volume, int loop ) {
    if ( !opened || sound <= 0 || sound > chunkCount ) {
        return 0;
    }
    int channel = 0;
    while ( channel < VOICES && Mix_Playing( channel ) ) {
        ++channel;
    }
    if ( channel == VOICES ) {
        return 0;
    }
    // Full strength on the near side, fading on the far one: the middle is as loud as a side.
    const int left = pan <= 0 ? 255 : 255 * ( HOST_PAN_RIGHT - pan ) / HOST_PAN_RIGHT;
    const int right = pan >= 0 ? 255 : 255 * ( pan - HOST_PAN_LEFT ) / -HOST_PAN_LEFT;
    Mix_SetPanning( channel, Uint8( left ), Uint8( right ) );
    Mix_Volume( channel, volume * MIX_MAX_VOLUME / HOST_VOLUME_FULL );
    if ( Mix_PlayChannel( channel, chunks[sound - 1], loop ? -1 : 0 ) != channel ) {
        return 0;
    }
    // Voice numbers run on, so that an old voice's stop never silences a channel's new sound.
    lastVoice = lastVoice < 1000000 ? lastVoice + 1 : 1;
    voiceOnChannel[channel] = lastVoice * VOICES + channel;
    return voiceOnChannel[channel];
}

void SdlAudio::Stop( int voice ) {
    if ( !opened || voice <= 0 ) {
        return;
    }
    const int channel = voice % VOICES;
    if ( voiceOnChannel[channel] == voice ) {
        Mix_HaltChannel( channel );
        voiceOnChannel[channel] = 0;
    }
}

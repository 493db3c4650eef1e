// Writes the game's sounds (audio/SoundMaker) as WAV files: the shot in three weights, the
// shell's flight, the explosion, the engine, the barrel turning, a tank landing, a hit, the
// winner's fanfare, the blast of a destroyed tank and the weapons' own bangs (heavy shell,
// cluster, digger, dirt).
//
// Usage: make_sounds [output directory]   (default "assets")

#include "audio/SoundBank.h"
#include "audio/SoundMaker.h"

#include <cstdio>
#include <filesystem>
#include <string>

int main( int argc, char **argv ) {
    const std::string directory = argc > 1 ? argv[1] : "assets";
    std::error_code error;
    std::filesystem::create_directories( directory, error );
    SoundMaker maker;
    for ( int i = 0; i < SOUND_COUNT; ++i ) {
        const SoundName name = SoundName( i );
        const std::string path = directory + "/" + SoundBank::GetFileName( name );
        if ( !maker.Make( name ) || !maker.WriteFile( path ) ) {
            std::fprintf( stderr, "make_sounds: cannot write %s\n", path.c_str() );
            return 1;
        }
        std::printf( "wrote %s (%.2f s)\n", path.c_str(), maker.GetSeconds() );
    }
    return 0;
}

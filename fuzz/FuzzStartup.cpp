// Fuzzes the whole start-up: one input is split into the four pictures (see
// fuzz/StartupFuzzing.h), which the game finds as memory files; start-up runs on them and,
// when it starts, a few frames of play follow. It must start exactly when every picture is
// readable and of a size the game takes, never crash, and never start on a broken land.

#include "fuzz/FuzzSupport.h"
#include "fuzz/StartupFuzzing.h"

#include "host/HostFile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    if ( const char *directory = FuzzSeedDirectory( *argc, *argv ) ) {
        WriteStartupSeeds( directory, 0, false );
        std::exit( 0 );
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    const StartupPictures pictures = SplitStartupInput( data, size );
    for ( int i = 0; i < 4; i++ ) {
        HostAddMemoryFile( STARTUP_PICTURE_NAMES[i], pictures.bytes[i].data(), pictures.bytes[i].size() );
    }
    FuzzStartupOnce( "", 3, size > 0 ? data[size - 1] : 0 );
    HostClearMemoryFiles();
    return 0;
}

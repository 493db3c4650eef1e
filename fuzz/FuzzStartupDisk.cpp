// Fuzzes start-up through the real file path: as fuzz/FuzzStartup.cpp, but one picture of
// every input (chosen by the first byte) is written to a real file in a folder of its own,
// or put there as something that is no regular file (a FIFO, a directory, a dangling link),
// so that opening, checking and reading a disk file run for every input.
//
// Input: one byte (bits 0-1: which picture goes to the disk; bits 2-4: what it is there:
// 0-4 a file with the picture's bytes, 5 a FIFO, 6 a directory, 7 a dangling link), then
// the four pictures as FuzzStartup takes them.

#include "fuzz/FuzzSupport.h"
#include "fuzz/StartupFuzzing.h"

#include "host/HostFile.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A folder of the run's own for the disk pictures, removed when the run ends.
struct DiskFolder {
    std::string path;

    DiskFolder() {
        char pattern[] = "/tmp/kelto-fuzz-startup-XXXXXX";
        FUZZ_CHECK( mkdtemp( pattern ) != nullptr, "no folder for the disk pictures" );
        path = std::string( pattern ) + "/";
    }

    ~DiskFolder() {
        for ( const char *name : STARTUP_PICTURE_NAMES ) {
            unlink( ( path + name ).c_str() );
            rmdir( ( path + name ).c_str() );
        }
        rmdir( path.c_str() );
    }
};

const std::string &Folder() {
    static DiskFolder folder;
    return folder.path;
}

// Replaces whatever the last input left at `path` with the new thing.
void Put( const std::string &path, int kind, const std::vector<uint8_t> &bytes ) {
    unlink( path.c_str() );
    rmdir( path.c_str() );
    if ( kind == 5 ) {
        FUZZ_CHECK( mkfifo( path.c_str(), 0600 ) == 0, "cannot make a FIFO" );
    } else if ( kind == 6 ) {
        FUZZ_CHECK( mkdir( path.c_str(), 0700 ) == 0, "cannot make a directory" );
    } else if ( kind == 7 ) {
        FUZZ_CHECK( symlink( "nothing-here.bmp", path.c_str() ) == 0, "cannot make a link" );
    } else {
        FILE *file = std::fopen( path.c_str(), "wb" );
        FUZZ_CHECK( file != nullptr, "cannot write %s", path.c_str() );
        FUZZ_CHECK( std::fwrite( bytes.data(), 1, bytes.size(), file ) == bytes.size(), "short write" );
        std::fclose( file );
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    if ( const char *directory = FuzzSeedDirectory( *argc, *argv ) ) {
        WriteStartupSeeds( directory, 0x01, true ); // the land on the disk, as a file

        std::exit( 0 );
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    if ( size < 1 ) {
        return 0;
    }
    const int onDisk = data[0] & 3;
    const int kind = ( data[0] >> 2 ) & 7;
    const StartupPictures pictures = SplitStartupInput( data + 1, size - 1 );
    const std::string &folder = Folder();
    for ( int i = 0; i < 4; i++ ) {
        const std::string path = folder + STARTUP_PICTURE_NAMES[i];
        if ( i == onDisk ) {
            HostRemoveMemoryFile( path.c_str() );
            Put( path, kind, pictures.bytes[i] );
        } else {
            HostAddMemoryFile( path.c_str(), pictures.bytes[i].data(), pictures.bytes[i].size() );
        }
    }
    FuzzStartupOnce( folder, 2, data[0] );
    HostClearMemoryFiles();
    return 0;
}

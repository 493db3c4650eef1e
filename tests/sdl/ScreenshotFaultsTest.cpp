// F12's picture goes only into a new regular file: a name taken meanwhile by anything (a
// FIFO that would hold the game, a file of the player's) is left alone, and a pictures
// folder that is no folder is passed over.

#include "host/sdl/Screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

TEST( ScreenshotFaults, OnlyANewRegularFileIsWritten ) {
    char pattern[] = "/tmp/kelto-shot-XXXXXX";
    const std::string folder = mkdtemp( pattern );
    alarm( 60 ); // a write that waits on the FIFO would hang here
    const std::vector<uint8_t> pixels( 8 * 4, 3 );
    struct Case {
        const char *what;
        int written;
    };
    const Case cases[] = { { "new", 1 }, { "fifo", 0 }, { "file", 0 }, { "folder", 0 } };
    for ( const Case &test : cases ) {
        SCOPED_TRACE( test.what );
        const std::string path = folder + "/" + test.what + ".png";
        const std::string kind = test.what;
        if ( kind == "fifo" ) {
            ASSERT_EQ( mkfifo( path.c_str(), 0644 ), 0 );
        } else if ( kind == "file" ) {
            std::ofstream( path ) << "the player's";
        } else if ( kind == "folder" ) {
            ASSERT_EQ( mkdir( path.c_str(), 0755 ), 0 );
        }
        EXPECT_EQ( ScreenshotWritePng( path, pixels.data(), 8, 8, 4, nullptr ), test.written );
        struct stat info;
        ASSERT_EQ( lstat( path.c_str(), &info ), 0 ) << "the name is gone";
        if ( kind == "new" ) {
            std::ifstream png( path, std::ios::binary );
            char signature[4] = {};
            png.read( signature, 4 );
            EXPECT_EQ( std::string( signature + 1, 3 ), "PNG" );
        } else if ( kind == "file" ) {
            EXPECT_EQ( info.st_size, 12 );
        } else {
            EXPECT_EQ( S_ISFIFO( info.st_mode ) || S_ISDIR( info.st_mode ), true );
        }
    }

    // A FIFO named as the pictures folder is no folder: the picture goes elsewhere.
    const std::string fifo = folder + "/Pictures";
    ASSERT_EQ( mkfifo( fifo.c_str(), 0644 ), 0 );
    setenv( "XDG_PICTURES_DIR", fifo.c_str(), 1 );
    setenv( "HOME", folder.c_str(), 1 );
    EXPECT_EQ( ScreenshotChoosePath().rfind( "./kelto-", 0 ), 0u );
    alarm( 0 );
    std::system( ( "rm -rf '" + folder + "'" ).c_str() );
}

} // namespace

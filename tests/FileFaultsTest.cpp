// Files that are not what they seem, wherever the game opens one (pictures, settings, sounds,
// recordings to read and to write): special files refused at once without waiting, text from
// a file escaped and cut short before it reaches the terminal, and a disk that fills while the
// settings are written leaving nothing half written behind.

#include "host/HostFile.h"
#include "host/HostSound.h"
#include "host/HostText.h"
#include "replay/ReplayReader.h"
#include "replay/ReplayRecorder.h"
#include "settings/SettingsFile.h"
#include "tests/support/HeadlessScope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

class FileFaults : public ::testing::Test {
protected:
    FileFaults() {
        char pattern[] = "/tmp/kelto-faults-XXXXXX";
        folder = mkdtemp( pattern );
        // A reader that waits on a FIFO would hang here: the alarm ends the test instead.
        alarm( 60 );
    }
    ~FileFaults() override {
        alarm( 0 );
        HostSetWriteLimit( -1 );
        std::system( ( "rm -rf '" + folder + "'" ).c_str() );
    }

    // Makes `name` in the folder as the special file `kind`; returns its path.
    std::string Special( const std::string &kind, const std::string &name ) {
        const std::string path = folder + "/" + name;
        if ( kind == "fifo" ) {
            EXPECT_EQ( mkfifo( path.c_str(), 0644 ), 0 );
        } else if ( kind == "directory" ) {
            EXPECT_EQ( mkdir( path.c_str(), 0755 ), 0 );
        } else if ( kind == "device" ) {
            EXPECT_EQ( symlink( "/dev/zero", path.c_str() ), 0 );
        } else if ( kind == "socket" ) {
            const int listener = socket( AF_UNIX, SOCK_STREAM, 0 );
            sockaddr_un address = {};
            address.sun_family = AF_UNIX;
            std::snprintf( address.sun_path, sizeof( address.sun_path ), "%s", path.c_str() );
            EXPECT_EQ( bind( listener, reinterpret_cast<sockaddr *>( &address ), sizeof( address ) ), 0 );
            close( listener );
        }
        return path;
    }

    std::string Said( FILE *stream ) {
        std::rewind( stream );
        std::string said;
        for ( int c; ( c = std::fgetc( stream ) ) != EOF; ) {
            said += char( c );
        }
        std::fclose( stream );
        return said;
    }

    std::string folder;
};

const char *const SPECIAL_KINDS[] = { "fifo", "directory", "device", "socket" };

// Every opener of the game, for reading and for writing, refuses each special file at once,
// and says so where it says anything.
TEST_F( FileFaults, SpecialFilesAreRefusedAtOnceByEveryOpener ) {
    HeadlessScope scope;
    const uint32_t pictures[REPLAY_PICTURE_COUNT] = { 1, 2, 3, 4 };
    const int32_t rules[] = { 0, -1, 1 };
    for ( const char *kind : SPECIAL_KINDS ) {
        SCOPED_TRACE( kind );
        const std::string path = Special( kind, std::string( kind ) + ".file" );

        EXPECT_EQ( HostFileOpen( path.c_str() ), nullptr );
        EXPECT_STREQ( HostFileGetOpenError(), "not a regular file" );
        EXPECT_EQ( HostFileCreate( path.c_str(), 0 ), nullptr );
        EXPECT_STREQ( HostFileGetOpenError(), "not a regular file" );

        EXPECT_EQ( HostLoadSound( path.c_str() ), 0 );

        ReplayReader reader;
        EXPECT_EQ( reader.Open( path.c_str() ), 0 );
        EXPECT_STREQ( reader.GetError(), "not a regular file" );

        ReplayRecorder recorder;
        EXPECT_EQ( recorder.Create( path.c_str(), "1.0.0", pictures, rules, 3 ), 0 );
        EXPECT_STREQ( recorder.GetError(), "not a regular file" );

        Settings settings;
        settings.players = 3;
        FILE *warnings = std::tmpfile();
        EXPECT_EQ( SettingsFile().Load( path, settings, warnings ), 0 );
        EXPECT_EQ( Said( warnings ),
                   "kelto: " + path + ": cannot be read: not a regular file; using the default settings\n" );
        EXPECT_EQ( settings.players, 1 );

        // Still there, still what it was: nothing wrote over it or replaced it.
        struct stat info;
        EXPECT_EQ( lstat( path.c_str(), &info ), 0 );
        EXPECT_FALSE( S_ISREG( info.st_mode ) );
    }
}

// A file read after it was refused as special, then made regular, reads whole: the reader's
// descriptor waits as usual once it is known to be a file.
TEST_F( FileFaults, ARegularFileIsReadWholeAfterTheCheck ) {
    const std::string path = folder + "/plain";
    std::ofstream( path ) << std::string( 70000, 'k' );
    HostFile *file = HostFileOpen( path.c_str() );
    ASSERT_NE( file, nullptr );
    std::string bytes( 70001, '\0' );
    EXPECT_EQ( HostFileRead( file, &bytes[0], 70001 ), 70000 );
    EXPECT_EQ( HostFileSeek( file, 69999 ), 1 );
    EXPECT_EQ( HostFileSeek( file, 70001 ), 0 );
    EXPECT_EQ( HostFileRead( file, &bytes[0], 10 ), 1 );
    HostFileClose( file );
}

TEST( HostText, FileBytesAreEscapedAndCutShort ) {
    struct Case {
        std::string bytes;
        std::string shown;
    };
    const std::string sixty( 60, 'a' );
    const Case cases[] = {
        { "", "" },
        { "1.0.0", "1.0.0" },
        { "\n\x1b[J", "\\x0a\\x1b[J" },
        { std::string( "a\0b", 3 ), "a\\x00b" },
        { "tab\there\r", "tab\\x09here\\x0d" },
        { "back\\slash", "back\\\\slash" },
        { "\x1f\x20\x7e\x7f\x80\xff", "\\x1f ~\\x7f\\x80\\xff" },
        { sixty, sixty },               // exactly the limit: whole
        { sixty + "b", sixty + "..." }, // one over: cut
        { std::string( 59, 'a' ) + "\x1b" + "cd", std::string( 59, 'a' ) + "\\x1b..." },
        { std::string( 10 << 20, '\x1b' ),
          [] { // the longest shown text
              std::string all;
              for ( int i = 0; i < 60; i++ ) {
                  all += "\\x1b";
              }
              return all + "...";
          }() },
    };
    for ( const Case &test : cases ) {
        char out[HOST_TEXT_SIZE];
        EXPECT_EQ( std::string( HostEscapeText( test.bytes.data(), test.bytes.size(), out ) ), test.shown );
        EXPECT_LT( std::strlen( out ), HOST_TEXT_SIZE );
    }
}

// Junk of every kind in the settings file: a handful of lines named, then one that counts the
// rest; nothing from the file reaches the terminal as it is, and no line is echoed whole.
TEST_F( FileFaults, AJunkSettingsFileGivesAHandfulOfEscapedLines ) {
    struct Case {
        const char *what;
        std::string text;
        int lines;
    };
    std::string junk;
    std::srand( 7 );
    for ( int i = 0; i < 65536; i++ ) {
        junk += char( std::rand() % 256 );
    }
    std::string many;
    for ( int i = 0; i < 9; i++ ) {
        many += "bad line " + std::to_string( i ) + "\n";
    }
    const Case cases[] = {
        { "64 KB of random bytes", junk, SETTINGS_WARNING_LIMIT + 1 },
        { "a line of 10 MB", "players = 2\n" + std::string( 10 << 20, 'x' ) + "\nvolume = 5\n", 1 },
        { "escapes that clear the screen", "\x1b[2J\x1b[H = on\nwindow = \x1b]0;owned\x07\n", 2 },
        { "exactly the limit of bad lines", many.substr( 0, many.rfind( "bad line 8" ) ),
          SETTINGS_WARNING_LIMIT },
        { "one over the limit", many, SETTINGS_WARNING_LIMIT + 1 },
    };
    for ( const Case &test : cases ) {
        SCOPED_TRACE( test.what );
        const std::string path = folder + "/settings.ini";
        std::ofstream( path, std::ios::binary ) << test.text;
        Settings settings;
        FILE *warnings = std::tmpfile();
        EXPECT_EQ( SettingsFile().Load( path, settings, warnings ), 1 );
        const std::string said = Said( warnings );
        EXPECT_EQ( std::count( said.begin(), said.end(), '\n' ), test.lines ) << said;
        for ( char c : said ) {
            ASSERT_TRUE( c == '\n' || ( c >= 0x20 && c < 0x7f ) ) << "byte " << int( uint8_t( c ) );
        }
        size_t start = 0;
        for ( size_t end; ( end = said.find( '\n', start ) ) != std::string::npos; start = end + 1 ) {
            EXPECT_LT( end - start, path.size() + 80 + HOST_TEXT_SIZE );
        }
    }
    // The good lines around the long one still count.
    std::ofstream( folder + "/settings.ini", std::ios::binary ) << cases[1].text;
    Settings settings;
    FILE *warnings = std::tmpfile();
    SettingsFile().Load( folder + "/settings.ini", settings, warnings );
    std::fclose( warnings );
    EXPECT_EQ( settings.players, 2 );
    EXPECT_EQ( settings.volume, 5 );
}

// A disk that fills while the defaults are written leaves no settings file (nor a scrap of
// one) for a later start to read; one byte more and the whole file is there.
TEST_F( FileFaults, AFullDiskLeavesNoHalfWrittenSettings ) {
    const std::string path = folder + "/settings.ini";
    ASSERT_EQ( SettingsFile::WriteDefaults( path ), 1 );
    struct stat info;
    ASSERT_EQ( stat( path.c_str(), &info ), 0 );
    const int64_t whole = int64_t( info.st_size );
    ASSERT_EQ( unlink( path.c_str() ), 0 );

    struct Case {
        int64_t limit;
        int written;
    };
    const Case cases[] = { { 0, 0 }, { 1, 0 }, { whole / 2, 0 }, { whole - 1, 0 }, { whole, 1 } };
    for ( const Case &test : cases ) {
        SCOPED_TRACE( "room for " + std::to_string( test.limit ) + " of " + std::to_string( whole ) +
                      " bytes" );
        HostSetWriteLimit( test.limit );
        Settings settings;
        FILE *warnings = std::tmpfile();
        EXPECT_EQ( SettingsFile().Load( path, settings, warnings ), test.written );
        HostSetWriteLimit( -1 );
        const std::string said = Said( warnings );
        if ( test.written ) {
            EXPECT_EQ( said, "" );
            ASSERT_EQ( stat( path.c_str(), &info ), 0 );
            EXPECT_EQ( int64_t( info.st_size ), whole );
            unlink( path.c_str() );
        } else {
            EXPECT_EQ( said,
                       "kelto: " + path +
                           ": cannot be written: no space left on device; using the default settings\n" );
            EXPECT_NE( stat( path.c_str(), &info ), 0 ) << "a settings file was left";
        }
        EXPECT_EQ( settings.scale, "smooth" );
        // Nothing else is left in the folder: the temporary file went with the failure.
        EXPECT_EQ( std::system( ( "test -z \"$(ls -A '" + folder + "')\"" ).c_str() ), 0 );
    }

    // An old file stays as it was when the new one cannot be written.
    std::ofstream( path ) << "players = 3\n";
    HostSetWriteLimit( 0 );
    EXPECT_EQ( SettingsFile::WriteDefaults( path ), 0 );
    HostSetWriteLimit( -1 );
    std::ifstream kept( path );
    std::string line;
    std::getline( kept, line );
    EXPECT_EQ( line, "players = 3" );
}

} // namespace

#include "settings/SettingsFile.h"
#include "app/Options.h"
#include "host/HostFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A scratch folder of the test's own, gone with it.
class SettingsFixture : public ::testing::Test {
protected:
    SettingsFixture() {
        char pattern[] = "/tmp/kelto-settings-XXXXXX";
        folder = mkdtemp( pattern );
    }
    ~SettingsFixture() override { std::system( ( "rm -rf '" + folder + "'" ).c_str() ); }

    std::string Write( const std::string &text ) {
        const std::string path = folder + "/settings.ini";
        std::ofstream( path ) << text;
        return path;
    }

    // Loads `path`, returning what was said on the warning stream.
    std::string Load( const SettingsFile &file, const std::string &path, Settings &settings ) {
        FILE *warnings = std::tmpfile();
        file.Load( path, settings, warnings );
        std::rewind( warnings );
        std::string said;
        for ( int c; ( c = std::fgetc( warnings ) ) != EOF; ) {
            said += char( c );
        }
        std::fclose( warnings );
        return said;
    }

    std::string folder;
};

// Only these names are keys here, as a backend would say.
int KnownKey( const char *name ) {
    return std::string( name ) == "Space" || std::string( name ) == "Return" || std::string( name ) == "A";
}

} // namespace

TEST_F( SettingsFixture, AMissingFileIsWrittenWithCommentedDefaultsThatReadBackTheSame ) {
    const std::string path = folder + "/new/kelto/settings.ini";
    Settings loaded;
    EXPECT_EQ( Load( SettingsFile(), path, loaded ), "" );

    std::ifstream written( path );
    ASSERT_TRUE( written.is_open() );
    std::string line;
    std::string previous;
    int settingLines = 0;
    while ( std::getline( written, line ) ) {
        if ( !line.empty() && line[0] != '#' ) {
            ++settingLines;
            EXPECT_EQ( previous.substr( 0, 2 ), "# " ) << "no comment above: " << line;
        }
        previous = line;
    }
    EXPECT_GE( settingLines, 15 );

    Settings again;
    EXPECT_EQ( Load( SettingsFile(), path, again ), "" );
    Settings defaults;
    SettingsFile::SetDefaults( defaults );
    for ( const Settings *settings : { &loaded, &again } ) {
        EXPECT_EQ( settings->windowed, 0 );
        EXPECT_EQ( settings->scale, "smooth" );
        EXPECT_EQ( settings->keyFire, "Space" );
        EXPECT_EQ( settings->padQuit, "back" );
        EXPECT_EQ( settings->padDeadZone, defaults.padDeadZone );
        EXPECT_EQ( settings->players, 1 );
        EXPECT_EQ( settings->level, "normal" );
    }
}

TEST_F( SettingsFixture, BadLinesAreNamedOnceAndKeepTheirDefaultsWhileGoodOnesApply ) {
    const std::string path = Write( "# comment\n"
                                    "window = window\n"
                                    "scale = huge\n"
                                    "key_fire = Space, Return\n"
                                    "\n"
                                    "key_left = Nonsense\n"
                                    "no equals sign\n"
                                    "colour = red\n"
                                    "  gamepad   =   off  \n"
                                    "pad_dead_zone = 100\n"
                                    "key_up = A,\n"
                                    "volume = 101\n"
                                    "wind = of\n"
                                    "key_weapon_next = A\n"
                                    "pad_weapon_previous = x\n" );
    SettingsFile file;
    file.SetNameChecks( KnownKey, nullptr );
    Settings settings;
    const std::string said = Load( file, path, settings );
    for ( int line : { 3, 6, 7, 8, 10, 11, 12, 13 } ) {
        const std::string where = path + ":" + std::to_string( line ) + ":";
        const size_t first = said.find( where );
        EXPECT_NE( first, std::string::npos ) << where;
        EXPECT_EQ( said.find( where, first + 1 ), std::string::npos ) << where;
    }
    EXPECT_EQ( std::count( said.begin(), said.end(), '\n' ), 8 ) << said;
    EXPECT_EQ( settings.windowed, 1 );
    EXPECT_EQ( settings.scale, "smooth" );
    EXPECT_EQ( settings.keyFire, "Space, Return" );
    EXPECT_EQ( settings.keyLeft, "Left" );
    EXPECT_EQ( settings.keyUp, "Up" );
    EXPECT_EQ( settings.gamepad, 0 );
    EXPECT_EQ( settings.padDeadZone, 25 );
    EXPECT_EQ( settings.volume, 100 );
    EXPECT_EQ( settings.wind, 1 );
    EXPECT_EQ( settings.keyWeaponNext, "A" );
    EXPECT_EQ( settings.keyWeaponPrevious, "Q" );
    EXPECT_EQ( settings.padWeaponPrevious, "x" );
    EXPECT_EQ( settings.padWeaponNext, "rightshoulder" );
}

TEST_F( SettingsFixture, TheCommandLineWinsOverTheFile ) {
    Settings settings;
    Load( SettingsFile(), Write( "window = fullscreen\nscale = fit\nplayers = 0\nlevel = hard\n" ),
          settings );
    Options options;
    ApplyOptions( options, settings );
    EXPECT_EQ( settings.windowed, 0 );
    EXPECT_EQ( settings.scale, "fit" );
    EXPECT_EQ( settings.players, 0 );
    EXPECT_EQ( settings.level, "hard" );
    options.windowed = 1;
    options.scale = "integer";
    options.players = 3;
    options.level = "easy";
    ApplyOptions( options, settings );
    EXPECT_EQ( settings.windowed, 1 );
    EXPECT_EQ( settings.scale, "integer" );
    EXPECT_EQ( settings.players, 3 );
    EXPECT_EQ( settings.level, "easy" );
}

TEST_F( SettingsFixture, AnUnreadableFileIsSaidOnceAndLeavesTheDefaults ) {
    Settings settings;
    settings.scale = "fit";
    const std::string said = Load( SettingsFile(), folder, settings ); // a folder, not a file
    EXPECT_NE( said.find( folder + ":" ), std::string::npos ) << said;
    EXPECT_EQ( settings.scale, "smooth" );
}

// The player learns where the settings are from the run that writes them, and only from it: a
// file read again, or one that could not be written, says nothing there.
TEST_F( SettingsFixture, TheRunThatWritesTheDefaultsSaysWhereOnce ) {
    const auto noticesOfLoad = [&]( const std::string &path ) {
        FILE *warnings = std::tmpfile();
        FILE *notices = std::tmpfile();
        Settings settings;
        SettingsFile().Load( path, settings, warnings, notices );
        std::rewind( notices );
        std::string said;
        for ( int c; ( c = std::fgetc( notices ) ) != EOF; ) {
            said += char( c );
        }
        std::fclose( warnings );
        std::fclose( notices );
        return said;
    };
    const std::string path = folder + "/first/kelto/settings.ini";
    EXPECT_EQ( noticesOfLoad( path ), "kelto: wrote the default settings to " + path + "\n" );
    EXPECT_EQ( noticesOfLoad( path ), "" );
    // Under a regular file no folder can be made: nothing written, nothing claimed.
    const std::string blocked = Write( "window = window\n" ) + "/kelto/settings.ini";
    EXPECT_EQ( noticesOfLoad( blocked ), "" );
    EXPECT_EQ( noticesOfLoad( "" ), "" );
}

namespace {

// The value a test reads back from a setting, by its key in the file.
std::string FieldOf( const Settings &settings, const std::string &key ) {
    if ( key == "pad_dead_zone" ) {
        return std::to_string( settings.padDeadZone );
    }
    if ( key == "volume" ) {
        return std::to_string( settings.volume );
    }
    if ( key == "players" ) {
        return std::to_string( settings.players );
    }
    if ( key == "window" ) {
        return std::to_string( settings.windowed );
    }
    if ( key == "gamepad" ) {
        return std::to_string( settings.gamepad );
    }
    if ( key == "level" ) {
        return settings.level;
    }
    if ( key == "land" ) {
        return settings.land;
    }
    return settings.scale;
}

} // namespace

// Each row: one line of a file, whether it is understood (no warning) and the value that
// stands after it. Every number at its lowest and highest and one past each; every word
// whole, and cut short or lengthened by a letter.
TEST_F( SettingsFixture, EachValueIsTakenUpToItsExactLimitsAndRefusedOnePast ) {
    struct Case {
        const char *key;
        const char *value;
        int understood;
        const char *stands;
    } cases[] = {
        { "pad_dead_zone", "0", 1, "0" },
        { "pad_dead_zone", "99", 1, "99" },
        { "pad_dead_zone", "100", 0, "25" },
        { "pad_dead_zone", "-1", 0, "25" },
        { "pad_dead_zone", "25x", 0, "25" },
        { "pad_dead_zone", "", 0, "25" },
        { "volume", "0", 1, "0" },
        { "volume", "100", 1, "100" },
        { "volume", "101", 0, "100" },
        { "volume", "-1", 0, "100" },
        { "volume", "50%", 0, "100" },
        { "players", "0", 1, "0" },
        { "players", "4", 1, "4" },
        { "players", "5", 0, "1" },
        { "players", "04", 0, "1" },
        { "window", "window", 1, "1" },
        { "window", "windows", 0, "0" },
        { "window", "windo", 0, "0" },
        { "gamepad", "off", 1, "0" },
        { "gamepad", "of", 0, "1" },
        { "level", "hard", 1, "hard" },
        { "level", "hardest", 0, "normal" },
        { "level", "har", 0, "normal" },
        { "scale", "integer", 1, "integer" },
        { "scale", "integers", 0, "smooth" },
        { "scale", "fits", 0, "smooth" },
        // The land: its words, and a code's shape (which names make a land is the game's).
        { "land", "bundled", 1, "bundled" },
        { "land", "cliffs", 1, "cliffs" },
        { "land", "cliff", 0, "new" },
        { "land", "HILLS-GREEN-3F9A21C0", 1, "HILLS-GREEN-3F9A21C0" },
        { "land", "hills-green-3f9a21c0", 1, "hills-green-3f9a21c0" },
        { "land", "A-B-00000000", 1, "A-B-00000000" },
        { "land", "HILLS-GREEN-3F9A21C", 0, "new" },   // seven digits
        { "land", "HILLS-GREEN-3F9A21C00", 0, "new" }, // nine
        { "land", "HILLS-GREEN-3F9A21CG", 0, "new" },
        { "land", "HILLS--3F9A21C0", 0, "new" },
        { "land", "-GREEN-3F9A21C0", 0, "new" },
        { "land", "HILLS-3F9A21C0", 0, "new" },
        { "land", "HILLS-GR3EN-3F9A21C0", 0, "new" },
        { "land", "HILLS-GREEN-3F9A21C0-", 0, "new" },
    };
    for ( const Case &c : cases ) {
        const std::string line = std::string( c.key ) + " = " + c.value;
        Settings settings;
        const std::string said = Load( SettingsFile(), Write( line + "\n" ), settings );
        EXPECT_EQ( said.empty(), c.understood == 1 ) << line << ": " << said;
        EXPECT_EQ( FieldOf( settings, c.key ), c.stands ) << line;
    }
}

// A change rewrites its own line and nothing else: the player's comments, blank lines and
// lines of settings this game does not know stay byte for byte; a key the file lacks is added
// at its end; a refused value leaves the file and the settings alone; no temporary file is
// left beside it.
TEST_F( SettingsFixture, AChangeRewritesOnlyItsLineAndKeepsCommentsAndUnknownLines ) {
    const std::string head = "# my own notes\n\n  # indented note = not a setting\nfuture_setting = 7\n";
    const std::string tail = "\n# about the keys\nkey_fire = Space\nsomething else entirely\n";
    struct Case {
        const char *key;
        const char *value;
        SettingsFile::ChangeResult result;
        std::string expected; // the whole file after the change
    } cases[] = {
        { "volume", "40", SettingsFile::CHANGE_WRITTEN, head + "volume = 40\n" + tail },
        { "volume", "100", SettingsFile::CHANGE_WRITTEN, head + "volume = 100\n" + tail },
        { "volume", "101", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "volume", "-1", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "future_setting", "8", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "volume\nwindow", "1", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "name_1", "ABCDEFGHIJKL", SettingsFile::CHANGE_WRITTEN,
          head + "volume = 80\n" + tail +
              "\n# the players' names, up to 12 letters (empty: PLAYER 1 and so on)\nname_1 = "
              "ABCDEFGHIJKL\n" },
        { "name_1", "ABCDEFGHIJKLM", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "health", "999", SettingsFile::CHANGE_WRITTEN,
          head + "volume = 80\n" + tail +
              "\n# each tank's health at the start of a match (1 to 999)\nhealth = 999\n" },
        { "health", "1000", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "health", "0", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "key_fire", "Nonsense", SettingsFile::CHANGE_REFUSED, head + "volume = 80\n" + tail },
        { "key_fire", "A", SettingsFile::CHANGE_WRITTEN,
          head + "volume = 80\n" + "\n# about the keys\nkey_fire = A\nsomething else entirely\n" },
    };
    SettingsFile file;
    file.SetNameChecks( KnownKey, nullptr );
    for ( const Case &c : cases ) {
        SCOPED_TRACE( std::string( c.key ) + " = " + c.value );
        const std::string path = Write( head + "volume = 80\n" + tail );
        Settings settings;
        Load( file, path, settings );
        EXPECT_EQ( file.Change( path, c.key, c.value, settings ), c.result );
        std::ifstream written( path );
        std::stringstream text;
        text << written.rdbuf();
        EXPECT_EQ( text.str(), c.expected );
        EXPECT_EQ( settings.volume,
                   std::string( c.key ) == "volume" && c.result == SettingsFile::CHANGE_WRITTEN
                       ? std::atoi( c.value )
                       : 80 );
        Settings reread;
        Load( file, path, reread );
        EXPECT_EQ( reread.keyFire, settings.keyFire );
        EXPECT_EQ( reread.health, settings.health );
        EXPECT_EQ( reread.name[0], settings.name[0] );
    }
    // Only settings.ini is left in the folder.
    EXPECT_EQ( std::system( ( "test \"$(ls -A '" + folder + "')\" = settings.ini" ).c_str() ), 0 );
}

// A missing file is made with the defaults and the change; a file that cannot be written
// leaves the value for this run only, and says so; an empty path writes nothing.
TEST_F( SettingsFixture, AChangeWithoutAWritableFileStillAppliesToThisRun ) {
    SettingsFile file;
    Settings settings;
    const std::string fresh = folder + "/new/settings.ini";
    EXPECT_EQ( file.Change( fresh, "wind", "off", settings ), SettingsFile::CHANGE_WRITTEN );
    Settings reread;
    Load( file, fresh, reread );
    EXPECT_EQ( reread.wind, 0 );
    EXPECT_EQ( reread.scale, "smooth" );

    const std::string blocked = folder + "/not-a-folder";
    std::ofstream( blocked ) << "x";
    settings.stock = 3;
    EXPECT_EQ( file.Change( blocked + "/settings.ini", "stock", "0", settings ),
               SettingsFile::CHANGE_NOT_WRITTEN );
    EXPECT_EQ( settings.stock, 0 );
    EXPECT_EQ( file.Change( "", "stock", "99", settings ), SettingsFile::CHANGE_NOT_WRITTEN );
    EXPECT_EQ( settings.stock, 99 );
    EXPECT_EQ( file.Change( "", "stock", "100", settings ), SettingsFile::CHANGE_REFUSED );
    EXPECT_EQ( settings.stock, 99 );
}

// A change is written whole beside the file and renamed over it: a disk that fills at any
// byte of the new file, a FIFO at the file's place or a file too large to be the game's
// leaves the old file exactly as it was and no other file beside it, and the change holds
// for this run only.
TEST_F( SettingsFixture, AChangeThatCannotBeWrittenWholeLeavesTheOldFile ) {
    const std::string small = "# mine\nwind = on\n";
    const int64_t changedSize = int64_t( small.size() ) + 1; // "off" for "on"
    const std::string atLimit =
        "wind = on\n#" + std::string( size_t( SETTINGS_REWRITE_LIMIT ) - 12, 'x' ) + "\n";
    ASSERT_EQ( int64_t( atLimit.size() ), SETTINGS_REWRITE_LIMIT );
    struct Case {
        const char *name;
        std::string text;   // the file before; empty: a FIFO
        int64_t writeLimit; // -1: none
        SettingsFile::ChangeResult result;
    };
    const Case cases[] = {
        { "disk full at once", small, 0, SettingsFile::CHANGE_NOT_WRITTEN },
        { "disk full a byte short", small, changedSize - 1, SettingsFile::CHANGE_NOT_WRITTEN },
        { "disk with just room", small, changedSize, SettingsFile::CHANGE_WRITTEN },
        { "a FIFO", "", -1, SettingsFile::CHANGE_NOT_WRITTEN },
        { "a file at the limit", atLimit, -1, SettingsFile::CHANGE_WRITTEN },
        { "a file past the limit", atLimit + "#", -1, SettingsFile::CHANGE_NOT_WRITTEN },
    };
    for ( const Case &c : cases ) {
        SCOPED_TRACE( c.name );
        const std::string path = folder + "/settings.ini";
        std::remove( path.c_str() );
        if ( c.text.empty() ) {
            ASSERT_EQ( mkfifo( path.c_str(), 0600 ), 0 );
        } else {
            Write( c.text );
        }
        SettingsFile file;
        Settings settings;
        HostSetWriteLimit( c.writeLimit );
        EXPECT_EQ( file.Change( path, "wind", "off", settings ), c.result );
        HostSetWriteLimit( -1 );
        EXPECT_EQ( settings.wind, 0 );
        struct stat status;
        ASSERT_EQ( stat( path.c_str(), &status ), 0 );
        if ( c.text.empty() ) {
            EXPECT_TRUE( S_ISFIFO( status.st_mode ) );
        } else {
            std::ifstream read( path );
            std::stringstream now;
            now << read.rdbuf();
            std::string expected = c.text;
            if ( c.result == SettingsFile::CHANGE_WRITTEN ) {
                expected.replace( expected.find( "wind = on" ), 9, "wind = off" );
            }
            EXPECT_EQ( now.str(), expected );
        }
        EXPECT_EQ( std::system( ( "test \"$(ls -A '" + folder + "')\" = settings.ini" ).c_str() ), 0 );
    }
}

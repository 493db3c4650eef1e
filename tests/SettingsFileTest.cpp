#include "settings/SettingsFile.h"
#include "app/Options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
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
    };
    for ( const Case &c : cases ) {
        const std::string line = std::string( c.key ) + " = " + c.value;
        Settings settings;
        const std::string said = Load( SettingsFile(), Write( line + "\n" ), settings );
        EXPECT_EQ( said.empty(), c.understood == 1 ) << line << ": " << said;
        EXPECT_EQ( FieldOf( settings, c.key ), c.stands ) << line;
    }
}

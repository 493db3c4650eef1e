#include "app/Options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

OptionsResult Parse( std::vector<const char *> arguments, Options &options ) {
    arguments.insert( arguments.begin(), "kelto" );
    FILE *sink = std::tmpfile();
    const OptionsResult result =
        ParseOptions( int( arguments.size() ), arguments.data(), options, sink, sink );
    std::fclose( sink );
    return result;
}

} // namespace

// Each row: the arguments and what the parser must make of them.
TEST( Options, EveryOptionIsReadOrRefusedAsAWhole ) {
    struct Case {
        std::vector<const char *> arguments;
        OptionsResult result;
    };
    const Case cases[] = {
        { {}, OPTIONS_RUN },
        { { "--help" }, OPTIONS_EXIT_OK },
        { { "--windowed", "--version" }, OPTIONS_EXIT_OK },
        { { "--bogus" }, OPTIONS_INVALID },
        { { "windowed" }, OPTIONS_INVALID },
        { { "--health" }, OPTIONS_INVALID },
        { { "--health", "0" }, OPTIONS_INVALID },
        { { "--health", "1" }, OPTIONS_RUN },
        { { "--health", "999" }, OPTIONS_RUN },
        { { "--health", "1000" }, OPTIONS_INVALID },
        { { "--health", "7x" }, OPTIONS_INVALID },
        { { "--health", "99999999999999" }, OPTIONS_INVALID },
        { { "--hits", "3" }, OPTIONS_INVALID },
        { { "--players", "5" }, OPTIONS_INVALID },
        { { "--scale", "" }, OPTIONS_INVALID },
        { { "--scale", "fi" }, OPTIONS_INVALID },
        { { "--level", "hard normal" }, OPTIONS_INVALID },
        // Each number's exact limits, one inside and one outside.
        { { "--health", "0" }, OPTIONS_INVALID },
        { { "--health", "1" }, OPTIONS_RUN },
        { { "--health", "999" }, OPTIONS_RUN },
        { { "--health", "1000" }, OPTIONS_INVALID },
        { { "--players", "0" }, OPTIONS_RUN },
        { { "--players", "4" }, OPTIONS_RUN },
        { { "--players", "-1" }, OPTIONS_INVALID },
        { { "--players", "" }, OPTIONS_INVALID },
        { { "--players", "2 " }, OPTIONS_INVALID },
        { { "--level", "easy" }, OPTIONS_RUN },
        { { "--scale", "smooth" }, OPTIONS_RUN },
        // One recording file at a time, in any pair.
        { { "--record", "a.krec" }, OPTIONS_RUN },
        { { "--record", "a.krec", "--replay", "b.krec" }, OPTIONS_INVALID },
        { { "--replay", "a.krec", "--timedemo", "b.krec" }, OPTIONS_INVALID },
        { { "--timedemo", "a.krec", "--record", "b.krec" }, OPTIONS_INVALID },
        { { "--wind" }, OPTIONS_INVALID },
        { { "--wind", "" }, OPTIONS_INVALID },
        { { "--wind", "o" }, OPTIONS_INVALID },
        { { "--wind", "onn" }, OPTIONS_INVALID },
        { { "--wind", "off" }, OPTIONS_RUN },
        // A relay's address in either scheme, and nothing else.
        { { "--join", "ws://h:1/ABCDEF" }, OPTIONS_RUN },
        { { "--join", "wss://h/ABCDEF" }, OPTIONS_RUN },
        { { "--watch", "wss://h:443/ABCDEF" }, OPTIONS_RUN },
        { { "--relay", "wss://h" }, OPTIONS_RUN },
        { { "--relay", "ws:/h:1" }, OPTIONS_INVALID },
        { { "--join", "wsx://h/ABCDEF" }, OPTIONS_INVALID },
        { { "--watch", "https://h/ABCDEF" }, OPTIONS_INVALID },
    };
    for ( const Case &test : cases ) {
        Options options;
        EXPECT_EQ( Parse( test.arguments, options ), test.result )
            << ( test.arguments.empty() ? "" : test.arguments[0] ) << " "
            << ( test.arguments.size() > 1 ? test.arguments[1] : "" );
    }
}

TEST( Options, ValuesLandInTheirFieldsAndTheRestStayNotGiven ) {
    Options options;
    ASSERT_EQ( Parse( { "--health", "3", "--scale", "integer", "--players", "0", "--level", "easy",
                        "--record", "a.krec", "--classic" },
                      options ),
               OPTIONS_RUN );
    EXPECT_EQ( options.health, 3 );
    EXPECT_EQ( options.scale, "integer" );
    EXPECT_EQ( options.players, 0 );
    EXPECT_EQ( options.level, "easy" );
    EXPECT_EQ( options.record, "a.krec" );
    EXPECT_EQ( options.classic, 1 );
    EXPECT_EQ( options.windowed, -1 );
    EXPECT_EQ( options.mute, -1 );
    EXPECT_EQ( options.wind, -1 );
    EXPECT_TRUE( options.data.empty() );

    // The wind both ways, laid over the settings; not given leaves the settings' own.
    const struct {
        const char *value;
        int settingBefore;
        int wind;
    } winds[] = { { "on", 0, 1 }, { "off", 1, 0 }, { nullptr, 0, 0 }, { nullptr, 1, 1 } };
    for ( const auto &w : winds ) {
        Options given;
        if ( w.value != nullptr ) {
            ASSERT_EQ( Parse( { "--wind", w.value }, given ), OPTIONS_RUN );
        }
        Settings settings;
        settings.wind = w.settingBefore;
        ApplyOptions( given, settings );
        EXPECT_EQ( settings.wind, w.wind ) << ( w.value != nullptr ? w.value : "not given" );
    }
}

// A land is a code or a .bmp picture; anything else is refused with one line naming it, and
// without the usage around it.
TEST( Options, LandsAreCodesOrPicturesAndTheRestIsRefusedInOneLine ) {
    const struct {
        std::vector<const char *> arguments;
        OptionsResult result;
        const char *line; // the whole error output of a refusal
    } cases[] = {
        { { "--land", "HILLS-GREEN-3F9A21C0" }, OPTIONS_RUN, "" },
        { { "--land", "islands-snow-0000abcd" }, OPTIONS_RUN, "" },
        { { "--land", "my land.BMP" }, OPTIONS_RUN, "" },
        { { "--land", "a.bmp", "--background", "b.Bmp" }, OPTIONS_RUN, "" },
        { { "--land", ".bmp" },
          OPTIONS_INVALID,
          "kelto: --land: '.bmp' is neither a land code like HILLS-GREEN-3F9A21C0 nor a .bmp picture\n" },
        { { "--land", "HILLS-3F9A21C0" },
          OPTIONS_INVALID,
          "kelto: --land: 'HILLS-3F9A21C0' is neither a land code like HILLS-GREEN-3F9A21C0 nor a .bmp "
          "picture\n" },
        { { "--land", "HILLS-GREEN-3F9A21C" },
          OPTIONS_INVALID,
          "kelto: --land: 'HILLS-GREEN-3F9A21C' is neither a land code like HILLS-GREEN-3F9A21C0 nor a .bmp "
          "picture\n" },
        { { "--land", "land.png" },
          OPTIONS_INVALID,
          "kelto: --land: 'land.png' is neither a land code like HILLS-GREEN-3F9A21C0 nor a .bmp picture\n" },
        { { "--land", "a.bmp", "--background", "b.png" },
          OPTIONS_INVALID,
          "kelto: --background: 'b.png' is not a .bmp picture\n" },
        { { "--background", "b.bmp" },
          OPTIONS_INVALID,
          "kelto: --background: 'b.bmp' goes with a land picture of your own (--land FILE.bmp)\n" },
        { { "--land", "CAVERN-DESERT-00000001", "--background", "b.bmp" },
          OPTIONS_INVALID,
          "kelto: --background: 'b.bmp' goes with a land picture of your own (--land FILE.bmp)\n" },
    };
    for ( const auto &c : cases ) {
        std::vector<const char *> arguments = c.arguments;
        arguments.insert( arguments.begin(), "kelto" );
        FILE *err = std::tmpfile();
        FILE *out = std::tmpfile();
        Options options;
        EXPECT_EQ( ParseOptions( int( arguments.size() ), arguments.data(), options, out, err ), c.result )
            << c.arguments[1];
        std::rewind( err );
        char text[512] = {};
        const size_t length = std::fread( text, 1, sizeof( text ) - 1, err );
        EXPECT_EQ( std::string( text, length ), c.line );
        std::fclose( err );
        std::fclose( out );
        if ( c.result == OPTIONS_RUN ) {
            EXPECT_EQ( options.land, c.arguments[1] );
        }
    }
}

#include "app/Options.h"

#include <gtest/gtest.h>

#include <cstdio>
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
        { { "--hits" }, OPTIONS_INVALID },
        { { "--hits", "0" }, OPTIONS_INVALID },
        { { "--hits", "7x" }, OPTIONS_INVALID },
        { { "--hits", "99999999999999" }, OPTIONS_INVALID },
        { { "--players", "5" }, OPTIONS_INVALID },
        { { "--scale", "" }, OPTIONS_INVALID },
        { { "--scale", "fi" }, OPTIONS_INVALID },
        { { "--level", "hard normal" }, OPTIONS_INVALID },
        { { "--wind" }, OPTIONS_INVALID },
        { { "--wind", "" }, OPTIONS_INVALID },
        { { "--wind", "o" }, OPTIONS_INVALID },
        { { "--wind", "onn" }, OPTIONS_INVALID },
        { { "--wind", "off" }, OPTIONS_RUN },
    };
    for ( const Case &test : cases ) {
        Options options;
        EXPECT_EQ( Parse( test.arguments, options ), test.result )
            << ( test.arguments.empty() ? "" : test.arguments[0] );
    }
}

TEST( Options, ValuesLandInTheirFieldsAndTheRestStayNotGiven ) {
    Options options;
    ASSERT_EQ( Parse( { "--hits", "3", "--scale", "integer", "--players", "0", "--level", "easy", "--record",
                        "a.krec", "--classic" },
                      options ),
               OPTIONS_RUN );
    EXPECT_EQ( options.hits, 3 );
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

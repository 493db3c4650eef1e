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
        // Each number's exact limits, one inside and one outside.
        { { "--hits", "1" }, OPTIONS_RUN },
        { { "--hits", "99" }, OPTIONS_RUN },
        { { "--hits", "100" }, OPTIONS_INVALID },
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
    EXPECT_TRUE( options.data.empty() );
}

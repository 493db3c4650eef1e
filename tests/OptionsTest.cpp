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
    };
    for ( const Case &test : cases ) {
        Options options;
        EXPECT_EQ( Parse( test.arguments, options ), test.result )
            << ( test.arguments.empty() ? "" : test.arguments[0] );
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
    EXPECT_TRUE( options.data.empty() );
}

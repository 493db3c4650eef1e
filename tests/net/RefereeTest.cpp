// The referee of an online match: kelto_headless --referee plays the recording that arrives on
// its standard input and prints the state's checksum after every 60 frames. Fed the golden
// game whole, in slices, with a recorded checksum changed, cut short or not a recording at all,
// it prints exactly the true checksums of the blocks it could play, and ends as it should.

#include "SourcePaths.h"
#include "replay/ReplayFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string ASSETS = KELTO_ASSETS_DIR;
const std::string GOLDEN = ASSETS + "/../tests/replays/golden.krec";
// A made land and the default game's wind, two matches: the land is made again for the second.
const std::string MADE_LAND = ASSETS + "/../tests/replays/land.krec";

struct RefereeRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string ReadAll( int fd ) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ( ( got = read( fd, buffer, sizeof( buffer ) ) ) > 0 ) {
        text.append( buffer, size_t( got ) );
    }
    return text;
}

// The referee in the pictures' folder, given `bytes` `slice` bytes at a time.
RefereeRun Referee( const std::vector<uint8_t> &bytes, size_t slice ) {
    int in[2], out[2], err[2];
    EXPECT_EQ( 0, pipe( in ) );
    EXPECT_EQ( 0, pipe( out ) );
    EXPECT_EQ( 0, pipe( err ) );
    const pid_t pid = fork();
    if ( pid == 0 ) {
        dup2( in[0], 0 );
        dup2( out[1], 1 );
        dup2( err[1], 2 );
        for ( int fd : { in[0], in[1], out[0], out[1], err[0], err[1] } ) {
            close( fd );
        }
        if ( chdir( ASSETS.c_str() ) != 0 ) {
            _exit( 126 );
        }
        execl( KELTO_HEADLESS_PROGRAM, KELTO_HEADLESS_PROGRAM, "--referee", (char *)nullptr );
        _exit( 127 );
    }
    close( in[0] );
    close( out[1] );
    close( err[1] );
    // What the referee prints is small beside a pipe's buffer, so it is read once all is given.
    for ( size_t at = 0; at < bytes.size(); at += slice ) {
        const size_t part = std::min( slice, bytes.size() - at );
        if ( write( in[1], bytes.data() + at, part ) != ssize_t( part ) ) {
            break; // the referee stopped reading: what it said tells why
        }
        if ( slice < bytes.size() ) {
            usleep( 200 );
        }
    }
    close( in[1] );
    RefereeRun run;
    run.out = ReadAll( out[0] );
    run.err = ReadAll( err[0] );
    close( out[0] );
    close( err[0] );
    int status = 0;
    waitpid( pid, &status, 0 );
    run.exitCode = WIFEXITED( status ) ? WEXITSTATUS( status ) : -1;
    return run;
}

std::vector<uint8_t> Golden( const std::string &path = GOLDEN ) {
    std::ifstream file( path, std::ios::binary );
    return std::vector<uint8_t>( std::istreambuf_iterator<char>( file ), std::istreambuf_iterator<char>() );
}

// The byte just after each block of keys, in order: where a stream may end between records.
// `firstKeys` is where the first block starts.
std::vector<size_t> BlockEnds( const std::vector<uint8_t> &bytes, size_t *firstKeys = nullptr ) {
    size_t at = 8 + 2;
    at += 1 + bytes[at];
    at += 4 * REPLAY_PICTURE_COUNT;
    at += 1 + 4 * size_t( bytes[at] );
    std::vector<size_t> ends;
    while ( at < bytes.size() ) {
        const uint8_t tag = bytes[at];
        if ( tag == REPLAY_TAG_MATCH ) {
            at += 21;
        } else if ( tag == REPLAY_TAG_WIND ) {
            at += 9;
        } else if ( tag == REPLAY_TAG_KEYS ) {
            if ( firstKeys != nullptr && ends.empty() ) {
                *firstKeys = at;
            }
            at += 11 + 3 * size_t( bytes[at + 6] );
            ends.push_back( at );
        } else {
            at += 5; // the end
        }
    }
    return ends;
}

// "FRAME CHECKSUM" lines for a recorded game's first `blocks` blocks, as the game that drew
// every frame recorded them.
std::string TrueChecksums( size_t blocks, const std::string &path = GOLDEN ) {
    ReplayFile golden;
    EXPECT_TRUE( golden.Load( path.c_str() ) ) << golden.GetError();
    std::string lines;
    for ( size_t i = 0; i < blocks && i < golden.GetBlocks().size(); i++ ) {
        const ReplayBlock &block = golden.GetBlocks()[i];
        char line[32];
        std::snprintf( line, sizeof( line ), "%d %08x\n", block.firstFrame + block.frames,
                       unsigned( block.checksum ) );
        lines += line;
    }
    return lines;
}

// The referee's "FRAME turn TANK" lines (whose tank's turn each frame plays, said when it
// changes) taken out of what it printed, leaving the checksums.
std::string TakeTurns( std::string &printed ) {
    std::string turns;
    std::string checksums;
    size_t at = 0;
    size_t end;
    while ( ( end = printed.find( '\n', at ) ) != std::string::npos ) {
        const std::string line = printed.substr( at, end + 1 - at );
        ( line.find( " turn " ) != std::string::npos ? turns : checksums ) += line;
        at = end + 1;
    }
    printed = checksums + printed.substr( at );
    return turns;
}

TEST( Referee, PrintsTheTrueChecksumOfEveryBlockItCouldPlay ) {
    const std::vector<uint8_t> golden = Golden();
    size_t firstKeys = 0;
    const std::vector<size_t> ends = BlockEnds( golden, &firstKeys );
    ASSERT_EQ( 120u, ends.size() ); // two minutes of play
    std::vector<uint8_t> changed = golden;
    changed[ends[9] - 1] ^= 0x5A; // the tenth block's recorded checksum
    std::vector<uint8_t> stranger = golden;
    stranger[0] = 'X';
    const size_t all = ends.size();
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        size_t slice;
        int exitCode;
        size_t blocks;
        const char *error;
    } cases[] = {
        { "whole", golden, golden.size(), 0, all, "" },
        { "seven bytes at a time", golden, 7, 0, all, "" },
        { "a byte at a time up to the third block",
          std::vector<uint8_t>( golden.begin(), golden.begin() + long( ends[2] ) ), 1, 0, 3, "" },
        { "a recorded checksum changed", changed, golden.size(), 0, all, "" },
        { "ended right after block 31",
          std::vector<uint8_t>( golden.begin(), golden.begin() + long( ends[30] ) ), 64, 0, 31, "" },
        { "cut one byte into block 32",
          std::vector<uint8_t>( golden.begin(), golden.begin() + long( ends[30] + 1 ) ), 64, 1, 31,
          "truncated" },
        { "cut one byte short of block 32's end",
          std::vector<uint8_t>( golden.begin(), golden.begin() + long( ends[31] - 1 ) ), 64, 1, 31,
          "truncated" },
        { "the header and the first match, no keys",
          std::vector<uint8_t>( golden.begin(), golden.begin() + long( firstKeys ) ), 64, 0, 0, "" },
        { "another program's file", stranger, golden.size(), 1, 0, "not a Kelto recording" },
        { "nothing", {}, 1, 1, 0, "not a Kelto recording" },
    };
    // The whole game's turns: the first tank's from frame 0, the others' in the order they
    // play; any other case says the same turns as far as it played.
    RefereeRun whole = Referee( golden, golden.size() );
    const std::string wholeTurns = TakeTurns( whole.out );
    EXPECT_EQ( 0u, wholeTurns.find( "0 turn 0\n389 turn 1\n699 turn 2\n" ) ) << wholeTurns;
    for ( const Case &c : cases ) {
        RefereeRun run = Referee( c.bytes, c.slice );
        const std::string turns = TakeTurns( run.out );
        EXPECT_EQ( 0u, wholeTurns.find( turns ) ) << c.what << ": " << turns;
        EXPECT_EQ( c.exitCode, run.exitCode ) << c.what << ": " << run.err;
        EXPECT_EQ( TrueChecksums( c.blocks ), run.out ) << c.what;
        EXPECT_NE( std::string::npos, run.err.find( c.error ) ) << c.what << ": " << run.err;
    }
}

} // namespace

// The referee draws nothing, yet plays every game as the game that drew each frame recorded
// it: a made land with wind through two matches (the land made again for the second), and the
// designed game, recorded here (its tanks fall onto the land and settle, no key pressed).
TEST( Referee, PlaysEveryKindOfGameAsTheDrawingGameRecordedIt ) {
    const std::string classic = ::testing::TempDir() + "classic.krec";
    const std::string record = "cd '" + ASSETS +
                               "' && '" KELTO_HEADLESS_PROGRAM "' --frames 1500 --classic --record '" +
                               classic + "' > /dev/null";
    ASSERT_EQ( 0, std::system( record.c_str() ) );
    struct Case {
        std::string path;
        size_t blocks;
    } cases[] = { { MADE_LAND, 60 }, { classic, 25 } };
    for ( const Case &c : cases ) {
        const std::vector<uint8_t> bytes = Golden( c.path );
        ASSERT_EQ( c.blocks, BlockEnds( bytes ).size() ) << c.path;
        RefereeRun run = Referee( bytes, bytes.size() );
        TakeTurns( run.out );
        EXPECT_EQ( 0, run.exitCode ) << c.path << ": " << run.err;
        EXPECT_EQ( TrueChecksums( c.blocks, c.path ), run.out ) << c.path;
    }
}

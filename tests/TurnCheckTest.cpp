// A refereed room's turns held against the referee's game: which seat may send each frame's
// keys, at the edges of the input delay, in won matches and for seats the host took over.

#include "net/TurnCheck.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct StreamTurn {
    uint32_t frame;
    int seat;
    int sender;
    int takesOver;
};

struct GameTurn {
    uint32_t frame;
    int tank;
};

// Tank 0's turn, then 1's at 100, 2's at 200 and 3's at 300; with two seats tanks 2 and 3 are
// the host's.
const std::vector<GameTurn> ROUND = { { 0, 0 }, { 100, 1 }, { 200, 2 }, { 300, 3 } };
// Tank 0's turn, the match won at 100 (no tank's turn), the next match's first turn at 200.
const std::vector<GameTurn> WON = { { 0, 0 }, { 100, -1 }, { 200, 0 } };
// Tank 0, 1, 0 again and 1 again: a room of two without the computer's tanks in between.
const std::vector<GameTurn> BACK_AND_FORTH = { { 0, 0 }, { 100, 1 }, { 200, 0 }, { 300, 1 } };

TEST( TurnCheck, EveryFramesKeysComeFromASeatThatMayPlayItsTurn ) {
    const struct {
        const char *what;
        int seats;
        std::vector<GameTurn> game;
        std::vector<StreamTurn> stream;
        uint32_t played;
        int64_t failedFrame; // -1: all agree
        int failedSeat;
        int passedTo;
    } cases[] = {
        { "passed at each change", 2, ROUND, { { 100, 1, 0, 0 }, { 200, 0, 1, 0 } }, 400, -1, 0, 0 },
        { "passed a whole input delay late",
          2,
          ROUND,
          { { 106, 1, 0, 0 }, { 206, 0, 1, 0 } },
          400,
          -1,
          0,
          0 },
        { "kept one frame past the delay", 2, ROUND, { { 107, 1, 0, 0 } }, 400, 106, 0, -1 },
        { "kept, but not yet played past", 2, ROUND, { { 107, 1, 0, 0 } }, 106, -1, 0, 0 },
        { "kept, the first frame played past", 2, ROUND, { { 107, 1, 0, 0 } }, 107, 106, 0, -1 },
        { "passed one frame early", 2, ROUND, { { 99, 1, 0, 0 } }, 400, 99, 0, 1 },
        { "a false turn undone at once",
          2,
          ROUND,
          { { 100, 1, 0, 0 }, { 150, 0, 1, 0 }, { 150, 1, 0, 0 }, { 200, 0, 1, 0 } },
          400,
          150,
          1,
          0 },
        { "a false turn within the delay after a change passes",
          2,
          ROUND,
          { { 100, 1, 0, 0 }, { 105, 0, 1, 0 }, { 105, 1, 0, 0 }, { 200, 0, 1, 0 } },
          400,
          -1,
          0,
          0 },
        { "a false turn one frame later is caught",
          2,
          ROUND,
          { { 100, 1, 0, 0 }, { 106, 0, 1, 0 }, { 106, 1, 0, 0 }, { 200, 0, 1, 0 } },
          400,
          106,
          1,
          0 },
        { "with three seats tank 2 is seat 2's",
          3,
          ROUND,
          { { 100, 1, 0, 0 }, { 200, 0, 1, 0 } },
          400,
          200,
          1,
          0 },
        { "a won match is whoever's holds it",
          2,
          WON,
          { { 150, 1, 0, 0 }, { 206, 0, 1, 0 } },
          300,
          -1,
          0,
          0 },
        { "the next match's first turn kept too long", 2, WON, { { 150, 1, 0, 0 } }, 300, 206, 1, -1 },
        { "the host takes an empty seat's turn and keeps its tank",
          2,
          BACK_AND_FORTH,
          { { 100, 1, 0, 0 }, { 150, 0, 0, 1 } },
          400,
          -1,
          0,
          0 },
        { "the turn passed to the empty seat and taken again",
          2,
          BACK_AND_FORTH,
          { { 100, 1, 0, 0 }, { 150, 0, 0, 1 }, { 300, 1, 0, 0 }, { 300, 0, 0, 1 } },
          400,
          -1,
          0,
          0 },
        { "a seat given back is its own again",
          2,
          BACK_AND_FORTH,
          { { 100, 1, 0, 0 }, { 150, 0, 0, 1 }, { 160, 1, 0, 0 }, { 170, 0, 1, 0 } },
          400,
          170,
          1,
          0 },
        { "no turn said by the game yet", 2, {}, { { 50, 1, 0, 0 } }, 400, -1, 0, 0 },
    };
    for ( const auto &c : cases ) {
        TurnCheck check;
        check.Start( c.seats );
        for ( const StreamTurn &turn : c.stream ) {
            check.StreamTurn( turn.frame, turn.seat, turn.sender, turn.takesOver );
        }
        for ( const GameTurn &turn : c.game ) {
            check.GameTurn( turn.frame, turn.tank );
        }
        // The referee's checksums come a second at a time; the last says how far it played.
        int agreed = 1;
        for ( uint32_t played = 60; agreed && played < c.played; played += 60 ) {
            agreed = check.Check( played );
        }
        agreed = agreed && check.Check( c.played );
        EXPECT_EQ( c.failedFrame < 0, agreed ) << c.what;
        if ( c.failedFrame >= 0 && !agreed ) {
            EXPECT_EQ( uint32_t( c.failedFrame ), check.GetFailedFrame() ) << c.what;
            EXPECT_EQ( c.failedSeat, check.GetFailedSeat() ) << c.what;
            EXPECT_EQ( c.passedTo, check.GetFailedPassedTo() ) << c.what;
        }
        // Once failed, it stays failed: the room has stopped.
        if ( !agreed ) {
            EXPECT_FALSE( check.Check( c.played + 60 ) ) << c.what;
        }
    }
}

} // namespace

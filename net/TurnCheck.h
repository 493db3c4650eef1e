#ifndef KELTO_NET_TURNCHECK_H
#define KELTO_NET_TURNCHECK_H

// A refereed room's turns held against its referee's game. The stream says, by its `T`
// messages, which seat sends each frame's keys; the referee's game says whose tank's turn each
// frame plays. Every frame's keys, and every turn passed, must come from a seat that may play
// the tank whose turn the game played then or up to the input delay before (the game holding
// the stream passes it on once it has played into the new turn, its keys for the frames
// between already sent), or at a frame when no tank had the turn (a won match belongs to
// whoever holds the stream). A seat that passes the turn to the wrong seat, or keeps it past
// its own tank's turn, is caught at the first frame the referee has played past.

#include <cstdint>
#include <deque>

class TurnCheck {
public:
    TurnCheck();
    virtual ~TurnCheck();

    // A room of `seats` seats; the stream starts with seat 0's turn at frame 0.
    void Start( int seats );
    // The room took a turn at `frame` to `seat`, sent by seat `sender`. `takesOver`: the host's
    // game took the turn of the empty seat that held the stream, whose tank it plays from now
    // on, until a turn is passed to that seat again.
    void StreamTurn( uint32_t frame, int seat, int sender, int takesOver );
    // The referee's game: from `frame` on the turn is `tank`'s (-1: no tank's).
    void GameTurn( uint32_t frame, int tank );
    // The referee's game has played `played` frames: checks those not checked yet. 1 while
    // every one agrees; 0 from the first that does not on, with GetFailed* saying where.
    int Check( uint32_t played );

    uint32_t GetFailedFrame() const { return failedFrame; }
    int GetFailedSeat() const { return failedSeat; }
    int GetFailedTank() const { return failedTank; }
    // The seat a false turn was passed to, or -1 when the failed seat held the stream.
    int GetFailedPassedTo() const { return failedPassedTo; }

private:
    struct StreamEvent {
        uint32_t frame;
        int seat;
        int sender;
        int takesOver; // the seat taken over, or -1
    };
    struct GameEvent {
        uint32_t frame;
        int tank;
    };

    int TankAt( uint32_t frame ) const;
    int MayPlay( int seat, int tank ) const;
    int Allowed( uint32_t frame, int seat ) const;
    int Fail( uint32_t frame, int seat, int passedTo );
    void Forget( uint32_t frame );

    int seats;
    int holder;        // the seat that holds the stream at its end, whose turn a take-over takes
    int checkedHolder; // the seat that held it at the last frame checked
    int takenOver[4];  // at the last frame checked
    uint32_t checked;  // frames checked so far
    std::deque<StreamEvent> streamEvents;
    std::deque<GameEvent> gameEvents;
    int failed;
    uint32_t failedFrame;
    int failedSeat;
    int failedTank;
    int failedPassedTo;
};

#endif

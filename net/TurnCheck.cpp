#include "net/TurnCheck.h"

#include "net/NetSession.h"

TurnCheck::TurnCheck()
    : seats( 0 ), holder( 0 ), checkedHolder( 0 ), takenOver{}, checked( 0 ), failed( 0 ), failedFrame( 0 ),
      failedSeat( 0 ), failedTank( -1 ), failedPassedTo( -1 ) {
}

TurnCheck::~TurnCheck() {
}

void TurnCheck::Start( int seatCount ) {
    *this = TurnCheck();
    seats = seatCount;
}

void TurnCheck::StreamTurn( uint32_t frame, int seat, int sender, int takesOver ) {
    streamEvents.push_back( StreamEvent{ frame, seat, sender, takesOver ? holder : -1 } );
    holder = seat;
}

void TurnCheck::GameTurn( uint32_t frame, int tank ) {
    gameEvents.push_back( GameEvent{ frame, tank } );
}

// The tank whose turn `frame` played; -1 for none, or before the referee said.
int TurnCheck::TankAt( uint32_t frame ) const {
    int tank = -1;
    for ( const GameEvent &event : gameEvents ) {
        if ( event.frame > frame ) {
            break;
        }
        tank = event.tank;
    }
    return tank;
}

// Tank N is seat N's while the room has a seat N, the host's (seat 0) beyond; a tank whose
// seat the host took over is the host's too.
int TurnCheck::MayPlay( int seat, int tank ) const {
    const int owner = tank < seats ? tank : 0;
    return seat == owner || ( seat == 0 && tank >= 0 && tank < 4 && takenOver[tank] );
}

int TurnCheck::Allowed( uint32_t frame, int seat ) const {
    const uint32_t first = frame > uint32_t( NetSession::INPUT_DELAY ) ? frame - NetSession::INPUT_DELAY : 0;
    for ( uint32_t at = first; at <= frame; at++ ) {
        const int tank = TankAt( at );
        if ( tank < 0 || MayPlay( seat, tank ) ) {
            return 1;
        }
    }
    return 0;
}

int TurnCheck::Fail( uint32_t frame, int seat, int passedTo ) {
    failed = 1;
    failedPassedTo = passedTo;
    failedFrame = frame;
    failedSeat = seat;
    failedTank = TankAt( frame );
    return 0;
}

// What no later frame's check needs: the game's turns before the oldest frame a window reaches.
void TurnCheck::Forget( uint32_t frame ) {
    const uint32_t first = frame > uint32_t( NetSession::INPUT_DELAY ) ? frame - NetSession::INPUT_DELAY : 0;
    while ( gameEvents.size() > 1 && gameEvents[1].frame <= first ) {
        gameEvents.pop_front();
    }
}

int TurnCheck::Check( uint32_t played ) {
    if ( failed ) {
        return 0;
    }
    for ( ; checked < played; checked++ ) {
        int passed = 0;
        while ( !streamEvents.empty() && streamEvents.front().frame <= checked ) {
            const StreamEvent event = streamEvents.front();
            streamEvents.pop_front();
            if ( event.takesOver >= 0 && event.takesOver < 4 ) {
                takenOver[event.takesOver] = 1;
            } else if ( event.seat >= 0 && event.seat < 4 ) {
                takenOver[event.seat] = 0;
            }
            checkedHolder = event.seat;
            passed = 1;
            // Each turn passed names a seat that may play now, whoever held the stream before.
            if ( !Allowed( checked, event.seat ) ) {
                return Fail( checked, event.sender, event.seat );
            }
        }
        // The keys of a frame with no turn passed come from the seat that holds the stream.
        if ( !passed && !Allowed( checked, checkedHolder ) ) {
            return Fail( checked, checkedHolder, -1 );
        }
        Forget( checked );
    }
    return 1;
}

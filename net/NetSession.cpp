#include "net/NetSession.h"

#include <algorithm>

NetSession::NetSession()
    : seat( -1 ), seats( 0 ), seated{}, started( 0 ), columns{}, streamSeat( 0 ), streamSeatFrom( 0 ),
      unsent( 0 ), outOfSync( 0 ), outOfSyncFrame( 0 ), outOfSyncSeat( NET_NO_SEAT ) {
}

NetSession::~NetSession() {
}

int NetSession::Fail( const std::string &reason ) {
    error = reason;
    return 0;
}

int NetSession::Receive( const NetMessage &message ) {
    switch ( message.type ) {
    case NET_WELCOME:
        seat = message.seat;
        seats = message.seats;
        code = message.code;
        if ( seat >= 0 && seat < NET_MAX_SEATS ) {
            seated[seat] = 1;
        }
        return 1;
    case NET_PLAYER:
        if ( message.seat >= 0 && message.seat < NET_MAX_SEATS ) {
            seated[message.seat] = 1;
            names[message.seat] = message.name;
        }
        return 1;
    case NET_LEAVE:
        if ( message.seat >= 0 && message.seat < NET_MAX_SEATS ) {
            seated[message.seat] = 0;
        }
        return 1;
    case NET_MATCH_START:
        started = 1;
        for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
            columns[i] = message.columns[i];
        }
        return 1;
    case NET_KEYS:
        return ReceiveKeys( message );
    case NET_TURN:
        if ( message.frame != stream.size() ) {
            return Fail( "the relay passed the turn at frame " + std::to_string( message.frame ) +
                         ", not at " + std::to_string( stream.size() ) );
        }
        streamSeat = message.seat;
        streamSeatFrom = message.frame;
        return 1;
    case NET_WIND:
        // Every game draws the same winds itself; the stream's are for the relay's referee.
        return 1;
    case NET_OUT_OF_SYNC:
        outOfSync = 1;
        outOfSyncFrame = message.frame;
        outOfSyncSeat = message.seat;
        return 1;
    case NET_ERROR:
        return Fail( "the relay ended the match: " + message.reason );
    default:
        return Fail( std::string( "the relay sent a message of type " ) + char( message.type ) );
    }
}

// Keys come only from the stream's seat and only for its next frame; anything else would
// play a different match here than everywhere else.
int NetSession::ReceiveKeys( const NetMessage &message ) {
    if ( message.frame != stream.size() ) {
        return Fail( "keys for frame " + std::to_string( message.frame ) + " when the match is at frame " +
                     std::to_string( stream.size() ) );
    }
    for ( const ReplayRun &run : message.runs ) {
        stream.insert( stream.end(), size_t( run.length ), run.keys );
    }
    unsent = stream.size();
    return 1;
}

void NetSession::StartMatchAt( uint32_t frame, const uint32_t matchColumns[TANK_PLACEMENT_COUNT] ) {
    // The keys of the match's frame go first: the relay takes a match start only for a frame
    // it holds.
    FlushKeys();
    NetMessage message;
    message.type = NET_MATCH_START;
    message.frame = frame;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        columns[i] = matchColumns[i];
        message.columns[i] = matchColumns[i];
    }
    started = 1;
    outbox.push_back( message );
}

void NetSession::SendWind( uint32_t frame, int steps ) {
    // The keys of the wind's frame go first: the relay takes winds only for frames it holds.
    FlushKeys();
    NetMessage message;
    message.type = NET_WIND;
    message.frame = frame;
    message.windSteps = steps;
    outbox.push_back( message );
}

int NetSession::Wants( uint32_t frame, int delay ) const {
    return started && !outOfSync && streamSeat == seat && frame >= streamSeatFrom &&
           stream.size() == size_t( frame ) + size_t( delay );
}

void NetSession::Produce( uint32_t frame, int turnSeat, uint16_t keys, int delay ) {
    // A game still behind the frame the stream came to us at has not seen our turn start.
    if ( !started || outOfSync || streamSeat != seat || frame < streamSeatFrom ) {
        return;
    }
    if ( turnSeat != seat ) {
        FlushKeys();
        NetMessage message;
        message.type = NET_TURN;
        message.frame = uint32_t( stream.size() );
        message.seat = turnSeat;
        outbox.push_back( message );
        streamSeat = turnSeat;
        streamSeatFrom = message.frame;
        return;
    }
    const size_t target = size_t( frame ) + size_t( delay < 0 ? 0 : delay );
    if ( stream.size() < target ) {
        stream.resize( target, 0 );
    }
    if ( stream.size() == target ) {
        stream.push_back( keys );
    }
}

int NetSession::TakeEmptySeatsTurn() {
    if ( seat != 0 || !started || outOfSync || streamSeat == seat || IsSeated( streamSeat ) ) {
        return 0;
    }
    FlushKeys();
    NetMessage message;
    message.type = NET_TURN;
    message.frame = uint32_t( stream.size() );
    message.seat = seat;
    outbox.push_back( message );
    streamSeat = seat;
    streamSeatFrom = message.frame;
    return 1;
}

int NetSession::KeysOf( uint32_t frame, uint16_t &keys ) const {
    if ( frame >= stream.size() ) {
        return 0;
    }
    keys = stream[frame];
    return 1;
}

void NetSession::Played( uint32_t frame, uint32_t checksum ) {
    if ( !WantsChecksum( frame ) || seat < 0 || seat >= NET_MAX_SEATS ) {
        return;
    }
    FlushKeys();
    NetMessage message;
    message.type = NET_CHECKSUM;
    message.frame = frame + 1;
    message.checksum = checksum;
    outbox.push_back( message );
}

void NetSession::FlushKeys() {
    while ( unsent < stream.size() ) {
        NetMessage message;
        message.type = NET_KEYS;
        message.frame = uint32_t( unsent );
        const size_t end = std::min( stream.size(), unsent + size_t( REPLAY_BLOCK_FRAMES ) );
        message.frames = int( end - unsent );
        for ( size_t frame = unsent; frame < end; frame++ ) {
            if ( message.runs.empty() || message.runs.back().keys != stream[frame] ) {
                message.runs.push_back( ReplayRun{ stream[frame], 0 } );
            }
            message.runs.back().length++;
        }
        outbox.push_back( message );
        unsent = end;
    }
}

std::vector<NetMessage> NetSession::TakeOutbox() {
    FlushKeys();
    std::vector<NetMessage> taken;
    taken.swap( outbox );
    return taken;
}

int NetSession::IsRoomFull() const {
    if ( seats < NET_MIN_SEATS ) {
        return 0;
    }
    for ( int which = 0; which < seats; which++ ) {
        if ( !seated[which] ) {
            return 0;
        }
    }
    return 1;
}

int NetSession::GetWaitingFor() const {
    if ( !started ) {
        for ( int which = 0; which < seats; which++ ) {
            if ( !seated[which] ) {
                return which;
            }
        }
        return 0;
    }
    return streamSeat;
}

std::string NetSession::GetName( int which ) const {
    if ( which >= 0 && which < NET_MAX_SEATS && !names[which].empty() ) {
        return names[which];
    }
    return "PLAYER " + std::to_string( which + 1 );
}

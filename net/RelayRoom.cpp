#include "net/RelayRoom.h"

#include <cstdarg>
#include <cstdio>

RelayRoom::RelayRoom()
    : seats( 0 ), started( 0 ), outOfSync( 0 ), closed( 0 ), turnSeat( 0 ), refereed( 0 ), streamFrames( 0 ),
      lastMatchFrame( 0 ), winds( 0 ), lastWindFrame( 0 ), hostWindsHeard( 0 ), matches( 0 ),
      hostMatchesHeard( 0 ), taken( 0 ), settledFrame( 0 ), refereeAgreed( 0 ), historyEndsInKeys( 0 ),
      historyBytes( 0 ), historyFull( 0 ) {
    for ( uint32_t &frame : lastChecked ) {
        frame = 0;
    }
}

RelayRoom::~RelayRoom() {
}

int RelayRoom::Refuse( const char *format, ... ) {
    char line[NET_MAX_REASON_LENGTH + 1];
    va_list arguments;
    va_start( arguments, format );
    std::vsnprintf( line, sizeof( line ), format, arguments );
    va_end( arguments );
    error = line;
    return 0;
}

RelayRoom::Member *RelayRoom::Find( int connection ) {
    for ( Member &member : members ) {
        if ( member.connection == connection ) {
            return &member;
        }
    }
    return nullptr;
}

int RelayRoom::GetSeatOf( int connection ) const {
    for ( const Member &member : members ) {
        if ( member.connection == connection ) {
            return member.seat;
        }
    }
    return -1;
}

int RelayRoom::IsSeatTaken( int seat ) const {
    for ( const Member &member : members ) {
        if ( member.seat == seat ) {
            return 1;
        }
    }
    return 0;
}

void RelayRoom::Send( int connection, const NetMessage &message ) {
    outbox.push_back( NetDelivery{ connection, message.Write( NET_FROM_RELAY ), 0 } );
}

void RelayRoom::SendToAllBut( int connection, const NetMessage &message ) {
    const std::vector<uint8_t> bytes = message.Write( NET_FROM_RELAY );
    for ( const Member &member : members ) {
        if ( member.connection != connection ) {
            outbox.push_back( NetDelivery{ member.connection, bytes, 0 } );
        }
    }
}

void RelayRoom::Close( int connection, const std::string &reason ) {
    NetMessage message;
    message.type = NET_ERROR;
    message.reason = reason;
    outbox.push_back( NetDelivery{ connection, message.Write( NET_FROM_RELAY ), 1 } );
}

std::vector<NetDelivery> RelayRoom::TakeOutbox() {
    std::vector<NetDelivery> taken;
    taken.swap( outbox );
    return taken;
}

int RelayRoom::Create( const std::string &roomCode, int seatCount, const std::vector<uint8_t> &roomHeader,
                       int connection, const std::string &name ) {
    if ( seatCount < NET_MIN_SEATS || seatCount > NET_MAX_SEATS ) {
        return Refuse( "a room has %d to %d seats, not %d", NET_MIN_SEATS, NET_MAX_SEATS, seatCount );
    }
    code = roomCode;
    seats = seatCount;
    turns.Start( seats );
    header = roomHeader;
    members.clear();
    return Join( connection, NET_PLAY, name, roomHeader );
}

int RelayRoom::Join( int connection, int role, const std::string &name,
                     const std::vector<uint8_t> &joinHeader ) {
    if ( closed ) {
        return Refuse( "room %s is closed", code.c_str() );
    }
    if ( Find( connection ) != nullptr ) {
        return Refuse( "already in room %s", code.c_str() );
    }
    if ( !joinHeader.empty() && joinHeader != header ) {
        return Refuse( "runs another game than room %s (version, pictures or rules)", code.c_str() );
    }
    int seat = NET_SPECTATOR;
    if ( role == NET_WATCH ) {
        int spectators = 0;
        for ( const Member &member : members ) {
            spectators += member.seat == NET_SPECTATOR;
        }
        if ( spectators >= RELAY_MAX_SPECTATORS ) {
            return Refuse( "room %s has its %d spectators already", code.c_str(), RELAY_MAX_SPECTATORS );
        }
        if ( historyFull ) {
            return Refuse( "the match in room %s is too long to watch from its start", code.c_str() );
        }
    } else {
        // Before the match any free seat; after its start only a player's own seat, taken back.
        seat = -1;
        for ( int s = 0; s < seats && seat < 0; s++ ) {
            if ( !IsSeatTaken( s ) && ( !started || seatNames[s] == name ) ) {
                seat = s;
            }
        }
        if ( seat < 0 ) {
            return started ? Refuse( "the match in room %s has begun without %s", code.c_str(), name.c_str() )
                           : Refuse( "room %s is full", code.c_str() );
        }
        seatNames[seat] = name;
        lastChecked[seat] = 0;
        hostWindsHeard = seat == 0 ? 0 : hostWindsHeard;
        // A host back in its seat has the first match's start from the stream, and sends the
        // later ones again as it plays through them.
        hostMatchesHeard = seat == 0 ? ( started ? 1 : 0 ) : hostMatchesHeard;
    }
    members.push_back( Member{ connection, seat, name } );

    NetMessage welcome;
    welcome.type = NET_WELCOME;
    welcome.seat = seat;
    welcome.seats = seats;
    welcome.code = code;
    welcome.header = header;
    Send( connection, welcome );
    NetMessage player;
    player.type = NET_PLAYER;
    for ( const Member &member : members ) {
        if ( member.seat != NET_SPECTATOR && member.connection != connection ) {
            player.seat = member.seat;
            player.name = member.name;
            Send( connection, player );
        }
    }
    if ( seat != NET_SPECTATOR ) {
        player.seat = seat;
        player.name = name;
        SendToAllBut( connection, player );
    }
    // A latecomer plays the stream so far before it goes on with everyone.
    for ( const std::vector<uint8_t> &bytes : history ) {
        outbox.push_back( NetDelivery{ connection, bytes, 0 } );
    }
    return 1;
}

int RelayRoom::Receive( int connection, const NetMessage &message ) {
    Member *member = Find( connection );
    if ( member == nullptr ) {
        return Refuse( "not in room %s", code.c_str() );
    }
    if ( message.type == NET_LEAVE ) {
        Leave( connection );
        outbox.push_back( NetDelivery{ connection, std::vector<uint8_t>(), 1 } );
        return 1;
    }
    if ( message.type == NET_HELLO ) {
        return Refuse( "a second hello" );
    }
    if ( member->seat == NET_SPECTATOR ) {
        return Refuse( "a spectator sends nothing but leave, not '%c'", char( message.type ) );
    }
    const Member sender = *member;
    switch ( message.type ) {
    case NET_MATCH_START:
        return ReceiveMatchStart( sender, message );
    case NET_KEYS:
        return ReceiveKeys( sender, message );
    case NET_TURN:
        return ReceiveTurn( sender, message );
    case NET_CHECKSUM:
        return ReceiveChecksum( sender, message );
    case NET_WIND:
        return ReceiveWind( sender, message );
    default:
        return Refuse( "'%c' is the relay's message, not a client's", char( message.type ) );
    }
}

int RelayRoom::ReceiveMatchStart( const Member &member, const NetMessage &message ) {
    if ( member.seat != 0 ) {
        return Refuse( "a match start from seat %d; only the host's seat 0 starts matches", member.seat );
    }
    if ( outOfSync ) {
        return Refuse( "the match is out of sync" );
    }
    if ( hostMatchesHeard < matches ) {
        hostMatchesHeard++;
        return 1;
    }
    // The first match starts before any frame; each later one during a frame the stream holds.
    const int fits =
        started ? message.frame > lastMatchFrame && message.frame < streamFrames : message.frame == 0;
    if ( !fits ) {
        return Refuse( "a match start at frame %u, with %u frames played", unsigned( message.frame ),
                       unsigned( streamFrames ) );
    }
    started = 1;
    lastMatchFrame = message.frame;
    matches++;
    hostMatchesHeard++;
    Remember( message );
    SendToAllBut( member.connection, message );
    return 1;
}

int RelayRoom::ReceiveKeys( const Member &member, const NetMessage &message ) {
    if ( member.seat != turnSeat ) {
        return Refuse( "keys from seat %d, but it is seat %d's turn", member.seat, turnSeat );
    }
    if ( !started ) {
        return Refuse( "keys before the match starts" );
    }
    if ( outOfSync ) {
        return Refuse( "the match is out of sync" );
    }
    if ( message.frame != streamFrames ) {
        return Refuse( "keys from frame %u; the next frame is %u", unsigned( message.frame ),
                       unsigned( streamFrames ) );
    }
    streamFrames += uint32_t( message.frames );
    Remember( message );
    SendToAllBut( member.connection, message );
    return 1;
}

int RelayRoom::ReceiveTurn( const Member &member, const NetMessage &message ) {
    // The host's game plays a seat whose player left: it takes that seat's turn for itself.
    const int takesEmptyTurn = member.seat == 0 && message.seat == 0 && started && !IsSeatTaken( turnSeat );
    if ( member.seat != turnSeat && !takesEmptyTurn ) {
        return Refuse( "a turn passed by seat %d, but it is seat %d's turn", member.seat, turnSeat );
    }
    if ( message.seat >= seats ) {
        return Refuse( "a turn to seat %d of a room with %d seats", message.seat, seats );
    }
    if ( message.frame != streamFrames ) {
        return Refuse( "a turn at frame %u; the next frame is %u", unsigned( message.frame ),
                       unsigned( streamFrames ) );
    }
    if ( refereed ) {
        turns.StreamTurn( message.frame, message.seat, member.seat, takesEmptyTurn );
    }
    turnSeat = message.seat;
    Remember( message );
    SendToAllBut( member.connection, message );
    return 1;
}

// The host's game draws every wind as every other game does, and says so once it has played
// into the frame: a wind belongs to a frame the stream holds (or to the start-up, frame 0,
// before any), after the match started and never before the last wind. Two at frame 0 at most:
// the start-up's and one in the first frame.
int RelayRoom::ReceiveWind( const Member &member, const NetMessage &message ) {
    if ( member.seat != 0 ) {
        return Refuse( "a wind from seat %d; only the host's seat 0 sends the winds", member.seat );
    }
    if ( !started ) {
        return Refuse( "a wind before the match starts" );
    }
    if ( outOfSync ) {
        return Refuse( "the match is out of sync" );
    }
    if ( hostWindsHeard < winds ) {
        // The host's game back in its seat plays the stream again; its checksums say whether it
        // drew the same winds.
        hostWindsHeard++;
        return 1;
    }
    if ( message.frame >= streamFrames && message.frame != 0 ) {
        return Refuse( "a wind at frame %u, with %u frames played", unsigned( message.frame ),
                       unsigned( streamFrames ) );
    }
    const int inOrder = winds == 0 || message.frame > lastWindFrame ||
                        ( message.frame == 0 && lastWindFrame == 0 && winds == 1 );
    if ( !inOrder ) {
        return Refuse( "a wind at frame %u, after one at frame %u", unsigned( message.frame ),
                       unsigned( lastWindFrame ) );
    }
    winds++;
    hostWindsHeard++;
    lastWindFrame = message.frame;
    Remember( message );
    SendToAllBut( member.connection, message );
    return 1;
}

int RelayRoom::ReceiveChecksum( const Member &member, const NetMessage &message ) {
    const uint32_t frame = message.frame;
    if ( frame > streamFrames ) {
        return Refuse( "a checksum after frame %u; the keys reach frame %u", unsigned( frame ),
                       unsigned( streamFrames ) );
    }
    if ( frame <= lastChecked[member.seat] ) {
        return Refuse( "a checksum after frame %u, after one for frame %u", unsigned( frame ),
                       unsigned( lastChecked[member.seat] ) );
    }
    if ( frame >= settledFrame + uint32_t( RELAY_MAX_PENDING_CHECKSUMS * REPLAY_BLOCK_FRAMES ) ) {
        return Refuse( "a checksum after frame %u, %d seconds ahead of the others", unsigned( frame ),
                       RELAY_MAX_PENDING_CHECKSUMS );
    }
    lastChecked[member.seat] = frame;
    // A player back in its seat plays the stream again; what was compared stays compared.
    if ( outOfSync || frame <= settledFrame ) {
        return 1;
    }
    ChecksumsOf( frame ).value[member.seat] = int64_t( message.checksum );
    SettleChecksums();
    return 1;
}

RelayRoom::Checksums &RelayRoom::ChecksumsOf( uint32_t frame ) {
    auto found = checksums.find( frame );
    if ( found == checksums.end() ) {
        Checksums fresh;
        for ( int64_t &value : fresh.value ) {
            value = -1;
        }
        fresh.referee = -1;
        found = checksums.emplace( frame, fresh ).first;
    }
    return found->second;
}

void RelayRoom::SetRefereed( int on ) {
    // Without a referee nothing is checked, so nothing is kept to be checked.
    if ( !on ) {
        turns.Start( seats );
    }
    refereed = on;
    SettleChecksums();
}

void RelayRoom::ReceiveRefereeTurn( uint32_t frame, int tank ) {
    if ( refereed ) {
        turns.GameTurn( frame, tank );
    }
}

void RelayRoom::ReceiveRefereeChecksum( uint32_t frame, uint32_t checksum ) {
    if ( !refereed || outOfSync ) {
        return;
    }
    if ( !turns.Check( frame ) ) {
        char reason[NET_MAX_REASON_LENGTH + 1];
        if ( turns.GetFailedPassedTo() >= 0 ) {
            std::snprintf( reason, sizeof( reason ),
                           "seat %d passed the turn to seat %d at frame %u, in tank %d's turn",
                           turns.GetFailedSeat(), turns.GetFailedPassedTo(),
                           unsigned( turns.GetFailedFrame() ), turns.GetFailedTank() );
        } else {
            std::snprintf( reason, sizeof( reason ), "seat %d held the keys of frame %u, in tank %d's turn",
                           turns.GetFailedSeat(), unsigned( turns.GetFailedFrame() ), turns.GetFailedTank() );
        }
        StopOutOfSync( turns.GetFailedFrame(), turns.GetFailedSeat(), reason );
        return;
    }
    if ( frame <= settledFrame ) {
        return;
    }
    ChecksumsOf( frame ).referee = int64_t( checksum );
    SettleChecksums();
}

// The seat out of sync: against the referee's truth the one seat that differs from it; without
// a referee the one seat whose checksum no one else has, against a majority of at least two.
// -1 when all agree, NET_NO_SEAT when no one seat can be named.
int RelayRoom::FindDiffering( const int64_t *values, const int *seatOf, int count, int64_t truth ) const {
    int differing = -1;
    int differs = 0;
    for ( int i = 0; i < count; i++ ) {
        int agreeing = 0;
        for ( int j = 0; j < count; j++ ) {
            agreeing += values[j] == values[i];
        }
        const int wrong = truth >= 0 ? values[i] != truth : agreeing < count;
        differs |= wrong;
        const int named = truth >= 0 ? wrong : agreeing == 1 && count >= 3;
        if ( named ) {
            differing = differing == -1 ? seatOf[i] : NET_NO_SEAT;
        }
    }
    if ( !differs ) {
        return -1;
    }
    return differing >= 0 ? differing : NET_NO_SEAT;
}

// Compares every frame that all seated players have reported, oldest first.
void RelayRoom::SettleChecksums() {
    while ( !checksums.empty() && !outOfSync ) {
        const uint32_t frame = checksums.begin()->first;
        const Checksums &reported = checksums.begin()->second;
        int64_t values[NET_MAX_SEATS];
        int seatOf[NET_MAX_SEATS];
        int count = 0;
        for ( const Member &member : members ) {
            if ( member.seat == NET_SPECTATOR ) {
                continue;
            }
            if ( reported.value[member.seat] < 0 ) {
                return;
            }
            values[count] = reported.value[member.seat];
            seatOf[count++] = member.seat;
        }
        if ( refereed && reported.referee < 0 ) {
            return;
        }
        const int64_t truth = refereed ? reported.referee : -1;
        checksums.erase( checksums.begin() );
        settledFrame = frame;
        const int differing = FindDiffering( values, seatOf, count, truth );
        refereeAgreed += refereed && count > 0 && differing < 0;
        if ( differing >= 0 ) {
            char reason[NET_MAX_REASON_LENGTH + 1];
            std::snprintf( reason, sizeof( reason ), "the checksums after frame %u differ",
                           unsigned( frame ) );
            StopOutOfSync( frame, differing, reason );
        }
    }
}

void RelayRoom::StopOutOfSync( uint32_t frame, int seat, const char *reason ) {
    outOfSync = 1;
    outOfSyncReason = reason;
    NetMessage message;
    message.type = NET_OUT_OF_SYNC;
    message.frame = frame;
    message.seat = seat;
    SendToAllBut( -1, message );
}

void RelayRoom::Remember( const NetMessage &message ) {
    taken++;
    if ( historyFull ) {
        return;
    }
    std::vector<uint8_t> bytes;
    const int grows = message.type == NET_KEYS && historyEndsInKeys &&
                      lastKeys.frames + message.frames <= REPLAY_BLOCK_FRAMES;
    if ( grows ) {
        // Keys in a row join the last keys in the history, as in a recording's blocks.
        historyBytes -= history.back().size();
        history.pop_back();
        lastKeys.frames += message.frames;
        for ( const ReplayRun &run : message.runs ) {
            if ( lastKeys.runs.back().keys == run.keys ) {
                lastKeys.runs.back().length += run.length;
            } else {
                lastKeys.runs.push_back( run );
            }
        }
        bytes = lastKeys.Write( NET_FROM_RELAY );
    } else {
        bytes = message.Write( NET_FROM_RELAY );
        lastKeys = message;
    }
    historyEndsInKeys = message.type == NET_KEYS;
    if ( historyBytes + bytes.size() > RELAY_MAX_HISTORY_BYTES ) {
        // Spectators who come later are refused rather than shown half a match.
        historyFull = 1;
        history.clear();
        history.shrink_to_fit();
        historyBytes = 0;
        return;
    }
    historyBytes += bytes.size();
    history.push_back( bytes );
}

void RelayRoom::Leave( int connection ) {
    int seat = -2;
    for ( size_t i = 0; i < members.size(); i++ ) {
        if ( members[i].connection == connection ) {
            seat = members[i].seat;
            members.erase( members.begin() + long( i ) );
            break;
        }
    }
    if ( seat == -2 ) {
        return;
    }
    if ( seat == 0 && !started ) {
        closed = 1;
        for ( const Member &member : members ) {
            Close( member.connection, "the host left before the match started" );
        }
        members.clear();
        return;
    }
    NetMessage message;
    message.type = NET_LEAVE;
    message.seat = seat;
    SendToAllBut( connection, message );
    // The others' checksums need not wait for the one who left.
    SettleChecksums();
}

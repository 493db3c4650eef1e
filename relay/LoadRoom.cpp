#include "relay/LoadRoom.h"

#include <algorithm>

namespace {

// Waits for the relay's answers while rooms meet, before any key is timed.
const int MEET_MILLISECONDS = 5000;

void Put( std::vector<uint8_t> &bytes, uint32_t value, int count ) {
    for ( int i = 0; i < count; i++ ) {
        bytes.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

} // namespace

LoadGame LoadMadeUpGame() {
    std::vector<uint8_t> header( REPLAY_MAGIC, REPLAY_MAGIC + sizeof( REPLAY_MAGIC ) );
    Put( header, uint32_t( REPLAY_FORMAT_VERSION ), 2 );
    const std::string version = "relay-load";
    Put( header, uint32_t( version.size() ), 1 );
    header.insert( header.end(), version.begin(), version.end() );
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        Put( header, 0, 4 );
    }
    const int32_t rules[] = { 0, -1, 0, 1, 1, 0, 0, 0x4b454c54 };
    Put( header, uint32_t( sizeof( rules ) / sizeof( rules[0] ) ), 1 );
    for ( int32_t rule : rules ) {
        Put( header, uint32_t( rule ), 4 );
    }
    LoadGame game;
    game.header = header;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        game.columns[i] = uint32_t( 80 + 160 * i );
    }
    return game;
}

LoadRoom::LoadRoom()
    : turnFrames( 120 ), wrongSeat( -1 ), lastPass( 0 ), echoes( 0 ), timedEchoes( 0 ), delaySum( 0 ) {
    for ( int seat = 0; seat < LOAD_SEATS; seat++ ) {
        heard[seat] = 0;
        turnOf[seat] = 0;
    }
}

LoadRoom::~LoadRoom() {
}

void LoadRoom::Fail( const std::string &reason ) {
    if ( error.empty() ) {
        error = reason;
    }
}

uint16_t LoadRoom::KeysOf( uint32_t frame ) {
    // Two seconds of a turn: walk right, raise the barrel, fire, then rest.
    const uint32_t step = frame % 120;
    if ( step < 30 ) {
        return 1 << 1;
    }
    if ( step < 60 ) {
        return 1 << 2;
    }
    return step == 61 ? 1 << 4 : 0;
}

uint32_t LoadRoom::ChecksumOf( uint32_t frame ) const {
    const size_t index = frame / REPLAY_BLOCK_FRAMES - 1;
    return index < checksums.size() ? checksums[index] : frame * 2654435761u;
}

int LoadRoom::Open( int port, int turnLength, const LoadGame &game, int splitSeat ) {
    turnFrames = turnLength;
    wrongSeat = splitSeat;
    checksums = game.checksums;
    gameTurns = game.turns;
    const std::vector<uint8_t> &header = game.header;
    NetMessage hello;
    hello.type = NET_HELLO;
    hello.version = NET_PROTOCOL_VERSION;
    hello.header = header;
    NetMessage welcome;
    for ( int seat = 0; seat < LOAD_SEATS; seat++ ) {
        hello.role = seat == 0 ? NET_CREATE : NET_PLAY;
        hello.seats = seat == 0 ? LOAD_SEATS : 0;
        hello.name = "Load " + std::to_string( seat );
        LoadClient &client = clients[seat];
        if ( !client.Connect( port, MEET_MILLISECONDS ) || !client.Send( hello ) ||
             !client.Await( NET_WELCOME, welcome, MEET_MILLISECONDS ) ) {
            Fail( "player " + std::to_string( seat ) + ": " + client.GetError() );
            return 0;
        }
        if ( welcome.seat != seat ) {
            Fail( "player " + std::to_string( seat ) + " was given seat " + std::to_string( welcome.seat ) );
            return 0;
        }
        hello.code = welcome.code;
    }
    NetMessage start;
    start.type = NET_MATCH_START;
    start.frame = 0;
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        start.columns[i] = game.columns[i];
    }
    if ( !clients[0].Send( start ) ) {
        Fail( std::string( "player 0: " ) + clients[0].GetError() );
        return 0;
    }
    return 1;
}

// The keys of the frames due, in one message as a game behind its time sends them, up to the
// next checksum's frame.
void LoadRoom::SendKeys( int seat, uint32_t dueFrame, int64_t now ) {
    const uint32_t frame = heard[seat];
    const uint32_t blockEnd =
        frame - frame % uint32_t( REPLAY_BLOCK_FRAMES ) + uint32_t( REPLAY_BLOCK_FRAMES );
    NetMessage keys;
    keys.type = NET_KEYS;
    keys.frame = frame;
    keys.frames = int( std::min( dueFrame, blockEnd ) - frame );
    for ( uint32_t f = frame; f < frame + uint32_t( keys.frames ); f++ ) {
        if ( !keys.runs.empty() && keys.runs.back().keys == KeysOf( f ) ) {
            keys.runs.back().length++;
        } else {
            keys.runs.push_back( ReplayRun{ KeysOf( f ), 1 } );
        }
    }
    if ( !clients[seat].Send( keys ) ) {
        Fail( "player " + std::to_string( seat ) + ": " + clients[seat].GetError() );
        return;
    }
    sentAt.insert( sentAt.end(), size_t( keys.frames ), now );
    heard[seat] += uint32_t( keys.frames );
    ReportChecksum( seat );
}

// A player reports each 60 frames as soon as its stream holds them, never before.
void LoadRoom::ReportChecksum( int seat ) {
    if ( heard[seat] % REPLAY_BLOCK_FRAMES != 0 ) {
        return;
    }
    NetMessage checksum;
    checksum.type = NET_CHECKSUM;
    checksum.frame = heard[seat];
    checksum.checksum = ChecksumOf( heard[seat] ) + ( seat == wrongSeat && heard[seat] >= 120 ? 1 : 0 );
    if ( !clients[seat].Send( checksum ) ) {
        Fail( "player " + std::to_string( seat ) + ": " + clients[seat].GetError() );
    }
}

int LoadRoom::GameSeatAt( uint32_t frame ) const {
    int tank = -1;
    for ( const LoadTurn &turn : gameTurns ) {
        tank = turn.frame <= frame ? turn.tank : tank;
    }
    return tank >= 0 ? tank % LOAD_SEATS : -1;
}

uint32_t LoadRoom::NextGameTurn( uint32_t frame ) const {
    for ( const LoadTurn &turn : gameTurns ) {
        if ( turn.frame > frame ) {
            return turn.frame;
        }
    }
    return UINT32_MAX;
}

void LoadRoom::Play( uint32_t dueFrame, int64_t now ) {
    if ( !error.empty() ) {
        return;
    }
    // Only the seat that knows the turn is its own plays; the next one waits to hear the pass.
    int seat = -1;
    for ( int s = 0; s < LOAD_SEATS; s++ ) {
        seat = turnOf[s] == s ? s : seat;
    }
    if ( seat < 0 ) {
        return;
    }
    while ( heard[seat] < dueFrame && error.empty() ) {
        const uint32_t frame = heard[seat];
        // A refereed room passes the turn where its game does, as the games would; the referee
        // holds the stream's turns against its own.
        const int gameSeat = gameTurns.empty() ? -1 : GameSeatAt( frame );
        const int passes = gameTurns.empty() ? frame > 0 && frame % uint32_t( turnFrames ) == 0
                                             : gameSeat >= 0 && gameSeat != seat;
        if ( passes && lastPass != frame ) {
            NetMessage turn;
            turn.type = NET_TURN;
            turn.frame = frame;
            turn.seat = gameTurns.empty() ? ( seat + 1 ) % LOAD_SEATS : gameSeat;
            lastPass = frame;
            turnOf[seat] = turn.seat;
            if ( !clients[seat].Send( turn ) ) {
                Fail( "player " + std::to_string( seat ) + ": " + clients[seat].GetError() );
            }
            return;
        }
        SendKeys( seat, gameTurns.empty() ? dueFrame : std::min( dueFrame, NextGameTurn( frame ) ), now );
    }
}

void LoadRoom::Take( int seat, const NetMessage &message, int64_t now, std::vector<int32_t> &delays ) {
    const std::string who = "player " + std::to_string( seat ) + ": ";
    switch ( message.type ) {
    case NET_KEYS:
        if ( message.frame != heard[seat] || message.frame + uint32_t( message.frames ) > sentAt.size() ) {
            Fail( who + "keys from frame " + std::to_string( message.frame ) + " with " +
                  std::to_string( heard[seat] ) + " frames heard" );
            return;
        }
        for ( int i = 0; i < message.frames; i++ ) {
            const int64_t delay = now - sentAt[message.frame + uint32_t( i )];
            delays.push_back( int32_t( delay ) );
            delaySum += delay;
            timedEchoes++;
            echoes++;
            heard[seat]++;
            ReportChecksum( seat );
        }
        return;
    case NET_TURN:
        if ( message.frame != heard[seat] ) {
            Fail( who + "a turn at frame " + std::to_string( message.frame ) + " with " +
                  std::to_string( heard[seat] ) + " frames heard" );
        }
        turnOf[seat] = message.seat;
        return;
    case NET_OUT_OF_SYNC:
        Fail( who + "out of sync at frame " + std::to_string( message.frame ) + ", seat " +
              std::to_string( message.seat ) );
        return;
    case NET_ERROR:
        Fail( who + "refused: " + message.reason );
        return;
    case NET_LEAVE:
        Fail( who + "seat " + std::to_string( message.seat ) + " left" );
        return;
    default:
        return; // the players, the match start and the welcome were checked when they met
    }
}

void LoadRoom::Hear( int seat, int64_t now, std::vector<int32_t> &delays ) {
    std::vector<NetMessage> messages;
    const int open = clients[seat].Receive( messages );
    for ( const NetMessage &message : messages ) {
        Take( seat, message, now, delays );
    }
    if ( !open ) {
        Fail( "player " + std::to_string( seat ) + ": " + clients[seat].GetError() );
    }
}

void LoadRoom::Flush() {
    for ( LoadClient &client : clients ) {
        if ( client.IsWaitingToSend() ) {
            client.Flush();
        }
    }
}

int LoadRoom::IsCaughtUp() const {
    for ( uint32_t frames : heard ) {
        if ( frames != sentAt.size() ) {
            return 0;
        }
    }
    return 1;
}

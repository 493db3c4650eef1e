#include "app/OnlineMatch.h"

#include "ai/ComputerPlayers.h"
#include "replay/ReplayKeys.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// How long a game waits for the relay's welcome before it gives up.
const int WELCOME_MILLISECONDS = 10000;
// What the game has for the relay goes at most this often, a frame at 60 frames a second: a
// game running faster (a test, a catch-up) sends its frames in blocks, within the relay's
// 120 messages a second.
const int SEND_MILLISECONDS = 16;

} // namespace

OnlineMatch::OnlineMatch()
    : on( 0 ), creating( 0 ), computerPlaysMe( 0 ), splitAt( -1 ), falseTurnAt( -1 ), roomSeed( 0 ),
      frame( 0 ), firstColumns{}, startChecked( 0 ), empty{}, takenOver{} {
    std::memset( keys, 0, sizeof( keys ) );
}

OnlineMatch::~OnlineMatch() {
}

// A game plays one online match after another: each starts from nothing, with the hello out.
int OnlineMatch::Open( const std::string &url, const NetMessage &hello ) {
    session = NetSession();
    creating = hello.role == NET_CREATE;
    startWinds.clear();
    frame = 0;
    startChecked = 0;
    stopReason.clear();
    std::memset( empty, 0, sizeof( empty ) );
    std::memset( takenOver, 0, sizeof( takenOver ) );
    if ( !socket.Open( url ) ) {
        error = socket.GetError();
        return 0;
    }
    socket.Send( hello.Write( NET_FROM_CLIENT ) );
    ownName = hello.name;
    welcomeUrl = url;
    welcomeDeadline = std::chrono::steady_clock::now() + std::chrono::milliseconds( WELCOME_MILLISECONDS );
    return 1;
}

// A room that refused this game (or a relay that never answered) leaves nothing open: the
// player may try another address from the same game.
int OnlineMatch::TakeWelcome() {
    socket.Service();
    std::vector<uint8_t> bytes;
    while ( !session.IsWelcomed() && socket.Receive( bytes ) ) {
        NetMessage message;
        if ( !message.Read( bytes.data(), bytes.size(), NET_FROM_RELAY ) ) {
            return GiveUp( std::string( "the relay sent a broken message: " ) + message.GetError() );
        }
        if ( !session.Receive( message ) ) {
            return GiveUp( session.GetError() );
        }
        if ( message.type == NET_WELCOME ) {
            roomHeaderBytes = message.header;
        }
    }
    if ( session.IsWelcomed() ) {
        session.SetOwnName( ownName );
        on = 1;
        return 1;
    }
    if ( socket.IsClosed() ) {
        return GiveUp( socket.GetError() );
    }
    if ( std::chrono::steady_clock::now() > welcomeDeadline ) {
        return GiveUp( "no answer from the relay at " + welcomeUrl );
    }
    return -1;
}

int OnlineMatch::GiveUp( const std::string &reason ) {
    error = reason;
    CloseSocket();
    return 0;
}

// A player or a spectator enters the room of `url` by its code.
int OnlineMatch::Enter( const std::string &url, int role, const std::string &name ) {
    std::string host;
    std::string path;
    int port = 0;
    if ( !HostSocket::SplitUrl( url, host, port, path ) || path.size() != size_t( NET_CODE_LENGTH + 1 ) ) {
        error = "not a ws://HOST:PORT/CODE address: " + url;
        return 0;
    }
    relayUrl = url.substr( 0, url.size() - path.size() );
    NetMessage hello;
    hello.type = NET_HELLO;
    hello.role = role;
    hello.seats = 0;
    hello.code = path.substr( 1 );
    hello.name = name;
    return Open( url, hello );
}

int OnlineMatch::PollJoin( std::vector<uint8_t> &roomHeader ) {
    const int welcomed = TakeWelcome();
    if ( welcomed == 1 ) {
        roomHeader = roomHeaderBytes;
    }
    return welcomed;
}

int OnlineMatch::BeginJoin( const std::string &url, const std::string &name ) {
    return Enter( url, NET_PLAY, name );
}

int OnlineMatch::BeginWatch( const std::string &url, const std::string &name ) {
    return Enter( url, NET_WATCH, name );
}

int OnlineMatch::Host( const std::string &url, int seats, const std::string &name,
                       const std::vector<uint8_t> &header ) {
    if ( !BeginHost( url, seats, name, header ) ) {
        return 0;
    }
    int welcomed = TakeWelcome();
    while ( welcomed < 0 ) {
        std::this_thread::sleep_for( std::chrono::milliseconds( 2 ) );
        welcomed = TakeWelcome();
    }
    return welcomed;
}

int OnlineMatch::PollHost() {
    return TakeWelcome();
}

int OnlineMatch::BeginHost( const std::string &url, int seats, const std::string &name,
                            const std::vector<uint8_t> &header ) {
    relayUrl = url;
    while ( !relayUrl.empty() && relayUrl.back() == '/' ) {
        relayUrl.pop_back();
    }
    NetMessage hello;
    hello.type = NET_HELLO;
    hello.role = NET_CREATE;
    hello.seats = seats;
    hello.name = name;
    hello.header = header;
    return Open( relayUrl + "/", hello );
}

std::string OnlineMatch::GetJoinAddress() const {
    std::string host;
    std::string path;
    int port = 0;
    if ( !joinHost.empty() && HostSocket::SplitUrl( relayUrl, host, port, path ) ) {
        return ( HostSocket::IsSecureUrl( relayUrl ) ? "wss://" : "ws://" ) + joinHost + ":" +
               std::to_string( port ) + "/" + session.GetCode();
    }
    return relayUrl + "/" + session.GetCode();
}

void OnlineMatch::SetFirstColumns( const int columns[4] ) {
    std::memcpy( firstColumns, columns, sizeof( firstColumns ) );
}

int OnlineMatch::IsTakenOver( int tank ) const {
    return tank >= 0 && tank < 4 && takenOver[tank];
}

// Every game hands a tank's turn to its seat; the host's game alone knows when its computer
// has taken an empty seat over, and takes the stream from it (the stream's `T` says from which
// frame, so every game plays the same).
int OnlineMatch::OwnerOf( int tank ) const {
    if ( tank < 0 || tank >= session.GetSeats() || IsTakenOver( tank ) ) {
        return 0;
    }
    return tank;
}

int OnlineMatch::IsMyComputer( int tank ) const {
    if ( tank == session.GetSeat() ) {
        return computerPlaysMe;
    }
    return IsHost() && ( tank >= session.GetSeats() || IsTakenOver( tank ) );
}

// The host's game gives a seat whose player left to the computer at normal after a few
// seconds, and gives it back when a player of the same name takes the seat again.
void OnlineMatch::WatchEmptySeats( ComputerPlayers &players ) {
    if ( !IsHost() || !session.IsStarted() ) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    for ( int seat = 1; seat < session.GetSeats() && seat < 4; seat++ ) {
        if ( session.IsSeated( seat ) ) {
            if ( takenOver[seat] ) {
                players.SetSeat( seat, 0, ComputerPlayers::LevelFromName( "normal" ) );
                std::printf( "kelto: %s takes the seat back\n", session.GetName( seat ).c_str() );
                std::fflush( stdout );
            }
            empty[seat] = 0;
            takenOver[seat] = 0;
            continue;
        }
        if ( !empty[seat] ) {
            empty[seat] = 1;
            emptySince[seat] = now;
        }
        if ( !takenOver[seat] && now - emptySince[seat] >= std::chrono::seconds( TAKE_OVER_SECONDS ) ) {
            takenOver[seat] = 1;
            players.SetSeat( seat, 1, ComputerPlayers::LevelFromName( "normal" ) );
            std::printf( "kelto: the computer plays for %s, who left\n", session.GetName( seat ).c_str() );
            std::fflush( stdout );
        }
    }
    if ( IsTakenOver( session.GetStreamSeat() ) ) {
        session.TakeEmptySeatsTurn();
    }
}

void OnlineMatch::SeatComputers( ComputerPlayers &players, int level ) const {
    for ( int tank = 0; tank < ComputerPlayers::SEATS; tank++ ) {
        players.SetSeat( tank, IsMyComputer( tank ), level );
    }
}

void OnlineMatch::Stop( const std::string &reason ) {
    if ( stopReason.empty() ) {
        stopReason = reason;
    }
}

void OnlineMatch::Pump() {
    const auto now = std::chrono::steady_clock::now();
    if ( now - lastSent >= std::chrono::milliseconds( SEND_MILLISECONDS ) ) {
        lastSent = now;
        for ( const NetMessage &message : session.TakeOutbox() ) {
            socket.Send( message.Write( NET_FROM_CLIENT ) );
        }
    }
    socket.Service();
    std::vector<uint8_t> bytes;
    while ( socket.Receive( bytes ) ) {
        NetMessage message;
        if ( !message.Read( bytes.data(), bytes.size(), NET_FROM_RELAY ) ) {
            Stop( std::string( "the relay sent a broken message: " ) + message.GetError() );
        } else if ( !session.Receive( message ) ) {
            Stop( session.GetError() );
        }
        // Said before what follows it: the relay refuses the next message of a match out of sync.
        if ( session.IsOutOfSync() ) {
            Stop( "out of sync at frame " + std::to_string( session.GetOutOfSyncFrame() ) );
        }
    }
    if ( socket.IsClosed() ) {
        Stop( socket.GetError()[0] != '\0' ? socket.GetError() : "the relay is gone: the match is over" );
    }
}

// The host starts the match once everyone is seated; a joiner checks that the host's game
// placed the tanks where its own did, since a game that did not is another game.
void OnlineMatch::TakeMatchStart() {
    if ( IsHost() && !session.IsStarted() && session.IsRoomFull() ) {
        uint32_t columns[4];
        for ( int i = 0; i < 4; i++ ) {
            columns[i] = uint32_t( firstColumns[i] );
        }
        session.StartMatch( columns );
        for ( int steps : startWinds ) {
            session.SendWind( 0, steps );
        }
        startWinds.clear();
    }
    if ( !IsHost() && session.IsStarted() && !startChecked ) {
        startChecked = 1;
        for ( int i = 0; i < 4; i++ ) {
            if ( session.GetColumns()[i] != uint32_t( firstColumns[i] ) ) {
                Stop( "the host's game placed the tanks elsewhere: it runs another game" );
            }
        }
    }
}

int OnlineMatch::FrameKeys( ComputerPlayers &players, int matchWon, const uint8_t *keyboard,
                            uint8_t *&keyState ) {
    Pump();
    TakeMatchStart();
    WatchEmptySeats( players );
    if ( IsStopped() ) {
        return 0;
    }
    // A spectator's keyboard never reaches the match.
    if ( session.IsStarted() && !IsWatching() ) {
        const int tank = players.GetSeatOfThisUpdate();
        // A won match belongs to whoever holds the stream until someone starts the next.
        int turnSeat = tank >= 0 && !matchWon ? OwnerOf( tank ) : session.GetStreamSeat();
        // The test's false turn, once this game has held the stream for longer than the input
        // delay: the stream goes to a seat whose tank has not been in its turn since.
        if ( falseTurnAt >= 0 && int( frame ) >= falseTurnAt && tank >= 0 && !matchWon &&
             session.GetStreamSeat() == session.GetSeat() && turnSeat == session.GetSeat() &&
             frame > session.GetStreamSeatFrom() + uint32_t( NetSession::INPUT_DELAY ) ) {
            turnSeat = ( turnSeat + 1 ) % session.GetSeats();
            falseTurnAt = -1;
        }
        uint8_t none[256] = {};
        if ( tank < 0 || !IsMyComputer( tank ) ) {
            // Only the turn's change: the computer notices a new turn of its own by it.
            players.Keys( none, matchWon );
        }
        // A won match waits for a person's key: the keyboard's, whoever plays the tanks.
        if ( turnSeat == session.GetSeat() && tank >= 0 && IsMyComputer( tank ) && !matchWon ) {
            // The computer reads the state this frame starts from, so its keys are for this frame.
            if ( session.Wants( frame, 0 ) ) {
                const uint8_t *pressed = players.Keys( none, matchWon );
                session.Produce( frame, turnSeat, ReplayKeysFromState( pressed ), 0 );
            }
        } else {
            const uint16_t held = keyboard != nullptr ? ReplayKeysFromState( keyboard ) : 0;
            session.Produce( frame, turnSeat, held, NetSession::INPUT_DELAY );
        }
        Pump();
    }
    uint16_t bits = 0;
    if ( !session.IsStarted() || !session.KeysOf( frame, bits ) ) {
        return 0;
    }
    ReplayKeysToState( bits, keys );
    keyState = keys;
    return 1;
}

void OnlineMatch::DrewWind( int steps ) {
    // A host that has not heard its welcome yet (on a page) keeps the start-up's wind too.
    if ( !IsHost() && !creating ) {
        return;
    }
    if ( session.IsStarted() ) {
        session.SendWind( frame, steps );
    } else {
        startWinds.push_back( steps );
    }
}

void OnlineMatch::StartedMatch( const int columns[4] ) {
    if ( !IsHost() || !session.IsStarted() ) {
        return;
    }
    uint32_t matchColumns[4];
    for ( int i = 0; i < 4; i++ ) {
        matchColumns[i] = uint32_t( columns[i] );
    }
    session.StartMatchAt( frame, matchColumns );
}

void OnlineMatch::Played( uint32_t checksum ) {
    session.Played( frame, checksum );
    frame++;
    Pump();
}

std::string OnlineMatch::GetNotice() const {
    if ( IsStopped() ) {
        return stopReason;
    }
    return "waiting for " + session.GetName( session.GetWaitingFor() );
}

void OnlineMatch::Leave() {
    if ( !on ) {
        CloseSocket(); // a room that has not answered yet
        return;
    }
    for ( const NetMessage &message : session.TakeOutbox() ) {
        socket.Send( message.Write( NET_FROM_CLIENT ) );
    }
    NetMessage leave;
    leave.type = NET_LEAVE;
    socket.Send( leave.Write( NET_FROM_CLIENT ) );
    CloseSocket();
    on = 0;
}

// Closes the connection, giving it a moment to say so to the relay.
void OnlineMatch::CloseSocket() {
    socket.Close();
    for ( int i = 0; i < 50 && !socket.IsClosed(); i++ ) {
        socket.Service();
        std::this_thread::sleep_for( std::chrono::milliseconds( 2 ) );
    }
}

// The relay program on the loopback: test clients speak WebSocket to it byte by byte (so that
// they can send what no game would), meet in rooms by code, pass keys and checksums, and are
// refused or closed for what the relay must not take, while the other rooms play on.

#include "SourcePaths.h"
#include "host/HostSocket.h"
#include "net/NetMessage.h"
#include "tests/support/NetBytes.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every wait is bounded, so that a relay that stops answering fails the test instead of hanging it.
const int WAIT_MILLISECONDS = 5000;

// kelto-relay as a child process on 127.0.0.1 at a port the system chose.
class RelayProcess {
public:
    ~RelayProcess() { Stop(); }

    bool Start( const std::vector<std::string> &extra ) {
        int out[2];
        if ( pipe( out ) != 0 ) {
            return false;
        }
        std::vector<std::string> arguments = { KELTO_RELAY_PROGRAM, "--address", "127.0.0.1", "--port", "0" };
        arguments.insert( arguments.end(), extra.begin(), extra.end() );
        pid = fork();
        if ( pid == 0 ) {
            dup2( out[1], 1 );
            close( out[0] );
            close( out[1] );
            std::vector<char *> argv;
            for ( std::string &argument : arguments ) {
                argv.push_back( &argument[0] );
            }
            argv.push_back( nullptr );
            execv( argv[0], argv.data() );
            _exit( 127 );
        }
        close( out[1] );
        std::string line;
        pollfd poller = { out[0], POLLIN, 0 };
        char c = 0;
        while ( poll( &poller, 1, WAIT_MILLISECONDS ) == 1 && read( out[0], &c, 1 ) == 1 && c != '\n' ) {
            line += c;
        }
        close( out[0] );
        const std::string prefix = "kelto-relay: listening on port ";
        if ( line.compare( 0, prefix.size(), prefix ) != 0 ) {
            return false;
        }
        port = std::atoi( line.c_str() + prefix.size() );
        return port > 0;
    }

    // SIGTERM, then the exit status once it is gone (-1 if it had to be killed).
    int Stop() {
        if ( pid <= 0 ) {
            return -1;
        }
        kill( pid, SIGTERM );
        int status = 0;
        for ( int i = 0; i < WAIT_MILLISECONDS / 10; i++ ) {
            if ( waitpid( pid, &status, WNOHANG ) == pid ) {
                pid = 0;
                return WIFEXITED( status ) ? WEXITSTATUS( status ) : -1;
            }
            usleep( 10000 );
        }
        kill( pid, SIGKILL );
        waitpid( pid, &status, 0 );
        pid = 0;
        return -1;
    }

    int port = 0;

private:
    pid_t pid = 0;
};

// What a client read: a message, the relay's closing of the connection, or nothing in time.
struct Heard {
    enum Kind { MESSAGE, CLOSED, NOTHING } kind = NOTHING;
    NetMessage message;
};

// A WebSocket client written out by hand: the handshake, masked frames out, plain frames in.
class TestClient {
public:
    ~TestClient() {
        if ( socket >= 0 ) {
            close( socket );
        }
    }

    // The HTTP status line of the handshake's answer; "101" when the connection is open. No
    // Origin header when `origin` is null, as from a program that is not a browser.
    std::string Connect( int port, const char *origin = nullptr ) {
        socket = ::socket( AF_INET, SOCK_STREAM, 0 );
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_port = htons( uint16_t( port ) );
        address.sin_addr.s_addr = htonl( INADDR_LOOPBACK );
        if ( connect( socket, (sockaddr *)&address, sizeof( address ) ) != 0 ) {
            return "no connection";
        }
        int one = 1;
        setsockopt( socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof( one ) );
        std::string request =
            "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
            "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
            "Sec-WebSocket-Protocol: kelto\r\n";
        if ( origin != nullptr ) {
            request += std::string( "Origin: " ) + origin + "\r\n";
        }
        request += "\r\n";
        SendAll( request.data(), request.size() );
        std::string answer;
        uint8_t c = 0;
        while ( answer.find( "\r\n\r\n" ) == std::string::npos && Read( &c, 1 ) ) {
            answer += char( c );
        }
        const size_t space = answer.find( ' ' );
        return space == std::string::npos ? "no answer" : answer.substr( space + 1, 3 );
    }

    void Send( const std::vector<uint8_t> &payload, int opcode = 2 ) {
        std::vector<uint8_t> frame = { uint8_t( 0x80 | opcode ) };
        if ( payload.size() < 126 ) {
            frame.push_back( uint8_t( 0x80 | payload.size() ) );
        } else {
            frame.push_back( 0x80 | 126 );
            frame.push_back( uint8_t( payload.size() >> 8 ) );
            frame.push_back( uint8_t( payload.size() ) );
        }
        const uint8_t mask[4] = { 0x12, 0x34, 0x56, 0x78 };
        frame.insert( frame.end(), mask, mask + 4 );
        for ( size_t i = 0; i < payload.size(); i++ ) {
            frame.push_back( payload[i] ^ mask[i % 4] );
        }
        SendAll( frame.data(), frame.size() );
    }
    void Send( const NetMessage &message ) { Send( message.Write( NET_FROM_CLIENT ) ); }

    // The next message or the close, skipping pings; NOTHING after `milliseconds`.
    Heard Next( int milliseconds = WAIT_MILLISECONDS ) {
        Heard heard;
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds( milliseconds );
        for ( ;; ) {
            uint8_t head[2];
            if ( !Read( head, 2 ) ) {
                heard.kind = closed ? Heard::CLOSED : Heard::NOTHING;
                return heard;
            }
            uint64_t length = head[1] & 0x7F;
            uint8_t extended[8];
            if ( length == 126 && Read( extended, 2 ) ) {
                length = uint64_t( extended[0] ) << 8 | extended[1];
            } else if ( length == 127 ) {
                return heard; // the relay sends nothing this long
            }
            std::vector<uint8_t> payload( length );
            if ( length > 0 && !Read( payload.data(), length ) ) {
                return heard;
            }
            const int opcode = head[0] & 0x0F;
            if ( opcode == 8 ) {
                heard.kind = Heard::CLOSED;
                return heard;
            }
            if ( opcode == 9 && answerPings ) {
                Send( payload, 10 );
            }
            if ( opcode == 2 ) {
                heard.kind = Heard::MESSAGE;
                EXPECT_TRUE( heard.message.Read( payload.data(), payload.size(), NET_FROM_RELAY ) )
                    << heard.message.GetError();
                return heard;
            }
        }
    }

    // The next message, which must be of `type`.
    NetMessage Expect( uint8_t type ) {
        Heard heard = Next();
        EXPECT_EQ( Heard::MESSAGE, heard.kind ) << "waiting for '" << char( type ) << "'";
        EXPECT_EQ( char( type ), char( heard.message.type ) ) << heard.message.reason;
        return heard.message;
    }

    // An error naming `reason`, then the connection's end.
    void ExpectClosedFor( const std::string &reason ) {
        const NetMessage error = Expect( NET_ERROR );
        EXPECT_NE( std::string::npos, error.reason.find( reason ) ) << "\"" << error.reason << "\"";
        EXPECT_EQ( Heard::CLOSED, Next().kind );
    }

private:
    void SendAll( const void *bytes, size_t size ) {
        const char *data = static_cast<const char *>( bytes );
        while ( size > 0 ) {
            const ssize_t sent = ::send( socket, data, size, MSG_NOSIGNAL );
            if ( sent <= 0 ) {
                return; // a closed connection is what the next read finds
            }
            data += sent;
            size -= size_t( sent );
        }
    }

    bool Read( uint8_t *bytes, size_t size ) {
        while ( size > 0 ) {
            const int left = int( std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now() )
                                      .count() );
            pollfd poller = { socket, POLLIN, 0 };
            if ( left <= 0 || poll( &poller, 1, left ) != 1 ) {
                return false;
            }
            const ssize_t got = recv( socket, bytes, size, 0 );
            if ( got <= 0 ) {
                closed = true;
                return false;
            }
            bytes += got;
            size -= size_t( got );
        }
        return true;
    }

    int socket = -1;
    bool closed = false;

public:
    bool answerPings = true; // as a browser does by itself

private:
    std::chrono::steady_clock::time_point deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds( WAIT_MILLISECONDS );
};

NetMessage FromBytes( const std::vector<uint8_t> &bytes ) {
    NetMessage message;
    EXPECT_TRUE( message.Read( bytes.data(), bytes.size(), NET_FROM_CLIENT ) ) << message.GetError();
    return message;
}

NetMessage Keys( uint32_t frame, int frames ) {
    return FromBytes( NetBytes()
                          .U8( 'K' )
                          .U32( frame )
                          .U8( uint32_t( frames ) )
                          .U8( 1 )
                          .U16( uint32_t( NET_PROTOCOL_VERSION ) )
                          .U8( uint32_t( frames ) )
                          .bytes );
}

NetMessage Start() {
    return FromBytes( NetBytes().U8( 'S' ).U32( 0 ).U32( 10 ).U32( 20 ).U32( 30 ).U32( 40 ).bytes );
}

NetMessage Checksum( uint32_t frame, uint32_t checksum ) {
    return FromBytes( NetBytes().U8( 'C' ).U32( frame ).U32( checksum ).bytes );
}

// Two players in a room of two with its match started; the code of the room.
std::string MeetAndStart( int port, TestClient &host, TestClient &guest, const char *hostName = "Ann",
                          const char *guestName = "Bob" ) {
    EXPECT_EQ( "101", host.Connect( port ) );
    host.Send( NetHello( NET_CREATE, 2, "", hostName ) );
    const NetMessage welcome = host.Expect( NET_WELCOME );
    EXPECT_EQ( 0, welcome.seat );
    EXPECT_EQ( "101", guest.Connect( port ) );
    guest.Send( NetHello( NET_PLAY, 0, welcome.code, guestName ) );
    EXPECT_EQ( 1, guest.Expect( NET_WELCOME ).seat );
    EXPECT_EQ( hostName, guest.Expect( NET_PLAYER ).name );
    EXPECT_EQ( guestName, host.Expect( NET_PLAYER ).name );
    host.Send( Start() );
    EXPECT_EQ( 40u, guest.Expect( NET_MATCH_START ).columns[3] );
    return welcome.code;
}

// The desktop game's socket creates a room of two: the relay's first answer, or a message of
// type 0 when none came in time.
NetMessage DesktopHello( HostSocket &socket ) {
    socket.Send( NetHello( NET_CREATE, 2, "", "Desk" ) );
    NetMessage answer;
    std::vector<uint8_t> bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds( WAIT_MILLISECONDS );
    while ( std::chrono::steady_clock::now() < deadline && !socket.IsClosed() ) {
        socket.Service();
        if ( socket.Receive( bytes ) ) {
            EXPECT_TRUE( answer.Read( bytes.data(), bytes.size(), NET_FROM_RELAY ) ) << answer.GetError();
            return answer;
        }
        usleep( 2000 );
    }
    answer.type = 0;
    return answer;
}

class RelayLoopback : public ::testing::Test {
protected:
    void StartRelay( const std::vector<std::string> &options ) { ASSERT_TRUE( relay.Start( options ) ); }
    RelayProcess relay;
};

TEST_F( RelayLoopback, PlayersMeetByCodeAndAWrongSeatIsClosedAloneWhileTheOtherRoomPlays ) {
    StartRelay( {} );
    TestClient ann, bob, cy, dan, eve;
    const std::string code = MeetAndStart( relay.port, ann, bob );
    MeetAndStart( relay.port, cy, dan, "Cy", "Dan" );
    ASSERT_EQ( "101", eve.Connect( relay.port ) );
    eve.Send( NetHello( NET_WATCH, 0, code, "Eve" ) );
    EXPECT_EQ( NET_SPECTATOR, eve.Expect( NET_WELCOME ).seat );
    EXPECT_EQ( "Ann", eve.Expect( NET_PLAYER ).name );
    EXPECT_EQ( "Bob", eve.Expect( NET_PLAYER ).name );
    EXPECT_EQ( 0u, eve.Expect( NET_MATCH_START ).frame ); // the stream so far

    ann.Send( Keys( 0, 60 ) );
    EXPECT_EQ( 60, bob.Expect( NET_KEYS ).frames );
    EXPECT_EQ( 60, eve.Expect( NET_KEYS ).frames );
    ann.Send( Checksum( 60, 7 ) );
    bob.Send( Checksum( 60, 7 ) );
    ann.Send( Keys( 60, 60 ) );
    EXPECT_EQ( 60u, bob.Expect( NET_KEYS ).frame ); // no out of sync came first
    EXPECT_EQ( 60u, eve.Expect( NET_KEYS ).frame );
    ann.Send( Checksum( 120, 7 ) );
    bob.Send( Checksum( 120, 8 ) );
    for ( TestClient *client : { &ann, &bob, &eve } ) {
        const NetMessage split = client->Expect( NET_OUT_OF_SYNC );
        EXPECT_EQ( 120u, split.frame );
        EXPECT_EQ( NET_NO_SEAT, split.seat );
    }

    // In the other room Dan sends keys on Cy's turn: only Dan is closed.
    dan.Send( Keys( 0, 1 ) );
    dan.ExpectClosedFor( "keys from seat 1, but it is seat 0's turn" );
    EXPECT_EQ( 1, cy.Expect( NET_LEAVE ).seat );
    cy.Send( Keys( 0, 1 ) );
    cy.Send( Checksum( 60, 1 ) ); // refused: the keys reach frame 1
    cy.ExpectClosedFor( "the keys reach frame 1" );
    // The first room heard none of it.
    EXPECT_EQ( Heard::NOTHING, bob.Next( 200 ).kind );
    EXPECT_EQ( 0, relay.Stop() );
}

TEST_F( RelayLoopback, MalformedOversizedAndEarlyMessagesCloseOnlyTheirConnection ) {
    StartRelay( {} );
    TestClient ann, bob;
    MeetAndStart( relay.port, ann, bob );
    std::vector<uint8_t> oversized = NetHello( NET_CREATE, 2, "", "A" );
    oversized.resize( NET_MAX_MESSAGE_SIZE + 1, 0 );
    std::vector<uint8_t> atLimit = oversized;
    atLimit.resize( NET_MAX_MESSAGE_SIZE );
    const struct {
        const char *what;
        std::vector<uint8_t> bytes;
        int opcode;
        const char *reason;
    } cases[] = {
        { "one byte over the limit", oversized, 2, "message of 513 bytes is longer than 512" },
        { "at the limit, with bytes after the hello", atLimit, 2, "bytes after the end" },
        { "unknown type", { 'Z' }, 2, "unknown message type 90" },
        { "truncated hello", { 'H', 1 }, 2, "truncated hello" },
        { "text", { 'L' }, 1, "text messages are not spoken here" },
        { "keys before a hello", Keys( 0, 1 ).Write( NET_FROM_CLIENT ), 2,
          "a connection begins with a hello" },
        { "a room that is not there", NetHello( NET_PLAY, 0, "ZZZZZZ", "A" ), 2, "no room ZZZZZZ" },
        { "another game", NetHello( NET_CREATE, 2, "", "A", NetRecordingHeader( "x", {} ) ), 2, "" },
    };
    for ( const auto &c : cases ) {
        TestClient stranger;
        ASSERT_EQ( "101", stranger.Connect( relay.port ) ) << c.what;
        stranger.Send( c.bytes, c.opcode );
        if ( std::string( c.what ) == "another game" ) {
            // A game of another version is a game: it gets a room of its own.
            EXPECT_EQ( 0, stranger.Expect( NET_WELCOME ).seat );
            continue;
        }
        SCOPED_TRACE( c.what );
        stranger.ExpectClosedFor( c.reason );
    }
    // The match that was going on goes on.
    ann.Send( Keys( 0, 5 ) );
    EXPECT_EQ( 5, bob.Expect( NET_KEYS ).frames );
}

TEST_F( RelayLoopback, SilentConnectionsAreClosedButListeningOnesStay ) {
    StartRelay( { "--idle-seconds", "1" } );
    TestClient ann, bob, silent, deaf;
    const std::string code = MeetAndStart( relay.port, ann, bob );
    ASSERT_EQ( "101", silent.Connect( relay.port ) );
    ASSERT_EQ( "101", deaf.Connect( relay.port ) );
    deaf.answerPings = false;
    deaf.Send( NetHello( NET_WATCH, 0, code, "Deaf" ) );
    const auto begin = std::chrono::steady_clock::now();
    bool bobHeardTheDeafGo = false;
    // For three seconds Ann plays and Bob only listens, answering the relay's pings; the silent
    // connection never says hello, and the deaf spectator never answers a ping.
    for ( uint32_t frame = 0; frame < 12; frame++ ) {
        ann.Send( Keys( frame, 1 ) );
        Heard heard = bob.Next();
        if ( heard.kind == Heard::MESSAGE && heard.message.type == NET_LEAVE && !bobHeardTheDeafGo ) {
            EXPECT_EQ( NET_SPECTATOR, heard.message.seat );
            bobHeardTheDeafGo = true;
            heard = bob.Next();
        }
        ASSERT_EQ( Heard::MESSAGE, heard.kind );
        ASSERT_EQ( NET_KEYS, heard.message.type );
        ASSERT_EQ( frame, heard.message.frame );
        usleep( 250000 );
    }
    silent.ExpectClosedFor( "no hello within 1 seconds" );
    const double seconds = std::chrono::duration<double>( std::chrono::steady_clock::now() - begin ).count();
    EXPECT_GE( seconds, 0.9 );
    Heard heard = deaf.Next();
    while ( heard.kind == Heard::MESSAGE ) {
        heard = deaf.Next();
    }
    EXPECT_EQ( Heard::CLOSED, heard.kind );
    EXPECT_TRUE( bobHeardTheDeafGo );
    EXPECT_EQ( NET_SPECTATOR, ann.Expect( NET_LEAVE ).seat );
    ann.Send( Keys( 12, 1 ) );
    EXPECT_EQ( 12u, bob.Expect( NET_KEYS ).frame );
}

TEST_F( RelayLoopback, RoomsConnectionsRateAndOriginAreBounded ) {
    StartRelay( { "--max-rooms", "2", "--max-connections", "4", "--origin", "http://kelto.example" } );
    std::unique_ptr<TestClient> clients[5];
    for ( int i = 0; i < 5; i++ ) {
        clients[i].reset( new TestClient );
        ASSERT_EQ( "101", clients[i]->Connect( relay.port, "http://kelto.example" ) ) << i;
    }
    clients[4]->ExpectClosedFor( "the relay holds its 4 connections already" );
    for ( int i = 0; i < 3; i++ ) {
        clients[i]->Send( NetHello( NET_CREATE, 2, "", "Host" ) );
    }
    const NetMessage welcome = clients[0]->Expect( NET_WELCOME );
    EXPECT_EQ( 0, clients[1]->Expect( NET_WELCOME ).seat );
    clients[2]->ExpectClosedFor( "the relay holds its 2 rooms already" );

    // A flood: 200 messages at once, where 120 is the burst a second allows.
    clients[3]->Send( NetHello( NET_PLAY, 0, welcome.code, "Guest" ) );
    EXPECT_EQ( 1, clients[3]->Expect( NET_WELCOME ).seat );
    EXPECT_EQ( "Host", clients[3]->Expect( NET_PLAYER ).name );
    clients[0]->Expect( NET_PLAYER );
    clients[0]->Send( Start() );
    for ( uint32_t frame = 0; frame < 200; frame++ ) {
        clients[0]->Send( Keys( frame, 1 ) );
    }
    clients[0]->ExpectClosedFor( "too many messages" );
    // The guest saw the start and the keys the burst left after the hello and the start (118),
    // and a few more for the time the relay took to read them, never all 200.
    clients[3]->Expect( NET_MATCH_START );
    int keys = 0;
    for ( Heard heard = clients[3]->Next(); heard.kind == Heard::MESSAGE && heard.message.type == NET_KEYS;
          heard = clients[3]->Next() ) {
        keys++;
    }
    EXPECT_GE( keys, 118 );
    EXPECT_LE( keys, 150 );
    EXPECT_EQ( 0, relay.Stop() );
}

// The origin keeps other pages' scripts out; what names no page (the desktop game) comes in.
// The relay is told its page with a trailing slash, as an address is often typed.
TEST_F( RelayLoopback, OnlyTheNamedPageOrNoPageAtAllGetsIn ) {
    StartRelay( { "--origin", "http://kelto.example/" } );
    const struct {
        const char *origin; // null: no Origin header
        bool in;
    } cases[] = {
        { "http://kelto.example", true },
        { nullptr, true },
        { "", true },
        { "http://kelto.example:8080", false },
        { "http://kelto.example/", false },
        { "https://kelto.example", false },
        { "http://kelto.example.evil", false },
        { "http://other.example", false },
        { "null", false },
    };
    for ( const auto &c : cases ) {
        TestClient client;
        const std::string status = client.Connect( relay.port, c.origin );
        EXPECT_EQ( c.in, status == "101" ) << ( c.origin != nullptr ? c.origin : "(none)" ) << ": " << status;
    }
    // The desktop game's own socket, as it joins a room.
    HostSocket desktop;
    ASSERT_EQ( 1, desktop.Open( "ws://127.0.0.1:" + std::to_string( relay.port ) + "/" ) )
        << desktop.GetError();
    EXPECT_EQ( NET_WELCOME, DesktopHello( desktop ).type ) << desktop.GetError();
    EXPECT_EQ( 0, relay.Stop() );
}

// A relay serving TLS with a certificate made for this test, for the name localhost alone: the
// desktop game reaches it over wss:// only when told to trust that certificate and only by
// that name; a plain ws:// connection does not reach it.
TEST_F( RelayLoopback, ARelayOverTlsTakesOnlyGamesThatTrustItsCertificate ) {
    char pattern[] = "/tmp/kelto-relay-tls-XXXXXX";
    const std::string folder = mkdtemp( pattern );
    const std::string certificate = folder + "/relay.pem";
    const std::string key = folder + "/relay.key";
    const std::string make = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                             "-days 1 -subj /CN=localhost -addext subjectAltName=DNS:localhost -keyout " +
                             key + " -out " + certificate + " 2>/dev/null";
    ASSERT_EQ( 0, std::system( make.c_str() ) );
    StartRelay( { "--cert", certificate, "--key", key } );
    const std::string port = ":" + std::to_string( relay.port ) + "/";
    const struct {
        std::string url;
        bool trusted; // KELTO_RELAY_CA names the certificate
        bool in;
    } cases[] = {
        { "wss://localhost" + port, true, true },
        { "wss://localhost" + port, false, false }, // the system's authorities never signed it
        { "wss://127.0.0.1" + port, true, false },  // not the name it was made for
        { "ws://localhost" + port, true, false },
    };
    for ( const auto &c : cases ) {
        if ( c.trusted ) {
            setenv( "KELTO_RELAY_CA", certificate.c_str(), 1 );
        } else {
            unsetenv( "KELTO_RELAY_CA" );
        }
        HostSocket desktop;
        ASSERT_EQ( 1, desktop.Open( c.url ) ) << desktop.GetError();
        const NetMessage answer = DesktopHello( desktop );
        EXPECT_EQ( c.in ? NET_WELCOME : 0, answer.type )
            << c.url << ( c.trusted ? " trusted: " : ": " ) << desktop.GetError();
    }
    unsetenv( "KELTO_RELAY_CA" );
    EXPECT_EQ( 0, relay.Stop() );
    // A certificate without its key, or files that are none, and the relay does not start (a
    // relay that did would be stopped after 5 seconds, with 124).
    const struct {
        std::string options;
        int status;
    } refusals[] = {
        { "--cert " + certificate, 2 },
        { "--key " + key, 2 },
        { "--cert " + key + " --key " + key, 1 },
        { "--cert " + folder + "/none.pem --key " + key, 1 },
    };
    for ( const auto &refusal : refusals ) {
        const std::string command = "timeout 5 " + std::string( KELTO_RELAY_PROGRAM ) +
                                    " --address 127.0.0.1 --port 0 " + refusal.options + " > /dev/null 2>&1";
        const int status = std::system( command.c_str() );
        EXPECT_EQ( refusal.status, WIFEXITED( status ) ? WEXITSTATUS( status ) : -1 ) << refusal.options;
    }
    std::system( ( "rm -rf '" + folder + "'" ).c_str() );
}

} // namespace

// The referee's game: the golden game's header and first tanks without wind (which the
// protocol does not carry), and a few seconds of keys.
class RefereedRelay : public RelayLoopback {
protected:
    void SetUp() override {
        std::ifstream file( std::string( KELTO_ASSETS_DIR ) + "/../tests/replays/golden.krec",
                            std::ios::binary );
        const std::vector<uint8_t> golden( ( std::istreambuf_iterator<char>( file ) ),
                                           std::istreambuf_iterator<char>() );
        ASSERT_GT( golden.size(), 64u );
        size_t at = 8 + 2;
        at += 1 + golden[at] + 4 * REPLAY_PICTURE_COUNT;
        const size_t rules = at + 1;
        at += 1 + 4 * size_t( golden[at] );
        header.assign( golden.begin(), golden.begin() + long( at ) );
        header[rules + 4 * 3] = 0; // the wind's rule: none
        start = FromBytes(
            std::vector<uint8_t>( golden.begin() + long( at ), golden.begin() + long( at ) + 21 ) );
        truth = PlayedByTheGame( BLOCKS );
        ASSERT_EQ( size_t( BLOCKS ), truth.size() );
    }

    // The checksums the headless game prints for the stream, run as the relay runs it.
    std::vector<uint32_t> PlayedByTheGame( int blocks ) {
        std::vector<uint8_t> recording = header;
        const std::vector<uint8_t> first = start.Write( NET_FROM_CLIENT );
        recording.insert( recording.end(), first.begin(), first.end() );
        for ( int block = 0; block < blocks; block++ ) {
            const std::vector<uint8_t> keys = BlockKeys( block ).Write( NET_FROM_CLIENT );
            recording.insert( recording.end(), keys.begin(), keys.end() );
            recording.insert( recording.end(), 4, 0 ); // the recorded checksum, unknown
        }
        const std::string path = ::testing::TempDir() + "referee-stream.krec";
        std::ofstream( path, std::ios::binary )
            .write( (const char *)recording.data(), long( recording.size() ) );
        const std::string command =
            "cd " KELTO_ASSETS_DIR " && " KELTO_HEADLESS_PROGRAM " --referee < " + path;
        std::vector<uint32_t> checksums;
        FILE *pipe = popen( command.c_str(), "r" );
        unsigned frame = 0, checksum = 0;
        char line[64];
        while ( pipe != nullptr && std::fgets( line, sizeof( line ), pipe ) != nullptr ) {
            // The game's turns come between its checksums.
            if ( std::strstr( line, " turn " ) == nullptr &&
                 std::sscanf( line, "%u %x", &frame, &checksum ) == 2 ) {
                checksums.push_back( checksum );
            }
        }
        EXPECT_EQ( 0, pipe != nullptr ? pclose( pipe ) : -1 );
        return checksums;
    }

    // A second of keys: right for half of it, then up.
    static NetMessage BlockKeys( int block ) {
        return FromBytes( NetBytes()
                              .U8( 'K' )
                              .U32( uint32_t( 60 * block ) )
                              .U8( 60 )
                              .U8( 2 )
                              .U16( 2 )
                              .U8( 30 )
                              .U16( 4 )
                              .U8( 30 )
                              .bytes );
    }

    // Two players meet in a room of the refereed game and start its match.
    void Meet( TestClient &host, TestClient &guest ) {
        ASSERT_EQ( "101", host.Connect( relay.port ) );
        host.Send( NetHello( NET_CREATE, 2, "", "Ann", header ) );
        const NetMessage welcome = host.Expect( NET_WELCOME );
        ASSERT_EQ( "101", guest.Connect( relay.port ) );
        guest.Send( NetHello( NET_PLAY, 0, welcome.code, "Bob", header ) );
        EXPECT_EQ( 1, guest.Expect( NET_WELCOME ).seat );
        EXPECT_EQ( "Ann", guest.Expect( NET_PLAYER ).name );
        EXPECT_EQ( "Bob", host.Expect( NET_PLAYER ).name );
        host.Send( start );
        EXPECT_EQ( start.columns[0], guest.Expect( NET_MATCH_START ).columns[0] );
    }

    // A block of keys from the host, then each player's checksum after it.
    void PlayBlock( TestClient &host, TestClient &guest, int block, uint32_t hostSays, uint32_t guestSays ) {
        host.Send( BlockKeys( block ) );
        EXPECT_EQ( uint32_t( 60 * block ), guest.Expect( NET_KEYS ).frame );
        host.Send( Checksum( uint32_t( 60 * block + 60 ), hostSays ) );
        guest.Send( Checksum( uint32_t( 60 * block + 60 ), guestSays ) );
    }

    static const int BLOCKS = 3;
    std::vector<uint8_t> header;
    NetMessage start;
    std::vector<uint32_t> truth;
};

TEST_F( RefereedRelay, ThePlayerWhoDiffersFromTheGameIsNamedEvenWithTwo ) {
    StartRelay( { "--referee", KELTO_HEADLESS_PROGRAM, "--referee-data", KELTO_ASSETS_DIR } );
    // Case by case: the block at which each player's checksum goes wrong (BLOCKS for never),
    // and the out of sync the room must hear: its frame and the seat named.
    struct Case {
        int hostWrongFrom;
        int guestWrongFrom;
        uint32_t frame; // 0 for none
        int seat;
    } cases[] = {
        { BLOCKS, BLOCKS, 0, 0 },  // all agree with the game
        { BLOCKS, 2, 180, 1 },     // the guest, at the last block
        { 1, BLOCKS, 120, 0 },     // the host, though two cannot outvote
        { 0, 0, 60, NET_NO_SEAT }, // both agree, and both are wrong
    };
    for ( const Case &c : cases ) {
        TestClient ann, bob;
        Meet( ann, bob );
        for ( int block = 0; block < BLOCKS; block++ ) {
            const uint32_t right = truth[size_t( block )];
            if ( c.frame != 0 && uint32_t( 60 * block ) >= c.frame ) {
                break;
            }
            PlayBlock( ann, bob, block, right ^ ( block >= c.hostWrongFrom ? 0x100u : 0u ),
                       right ^ ( block >= c.guestWrongFrom ? 0x100u : 0u ) );
        }
        if ( c.frame == 0 ) {
            EXPECT_EQ( Heard::NOTHING, bob.Next( 1000 ).kind ) << "all agree";
            continue;
        }
        for ( TestClient *client : { &ann, &bob } ) {
            const NetMessage split = client->Expect( NET_OUT_OF_SYNC );
            EXPECT_EQ( c.frame, split.frame );
            EXPECT_EQ( c.seat, split.seat );
        }
    }
    EXPECT_EQ( 0, relay.Stop() );
}

TEST_F( RefereedRelay, ARefereeThatCannotRunLeavesTheRoomToTheMajority ) {
    StartRelay( { "--referee", "/nonexistent/kelto_headless" } );
    TestClient ann, bob;
    Meet( ann, bob );
    PlayBlock( ann, bob, 0, truth[0], truth[0] );
    PlayBlock( ann, bob, 1, truth[1], truth[1] ^ 1 );
    // Two players: no majority names the seat.
    const NetMessage split = bob.Expect( NET_OUT_OF_SYNC );
    EXPECT_EQ( 120u, split.frame );
    EXPECT_EQ( NET_NO_SEAT, split.seat );
    EXPECT_EQ( 0, relay.Stop() );
}

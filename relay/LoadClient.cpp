#include "relay/LoadClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {

const int OPCODE_BINARY = 2;
const int OPCODE_CLOSE = 8;
const int OPCODE_PING = 9;
const int OPCODE_PONG = 10;

int64_t NowMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch() )
        .count();
}

} // namespace

LoadClient::LoadClient() : socket( -1 ), maskSeed( 0x9E3779B9u ) {
}

LoadClient::~LoadClient() {
    Close();
}

void LoadClient::Close() {
    if ( socket >= 0 ) {
        ::close( socket );
        socket = -1;
    }
}

int LoadClient::Fail( const std::string &reason ) {
    if ( error.empty() ) {
        error = reason;
    }
    Close();
    return 0;
}

int LoadClient::Connect( int port, int milliseconds ) {
    socket = ::socket( AF_INET, SOCK_STREAM, 0 );
    if ( socket < 0 ) {
        return Fail( std::string( "no socket: " ) + std::strerror( errno ) );
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons( uint16_t( port ) );
    address.sin_addr.s_addr = htonl( INADDR_LOOPBACK );
    if ( ::connect( socket, (sockaddr *)&address, sizeof( address ) ) != 0 ) {
        return Fail( std::string( "cannot connect: " ) + std::strerror( errno ) );
    }
    // Keys go out the moment they are pressed, as a game's would.
    int one = 1;
    setsockopt( socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof( one ) );
    fcntl( socket, F_SETFL, fcntl( socket, F_GETFL ) | O_NONBLOCK );
    const std::string request =
        "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
        "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n"
        "Sec-WebSocket-Protocol: kelto\r\n\r\n";
    outgoing.assign( request.begin(), request.end() );
    const int64_t deadline = NowMilliseconds() + milliseconds;
    std::string answer;
    while ( answer.find( "\r\n\r\n" ) == std::string::npos ) {
        if ( !Flush() ) {
            return 0;
        }
        const int left = int( deadline - NowMilliseconds() );
        pollfd poller = { socket, POLLIN, 0 };
        if ( left <= 0 || poll( &poller, 1, left ) != 1 ) {
            return Fail( "no answer to the handshake" );
        }
        // Byte by byte, so that nothing after the answer is taken from the stream.
        char c = 0;
        const ssize_t got = recv( socket, &c, 1, 0 );
        if ( got <= 0 ) {
            return Fail( "closed during the handshake" );
        }
        answer += c;
    }
    if ( answer.compare( 0, 12, "HTTP/1.1 101" ) != 0 ) {
        return Fail( "handshake refused: " + answer.substr( 0, answer.find( '\r' ) ) );
    }
    return 1;
}

void LoadClient::Frame( const std::vector<uint8_t> &payload, int opcode ) {
    outgoing.push_back( uint8_t( 0x80 | opcode ) );
    if ( payload.size() < 126 ) {
        outgoing.push_back( uint8_t( 0x80 | payload.size() ) );
    } else {
        outgoing.push_back( 0x80 | 126 );
        outgoing.push_back( uint8_t( payload.size() >> 8 ) );
        outgoing.push_back( uint8_t( payload.size() ) );
    }
    // A client masks every frame (RFC 6455); any mask will do, so a cheap sequence gives it.
    maskSeed = maskSeed * 1664525u + 1013904223u;
    const uint8_t mask[4] = { uint8_t( maskSeed ), uint8_t( maskSeed >> 8 ), uint8_t( maskSeed >> 16 ),
                              uint8_t( maskSeed >> 24 ) };
    outgoing.insert( outgoing.end(), mask, mask + 4 );
    for ( size_t i = 0; i < payload.size(); i++ ) {
        outgoing.push_back( payload[i] ^ mask[i % 4] );
    }
}

int LoadClient::Send( const NetMessage &message ) {
    if ( socket < 0 ) {
        return 0;
    }
    Frame( message.Write( NET_FROM_CLIENT ), OPCODE_BINARY );
    return Flush();
}

int LoadClient::Flush() {
    if ( socket < 0 ) {
        return 0;
    }
    size_t sent = 0;
    while ( sent < outgoing.size() ) {
        const ssize_t got = ::send( socket, outgoing.data() + sent, outgoing.size() - sent, MSG_NOSIGNAL );
        if ( got < 0 && ( errno == EAGAIN || errno == EWOULDBLOCK ) ) {
            break;
        }
        if ( got <= 0 ) {
            return Fail( std::string( "cannot send: " ) + std::strerror( errno ) );
        }
        sent += size_t( got );
    }
    outgoing.erase( outgoing.begin(), outgoing.begin() + long( sent ) );
    return 1;
}

int LoadClient::Receive( std::vector<NetMessage> &messages ) {
    if ( socket < 0 ) {
        return 0;
    }
    uint8_t buffer[4096];
    for ( ;; ) {
        const ssize_t got = recv( socket, buffer, sizeof( buffer ), 0 );
        if ( got < 0 && ( errno == EAGAIN || errno == EWOULDBLOCK ) ) {
            break;
        }
        if ( got <= 0 ) {
            TakeFrames( messages );
            return Fail( "the relay closed the connection" );
        }
        incoming.insert( incoming.end(), buffer, buffer + got );
    }
    return TakeFrames( messages );
}

// Every whole frame in `incoming`: messages kept, pings answered, a close ends the connection.
int LoadClient::TakeFrames( std::vector<NetMessage> &messages ) {
    size_t at = 0;
    int open = 1;
    while ( open && incoming.size() - at >= 2 ) {
        size_t length = incoming[at + 1] & 0x7F;
        size_t head = 2;
        if ( length == 126 ) {
            if ( incoming.size() - at < 4 ) {
                break;
            }
            length = size_t( incoming[at + 2] ) << 8 | incoming[at + 3];
            head = 4;
        } else if ( length == 127 || ( incoming[at + 1] & 0x80 ) != 0 ) {
            return Fail( "a frame no relay sends" );
        }
        if ( incoming.size() - at < head + length ) {
            break;
        }
        const int opcode = incoming[at] & 0x0F;
        const std::vector<uint8_t> payload( incoming.begin() + long( at + head ),
                                            incoming.begin() + long( at + head + length ) );
        at += head + length;
        if ( opcode == OPCODE_BINARY ) {
            NetMessage message;
            if ( !message.Read( payload.data(), payload.size(), NET_FROM_RELAY ) ) {
                return Fail( std::string( "a malformed message from the relay: " ) + message.GetError() );
            }
            messages.push_back( message );
        } else if ( opcode == OPCODE_PING ) {
            Frame( payload, OPCODE_PONG );
        } else if ( opcode == OPCODE_CLOSE ) {
            open = 0;
        }
    }
    incoming.erase( incoming.begin(), incoming.begin() + long( at ) );
    if ( !open ) {
        return Fail( "the relay closed the connection" );
    }
    return Flush();
}

int LoadClient::Await( uint8_t type, NetMessage &found, int milliseconds ) {
    const int64_t deadline = NowMilliseconds() + milliseconds;
    for ( ;; ) {
        std::vector<NetMessage> messages;
        const int open = Receive( messages );
        for ( const NetMessage &message : messages ) {
            if ( message.type == NET_ERROR ) {
                error = "refused: " + message.reason;
                Close();
                return 0;
            }
            if ( message.type == type ) {
                found = message;
                return 1;
            }
        }
        if ( !open ) {
            return 0;
        }
        const int left = int( deadline - NowMilliseconds() );
        pollfd poller = { socket, POLLIN, 0 };
        if ( left <= 0 || poll( &poller, 1, left ) != 1 ) {
            return Fail( std::string( "no '" ) + char( type ) + "' in time" );
        }
    }
}

#include "host/HostSocket.h"

#include <cstdlib>
#include <cstring>
#include <deque>

#if KELTO_ONLINE
#include <libwebsockets.h>
#endif

#if !defined( __EMSCRIPTEN__ )
const char *HostSocket::GetDefaultScheme() {
    return "ws://";
}
#endif

int HostSocket::IsSecureUrl( const std::string &url ) {
    return url.compare( 0, 6, "wss://" ) == 0;
}

int HostSocket::SplitUrl( const std::string &url, std::string &host, int &port, std::string &path ) {
    const int secure = IsSecureUrl( url );
    const std::string scheme = secure ? "wss://" : "ws://";
    if ( url.compare( 0, scheme.size(), scheme ) != 0 ) {
        return 0;
    }
    const size_t hostStart = scheme.size();
    size_t hostEnd = url.find_first_of( ":/", hostStart );
    if ( hostEnd == std::string::npos ) {
        hostEnd = url.size();
    }
    host = url.substr( hostStart, hostEnd - hostStart );
    if ( host.empty() ) {
        return 0;
    }
    port = secure ? 443 : 80;
    size_t pathStart = hostEnd;
    if ( hostEnd < url.size() && url[hostEnd] == ':' ) {
        pathStart = url.find( '/', hostEnd );
        if ( pathStart == std::string::npos ) {
            pathStart = url.size();
        }
        const std::string digits = url.substr( hostEnd + 1, pathStart - hostEnd - 1 );
        if ( digits.empty() || digits.size() > 5 ||
             digits.find_first_not_of( "0123456789" ) != std::string::npos ) {
            return 0;
        }
        port = std::atoi( digits.c_str() );
        if ( port < 1 || port > 65535 ) {
            return 0;
        }
    }
    path = pathStart < url.size() ? url.substr( pathStart ) : "/";
    return 1;
}

#if KELTO_ONLINE

struct HostSocket::Connection {
    HostSocket *owner;
    lws_context *context = nullptr;
    lws *wsi = nullptr;
    int open = 0;
    int closed = 0;
    int closeAsked = 0;
    std::string host;
    std::string path;
    std::vector<uint8_t> incoming;
    std::deque<std::vector<uint8_t>> received;
    std::deque<std::vector<uint8_t>> outgoing;
};

namespace {

// Messages are far smaller than this; a longer one from a relay is refused by the reader above.
const size_t LONGEST_MESSAGE = 4096;

void Lost( HostSocket::Connection &c, const std::string &reason ) {
    if ( !c.closed ) {
        c.closed = 1;
        c.open = 0;
        c.wsi = nullptr;
        if ( !reason.empty() ) {
            c.owner->SetError( reason );
        }
    }
}

int Callback( lws *wsi, enum lws_callback_reasons reason, void *, void *in, size_t length ) {
    HostSocket::Connection *c = static_cast<HostSocket::Connection *>( lws_get_opaque_user_data( wsi ) );
    if ( c == nullptr ) {
        return 0;
    }
    switch ( reason ) {
    case LWS_CALLBACK_CLIENT_ESTABLISHED:
        c->open = 1;
        if ( !c->outgoing.empty() ) {
            lws_callback_on_writable( wsi );
        }
        break;
    case LWS_CALLBACK_CLIENT_CONNECTION_ERROR: {
        const std::string detail = in != nullptr ? static_cast<const char *>( in ) : "no answer";
        // OpenSSL's own words say little to a player.
        Lost( *c, detail.find( "SSL" ) != std::string::npos
                      ? "cannot reach the relay: its certificate is not trusted here (" + detail + ")"
                      : "cannot reach the relay: " + detail );
        break;
    }
    case LWS_CALLBACK_CLIENT_RECEIVE: {
        if ( lws_is_first_fragment( wsi ) ) {
            c->incoming.clear();
        }
        if ( c->incoming.size() + length > LONGEST_MESSAGE ) {
            Lost( *c, "the relay sent a message too long" );
            return -1;
        }
        const uint8_t *bytes = static_cast<const uint8_t *>( in );
        c->incoming.insert( c->incoming.end(), bytes, bytes + length );
        if ( lws_is_final_fragment( wsi ) && lws_remaining_packet_payload( wsi ) == 0 ) {
            c->received.push_back( c->incoming );
            c->incoming.clear();
        }
        break;
    }
    case LWS_CALLBACK_CLIENT_WRITEABLE: {
        if ( c->closeAsked && c->outgoing.empty() ) {
            lws_close_reason( wsi, LWS_CLOSE_STATUS_NORMAL, nullptr, 0 );
            return -1;
        }
        if ( c->outgoing.empty() ) {
            break;
        }
        std::vector<uint8_t> buffer( LWS_PRE + c->outgoing.front().size() );
        std::memcpy( buffer.data() + LWS_PRE, c->outgoing.front().data(), c->outgoing.front().size() );
        if ( lws_write( wsi, buffer.data() + LWS_PRE, c->outgoing.front().size(), LWS_WRITE_BINARY ) < 0 ) {
            Lost( *c, "cannot write to the relay" );
            return -1;
        }
        c->outgoing.pop_front();
        if ( !c->outgoing.empty() || c->closeAsked ) {
            lws_callback_on_writable( wsi );
        }
        break;
    }
    case LWS_CALLBACK_CLIENT_CLOSED:
    case LWS_CALLBACK_CLOSED:
        Lost( *c, c->closeAsked ? "" : "the relay is gone: the match is over" );
        break;
    default:
        break;
    }
    return 0;
}

const lws_protocols PROTOCOLS[] = {
    { "kelto", Callback, 0, LONGEST_MESSAGE, 0, nullptr, 0 },
    { nullptr, nullptr, 0, 0, 0, nullptr, 0 },
};

} // namespace

HostSocket::HostSocket() : connection( nullptr ) {
}

HostSocket::~HostSocket() {
    if ( connection != nullptr && connection->context != nullptr ) {
        lws_context_destroy( connection->context );
    }
    delete connection;
}

int HostSocket::IsAvailable() {
    return 1;
}

int HostSocket::Open( const std::string &url ) {
    int port = 0;
    // A connection that has closed, or that this game has said goodbye to, gives way to the next.
    if ( connection != nullptr && ( connection->closed || connection->closeAsked ) ) {
        if ( connection->context != nullptr ) {
            lws_context_destroy( connection->context );
        }
        delete connection;
        connection = nullptr;
    }
    if ( connection != nullptr ) {
        error = "already open";
        return 0;
    }
    connection = new Connection();
    connection->owner = this;
    if ( !SplitUrl( url, connection->host, port, connection->path ) ) {
        error = "not a ws://HOST:PORT/CODE address: " + url;
        connection->closed = 1;
        return 0;
    }
    const int secure = IsSecureUrl( url );
    lws_set_log_level( LLL_ERR, nullptr );
    lws_context_creation_info info;
    std::memset( &info, 0, sizeof( info ) );
    info.port = CONTEXT_PORT_NO_LISTEN;
    info.protocols = PROTOCOLS;
    info.gid = -1;
    info.uid = -1;
    if ( secure ) {
        // The system's certificate authorities vouch for a relay, or the one certificate
        // KELTO_RELAY_CA names alone (a relay of one's own, signed by itself).
        info.options = LWS_SERVER_OPTION_DO_SSL_GLOBAL_INIT;
        const char *authority = std::getenv( "KELTO_RELAY_CA" );
        info.client_ssl_ca_filepath = authority != nullptr && *authority != '\0' ? authority : nullptr;
    }
    connection->context = lws_create_context( &info );
    if ( connection->context == nullptr ) {
        error = "cannot start the network";
        connection->closed = 1;
        return 0;
    }
    lws_client_connect_info ci;
    std::memset( &ci, 0, sizeof( ci ) );
    ci.context = connection->context;
    ci.address = connection->host.c_str();
    ci.port = port;
    ci.path = connection->path.c_str();
    ci.host = connection->host.c_str();
    // No Origin: the game is not a web page, and a relay that only lets its own page's scripts
    // in lets a handshake without one through.
    ci.origin = nullptr;
    ci.ssl_connection = secure ? LCCSCF_USE_SSL : 0;
    ci.protocol = PROTOCOLS[0].name;
    ci.opaque_user_data = connection;
    ci.pwsi = &connection->wsi;
    if ( lws_client_connect_via_info( &ci ) == nullptr ) {
        if ( !connection->closed ) {
            error = "cannot reach the relay at " + url;
        }
        connection->closed = 1;
        return 0;
    }
    return 1;
}

void HostSocket::Service() {
    if ( connection == nullptr || connection->context == nullptr ) {
        return;
    }
    if ( connection->wsi != nullptr && connection->open &&
         ( !connection->outgoing.empty() || connection->closeAsked ) ) {
        lws_callback_on_writable( connection->wsi );
    }
    // A negative wait only looks at the sockets: the frame never stops for the network.
    lws_service( connection->context, -1 );
}

int HostSocket::Send( const std::vector<uint8_t> &message ) {
    if ( connection == nullptr || connection->closed || connection->closeAsked ) {
        return 0;
    }
    connection->outgoing.push_back( message );
    return 1;
}

int HostSocket::Receive( std::vector<uint8_t> &message ) {
    if ( connection == nullptr || connection->received.empty() ) {
        return 0;
    }
    message = connection->received.front();
    connection->received.pop_front();
    return 1;
}

void HostSocket::Close() {
    if ( connection != nullptr && !connection->closed ) {
        connection->closeAsked = 1;
    }
}

int HostSocket::IsOpen() const {
    return connection != nullptr && connection->open && !connection->closed;
}

int HostSocket::IsClosed() const {
    return connection != nullptr && connection->closed;
}

#elif !defined( __EMSCRIPTEN__ )

// A browser's connection is host/web/WebHostSocket.cpp's.
struct HostSocket::Connection {};

HostSocket::HostSocket() : connection( nullptr ) {
}

HostSocket::~HostSocket() {
    delete connection;
}

int HostSocket::IsAvailable() {
    return 0;
}

int HostSocket::Open( const std::string & ) {
    error = "this build has no online play (built without libwebsockets)";
    return 0;
}

void HostSocket::Service() {
}

int HostSocket::Send( const std::vector<uint8_t> & ) {
    return 0;
}

int HostSocket::Receive( std::vector<uint8_t> & ) {
    return 0;
}

void HostSocket::Close() {
}

int HostSocket::IsOpen() const {
    return 0;
}

int HostSocket::IsClosed() const {
    return 1;
}

#endif

// HostSocket in a browser: the page's own WebSocket, through Emscripten's binding. The browser
// delivers whole messages between frames, from its event loop; they wait here until the game
// takes them. A socket's events find their connection by the socket's handle, so that a
// connection let go never hears from its old socket again.

#include "host/HostSocket.h"

#include <emscripten/em_js.h>
#include <emscripten/websocket.h>

#include <deque>
#include <map>

struct HostSocket::Connection {
    HostSocket *owner;
    EMSCRIPTEN_WEBSOCKET_T socket = 0;
    int open = 0;
    int closed = 0;
    std::string url;
    std::deque<std::vector<uint8_t>> received;
    std::deque<std::vector<uint8_t>> outgoing; // until the socket is open
};

namespace {

// Messages are far smaller than this; a longer one from a relay is refused by the reader above.
const uint32_t LONGEST_MESSAGE = 4096;

std::map<EMSCRIPTEN_WEBSOCKET_T, HostSocket::Connection *> g_connections;

HostSocket::Connection *Find( EMSCRIPTEN_WEBSOCKET_T socket ) {
    const auto found = g_connections.find( socket );
    return found != g_connections.end() ? found->second : nullptr;
}

void Lost( HostSocket::Connection &c, const std::string &reason ) {
    if ( !c.closed ) {
        c.closed = 1;
        c.open = 0;
        c.owner->SetError( reason );
        emscripten_websocket_close( c.socket, 1000, "" );
    }
}

void SendNow( HostSocket::Connection &c, const std::vector<uint8_t> &message ) {
    if ( emscripten_websocket_send_binary( c.socket, const_cast<uint8_t *>( message.data() ),
                                           uint32_t( message.size() ) ) != EMSCRIPTEN_RESULT_SUCCESS ) {
        Lost( c, "cannot write to the relay" );
    }
}

EM_BOOL Opened( int, const EmscriptenWebSocketOpenEvent *event, void * ) {
    HostSocket::Connection *c = Find( event->socket );
    if ( c != nullptr && !c->closed ) {
        c->open = 1;
        for ( const std::vector<uint8_t> &message : c->outgoing ) {
            SendNow( *c, message );
        }
        c->outgoing.clear();
    }
    return EM_TRUE;
}

EM_BOOL Heard( int, const EmscriptenWebSocketMessageEvent *event, void * ) {
    HostSocket::Connection *c = Find( event->socket );
    if ( c == nullptr || c->closed ) {
        return EM_TRUE;
    }
    if ( event->isText || event->numBytes > LONGEST_MESSAGE ) {
        Lost( *c, event->isText ? "the relay sent text" : "the relay sent a message too long" );
        return EM_TRUE;
    }
    c->received.emplace_back( event->data, event->data + event->numBytes );
    return EM_TRUE;
}

// The browser says no more than that an error happened; the close that follows says the rest.
EM_BOOL Failed( int, const EmscriptenWebSocketErrorEvent *, void * ) {
    return EM_TRUE;
}

EM_BOOL Closed( int, const EmscriptenWebSocketCloseEvent *event, void * ) {
    HostSocket::Connection *c = Find( event->socket );
    if ( c != nullptr ) {
        Lost( *c, c->open ? "the relay is gone: the match is over" : "cannot reach the relay at " + c->url );
    }
    return EM_TRUE;
}

void LetGo( HostSocket::Connection *c ) {
    if ( c == nullptr ) {
        return;
    }
    if ( c->socket > 0 ) {
        if ( !c->closed ) {
            emscripten_websocket_close( c->socket, 1000, "" );
        }
        g_connections.erase( c->socket );
        emscripten_websocket_delete( c->socket );
    }
    delete c;
}

} // namespace

// clang-format off
EM_JS( int, PageIsSecure, (), { return location.protocol == "https:" ? 1 : 0; } );
// clang-format on

const char *HostSocket::GetDefaultScheme() {
    return PageIsSecure() ? "wss://" : "ws://";
}

HostSocket::HostSocket() : connection( nullptr ) {
}

HostSocket::~HostSocket() {
    LetGo( connection );
}

int HostSocket::IsAvailable() {
    return emscripten_websocket_is_supported() ? 1 : 0;
}

int HostSocket::Open( const std::string &url ) {
    // A connection that has closed gives way to the next one.
    if ( connection != nullptr && !connection->closed ) {
        error = "already open";
        return 0;
    }
    LetGo( connection );
    connection = new Connection();
    connection->owner = this;
    connection->url = url;
    std::string host;
    std::string path;
    int port = 0;
    if ( !SplitUrl( url, host, port, path ) ) {
        error = "not a ws://HOST:PORT/CODE address: " + url;
        connection->closed = 1;
        return 0;
    }
    EmscriptenWebSocketCreateAttributes attributes;
    emscripten_websocket_init_create_attributes( &attributes );
    attributes.url = url.c_str();
    attributes.protocols = "kelto";
    attributes.createOnMainThread = EM_TRUE;
    const EMSCRIPTEN_WEBSOCKET_T socket = emscripten_websocket_new( &attributes );
    if ( socket <= 0 ) {
        error = "cannot reach the relay at " + url;
        connection->closed = 1;
        return 0;
    }
    connection->socket = socket;
    g_connections[socket] = connection;
    emscripten_websocket_set_onopen_callback( socket, nullptr, Opened );
    emscripten_websocket_set_onmessage_callback( socket, nullptr, Heard );
    emscripten_websocket_set_onerror_callback( socket, nullptr, Failed );
    emscripten_websocket_set_onclose_callback( socket, nullptr, Closed );
    return 1;
}

// The browser moves the messages between frames by itself.
void HostSocket::Service() {
}

int HostSocket::Send( const std::vector<uint8_t> &message ) {
    if ( connection == nullptr || connection->closed ) {
        return 0;
    }
    if ( connection->open ) {
        SendNow( *connection, message );
    } else {
        connection->outgoing.push_back( message );
    }
    return !connection->closed;
}

int HostSocket::Receive( std::vector<uint8_t> &message ) {
    if ( connection == nullptr || connection->received.empty() ) {
        return 0;
    }
    message = connection->received.front();
    connection->received.pop_front();
    return 1;
}

// The browser sends what was queued before the close; the game need not wait for it.
void HostSocket::Close() {
    if ( connection != nullptr && !connection->closed ) {
        connection->closed = 1;
        connection->open = 0;
        emscripten_websocket_close( connection->socket, 1000, "" );
    }
}

int HostSocket::IsOpen() const {
    return connection != nullptr && connection->open && !connection->closed;
}

int HostSocket::IsClosed() const {
    return connection != nullptr && connection->closed;
}

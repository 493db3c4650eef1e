#include "relay/RelayServer.h"

#include <libwebsockets.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>
#include <vector>

namespace {

// Every connection may send this many messages a second on average, in bursts of as many.
const double MESSAGES_PER_SECOND = 120.0;
// Messages waiting for a client that does not read; more and it is dropped.
const size_t MAX_WAITING = 1024;
// How often connections that never said hello are looked for.
const int64_t SWEEP_MICROSECONDS = 250000;
// How often the referees are fed and heard.
const int64_t REFEREE_MICROSECONDS = 20000;
// A referee this many frames behind the stream is given up before the players' checksums
// wait long enough to be refused.
const uint32_t REFEREE_MAX_LAG_FRAMES = 30 * 60;
// A talking connection is confirmed alive to libwebsockets at most this often: each confirmation
// re-sorts its list of timers, which at 60 messages a second from hundreds of players cost a
// fifth of the relay's time.
const int64_t CONFIRM_MICROSECONDS = 1000000;
// At most this many messages go out in one turn at a connection, so that one busy room cannot
// keep the others waiting.
const int MAX_WRITES_AT_ONCE = 16;

int64_t NowMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch() )
        .count();
}

// The error message's text: printable and short, whatever went into the reason.
std::string Reason( const std::string &text ) {
    std::string reason;
    for ( char c : text ) {
        if ( reason.size() < size_t( NET_MAX_REASON_LENGTH ) ) {
            reason += c >= ' ' && c <= '~' ? c : '?';
        }
    }
    return reason;
}

} // namespace

struct RelayServer::Session {
    lws *wsi;
    int connection;
    std::string room; // empty until its hello is taken
    std::vector<uint8_t> incoming;
    std::deque<std::vector<uint8_t>> outgoing;
    int closing;
    std::string closeReason;
    double tokens;
    int64_t lastRefill;
    int64_t lastHeard;
    int64_t lastConfirmed;
};

// The timer that looks for connections that never said hello.
struct RelaySweepTimer {
    lws_sorted_usec_list_t sul; // first, so that the timer's pointer is this one's
    RelayServer *server;
};

namespace {

RelaySweepTimer g_sweepTimer;
RelaySweepTimer g_refereeTimer;

void SweepNow( lws_sorted_usec_list_t *sul ) {
    reinterpret_cast<RelaySweepTimer *>( sul )->server->Sweep();
}

void ServiceRefereesNow( lws_sorted_usec_list_t *sul ) {
    reinterpret_cast<RelaySweepTimer *>( sul )->server->ServiceReferees();
}

int Callback( lws *wsi, enum lws_callback_reasons reason, void *user, void *in, size_t length ) {
    RelayServer *server = static_cast<RelayServer *>( lws_context_user( lws_get_context( wsi ) ) );
    if ( server == nullptr ) {
        return 0;
    }
    RelayServer::Session **slot = static_cast<RelayServer::Session **>( user );
    RelayServer::Session *none = nullptr;
    return server->OnEvent( wsi, int( reason ), slot != nullptr ? *slot : none, in, length );
}

const lws_protocols g_protocols[] = {
    { "kelto", Callback, sizeof( RelayServer::Session * ), NET_MAX_MESSAGE_SIZE, 0, nullptr, 0 },
    { nullptr, nullptr, 0, 0, 0, nullptr, 0 },
};

} // namespace

RelayServer::RelayServer() : context( nullptr ), port( 0 ), stopping( 0 ), nextConnection( 1 ) {
}

RelayServer::~RelayServer() {
    if ( context != nullptr ) {
        lws_context_destroy( context );
    }
    for ( auto &entry : sessions ) {
        delete entry.second;
    }
}

int RelayServer::Create( const RelayOptions &relayOptions ) {
    options = relayOptions;
    // A browser names its page's origin without a path: "https://kelto.example/" as typed means
    // the same page.
    while ( options.origin.size() > 1 && options.origin.back() == '/' ) {
        options.origin.pop_back();
    }
    std::random_device random;
    codes.Seed( ( uint64_t( random() ) << 32 ) ^ uint64_t( random() ) );
    lws_set_log_level( LLL_ERR, nullptr );
    lws_context_creation_info info;
    std::memset( &info, 0, sizeof( info ) );
    info.port = options.port;
    info.iface = options.address.empty() ? nullptr : options.address.c_str();
    info.protocols = g_protocols;
    info.user = this;
    info.options = LWS_SERVER_OPTION_VALIDATE_UTF8;
    if ( !options.certificate.empty() ) {
        info.options |= LWS_SERVER_OPTION_DO_SSL_GLOBAL_INIT;
        info.ssl_cert_filepath = options.certificate.c_str();
        info.ssl_private_key_filepath = options.privateKey.c_str();
    }
    // Once a connection has said hello, it is alive while it talks or answers our pings (which a
    // browser does by itself, so a spectator who only watches stays): pinged after the idle time,
    // hung up after twice that, well after the sweep has closed the ones that never said hello.
    idlePolicy.secs_since_valid_ping = uint16_t( options.idleSeconds );
    idlePolicy.secs_since_valid_hangup = uint16_t( 2 * options.idleSeconds );
    info.retry_and_idle_policy = &idlePolicy;
    context = lws_create_context( &info );
    if ( context == nullptr ) {
        error = "cannot listen on port " + std::to_string( options.port );
        if ( !options.certificate.empty() ) {
            error += " with the certificate " + options.certificate + " and the key " + options.privateKey;
        }
        return 0;
    }
    lws_vhost *vhost = lws_get_vhost_by_name( context, "default" );
    port = vhost != nullptr ? lws_get_vhost_listen_port( vhost ) : options.port;
    g_sweepTimer.server = this;
    lws_sul_schedule( context, 0, &g_sweepTimer.sul, SweepNow, SWEEP_MICROSECONDS );
    if ( !options.referee.empty() ) {
        // Without it every room's referee starts on its own, as it would anyway once it died.
        if ( options.refereeForking && !forker.Start( options.referee, options.refereeData ) ) {
            std::fprintf( stderr, "kelto-relay: the forking referee: %s\n", forker.GetError() );
        }
        g_refereeTimer.server = this;
        lws_sul_schedule( context, 0, &g_refereeTimer.sul, ServiceRefereesNow, REFEREE_MICROSECONDS );
    }
    return 1;
}

void RelayServer::Run() {
    while ( !stopping ) {
        if ( lws_service( context, 0 ) < 0 ) {
            break;
        }
    }
}

void RelayServer::Stop() {
    stopping = 1;
    if ( context != nullptr ) {
        lws_cancel_service( context );
    }
}

// The origin keeps other web pages' scripts from using this relay: a browser names the page
// that opened the socket in every handshake, and cannot be made to leave it out. A handshake
// that names none (the desktop game's, the load tool's) comes from no page, and a program that
// is not a browser could name any origin anyway, so it is let in.
int RelayServer::OriginAllowed( lws *wsi ) {
    if ( options.origin.empty() || lws_hdr_total_length( wsi, WSI_TOKEN_ORIGIN ) == 0 ) {
        return 1;
    }
    char origin[256];
    const int length = lws_hdr_copy( wsi, origin, sizeof( origin ), WSI_TOKEN_ORIGIN );
    return length > 0 && options.origin == origin;
}

int RelayServer::OnEvent( lws *wsi, int reason, Session *&session, const void *in, size_t length ) {
    switch ( reason ) {
    case LWS_CALLBACK_FILTER_PROTOCOL_CONNECTION:
        return OriginAllowed( wsi ) ? 0 : 1;
    case LWS_CALLBACK_ESTABLISHED:
        Open( wsi, session );
        return 0;
    case LWS_CALLBACK_RECEIVE:
        if ( session != nullptr ) {
            Heard( session, static_cast<const uint8_t *>( in ), length, lws_frame_is_binary( wsi ),
                   lws_is_final_fragment( wsi ) && lws_remaining_packet_payload( wsi ) == 0 );
        }
        return 0;
    case LWS_CALLBACK_SERVER_WRITEABLE:
        return session != nullptr ? Write( session ) : 0;
    case LWS_CALLBACK_CLOSED:
        if ( session != nullptr ) {
            Closed( session );
            session = nullptr;
        }
        return 0;
    default:
        return 0;
    }
}

void RelayServer::Open( lws *wsi, Session *&session ) {
    session = new Session{ wsi,
                           nextConnection++,
                           std::string(),
                           {},
                           {},
                           0,
                           std::string(),
                           MESSAGES_PER_SECOND,
                           NowMicroseconds(),
                           NowMicroseconds(),
                           NowMicroseconds() };
    const int full = int( sessions.size() ) >= options.maxConnections;
    sessions[session->connection] = session;
    if ( full ) {
        Refuse( session,
                "the relay holds its " + std::to_string( options.maxConnections ) + " connections already" );
    }
}

void RelayServer::Closed( Session *session ) {
    sessions.erase( session->connection );
    auto found = rooms.find( session->room );
    if ( found != rooms.end() ) {
        found->second->Leave( session->connection );
        Deliver( *found->second );
        ForgetIfEmpty( session->room );
    }
    delete session;
}

void RelayServer::Heard( Session *session, const uint8_t *bytes, size_t length, int binary, int final ) {
    if ( session->closing ) {
        return;
    }
    const int64_t now = NowMicroseconds();
    session->lastHeard = now;
    // A connection that talks is as alive as one that answers pings.
    if ( now - session->lastConfirmed >= CONFIRM_MICROSECONDS ) {
        session->lastConfirmed = now;
        lws_validity_confirmed( session->wsi );
    }
    if ( !binary ) {
        Refuse( session, "text messages are not spoken here" );
        return;
    }
    session->incoming.insert( session->incoming.end(), bytes, bytes + length );
    const size_t whole = session->incoming.size() + lws_remaining_packet_payload( session->wsi );
    if ( whole > NET_MAX_MESSAGE_SIZE ) {
        Refuse( session, "message of " + std::to_string( whole ) + " bytes is longer than " +
                             std::to_string( NET_MAX_MESSAGE_SIZE ) );
        return;
    }
    if ( !final ) {
        return;
    }
    session->tokens += double( now - session->lastRefill ) * MESSAGES_PER_SECOND / 1e6;
    session->tokens = session->tokens > MESSAGES_PER_SECOND ? MESSAGES_PER_SECOND : session->tokens;
    session->lastRefill = now;
    if ( session->tokens < 1.0 ) {
        Refuse( session, "too many messages" );
        return;
    }
    session->tokens -= 1.0;
    NetMessage message;
    const int read = message.Read( session->incoming.data(), session->incoming.size(), NET_FROM_CLIENT );
    session->incoming.clear();
    if ( !read ) {
        Refuse( session, message.GetError() );
        return;
    }
    Handle( session, message );
}

void RelayServer::Handle( Session *session, const NetMessage &message ) {
    if ( session->room.empty() ) {
        Hello( session, message );
        return;
    }
    auto found = rooms.find( session->room );
    if ( found == rooms.end() ) {
        Refuse( session, "the room is gone" );
        return;
    }
    RelayRoom &room = *found->second;
    const int seat = room.GetSeatOf( session->connection );
    const uint32_t taken = room.GetTakenCount();
    if ( !room.Receive( session->connection, message ) ) {
        Refuse( session, room.GetError() );
        return;
    }
    // A host back in its seat draws again the winds and starts again the matches the stream
    // holds already: only what the stream took, and the checksums, reach the referee.
    if ( message.type == NET_CHECKSUM || room.GetTakenCount() != taken ) {
        Referee( session->room, seat, message );
    }
    Deliver( room );
    ForgetIfEmpty( session->room );
}

void RelayServer::Hello( Session *session, const NetMessage &message ) {
    if ( message.type != NET_HELLO ) {
        Refuse( session, "a connection begins with a hello" );
        return;
    }
    std::string code = message.code;
    if ( message.role == NET_CREATE ) {
        if ( int( rooms.size() ) >= options.maxRooms ) {
            Refuse( session, "the relay holds its " + std::to_string( options.maxRooms ) + " rooms already" );
            return;
        }
        code = codes.Take();
        std::unique_ptr<RelayRoom> room( new RelayRoom );
        if ( code.empty() ||
             !room->Create( code, message.seats, message.header, session->connection, message.name ) ) {
            codes.Release( code );
            Refuse( session, code.empty() ? "no room code is free" : room->GetError() );
            return;
        }
        rooms[code] = std::move( room );
    } else {
        auto found = rooms.find( code );
        if ( found == rooms.end() ) {
            Refuse( session, "no room " + code );
            return;
        }
        if ( !found->second->Join( session->connection, message.role, message.name, message.header ) ) {
            Refuse( session, found->second->GetError() );
            return;
        }
    }
    session->room = code;
    Deliver( *rooms[code] );
}

void RelayServer::Deliver( RelayRoom &room ) {
    for ( NetDelivery &delivery : room.TakeOutbox() ) {
        auto found = sessions.find( delivery.connection );
        if ( found == sessions.end() || found->second->closing ) {
            continue;
        }
        Session *session = found->second;
        if ( session->outgoing.size() >= MAX_WAITING ) {
            session->outgoing.clear();
            Refuse( session, "too slow to read the match" );
            continue;
        }
        if ( !delivery.bytes.empty() ) {
            session->outgoing.push_back( std::move( delivery.bytes ) );
        }
        session->closing = delivery.close;
        lws_callback_on_writable( session->wsi );
    }
}

void RelayServer::ForgetIfEmpty( const std::string &code ) {
    auto found = rooms.find( code );
    if ( found != rooms.end() && found->second->GetMemberCount() == 0 ) {
        if ( referees.count( code ) != 0 ) {
            // The room's last word on its referee: it stayed on to the end of the match.
            std::fprintf(
                stderr,
                "kelto-relay: room %s: the referee stayed on through %u winds and agreed at %u checksums\n",
                code.c_str(), unsigned( found->second->GetWindCount() ),
                unsigned( found->second->GetRefereeAgreed() ) );
        }
        codes.Release( code );
        rooms.erase( found );
        referees.erase( code );
    }
}

// What the room took into its stream goes to its referee, started with the first match.
void RelayServer::Referee( const std::string &code, int seat, const NetMessage &message ) {
    if ( options.referee.empty() ) {
        return;
    }
    RelayRoom &room = *rooms[code];
    auto found = referees.find( code );
    if ( found == referees.end() ) {
        if ( message.type != NET_MATCH_START || message.frame != 0 ) {
            return;
        }
        std::unique_ptr<RelayReferee> referee( new RelayReferee );
        RefereeForker *parent = forker.IsRunning() ? &forker : nullptr;
        if ( !referee->Start( options.referee, options.refereeData, room.GetHeader(), parent ) ) {
            std::fprintf( stderr, "kelto-relay: room %s: referee %s: %s\n", code.c_str(),
                          options.referee.c_str(), referee->GetError() );
            return;
        }
        if ( parent != nullptr && !forker.IsRunning() ) {
            std::fprintf( stderr, "kelto-relay: the forking referee %s; each room's referee starts alone\n",
                          forker.GetError() );
        }
        found = referees.emplace( code, std::move( referee ) ).first;
        room.SetRefereed( 1 );
    }
    if ( !found->second->Add( seat, message ) ) {
        DropReferee( code, found->second->GetError() );
    }
}

// The room goes back to its players' majority; no other room notices.
void RelayServer::DropReferee( const std::string &code, const char *reason ) {
    std::fprintf( stderr, "kelto-relay: room %s: the referee %s; the players' majority checks the room\n",
                  code.c_str(), reason );
    auto room = rooms.find( code );
    if ( room != rooms.end() ) {
        room->second->SetRefereed( 0 );
        Deliver( *room->second );
    }
    referees.erase( code );
}

void RelayServer::ServiceReferees() {
    std::vector<std::string> failed;
    for ( auto &entry : referees ) {
        auto found = rooms.find( entry.first );
        if ( found == rooms.end() ) {
            failed.push_back( entry.first ); // not reached: a room's referee goes with it
            continue;
        }
        RelayRoom &room = *found->second;
        std::vector<RefereeChecksum> checksums;
        const int alive = entry.second->Service( checksums );
        const int wasOutOfSync = room.IsOutOfSync();
        for ( const RefereeChecksum &checksum : checksums ) {
            if ( checksum.turn ) {
                room.ReceiveRefereeTurn( checksum.frame, checksum.tank );
            } else {
                room.ReceiveRefereeChecksum( checksum.frame, checksum.checksum );
            }
        }
        if ( !wasOutOfSync && room.IsOutOfSync() ) {
            std::fprintf( stderr, "kelto-relay: room %s: out of sync: %s\n", entry.first.c_str(),
                          room.GetOutOfSyncReason().c_str() );
        }
        Deliver( room );
        if ( !alive ) {
            failed.push_back( entry.first );
        } else if ( room.GetStreamFrames() > entry.second->GetLastFrame() + REFEREE_MAX_LAG_FRAMES ) {
            entry.second->GiveUp( "falls behind the match" );
            failed.push_back( entry.first );
        }
    }
    for ( const std::string &code : failed ) {
        auto found = referees.find( code );
        DropReferee( code, found->second->GetError() );
    }
    lws_sul_schedule( context, 0, &g_refereeTimer.sul, ServiceRefereesNow, REFEREE_MICROSECONDS );
}

void RelayServer::Refuse( Session *session, const std::string &text ) {
    if ( session->closing ) {
        return;
    }
    NetMessage message;
    message.type = NET_ERROR;
    message.reason = Reason( text );
    session->outgoing.push_back( message.Write( NET_FROM_RELAY ) );
    session->closing = 1;
    session->closeReason = message.reason;
    std::fprintf( stderr, "kelto-relay: connection %d: %s\n", session->connection, message.reason.c_str() );
    lws_callback_on_writable( session->wsi );
}

int RelayServer::Write( Session *session ) {
    // Whatever waits goes out while the socket takes it, rather than one message a turn of
    // the event loop: a room's keys reach three players sixty times a second.
    int written = 0;
    for ( ; !session->outgoing.empty() && written < MAX_WRITES_AT_ONCE; written++ ) {
        if ( written > 0 && lws_send_pipe_choked( session->wsi ) ) {
            break;
        }
        std::vector<uint8_t> &bytes = session->outgoing.front();
        std::vector<uint8_t> buffer( LWS_PRE + bytes.size() );
        std::memcpy( buffer.data() + LWS_PRE, bytes.data(), bytes.size() );
        if ( lws_write( session->wsi, buffer.data() + LWS_PRE, bytes.size(), LWS_WRITE_BINARY ) <
             int( bytes.size() ) ) {
            return -1;
        }
        session->outgoing.pop_front();
    }
    // A connection being closed hangs up at its next turn, once the last message has left.
    if ( !session->outgoing.empty() || ( session->closing && written > 0 ) ) {
        lws_callback_on_writable( session->wsi );
        return 0;
    }
    if ( session->closing ) {
        const std::string &reason = session->closeReason;
        lws_close_reason( session->wsi,
                          reason.empty() ? LWS_CLOSE_STATUS_NORMAL : LWS_CLOSE_STATUS_POLICY_VIOLATION,
                          (unsigned char *)reason.data(), reason.size() );
        return -1;
    }
    return 0;
}

void RelayServer::Sweep() {
    const int64_t now = NowMicroseconds();
    const int64_t idle = int64_t( options.idleSeconds ) * 1000000;
    for ( auto &entry : sessions ) {
        Session *session = entry.second;
        if ( !session->closing && session->room.empty() && now - session->lastHeard >= idle ) {
            Refuse( session, "no hello within " + std::to_string( options.idleSeconds ) + " seconds" );
        }
    }
    lws_sul_schedule( context, 0, &g_sweepTimer.sul, SweepNow, SWEEP_MICROSECONDS );
}

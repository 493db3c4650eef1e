#ifndef KELTO_RELAY_RELAYSERVER_H
#define KELTO_RELAY_RELAYSERVER_H

// The relay's network side: a WebSocket server (libwebsockets) that reads each connection's
// messages, hands hellos to a new or existing room and everything else to the connection's
// room, and sends what the rooms answer. It trusts no client: a message too long, too many
// messages, a malformed one or a connection that stays silent closes that connection with its
// reason, and the rooms it was not in never hear of it.

#include "net/RelayRoom.h"
#include "net/RoomCodes.h"
#include "relay/RefereeForker.h"
#include "relay/RelayReferee.h"

#include <libwebsockets.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

struct RelayOptions {
    std::string address; // empty for every interface
    int port = 7531;     // 0 lets the system choose
    int maxRooms = 256;
    int maxConnections = 1024;
    int idleSeconds = 30;
    std::string origin;      // empty to take any
    std::string certificate; // PEM files; with both the relay speaks TLS only (wss://)
    std::string privateKey;
    std::string referee;     // the headless game that referees each room; empty for none
    std::string refereeData; // the folder it runs in, holding the game's pictures
    int refereeForking = 1;  // 1: the rooms' referees are forked by one referee (RefereeForker)
};

class RelayServer {
public:
    RelayServer();
    virtual ~RelayServer();

    // Listens; 1, or 0 with GetError.
    int Create( const RelayOptions &options );
    // Serves until Stop (safe from a signal handler).
    void Run();
    void Stop();

    int GetPort() const { return port; }
    const char *GetError() const { return error.c_str(); }

    struct Session;
    int OnEvent( lws *wsi, int reason, Session *&session, const void *in, size_t length );
    void Sweep();
    void ServiceReferees();

private:
    void Open( lws *wsi, Session *&session );
    void Closed( Session *session );
    void Heard( Session *session, const uint8_t *bytes, size_t length, int binary, int final );
    void Handle( Session *session, const NetMessage &message );
    void Hello( Session *session, const NetMessage &message );
    int Write( Session *session );
    void Refuse( Session *session, const std::string &reason );
    void Deliver( RelayRoom &room );
    void ForgetIfEmpty( const std::string &code );
    int OriginAllowed( lws *wsi );
    void Referee( const std::string &code, int seat, const NetMessage &message );
    void DropReferee( const std::string &code, const char *reason );

    RelayOptions options;
    lws_context *context;
    lws_retry_bo_t idlePolicy = {};
    int port;
    std::string error;
    volatile int stopping;
    int nextConnection;
    std::map<int, Session *> sessions; // not owned: each lives with its connection
    std::map<std::string, std::unique_ptr<RelayRoom>> rooms;
    std::map<std::string, std::unique_ptr<RelayReferee>> referees; // by room code
    RefereeForker forker;
    RoomCodes codes;
};

#endif

#ifndef KELTO_RELAY_INGAMERELAY_H
#define KELTO_RELAY_INGAMERELAY_H

// The relay a game hosting a match on the local network runs itself (`kelto --host` with no
// relay named): the same server as kelto-relay, on a thread of its own, for as long as the
// game runs. When the game ends, the relay ends with it, and the others learn that the match
// is over.

#include "relay/RelayServer.h"

#include <string>
#include <thread>

class InGameRelay {
public:
    InGameRelay();
    virtual ~InGameRelay();

    // Listens at kelto-relay's port, or at one the system chooses when that one is taken, on
    // every interface (an empty `address`) or on one, and starts serving; 1, or 0 with GetError.
    int Start( const std::string &address );
    void Stop();

    int GetPort() const { return server.GetPort(); }
    const char *GetError() const { return server.GetError(); }

    // The machine's address on its network, for friends to join at: the first IPv4 address
    // that is not the loopback, or "127.0.0.1" when there is none.
    static std::string GetNetworkAddress();

private:
    RelayServer server;
    std::thread thread;
    int running;
};

#endif

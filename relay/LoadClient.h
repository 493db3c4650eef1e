#ifndef KELTO_RELAY_LOADCLIENT_H
#define KELTO_RELAY_LOADCLIENT_H

// One scripted player of the relay's load tool: a WebSocket connection to a relay on the
// loopback, written out by hand (the handshake, masked frames out, plain frames in) so that the
// tool measures the relay and nothing of a client library. It never waits once the match runs:
// what the relay sent is read as far as it has arrived, and what cannot be sent yet waits here.

#include "net/NetMessage.h"

#include <cstdint>
#include <string>
#include <vector>

class LoadClient {
public:
    LoadClient();
    virtual ~LoadClient();

    // Opens a WebSocket to 127.0.0.1:port, waiting at most `milliseconds` for the handshake.
    int Connect( int port, int milliseconds );
    // Sends one message, or keeps what the socket does not take yet; 0 once the connection failed.
    int Send( const NetMessage &message );
    // Sends what waits; 0 once the connection failed.
    int Flush();
    // Appends every whole message that has arrived, without waiting; 0 once the relay closed the
    // connection or sent something that is not a message of the protocol.
    int Receive( std::vector<NetMessage> &messages );
    // Like Receive, waiting at most `milliseconds` for a message of `type` (others are dropped).
    int Await( uint8_t type, NetMessage &found, int milliseconds );
    void Close();

    int GetSocket() const { return socket; }
    int IsWaitingToSend() const { return !outgoing.empty(); }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &reason );
    void Frame( const std::vector<uint8_t> &payload, int opcode );
    int TakeFrames( std::vector<NetMessage> &messages );

    int socket;
    std::vector<uint8_t> incoming;
    std::vector<uint8_t> outgoing;
    std::string error;
    uint32_t maskSeed;
};

#endif

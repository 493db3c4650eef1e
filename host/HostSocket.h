#ifndef KELTO_HOST_HOSTSOCKET_H
#define KELTO_HOST_HOSTSOCKET_H

// One WebSocket connection from the game to a relay, for online matches: opened with a
// ws:// or wss:// address, served a little every frame without ever waiting, and carrying
// whole binary messages both ways. On the desktop it speaks through libwebsockets, in a browser through the
// page's WebSocket (host/web); a desktop build without libwebsockets has no online play, and
// Open says so.

#include <cstdint>
#include <string>
#include <vector>

class HostSocket {
public:
    HostSocket();
    virtual ~HostSocket();

    // Starts connecting to `url` (ws://HOST:PORT/PATH, or wss:// over TLS); 1, or 0 with
    // GetError. A socket whose connection has closed may open another.
    int Open( const std::string &url );
    // Moves what the network has for us in and what we queued out; never waits.
    void Service();
    // Queues one binary message; 0 once the connection is closed.
    int Send( const std::vector<uint8_t> &message );
    // Takes the oldest whole message received; 1 when there was one.
    int Receive( std::vector<uint8_t> &message );
    // Says goodbye with a normal close; the socket is closed once Service has sent it.
    void Close();

    int IsOpen() const;
    int IsClosed() const;
    const char *GetError() const { return error.c_str(); }

    // 1 when this build can play online at all.
    static int IsAvailable();

    // ws://HOST:PORT/PATH or wss://HOST:PORT/PATH into its parts (port 80 or 443 when none is
    // given); 1, or 0 when it is not such an address.
    static int SplitUrl( const std::string &url, std::string &host, int &port, std::string &path );
    // 1 for a wss:// address: the connection speaks TLS.
    static int IsSecureUrl( const std::string &url );
    // The scheme of an address typed without one: "ws://", or in a page served over https
    // "wss://", the only one its browser lets it open.
    static const char *GetDefaultScheme();

    struct Connection; // the backend's own state
    void SetError( const std::string &text ) { error = text; }

private:
    HostSocket( const HostSocket & ) = delete;
    HostSocket &operator=( const HostSocket & ) = delete;

    Connection *connection; // owned; null until Open
    std::string error;
};

#endif

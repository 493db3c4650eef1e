#ifndef KELTO_NET_RELAYROOM_H
#define KELTO_NET_RELAYROOM_H

// One room of the relay: the players in their seats, the spectators, and the one stream of keys
// their games all play (docs/network-protocol.md). The room takes keys only from the seat
// whose turn it is and only for the stream's next frame, and the winds only from the host's
// game, which draws the same winds as everyone; it passes them to everyone else, and
// compares the state checksums every player reports, so that a game that splits from the others
// stops the match for all. It knows connections only by number: what it sends waits in its
// outbox for the relay, so that the rules are tested without a network.

#include "net/NetMessage.h"
#include "net/TurnCheck.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

const int RELAY_MAX_SPECTATORS = 8;
// Seconds of checksums a player may report ahead of the slowest one.
const int RELAY_MAX_PENDING_CHECKSUMS = 64;
// The stream kept for spectators who come late: hours of play in the recordings' encoding.
const size_t RELAY_MAX_HISTORY_BYTES = 256 * 1024;

// A message for one connection; `close` asks the relay to close it once the bytes are sent.
struct NetDelivery {
    int connection;
    std::vector<uint8_t> bytes;
    int close;
};

class RelayRoom {
public:
    RelayRoom();
    virtual ~RelayRoom();

    // Opens the room with its creator in seat 0.
    int Create( const std::string &code, int seats, const std::vector<uint8_t> &header, int connection,
                const std::string &name );
    // Seats a player or lets a spectator in (the hello's role); 0 with GetError saying why not.
    int Join( int connection, int role, const std::string &name, const std::vector<uint8_t> &header );
    // A member's message after its hello; 0 with GetError when the connection must be closed.
    int Receive( int connection, const NetMessage &message );
    // The member is gone; the others are told, and a host gone before the match ends the room.
    void Leave( int connection );

    std::vector<NetDelivery> TakeOutbox();

    // The referee: with one, a frame is settled once the referee's checksum for it is in too,
    // and a player whose checksum differs from the referee's is the one out of sync, however
    // few play. Dropping the referee goes back to the players' majority.
    void SetRefereed( int refereed );
    void ReceiveRefereeChecksum( uint32_t frame, uint32_t checksum );
    // The referee's game: from `frame` on the turn is `tank`'s (-1: no tank's). Each frame of
    // the stream must come from a seat that may play it (TurnCheck); the first that does not
    // stops the room as out of sync at that frame, naming the seat that sent its keys or
    // passed the turn, once the referee's checksum says it has played past it.
    void ReceiveRefereeTurn( uint32_t frame, int tank );
    int IsRefereed() const { return refereed; }
    // Checksums the referee's game and every seated player agreed at.
    uint32_t GetRefereeAgreed() const { return refereeAgreed; }

    const char *GetError() const { return error.c_str(); }
    const std::string &GetCode() const { return code; }
    int GetSeats() const { return seats; }
    const std::vector<uint8_t> &GetHeader() const { return header; }
    // The seat of a connection: 0 to 3, NET_SPECTATOR, or -1 for none in this room.
    int GetSeatOf( int connection ) const;
    int GetMemberCount() const { return int( members.size() ); }
    int GetTurnSeat() const { return turnSeat; }
    uint32_t GetStreamFrames() const { return streamFrames; }
    uint32_t GetWindCount() const { return winds; }
    uint32_t GetMatchCount() const { return matches; }
    // Match starts, keys, turns and winds taken into the stream (not a host's repeats).
    uint32_t GetTakenCount() const { return taken; }
    // Why the room went out of sync, in English; empty while it has not.
    const std::string &GetOutOfSyncReason() const { return outOfSyncReason; }
    int IsStarted() const { return started; }
    int IsOutOfSync() const { return outOfSync; }
    int IsClosed() const { return closed; }
    size_t GetHistoryBytes() const { return historyBytes; }

private:
    struct Member {
        int connection;
        int seat; // NET_SPECTATOR for a spectator
        std::string name;
    };
    struct Checksums {
        int64_t value[NET_MAX_SEATS]; // -1 until the seat reports
        int64_t referee;              // -1 until the referee reports
    };

    int Refuse( const char *format, ... ) __attribute__( ( format( printf, 2, 3 ) ) );
    Member *Find( int connection );
    void Send( int connection, const NetMessage &message );
    void SendToAllBut( int connection, const NetMessage &message );
    void Close( int connection, const std::string &reason );
    int ReceiveMatchStart( const Member &member, const NetMessage &message );
    int ReceiveKeys( const Member &member, const NetMessage &message );
    int ReceiveTurn( const Member &member, const NetMessage &message );
    int ReceiveWind( const Member &member, const NetMessage &message );
    int ReceiveChecksum( const Member &member, const NetMessage &message );
    void Remember( const NetMessage &message );
    void SettleChecksums();
    void StopOutOfSync( uint32_t frame, int seat, const char *reason );
    Checksums &ChecksumsOf( uint32_t frame );
    int FindDiffering( const int64_t *values, const int *seatOf, int count, int64_t truth ) const;
    int IsSeatTaken( int seat ) const;

    std::string error;
    std::string code;
    int seats;
    std::vector<uint8_t> header;
    std::vector<Member> members;
    std::string seatNames[NET_MAX_SEATS]; // who sat there last, to take it back after a drop
    int started;
    int outOfSync;
    int closed;
    int turnSeat;
    int refereed;
    uint32_t streamFrames;
    uint32_t lastMatchFrame;
    uint32_t winds;            // winds taken into the stream
    uint32_t lastWindFrame;    // the frame of the last one
    uint32_t hostWindsHeard;   // winds heard from seat 0's connection: a host back in its seat
                               // plays the stream again and draws the winds taken already
    uint32_t matches;          // match starts taken into the stream
    uint32_t hostMatchesHeard; // likewise for the match starts
    uint32_t taken;
    std::string outOfSyncReason;
    TurnCheck turns;
    uint32_t settledFrame; // every checksum up to here is compared
    uint32_t refereeAgreed;
    std::map<uint32_t, Checksums> checksums;
    uint32_t lastChecked[NET_MAX_SEATS]; // the last frame each seat reported
    std::vector<std::vector<uint8_t>> history;
    NetMessage lastKeys; // the history's last message while it is keys, to grow it
    int historyEndsInKeys;
    size_t historyBytes;
    int historyFull;
    std::vector<NetDelivery> outbox;
};

#endif

#ifndef KELTO_NET_NETSESSION_H
#define KELTO_NET_NETSESSION_H

// One client's side of an online match in lockstep (docs/network-protocol.md): the single
// stream of keys every game in the room plays, frame by frame. The seat whose turn it is
// holds the stream: a person's keys go in a few frames ahead of the frame they are pressed in
// (the input delay), so that the other games have them before they play that frame; the
// computer's keys go in as they are worked out. Everyone else plays what the relay passes on,
// and a game that lacks the next frame's keys waits for the seat that holds the stream
// instead of guessing. It knows nothing of sockets: what it says waits in its outbox.

#include "net/NetMessage.h"

#include <cstdint>
#include <string>
#include <vector>

class NetSession {
public:
    // Frames between a person's key press and the frame that plays it: 100 ms at 60 frames a
    // second, which covers the trip through a relay on the same continent.
    static constexpr int INPUT_DELAY = 6;

    NetSession();
    virtual ~NetSession();

    // One message from the relay. 0 with GetError when the relay ended the match for us (its
    // error) or sent what no relay would (keys out of order); the match cannot go on then.
    int Receive( const NetMessage &message );

    // The room's first player starts the match once every seat is taken: the first match's
    // tank columns, as its game drew them.
    void StartMatch( const uint32_t columns[TANK_PLACEMENT_COUNT] ) { StartMatchAt( 0, columns ); }
    // The host's game: a later match it started while playing `frame`, with its columns, for
    // the relay's referee (every game starts it at the same frame from the stream's keys).
    void StartMatchAt( uint32_t frame, const uint32_t columns[TANK_PLACEMENT_COUNT] );
    // The host's game: the wind it drew during `frame` (0 for the start-up's), after the match
    // start, for the relay's referee.
    void SendWind( uint32_t frame, int steps );

    // 1 when this client holds the stream and would take keys for `frame + delay` now (the
    // computer works out its keys only then, from the state before `frame`).
    int Wants( uint32_t frame, int delay ) const;
    // Before this game plays `frame`: when this client holds the stream it adds `keys`, to be
    // played at `frame + delay` (the frames between, if any, with no key down); when its game
    // says the coming update belongs to `turnSeat`, another seat, it hands the stream over.
    void Produce( uint32_t frame, int turnSeat, uint16_t keys, int delay );
    // The host's game, playing a seat whose player left, takes the stream from that empty seat
    // at the stream's next frame; 1 when it did.
    int TakeEmptySeatsTurn();
    // 1 with the keys of `frame` once the stream holds them.
    int KeysOf( uint32_t frame, uint16_t &keys ) const;
    // After this game played `frame` (counted from 0): the state's checksum is reported after
    // every 60 frames, as a recording closes a block.
    static int WantsChecksum( uint32_t frame ) { return ( frame + 1 ) % REPLAY_BLOCK_FRAMES == 0; }
    void Played( uint32_t frame, uint32_t checksum );

    // The messages for the relay, oldest first; keys added since the last call go as blocks
    // of at most 60 frames.
    std::vector<NetMessage> TakeOutbox();

    int GetSeat() const { return seat; }
    int GetSeats() const { return seats; }
    int IsWelcomed() const { return seat >= 0; }
    int IsSeated( int which ) const { return which >= 0 && which < NET_MAX_SEATS && seated[which]; }
    int IsRoomFull() const;
    int IsStarted() const { return started; }
    const uint32_t *GetColumns() const { return columns; }
    // The seat whose keys the stream waits for now, or the first empty seat before the start.
    int GetWaitingFor() const;
    // The name a seat's player gave; "PLAYER N" (counted from 1) when it gave none yet.
    std::string GetName( int which ) const;
    // This client's own name, which the relay does not send back.
    void SetOwnName( const std::string &name ) {
        if ( seat >= 0 && seat < NET_MAX_SEATS ) {
            names[seat] = name;
        }
    }
    uint32_t GetStreamFrames() const { return uint32_t( stream.size() ); }
    int GetStreamSeat() const { return streamSeat; }
    uint32_t GetStreamSeatFrom() const { return streamSeatFrom; }
    const std::string &GetCode() const { return code; }

    int IsOutOfSync() const { return outOfSync; }
    uint32_t GetOutOfSyncFrame() const { return outOfSyncFrame; }
    int GetOutOfSyncSeat() const { return outOfSyncSeat; }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &reason );
    int ReceiveKeys( const NetMessage &message );
    void FlushKeys();

    int seat; // -1 until the welcome
    int seats;
    std::string code;
    int seated[NET_MAX_SEATS];
    std::string names[NET_MAX_SEATS];
    int started;
    uint32_t columns[TANK_PLACEMENT_COUNT];
    std::vector<uint16_t> stream; // the keys of every frame so far
    int streamSeat;               // who adds to the stream now
    uint32_t streamSeatFrom;      // the stream's first frame from that seat
    size_t unsent;                // the stream's first frame not yet in the outbox
    int outOfSync;
    uint32_t outOfSyncFrame;
    int outOfSyncSeat;
    std::string error;
    std::vector<NetMessage> outbox;
};

#endif

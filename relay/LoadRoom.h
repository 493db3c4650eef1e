#ifndef KELTO_RELAY_LOADROOM_H
#define KELTO_RELAY_LOADROOM_H

// One room of the relay's load tool: four scripted players that meet by code, start a match
// and play it as games would at the protocol's level. The seat whose turn it is sends each
// frame's keys as the frame comes due, passes the turn every few seconds, and every player
// reports the checksum of each 60 frames once its stream holds them, all agreeing. The room
// checks what it hears (every key echoed to the three others, in order, nothing refused) and
// times each key from its sending to its arrival at each other player.

#include "relay/LoadClient.h"

#include <cstdint>
#include <string>
#include <vector>

const int LOAD_SEATS = 4;

// A turn of the game: from `frame` on, `tank`'s (-1: no tank's).
struct LoadTurn {
    uint32_t frame;
    int tank;
};

// The game every room plays: the recording header each player hands over, the first match's
// tank columns, the checksums the players report and the turns they pass (the game's own when
// a referee is to check them; made up, but all agreeing, and a turn every few seconds, when
// none is given).
struct LoadGame {
    std::vector<uint8_t> header;
    uint32_t columns[TANK_PLACEMENT_COUNT];
    std::vector<uint32_t> checksums;
    std::vector<LoadTurn> turns;
};

// A made-up game's header: the default game's rules on a made land.
LoadGame LoadMadeUpGame();

class LoadRoom {
public:
    LoadRoom();
    virtual ~LoadRoom();

    // Meets four players in a new room on the relay at `port` and starts the match; 0 with
    // GetError (the relay refused, or did not answer in time). The player in `wrongSeat` (-1
    // for none) reports a checksum of its own from frame 120 on, as a game that split would.
    int Open( int port, int turnFrames, const LoadGame &game, int wrongSeat );
    // The turn's seat sends its keys up to `dueFrame` (exclusive), passing the turn on the way.
    void Play( uint32_t dueFrame, int64_t nowMicroseconds );
    // Reads what player `seat` has heard; its keys' delays are added to `delays` (microseconds).
    void Hear( int seat, int64_t nowMicroseconds, std::vector<int32_t> &delays );
    void Flush();

    LoadClient &GetClient( int seat ) { return clients[seat]; }
    // 1 when every player's stream holds every frame sent.
    int IsCaughtUp() const;
    uint32_t GetFramesSent() const { return uint32_t( sentAt.size() ); }
    int64_t GetEchoes() const { return echoes; }
    double GetMeanDelay() const { return timedEchoes > 0 ? double( delaySum ) / double( timedEchoes ) : 0.0; }
    // Delays are timed from here on (after a warm-up), echoes still all counted.
    void RestartTiming() {
        timedEchoes = 0;
        delaySum = 0;
    }
    const char *GetError() const { return error.c_str(); }

    // The keys held in a frame of the script: a tank that moves, aims and fires.
    static uint16_t KeysOf( uint32_t frame );
    // The checksums every player reports: the game's own when given, made up otherwise.
    uint32_t ChecksumOf( uint32_t frame ) const;

private:
    void Fail( const std::string &reason );
    void SendKeys( int seat, uint32_t dueFrame, int64_t now );
    void ReportChecksum( int seat );
    // The seat the game's turn at `frame` belongs to (tank N is seat N's), -1 to keep the
    // stream where it is; and the first frame after `frame` at which the game's turn changes.
    int GameSeatAt( uint32_t frame ) const;
    uint32_t NextGameTurn( uint32_t frame ) const;
    void Take( int seat, const NetMessage &message, int64_t now, std::vector<int32_t> &delays );

    LoadClient clients[LOAD_SEATS];
    uint32_t heard[LOAD_SEATS];  // frames of the stream each player holds
    int turnOf[LOAD_SEATS];      // whose turn each player knows it is
    std::vector<int64_t> sentAt; // when each frame's keys left the turn's seat
    std::vector<uint32_t> checksums;
    std::vector<LoadTurn> gameTurns;
    int turnFrames;
    int wrongSeat;
    uint32_t lastPass;
    int64_t echoes;
    int64_t timedEchoes;
    int64_t delaySum;
    std::string error;
};

#endif

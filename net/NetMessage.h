#ifndef KELTO_NET_NETMESSAGE_H
#define KELTO_NET_NETMESSAGE_H

// One record of the online game's protocol (docs/network-protocol.md), as read from or written
// to one WebSocket message: a type byte and its fields, in the recordings' own encoding where a
// recording has the same record. Reading checks every length and range against the bytes given
// and refuses anything malformed with its reason, so that what a stranger sends never reaches
// the rooms unchecked.

#include "replay/ReplayFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// 2: the welcome carries the room's recording header, and a joiner may send none to take the
// room's game (its land, drawn by the host, is one it cannot know before).
// 3: the host's game sends the winds it draws (`G`), so that a referee plays rooms with wind.
const int NET_PROTOCOL_VERSION = 3;
// Far above the largest record (a hello with the longest header); a longer message is hostile.
const size_t NET_MAX_MESSAGE_SIZE = 512;
const int NET_CODE_LENGTH = 6;
const int NET_MAX_NAME_LENGTH = 16;
const int NET_MAX_REASON_LENGTH = 120;
const int NET_MIN_SEATS = 2;
const int NET_MAX_SEATS = 4;
const uint8_t NET_SPECTATOR = 255;
const uint8_t NET_NO_SEAT = 255; // an out of sync with no seat in the minority
// Magic, format version, longest game version, pictures, every rule.
const size_t NET_MAX_HEADER_SIZE =
    8 + 2 + 1 + REPLAY_MAX_VERSION_LENGTH + 4 * REPLAY_PICTURE_COUNT + 1 + 4 * REPLAY_MAX_RULES;

enum NetType : uint8_t {
    NET_HELLO = 'H',
    NET_WELCOME = 'W',
    NET_PLAYER = 'P',
    NET_MATCH_START = 'S',
    NET_KEYS = 'K',
    NET_TURN = 'T',
    NET_WIND = 'G', // a recording's `W`, under another letter: `W` is the welcome
    NET_CHECKSUM = 'C',
    NET_OUT_OF_SYNC = 'O',
    NET_LEAVE = 'L',
    NET_ERROR = 'E',
};

enum NetRole : uint8_t { NET_CREATE = 0, NET_PLAY = 1, NET_WATCH = 2 };

// Which side sends a message matters for `L`, which is empty from a client and names the seat
// from the relay.
enum NetSide { NET_FROM_CLIENT, NET_FROM_RELAY };

class NetMessage {
public:
    NetMessage();
    virtual ~NetMessage();

    // Reads one whole message; 1, or 0 with GetError saying what is wrong.
    int Read( const uint8_t *bytes, size_t size, NetSide side );
    // The message's bytes; empty when a field is out of range (the writer's own fault).
    std::vector<uint8_t> Write( NetSide side ) const;

    const char *GetError() const { return error.c_str(); }

    // The fields; which ones a type uses is in the protocol's table.
    uint8_t type;
    int version;
    int role;
    int seats;
    std::string code;
    std::string name;
    std::vector<uint8_t> header;
    int seat;
    uint32_t frame;
    uint32_t columns[TANK_PLACEMENT_COUNT];
    int frames;
    std::vector<ReplayRun> runs;
    uint32_t checksum;
    int windSteps;
    std::string reason;

private:
    class Reader;

    void Clear();
    int Fail( const char *format, ... ) __attribute__( ( format( printf, 2, 3 ) ) );
    int ReadHello( Reader &reader );
    int ReadKeys( Reader &reader );
    int ReadHeader( Reader &reader );
    int ReadText( Reader &reader, std::string &text, int longest, const char *what );
    int CheckFields( NetSide side );

    std::string error;
};

// 1 when `bytes` are exactly one recording header (magic, format, game version, pictures,
// rules), with `error` saying otherwise.
int NetCheckRecordingHeader( const uint8_t *bytes, size_t size, std::string &error );

// The recording header a game with these pictures and rules writes: the hello's header.
std::vector<uint8_t> NetMakeRecordingHeader( const char *gameVersion,
                                             const uint32_t pictureChecksums[REPLAY_PICTURE_COUNT],
                                             const int32_t *rules, int ruleCount );
// The rules of a room's header, for a joiner to play by; 1, or 0 with `error`.
int NetReadHeaderRules( const std::vector<uint8_t> &header, std::vector<int32_t> &rules, std::string &error );
// The seed every game in a room draws its pseudo-random numbers from (tank columns, winds):
// the same header gives the same seed, so the games draw the same numbers in the same order.
uint32_t NetSeedOf( const std::vector<uint8_t> &header );
// The seed of a later match, started during `frame` of the stream: the games' draws since the
// first match need not be alike (a game that draws its tanks draws a random pixel), so each
// match starts them afresh from the room's seed and the frame, the same in every game.
uint32_t NetMatchSeedOf( uint32_t roomSeed, uint32_t frame );

#endif

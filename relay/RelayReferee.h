#ifndef KELTO_RELAY_RELAYREFEREE_H
#define KELTO_RELAY_RELAYREFEREE_H

// A room's referee: the game itself, headless, in a process of its own (the game keeps
// process-wide state, one game a process), playing the room's stream from a pipe and printing
// the true checksum after every 60 frames. The relay never waits for it: what it cannot take
// yet waits here, what it printed is read as far as it has come, and a referee that dies,
// falls behind or says what no referee says is given up with its reason; its room is then
// checked by the players' majority, and no other room notices.

#include "relay/RefereeFeed.h"

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

class RefereeForker;

// What the referee's game printed: the checksum after `frame` frames, or (`turn`) that from
// `frame` on the turn is tank `tank`'s (-1: no tank's).
struct RefereeChecksum {
    uint32_t frame;
    uint32_t checksum;
    int turn;
    int tank;
};

class RelayReferee {
public:
    RelayReferee();
    virtual ~RelayReferee();

    // Starts `program --referee` in `folder` (the game's pictures) with the room's header; as
    // a child of `forker` where it runs (shared pages, see RefereeForker), else on its own.
    int Start( const std::string &program, const std::string &folder, const std::vector<uint8_t> &header,
               RefereeForker *forker = nullptr );
    // A message the room took from a seat, and the seat.
    int Add( int seat, const NetMessage &message );
    // Writes what waits and reads what the game printed; 0 with GetError once it is given up.
    int Service( std::vector<RefereeChecksum> &checksums );

    // Stops the game, for `reason`.
    void GiveUp( const std::string &reason ) { Fail( reason ); }

    // The referees' priority for this process: it runs only when the relay leaves the core idle.
    static void TakeRefereePriority();
    // In a child process just forked: `program MODE` in `folder`. Never returns.
    static void ExecReferee( const std::string &program, const std::string &folder, const char *mode );

    uint32_t GetLastFrame() const { return lastFrame; }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &reason );
    int ReadLines( std::vector<RefereeChecksum> &checksums );
    void Stop();
    pid_t Exec( const std::string &program, const std::string &folder, int in[2], int out[2] );

    pid_t pid;
    int forked; // the forking referee's child: not ours to wait for
    int input;  // the game's standard input
    int output; // its standard output
    RefereeFeed feed;
    std::vector<uint8_t> waiting;
    std::string heard;
    uint32_t lastFrame;
    int64_t lastTurnFrame; // -1 before the first turn
    std::string error;
};

#endif

#ifndef KELTO_APP_ONLINEMATCH_H
#define KELTO_APP_ONLINEMATCH_H

// This game's place in an online match: its connection to the relay, the lockstep stream of
// keys, and who plays which tank. Tank N belongs to the room's seat N while the room has one;
// the tanks beyond the room's seats are the computer's, played by the room's first player,
// whose game works out their keys and sends them like a person's. Every game plays each frame
// with the stream's keys for it, and a game without them waits.

#include "host/HostSocket.h"
#include "net/NetSession.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ComputerPlayers;

class OnlineMatch {
public:
    // How long the others wait for a player who left before the computer takes the seat.
    static constexpr int TAKE_OVER_SECONDS = 3;
    // A game more frames than this behind the stream catches up, this many more frames a frame.
    static constexpr int CATCH_UP_AFTER = 2 * NetSession::INPUT_DELAY;
    static constexpr int CATCH_UP_FRAMES = 7;

    OnlineMatch();
    virtual ~OnlineMatch();

    // For tests: the computer plays this game's own seat; the game's state is made to differ
    // from the others' after frame `frame` (negative: never).
    void SetComputerPlaysMe( int value ) { computerPlaysMe = value; }
    void SetSplitAt( int frame ) { splitAt = frame; }
    int GetSplitAt() const { return splitAt; }
    // For tests: at the first frame from `frame` on in which this game has held the stream in
    // its tank's turn for longer than the input delay, it passes the turn to another seat
    // (negative: never).
    void SetFalseTurnAt( int frame ) { falseTurnAt = frame; }

    // Joins the room of `url` (ws://HOST:PORT/CODE) without waiting: BeginJoin sends the hello
    // (1, or 0 with GetError); PollJoin, called every frame, gives 1 once welcomed (the room's
    // recording header, which says which game to play, in `roomHeader`; the match on), 0 when
    // refused or given up (GetError), -1 while the relay has not answered yet.
    int BeginJoin( const std::string &url, const std::string &name );
    // The same for a spectator: the game plays the room's stream from its start, catching
    // up, and sends nothing but its goodbye.
    int BeginWatch( const std::string &url, const std::string &name );
    int PollJoin( std::vector<uint8_t> &roomHeader );
    // Opens a room of `seats` people on the relay at `url` for the game of `header`, and waits
    // for its code. 1, or 0 with GetError.
    int Host( const std::string &url, int seats, const std::string &name,
              const std::vector<uint8_t> &header );
    // The same without waiting, for a page, whose socket hears nothing while the game waits:
    // BeginHost sends the hello (1, or 0 with GetError); PollHost, called every frame, gives 1
    // once the room is open (the match on), 0 when refused or given up, -1 until then.
    int BeginHost( const std::string &url, int seats, const std::string &name,
                   const std::vector<uint8_t> &header );
    int PollHost();
    int IsOn() const { return on; }
    int IsHost() const { return session.GetSeat() == 0; }
    int IsWatching() const { return session.GetSeat() == NET_SPECTATOR; }
    // The host name in the address friends join with, instead of the relay's as this game
    // reaches it.
    void SetJoinHost( const std::string &host ) { joinHost = host; }
    // The address friends join with.
    std::string GetJoinAddress() const;

    // The first match's tank columns as this game drew them: the host starts the match with
    // them once the room is full; a joiner checks the host's against them.
    void SetFirstColumns( const int columns[4] );
    // Which tanks this game's computer plays: the host's, and its own with SetComputerPlaysMe.
    void SeatComputers( ComputerPlayers &players, int level ) const;

    // Before the frame: 1 with `keyState` pointing at the stream's keys for it; 0 when they
    // are not here yet (or the match has stopped), and nothing may move.
    int FrameKeys( ComputerPlayers &players, int matchWon, const uint8_t *keyboard, uint8_t *&keyState );
    // The wind this game drew for a new turn, in steps, during the frame being played (or at
    // start-up). The host's game sends it for the relay's referee, after the match start.
    void DrewWind( int steps );
    // A later match started during the frame being played, its tanks at `columns`. The host's
    // game sends it for the relay's referee.
    void StartedMatch( const int columns[4] );
    // After the frame was played: 1 when its state's checksum is due.
    int WantsChecksum() const { return NetSession::WantsChecksum( frame ); }
    void Played( uint32_t checksum );

    uint32_t GetFrame() const { return frame; }
    // The seed every game in the room draws from: the room's, and for a later match, started
    // during the frame being played, the room's mixed with that frame.
    void SetRoomSeed( uint32_t seed ) { roomSeed = seed; }
    uint32_t GetMatchSeed() const { return NetMatchSeedOf( roomSeed, frame ); }
    // The name over a tank: its player's for a seated tank, empty (the view's "PLAYER N") for
    // the computer's.
    std::string GetTankName( int tank ) const {
        return tank >= 0 && tank < session.GetSeats() && session.IsSeated( tank ) ? session.GetName( tank )
                                                                                  : "";
    }
    // Frames the stream holds that this game has not played.
    int GetFramesBehind() const { return int( session.GetStreamFrames() - frame ); }
    // What the game says over the scene: who it waits for, or why the match stopped; empty
    // while it plays.
    std::string GetNotice() const;
    int IsStopped() const { return !stopReason.empty(); }
    const std::string &GetStopReason() const { return stopReason; }
    const char *GetError() const { return error.c_str(); }

    // Says goodbye to the relay.
    void Leave();

private:
    // Opens the connection and sends the hello; 1, or 0 with `error`.
    int Open( const std::string &url, const NetMessage &hello );
    // The welcome, if it has come: 1 (the match on), 0 (refused, the socket closed), -1 not yet.
    int TakeWelcome();
    int GiveUp( const std::string &reason );
    // A player or a spectator sends its hello to the room of `url`, by its code.
    int Enter( const std::string &url, int role, const std::string &name );
    void Pump();
    void CloseSocket();
    void Stop( const std::string &reason );
    int OwnerOf( int tank ) const;
    int IsTakenOver( int tank ) const;
    void WatchEmptySeats( ComputerPlayers &players );
    int IsMyComputer( int tank ) const;
    void TakeMatchStart();

    HostSocket socket;
    NetSession session;
    int on;
    int creating; // the hello opens a room: this game will be its host
    std::string relayUrl;
    std::string ownName;
    std::string welcomeUrl;
    std::chrono::steady_clock::time_point welcomeDeadline;
    std::string joinHost;
    int computerPlaysMe;
    int splitAt;
    int falseTurnAt;
    uint32_t roomSeed;
    uint32_t frame; // frames played
    int firstColumns[4];
    int startChecked;
    std::vector<uint8_t> roomHeaderBytes; // the welcome's
    std::vector<int> startWinds;          // drawn before the host's match start went out
    std::string stopReason;
    std::string error;
    uint8_t keys[256];
    std::chrono::steady_clock::time_point lastSent;
    // When each seat was found empty after the start; the host's computer plays it from
    // TAKE_OVER_SECONDS later until its player comes back.
    std::chrono::steady_clock::time_point emptySince[4];
    int empty[4];
    int takenOver[4];
};

#endif

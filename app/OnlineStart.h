#ifndef KELTO_APP_ONLINESTART_H
#define KELTO_APP_ONLINESTART_H

// How this game goes online: a joiner meets the room and takes the host's rules before the land
// is chosen; once the pictures are read the host opens its room and a joiner checks that its
// game is the host's; and the online screen hosts (with a relay inside the game) or joins as
// --host and --join do, by starting the game again with that option.

#include "app/Game.h"
#include "app/Options.h"

#include <cstdint>
#include <string>
#include <vector>

class OnlineMatch;

class OnlineStart {
public:
    OnlineStart();
    virtual ~OnlineStart();

    // The match this start-up brings online (not owned).
    void Init( OnlineMatch &match );
    // What the game's start-up was given, to start it again from the online screen.
    void SetStart( HostInstance *instance, HostWindow *window );
    void SetRelayStarter( GameRelayStarter starter ) { relayStarter = starter; }
    // Whether the online screen may host on a relay inside the game, or needs one typed.
    int CanRunRelay() const { return relayStarter != nullptr; }

    // A joiner's (or a spectator's, with options.watch) start-up only sends the hello (1, or 0 with
    // GetSubject and GetError): the game waits for the room's welcome frame by frame, and then starts again
    // with the room's rules.
    int BeginJoin( const Options &options );
    int IsJoining() const { return joining; }
    // Joined from the online screen: the title's game plays on behind it while the room answers.
    int IsJoiningFromScreen() const { return joining && fromScreen; }
    // While joining, once a frame, before anything is drawn: once the room has answered, the
    // game starts again in it, or the player is told why not (on the online screen, or on
    // standard error with the game ending). 1 while the room has not answered yet.
    int PollJoin( World &world );
    // The player left the online screen while joining: the room is not joined.
    void CancelJoin();
    // The join that started the game did not come through: the game ends with an error.
    int HasFailed() const { return failed; }
    // At the game's end: whether it failed so, and no more.
    int TakeFailure();
    // In the start-up after the welcome, before the land is chosen: the room's rules. 1, or 0
    // with GetSubject and GetError.
    int Join( std::vector<int32_t> &rules );
    int IsWelcomed() const { return welcomed; }
    // Once the pictures are read and the rules are in, with this game's recording header: the
    // host opens its room, a joiner checks the room's game is this one; then the room's seed.
    // 1, or 0 with GetSubject and GetError.
    int Open( const Options &options, const std::vector<uint8_t> &header );
    // The online screen's Host or Join (GameScreens' requests), over the title's game in
    // `world`: the game starts again online, or stays on the title told why not.
    void Go( int request, World &world );
    // Hosting on a relay typed on the online screen, the start-up only sends the hello: the
    // host's match stands until the room is open. Once a frame: 1 while the relay has not
    // answered; 0 once it has (the match on), or once it refused (back on the online screen,
    // told why).
    int IsHosting() const { return hosting; }
    int PollHost( World &world );

    // The start-up's last complaint, for the online screen to show.
    void Hear( const char *reason ) { lastComplaint = reason; }
    const char *GetSubject() const { return subject.c_str(); }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &about, const std::string &reason );
    int StartOwnRelay( Options &options );
    void StartAgain( const Options &options, World &world );
    void BackToOnlineScreen( World &world, const std::string &refusal );
    void Refuse( const std::string &reason );

    OnlineMatch *match; // not owned; null until Init
    HostInstance *startInstance;
    HostWindow *startWindow;
    GameRelayStarter relayStarter;
    std::vector<uint8_t> roomHeader; // a joiner's, from the relay
    int joining;                     // the hello is out, the room has not answered
    int fromScreen;                  // joining from the online screen, over the title's game
    int hostOnTyped;                 // hosting from the online screen on a relay typed there
    int hosting;                     // that host's hello is out, the room not open yet
    int welcomed;                    // the welcome is in, the start-up has not taken it yet
    int failed;
    Options joinOptions; // the options the game starts again with, once welcomed
    Options keptOptions; // the title's, should the room's game not start
    std::string lastComplaint;
    std::string subject;
    std::string error;
};

#endif

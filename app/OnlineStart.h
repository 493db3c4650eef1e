#ifndef KELTO_APP_ONLINESTART_H
#define KELTO_APP_ONLINESTART_H

// How this game goes online: a joiner meets the room and takes the host's rules before the land
// is chosen; once the pictures are read the host opens its room and a joiner checks that its
// game is the host's; and the online screen hosts (with a relay inside the game) or joins as
// --host and --join do, by starting the game again with that option.

#include "app/Game.h"

#include <cstdint>
#include <string>
#include <vector>

class OnlineMatch;
struct Options;

class OnlineStart {
public:
    OnlineStart();
    virtual ~OnlineStart();

    // The match this start-up brings online (not owned).
    void Init( OnlineMatch &match );
    // What the game's start-up was given, to start it again from the online screen.
    void SetStart( HostInstance *instance, HostWindow *window );
    void SetRelayStarter( GameRelayStarter starter ) { relayStarter = starter; }

    // Before the land is chosen: joins (or watches) the room of options.join (options.watch)
    // and gives its rules. 1, or 0 with GetSubject and GetError.
    int Join( const Options &options, std::vector<int32_t> &rules );
    // Once the pictures are read and the rules are in, with this game's recording header: the
    // host opens its room, a joiner checks the room's game is this one; then the room's seed.
    // 1, or 0 with GetSubject and GetError.
    int Open( const Options &options, const std::vector<uint8_t> &header );
    // The online screen's Host or Join (GameScreens' requests), over the title's game in
    // `world`: the game starts again online, or stays on the title told why not.
    void Go( int request, World &world );

    // The start-up's last complaint, for the online screen to show.
    void Hear( const char *reason ) { lastComplaint = reason; }
    const char *GetSubject() const { return subject.c_str(); }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &about, const std::string &reason );
    int StartOwnRelay( Options &options );

    OnlineMatch *match; // not owned; null until Init
    HostInstance *startInstance;
    HostWindow *startWindow;
    GameRelayStarter relayStarter;
    std::vector<uint8_t> roomHeader; // a joiner's, from the relay
    std::string lastComplaint;
    std::string subject;
    std::string error;
};

#endif

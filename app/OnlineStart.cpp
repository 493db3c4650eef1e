#include "app/OnlineStart.h"

#include "app/GameScreens.h"
#include "app/OnlineMatch.h"
#include "app/Options.h"
#include "game/EntityList.h"
#include "game/World.h"
#include "host/HostSocket.h"
#include "host/HostWindow.h"
#include "net/NetMessage.h"
#include "settings/Settings.h"

#include <cstdio>
#include <cstdlib>

OnlineStart::OnlineStart()
    : match( nullptr ), startInstance( nullptr ), startWindow( nullptr ), relayStarter( nullptr ),
      joining( 0 ), fromScreen( 0 ), hostOnTyped( 0 ), hosting( 0 ), welcomed( 0 ), failed( 0 ) {
}

OnlineStart::~OnlineStart() {
}

void OnlineStart::Init( OnlineMatch &online ) {
    match = &online;
}

void OnlineStart::SetStart( HostInstance *instance, HostWindow *window ) {
    startInstance = instance;
    startWindow = window;
}

int OnlineStart::Fail( const std::string &about, const std::string &reason ) {
    subject = about;
    error = reason;
    return 0;
}

// The name the others see: --name, or the first seat's name in the settings, or none (the
// relay wants one: "PLAYER").
static std::string OnlineName( const Options &options ) {
    if ( !options.name.empty() ) {
        return options.name;
    }
    const std::string &name = g_settings.name[0];
    return !name.empty() && name.size() <= size_t( NET_MAX_NAME_LENGTH ) ? name : "PLAYER";
}

int OnlineStart::BeginJoin( const Options &options ) {
    const int watching = !options.watch.empty();
    const std::string &url = watching ? options.watch : options.join;
    if ( !HostSocket::IsAvailable() ) {
        return Fail( "online", "this build has no online play (built without libwebsockets)" );
    }
    if ( options.host || !options.replay.empty() || !options.timedemo.empty() || options.classic ||
         ( watching && !options.join.empty() ) ) {
        return Fail( "online",
                     watching ? "--watch goes alone: not with --join, --host, --replay, --timedemo or "
                                "--classic"
                              : "--join plays alone: not with --host, --replay, --timedemo or --classic" );
    }
    const int entered = watching ? match->BeginWatch( url, OnlineName( options ) )
                                 : match->BeginJoin( url, OnlineName( options ) );
    if ( !entered ) {
        return Fail( url, match->GetError() );
    }
    joinOptions = options;
    joining = 1;
    fromScreen = 0;
    welcomed = 0;
    failed = 0;
    return 1;
}

int OnlineStart::PollJoin( World &world ) {
    if ( !joining ) {
        return 0;
    }
    const int answer = match->PollJoin( roomHeader );
    if ( answer < 0 ) {
        return 1;
    }
    joining = 0;
    if ( answer == 0 ) {
        Fail( joinOptions.watch.empty() ? joinOptions.join : joinOptions.watch, match->GetError() );
        Refuse( GetError() );
        return 0;
    }
    welcomed = 1;
    StartAgain( joinOptions, world );
    return 0;
}

void OnlineStart::CancelJoin() {
    if ( joining ) {
        joining = 0;
        match->Leave();
    }
}

// Said on standard error as the start-up says it; on the online screen too when joined from
// there, or else the game ends.
void OnlineStart::Refuse( const std::string &reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", GetSubject(), reason.c_str() );
    if ( fromScreen ) {
        g_screens.RefuseOnline( reason );
        return;
    }
    failed = 1;
    HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
}

int OnlineStart::TakeFailure() {
    const int was = failed;
    failed = 0;
    return was;
}

int OnlineStart::Join( std::vector<int32_t> &rules ) {
    if ( !welcomed ) {
        return Fail( "online", "the room has not welcomed this game" );
    }
    welcomed = 0;
    std::string reason;
    if ( !NetReadHeaderRules( roomHeader, rules, reason ) ) {
        return Fail( "online", "the room's game: " + reason );
    }
    return 1;
}

int OnlineStart::Open( const Options &options, const std::vector<uint8_t> &header ) {
    if ( options.host ) {
        if ( options.relay.empty() ) {
            return Fail( "online", "this build cannot run a relay itself: give --relay ws://HOST:PORT" );
        }
        if ( !HostSocket::IsAvailable() || options.classic || !options.replay.empty() ||
             !options.timedemo.empty() ) {
            return Fail( "online", HostSocket::IsAvailable()
                                       ? "--host plays alone: not with --replay, --timedemo or --classic"
                                       : "this build has no online play (built without libwebsockets)" );
        }
        const int seats = options.players >= NET_MIN_SEATS ? options.players : NET_MIN_SEATS;
        if ( hostOnTyped ) {
            if ( !match->BeginHost( options.relay, seats, OnlineName( options ), header ) ) {
                return Fail( options.relay, match->GetError() );
            }
            hosting = 1;
        } else {
            if ( !match->Host( options.relay, seats, OnlineName( options ), header ) ) {
                return Fail( options.relay, match->GetError() );
            }
            std::printf( "kelto: friends join with: kelto --join %s\n", match->GetJoinAddress().c_str() );
            std::fflush( stdout );
        }
    } else if ( header != roomHeader ) {
        return Fail( "online", "this game's version or pictures differ from the host's" );
    }
    match->SetRoomSeed( NetSeedOf( header ) );
    std::srand( NetSeedOf( header ) );
    return 1;
}

// A match hosted from the online screen runs its relay inside the game, as --host without
// --relay does; a relay named on the command line is used as it is.
int OnlineStart::StartOwnRelay( Options &options ) {
    if ( !options.relay.empty() ) {
        return 1;
    }
    if ( relayStarter == nullptr ) {
        return Fail( "online", "this game cannot run a relay itself" );
    }
    std::string relayUrl;
    std::string joinHost;
    std::string reason;
    if ( !relayStarter( relayUrl, joinHost, reason ) ) {
        return Fail( "online", "cannot start the relay: " + reason );
    }
    options.relay = relayUrl;
    match->SetJoinHost( joinHost );
    return 1;
}

// The same world starts again: the ended game's tanks and bombs leave its lists.
static void ForgetEntities( World &ended ) {
    ended.GetTanks()->Clear();
    ended.GetBombs()->Clear();
    ended.SetCurrentTank( nullptr );
    ended.SetCameraTarget( nullptr );
}

// The online match is decided before the land is chosen, so the game starts again with --host
// or --join; a joiner once the room has welcomed it. A match that cannot be played leaves the
// player on the online screen, told why, over the title's game.
void OnlineStart::Go( int request, World &world ) {
    keptOptions = g_options;
    Options online = g_options;
    online.join = request == GameScreens::JOIN_ONLINE ? g_screens.GetOnline().GetAddress() : std::string();
    online.host = request == GameScreens::HOST_ONLINE;
    online.players = g_screens.GetOnline().GetPeople();
    // A game that runs no relay itself hosts on the one typed on the screen.
    hostOnTyped = online.host && !CanRunRelay();
    if ( hostOnTyped ) {
        online.relay = g_screens.GetOnline().GetRelayAddress();
    }
    if ( online.host ) {
        if ( !StartOwnRelay( online ) ) {
            std::fprintf( stderr, "kelto: %s: %s\n", GetSubject(), GetError() );
            g_screens.RefuseOnline( GetError() );
            return;
        }
        StartAgain( online, world );
        return;
    }
    if ( !BeginJoin( online ) ) {
        std::fprintf( stderr, "kelto: %s: %s\n", GetSubject(), GetError() );
        g_screens.RefuseOnline( GetError() );
        return;
    }
    fromScreen = 1;
    g_screens.TellOnline( "joining " + online.join );
}

// From the title's game (or, joining from the command line, from nothing yet) into the online
// one; back to the title's, told why, when it cannot start.
void OnlineStart::StartAgain( const Options &options, World &world ) {
    if ( !fromScreen && !options.host ) {
        // The start-up has said why it could not start; the game ends.
        if ( !GameStartup( startInstance, startWindow, world ) ) {
            welcomed = 0;
            failed = 1;
            HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
        }
        return;
    }
    lastComplaint.clear();
    GameEnd( world );
    ForgetEntities( world );
    g_options = options;
    if ( GameStartup( startInstance, startWindow, world ) ) {
        return;
    }
    welcomed = 0;
    hosting = 0;
    BackToOnlineScreen( world, !lastComplaint.empty() ? lastComplaint : "the match could not start" );
}

int OnlineStart::PollHost( World &world ) {
    if ( !hosting ) {
        return 0;
    }
    const int answer = match->PollHost();
    if ( answer < 0 ) {
        return 1;
    }
    hosting = 0;
    if ( answer == 1 ) {
        std::printf( "kelto: friends join with: kelto --join %s\n", match->GetJoinAddress().c_str() );
        std::fflush( stdout );
        return 0;
    }
    Fail( g_options.relay, match->GetError() );
    std::fprintf( stderr, "kelto: %s: %s\n", GetSubject(), GetError() );
    GameEnd( world );
    ForgetEntities( world );
    BackToOnlineScreen( world, GetError() );
    return 0;
}

// The title's game again, with the online screen saying why the online one is not played.
void OnlineStart::BackToOnlineScreen( World &world, const std::string &refusal ) {
    if ( match->IsOn() ) {
        match->Leave();
    }
    g_options = keptOptions;
    if ( world.GetTanks() != nullptr ) {
        world.GetTanks()->DeleteEntities();
    }
    ForgetEntities( world );
    if ( !GameStartup( startInstance, startWindow, world ) ) {
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
        return;
    }
    g_screens.RefuseOnline( refusal );
}

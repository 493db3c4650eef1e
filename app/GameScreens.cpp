#include "app/GameScreens.h"

#include "settings/Settings.h"

GameScreens::GameScreens()
    : namer( nullptr ), screen( PLAYING ), returnTo( PLAYING ), overMatch( 0 ), withQuit( 1 ),
      withRestart( 1 ), withOnline( 0 ) {
}

GameScreens::~GameScreens() {
}

void GameScreens::Start( int onTitle, int quit, int restart, SettingsScreen::InputNamer newNamer ) {
    withQuit = quit;
    withRestart = restart;
    namer = newNamer;
    input.Hold( nullptr );
    overMatch = !onTitle;
    screen = PLAYING;
    returnTo = PLAYING;
    if ( onTitle ) {
        Open( TITLE );
    }
}

void GameScreens::SetLand( const std::string &newSetupLand, const std::string &newMatchCode ) {
    setupLand = newSetupLand;
    matchCode = newMatchCode;
}

void GameScreens::Open( int next ) {
    switch ( next ) {
    case TITLE:
        overMatch = 0;
        title.Build( withQuit, withOnline );
        break;
    case SETUP: {
        MatchSetup kept;
        kept.FromSettings( g_settings );
        if ( !setupLand.empty() ) {
            kept.land = setupLand;
        }
        setup.Build( kept );
        break;
    }
    case PAUSE:
        overMatch = 1;
        pause.Build( withRestart, withQuit, matchCode );
        break;
    case SETTINGS:
        returnTo = screen;
        settings.Build( g_settings, namer );
        break;
    case HELP:
        returnTo = screen;
        help.Build( g_settings );
        break;
    case ONLINE:
        overMatch = 0;
        online.Build( online.GetPeople(), online.GetTypedAddress(), std::string() );
        break;
    default:
        overMatch = 1;
        break;
    }
    screen = next;
}

int GameScreens::Frame( const uint8_t *keys, const HostPointerState *pointer ) {
    input.Read( keys );
    if ( pointer != nullptr ) {
        input.Point( pointer->x, pointer->y, pointer->moved, pointer->clicked, pointer->clickX,
                     pointer->clickY );
    }
    switch ( screen ) {
    case PLAYING:
        return OnPlaying();
    case TITLE:
        return OnTitle();
    case SETUP:
        return OnSetup();
    case PAUSE:
        return OnPause();
    case SETTINGS:
        if ( settings.Update( input ) == SettingsScreen::BACK ) {
            Open( returnTo );
        }
        return NOTHING;
    case HELP:
        if ( help.Update( input ) ) {
            Open( returnTo );
        }
        return NOTHING;
    case ONLINE:
        return OnOnline();
    default:
        return NOTHING;
    }
}

int GameScreens::OnOnline() {
    switch ( online.Update( input ) ) {
    case OnlineScreen::HOST:
        return HOST_ONLINE;
    case OnlineScreen::JOIN:
        return JOIN_ONLINE;
    case OnlineScreen::BACK:
        Open( TITLE );
        return NOTHING;
    default:
        return NOTHING;
    }
}

void GameScreens::RefuseOnline( const std::string &reason ) {
    Open( ONLINE );
    TellOnline( reason );
}

void GameScreens::TellOnline( const std::string &text ) {
    std::string shown = text;
    for ( char &c : shown ) {
        c = char( c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c );
    }
    online.SetMessage( shown );
}

int GameScreens::OnPlaying() {
    if ( input.Has( MenuInput::BACK ) ) {
        Open( PAUSE );
    } else if ( input.Has( MenuInput::HELP ) ) {
        Open( HELP );
    }
    return NOTHING;
}

int GameScreens::OnTitle() {
    switch ( title.Update( input ) ) {
    case TitleScreen::PLAY:
        Open( SETUP );
        return NOTHING;
    case TitleScreen::SETTINGS:
        Open( SETTINGS );
        return NOTHING;
    case TitleScreen::HELP:
        Open( HELP );
        return NOTHING;
    case TitleScreen::ONLINE:
        Open( ONLINE );
        return NOTHING;
    case TitleScreen::QUIT:
        return QUIT;
    default:
        return NOTHING;
    }
}

int GameScreens::OnSetup() {
    switch ( setup.Update( input ) ) {
    case SetupScreen::PLAY:
        Open( PLAYING );
        return START_MATCH;
    case SetupScreen::BACK:
        Open( TITLE );
        return NOTHING;
    default:
        return NOTHING;
    }
}

int GameScreens::OnPause() {
    switch ( pause.Update( input ) ) {
    case PauseScreen::RESUME:
        Open( PLAYING );
        return NOTHING;
    case PauseScreen::RESTART:
        Open( PLAYING );
        return RESTART_MATCH;
    case PauseScreen::SETTINGS:
        Open( SETTINGS );
        return NOTHING;
    case PauseScreen::TO_TITLE:
        Open( TITLE );
        return TO_TITLE;
    case PauseScreen::QUIT:
        return QUIT;
    default:
        return NOTHING;
    }
}

void GameScreens::Draw( Image &target, const HudColours &colours ) const {
    switch ( screen ) {
    case TITLE:
        title.Draw( target, colours );
        break;
    case SETUP:
        setup.Draw( target, colours );
        break;
    case PAUSE:
        pause.Draw( target, colours );
        break;
    case SETTINGS:
        settings.Draw( target, colours );
        break;
    case HELP:
        help.Draw( target, colours );
        break;
    case ONLINE:
        online.Draw( target, colours );
        break;
    default:
        break;
    }
}

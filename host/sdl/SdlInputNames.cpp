#include "host/sdl/SdlInputNames.h"

#include "host/HostKeyState.h"
#include "host/sdl/SdlKeyMap.h"

#include <SDL.h>

#include <strings.h>

int SdlKeyInputFromName( const char *name ) {
    SDL_Scancode scancode = SDL_GetScancodeFromName( name );
    if ( scancode == SDL_SCANCODE_UNKNOWN ) {
        // Names of keys that have no scan code name of their own, as SDL spells key codes.
        const SDL_Keycode keycode = SDL_GetKeyFromName( name );
        scancode = keycode != SDLK_UNKNOWN ? SDL_GetScancodeFromKey( keycode ) : SDL_SCANCODE_UNKNOWN;
    }
    const int dik = SdlScancodeToDik( scancode );
    return dik != 0 ? dik : -1;
}

int SdlPadInputFromName( const char *name ) {
    static const char *const stickHalves[] = { "leftx-", "leftx+", "lefty-", "lefty+" };
    for ( int half = 0; half < 4; ++half ) {
        if ( strcasecmp( name, stickHalves[half] ) == 0 ) {
            return HOST_INPUT_STICK_LEFT + half;
        }
    }
    const SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString( name );
    if ( button == SDL_CONTROLLER_BUTTON_INVALID || button >= HOST_INPUT_PAD_BUTTON_COUNT ) {
        return -1;
    }
    return HOST_INPUT_PAD_BUTTON + button;
}

int SdlIsKeyName( const char *name ) {
    return SdlKeyInputFromName( name ) >= 0 ? 1 : 0;
}

int SdlIsPadName( const char *name ) {
    return SdlPadInputFromName( name ) >= 0 ? 1 : 0;
}

std::vector<int> SdlInputsFromNames( const std::string &names, int pad ) {
    std::vector<int> inputs;
    size_t start = 0;
    while ( start <= names.size() ) {
        size_t comma = names.find( ',', start );
        if ( comma == std::string::npos ) {
            comma = names.size();
        }
        std::string name = names.substr( start, comma - start );
        name.erase( 0, name.find_first_not_of( " \t" ) );
        name.erase( name.find_last_not_of( " \t" ) + 1 );
        const int input = pad ? SdlPadInputFromName( name.c_str() ) : SdlKeyInputFromName( name.c_str() );
        if ( input >= 0 ) {
            inputs.push_back( input );
        }
        start = comma + 1;
    }
    return inputs;
}

std::string SdlInputName( int input ) {
    static const char *const stickHalves[] = { "leftx-", "leftx+", "lefty-", "lefty+" };
    if ( input >= HOST_INPUT_STICK_LEFT && input < HOST_INPUT_COUNT ) {
        return stickHalves[input - HOST_INPUT_STICK_LEFT];
    }
    if ( input >= HOST_INPUT_PAD_BUTTON && input < HOST_INPUT_STICK_LEFT ) {
        const char *name =
            SDL_GameControllerGetStringForButton( SDL_GameControllerButton( input - HOST_INPUT_PAD_BUTTON ) );
        return name != nullptr ? name : "";
    }
    int count = 0;
    const SdlDikKey *keys = SdlGetDikKeys( &count );
    for ( int i = 0; i < count; ++i ) {
        if ( keys[i].dik == input ) {
            return SDL_GetScancodeName( SDL_Scancode( keys[i].scancode ) );
        }
    }
    return std::string();
}

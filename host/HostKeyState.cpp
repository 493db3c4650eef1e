#include "host/HostKeyState.h"

#include <cstring>

HostKeyState::HostKeyState() : lastPress( -1 ) {
    std::memset( bound, 0, sizeof( bound ) );
    std::memset( down, 0, sizeof( down ) );
    std::memset( tapped, 0, sizeof( tapped ) );
}

HostKeyState::~HostKeyState() {
}

void HostKeyState::Bind( int gameKey, const std::vector<int> &inputs ) {
    if ( gameKey < 0 || gameKey >= 256 ) {
        return;
    }
    std::vector<Binding> kept;
    for ( const Binding &binding : bindings ) {
        if ( binding.gameKey != gameKey ) {
            kept.push_back( binding );
        }
    }
    for ( int input : inputs ) {
        if ( input >= 0 && input < HOST_INPUT_COUNT ) {
            kept.push_back( Binding{ input, gameKey } );
        }
    }
    bindings.swap( kept );
    bound[gameKey] = inputs.empty() ? 0 : 1;
}

int HostKeyState::IsBound( int input, int gameKey ) const {
    for ( const Binding &binding : bindings ) {
        if ( binding.input == input && binding.gameKey == gameKey ) {
            return 1;
        }
    }
    return 0;
}

void HostKeyState::Press( int input ) {
    if ( input >= 0 && input < HOST_INPUT_COUNT ) {
        down[input] = 1;
        tapped[input] = 1;
        lastPress = input;
    }
}

void HostKeyState::Release( int input ) {
    if ( input >= 0 && input < HOST_INPUT_COUNT ) {
        down[input] = 0;
    }
}

void HostKeyState::MoveStick( int vertical, int value, int deadZone ) {
    const int lower = vertical ? HOST_INPUT_STICK_UP : HOST_INPUT_STICK_LEFT;
    const int higher = vertical ? HOST_INPUT_STICK_DOWN : HOST_INPUT_STICK_RIGHT;
    const int halves[2] = { lower, higher };
    const int pushed[2] = { value<-deadZone, value> deadZone };
    for ( int i = 0; i < 2; ++i ) {
        if ( pushed[i] && !down[halves[i]] ) {
            Press( halves[i] );
        } else if ( !pushed[i] ) {
            Release( halves[i] );
        }
    }
}

int HostKeyState::TakeLastPress() {
    const int input = lastPress;
    lastPress = -1;
    return input;
}

void HostKeyState::ReleaseAll() {
    std::memset( down, 0, sizeof( down ) );
    std::memset( tapped, 0, sizeof( tapped ) );
}

void HostKeyState::ReleasePad() {
    std::memset( down + HOST_INPUT_PAD_BUTTON, 0, HOST_INPUT_COUNT - HOST_INPUT_PAD_BUTTON );
    std::memset( tapped + HOST_INPUT_PAD_BUTTON, 0, HOST_INPUT_COUNT - HOST_INPUT_PAD_BUTTON );
}

void HostKeyState::Read( uint8_t keys[256] ) {
    for ( int key = 0; key < 256; ++key ) {
        keys[key] = !bound[key] && ( down[key] || tapped[key] ) ? 0x80 : 0;
    }
    for ( const Binding &binding : bindings ) {
        if ( down[binding.input] || tapped[binding.input] ) {
            keys[binding.gameKey] = 0x80;
        }
    }
    std::memset( tapped, 0, sizeof( tapped ) );
}

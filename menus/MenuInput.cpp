#include "menus/MenuInput.h"

#include "host/HostTypes.h"

#include <cstring>

namespace {

struct KeyAction {
    int key;
    int action;
};

const KeyAction KEY_ACTIONS[] = {
    { DIK_UP, MenuInput::UP },
    { DIK_DOWN, MenuInput::DOWN },
    { DIK_LEFT, MenuInput::LEFT },
    { DIK_RIGHT, MenuInput::RIGHT },
    { DIK_RETURN, MenuInput::SELECT },
    { DIK_NUMPADENTER, MenuInput::SELECT },
    { DIK_SPACE, MenuInput::SELECT },
    { DIK_RETURN, MenuInput::ENTER },
    { DIK_NUMPADENTER, MenuInput::ENTER },
    { DIK_ESCAPE, MenuInput::BACK },
    { DIK_BACK, MenuInput::ERASE },
    { DIK_F1, MenuInput::HELP },
};

// The keys' rows as a PC keyboard has them, from their first scan code.
struct KeyRow {
    int first;
    const char *characters;
};

const KeyRow KEY_ROWS[] = {
    { 0x02, "1234567890-" }, { 0x10, "QWERTYUIOP" }, { 0x1E, "ASDFGHJKL" },
    { 0x2C, "ZXCVBNM" },     { 0x34, "." },          { 0x39, " " },
};

// The keys an address needs beyond a name's: ';' (':' with Shift) and '/'.
const int KEY_COLON = 0x27;
const int KEY_SLASH = 0x35;

int IsDown( const uint8_t *keys, int key ) {
    return keys != nullptr && ( keys[key] & 0x80 ) != 0;
}

} // namespace

MenuInput::MenuInput()
    : typed( 0 ), typedInAddress( 0 ), pointerX( 0 ), pointerY( 0 ), pointerMoved( 0 ), clickX( 0 ),
      clickY( 0 ) {
    std::memset( before, 0, sizeof( before ) );
    std::memset( pressed, 0, sizeof( pressed ) );
}

MenuInput::~MenuInput() {
}

char MenuInput::CharacterOf( int key ) {
    for ( const KeyRow &row : KEY_ROWS ) {
        const int length = int( std::strlen( row.characters ) );
        if ( key >= row.first && key < row.first + length ) {
            return row.characters[key - row.first];
        }
    }
    return 0;
}

char MenuInput::AddressCharacterOf( int key ) {
    if ( key == KEY_COLON ) {
        return ':';
    }
    if ( key == KEY_SLASH ) {
        return '/';
    }
    const char c = CharacterOf( key );
    return c == ' ' ? 0 : c;
}

void MenuInput::Read( const uint8_t *keys ) {
    std::memset( pressed, 0, sizeof( pressed ) );
    typed = 0;
    typedInAddress = 0;
    pointerMoved = 0;
    for ( int key = 0; key < 256; key++ ) {
        const int down = IsDown( keys, key );
        if ( down && !before[key] ) {
            for ( const KeyAction &keyAction : KEY_ACTIONS ) {
                if ( keyAction.key == key ) {
                    pressed[keyAction.action] = 1;
                }
            }
            if ( typed == 0 ) {
                typed = CharacterOf( key );
            }
            if ( typedInAddress == 0 ) {
                typedInAddress = AddressCharacterOf( key );
            }
        }
        before[key] = uint8_t( down );
    }
}

void MenuInput::Point( int x, int y, int moved, int clicked, int atX, int atY ) {
    pointerX = x;
    pointerY = y;
    pointerMoved = moved != 0;
    pressed[CLICK] = clicked != 0;
    clickX = atX;
    clickY = atY;
}

void MenuInput::Hold( const uint8_t *keys ) {
    for ( int key = 0; key < 256; key++ ) {
        before[key] = uint8_t( IsDown( keys, key ) );
    }
    std::memset( pressed, 0, sizeof( pressed ) );
    typed = 0;
    typedInAddress = 0;
    pointerMoved = 0;
}

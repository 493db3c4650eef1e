#include "menus/SettingsScreen.h"

#include "host/HostBackend.h"
#include "host/HostKeyState.h"
#include "menus/MenuInput.h"
#include "settings/SettingsFile.h"

namespace {

enum Kind { WINDOW, SCALE, VOLUME, GAMEPAD, DEAD_ZONE, KEY, PAD, DEFAULTS, BACK_ROW };

struct Row {
    const char *label;
    const char *key; // the settings file's; null for the rows that change nothing themselves
    Kind kind;
    std::string Settings::*field; // a binding's names
};

const Row ROWS[] = {
    { "WINDOW", "window", WINDOW, nullptr },
    { "SCALE", "scale", SCALE, nullptr },
    { "VOLUME", "volume", VOLUME, nullptr },
    { "GAMEPAD", "gamepad", GAMEPAD, nullptr },
    { "DEAD ZONE", "pad_dead_zone", DEAD_ZONE, nullptr },
    { "KEY LEFT", "key_left", KEY, &Settings::keyLeft },
    { "KEY RIGHT", "key_right", KEY, &Settings::keyRight },
    { "KEY UP", "key_up", KEY, &Settings::keyUp },
    { "KEY DOWN", "key_down", KEY, &Settings::keyDown },
    { "KEY FIRE", "key_fire", KEY, &Settings::keyFire },
    { "KEY WEAPON BACK", "key_weapon_previous", KEY, &Settings::keyWeaponPrevious },
    { "KEY WEAPON ON", "key_weapon_next", KEY, &Settings::keyWeaponNext },
    { "PAD LEFT", "pad_left", PAD, &Settings::padLeft },
    { "PAD RIGHT", "pad_right", PAD, &Settings::padRight },
    { "PAD UP", "pad_up", PAD, &Settings::padUp },
    { "PAD DOWN", "pad_down", PAD, &Settings::padDown },
    { "PAD FIRE", "pad_fire", PAD, &Settings::padFire },
    { "PAD WEAPON BACK", "pad_weapon_previous", PAD, &Settings::padWeaponPrevious },
    { "PAD WEAPON ON", "pad_weapon_next", PAD, &Settings::padWeaponNext },
    { "PAD PAUSE", "pad_quit", PAD, &Settings::padQuit },
    { "DEFAULTS", nullptr, DEFAULTS, nullptr },
    { "BACK", nullptr, BACK_ROW, nullptr },
};
const int ROW_COUNT = int( sizeof( ROWS ) / sizeof( ROWS[0] ) );

const char *const SCALES[] = { "smooth", "integer", "fit" };
const int VOLUME_STEP = 10;
const int DEAD_ZONE_STEP = 5;
const int DEAD_ZONE_MOST = 95;
// Binding names longer than this are cut short on screen.
const size_t SHOWN_NAMES = 12;

std::string Capitals( std::string text ) {
    for ( char &c : text ) {
        if ( c >= 'a' && c <= 'z' ) {
            c = char( c - 'a' + 'A' );
        }
    }
    return text.size() > SHOWN_NAMES ? text.substr( 0, SHOWN_NAMES - 2 ) + ".." : text;
}

int Clamp( int value, int low, int high ) {
    return value < low ? low : ( value > high ? high : value );
}

int ScaleIndex( const std::string &scale ) {
    for ( int i = 0; i < 3; i++ ) {
        if ( scale == SCALES[i] ) {
            return i;
        }
    }
    return 0;
}

} // namespace

SettingsScreen::SettingsScreen() : namer( nullptr ), binding( -1 ) {
}

SettingsScreen::~SettingsScreen() {
}

void SettingsScreen::Build( const Settings &settings, InputNamer newNamer ) {
    namer = newNamer;
    binding = -1;
    changes.clear();
    menu.Start( "SETTINGS" );
    menu.SetSmall();
    for ( int id = 0; id < ROW_COUNT; id++ ) {
        const Row &row = ROWS[id];
        if ( namer != nullptr || row.kind == VOLUME || row.kind == BACK_ROW ) {
            const int stepped = row.kind <= DEAD_ZONE;
            menu.Add( id, row.label, "", stepped );
        }
    }
    Refresh( settings );
}

void SettingsScreen::Refresh( const Settings &settings ) {
    shown = settings;
    for ( int id = 0; id < ROW_COUNT; id++ ) {
        const Row &row = ROWS[id];
        std::string value;
        switch ( row.kind ) {
        case WINDOW:
            value = settings.windowed ? "WINDOW" : "FULL SCREEN";
            break;
        case SCALE:
            value = Capitals( SCALES[ScaleIndex( settings.scale )] );
            break;
        case VOLUME:
            value = std::to_string( settings.volume ) + "%";
            break;
        case GAMEPAD:
            value = settings.gamepad ? "ON" : "OFF";
            break;
        case DEAD_ZONE:
            value = std::to_string( settings.padDeadZone ) + "%";
            break;
        case KEY:
        case PAD:
            value = id == binding ? ( row.kind == KEY ? "PRESS A KEY" : "PRESS A BUTTON" )
                                  : Capitals( settings.*row.field );
            break;
        default:
            break;
        }
        menu.SetValue( id, value );
    }
}

void SettingsScreen::Add( const char *key, const std::string &value ) {
    changes.push_back( Change{ key, value } );
}

std::vector<SettingsScreen::Change> SettingsScreen::TakeChanges() {
    std::vector<Change> taken;
    taken.swap( changes );
    return taken;
}

void SettingsScreen::Step( int id, int step ) {
    const Row &row = ROWS[id];
    switch ( row.kind ) {
    case WINDOW:
        Add( row.key, shown.windowed ? "fullscreen" : "window" );
        break;
    case SCALE:
        Add( row.key, SCALES[( ScaleIndex( shown.scale ) + step + 3 ) % 3] );
        break;
    case VOLUME:
        Add( row.key, std::to_string( Clamp( shown.volume + step * VOLUME_STEP, 0, 100 ) ) );
        break;
    case GAMEPAD:
        Add( row.key, shown.gamepad ? "off" : "on" );
        break;
    case DEAD_ZONE:
        Add( row.key,
             std::to_string( Clamp( shown.padDeadZone + step * DEAD_ZONE_STEP, 0, DEAD_ZONE_MOST ) ) );
        break;
    default:
        break;
    }
}

void SettingsScreen::ResetControls() {
    for ( const Row &row : ROWS ) {
        if ( row.kind == KEY || row.kind == PAD ) {
            Add( row.key, SettingsFile::GetDefault( row.key ) );
        }
    }
}

// The key or button pressed last is the new binding; Escape on the keyboard keeps the old.
// A key row takes keys only and a pad row buttons (or a stick's half) only.
void SettingsScreen::Bind() {
    const int input = HostTakeLastInput();
    if ( input < 0 ) {
        return;
    }
    const Row &row = ROWS[binding];
    const int isKey = input < HOST_INPUT_PAD_BUTTON;
    if ( input == DIK_ESCAPE ) {
        binding = -1;
    } else if ( isKey == ( row.kind == KEY ) ) {
        const std::string name = namer( input );
        if ( !name.empty() ) {
            Add( row.key, name );
            binding = -1;
        }
    }
    Refresh( shown );
}

int SettingsScreen::Update( const MenuInput &input ) {
    if ( binding >= 0 ) {
        Bind();
        return NONE;
    }
    const Menu::Event event = menu.Update( input );
    if ( event.type == Menu::EVENT_BACK ) {
        return BACK;
    }
    if ( event.type == Menu::EVENT_STEPPED ) {
        Step( event.id, event.step );
    } else if ( event.type == Menu::EVENT_CHOSEN ) {
        const Kind kind = ROWS[event.id].kind;
        if ( kind == BACK_ROW ) {
            return BACK;
        }
        if ( kind == DEFAULTS ) {
            ResetControls();
        } else if ( kind == KEY || kind == PAD ) {
            binding = event.id;
            HostTakeLastInput(); // the press that chose the row binds nothing
            Refresh( shown );
        } else {
            Step( event.id, 1 );
        }
    }
    return NONE;
}

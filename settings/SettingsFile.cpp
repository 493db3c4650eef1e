#include "settings/SettingsFile.h"

#include "host/HostFile.h"
#include "host/HostText.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

Settings g_settings;

namespace {

struct NameChecks {
    SettingsNameCheck key;
    SettingsNameCheck pad;
};

struct SettingRow {
    const char *key;
    const char *defaultValue; // as written into a new file, and read like any other value
    const char *comment;
    // 1 when the value is understood (and stored); 0 leaves the field as it was.
    int ( *apply )( Settings &settings, const std::string &value, const NameChecks &checks );
};

// 1 when `value` is one of the space-separated `words`; its position in `index`.
int ReadChoice( const std::string &value, const char *words, int &index ) {
    int position = 0;
    for ( const char *word = words; *word != '\0'; ++position ) {
        const size_t length = std::strcspn( word, " " );
        if ( value.size() == length && value.compare( 0, length, word, length ) == 0 ) {
            index = position;
            return 1;
        }
        word += length;
        word += std::strspn( word, " " );
    }
    return 0;
}

int ReadWord( const std::string &value, const char *words, std::string &field ) {
    int index = 0;
    if ( !ReadChoice( value, words, index ) ) {
        return 0;
    }
    field = value;
    return 1;
}

int ReadSwitch( const std::string &value, int &field ) {
    int index = 0;
    if ( !ReadChoice( value, "off on", index ) ) {
        return 0;
    }
    field = index;
    return 1;
}

std::string Trim( const std::string &text ) {
    const size_t first = text.find_first_not_of( " \t\r" );
    if ( first == std::string::npos ) {
        return std::string();
    }
    return text.substr( first, text.find_last_not_of( " \t\r" ) - first + 1 );
}

// A comma-separated list of one or more names the check knows, kept as written.
int ReadNames( const std::string &value, SettingsNameCheck check, std::string &field ) {
    size_t start = 0;
    do {
        const size_t comma = value.find( ',', start );
        const std::string name =
            Trim( value.substr( start, comma == std::string::npos ? std::string::npos : comma - start ) );
        if ( name.empty() || ( check && !check( name.c_str() ) ) ) {
            return 0;
        }
        start = comma == std::string::npos ? comma : comma + 1;
    } while ( start != std::string::npos );
    field = value;
    return 1;
}

int ReadPercent( const std::string &value, int &field ) {
    char *end = nullptr;
    const long number = std::strtol( value.c_str(), &end, 10 );
    if ( value.empty() || *end != '\0' || number < 0 || number > 99 ) {
        return 0;
    }
    field = int( number );
    return 1;
}

int ReadNumber( const std::string &value, long low, long high, int &field ) {
    char *end = nullptr;
    const long number = std::strtol( value.c_str(), &end, 10 );
    if ( value.empty() || *end != '\0' || number < low || number > high ) {
        return 0;
    }
    field = int( number );
    return 1;
}

// A player's name: at most SETTINGS_NAME_LENGTH letters, digits, spaces and the signs the
// game's font draws, kept in capitals as the font shows them; empty for the seat's own.
int ReadPlayerName( const std::string &value, std::string &field ) {
    if ( value.size() > size_t( SETTINGS_NAME_LENGTH ) ) {
        return 0;
    }
    std::string name;
    for ( char c : value ) {
        if ( c >= 'a' && c <= 'z' ) {
            c = char( c - 'a' + 'A' );
        }
        if ( c < ' ' || c > '_' ) {
            return 0;
        }
        name += c;
    }
    field = name;
    return 1;
}

// A row of comma-separated names, checked by the key or the pad names (`kind`).
#define NAMES_ROW( name, kind, field, value, comment )                                                       \
    {                                                                                                        \
        name, value, comment, []( Settings &s, const std::string &v, const NameChecks &c ) {                 \
            return ReadNames( v, c.kind, s.field );                                                          \
        }                                                                                                    \
    }

const SettingRow SETTING_ROWS[] = {
    { "window", "fullscreen", "fullscreen or window (Alt+Enter or F11 switches while playing)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          int index = 0;
          if ( !ReadChoice( v, "fullscreen window", index ) ) {
              return 0;
          }
          s.windowed = index;
          return 1;
      } },
    { "scale", "smooth",
      "smooth: whole multiples of the picture, softened to fill the screen; integer: whole "
      "multiples with black borders; fit: fill the screen with uneven pixels",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadWord( v, "fit integer smooth", s.scale );
      } },
    NAMES_ROW( "key_left", key, keyLeft, "Left", "keys that drive left, by SDL key name, comma-separated" ),
    NAMES_ROW( "key_right", key, keyRight, "Right", "keys that drive right" ),
    NAMES_ROW( "key_up", key, keyUp, "Up", "keys that raise the barrel" ),
    NAMES_ROW( "key_down", key, keyDown, "Down", "keys that lower the barrel" ),
    NAMES_ROW( "key_fire", key, keyFire, "Space", "keys that charge while held and fire when let go" ),
    NAMES_ROW( "key_weapon_previous", key, keyWeaponPrevious, "Q", "keys that choose the weapon before" ),
    NAMES_ROW( "key_weapon_next", key, keyWeaponNext, "E", "keys that choose the weapon after" ),
    { "gamepad", "on", "on or off: play with a gamepad (plugged in at any time)",
      []( Settings &s, const std::string &v, const NameChecks & ) { return ReadSwitch( v, s.gamepad ); } },
    NAMES_ROW( "pad_left", pad, padLeft, "dpleft, leftx-",
               "gamepad buttons that drive left, by SDL controller button name (a, b, x, y, back, "
               "start, dpleft, ...) or a stick's half axis (leftx-, leftx+, lefty-, lefty+)" ),
    NAMES_ROW( "pad_right", pad, padRight, "dpright, leftx+", "gamepad buttons that drive right" ),
    NAMES_ROW( "pad_up", pad, padUp, "dpup, lefty-", "gamepad buttons that raise the barrel" ),
    NAMES_ROW( "pad_down", pad, padDown, "dpdown, lefty+", "gamepad buttons that lower the barrel" ),
    NAMES_ROW( "pad_fire", pad, padFire, "a", "gamepad buttons that charge and fire" ),
    NAMES_ROW( "pad_weapon_previous", pad, padWeaponPrevious, "leftshoulder",
               "gamepad buttons that choose the weapon before" ),
    NAMES_ROW( "pad_weapon_next", pad, padWeaponNext, "rightshoulder",
               "gamepad buttons that choose the weapon after" ),
    NAMES_ROW( "pad_quit", pad, padQuit, "back", "gamepad buttons that quit, as Escape does" ),
    { "pad_dead_zone", "25", "percent of the stick's travel from the centre that does nothing (0 to 99)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadPercent( v, s.padDeadZone );
      } },
    { "players", "1",
      "people at the keyboard, 0 to 4: they play players 1 to N and the computer plays the other "
      "tanks (0: the computer plays all four, match after match)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadChoice( v, "0 1 2 3 4", s.players );
      } },
    { "level", "normal", "how well the computer aims: easy, normal or hard",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadWord( v, "easy normal hard", s.level );
      } },
    { "volume", "100", "loudness of the sound in percent (0 to 100; 0 is silent, M still toggles)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          char *end = nullptr;
          const long number = std::strtol( v.c_str(), &end, 10 );
          if ( v.empty() || *end != '\0' || number < 0 || number > 100 ) {
              return 0;
          }
          s.volume = int( number );
          return 1;
      } },
    { "wind", "on", "on or off: a new wind each turn pushes the bombs sideways (as --wind)",
      []( Settings &s, const std::string &v, const NameChecks & ) { return ReadSwitch( v, s.wind ); } },
};

#undef NAMES_ROW

// The seats and names of the last set-up, one row each.
// A land's code as the game writes it: a name, a name and eight hexadecimal digits joined by
// '-', in any letter case. Which names make a land is the game's to say; a code it cannot
// make plays a new land instead.
int IsLandCodeShape( const std::string &value ) {
    const size_t first = value.find( '-' );
    const size_t second = first == std::string::npos ? first : value.find( '-', first + 1 );
    if ( first == 0 || second == std::string::npos || second == first + 1 || value.size() != second + 9 ) {
        return 0;
    }
    for ( size_t i = 0; i < value.size(); i++ ) {
        const char c = char( value[i] | 0x20 );
        const int letter = c >= 'a' && c <= 'z';
        const int hex = ( c >= '0' && c <= '9' ) || ( c >= 'a' && c <= 'f' );
        if ( i != first && i != second && !( i < second ? letter : hex ) ) {
            return 0;
        }
    }
    return 1;
}

int ReadLand( const std::string &value, std::string &field ) {
    if ( IsLandCodeShape( value ) ) {
        field = value;
        return 1;
    }
    return ReadWord( value, "new bundled hills islands cavern cliffs", field );
}

#define SEAT_ROW( number, value, comment )                                                                   \
    {                                                                                                        \
        "seat_" #number, value, comment, []( Settings &s, const std::string &v, const NameChecks & ) {       \
            return ReadWord( v, "off person easy normal hard", s.seat[number - 1] );                         \
        }                                                                                                    \
    }
#define NAME_ROW( number, comment )                                                                          \
    {                                                                                                        \
        "name_" #number, "", comment, []( Settings &s, const std::string &v, const NameChecks & ) {          \
            return ReadPlayerName( v, s.name[number - 1] );                                                  \
        }                                                                                                    \
    }

const SettingRow SETUP_ROWS[] = {
    SEAT_ROW( 1, "person",
              "the last match set up on screen: who sits in each seat: off, person, or the computer "
              "at easy, normal or hard" ),
    SEAT_ROW( 2, "normal", "the second seat" ),
    SEAT_ROW( 3, "normal", "the third seat" ),
    SEAT_ROW( 4, "normal", "the fourth seat" ),
    NAME_ROW( 1, "the players' names, up to 12 letters (empty: PLAYER 1 and so on)" ),
    NAME_ROW( 2, "the second player's name" ),
    NAME_ROW( 3, "the third player's name" ),
    NAME_ROW( 4, "the fourth player's name" ),
    { "health", "100", "each tank's health at the start of a match (1 to 999)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadNumber( v, 1, 999, s.health );
      } },
    { "stock", "3", "shots of each weapon a tank has in a match (0 to 99)",
      []( Settings &s, const std::string &v, const NameChecks & ) {
          return ReadNumber( v, 0, 99, s.stock );
      } },
    { "land", "new",
      "the land played on: new (a new land each match), bundled (the game's pictures), hills, "
      "islands, cavern or cliffs (a new land of that style each match), or a land's code such "
      "as HILLS-GREEN-3F9A21C0",
      []( Settings &s, const std::string &v, const NameChecks & ) { return ReadLand( v, s.land ); } },
};

#undef SEAT_ROW
#undef NAME_ROW

// Every row, the player's own settings first and the last set-up after them.
template <typename Visit> void ForEachRow( Visit visit ) {
    for ( const SettingRow &row : SETTING_ROWS ) {
        visit( row );
    }
    for ( const SettingRow &row : SETUP_ROWS ) {
        visit( row );
    }
}

const SettingRow *FindRow( const std::string &key ) {
    const SettingRow *found = nullptr;
    ForEachRow( [&]( const SettingRow &row ) {
        if ( found == nullptr && key == row.key ) {
            found = &row;
        }
    } );
    return found;
}

// The key of a "key = value" line, or empty for a comment, a blank or anything else.
std::string KeyOfLine( const std::string &line ) {
    const std::string text = Trim( line );
    const size_t equals = text.find( '=' );
    if ( text.empty() || text[0] == '#' || equals == std::string::npos ) {
        return std::string();
    }
    return Trim( text.substr( 0, equals ) );
}

} // namespace

SettingsFile::SettingsFile() : keyCheck( nullptr ), padCheck( nullptr ) {
}

SettingsFile::~SettingsFile() {
}

void SettingsFile::SetNameChecks( SettingsNameCheck newKeyCheck, SettingsNameCheck newPadCheck ) {
    keyCheck = newKeyCheck;
    padCheck = newPadCheck;
}

void SettingsFile::SetDefaults( Settings &settings ) {
    const NameChecks anyName = { nullptr, nullptr };
    ForEachRow( [&]( const SettingRow &row ) { row.apply( settings, row.defaultValue, anyName ); } );
}

std::string SettingsFile::GetDefault( const std::string &key ) {
    const SettingRow *row = FindRow( key );
    return row != nullptr ? row->defaultValue : "";
}

// Written whole beside the old name and renamed over it, so that a disk that fills leaves no
// half-written file for later starts to read as if it were the player's.
int SettingsFile::WriteWhole( const std::string &path, const std::string &text, const char *&why ) {
    char temporary[4096];
    HostFile *file = HostFileCreateBeside( path.c_str(), temporary, sizeof( temporary ) );
    if ( file == nullptr ) {
        why = HostFileGetOpenError();
        return 0;
    }
    const int written = HostFileWrite( file, text.data(), int64_t( text.size() ) ) && HostFileSync( file );
    why = HostFileGetError( file );
    HostFileClose( file );
    if ( !written || !HostFileRename( temporary, path.c_str() ) ) {
        if ( written ) {
            why = HostFileGetOpenError();
        }
        HostFileRemove( temporary );
        return 0;
    }
    return 1;
}

int SettingsFile::WriteDefaults( const std::string &path, const char **reason ) {
    const char *ignored = nullptr;
    const char *&why = reason != nullptr ? *reason : ignored;
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::path( path ).parent_path();
    if ( !folder.empty() ) {
        std::filesystem::create_directories( folder, error );
    }
    std::string text = "# Kelto's settings: one \"key = value\" a line; lines starting with # are comments.\n"
                       "# Delete this file to get the defaults back. Options on the command line win.\n";
    ForEachRow( [&]( const SettingRow &row ) {
        text += std::string( "\n# " ) + row.comment + "\n" + row.key + " = " + row.defaultValue + "\n";
    } );
    return WriteWhole( path, text, why );
}

int SettingsFile::ApplyLine( const std::string &line, Settings &settings ) const {
    const size_t equals = line.find( '=' );
    if ( equals == std::string::npos ) {
        return 0;
    }
    const SettingRow *row = FindRow( Trim( line.substr( 0, equals ) ) );
    const NameChecks checks = { keyCheck, padCheck };
    return row != nullptr && row->apply( settings, Trim( line.substr( equals + 1 ) ), checks );
}

// One line of the file, whole up to SETTINGS_LINE_LIMIT bytes; `cut` when it was longer
// (it is then not understood, and only its start is shown).
void SettingsFile::ReadLine( const std::string &line, int cut, int number, Settings &settings,
                             LineReport &report ) const {
    const std::string text = Trim( line );
    if ( text.empty() || text[0] == '#' ) {
        return;
    }
    if ( !cut && ApplyLine( text, settings ) ) {
        return;
    }
    if ( ++report.notUnderstood > SETTINGS_WARNING_LIMIT ) {
        return;
    }
    char shown[HOST_TEXT_SIZE];
    std::fprintf( report.warnings, "kelto: %s:%d: not understood, its default is used: %s\n", report.path,
                  number, HostEscapeText( text.data(), text.size(), shown ) );
}

int SettingsFile::Load( const std::string &path, Settings &settings, FILE *warnings, FILE *notices ) const {
    SetDefaults( settings );
    if ( path.empty() ) {
        return 0; // no home to keep settings in: the defaults, without a word
    }
    HostFile *file = HostFileOpen( path.c_str() );
    if ( file == nullptr ) {
        const char *reason = HostFileGetOpenError();
        if ( std::strcmp( reason, "no such file" ) == 0 ) {
            if ( WriteDefaults( path, &reason ) ) {
                if ( notices != nullptr ) {
                    std::fprintf( notices, "kelto: wrote the default settings to %s\n", path.c_str() );
                }
                return 1;
            }
            std::fprintf( warnings, "kelto: %s: cannot be written: %s; using the default settings\n",
                          path.c_str(), reason );
            return 0;
        }
        std::fprintf( warnings, "kelto: %s: cannot be read: %s; using the default settings\n", path.c_str(),
                      reason );
        return 0;
    }
    LineReport report = { warnings, path.c_str(), 0 };
    std::string line;
    int cut = 0;
    int number = 1;
    char buffer[4096];
    for ( int64_t got; ( got = HostFileRead( file, buffer, sizeof( buffer ) ) ) > 0; ) {
        for ( int64_t i = 0; i < got; i++ ) {
            if ( buffer[i] == '\n' ) {
                ReadLine( line, cut, number++, settings, report );
                line.clear();
                cut = 0;
            } else if ( line.size() < SETTINGS_LINE_LIMIT ) {
                line += buffer[i];
            } else {
                cut = 1;
            }
        }
    }
    HostFileClose( file );
    if ( !line.empty() ) {
        ReadLine( line, cut, number, settings, report );
    }
    if ( report.notUnderstood > SETTINGS_WARNING_LIMIT ) {
        std::fprintf( warnings, "kelto: %s: %d more lines not understood, their defaults are used\n",
                      path.c_str(), report.notUnderstood - SETTINGS_WARNING_LIMIT );
    }
    return 1;
}

SettingsFile::ChangeResult SettingsFile::Change( const std::string &path, const std::string &key,
                                                 const std::string &value, Settings &settings ) const {
    if ( key.find_first_of( "=\n#" ) != std::string::npos || value.find( '\n' ) != std::string::npos ||
         !ApplyLine( key + " = " + value, settings ) ) {
        return CHANGE_REFUSED;
    }
    if ( path.empty() ) {
        return CHANGE_NOT_WRITTEN;
    }
    return Rewrite( path, key, value ) ? CHANGE_WRITTEN : CHANGE_NOT_WRITTEN;
}

// The file as it is, one line a time, through the same reader as Load: a FIFO or a device is
// refused, and a file grown past what a settings file can be is left alone rather than read
// whole into memory.
int SettingsFile::Rewrite( const std::string &path, const std::string &key, const std::string &value ) {
    const char *why = nullptr;
    HostFile *file = HostFileOpen( path.c_str() );
    if ( file == nullptr && std::strcmp( HostFileGetOpenError(), "no such file" ) == 0 &&
         WriteDefaults( path ) ) {
        file = HostFileOpen( path.c_str() );
    }
    if ( file == nullptr ) {
        return 0;
    }
    if ( HostFileGetSize( file ) > SETTINGS_REWRITE_LIMIT ) {
        HostFileClose( file );
        return 0;
    }
    std::string text;
    std::string line;
    int found = 0;
    const auto keep = [&]() {
        if ( !found && KeyOfLine( line ) == key ) {
            line = key + " = " + value;
            found = 1;
        }
        text += line + "\n";
        line.clear();
    };
    char buffer[4096];
    for ( int64_t got; ( got = HostFileRead( file, buffer, sizeof( buffer ) ) ) > 0; ) {
        for ( int64_t i = 0; i < got; i++ ) {
            if ( buffer[i] == '\n' ) {
                keep();
            } else {
                line += buffer[i];
            }
        }
    }
    HostFileClose( file );
    if ( !line.empty() ) {
        keep();
    }
    if ( !found ) {
        const SettingRow *row = FindRow( key );
        text += std::string( "\n# " ) + ( row != nullptr ? row->comment : "" ) + "\n" + key + " = " + value +
                "\n";
    }
    return WriteWhole( path, text, why );
}

std::string SettingsFile::GetDefaultPath() {
    const char *config = std::getenv( "XDG_CONFIG_HOME" );
    if ( config != nullptr && *config == '/' ) {
        return std::string( config ) + "/kelto/settings.ini";
    }
    const char *home = std::getenv( "HOME" );
    if ( home != nullptr && *home != '\0' ) {
        return std::string( home ) + "/.config/kelto/settings.ini";
    }
    return std::string();
}

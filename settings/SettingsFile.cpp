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

const SettingRow *FindRow( const std::string &key ) {
    for ( const SettingRow &row : SETTING_ROWS ) {
        if ( key == row.key ) {
            return &row;
        }
    }
    return nullptr;
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
    for ( const SettingRow &row : SETTING_ROWS ) {
        row.apply( settings, row.defaultValue, anyName );
    }
}

// Written whole beside the old name and renamed over it, so that a disk that fills leaves no
// half-written file for later starts to read as if it were the player's.
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
    for ( const SettingRow &row : SETTING_ROWS ) {
        text += std::string( "\n# " ) + row.comment + "\n" + row.key + " = " + row.defaultValue + "\n";
    }
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

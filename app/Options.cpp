#include "app/Options.h"

#include "lands/LandCode.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#ifndef KELTO_VERSION
#define KELTO_VERSION "unknown"
#endif

Options g_options;

namespace {

// Parses a whole decimal number within [low, high]; 0 for anything else.
int ParseInt( const char *text, int low, int high, int &value ) {
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol( text, &end, 10 );
    if ( end == text || *end != '\0' || errno != 0 || number < low || number > high ) {
        return 0;
    }
    value = int( number );
    return 1;
}

// 1 when `text` is one of the words of the space-separated list `choices`.
int IsChoice( const char *text, const char *choices ) {
    const size_t length = std::strlen( text );
    for ( const char *word = choices; *word != '\0'; ) {
        const char *next = std::strchr( word, ' ' );
        const size_t wordLength = next != nullptr ? size_t( next - word ) : std::strlen( word );
        if ( length != 0 && length == wordLength && std::strncmp( word, text, length ) == 0 ) {
            return 1;
        }
        word += wordLength;
        while ( *word == ' ' ) {
            ++word;
        }
    }
    return 0;
}

struct OptionRow {
    const char *name;
    const char *argument; // null for a flag
    const char *help;
    // 1 when the option (and its argument, if any) is understood.
    int ( *apply )( Options &options, const char *argument );
};

// A relay's address: ws://, or wss:// for one behind TLS.
int IsRelayScheme( const char *text ) {
    return std::strncmp( text, "ws://", 5 ) == 0 || std::strncmp( text, "wss://", 6 ) == 0;
}

const OptionRow OPTION_ROWS[] = {
    { "--windowed", nullptr, "play in a window instead of full screen",
      []( Options &o, const char * ) {
          o.windowed = 1;
          return 1;
      } },
    { "--classic", nullptr, "the designed game alone: no view, matches, computer players or sound",
      []( Options &o, const char * ) {
          o.classic = 1;
          return 1;
      } },
    { "--health", "N", "each tank's health at a match's start (1 to 999, default 100)",
      []( Options &o, const char *a ) { return ParseInt( a, 1, 999, o.health ); } },
    { "--stock", "N", "shots of each weapon but the bomb a player has in a match (0 to 99)",
      []( Options &o, const char *a ) { return ParseInt( a, 0, 99, o.stock ); } },
    { "--record", "FILE", "record the game into FILE",
      []( Options &o, const char *a ) {
          o.record = a;
          return 1;
      } },
    { "--replay", "FILE", "show the game recorded in FILE",
      []( Options &o, const char *a ) {
          o.replay = a;
          return 1;
      } },
    { "--timedemo", "FILE", "run the game recorded in FILE unseen, as fast as it goes",
      []( Options &o, const char *a ) {
          o.timedemo = a;
          return 1;
      } },
    { "--settings", "FILE", "read the settings from FILE instead of the usual place",
      []( Options &o, const char *a ) {
          o.settings = a;
          return 1;
      } },
    { "--scale", "MODE", "fit, integer or smooth scaling of the picture (default smooth)",
      []( Options &o, const char *a ) {
          if ( !IsChoice( a, "fit integer smooth" ) ) {
              return 0;
          }
          o.scale = a;
          return 1;
      } },
    { "--mute", nullptr, "start without sound (M turns it on and off)",
      []( Options &o, const char * ) {
          o.mute = 1;
          return 1;
      } },
    { "--data", "DIR", "read the pictures and sounds from DIR",
      []( Options &o, const char *a ) {
          o.data = a;
          return 1;
      } },
    { "--players", "N", "people at the keyboard (0 to 4, default 1); the computer plays the other tanks",
      []( Options &o, const char *a ) { return ParseInt( a, 0, 4, o.players ); } },
    { "--level", "LEVEL", "the computer's aim: easy, normal (the default) or hard",
      []( Options &o, const char *a ) {
          if ( !IsChoice( a, "easy normal hard" ) ) {
              return 0;
          }
          o.level = a;
          return 1;
      } },
    { "--land", "CODE|FILE", "play on the land of a code (e.g. HILLS-GREEN-3F9A21C0) or on your own picture",
      []( Options &o, const char *a ) {
          o.land = a;
          return 1;
      } },
    { "--background", "FILE",
      "the background picture to go with --land FILE.bmp (its colours are the game's)",
      []( Options &o, const char *a ) {
          o.background = a;
          return 1;
      } },
    { "--wind", "on|off", "a new wind each turn that pushes the bombs sideways (default on)",
      []( Options &o, const char *a ) {
          if ( !IsChoice( a, "on off" ) ) {
              return 0;
          }
          o.wind = std::strcmp( a, "on" ) == 0 ? 1 : 0;
          return 1;
      } },
    { "--host", nullptr, "open a room for an online match and play in its first seat (with --relay)",
      []( Options &o, const char * ) {
          o.host = 1;
          return 1;
      } },
    { "--relay", "URL", "the relay --host opens its room on, e.g. ws://relay.example:7531",
      []( Options &o, const char *a ) {
          o.relay = a;
          return IsRelayScheme( a );
      } },
    { "--join", "URL", "play in a friend's room online, e.g. ws://relay.example:7531/ABC234",
      []( Options &o, const char *a ) {
          o.join = a;
          return IsRelayScheme( a );
      } },
    { "--watch", "URL", "watch a room's match online without playing, e.g. ws://relay.example:7531/ABC234",
      []( Options &o, const char *a ) {
          o.watch = a;
          return IsRelayScheme( a );
      } },
    { "--name", "NAME", "the name the others see in an online match (1 to 16 letters)",
      []( Options &o, const char *a ) {
          o.name = a;
          const size_t length = std::strlen( a );
          for ( size_t i = 0; i < length; i++ ) {
              if ( a[i] < ' ' || a[i] > '~' ) {
                  return 0;
              }
          }
          return length >= 1 && length <= 16 ? 1 : 0;
      } },
};

// The one line that says what is wrong with the land options, or null when nothing is.
// `argument` is set to the value the line names.
const char *LandOptionsFault( const Options &options, const char *&argument ) {
    argument = options.land.c_str();
    if ( !options.land.empty() && !IsLandPicture( options.land ) &&
         !LandCode().Parse( options.land.c_str() ) ) {
        return "--land: '%s' is neither a land code like HILLS-GREEN-3F9A21C0 nor a .bmp picture";
    }
    argument = options.background.c_str();
    if ( !options.background.empty() && !IsLandPicture( options.background ) ) {
        return "--background: '%s' is not a .bmp picture";
    }
    if ( !options.background.empty() && !IsLandPicture( options.land ) ) {
        return "--background: '%s' goes with a land picture of your own (--land FILE.bmp)";
    }
    return nullptr;
}

const OptionRow *FindRow( const char *name ) {
    for ( const OptionRow &row : OPTION_ROWS ) {
        if ( std::strcmp( row.name, name ) == 0 ) {
            return &row;
        }
    }
    return nullptr;
}

OptionsResult Refuse( FILE *err, const char *format, ... ) __attribute__( ( format( printf, 2, 3 ) ) );

// One line on `err` from a printf format, then the usage.
OptionsResult Refuse( FILE *err, const char *format, ... ) {
    std::fprintf( err, "kelto: " );
    va_list arguments;
    va_start( arguments, format );
    std::vfprintf( err, format, arguments );
    va_end( arguments );
    std::fprintf( err, "\n" );
    PrintUsage( err );
    return OPTIONS_INVALID;
}

} // namespace

int IsLandPicture( const std::string &argument ) {
    static const char SUFFIX[] = ".bmp";
    const size_t length = sizeof( SUFFIX ) - 1;
    if ( argument.size() <= length ) {
        return 0;
    }
    for ( size_t i = 0; i < length; i++ ) {
        char c = argument[argument.size() - length + i];
        c = c >= 'A' && c <= 'Z' ? char( c - 'A' + 'a' ) : c;
        if ( c != SUFFIX[i] ) {
            return 0;
        }
    }
    return 1;
}

void PrintUsage( FILE *stream ) {
    std::fprintf( stream, "Usage: kelto [options]\n"
                          "Four tanks, players 1 to 4, take turns on a destructible land. Left and Right\n"
                          "drive, Up and Down aim, Q and E choose the weapon, Space charges while held\n"
                          "and fires when let go, F1 shows the help, Escape pauses. A new wind blows\n"
                          "each turn (--wind). A crater costs health to every tank it touches, the\n"
                          "shooter's too, and so does a long fall; a tank with none left (--health) or\n"
                          "off the land is out. The last tank standing wins the match, and Enter or\n"
                          "Space then starts a new one. Every match is played on a new land, made from a\n"
                          "code that --land plays again. Without options the game opens on its title,\n"
                          "where the match is set up; --players, --level, --health, --stock, --land,\n"
                          "--record, --replay and --timedemo start straight into a match (player 1\n"
                          "yours, the others the computer's unless --players says otherwise).\n"
                          "Alt+Enter or F11 switches full screen, F12 saves a screenshot. Keys,\n"
                          "gamepad, window and scaling are set on the Settings screen or in\n"
                          "$XDG_CONFIG_HOME/kelto/settings.ini (~/.config/kelto/settings.ini).\n" );
    for ( const OptionRow &row : OPTION_ROWS ) {
        char left[32];
        std::snprintf( left, sizeof( left ), "%s%s%s", row.name, row.argument ? " " : "",
                       row.argument ? row.argument : "" );
        std::fprintf( stream, "  %-17s %s\n", left, row.help );
    }
    std::fprintf( stream, "  %-17s %s\n  %-17s %s\n", "--help", "show this text", "--version",
                  "show the version" );
}

void ApplyOptions( const Options &options, Settings &settings ) {
    if ( options.windowed == 1 ) {
        settings.windowed = 1;
    }
    if ( !options.scale.empty() ) {
        settings.scale = options.scale;
    }
    if ( options.players >= 0 ) {
        settings.players = options.players;
    }
    if ( !options.level.empty() ) {
        settings.level = options.level;
    }
    if ( options.wind >= 0 ) {
        settings.wind = options.wind;
    }
}

OptionsResult ParseOptions( int argc, const char *const *argv, Options &options, FILE *out, FILE *err ) {
    for ( int i = 1; i < argc; ++i ) {
        const char *name = argv[i];
        if ( std::strcmp( name, "--help" ) == 0 ) {
            PrintUsage( out );
            return OPTIONS_EXIT_OK;
        }
        if ( std::strcmp( name, "--version" ) == 0 ) {
            std::fprintf( out, "kelto %s\n", KELTO_VERSION );
            return OPTIONS_EXIT_OK;
        }
        const OptionRow *row = FindRow( name );
        if ( row == nullptr ) {
            return Refuse( err, "unknown option '%s'", name );
        }
        const char *argument = nullptr;
        if ( row->argument != nullptr ) {
            if ( i + 1 >= argc ) {
                return Refuse( err, "%s needs a value", name );
            }
            argument = argv[++i];
        }
        if ( !row->apply( options, argument ) ) {
            return Refuse( err, "%s: value not understood", name );
        }
    }
    // A game is either played and recorded, or replayed: one recording file at a time.
    const int recordings = !options.record.empty() + !options.replay.empty() + !options.timedemo.empty();
    if ( recordings > 1 ) {
        return Refuse( err, "%s: only one of --record, --replay and --timedemo at a time",
                       !options.record.empty() ? "--record" : "--replay" );
    }
    // A land that cannot be had is said in one line, without the usage around it.
    const char *argument = nullptr;
    const char *landFault = LandOptionsFault( options, argument );
    if ( landFault != nullptr ) {
        std::fprintf( err, "kelto: " );
        std::fprintf( err, landFault, argument );
        std::fprintf( err, "\n" );
        return OPTIONS_INVALID;
    }
    return OPTIONS_RUN;
}

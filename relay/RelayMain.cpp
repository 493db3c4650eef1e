// kelto-relay: the server that lets players on different machines play one match. It holds
// rooms, passes the keys of the seat whose turn it is and compares the games' checksums
// (docs/network-protocol.md); it never sends game state. With --referee it also runs each
// room's game itself, headless, in a process of its own, and holds the checksums against it.

#include "relay/RelayServer.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

RelayServer *g_relay = nullptr;

void OnSignal( int ) {
    if ( g_relay != nullptr ) {
        g_relay->Stop();
    }
}

const char USAGE[] =
    "usage: kelto-relay [--address ADDRESS] [--port N] [--max-rooms N] [--max-connections N]\n"
    "                   [--idle-seconds N] [--origin URL] [--cert FILE --key FILE]\n"
    "                   [--referee PROGRAM [--referee-data FOLDER] [--referee-exec] | --no-referee]\n";

// A whole decimal number in [low, high].
int Number( const char *text, int low, int high, int &value ) {
    char *end = nullptr;
    const long number = std::strtol( text, &end, 10 );
    if ( end == text || *end != '\0' || number < low || number > high ) {
        return 0;
    }
    value = int( number );
    return 1;
}

int ParseOptions( int argc, char **argv, RelayOptions &options ) {
    for ( int i = 1; i < argc; i++ ) {
        const std::string option = argv[i];
        if ( option == "--help" ) {
            std::fputs( USAGE, stdout );
            std::exit( 0 );
        }
        if ( option == "--no-referee" ) {
            options.referee.clear();
            continue;
        }
        if ( option == "--referee-exec" ) {
            // Each room's referee a program started anew, sharing nothing (for comparison).
            options.refereeForking = 0;
            continue;
        }
        if ( i + 1 >= argc ) {
            std::fprintf( stderr, "kelto-relay: %s needs a value\n%s", option.c_str(), USAGE );
            return 0;
        }
        const char *value = argv[++i];
        int ok = 1;
        if ( option == "--address" ) {
            options.address = value;
        } else if ( option == "--origin" ) {
            options.origin = value;
        } else if ( option == "--cert" ) {
            options.certificate = value;
        } else if ( option == "--key" ) {
            options.privateKey = value;
        } else if ( option == "--referee" ) {
            options.referee = value;
        } else if ( option == "--referee-data" ) {
            options.refereeData = value;
        } else if ( option == "--port" ) {
            ok = Number( value, 0, 65535, options.port );
        } else if ( option == "--max-rooms" ) {
            ok = Number( value, 1, 100000, options.maxRooms );
        } else if ( option == "--max-connections" ) {
            ok = Number( value, 1, 100000, options.maxConnections );
        } else if ( option == "--idle-seconds" ) {
            ok = Number( value, 1, 86400, options.idleSeconds );
        } else {
            std::fprintf( stderr, "kelto-relay: unknown option %s\n%s", option.c_str(), USAGE );
            return 0;
        }
        if ( !ok ) {
            std::fprintf( stderr, "kelto-relay: %s %s is out of range\n", option.c_str(), value );
            return 0;
        }
    }
    if ( options.certificate.empty() != options.privateKey.empty() ) {
        std::fprintf( stderr, "kelto-relay: --cert and --key go together\n%s", USAGE );
        return 0;
    }
    return 1;
}

} // namespace

int main( int argc, char **argv ) {
    RelayOptions options;
    if ( !ParseOptions( argc, argv, options ) ) {
        return 2;
    }
    RelayServer relay;
    if ( !relay.Create( options ) ) {
        std::fprintf( stderr, "kelto-relay: %s\n", relay.GetError() );
        return 1;
    }
    g_relay = &relay;
    std::signal( SIGTERM, OnSignal );
    std::signal( SIGINT, OnSignal );
    std::signal( SIGPIPE, SIG_IGN );
    std::printf( "kelto-relay: listening on port %d\n", relay.GetPort() );
    std::fflush( stdout );
    relay.Run();
    g_relay = nullptr;
    return 0;
}

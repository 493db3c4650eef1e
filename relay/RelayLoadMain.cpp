// kelto-relay-load: how many rooms one relay holds. It starts a relay on the loopback (or uses
// one already listening there), meets rooms of four scripted players on it and plays them at
// 60 frames a second for a bounded time, then reports the rooms held at that pace, the relay's
// CPU and memory per room and the delay from a key's sending to its arrival at the others. It
// stops by itself, and exits 1 when anything was refused, lost or out of order.

#include "relay/LoadRoom.h"

#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "replay/ReplayFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char USAGE[] =
    "usage: kelto-relay-load (--relay PROGRAM | --port N [--pid PID]) [--rooms N] [--seconds N]\n"
    "                        [--turn-seconds N] [--warm-up SECONDS] [--wrong-checksum SEAT] [--relay-core "
    "N]\n"
    "                        [--referee PROGRAM --referee-data FOLDER --game RECORDING] [-- RELAY "
    "OPTIONS...]\n";
// The rules of the refereed game, over the recording's: no wind (the protocol does not carry
// it) and tanks that last, so that the first match outlasts the run.
const int WIND_RULE = 3;
const int HEALTH_RULE = 1;
const int32_t LASTING_HEALTH = 999;
const int FRAMES_PER_SECOND = 60;
const int64_t FRAME_MICROSECONDS = 1000000 / FRAMES_PER_SECOND;
// After the last frame, how long the players may take to hear the rest of the stream.
const int64_t DRAIN_MICROSECONDS = 2000000;
const int START_MILLISECONDS = 5000;

struct LoadOptions {
    std::string relay; // the program to start, or empty to use the one at `port`
    std::vector<std::string> relayOptions;
    int port = 0;
    int pid = 0;
    int rooms = 50;
    int seconds = 10;
    int turnSeconds = 2;
    int warmUpSeconds = 0;   // played before the figures count: the referees start up meanwhile
    int relayCore = -1;      // the one core of the relay and its referees; the players take the others
    int wrongSeat = -1;      // a seat whose game is made to split, to see the relay stop it
    std::string referee;     // the game that referees the rooms, given to the relay
    std::string refereeData; // the folder of its pictures
    std::string game;        // a recording whose header and first tanks the rooms play
};

int64_t NowMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch() )
        .count();
}

int Number( const char *text, int low, int high, int &value ) {
    char *end = nullptr;
    const long number = std::strtol( text, &end, 10 );
    if ( end == text || *end != '\0' || number < low || number > high ) {
        return 0;
    }
    value = int( number );
    return 1;
}

int ParseOptions( int argc, char **argv, LoadOptions &options ) {
    for ( int i = 1; i < argc; i++ ) {
        const std::string option = argv[i];
        if ( option == "--" ) {
            options.relayOptions.assign( argv + i + 1, argv + argc );
            break;
        }
        if ( i + 1 >= argc ) {
            std::fprintf( stderr, "kelto-relay-load: %s needs a value\n%s", option.c_str(), USAGE );
            return 0;
        }
        const char *value = argv[++i];
        int ok = 1;
        if ( option == "--relay" ) {
            options.relay = value;
        } else if ( option == "--port" ) {
            ok = Number( value, 1, 65535, options.port );
        } else if ( option == "--pid" ) {
            ok = Number( value, 1, 1 << 30, options.pid );
        } else if ( option == "--rooms" ) {
            ok = Number( value, 1, 2000, options.rooms );
        } else if ( option == "--seconds" ) {
            ok = Number( value, 1, 600, options.seconds );
        } else if ( option == "--referee" ) {
            options.referee = value;
        } else if ( option == "--referee-data" ) {
            options.refereeData = value;
        } else if ( option == "--game" ) {
            options.game = value;
        } else if ( option == "--wrong-checksum" ) {
            ok = Number( value, 0, LOAD_SEATS - 1, options.wrongSeat );
        } else if ( option == "--relay-core" ) {
            ok = Number( value, 0, CPU_SETSIZE - 1, options.relayCore );
        } else if ( option == "--warm-up" ) {
            ok = Number( value, 0, 60, options.warmUpSeconds );
        } else if ( option == "--turn-seconds" ) {
            ok = Number( value, 1, 60, options.turnSeconds );
        } else {
            std::fprintf( stderr, "kelto-relay-load: unknown option %s\n%s", option.c_str(), USAGE );
            return 0;
        }
        if ( !ok ) {
            std::fprintf( stderr, "kelto-relay-load: %s %s is out of range\n", option.c_str(), value );
            return 0;
        }
    }
    if ( options.relay.empty() == ( options.port == 0 ) ) {
        std::fprintf( stderr, "kelto-relay-load: give either --relay or --port\n%s", USAGE );
        return 0;
    }
    if ( options.warmUpSeconds >= options.seconds ) {
        std::fprintf( stderr, "kelto-relay-load: the warm-up must end before the run\n" );
        return 0;
    }
    if ( options.referee.empty() != options.game.empty() ) {
        std::fprintf( stderr, "kelto-relay-load: --referee and --game go together\n%s", USAGE );
        return 0;
    }
    return 1;
}

// The relay as a child process on 127.0.0.1, at the port it prints; its pid, or 0.
pid_t StartRelay( const LoadOptions &options, int rooms, int &port ) {
    int out[2];
    if ( pipe( out ) != 0 ) {
        return 0;
    }
    std::vector<std::string> arguments = { options.relay,
                                           "--address",
                                           "127.0.0.1",
                                           "--port",
                                           "0",
                                           "--max-rooms",
                                           std::to_string( rooms ),
                                           "--max-connections",
                                           std::to_string( rooms * LOAD_SEATS ) };
    if ( !options.referee.empty() ) {
        arguments.insert( arguments.end(),
                          { "--referee", options.referee, "--referee-data", options.refereeData } );
    }
    // Later options win, so the caller's own limits stand.
    arguments.insert( arguments.end(), options.relayOptions.begin(), options.relayOptions.end() );
    const pid_t pid = fork();
    if ( pid == 0 ) {
        if ( options.relayCore >= 0 ) {
            cpu_set_t one;
            CPU_ZERO( &one );
            CPU_SET( options.relayCore, &one );
            sched_setaffinity( 0, sizeof( one ), &one );
        }
        dup2( out[1], 1 );
        close( out[0] );
        close( out[1] );
        std::vector<char *> argv;
        for ( std::string &argument : arguments ) {
            argv.push_back( &argument[0] );
        }
        argv.push_back( nullptr );
        execv( argv[0], argv.data() );
        _exit( 127 );
    }
    close( out[1] );
    std::string line;
    pollfd poller = { out[0], POLLIN, 0 };
    char c = 0;
    while ( poll( &poller, 1, START_MILLISECONDS ) == 1 && read( out[0], &c, 1 ) == 1 && c != '\n' ) {
        line += c;
    }
    close( out[0] );
    const std::string prefix = "kelto-relay: listening on port ";
    if ( pid < 0 || line.compare( 0, prefix.size(), prefix ) != 0 ) {
        std::fprintf( stderr, "kelto-relay-load: %s did not start\n", options.relay.c_str() );
        return 0;
    }
    port = std::atoi( line.c_str() + prefix.size() );
    return pid;
}

void StopRelay( pid_t pid ) {
    kill( pid, SIGTERM );
    int status = 0;
    for ( int i = 0; i < 500; i++ ) {
        if ( waitpid( pid, &status, WNOHANG ) == pid ) {
            return;
        }
        usleep( 10000 );
    }
    kill( pid, SIGKILL );
    waitpid( pid, &status, 0 );
}

// The players keep off the relay's core, so that it has one whole core (the referees' too,
// which inherit it); 0 when there is no other core to go to.
int LeaveCore( int core ) {
    cpu_set_t cores;
    if ( core < 0 || sched_getaffinity( 0, sizeof( cores ), &cores ) != 0 ) {
        return 1;
    }
    CPU_CLR( core, &cores );
    if ( CPU_COUNT( &cores ) == 0 || sched_setaffinity( 0, sizeof( cores ), &cores ) != 0 ) {
        std::fprintf( stderr, "kelto-relay-load: no core left for the players beside core %d\n", core );
        return 0;
    }
    return 1;
}

// The recording's header and first tanks, under the refereed game's rules; 0 when the file is
// not a recording that starts with its header and first match.
int ReadGame( const std::string &fileName, LoadGame &game ) {
    std::ifstream file( fileName, std::ios::binary );
    const std::vector<uint8_t> bytes( ( std::istreambuf_iterator<char>( file ) ),
                                      std::istreambuf_iterator<char>() );
    ReplayFile check;
    if ( !check.Parse( bytes.data(), bytes.size() ) || check.GetRules().size() <= size_t( WIND_RULE ) ) {
        std::fprintf( stderr, "kelto-relay-load: %s: %s\n", fileName.c_str(),
                      check.GetError()[0] != '\0' ? check.GetError() : "too few rules" );
        return 0;
    }
    size_t at = sizeof( REPLAY_MAGIC ) + 2;
    at += 1 + bytes[at] + 4 * REPLAY_PICTURE_COUNT;
    const size_t rules = at + 1;
    at += 1 + 4 * check.GetRules().size();
    game.header.assign( bytes.begin(), bytes.begin() + long( at ) );
    const int32_t health = LASTING_HEALTH;
    std::memset( &game.header[rules + 4 * WIND_RULE], 0, 4 );
    std::memcpy( &game.header[rules + 4 * HEALTH_RULE], &health, 4 ); // little-endian, as recorded
    for ( int i = 0; i < TANK_PLACEMENT_COUNT; i++ ) {
        game.columns[i] = uint32_t( check.GetMatchStarts()[0].columns[i] );
    }
    return 1;
}

// The game's own checksums and turns for the rooms' keys, from the referee itself, run as the relay
// runs it.
int LearnChecksums( const LoadOptions &options, int seconds, LoadGame &game ) {
    std::vector<uint8_t> recording = game.header;
    NetMessage message;
    message.type = NET_MATCH_START;
    message.frame = 0;
    std::memcpy( message.columns, game.columns, sizeof( message.columns ) );
    std::vector<uint8_t> bytes = message.Write( NET_FROM_CLIENT );
    recording.insert( recording.end(), bytes.begin(), bytes.end() );
    for ( int block = 0; block < seconds; block++ ) {
        message = NetMessage();
        message.type = NET_KEYS;
        message.frame = uint32_t( block * REPLAY_BLOCK_FRAMES );
        message.frames = REPLAY_BLOCK_FRAMES;
        for ( uint32_t frame = message.frame; frame < message.frame + REPLAY_BLOCK_FRAMES; frame++ ) {
            const uint16_t keys = LoadRoom::KeysOf( frame );
            if ( !message.runs.empty() && message.runs.back().keys == keys ) {
                message.runs.back().length++;
            } else {
                message.runs.push_back( ReplayRun{ keys, 1 } );
            }
        }
        bytes = message.Write( NET_FROM_CLIENT );
        recording.insert( recording.end(), bytes.begin(), bytes.end() );
        recording.insert( recording.end(), 4, 0 ); // the checksum the referee works out
    }
    char path[] = "/tmp/kelto-relay-load-XXXXXX";
    const int fd = mkstemp( path );
    const int written =
        fd >= 0 && write( fd, recording.data(), recording.size() ) == ssize_t( recording.size() );
    if ( fd >= 0 ) {
        close( fd );
    }
    const std::string command =
        "cd '" + options.refereeData + "' && '" + options.referee + "' --referee < " + path;
    FILE *pipe = written ? popen( command.c_str(), "r" ) : nullptr;
    unsigned frame = 0, checksum = 0;
    int tank = 0;
    char line[64];
    while ( pipe != nullptr && std::fgets( line, sizeof( line ), pipe ) != nullptr ) {
        if ( std::sscanf( line, "%u turn %d", &frame, &tank ) == 2 ) {
            game.turns.push_back( LoadTurn{ frame, tank } );
        } else if ( std::sscanf( line, "%u %x", &frame, &checksum ) == 2 ) {
            game.checksums.push_back( checksum );
        }
    }
    if ( pipe != nullptr ) {
        pclose( pipe );
    }
    unlink( path );
    if ( int( game.checksums.size() ) != seconds ) {
        std::fprintf( stderr, "kelto-relay-load: the referee played %d of the script's %d seconds\n",
                      int( game.checksums.size() ), seconds );
        return 0;
    }
    return 1;
}

// The processes a process started (its referees), from /proc/PID/task/PID/children.
std::vector<int> ChildrenOf( int pid ) {
    std::ifstream file( "/proc/" + std::to_string( pid ) + "/task/" + std::to_string( pid ) + "/children" );
    std::vector<int> children;
    int child = 0;
    while ( file >> child ) {
        children.push_back( child );
    }
    return children;
}

// The processes under a process, its children's children too: the referees, and the referee
// that forks them where the relay has one.
std::vector<int> DescendantsOf( int pid ) {
    std::vector<int> found = ChildrenOf( pid );
    for ( size_t i = 0; i < found.size(); i++ ) {
        const std::vector<int> more = ChildrenOf( found[i] );
        found.insert( found.end(), more.begin(), more.end() );
    }
    return found;
}

// Proportional memory of a process in KiB (its share of pages it shares with others), or 0.
long ProportionalKiB( int pid ) {
    std::ifstream file( "/proc/" + std::to_string( pid ) + "/smaps_rollup" );
    std::string line;
    while ( std::getline( file, line ) ) {
        if ( line.compare( 0, 4, "Pss:" ) == 0 ) {
            return std::atol( line.c_str() + 4 );
        }
    }
    return 0;
}

// User and system time of a process in seconds (/proc/PID/stat), or -1.
double CpuSeconds( int pid ) {
    std::ifstream file( "/proc/" + std::to_string( pid ) + "/stat" );
    std::string text;
    std::getline( file, text );
    // The name may hold spaces; the fields after it do not.
    const size_t close = text.rfind( ')' );
    if ( close == std::string::npos ) {
        return -1.0;
    }
    std::istringstream fields( text.substr( close + 2 ) );
    std::string field;
    unsigned long long user = 0, system = 0;
    for ( int i = 3; i <= 15 && fields >> field; i++ ) {
        user = i == 14 ? std::strtoull( field.c_str(), nullptr, 10 ) : user;
        system = i == 15 ? std::strtoull( field.c_str(), nullptr, 10 ) : system;
    }
    return double( user + system ) / double( sysconf( _SC_CLK_TCK ) );
}

// Resident memory of a process in KiB (/proc/PID/status), or -1.
long ResidentKiB( int pid ) {
    std::ifstream file( "/proc/" + std::to_string( pid ) + "/status" );
    std::string line;
    while ( std::getline( file, line ) ) {
        if ( line.compare( 0, 6, "VmRSS:" ) == 0 ) {
            return std::atol( line.c_str() + 6 );
        }
    }
    return -1;
}

double OwnCpuSeconds() {
    rusage usage = {};
    getrusage( RUSAGE_SELF, &usage );
    return double( usage.ru_utime.tv_sec + usage.ru_stime.tv_sec ) +
           double( usage.ru_utime.tv_usec + usage.ru_stime.tv_usec ) / 1e6;
}

// Every player's socket is watched; each answer is handed to its room and seat.
void HearAll( std::vector<std::unique_ptr<LoadRoom>> &rooms, int milliseconds,
              std::vector<int32_t> &delays ) {
    std::vector<pollfd> pollers;
    for ( auto &room : rooms ) {
        for ( int seat = 0; seat < LOAD_SEATS; seat++ ) {
            LoadClient &client = room->GetClient( seat );
            const short events = short( POLLIN | ( client.IsWaitingToSend() ? POLLOUT : 0 ) );
            pollers.push_back( pollfd{ client.GetSocket(), events, 0 } );
        }
    }
    if ( poll( pollers.data(), nfds_t( pollers.size() ), milliseconds ) <= 0 ) {
        return;
    }
    const int64_t now = NowMicroseconds();
    for ( size_t i = 0; i < pollers.size(); i++ ) {
        LoadRoom &room = *rooms[i / LOAD_SEATS];
        if ( pollers[i].revents & POLLOUT ) {
            room.Flush();
        }
        if ( pollers[i].revents & ( POLLIN | POLLHUP | POLLERR ) ) {
            room.Hear( int( i % LOAD_SEATS ), now, delays );
        }
    }
}

// The matches at 60 frames a second until `seconds` have passed, then the stream's last keys.
// After `warmUpSeconds`, `warm` is called once: the delays and the figures count from then on.
void PlayRooms( std::vector<std::unique_ptr<LoadRoom>> &rooms, int seconds, int warmUpSeconds,
                std::vector<int32_t> &delays, const std::function<void()> &warm ) {
    const int64_t start = NowMicroseconds();
    const uint32_t lastFrame = uint32_t( seconds * FRAMES_PER_SECOND );
    const uint32_t warmFrame = uint32_t( warmUpSeconds * FRAMES_PER_SECOND );
    int warmed = warmUpSeconds == 0;
    if ( warmed ) {
        warm();
    }
    for ( ;; ) {
        const int64_t now = NowMicroseconds();
        const uint32_t due = std::min( lastFrame, uint32_t( ( now - start ) / FRAME_MICROSECONDS + 1 ) );
        if ( !warmed && due > warmFrame ) {
            warmed = 1;
            delays.clear();
            for ( auto &room : rooms ) {
                room->RestartTiming();
            }
            warm();
        }
        for ( auto &room : rooms ) {
            room->Play( due, now );
        }
        const int64_t next = start + int64_t( due ) * FRAME_MICROSECONDS;
        if ( due >= lastFrame && now >= next ) {
            break;
        }
        HearAll( rooms, int( std::max<int64_t>( 0, next - NowMicroseconds() ) / 1000 ), delays );
    }
    const int64_t drainEnd = NowMicroseconds() + DRAIN_MICROSECONDS;
    for ( ;; ) {
        int waiting = 0;
        for ( auto &room : rooms ) {
            room->Play( lastFrame, NowMicroseconds() ); // a turn passed at the very end
            waiting += !room->IsCaughtUp() && room->GetError()[0] == '\0';
        }
        if ( waiting == 0 || NowMicroseconds() >= drainEnd ) {
            break;
        }
        HearAll( rooms, 10, delays );
    }
}

int32_t Percentile( std::vector<int32_t> &delays, double fraction ) {
    if ( delays.empty() ) {
        return 0;
    }
    const size_t at = std::min( delays.size() - 1, size_t( fraction * double( delays.size() ) ) );
    std::nth_element( delays.begin(), delays.begin() + long( at ), delays.end() );
    return delays[at];
}

// What the rooms saw: 0 when every room met, played and heard all its keys.
int Report( std::vector<std::unique_ptr<LoadRoom>> &rooms, int refused, std::vector<int32_t> &delays ) {
    int held = 0;
    int failed = 0;
    int64_t echoes = 0;
    int64_t expected = 0;
    for ( auto &room : rooms ) {
        const int sound = room->GetError()[0] == '\0' && room->IsCaughtUp();
        if ( !sound ) {
            failed++;
            std::fprintf( stderr, "kelto-relay-load: room %d: %s\n", int( &room - &rooms[0] ),
                          room->GetError()[0] != '\0' ? room->GetError()
                                                      : "keys not echoed to every player" );
        }
        held += sound && room->GetMeanDelay() < double( FRAME_MICROSECONDS );
        echoes += room->GetEchoes();
        expected += int64_t( room->GetFramesSent() ) * ( LOAD_SEATS - 1 );
    }
    std::printf( "rooms: %d met, %d refused, %d failed, %d held at 60 frames a second\n", int( rooms.size() ),
                 refused, failed, held );
    std::printf( "keys: %lld echoed of %lld sent to the other players\n", (long long)echoes,
                 (long long)expected );
    std::printf( "delay from a key to its echo: median %.2f ms, 99th percentile %.2f ms\n",
                 Percentile( delays, 0.5 ) / 1000.0, Percentile( delays, 0.99 ) / 1000.0 );
    return refused == 0 && failed == 0 && echoes == expected ? 0 : 1;
}

} // namespace

int main( int argc, char **argv ) {
    LoadOptions options;
    if ( !ParseOptions( argc, argv, options ) ) {
        return 2;
    }
    signal( SIGPIPE, SIG_IGN );
    // Four sockets a room here and four in the relay.
    rlimit files = {};
    getrlimit( RLIMIT_NOFILE, &files );
    files.rlim_cur = files.rlim_max;
    setrlimit( RLIMIT_NOFILE, &files );

    LoadGame game = LoadMadeUpGame();
    if ( !options.game.empty() &&
         ( !ReadGame( options.game, game ) || !LearnChecksums( options, options.seconds, game ) ) ) {
        return 1;
    }
    int port = options.port;
    int pid = options.pid;
    if ( !options.relay.empty() ) {
        pid = StartRelay( options, options.rooms, port );
        if ( pid == 0 ) {
            return 1;
        }
        if ( !LeaveCore( options.relayCore ) ) {
            StopRelay( pid );
            return 1;
        }
    }
    const long emptyKiB = pid > 0 ? ResidentKiB( pid ) : -1;
    std::vector<std::unique_ptr<LoadRoom>> rooms;
    int refused = 0;
    const int turnFrames = options.turnSeconds * FRAMES_PER_SECOND;
    for ( int i = 0; i < options.rooms; i++ ) {
        std::unique_ptr<LoadRoom> room( new LoadRoom );
        if ( room->Open( port, turnFrames, game, options.wrongSeat ) ) {
            rooms.push_back( std::move( room ) );
        } else {
            refused++;
            std::fprintf( stderr, "kelto-relay-load: room %d not met: %s\n", i, room->GetError() );
        }
    }
    std::vector<int32_t> delays;
    delays.reserve( size_t( options.rooms ) * ( LOAD_SEATS - 1 ) *
                    size_t( options.seconds * FRAMES_PER_SECOND ) );
    double relayCpuBefore = 0.0;
    double refereeCpuBefore = 0.0;
    double ownCpuBefore = 0.0;
    int64_t wallBefore = 0;
    PlayRooms( rooms, options.seconds, options.warmUpSeconds, delays, [&]() {
        relayCpuBefore = pid > 0 ? CpuSeconds( pid ) : -1.0;
        refereeCpuBefore = 0.0;
        for ( int child : pid > 0 ? DescendantsOf( pid ) : std::vector<int>() ) {
            refereeCpuBefore += CpuSeconds( child );
        }
        ownCpuBefore = OwnCpuSeconds();
        wallBefore = NowMicroseconds();
    } );
    const double wall = double( NowMicroseconds() - wallBefore ) / 1e6;
    // The referees are measured while they live: they end with their rooms.
    // The proportional memory of all of them together is what they take: a forking referee's
    // pages are counted once, shared out among it and the children that still share them.
    const std::vector<int> processes = pid > 0 ? DescendantsOf( pid ) : std::vector<int>();
    double refereeCpu = -refereeCpuBefore;
    long refereeKiB = 0;
    int referees = 0;
    for ( int child : processes ) {
        refereeCpu += CpuSeconds( child );
        refereeKiB += ProportionalKiB( child );
        referees += ChildrenOf( child ).empty() ? 1 : 0;
    }
    const int status = Report( rooms, refused, delays );
    if ( pid > 0 ) {
        const double cpu = ( CpuSeconds( pid ) - relayCpuBefore ) / wall;
        const long fullKiB = ResidentKiB( pid );
        const int count = std::max<int>( 1, int( rooms.size() ) );
        std::printf(
            "relay: %.1f%% of a core (%.3f%% a room), %ld KiB resident (%ld empty, %.1f KiB a room)\n",
            100.0 * cpu, 100.0 * cpu / count, fullKiB, emptyKiB, double( fullKiB - emptyKiB ) / count );
        if ( !processes.empty() ) {
            std::printf( "referees: %d (%d forking), %.1f%% of a core (%.3f%% a room), %ld KiB proportional "
                         "(%.1f KiB a room)\n",
                         referees, int( processes.size() ) - referees, 100.0 * refereeCpu / wall,
                         100.0 * refereeCpu / wall / count, refereeKiB, double( refereeKiB ) / count );
        }
    }
    std::printf( "load tool: %.1f%% of a core over %.1f s\n",
                 100.0 * ( OwnCpuSeconds() - ownCpuBefore ) / wall, wall );
    rooms.clear();
    if ( !options.relay.empty() ) {
        StopRelay( pid );
    }
    return status;
}

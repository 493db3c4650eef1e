#include "relay/RelayReferee.h"

#include "relay/RefereeForker.h"

#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The recording waiting for a referee that does not read: minutes of play.
const size_t MAX_WAITING_BYTES = 64 * 1024;
// How much lower the referees' scheduling priority is than the relay's, where they cannot be
// made to run only when the core is idle.
const int REFEREE_NICENESS = 10;
// A line longer than this is not a checksum.
const size_t MAX_LINE = 64;

} // namespace

RelayReferee::RelayReferee()
    : pid( 0 ), forked( 0 ), input( -1 ), output( -1 ), lastFrame( 0 ), lastTurnFrame( -1 ) {
}

RelayReferee::~RelayReferee() {
    Stop();
}

void RelayReferee::Stop() {
    if ( input >= 0 ) {
        close( input );
        input = -1;
    }
    if ( output >= 0 ) {
        close( output );
        output = -1;
    }
    if ( pid > 0 ) {
        kill( pid, SIGKILL );
        if ( !forked ) {
            waitpid( pid, nullptr, 0 );
        }
        pid = 0;
    }
}

int RelayReferee::Fail( const std::string &reason ) {
    if ( error.empty() ) {
        error = reason;
    }
    Stop();
    return 0;
}

int RelayReferee::Start( const std::string &program, const std::string &folder,
                         const std::vector<uint8_t> &header, RefereeForker *forker ) {
    int in[2];
    int out[2];
    if ( pipe2( in, O_CLOEXEC ) != 0 ) {
        return Fail( std::string( "no pipe: " ) + std::strerror( errno ) );
    }
    if ( pipe2( out, O_CLOEXEC ) != 0 ) {
        close( in[0] );
        close( in[1] );
        return Fail( std::string( "no pipe: " ) + std::strerror( errno ) );
    }
    pid = forker != nullptr ? forker->Fork( in[0], out[1] ) : 0;
    forked = pid > 0;
    if ( !forked ) {
        pid = Exec( program, folder, in, out );
    }
    const int startError = errno;
    close( in[0] );
    close( out[1] );
    input = in[1];
    output = out[0];
    if ( pid < 0 ) {
        pid = 0;
        return Fail( std::string( "cannot start: " ) + std::strerror( startError ) );
    }
    fcntl( input, F_SETFL, fcntl( input, F_GETFL ) | O_NONBLOCK );
    fcntl( output, F_SETFL, fcntl( output, F_GETFL ) | O_NONBLOCK );
    feed.Start( header );
    waiting = feed.TakeReady();
    return 1;
}

void RelayReferee::TakeRefereePriority() {
    // The relay's forwarding of keys must never wait for a referee: a referee may fall a
    // little behind (its checksums only settle later), a player's keys may not. Hundreds of
    // referees wake together at every block, so a lower niceness is not enough: they run
    // only when the relay does not need the core (or, where that is not allowed, nicer).
    const sched_param idle = {};
    if ( sched_setscheduler( 0, SCHED_IDLE, &idle ) != 0 ) {
        setpriority( PRIO_PROCESS, 0, REFEREE_NICENESS );
    }
}

void RelayReferee::ExecReferee( const std::string &program, const std::string &folder, const char *mode ) {
    if ( !folder.empty() && chdir( folder.c_str() ) != 0 ) {
        _exit( 126 );
    }
    execl( program.c_str(), program.c_str(), mode, (char *)nullptr );
    _exit( 127 );
}

// The room's own process, `program --referee`: its id, or -1.
pid_t RelayReferee::Exec( const std::string &program, const std::string &folder, int in[2], int out[2] ) {
    const pid_t child = fork();
    if ( child == 0 ) {
        // Only the two pipes and the relay's standard error go with it, no player's socket.
        dup2( in[0], 0 );
        dup2( out[1], 1 );
        close_range( 3, ~0u, 0 );
        TakeRefereePriority();
        ExecReferee( program, folder, "--referee" );
    }
    return child;
}

int RelayReferee::Add( int seat, const NetMessage &message ) {
    if ( pid <= 0 ) {
        return 0;
    }
    if ( !feed.Add( message ) ) {
        return Fail( "the host's game is too far behind the stream to referee it" );
    }
    // The host's game says which frames it has played, and so that no match start is missing.
    if ( message.type == NET_CHECKSUM && seat == 0 ) {
        feed.Confirm( message.frame );
        const std::vector<uint8_t> ready = feed.TakeReady();
        waiting.insert( waiting.end(), ready.begin(), ready.end() );
        if ( waiting.size() > MAX_WAITING_BYTES ) {
            return Fail( "falls behind the match" );
        }
    }
    return 1;
}

int RelayReferee::Service( std::vector<RefereeChecksum> &checksums ) {
    if ( pid <= 0 ) {
        return 0;
    }
    // What it said first: a referee that has ended says how.
    if ( !ReadLines( checksums ) ) {
        return 0;
    }
    if ( !waiting.empty() ) {
        const ssize_t sent = write( input, waiting.data(), waiting.size() );
        if ( sent < 0 && errno != EAGAIN && errno != EINTR ) {
            return Fail( "stopped reading the match" );
        }
        waiting.erase( waiting.begin(), waiting.begin() + ( sent > 0 ? sent : 0 ) );
    }
    return 1;
}

// "FRAME CHECKSUM" lines, each frame the next multiple of 60, and "FRAME turn TANK" lines, each
// frame after the last turn's and among the frames being played.
int RelayReferee::ReadLines( std::vector<RefereeChecksum> &checksums ) {
    char buffer[1024];
    ssize_t got;
    while ( ( got = read( output, buffer, sizeof( buffer ) ) ) > 0 ) {
        heard.append( buffer, size_t( got ) );
    }
    if ( got == 0 || ( got < 0 && errno != EAGAIN && errno != EINTR ) ) {
        if ( forked ) {
            // The forking referee waits for its children; this one said why on standard error.
            pid = 0;
            return Fail( "ended" );
        }
        int status = 0;
        waitpid( pid, &status, 0 );
        pid = 0;
        return Fail( WIFEXITED( status ) ? "ended with exit code " + std::to_string( WEXITSTATUS( status ) )
                                         : std::string( "was killed" ) );
    }
    size_t end;
    while ( ( end = heard.find( '\n' ) ) != std::string::npos ) {
        const std::string line = heard.substr( 0, end );
        heard.erase( 0, end + 1 );
        unsigned frame = 0;
        unsigned checksum = 0;
        int tank = 0;
        char extra = 0;
        if ( std::sscanf( line.c_str(), "%u turn %d%c", &frame, &tank, &extra ) == 2 ) {
            if ( int64_t( frame ) <= lastTurnFrame || frame < lastFrame ||
                 frame >= lastFrame + uint32_t( REPLAY_BLOCK_FRAMES ) || tank < -1 ||
                 tank >= NET_MAX_SEATS ) {
                return Fail( "said something no referee says" );
            }
            lastTurnFrame = frame;
            checksums.push_back( RefereeChecksum{ frame, 0, 1, tank } );
            continue;
        }
        if ( std::sscanf( line.c_str(), "%u %x%c", &frame, &checksum, &extra ) != 2 ||
             frame != lastFrame + uint32_t( REPLAY_BLOCK_FRAMES ) ) {
            return Fail( "said something no referee says" );
        }
        lastFrame = frame;
        checksums.push_back( RefereeChecksum{ frame, checksum, 0, -1 } );
    }
    if ( heard.size() > MAX_LINE ) {
        return Fail( "said something no referee says" );
    }
    return 1;
}

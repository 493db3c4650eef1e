// The relay's forking referee: one headless game started once that forks a referee for each
// room. Every forked referee plays its room's stream exactly as a referee started alone does,
// and a request that does not bring exactly a room's two pipes forks nothing and stops nothing.

#include "SourcePaths.h"
#include "relay/RefereeForkServer.h"
#include "relay/RefereeForker.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string ASSETS = KELTO_ASSETS_DIR;
const std::string GOLDEN = ASSETS + "/../tests/replays/golden.krec";
const std::string MADE_LAND = ASSETS + "/../tests/replays/land.krec";

std::string ReadAll( int fd ) {
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ( ( got = read( fd, buffer, sizeof( buffer ) ) ) > 0 ) {
        text.append( buffer, size_t( got ) );
    }
    return text;
}

std::vector<uint8_t> Golden( const std::string &path = GOLDEN ) {
    std::ifstream file( path, std::ios::binary );
    return std::vector<uint8_t>( std::istreambuf_iterator<char>( file ), std::istreambuf_iterator<char>() );
}

// What a referee started alone prints for a recorded game.
std::string AloneChecksums( const std::string &path = GOLDEN ) {
    const std::string command =
        "cd '" + ASSETS + "' && '" KELTO_HEADLESS_PROGRAM "' --referee < '" + path + "'";
    FILE *pipe = popen( command.c_str(), "r" );
    const std::string text = pipe != nullptr ? ReadAll( fileno( pipe ) ) : std::string();
    if ( pipe != nullptr ) {
        pclose( pipe );
    }
    return text;
}

// The process runs at the referees' priority (SCHED_IDLE, or nicer where that is refused), once
// its first steps after the fork are taken.
bool GivesWay( pid_t pid ) {
    for ( int i = 0; i < 100; i++ ) {
        if ( sched_getscheduler( pid ) == SCHED_IDLE || getpriority( PRIO_PROCESS, id_t( pid ) ) >= 10 ) {
            return true;
        }
        usleep( 10000 );
    }
    return false;
}

struct Room {
    int input = -1;  // the room's stream, written here
    int output = -1; // what its referee printed, read here
    pid_t pid = 0;
};

// A room's two pipes, the referee's ends handed to `forker`.
Room AskFor( RefereeForker &forker ) {
    int in[2], out[2];
    Room room;
    if ( pipe( in ) != 0 || pipe( out ) != 0 ) {
        return room;
    }
    room.pid = forker.Fork( in[0], out[1] );
    close( in[0] );
    close( out[1] );
    room.input = in[1];
    room.output = out[0];
    return room;
}

TEST( RefereeForking, EveryRoomsRefereePrintsWhatOneStartedAlonePrints ) {
    const std::string alone = AloneChecksums();
    ASSERT_GT( alone.size(), 0u );
    // The last room plays on a made land, not on the pictures the forking referee holds.
    const std::string aloneMade = AloneChecksums( MADE_LAND );
    ASSERT_GT( aloneMade.size(), 0u );
    RefereeForker forker;
    ASSERT_EQ( 1, forker.Start( KELTO_HEADLESS_PROGRAM, ASSETS ) ) << forker.GetError();
    const std::vector<uint8_t> streams[] = { Golden(), Golden(), Golden(), Golden( MADE_LAND ) };
    // Four rooms at once: each child plays its own stream from its own start.
    std::vector<Room> rooms;
    for ( int i = 0; i < 4; i++ ) {
        rooms.push_back( AskFor( forker ) );
        ASSERT_GT( rooms.back().pid, 0 ) << forker.GetError();
        EXPECT_NE( forker.GetPid(), rooms.back().pid );
    }
    EXPECT_NE( rooms[0].pid, rooms[1].pid );
    EXPECT_NE( rooms[1].pid, rooms[2].pid );
    // The rooms' referees give way to the relay; the forking referee, which only answers, not.
    EXPECT_EQ( SCHED_OTHER, sched_getscheduler( forker.GetPid() ) );
    for ( const Room &room : rooms ) {
        EXPECT_TRUE( GivesWay( room.pid ) ) << room.pid;
    }
    for ( size_t i = 0; i < rooms.size(); i++ ) {
        const std::vector<uint8_t> &stream = streams[i];
        EXPECT_EQ( ssize_t( stream.size() ), write( rooms[i].input, stream.data(), stream.size() ) );
        close( rooms[i].input );
    }
    for ( size_t i = 0; i < rooms.size(); i++ ) {
        EXPECT_EQ( i < 3 ? alone : aloneMade, ReadAll( rooms[i].output ) ) << "room " << i;
        close( rooms[i].output );
    }
    EXPECT_TRUE( forker.IsRunning() );
}

TEST( RefereeForking, AForkingRefereeThatCannotStartIsGivenUp ) {
    RefereeForker forker;
    ASSERT_EQ( 1, forker.Start( "/nonexistent/kelto_headless", ASSETS ) );
    const Room room = AskFor( forker );
    EXPECT_EQ( 0, room.pid );
    EXPECT_FALSE( forker.IsRunning() );
    EXPECT_STRNE( "", forker.GetError() );
    close( room.input );
    close( room.output );
}

// A request carrying `count` descriptors (pipes' ends); the answer, or -1 without one.
int32_t Request( int socket, int count, int &echoed ) {
    int in[2], out[2], spare[2];
    EXPECT_EQ( 0, pipe( in ) );
    EXPECT_EQ( 0, pipe( out ) );
    EXPECT_EQ( 0, pipe( spare ) );
    const int fds[3] = { in[0], out[1], spare[0] };
    char byte = 'R';
    iovec part = { &byte, 1 };
    char room[CMSG_SPACE( 3 * sizeof( int ) )] = {};
    msghdr request = {};
    request.msg_iov = &part;
    request.msg_iovlen = 1;
    if ( count > 0 ) {
        request.msg_control = room;
        request.msg_controllen = CMSG_SPACE( size_t( count ) * sizeof( int ) );
        cmsghdr *rights = CMSG_FIRSTHDR( &request );
        rights->cmsg_level = SOL_SOCKET;
        rights->cmsg_type = SCM_RIGHTS;
        rights->cmsg_len = CMSG_LEN( size_t( count ) * sizeof( int ) );
        std::memcpy( CMSG_DATA( rights ), fds, size_t( count ) * sizeof( int ) );
    }
    int32_t answer = -1;
    if ( sendmsg( socket, &request, 0 ) == 1 && recv( socket, &answer, sizeof( answer ), 0 ) != 4 ) {
        answer = -1;
    }
    for ( int fd : { in[0], out[1], spare[0], spare[1] } ) {
        close( fd );
    }
    // A forked child echoes one line: its pipes are the ones sent, in their order.
    const char line[] = "60 0badf00d\n";
    echoed = 0;
    if ( answer > 0 && write( in[1], line, sizeof( line ) - 1 ) == ssize_t( sizeof( line ) - 1 ) ) {
        close( in[1] );
        in[1] = -1;
        echoed = ReadAll( out[0] ) == line;
    }
    if ( in[1] >= 0 ) {
        close( in[1] );
    }
    close( out[0] );
    return answer;
}

TEST( RefereeForking, OnlyARequestWithExactlyTwoPipesForksAChild ) {
    int pair[2];
    ASSERT_EQ( 0, socketpair( AF_UNIX, SOCK_SEQPACKET, 0, pair ) );
    const pid_t server = fork();
    if ( server == 0 ) {
        close( pair[0] );
        RefereeForkServer forks;
        if ( forks.Serve( pair[1] ) ) {
            // A room's child: what comes in goes out.
            const std::string text = ReadAll( 0 );
            _exit( write( 1, text.data(), text.size() ) == ssize_t( text.size() ) ? 0 : 1 );
        }
        _exit( 10 + forks.GetRoomsForked() );
    }
    close( pair[1] );
    struct Case {
        int descriptors;
        int forks;
    };
    // One short, one over, none: each answered with no child, and the server goes on.
    const Case cases[] = { { 0, 0 }, { 1, 0 }, { 2, 1 }, { 3, 0 }, { 2, 1 } };
    for ( const Case &item : cases ) {
        int echoed = 0;
        const int32_t answer = Request( pair[0], item.descriptors, echoed );
        EXPECT_EQ( item.forks, answer > 0 ? 1 : 0 ) << item.descriptors << " descriptors";
        EXPECT_EQ( item.forks, echoed ) << item.descriptors << " descriptors";
        EXPECT_GE( answer, 0 ) << item.descriptors << " descriptors: no answer";
    }
    close( pair[0] );
    int status = 0;
    ASSERT_EQ( server, waitpid( server, &status, 0 ) );
    ASSERT_TRUE( WIFEXITED( status ) );
    EXPECT_EQ( 12, WEXITSTATUS( status ) ); // the two good requests, and it ended with the socket
}

} // namespace

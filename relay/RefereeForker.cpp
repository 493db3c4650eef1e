#include "relay/RefereeForker.h"

#include "relay/RelayReferee.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A forking referee that has not answered in this long is stuck, not busy: a fork takes
// a millisecond. The relay's rooms wait meanwhile.
const int ANSWER_MILLISECONDS = 1000;

} // namespace

RefereeForker::RefereeForker() : pid( 0 ), socket( -1 ) {
}

RefereeForker::~RefereeForker() {
    Stop();
}

int RefereeForker::Fail( const std::string &reason ) {
    if ( error.empty() ) {
        error = reason;
    }
    Stop();
    return 0;
}

void RefereeForker::Stop() {
    if ( socket >= 0 ) {
        close( socket );
        socket = -1;
    }
    if ( pid > 0 ) {
        // Its request line closed, it ends by itself; the rooms' referees go on to their ends.
        kill( pid, SIGTERM );
        waitpid( pid, nullptr, 0 );
        pid = 0;
    }
}

int RefereeForker::Start( const std::string &program, const std::string &folder ) {
    int pair[2];
    if ( socketpair( AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair ) != 0 ) {
        return Fail( std::string( "no socket: " ) + std::strerror( errno ) );
    }
    pid = fork();
    if ( pid == 0 ) {
        dup2( pair[1], 0 );
        close_range( 3, ~0u, 0 );
        // At the relay's own priority, so that a room's start never waits for it while the core
        // is busy: it only sleeps between requests. Its children take the referees' priority.
        RelayReferee::ExecReferee( program, folder, "--referees" );
    }
    close( pair[1] );
    socket = pair[0];
    if ( pid < 0 ) {
        pid = 0;
        return Fail( std::string( "cannot start: " ) + std::strerror( errno ) );
    }
    return 1;
}

pid_t RefereeForker::Fork( int input, int output ) {
    if ( socket < 0 ) {
        return 0;
    }
    char byte = 'R';
    iovec part = { &byte, 1 };
    char room[CMSG_SPACE( 2 * sizeof( int ) )] = {};
    msghdr request = {};
    request.msg_iov = &part;
    request.msg_iovlen = 1;
    request.msg_control = room;
    request.msg_controllen = sizeof( room );
    cmsghdr *rights = CMSG_FIRSTHDR( &request );
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN( 2 * sizeof( int ) );
    const int fds[2] = { input, output };
    std::memcpy( CMSG_DATA( rights ), fds, sizeof( fds ) );
    if ( sendmsg( socket, &request, MSG_NOSIGNAL ) != 1 ) {
        Fail( "stopped taking rooms" );
        return 0;
    }
    pollfd answer = { socket, POLLIN, 0 };
    int32_t child = 0;
    if ( poll( &answer, 1, ANSWER_MILLISECONDS ) != 1 ||
         recv( socket, &child, sizeof( child ), 0 ) != ssize_t( sizeof( child ) ) || child <= 0 ) {
        Fail( "did not fork a room's referee" );
        return 0;
    }
    return pid_t( child );
}

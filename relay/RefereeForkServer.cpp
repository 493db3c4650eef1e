#include "relay/RefereeForkServer.h"

#include "relay/RelayReferee.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

RefereeForkServer::RefereeForkServer() : roomsForked( 0 ) {
}

RefereeForkServer::~RefereeForkServer() {
}

// One request: a byte with exactly two descriptors; 0 at the relay's end, -1 for a request
// that is not one (its descriptors closed, answered with no child).
int RefereeForkServer::TakeRoom( int socket, int fds[2] ) {
    char byte = 0;
    iovec part = { &byte, 1 };
    char room[CMSG_SPACE( 2 * sizeof( int ) )] = {};
    msghdr request = {};
    request.msg_iov = &part;
    request.msg_iovlen = 1;
    request.msg_control = room;
    request.msg_controllen = sizeof( room );
    const ssize_t got = recvmsg( socket, &request, MSG_CMSG_CLOEXEC );
    if ( got <= 0 ) {
        return 0;
    }
    int count = 0;
    for ( cmsghdr *part = CMSG_FIRSTHDR( &request ); part != nullptr; part = CMSG_NXTHDR( &request, part ) ) {
        if ( part->cmsg_level == SOL_SOCKET && part->cmsg_type == SCM_RIGHTS ) {
            const int here = int( ( part->cmsg_len - CMSG_LEN( 0 ) ) / sizeof( int ) );
            for ( int i = 0; i < here; i++ ) {
                int fd = -1;
                std::memcpy( &fd, CMSG_DATA( part ) + i * sizeof( int ), sizeof( int ) );
                if ( count < 2 ) {
                    fds[count] = fd;
                } else {
                    close( fd );
                }
                count++;
            }
        }
    }
    if ( count != 2 || ( request.msg_flags & MSG_CTRUNC ) != 0 ) {
        for ( int i = 0; i < count && i < 2; i++ ) {
            close( fds[i] );
        }
        return -1;
    }
    return 1;
}

int RefereeForkServer::Serve( int socket ) {
    // The rooms' referees end on their own; nobody waits for them here.
    signal( SIGCHLD, SIG_IGN );
    for ( ;; ) {
        int fds[2] = { -1, -1 };
        const int taken = TakeRoom( socket, fds );
        if ( taken == 0 ) {
            return 0;
        }
        const pid_t child = taken > 0 ? fork() : -1;
        if ( child == 0 ) {
            signal( SIGCHLD, SIG_DFL );
            RelayReferee::TakeRefereePriority();
            close( socket );
            // Taken above the standard three, so that neither pipe is put over the other.
            const int input = fcntl( fds[0], F_DUPFD_CLOEXEC, 3 );
            const int output = fcntl( fds[1], F_DUPFD_CLOEXEC, 3 );
            dup2( input, 0 );
            dup2( output, 1 );
            for ( int fd : { fds[0], fds[1], input, output } ) {
                if ( fd > 2 ) {
                    close( fd );
                }
            }
            return 1;
        }
        if ( taken > 0 ) {
            close( fds[0] );
            close( fds[1] );
        }
        roomsForked += child > 0 ? 1 : 0;
        const int32_t answer = child > 0 ? int32_t( child ) : 0;
        if ( send( socket, &answer, sizeof( answer ), MSG_NOSIGNAL ) != ssize_t( sizeof( answer ) ) ) {
            return 0;
        }
    }
}

#ifndef KELTO_RELAY_REFEREEFORKSERVER_H
#define KELTO_RELAY_REFEREEFORKSERVER_H

// The forking referee's side of the relay's requests (RefereeForker): it waits for a room's
// two pipes and forks a child that takes them as its standard input and output. Serve returns
// in each child, which then plays its room's game as a referee started alone would; in the
// forking referee itself it returns only when the relay is gone.

class RefereeForkServer {
public:
    RefereeForkServer();
    virtual ~RefereeForkServer();

    // Serves the requests arriving on `socket`: 1 in a room's child (its pipes in place), 0 in
    // the forking referee once the relay has closed its end.
    int Serve( int socket );

    int GetRoomsForked() const { return roomsForked; }

private:
    int TakeRoom( int socket, int fds[2] );

    int roomsForked;
};

#endif

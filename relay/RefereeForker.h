#ifndef KELTO_RELAY_REFEREEFORKER_H
#define KELTO_RELAY_REFEREEFORKER_H

// The relay's one forking referee: the headless game started once (`program --referees`),
// which forks a child per room, so that what every game loads alike (the libraries and their
// relocations, the program's own start) is paid for once and shared by the rooms' referees.
// A room's referee is asked for with its two pipes; the relay keeps only the child's id. When
// the forking referee cannot be started or dies, each room's referee is started as before.

#include <sys/types.h>

#include <string>

class RefereeForker {
public:
    RefereeForker();
    virtual ~RefereeForker();

    // Starts `program --referees` in `folder`; 1, or 0 with GetError.
    int Start( const std::string &program, const std::string &folder );
    // A referee playing from `input` and printing to `output` (both kept by the caller); its
    // process id, or 0 when the forking referee is gone (then given up for good).
    pid_t Fork( int input, int output );
    void Stop();

    int IsRunning() const { return socket >= 0; }
    pid_t GetPid() const { return pid; }
    const char *GetError() const { return error.c_str(); }

private:
    int Fail( const std::string &reason );

    pid_t pid;
    int socket; // the relay's end of the request line
    std::string error;
};

#endif

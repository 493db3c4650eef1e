#ifndef KELTO_REPLAY_REPLAYSTREAM_H
#define KELTO_REPLAY_REPLAYSTREAM_H

// A recording that arrives while it is played, as the stream of an online match reaches its
// referee: Read waits until some bytes have come and gives them, or 0 once the stream has ended.

#include <cstdint>

class ReplayStream {
public:
    virtual ~ReplayStream() {}
    virtual int64_t Read( void *destination, int64_t count ) = 0;
};

#endif

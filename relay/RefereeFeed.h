#ifndef KELTO_RELAY_REFEREEFEED_H
#define KELTO_RELAY_REFEREEFEED_H

// A room's stream turned back into a recording for its referee: the room's header, then each
// block of 60 frames' keys with the match starts and winds that fall in it before it, as a
// recorded game holds them. A block is given to the referee only once the host's game has played past it:
// the host says a match started only after playing into it, so a block given sooner could miss
// its match start. The checksums in the blocks are 0: the referee works them out.

#include "net/NetMessage.h"

#include <cstdint>
#include <deque>
#include <vector>

// Blocks the host may leave unplayed before the feed gives up (the players may report
// checksums at most this far ahead of each other too).
const size_t REFEREE_MAX_WAITING_BLOCKS = 64;

class RefereeFeed {
public:
    RefereeFeed();
    virtual ~RefereeFeed();

    // Starts the recording with the room's header.
    void Start( const std::vector<uint8_t> &header );
    // A match start, wind or keys the room took into its stream; 0 when a match start or wind
    // falls in a block already given (the referee cannot be told any more) or too many blocks
    // wait.
    int Add( const NetMessage &message );
    // The host's game has played `frame` frames: the blocks up to there are ready.
    void Confirm( uint32_t frame );
    // The recording's bytes made ready since the last call.
    std::vector<uint8_t> TakeReady();

private:
    struct Block {
        uint32_t first;
        int frames;
        std::vector<uint8_t> records; // the match starts and winds before the block
        std::vector<ReplayRun> runs;
    };

    Block *BlockOf( uint32_t frame );
    void AddKeys( uint16_t keys, int length );
    void Release( const Block &block );

    std::deque<Block> blocks; // the last one is being filled
    std::vector<uint8_t> ready;
};

#endif

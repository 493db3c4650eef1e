#include "relay/RefereeFeed.h"

#include <algorithm>

namespace {

void Put( std::vector<uint8_t> &bytes, uint32_t value, int count ) {
    for ( int i = 0; i < count; i++ ) {
        bytes.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

} // namespace

RefereeFeed::RefereeFeed() {
}

RefereeFeed::~RefereeFeed() {
}

void RefereeFeed::Start( const std::vector<uint8_t> &header ) {
    ready = header;
    blocks.clear();
    blocks.push_back( Block{ 0, 0, {}, {} } );
}

int RefereeFeed::Add( const NetMessage &message ) {
    if ( message.type == NET_KEYS ) {
        for ( const ReplayRun &run : message.runs ) {
            AddKeys( run.keys, run.length );
        }
        return blocks.size() <= REFEREE_MAX_WAITING_BLOCKS;
    }
    if ( message.type != NET_MATCH_START && message.type != NET_WIND ) {
        return 1;
    }
    Block *block = BlockOf( message.frame );
    if ( block == nullptr ) {
        return 0;
    }
    // Match starts and winds go before their block in the order the host's game drew them, as
    // its recorder wrote them.
    if ( message.type == NET_WIND ) {
        block->records.push_back( REPLAY_TAG_WIND );
        Put( block->records, message.frame, 4 );
        Put( block->records, uint32_t( int32_t( message.windSteps ) ), 4 );
        return 1;
    }
    block->records.push_back( REPLAY_TAG_MATCH );
    Put( block->records, message.frame, 4 );
    for ( uint32_t column : message.columns ) {
        Put( block->records, column, 4 );
    }
    return 1;
}

RefereeFeed::Block *RefereeFeed::BlockOf( uint32_t frame ) {
    for ( Block &block : blocks ) {
        if ( frame >= block.first && frame < block.first + uint32_t( REPLAY_BLOCK_FRAMES ) ) {
            return &block;
        }
    }
    return nullptr;
}

// Keys held for `length` frames, across as many blocks as they reach.
void RefereeFeed::AddKeys( uint16_t keys, int length ) {
    while ( length > 0 ) {
        Block &block = blocks.back();
        const int part = std::min( length, REPLAY_BLOCK_FRAMES - block.frames );
        if ( !block.runs.empty() && block.runs.back().keys == keys ) {
            block.runs.back().length += part;
        } else {
            block.runs.push_back( ReplayRun{ keys, part } );
        }
        block.frames += part;
        length -= part;
        if ( block.frames == REPLAY_BLOCK_FRAMES ) {
            blocks.push_back( Block{ block.first + uint32_t( REPLAY_BLOCK_FRAMES ), 0, {}, {} } );
        }
    }
}

void RefereeFeed::Confirm( uint32_t frame ) {
    while ( blocks.size() > 1 && blocks.front().first + uint32_t( REPLAY_BLOCK_FRAMES ) <= frame ) {
        Release( blocks.front() );
        blocks.pop_front();
    }
}

void RefereeFeed::Release( const Block &block ) {
    ready.insert( ready.end(), block.records.begin(), block.records.end() );
    ready.push_back( REPLAY_TAG_KEYS );
    Put( ready, block.first, 4 );
    Put( ready, uint32_t( block.frames ), 1 );
    Put( ready, uint32_t( block.runs.size() ), 1 );
    for ( const ReplayRun &run : block.runs ) {
        Put( ready, run.keys, 2 );
        Put( ready, uint32_t( run.length ), 1 );
    }
    Put( ready, 0, 4 );
}

std::vector<uint8_t> RefereeFeed::TakeReady() {
    std::vector<uint8_t> taken;
    taken.swap( ready );
    return taken;
}

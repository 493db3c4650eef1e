#ifndef KELTO_TESTS_SUPPORT_NETBYTES_H
#define KELTO_TESTS_SUPPORT_NETBYTES_H

// Messages of the online game's protocol built byte by byte, so that tests can send what the
// game's own writer never would: wrong lengths, counts out of range, strangers' headers.

#include "replay/ReplayFile.h"
#include <cstdint>
#include <string>
#include <vector>

class NetBytes {
public:
    NetBytes &U8( uint32_t value ) {
        bytes.push_back( uint8_t( value ) );
        return *this;
    }
    NetBytes &U16( uint32_t value ) { return U8( value ).U8( value >> 8 ); }
    NetBytes &U32( uint32_t value ) { return U16( value ).U16( value >> 16 ); }
    NetBytes &Text( const std::string &text ) {
        U8( uint32_t( text.size() ) );
        bytes.insert( bytes.end(), text.begin(), text.end() );
        return *this;
    }
    NetBytes &Raw( const std::vector<uint8_t> &more ) {
        bytes.insert( bytes.end(), more.begin(), more.end() );
        return *this;
    }

    std::vector<uint8_t> bytes;
};

// A recording header: format 1, game version `version`, pictures 1 to 4, and `rules`.
inline std::vector<uint8_t> NetRecordingHeader( const std::string &version = "1.0.0",
                                                const std::vector<int32_t> &rules = { 0, 5 } ) {
    NetBytes header;
    for ( char c : std::string( "KELTOREC" ) ) {
        header.U8( uint8_t( c ) );
    }
    header.U16( uint32_t( REPLAY_FORMAT_VERSION ) )
        .Text( version )
        .U32( 1 )
        .U32( 2 )
        .U32( 3 )
        .U32( 4 )
        .U8( uint32_t( rules.size() ) );
    for ( int32_t rule : rules ) {
        header.U32( uint32_t( rule ) );
    }
    return header.bytes;
}

// A hello: this protocol, `role`, `seats`, room code, name and a recording header.
inline std::vector<uint8_t> NetHello( int role, int seats, const std::string &code, const std::string &name,
                                      const std::vector<uint8_t> &header = NetRecordingHeader() ) {
    return NetBytes()
        .U8( 'H' )
        .U16( uint32_t( NET_PROTOCOL_VERSION ) )
        .U8( uint32_t( role ) )
        .U8( uint32_t( seats ) )
        .Text( code )
        .Text( name )
        .U16( uint32_t( header.size() ) )
        .Raw( header )
        .bytes;
}

#endif

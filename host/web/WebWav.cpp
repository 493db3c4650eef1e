#include "host/web/WebAudio.h"

#include <cstring>

namespace {

uint32_t Read32( const uint8_t *p ) {
    return uint32_t( p[0] ) | uint32_t( p[1] ) << 8 | uint32_t( p[2] ) << 16 | uint32_t( p[3] ) << 24;
}

uint16_t Read16( const uint8_t *p ) {
    return uint16_t( p[0] | p[1] << 8 );
}

} // namespace

// Walks the RIFF chunks; every length is checked against what is left, so no file reads
// outside its bytes.
int WebParseWav( const uint8_t *bytes, size_t size, WavPcm &pcm ) {
    if ( bytes == nullptr || size < 12 || std::memcmp( bytes, "RIFF", 4 ) != 0 ||
         std::memcmp( bytes + 8, "WAVE", 4 ) != 0 ) {
        return 0;
    }
    int haveFormat = 0;
    size_t at = 12;
    while ( size - at >= 8 ) {
        const uint8_t *chunk = bytes + at;
        const uint32_t length = Read32( chunk + 4 );
        if ( length > size - at - 8 ) {
            return 0;
        }
        if ( std::memcmp( chunk, "fmt ", 4 ) == 0 && length >= 16 ) {
            const int format = Read16( chunk + 8 );
            pcm.channels = Read16( chunk + 10 );
            pcm.sampleRate = int( Read32( chunk + 12 ) );
            pcm.bitsPerSample = Read16( chunk + 22 );
            haveFormat = format == 1 && ( pcm.channels == 1 || pcm.channels == 2 ) &&
                         ( pcm.bitsPerSample == 8 || pcm.bitsPerSample == 16 ) && pcm.sampleRate >= 3000 &&
                         pcm.sampleRate <= 192000;
        } else if ( std::memcmp( chunk, "data", 4 ) == 0 ) {
            if ( !haveFormat ) {
                return 0;
            }
            pcm.samples = chunk + 8;
            pcm.sampleBytes = length - length % size_t( pcm.channels * pcm.bitsPerSample / 8 );
            return pcm.sampleBytes > 0;
        }
        at += 8 + length + ( length & 1 );
    }
    return 0;
}

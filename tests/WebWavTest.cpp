#include "host/web/WebAudio.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

void Put32( std::vector<uint8_t> &bytes, uint32_t value ) {
    for ( int i = 0; i < 4; i++ ) {
        bytes.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

void Put16( std::vector<uint8_t> &bytes, uint16_t value ) {
    bytes.push_back( uint8_t( value ) );
    bytes.push_back( uint8_t( value >> 8 ) );
}

// A WAV file with an odd-sized chunk before the format, then `dataLength` claimed data bytes
// of which `dataBytes` are present.
std::vector<uint8_t> Wav( int bits, int channels, uint32_t dataLength, size_t dataBytes ) {
    std::vector<uint8_t> bytes = { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'L', 'I', 'S', 'T' };
    Put32( bytes, 3 );
    bytes.insert( bytes.end(), { 1, 2, 3, 0 } ); // three bytes and the pad byte
    bytes.insert( bytes.end(), { 'f', 'm', 't', ' ' } );
    Put32( bytes, 16 );
    Put16( bytes, 1 );
    Put16( bytes, uint16_t( channels ) );
    Put32( bytes, 22050 );
    Put32( bytes, uint32_t( 22050 * channels * bits / 8 ) );
    Put16( bytes, uint16_t( channels * bits / 8 ) );
    Put16( bytes, uint16_t( bits ) );
    bytes.insert( bytes.end(), { 'd', 'a', 't', 'a' } );
    Put32( bytes, dataLength );
    bytes.resize( bytes.size() + dataBytes, 0x40 );
    return bytes;
}

} // namespace

// The browser's reader takes the game's own sounds and refuses, without reading past the
// file's end, whatever it cannot play.
TEST( WebWav, PlayableFilesAreFoundAndTheRestRefused ) {
    const struct {
        std::vector<uint8_t> bytes;
        int accepted;
        size_t sampleBytes;
    } cases[] = {
        { Wav( 16, 1, 100, 100 ), 1, 100 },
        { Wav( 16, 2, 102, 102 ), 1, 100 }, // a frame and a half: the half is left out
        { Wav( 8, 1, 7, 7 ), 1, 7 },
        { Wav( 16, 1, 100, 99 ), 0, 0 }, // data chunk longer than the file
        { Wav( 16, 1, 0xFFFFFFFFu, 8 ), 0, 0 },
        { Wav( 24, 1, 96, 96 ), 0, 0 }, // not 8- or 16-bit
        { Wav( 16, 3, 96, 96 ), 0, 0 }, // more than two channels
        { Wav( 16, 1, 1, 1 ), 0, 0 },   // not one whole sample
        { { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E' }, 0, 0 },
    };
    for ( const auto &test : cases ) {
        WavPcm pcm = {};
        EXPECT_EQ( WebParseWav( test.bytes.data(), test.bytes.size(), pcm ), test.accepted );
        if ( test.accepted ) {
            EXPECT_EQ( pcm.sampleBytes, test.sampleBytes );
            EXPECT_EQ( pcm.sampleRate, 22050 );
            EXPECT_EQ( pcm.samples + pcm.sampleBytes <= test.bytes.data() + test.bytes.size(), true );
        }
    }
    std::vector<uint8_t> noFormat = Wav( 16, 1, 4, 4 );
    noFormat[24] = 'x'; // the format chunk's name
    WavPcm pcm = {};
    EXPECT_EQ( WebParseWav( noFormat.data(), noFormat.size(), pcm ), 0 );
}

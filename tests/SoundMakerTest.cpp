#include "audio/SoundMaker.h"
#include "SourcePaths.h"
#include "audio/SoundBank.h"
#include "host/HostFile.h"
#include "host/web/WebAudio.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadWhole( const std::string &path ) {
    std::vector<uint8_t> bytes;
    HostFile *file = HostFileOpen( path.c_str() );
    if ( file != nullptr ) {
        bytes.resize( size_t( HostFileGetSize( file ) ) );
        bytes.resize( size_t( HostFileRead( file, bytes.data(), int64_t( bytes.size() ) ) ) );
        HostFileClose( file );
    }
    return bytes;
}

// The loudest sample of 16-bit PCM, as a fraction of full scale.
double Peak( const WavPcm &pcm ) {
    int highest = 0;
    for ( size_t i = 0; i + 1 < pcm.sampleBytes; i += 2 ) {
        const int sample = int16_t( pcm.samples[i] | ( pcm.samples[i + 1] << 8 ) );
        highest = std::max( highest, std::abs( sample ) );
    }
    return highest / 32767.0;
}

} // namespace

// The browser makes its sounds rather than download them, so each must be what the desktop
// ships, byte for byte, and one the browser's WAV reader takes: mono, 22050 Hz, 16 bits, as
// long as said, audible and below full scale.
TEST( SoundMaker, EverySoundOfTheBankIsTheShippedFile ) {
    SoundMaker maker;
    for ( int i = 0; i < SOUND_COUNT; ++i ) {
        const char *name = SoundBank::GetFileName( SoundName( i ) );
        ASSERT_EQ( maker.Make( SoundName( i ) ), 1 ) << name;
        EXPECT_TRUE( maker.GetWav() == ReadWhole( std::string( KELTO_ASSETS_DIR ) + "/" + name ) ) << name;
        WavPcm pcm = {};
        ASSERT_EQ( WebParseWav( maker.GetWav().data(), maker.GetWav().size(), pcm ), 1 ) << name;
        EXPECT_EQ( pcm.channels, 1 ) << name;
        EXPECT_EQ( pcm.sampleRate, 22050 ) << name;
        EXPECT_EQ( pcm.bitsPerSample, 16 ) << name;
        EXPECT_EQ( pcm.sampleBytes, 2 * size_t( std::lround( 22050 * maker.GetSeconds() ) ) ) << name;
        EXPECT_GT( maker.GetSeconds(), 0.19 ) << name;
        EXPECT_GT( Peak( pcm ), 0.19 ) << name;
        EXPECT_LT( Peak( pcm ), 0.91 ) << name;
    }
}

// Just outside the bank on either side: no sound, and nothing left of the one made before.
TEST( SoundMaker, NamesOutsideTheBankMakeNothing ) {
    SoundMaker maker;
    for ( int outside : { -1, int( SOUND_COUNT ) } ) {
        ASSERT_EQ( maker.Make( SOUND_DIRT ), 1 );
        EXPECT_EQ( maker.Make( SoundName( outside ) ), 0 ) << outside;
        EXPECT_TRUE( maker.GetWav().empty() ) << outside;
        EXPECT_EQ( maker.GetSeconds(), 0.0 ) << outside;
        EXPECT_EQ( maker.WriteFile( ::testing::TempDir() + "/outside.wav" ), 0 ) << outside;
    }
}

// Written over a longer file the sound replaces it wholly; a folder that is not there fails.
TEST( SoundMaker, WritingReplacesALongerFileAndFailsWithoutAFolder ) {
    SoundMaker maker;
    const std::string path = ::testing::TempDir() + "/made.wav";
    ASSERT_EQ( maker.Make( SOUND_DESTROYED ), 1 );
    ASSERT_EQ( maker.WriteFile( path ), 1 );
    ASSERT_EQ( maker.Make( SOUND_BARREL ), 1 );
    ASSERT_EQ( maker.WriteFile( path ), 1 );
    EXPECT_TRUE( ReadWhole( path ) == maker.GetWav() );
    EXPECT_EQ( maker.WriteFile( ::testing::TempDir() + "/no such folder/made.wav" ), 0 );
}

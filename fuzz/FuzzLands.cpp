// Fuzzes the land generator by code and size, and the land code's reader by text. A size the
// game can take must give a land whose ground is only ground colours, a background only in its
// own ramps, four open start places apart, and the same bytes when made again; a size it
// cannot take must be refused without a picture. A text read as a code must write itself
// back the same way, whatever letter case it came in.

#include "fuzz/FuzzSupport.h"

#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "lands/LandCode.h"
#include "lands/LandGenerator.h"
#include "lands/LandPalette.h"
#include "lands/LandStarts.h"

#include <cstdint>
#include <string>

namespace {

const int TANK_W = 35;
const int TANK_H = 20;
// Most sizes stay small enough for many runs a second; a tag reaches the limits.
const int USUAL_LARGEST = 2048;

enum SizeTag { SIZE_USUAL, SIZE_SMALLEST, SIZE_LARGEST, SIZE_REFUSED, SIZE_TAGS };

int ReadSide( FuzzReader &in, int smallest ) {
    const int tag = in.Byte() % SIZE_TAGS;
    if ( tag == SIZE_SMALLEST ) {
        return smallest;
    }
    if ( tag == SIZE_LARGEST ) {
        return BMP_MAX_SIDE;
    }
    if ( tag == SIZE_REFUSED ) {
        const int refused[] = { smallest - 1, BMP_MAX_SIDE + 1, 0, -smallest, INT32_MIN };
        return refused[in.Byte() % 5];
    }
    const uint32_t low = in.Byte();
    const uint32_t high = in.Byte();
    return smallest + int( ( low | high << 8 ) % uint32_t( USUAL_LARGEST - smallest + 1 ) );
}

uint32_t Checksum( const Image &image ) {
    uint32_t hash = 2166136261u;
    const int count = image.GetWidth() * image.GetHeight();
    for ( int i = 0; i < count; i++ ) {
        hash = ( hash ^ image.GetPixels()[i] ) * 16777619u;
    }
    return hash;
}

int InRamp( int pixel, LandRamp ramp ) {
    return pixel >= ramp.first && pixel < ramp.first + ramp.count;
}

void CheckLand( const LandCode &code, int width, int height ) {
    Image land;
    const int made = LandGenerator::MakeLand( code, width, height, land );
    FUZZ_CHECK( made == LandGenerator::Fits( width, height ), "%d x %d made %d", width, height, made );
    if ( !made ) {
        FUZZ_CHECK( land.GetPixels() == nullptr, "a refused %d x %d left a picture", width, height );
        return;
    }
    // The largest sizes are only made, not searched through, to keep each run short.
    if ( int64_t( width ) * height > int64_t( USUAL_LARGEST ) * USUAL_LARGEST ) {
        return;
    }
    for ( int i = 0; i < width * height; i++ ) {
        const int pixel = land.GetPixels()[i];
        FUZZ_CHECK( pixel == 0 || InRamp( pixel, LAND_TOP ) || InRamp( pixel, LAND_EARTH ) ||
                        InRamp( pixel, LAND_ROCK ) || InRamp( pixel, LAND_ACCENT ),
                    "ground colour %d at %d of %d x %d", pixel, i, width, height );
    }
    int columns[LandStarts::COUNT];
    FUZZ_CHECK( LandStarts::Choose( land, TANK_W, TANK_H, code.GetSeed(), columns ) == 1,
                "no four start places on %d x %d, style %d seed %08x", width, height, code.GetStyle(),
                unsigned( code.GetSeed() ) );
    Image again;
    LandGenerator::MakeLand( code, width, height, again );
    FUZZ_CHECK( Checksum( again ) == Checksum( land ), "made again, %d x %d differs", width, height );
}

void CheckBackground( const LandCode &code, int width, int height ) {
    Image background;
    const int made = LandGenerator::MakeBackground( code, width, height, background );
    FUZZ_CHECK( made == LandGenerator::Fits( width, height ), "background %d x %d made %d", width, height,
                made );
    if ( !made || int64_t( width ) * height > int64_t( USUAL_LARGEST ) * USUAL_LARGEST ) {
        return;
    }
    for ( int i = 0; i < width * height; i++ ) {
        const int pixel = background.GetPixels()[i];
        FUZZ_CHECK( pixel >= LAND_SKY.first && pixel < LAND_NEAR.first + LAND_NEAR.count,
                    "background colour %d at %d", pixel, i );
    }
}

void CheckText( const std::string &text ) {
    LandCode code( LandCode::CLIFFS, LandCode::SNOW, 0x5A5A5A5Au );
    if ( !code.Parse( text.c_str() ) ) {
        char kept[LandCode::TEXT_SIZE];
        code.Format( kept, sizeof( kept ) );
        FUZZ_CHECK( std::string( kept ) == "CLIFFS-SNOW-5A5A5A5A", "a refused code changed it to %s", kept );
        return;
    }
    char written[LandCode::TEXT_SIZE];
    code.Format( written, sizeof( written ) );
    FUZZ_CHECK( text.size() == std::string( written ).size(), "read %s, wrote %s", text.c_str(), written );
    for ( size_t i = 0; i < text.size(); i++ ) {
        const char c = text[i] >= 'a' && text[i] <= 'z' ? char( text[i] - 'a' + 'A' ) : text[i];
        FUZZ_CHECK( c == written[i], "read %s, wrote %s", text.c_str(), written );
    }
}

void WriteSeeds( const char *directory ) {
    const struct {
        const char *name;
        uint8_t style, theme;
        uint32_t seed;
        uint8_t widthTag, heightTag;
        const char *text;
    } seeds[] = {
        { "hills-smallest", 0, 0, 0x3F9A21C0u, SIZE_SMALLEST, SIZE_SMALLEST, "hills-green-3f9a21c0" },
        { "islands-usual", 1, 1, 0xFFFFFFFFu, SIZE_USUAL, SIZE_USUAL, "ISLANDS-DESERT-FFFFFFF" },
        { "cavern-refused", 2, 2, 0u, SIZE_REFUSED, SIZE_SMALLEST, "CAVERN-SNOW-00000000" },
        { "cliffs-largest", 3, 0, 12345u, SIZE_LARGEST, SIZE_SMALLEST, "CLIFFS-GREEN-0000303G" },
    };
    for ( const auto &seed : seeds ) {
        FuzzWriter out;
        out.Byte( seed.style );
        out.Byte( seed.theme );
        out.Word( seed.seed );
        out.Byte( seed.widthTag );
        out.Byte( 0x80 );
        out.Byte( 0x02 );
        out.Byte( seed.heightTag );
        out.Byte( 0x40 );
        out.Byte( 0x01 );
        for ( const char *c = seed.text; *c != '\0'; c++ ) {
            out.Byte( uint8_t( *c ) );
        }
        FuzzWriteSeed( directory, seed.name, out.bytes );
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize( int *argc, char ***argv ) {
    FuzzWriteSeedsIfAsked( *argc, *argv, WriteSeeds );
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t *data, size_t size ) {
    FuzzReader in( data, size );
    const int style = in.Byte() % LandCode::STYLE_COUNT;
    const int theme = in.Byte() % LandCode::THEME_COUNT;
    const uint32_t seed = in.Word();
    const int width = ReadSide( in, LandGenerator::MIN_WIDTH );
    int height = ReadSide( in, LandGenerator::MIN_HEIGHT );
    // Both sides at the limit would take a quarter of a gigabyte twice over: one is enough.
    if ( width == BMP_MAX_SIDE && height == BMP_MAX_SIDE ) {
        height = LandGenerator::MIN_HEIGHT;
    }
    const LandCode code( style, theme, seed );
    CheckLand( code, width, height );
    CheckBackground( code, width, height );
    std::string text;
    // The text ends where the game's would: at its first zero.
    while ( in.Remaining() > 0 && text.size() < 64 ) {
        const char c = char( in.Byte() );
        if ( c == '\0' ) {
            break;
        }
        text.push_back( c );
    }
    CheckText( text );
    return 0;
}

#include "SourcePaths.h"
#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "gfx/Image.h"
#include "hud/HudColours.h"
#include "lands/LandCode.h"
#include "lands/LandGenerator.h"
#include "lands/LandPalette.h"
#include "lands/LandShaper.h"
#include "lands/LandStarts.h"
#include "tests/support/HeadlessScope.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The game's tank: 35 x 20.
const int TANK_W = 35;
const int TANK_H = 20;

// Under the address checker a land costs many times what it costs in the default build, which
// sweeps every seed; there every fourth seed at the game's size is enough to walk each style's
// code with its bounds checked, and the smallest size, nearer the edges, is swept whole.
#if defined( __SANITIZE_ADDRESS__ )
const int GAME_SIZE_SEED_STEP = 4;
#else
const int GAME_SIZE_SEED_STEP = 1;
#endif

uint32_t Checksum( const Image &image ) {
    uint32_t hash = 2166136261u;
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

std::string Text( const LandCode &code ) {
    char text[LandCode::TEXT_SIZE];
    code.Format( text, sizeof( text ) );
    return text;
}

// Whether air leads from the upper half of a tank's box at rest up to the sky above the land,
// four ways through air: a bomb can then fly in to it. The search tries upwards first.
int ReachesSky( const Image &land, int x, int restY ) {
    const int w = land.GetWidth();
    auto air = [&land]( int px, int py ) { return land.GetPixels()[py * land.GetPitch() + px] == 0; };
    for ( int y = restY < 0 ? 0 : restY; y < restY + TANK_H / 2; y++ ) {
        for ( int column = x; column < x + TANK_W; column++ ) {
            if ( !air( column, y ) ) {
                return 0;
            }
        }
    }
    if ( restY <= 0 ) {
        return 1;
    }
    std::vector<uint8_t> seen( size_t( w ) * land.GetHeight(), 0 );
    std::vector<int> stack = { restY * w + x + TANK_W / 2 };
    seen[size_t( stack[0] )] = 1;
    while ( !stack.empty() ) {
        const int at = stack.back();
        stack.pop_back();
        const int px = at % w;
        const int py = at / w;
        if ( py == 0 ) {
            return 1;
        }
        const int next[4][2] = { { px, py + 1 }, { px - 1, py }, { px + 1, py }, { px, py - 1 } };
        for ( const auto &n : next ) {
            if ( n[0] < 0 || n[0] >= w || n[1] >= land.GetHeight() ) {
                continue;
            }
            const int i = n[1] * w + n[0];
            if ( !seen[size_t( i )] && air( n[0], n[1] ) ) {
                seen[size_t( i )] = 1;
                stack.push_back( i );
            }
        }
    }
    return 0;
}

} // namespace

TEST( LandCodes, TypedCodesRoundTripAndMalformedOnesAreRefused ) {
    const struct {
        const char *text;
        const char *canonical; // null: refused
    } cases[] = {
        { "HILLS-GREEN-3F9A21C0", "HILLS-GREEN-3F9A21C0" },
        { "hills-green-3f9a21c0", "HILLS-GREEN-3F9A21C0" },
        { "Islands-Desert-00000000", "ISLANDS-DESERT-00000000" },
        { "CAVERN-SNOW-FFFFFFFF", "CAVERN-SNOW-FFFFFFFF" },
        { "cliffs-SNOW-0a0B0c0D", "CLIFFS-SNOW-0A0B0C0D" },
        { "HILL-GREEN-3F9A21C0", nullptr },   // no such style
        { "HILLSS-GREEN-3F9A21C0", nullptr }, // style with a letter more
        { "HILLS-GRAY-3F9A21C0", nullptr },   // no such theme
        { "HILLS-3F9A21C0", nullptr },        // no theme
        { "HILLS-GREEN-3F9A21C", nullptr },   // seven digits
        { "HILLS-GREEN-3F9A21C00", nullptr }, // nine digits
        { "HILLS-GREEN-3F9A21CG", nullptr },  // not hexadecimal
        { "HILLS-GREEN-3F9A21C0 ", nullptr }, // a character after the code
        { " HILLS-GREEN-3F9A21C0", nullptr }, // and before it
        { "HILLS_GREEN_3F9A21C0", nullptr },  // wrong joints
        { "HILLS-GREEN--3F9A21C", nullptr },  // a sign is not a digit
        { "HILLS-GREEN-0x3F9A21", nullptr },
        { "HILLS-GREEN-", nullptr },
        { "", nullptr },
    };
    for ( const auto &c : cases ) {
        LandCode code( LandCode::CLIFFS, LandCode::SNOW, 0x12345678u );
        const int parsed = code.Parse( c.text );
        EXPECT_EQ( parsed, c.canonical != nullptr ? 1 : 0 ) << c.text;
        if ( c.canonical != nullptr ) {
            EXPECT_EQ( Text( code ), c.canonical ) << c.text;
            LandCode again;
            ASSERT_EQ( again.Parse( Text( code ).c_str() ), 1 );
            EXPECT_EQ( Text( again ), c.canonical );
        } else {
            EXPECT_EQ( Text( code ), "CLIFFS-SNOW-12345678" ) << c.text << ": a refusal changes nothing";
        }
    }
    LandCode none;
    EXPECT_EQ( none.Parse( nullptr ), 0 );
}

// One picture per style and one background per theme, pinned: the same code makes the same
// bytes on every machine and build. Ground is never 0 (empty) nor a colour the sprites or the
// view draw with; the background keeps to its own ramps too.
TEST( LandGeneration, EachStyleAndThemeMakesItsPinnedPicture ) {
    const uint32_t landHashes[LandCode::STYLE_COUNT] = { 3854759529u, 1967162333u, 817002568u, 47554147u };
    const uint32_t backgroundHashes[LandCode::THEME_COUNT] = { 2844006002u, 54886024u, 3142130031u };
    for ( int style = 0; style < LandCode::STYLE_COUNT; style++ ) {
        Image land;
        ASSERT_EQ(
            LandGenerator::MakeLand( LandCode( style, LandCode::GREEN, 0x3F9A21C0u ), 1280, 960, land ), 1 );
        EXPECT_EQ( Checksum( land ), landHashes[style] ) << LandCode::StyleName( style );
        // The fingerprint the browser build reports for the same code (tests/web).
        EXPECT_EQ( LandGenerator::Fingerprint( land ), landHashes[style] );
        int stray = 0;
        for ( int i = 0; i < 1280 * 960; i++ ) {
            const int p = land.GetPixels()[i];
            stray += !( p == 0 || ( p >= LAND_TOP.first && p < LAND_ROCK.first + LAND_ROCK.count ) ||
                        ( p >= LAND_ACCENT.first && p < LAND_ACCENT.first + LAND_ACCENT.count ) );
        }
        EXPECT_EQ( stray, 0 ) << LandCode::StyleName( style );
    }
    for ( int theme = 0; theme < LandCode::THEME_COUNT; theme++ ) {
        Image background;
        ASSERT_EQ( LandGenerator::MakeBackground( LandCode( LandCode::HILLS, theme, 0x3F9A21C0u ), 960, 720,
                                                  background ),
                   1 );
        EXPECT_EQ( Checksum( background ), backgroundHashes[theme] ) << LandCode::ThemeName( theme );
        int stray = 0;
        for ( int i = 0; i < 960 * 720; i++ ) {
            const int p = background.GetPixels()[i];
            stray += p < LAND_SKY.first || p >= LAND_NEAR.first + LAND_NEAR.count;
        }
        EXPECT_EQ( stray, 0 ) << LandCode::ThemeName( theme );
    }
}

// A fingerprint reads the pixels, not the padding at the end of a pitched row.
TEST( LandGeneration, AFingerprintLeavesOutThePitchsPadding ) {
    Image land;
    ASSERT_EQ( LandGenerator::MakeLand( LandCode( LandCode::CAVERN, LandCode::SNOW, 9u ), 641, 480, land ),
               1 );
    std::vector<uint8_t> padded( 648 * 480, 0xA5 );
    for ( int y = 0; y < 480; y++ ) {
        std::memcpy( &padded[size_t( y ) * 648], land.GetPixels() + y * 641, 641 );
    }
    Image wrapped;
    wrapped.SetWidth( 641 );
    wrapped.SetHeight( 480 );
    wrapped.SetPitch( 648 );
    wrapped.SetPixels( padded.data() );
    EXPECT_EQ( LandGenerator::Fingerprint( wrapped ), Checksum( land ) );
    EXPECT_EQ( LandGenerator::Fingerprint( land ), Checksum( land ) );
    padded[640] ^= 1; // the last pixel of the first row counts
    EXPECT_NE( LandGenerator::Fingerprint( wrapped ), Checksum( land ) );
}

TEST( LandGeneration, SizesAreTakenUpToTheLimitsAndRefusedPastThem ) {
    const struct {
        int width;
        int height;
        int made;
    } cases[] = {
        { LandGenerator::MIN_WIDTH, LandGenerator::MIN_HEIGHT, 1 },
        { LandGenerator::MIN_WIDTH - 1, LandGenerator::MIN_HEIGHT, 0 },
        { LandGenerator::MIN_WIDTH, LandGenerator::MIN_HEIGHT - 1, 0 },
        { BMP_MAX_SIDE, LandGenerator::MIN_HEIGHT, 1 },
        { BMP_MAX_SIDE + 1, LandGenerator::MIN_HEIGHT, 0 },
        { LandGenerator::MIN_WIDTH, BMP_MAX_SIDE + 1, 0 },
        { 0, 0, 0 },
        { -1280, 960, 0 },
    };
    for ( const auto &c : cases ) {
        for ( int style = 0; style < LandCode::STYLE_COUNT; style++ ) {
            Image land;
            const LandCode code( style, LandCode::DESERT, 7u );
            EXPECT_EQ( LandGenerator::MakeLand( code, c.width, c.height, land ), c.made )
                << c.width << " x " << c.height;
            EXPECT_EQ( land.GetPixels() != nullptr, c.made == 1 );
        }
    }
    // A picture of another size is not drawn over.
    Image other( 1280, 961 );
    EXPECT_EQ( LandGenerator::MakeLand( LandCode(), 1280, 960, other ), 0 );
    Image same( 1280, 960 );
    EXPECT_EQ( LandGenerator::MakeLand( LandCode(), 1280, 960, same ), 1 );
    Image fresh;
    ASSERT_EQ( LandGenerator::MakeLand( LandCode(), 1280, 960, fresh ), 1 );
    EXPECT_EQ( Checksum( same ), Checksum( fresh ) );
}

// Every land of every style, at the game's size and at the smallest, has four start places
// the rules accept, each reached by air from the sky, so every tank can be shot at.
TEST( LandStarts, EveryStyleLeavesFourReachableStartsOverManySeeds ) {
    const struct {
        int width;
        int height;
        int seeds;
        int step;
    } sizes[] = { { 1280, 960, 200, GAME_SIZE_SEED_STEP },
                  { LandGenerator::MIN_WIDTH, LandGenerator::MIN_HEIGHT, 50, 1 } };
    for ( const auto &size : sizes ) {
        for ( int style = 0; style < LandCode::STYLE_COUNT; style++ ) {
            for ( int seed = 0; seed < size.seeds; seed += size.step ) {
                // The shape alone: painting keeps every ground pixel ground (pinned above).
                Image land( size.width, size.height );
                const LandCode code( style, LandCode::GREEN, uint32_t( seed ) * 2654435761u );
                ASSERT_EQ( LandShape( style, code.GetSeed(), land ), 1 );
                int columns[LandStarts::COUNT] = { -1, -1, -1, -1 };
                ASSERT_EQ( LandStarts::Choose( land, TANK_W, TANK_H, uint32_t( seed ), columns ), 1 )
                    << Text( code ) << " " << size.width;
                for ( int i = 0; i < LandStarts::COUNT; i++ ) {
                    int restY = -1;
                    ASSERT_TRUE( LandStarts::IsInside( size.width, columns[i], TANK_W ) ) << Text( code );
                    ASSERT_EQ( LandStarts::IsOpen( land, columns[i], TANK_W, TANK_H, &restY ), 1 );
                    ASSERT_TRUE( ReachesSky( land, columns[i], restY ) ) << Text( code ) << " " << i;
                    for ( int j = 0; j < i; j++ ) {
                        const int apart =
                            columns[i] > columns[j] ? columns[i] - columns[j] : columns[j] - columns[i];
                        ASSERT_GE( apart, 2 * TANK_W ) << Text( code );
                    }
                }
            }
        }
    }
}

// The edges of a start place, on a land drawn by hand: flat ground from row 100 on a 400 x 200
// land, with one block of rock hanging over columns 200 to 209 down to row 60.
TEST( LandStarts, AStartIsOpenUpToTheLastColumnClearOfAnOverhang ) {
    Image land( 400, 200 );
    land.FillRect( 0, 100, 399, 199, 120 );
    land.FillRect( 200, 0, 209, 60, 150 );
    const struct {
        int x;
        int open;
    } cases[] = {
        { 0, 1 },
        { 200 - TANK_W, 1 },     // the box ends one column short of the rock
        { 200 - TANK_W + 1, 0 }, // its last column under the rock
        { 209, 0 },
        { 210, 1 },              // first column past the rock
        { 400 - TANK_W, 1 },     // against the right side
        { 400 - TANK_W + 1, 0 }, // one column past it
        { -1, 0 },
    };
    for ( const auto &c : cases ) {
        int restY = -1;
        EXPECT_EQ( LandStarts::IsOpen( land, c.x, TANK_W, TANK_H, &restY ), c.open ) << c.x;
        if ( c.open ) {
            EXPECT_EQ( restY, 100 - TANK_H ) << c.x;
        }
    }
    // A hole through to the bottom is no ground to start on; nor is a land with no ground.
    land.FillRect( 300, 0, 339, 199, 0 );
    EXPECT_EQ( LandStarts::IsOpen( land, 303, TANK_W, TANK_H, nullptr ), 0 );
    EXPECT_TRUE( LandStarts::IsInside( 400, TANK_W, TANK_W ) );
    EXPECT_FALSE( LandStarts::IsInside( 400, TANK_W - 1, TANK_W ) );
    EXPECT_TRUE( LandStarts::IsInside( 400, 400 - 2 * TANK_W, TANK_W ) );
    EXPECT_FALSE( LandStarts::IsInside( 400, 400 - 2 * TANK_W + 1, TANK_W ) );
    Image empty( 400, 200 );
    int columns[LandStarts::COUNT] = { 1, 2, 3, 4 };
    EXPECT_EQ( LandStarts::Choose( empty, TANK_W, TANK_H, 9u, columns ), 0 );
    EXPECT_EQ( columns[0], 1 );
    // Four places fit exactly: open columns only where four can stand 70 apart.
    Image narrow( 400, 200 );
    narrow.FillRect( 0, 100, 399, 199, 120 );
    narrow.FillRect( 0, 0, 399, 60, 150 );
    for ( int x : { 40, 110, 180, 250 } ) {
        narrow.FillRect( x, 0, x + TANK_W - 1, 60, 0 );
    }
    ASSERT_EQ( LandStarts::Choose( narrow, TANK_W, TANK_H, 9u, columns ), 1 );
    int found[4] = { columns[0], columns[1], columns[2], columns[3] };
    std::sort( found, found + 4 );
    EXPECT_EQ( found[0], 40 );
    EXPECT_EQ( found[3], 250 );
    narrow.FillRect( 250, 0, 250, 60, 150 );
    EXPECT_EQ( LandStarts::Choose( narrow, TANK_W, TANK_H, 9u, columns ), 0 );
}

// A theme keeps every colour the sprites and the view use, so the tank, the bomb and the
// overlay look the same on every land; the view finds its colours at the same entries.
TEST( LandThemes, EveryThemeKeepsTheSpriteAndViewColours ) {
    HeadlessScope scope;
    BmpFile assets;
    ASSERT_EQ( assets.Load( KELTO_ASSETS_DIR "/background.bmp", BmpFile::ColourTable ), 1 );
    HostPaletteEntry bundled[256];
    ASSERT_EQ( assets.CopyPalette( bundled ), 1 );
    HudColours first;
    for ( int theme = 0; theme < LandCode::THEME_COUNT; theme++ ) {
        HostPaletteEntry entries[256];
        LandMakePalette( theme, entries );
        for ( int i = 0; i < 256; i++ ) {
            if ( i < 16 || ( i >= LAND_KEPT_FIRST && i <= LAND_KEPT_LAST ) ) {
                EXPECT_EQ( std::memcmp( &entries[i], &bundled[i], 3 ), 0 ) << "entry " << i;
            }
        }
        HudColours colours;
        colours.Find( entries );
        if ( theme == 0 ) {
            first = colours;
        }
        for ( int player = 0; player < HudColours::PLAYER_COLOURS; player++ ) {
            EXPECT_EQ( colours.GetPlayer( player ), LAND_SIGNAL_FIRST + player ) << theme;
        }
        EXPECT_EQ( colours.GetText(), 15 );
        EXPECT_EQ( colours.GetShadow(), 0 );
        EXPECT_EQ( colours.GetPanel(), first.GetPanel() );
        EXPECT_EQ( colours.GetGround(), first.GetGround() );
        EXPECT_EQ( colours.GetSky(), first.GetSky() );
        EXPECT_EQ( colours.GetBright(), first.GetBright() );
    }
}

#include "host/FrameChanges.h"
#include "host/FrameConversion.h"
#include "host/HostKeyState.h"
#include "host/HostTypes.h"
#include "host/sdl/FrameSchedule.h"
#include "host/sdl/PictureScaling.h"
#include "host/sdl/SdlInputNames.h"
#include "host/sdl/SdlKeyMap.h"
#include "host/web/WebKeyMap.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

// The SDL backend's parts that need no window: the frame schedule, the palette conversion and
// the key tables.

namespace {

const int64_t SECOND = 1000000000;
const int64_t START = 5 * SECOND;

const PixelLayout ARGB = { 16, 8, 0, 0xFF000000u };
const PixelLayout XBGR = { 0, 8, 16, 0 };

} // namespace

TEST( FrameSchedule, SixtyFramesTakeOneSecondWhateverTheLateness ) {
    FrameSchedule schedule( 60 );
    EXPECT_EQ( START, schedule.NextDeadline( START ) ); // the first frame goes at once
    int64_t deadline = START;
    for ( int frame = 1; frame <= 600; ++frame ) {
        // Every frame comes a little late (work, a sleep that overshoots): the next deadline
        // still counts from the start, so the lateness does not add up.
        deadline = schedule.NextDeadline( deadline + 3000000 );
    }
    EXPECT_EQ( START + 10 * SECOND, deadline );
    EXPECT_EQ( 0, schedule.GetRestarts() );
}

TEST( FrameSchedule, AnEarlyFrameWaitsForItsDeadline ) {
    FrameSchedule schedule( 60 );
    schedule.NextDeadline( START );
    EXPECT_EQ( START + SECOND / 60, schedule.NextDeadline( START + 1000 ) );
    EXPECT_EQ( START + 2 * SECOND / 60, schedule.NextDeadline( START + SECOND / 60 + 1000 ) );
}

TEST( FrameSchedule, AFewFramesLateAreCaughtUpButAStallStartsAgain ) {
    FrameSchedule schedule( 60 );
    schedule.NextDeadline( START );
    const int64_t frame = SECOND / 60;
    // Three frames late: shown at once, on the old schedule.
    const int64_t late = START + 4 * frame;
    EXPECT_EQ( START + frame, schedule.NextDeadline( late ) );
    EXPECT_EQ( START + 2 * SECOND / 60, schedule.NextDeadline( late ) );
    EXPECT_EQ( 0, schedule.GetRestarts() );
    // A stall of a second: no burst of sixty frames, a new schedule from now.
    const int64_t stalled = START + SECOND;
    EXPECT_EQ( stalled, schedule.NextDeadline( stalled ) );
    EXPECT_EQ( 1, schedule.GetRestarts() );
    EXPECT_EQ( stalled + frame, schedule.NextDeadline( stalled + 1000 ) );
}

// Each row: how late the second frame comes, in nanoseconds past its deadline, and whether the
// schedule holds: up to exactly four frames late it does, a nanosecond more starts it again.
TEST( FrameSchedule, FourFramesLateIsTheLastLatenessCaughtUp ) {
    const int64_t fourFrames = 4 * SECOND / 60;
    struct Case {
        int64_t late;
        int restarts;
    } cases[] = { { 0, 0 }, { fourFrames - 1, 0 }, { fourFrames, 0 }, { fourFrames + 1, 1 } };
    for ( const Case &c : cases ) {
        FrameSchedule schedule( 60 );
        schedule.NextDeadline( START );
        const int64_t now = START + SECOND / 60 + c.late;
        EXPECT_EQ( c.restarts ? now : START + SECOND / 60, schedule.NextDeadline( now ) ) << c.late;
        EXPECT_EQ( c.restarts, schedule.GetRestarts() ) << c.late;
    }
}

// A rate of none (or less) is taken as one frame a second rather than dividing by it.
TEST( FrameSchedule, NoRateIsOneFrameASecond ) {
    for ( int rate : { 0, -60, 1 } ) {
        FrameSchedule schedule( rate );
        EXPECT_EQ( START, schedule.NextDeadline( START ) ) << rate;
        EXPECT_EQ( START + SECOND, schedule.NextDeadline( START + 1 ) ) << rate;
    }
}

TEST( FrameSchedule, RestartShowsTheNextFrameAtOnce ) {
    FrameSchedule schedule( 60 );
    schedule.NextDeadline( START );
    schedule.Restart();
    EXPECT_EQ( START + 1000, schedule.NextDeadline( START + 1000 ) );
    EXPECT_EQ( 0, schedule.GetRestarts() );
}

TEST( FrameConversion, LookupPutsEachColourWhereTheLayoutSays ) {
    HostPaletteEntry palette[256] = {};
    palette[7] = HostPaletteEntry{ 30, 20, 10, 0 };
    palette[255] = HostPaletteEntry{ 255, 0, 1, 0 };
    uint32_t lookup[256];
    BuildPaletteLookup( palette, ARGB, lookup );
    EXPECT_EQ( 0xFF1E140Au, lookup[7] );
    EXPECT_EQ( 0xFFFF0001u, lookup[255] );
    EXPECT_EQ( 0xFF000000u, lookup[0] );
    BuildPaletteLookup( palette, XBGR, lookup );
    EXPECT_EQ( 0x000A141Eu, lookup[7] );
}

TEST( FrameConversion, NoPaletteShowsEveryIndexBlack ) {
    uint32_t lookup[256];
    BuildPaletteLookup( nullptr, ARGB, lookup );
    for ( int index = 0; index < 256; ++index ) {
        ASSERT_EQ( 0xFF000000u, lookup[index] ) << index;
    }
}

TEST( FrameConversion, RowsFollowBothPitchesAndPaddingIsLeftAlone ) {
    // 5 x 3 indices in rows of 16 bytes whose padding holds index 9, into rows of 8 pixels.
    const int width = 5, height = 3, pitch = 16, targetPixelsPerRow = 8;
    std::vector<uint8_t> source( pitch * height, 9 );
    for ( int y = 0; y < height; ++y ) {
        for ( int x = 0; x < width; ++x ) {
            source[y * pitch + x] = static_cast<uint8_t>( y * width + x );
        }
    }
    uint32_t lookup[256];
    for ( int index = 0; index < 256; ++index ) {
        lookup[index] = 0x1000u + index;
    }
    const uint32_t untouched = 0xDEADBEEFu;
    std::vector<uint32_t> target( targetPixelsPerRow * height, untouched );
    ConvertFrame( source.data(), pitch, width, height, lookup, target.data(),
                  targetPixelsPerRow * static_cast<int>( sizeof( uint32_t ) ) );
    for ( int y = 0; y < height; ++y ) {
        for ( int x = 0; x < targetPixelsPerRow; ++x ) {
            const uint32_t expected = x < width ? 0x1000u + y * width + x : untouched;
            ASSERT_EQ( expected, target[y * targetPixelsPerRow + x] ) << x << "," << y;
        }
    }
}

// The 64-pixel path with byte shuffles (where the processor has them) against the plain loop:
// targets at every 4-byte step of a cache line, so the pixels before the first line boundary
// (the plain loop's) run from none to 15; rows ending before that boundary, on it, one either
// side of a block's end after it, and long; rows whose padding makes each row's boundary fall
// elsewhere; every index, with the top bit both ways; and a palette whose alpha byte is the same
// in every entry (the game's) as well as one where no byte is.
TEST( FrameConversion, ByteShufflesGiveThePlainLoopsPixels ) {
    uint32_t seed = 777;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    const uint32_t untouched = 0xDEADBEEFu;
    for ( uint32_t opaque : { 0u, 0xFF000000u } ) {
        uint32_t lookup[256];
        for ( uint32_t &entry : lookup ) {
            entry = opaque ? ( next() & 0xFFFFFFu ) | opaque : next();
        }
        for ( int width : { 1, 11, 12, 13, 15, 16, 17, 63, 64, 65, 75, 76, 77, 127, 128, 129, 200, 640 } ) {
            for ( int padding : { 0, 3 } ) {
                const int height = 3, pitch = width + 5, targetPixelsPerRow = width + padding;
                // An odd step runs through every index in any 256 neighbours.
                std::vector<uint8_t> source( pitch * height );
                for ( int y = 0; y < height; ++y ) {
                    const uint32_t start = next() >> 24;
                    for ( int x = 0; x < pitch; ++x ) {
                        source[y * pitch + x] = static_cast<uint8_t>( x * 97 + start );
                    }
                }
                for ( int offset = 0; offset < 16; ++offset ) {
                    // 16 pixels of room each side, the target starting `offset` pixels past a line.
                    const size_t size = 32 + targetPixelsPerRow * height;
                    std::vector<uint32_t> plainRoom( size + 16, untouched ), shuffledRoom = plainRoom;
                    uint32_t *plain = plainRoom.data(), *shuffled = shuffledRoom.data();
                    while ( reinterpret_cast<uintptr_t>( plain ) % 64 ) {
                        ++plain;
                        ++shuffled;
                    }
                    FrameConversionAllowByteShuffles( 0 );
                    ConvertFrame( source.data(), pitch, width, height, lookup, plain + 16 + offset,
                                  targetPixelsPerRow * 4 );
                    FrameConversionAllowByteShuffles( 1 );
                    ConvertFrame( source.data(), pitch, width, height, lookup, shuffled + 16 + offset,
                                  targetPixelsPerRow * 4 );
                    ASSERT_EQ( plainRoom, shuffledRoom )
                        << "width " << width << " padding " << padding << " offset " << offset;
                    ASSERT_EQ( plain[16 + offset + width - 1], lookup[source[width - 1]] )
                        << "width " << width;
                    ASSERT_EQ( plain[16 + offset + width], padding ? untouched : lookup[source[pitch]] );
                    ASSERT_EQ( plain[16 + offset - 1], untouched );
                }
            }
        }
    }
}

// The shuffles' tables are kept from one conversion to the next: a palette changed in place, an
// alpha that stops being the same everywhere (in the middle, or only in the first, second or
// last entry, where a check of "the same everywhere" is one off), and two lookups taking turns must
// all show.
TEST( FrameConversion, EachFrameShowsTheLookupItWasGiven ) {
    const int width = 130, height = 2;
    std::vector<uint8_t> source( width * height );
    for ( size_t i = 0; i < source.size(); ++i ) {
        source[i] = static_cast<uint8_t>( i * 3 );
    }
    uint32_t first[256], second[256];
    for ( int index = 0; index < 256; ++index ) {
        first[index] = 0xFF000000u | index;
        second[index] = 0xFF000000u | ( index << 8 );
    }
    auto expectShown = [&]( const uint32_t lookup[256], const char *step ) {
        std::vector<uint32_t> target( width * height );
        ConvertFrame( source.data(), width, width, height, lookup, target.data(), width * 4 );
        for ( size_t i = 0; i < target.size(); ++i ) {
            ASSERT_EQ( lookup[source[i]], target[i] ) << step << " pixel " << i;
        }
    };
    expectShown( first, "first" );
    expectShown( second, "second" );
    expectShown( first, "first again" );
    first[201] = 0xFF123456u; // index 201 is at pixel 67, in the second block, with the top bit
    expectShown( first, "one colour changed" );
    first[9] = 0x7F000009u;
    expectShown( first, "one alpha changed" );
    for ( int edge : { 0, 1, 255 } ) {
        uint32_t lookup[256];
        for ( int index = 0; index < 256; ++index ) {
            lookup[index] = 0xFF000000u | index;
        }
        expectShown( lookup, "alpha everywhere the same" );
        lookup[edge] = 0x7F000000u | edge;
        expectShown( lookup, ( "only one alpha changed, entry " + std::to_string( edge ) ).c_str() );
    }
}

TEST( SdlKeyMap, TheGameKeysAndTheExtendedKeysHaveTheirCodes ) {
    EXPECT_EQ( DIK_SPACE, SdlScancodeToDik( SDL_SCANCODE_SPACE ) );
    EXPECT_EQ( DIK_UP, SdlScancodeToDik( SDL_SCANCODE_UP ) );
    EXPECT_EQ( DIK_LEFT, SdlScancodeToDik( SDL_SCANCODE_LEFT ) );
    EXPECT_EQ( DIK_RIGHT, SdlScancodeToDik( SDL_SCANCODE_RIGHT ) );
    EXPECT_EQ( DIK_DOWN, SdlScancodeToDik( SDL_SCANCODE_DOWN ) );
    EXPECT_EQ( DIK_ESCAPE, SdlScancodeToDik( SDL_SCANCODE_ESCAPE ) );
    EXPECT_EQ( 0x1C, SdlScancodeToDik( SDL_SCANCODE_RETURN ) );
    EXPECT_EQ( 0x9C, SdlScancodeToDik( SDL_SCANCODE_KP_ENTER ) );
    EXPECT_EQ( 0x1D, SdlScancodeToDik( SDL_SCANCODE_LCTRL ) );
    EXPECT_EQ( 0x9D, SdlScancodeToDik( SDL_SCANCODE_RCTRL ) );
    EXPECT_EQ( 0xB8, SdlScancodeToDik( SDL_SCANCODE_RALT ) );
    EXPECT_EQ( 0xC7, SdlScancodeToDik( SDL_SCANCODE_HOME ) );
    EXPECT_EQ( 0xD3, SdlScancodeToDik( SDL_SCANCODE_DELETE ) );
    EXPECT_EQ( 0x48, SdlScancodeToDik( SDL_SCANCODE_KP_8 ) ); // the keypad's up, not the arrow
    EXPECT_EQ( 0x1E, SdlScancodeToDik( SDL_SCANCODE_A ) );
    EXPECT_EQ( 0x3B, SdlScancodeToDik( SDL_SCANCODE_F1 ) );
    EXPECT_EQ( 0x58, SdlScancodeToDik( SDL_SCANCODE_F12 ) );
    EXPECT_EQ( 0, SdlScancodeToDik( SDL_SCANCODE_UNKNOWN ) );
    EXPECT_EQ( 0, SdlScancodeToDik( -1 ) );
    EXPECT_EQ( 0, SdlScancodeToDik( SDL_NUM_SCANCODES ) );
}

// The media and browser keys have codes too (extended set-1 codes), and the keyboard state
// shows them like any other key.
TEST( SdlKeyMap, MediaAndBrowserKeysHaveTheirCodes ) {
    EXPECT_EQ( 0x90, SdlScancodeToDik( SDL_SCANCODE_AUDIOPREV ) );
    EXPECT_EQ( 0x99, SdlScancodeToDik( SDL_SCANCODE_AUDIONEXT ) );
    EXPECT_EQ( 0xA1, SdlScancodeToDik( SDL_SCANCODE_CALCULATOR ) );
    EXPECT_EQ( 0xB2, SdlScancodeToDik( SDL_SCANCODE_AC_HOME ) );
    EXPECT_EQ( 0xE5, SdlScancodeToDik( SDL_SCANCODE_AC_SEARCH ) );
    EXPECT_EQ( 0xE6, SdlScancodeToDik( SDL_SCANCODE_AC_BOOKMARKS ) );
    EXPECT_EQ( 0xE7, SdlScancodeToDik( SDL_SCANCODE_AC_REFRESH ) );
    EXPECT_EQ( 0xE8, SdlScancodeToDik( SDL_SCANCODE_AC_STOP ) );
    EXPECT_EQ( 0xE9, SdlScancodeToDik( SDL_SCANCODE_AC_FORWARD ) );
    EXPECT_EQ( 0xEA, SdlScancodeToDik( SDL_SCANCODE_AC_BACK ) );
    EXPECT_EQ( 0xEB, SdlScancodeToDik( SDL_SCANCODE_COMPUTER ) );
    EXPECT_EQ( 0xEC, SdlScancodeToDik( SDL_SCANCODE_MAIL ) );
    EXPECT_EQ( 0xED, SdlScancodeToDik( SDL_SCANCODE_MEDIASELECT ) );
}

TEST( SdlKeyMap, EveryCodeBelongsToOneKey ) {
    int count = 0;
    const SdlDikKey *keys = SdlGetDikKeys( &count );
    ASSERT_GT( count, 100 );
    std::set<int> scancodes, codes;
    for ( int i = 0; i < count; ++i ) {
        EXPECT_TRUE( scancodes.insert( keys[i].scancode ).second ) << "scancode " << keys[i].scancode;
        EXPECT_TRUE( codes.insert( keys[i].dik ).second ) << "code " << keys[i].dik;
        EXPECT_GT( keys[i].dik, 0 );
        EXPECT_LT( keys[i].dik, 256 );
        EXPECT_EQ( keys[i].dik, SdlScancodeToDik( keys[i].scancode ) );
    }
}

TEST( SdlKeyMap, KeyMessagesCarryWindowsVirtualKeys ) {
    EXPECT_EQ( static_cast<int>( VK_ESCAPE ), SdlKeyToVirtualKey( SDLK_ESCAPE, SDL_SCANCODE_ESCAPE ) );
    // Letters follow the layout: the key that types 'z' on a German keyboard is VK 'Z'.
    EXPECT_EQ( 'Z', SdlKeyToVirtualKey( SDLK_z, SDL_SCANCODE_Y ) );
    EXPECT_EQ( '5', SdlKeyToVirtualKey( SDLK_5, SDL_SCANCODE_5 ) );
    EXPECT_EQ( 0x70, SdlKeyToVirtualKey( SDLK_F1, SDL_SCANCODE_F1 ) );
    EXPECT_EQ( 0x7B, SdlKeyToVirtualKey( SDLK_F12, SDL_SCANCODE_F12 ) );
    EXPECT_EQ( 0x25, SdlKeyToVirtualKey( SDLK_LEFT, SDL_SCANCODE_LEFT ) );
    EXPECT_EQ( 0x20, SdlKeyToVirtualKey( SDLK_SPACE, SDL_SCANCODE_SPACE ) );
    EXPECT_EQ( 0x0D, SdlKeyToVirtualKey( SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER ) );
    EXPECT_EQ( 0x11, SdlKeyToVirtualKey( SDLK_RCTRL, SDL_SCANCODE_RCTRL ) );
    EXPECT_EQ( 0xBD, SdlKeyToVirtualKey( SDLK_MINUS, SDL_SCANCODE_MINUS ) );
    EXPECT_EQ( 0, SdlKeyToVirtualKey( SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN ) );
}

// The browser names keys by KeyboardEvent.code; a key must read the same in the game's keyboard
// state on the desktop and in a browser.
TEST( WebKeyMap, EveryBrowserKeyReadsAsTheSameKeyOnTheDesktop ) {
    const struct {
        const char *code;
        SDL_Scancode scancode;
    } pairs[] = {
        { "ArrowLeft", SDL_SCANCODE_LEFT },
        { "ArrowRight", SDL_SCANCODE_RIGHT },
        { "ArrowUp", SDL_SCANCODE_UP },
        { "ArrowDown", SDL_SCANCODE_DOWN },
        { "Space", SDL_SCANCODE_SPACE },
        { "Escape", SDL_SCANCODE_ESCAPE },
        { "Enter", SDL_SCANCODE_RETURN },
        { "NumpadEnter", SDL_SCANCODE_KP_ENTER },
        { "F1", SDL_SCANCODE_F1 },
        { "F12", SDL_SCANCODE_F12 },
        { "KeyA", SDL_SCANCODE_A },
        { "KeyM", SDL_SCANCODE_M },
        { "Digit0", SDL_SCANCODE_0 },
        { "ControlRight", SDL_SCANCODE_RCTRL },
        { "NumpadDivide", SDL_SCANCODE_KP_DIVIDE },
        { "Delete", SDL_SCANCODE_DELETE },
    };
    for ( const auto &pair : pairs ) {
        EXPECT_NE( WebCodeToDik( pair.code ), 0 ) << pair.code;
        EXPECT_EQ( WebCodeToDik( pair.code ), SdlScancodeToDik( pair.scancode ) ) << pair.code;
    }
    int count = 0;
    const SdlDikKey *keys = SdlGetDikKeys( &count );
    std::set<int> desktop;
    for ( int i = 0; i < count; ++i ) {
        desktop.insert( keys[i].dik );
    }
    for ( const char *code :
          { "Backquote", "IntlBackslash", "ContextMenu", "Pause", "PrintScreen", "MetaLeft" } ) {
        EXPECT_EQ( desktop.count( WebCodeToDik( code ) ), 1u ) << code;
    }
    EXPECT_EQ( WebCodeToDik( "Unidentified" ), 0 );
    EXPECT_EQ( WebCodeToDik( nullptr ), 0 );
}

// Each row: a key by KeyboardEvent.code, Ctrl, Alt, Meta, and whether the browser keeps it.
// The game's own keys stay the game's; Tab, F5, F11, F12 and every shortcut stay the browser's,
// down to a modifier held alone, while the keys beside them (F10, Escape) are the game's.
TEST( WebKeyMap, TheBrowserKeepsTabItsFunctionKeysAndEveryShortcut ) {
    const struct {
        const char *code;
        int ctrl, alt, meta;
        int browsers;
    } cases[] = {
        { "ArrowLeft", 0, 0, 0, 0 },   { "Space", 0, 0, 0, 0 },        { "Enter", 0, 0, 0, 0 },
        { "Escape", 0, 0, 0, 0 },      { "F1", 0, 0, 0, 0 },           { "F10", 0, 0, 0, 0 },
        { "KeyR", 0, 0, 0, 0 },        { "Tab", 0, 0, 0, 1 },          { "F5", 0, 0, 0, 1 },
        { "F11", 0, 0, 0, 1 },         { "F12", 0, 0, 0, 1 },          { "KeyR", 1, 0, 0, 1 },
        { "KeyF", 1, 0, 0, 1 },        { "Equal", 1, 0, 0, 1 },        { "Minus", 1, 0, 0, 1 },
        { "Digit0", 1, 0, 0, 1 },      { "ArrowLeft", 0, 1, 0, 1 },    { "KeyR", 0, 0, 1, 1 },
        { "ControlLeft", 1, 0, 0, 1 }, { "Unidentified", 0, 0, 0, 0 }, { nullptr, 0, 0, 0, 0 },
    };
    for ( const auto &key : cases ) {
        EXPECT_EQ( WebIsBrowserKey( key.code, key.ctrl, key.alt, key.meta ), key.browsers )
            << ( key.code ? key.code : "null" ) << " ctrl " << key.ctrl << " alt " << key.alt << " meta "
            << key.meta;
    }
}

// Each row: a mode and a screen, and where the 640 x 480 picture must go.
TEST( PictureScaling, EachModePlacesThePictureAsThePlayerChose ) {
    struct Case {
        int mode;
        int screenWidth, screenHeight;
        PicturePlace place;
    };
    const Case cases[] = {
        { SCALE_FIT, 1280, 960, { 0, 0, 1280, 960, 2, 0 } },
        { SCALE_INTEGER, 1280, 960, { 0, 0, 1280, 960, 2, 0 } },
        { SCALE_SMOOTH, 1280, 960, { 0, 0, 1280, 960, 2, 0 } },
        { SCALE_FIT, 1920, 1080, { 240, 0, 1440, 1080, 0, 0 } },
        { SCALE_INTEGER, 1920, 1080, { 320, 60, 1280, 960, 2, 0 } },
        { SCALE_SMOOTH, 1920, 1080, { 240, 0, 1440, 1080, 2, 1 } },
        { SCALE_INTEGER, 2560, 1440, { 320, 0, 1920, 1440, 3, 0 } },
        { SCALE_SMOOTH, 800, 480, { 80, 0, 640, 480, 1, 0 } },
        { SCALE_INTEGER, 320, 240, { 0, 0, 320, 240, 0, 0 } }, // smaller than the picture: fit
        // The picture's own size in each mode, and one pixel short of it or past it each way.
        { SCALE_FIT, 640, 480, { 0, 0, 640, 480, 1, 0 } },
        { SCALE_SMOOTH, 640, 480, { 0, 0, 640, 480, 1, 0 } },
        { SCALE_INTEGER, 639, 480, { 0, 0, 639, 479, 0, 0 } },
        { SCALE_INTEGER, 640, 479, { 1, 0, 638, 479, 0, 0 } },
        { SCALE_INTEGER, 641, 480, { 0, 0, 640, 480, 1, 0 } },
        { SCALE_INTEGER, 642, 481, { 1, 0, 640, 480, 1, 0 } },
        { SCALE_INTEGER, 1279, 959, { 319, 239, 640, 480, 1, 0 } },
        { SCALE_SMOOTH, 1279, 959, { 0, 0, 1278, 959, 1, 1 } },
        { SCALE_FIT, 1279, 959, { 0, 0, 1278, 959, 0, 0 } },
    };
    for ( const Case &test : cases ) {
        const PicturePlace place = PlacePicture( test.mode, test.screenWidth, test.screenHeight, 640, 480 );
        const int got[] = { place.x, place.y, place.width, place.height, place.multiple, place.smoothed };
        const int want[] = { test.place.x,      test.place.y,        test.place.width,
                             test.place.height, test.place.multiple, test.place.smoothed };
        EXPECT_TRUE( std::equal( got, got + 6, want ) )
            << "mode " << test.mode << " on " << test.screenWidth << " x " << test.screenHeight;
    }
    EXPECT_EQ( SCALE_SMOOTH, ScaleModeFromName( "smooth" ) );
    EXPECT_EQ( -1, ScaleModeFromName( "Smooth" ) );
}

// The mouse on the screen reaches the picture's pixel under it: the picture's first and last
// pixels at its place's edges, nothing on the borders one pixel outside.
TEST( PictureScaling, AScreenPointFindsThePicturesPixelAndTheBordersNone ) {
    struct Case {
        PicturePlace place;
        int screenX, screenY;
        int inside;
        int x, y;
    };
    const PicturePlace integer = { 320, 60, 1280, 960, 2, 0 }; // 1920 x 1080, doubled
    const PicturePlace fit = { 240, 0, 1440, 1080, 0, 0 };     // 1920 x 1080, 2.25 times
    const PicturePlace own = { 0, 0, 640, 480, 1, 0 };
    const Case cases[] = {
        { integer, 320, 60, 1, 0, 0 },
        { integer, 1599, 1019, 1, 639, 479 },
        { integer, 319, 60, 0, -1, -1 },
        { integer, 320, 59, 0, -1, -1 },
        { integer, 1600, 500, 0, -1, -1 },
        { integer, 800, 1020, 0, -1, -1 },
        { integer, 321, 61, 1, 0, 0 },
        { integer, 322, 62, 1, 1, 1 },
        { fit, 240, 0, 1, 0, 0 },
        { fit, 1679, 1079, 1, 639, 479 },
        { fit, 1680, 0, 0, -1, -1 },
        { fit, 960, 540, 1, 320, 240 },
        { own, 0, 0, 1, 0, 0 },
        { own, 639, 479, 1, 639, 479 },
        { own, -1, 0, 0, -1, -1 },
        { own, 640, 479, 0, -1, -1 },
        { own, 0, 480, 0, -1, -1 },
        { { 0, 0, 0, 0, 0, 0 }, 0, 0, 0, -1, -1 },
    };
    for ( const Case &test : cases ) {
        int x = -1;
        int y = -1;
        EXPECT_EQ( PicturePointAt( test.place, 640, 480, test.screenX, test.screenY, x, y ), test.inside )
            << test.screenX << "," << test.screenY;
        EXPECT_EQ( x, test.x ) << test.screenX << "," << test.screenY;
        EXPECT_EQ( y, test.y ) << test.screenX << "," << test.screenY;
    }
}

TEST( FrameChanges, RunsOfChangedRowsBecomeSpansAndTheShownCopyCatchesUp ) {
    const int width = 64, height = 32, pitch = 80;
    std::vector<uint8_t> frame( pitch * height, 7 );
    std::vector<uint8_t> shown( width * height, 7 );
    FrameSpan spans[3];
    EXPECT_EQ( 0, FindFrameChanges( frame.data(), pitch, shown.data(), width, height, spans, 3 ) );
    frame[2 * pitch + 10] = 1; // rows 2 and 3: one span, columns 5 to 10
    frame[3 * pitch + 5] = 1;
    frame[9 * pitch + 63] = 1;    // row 9 alone, the last column
    frame[9 * pitch + width] = 1; // beyond the width: padding, never a change
    ASSERT_EQ( 2, FindFrameChanges( frame.data(), pitch, shown.data(), width, height, spans, 3 ) );
    EXPECT_EQ( 2, spans[0].top );
    EXPECT_EQ( 4, spans[0].bottom );
    EXPECT_EQ( 5, spans[0].left );
    EXPECT_EQ( 11, spans[0].right );
    EXPECT_EQ( 9, spans[1].top );
    EXPECT_EQ( 63, spans[1].left );
    EXPECT_EQ( 64, spans[1].right );
    EXPECT_EQ( 0, FindFrameChanges( frame.data(), pitch, shown.data(), width, height, spans, 3 ) );
    // Too scattered: the whole frame, and still caught up.
    for ( int y = 0; y < height; y += 2 ) {
        frame[y * pitch] = 9;
    }
    EXPECT_EQ( -1, FindFrameChanges( frame.data(), pitch, shown.data(), width, height, spans, 3 ) );
    EXPECT_EQ( 0, FindFrameChanges( frame.data(), pitch, shown.data(), width, height, spans, 3 ) );
}

TEST( SdlInputNames, KeysAndPadButtonsAreFoundByTheirSdlNames ) {
    EXPECT_EQ( std::vector<int>( { DIK_SPACE, 0x1C, DIK_LEFT, 0x1E } ),
               SdlInputsFromNames( "Space, return,Left , A, Nonsense", 0 ) );
    EXPECT_EQ( std::vector<int>( { HOST_INPUT_PAD_BUTTON + SDL_CONTROLLER_BUTTON_A,
                                   HOST_INPUT_PAD_BUTTON + SDL_CONTROLLER_BUTTON_DPAD_LEFT,
                                   HOST_INPUT_STICK_LEFT, HOST_INPUT_STICK_DOWN } ),
               SdlInputsFromNames( "a, dpleft, leftx-, lefty+", 1 ) );
    EXPECT_EQ( 0, SdlIsKeyName( "leftx-" ) );
    EXPECT_EQ( 0, SdlIsPadName( "Space" ) );
}

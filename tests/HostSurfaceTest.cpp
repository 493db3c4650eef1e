#include "host/HostSurface.h"
#include "host/HostPalette.h"
#include "host/HostVideo.h"
#include "host/HostWindow.h"
#include "tests/support/HeadlessScope.h"
#include "tests/support/TestScreen.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// A full-screen 640 x 480 x 8 device with its flipping chain, on a headless backend.
class SurfaceTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = MakeTestWindow();
        ASSERT_NE( window, nullptr );
        ASSERT_EQ( HostVideoCreate( nullptr, &video, nullptr ), HOST_OK );
        ASSERT_EQ(
            video->SetCooperativeLevel( window, DDSCL_EXCLUSIVE | DDSCL_ALLOWREBOOT | DDSCL_FULLSCREEN ),
            HOST_OK );
        ASSERT_EQ( video->SetDisplayMode( 640, 480, 8 ), HOST_OK );
    }

    void TearDown() override {
        for ( HostSurface *surface : { back, primary, source, target } ) {
            if ( surface != nullptr ) {
                surface->Release();
            }
        }
        if ( video != nullptr ) {
            video->Release();
        }
    }

    void CreateChain() {
        HostSurfaceDesc desc = {};
        desc.size = sizeof( desc );
        desc.flags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
        desc.caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        desc.backBufferCount = 1;
        ASSERT_EQ( video->CreateSurface( &desc, &primary, nullptr ), HOST_OK );
        ASSERT_EQ( primary->GetAttachedSurface( DDSCAPS_BACKBUFFER, &back ), HOST_OK );
    }

    HostResult CreateOffscreen( int width, int height, HostSurface **out, int keyed = 1 ) {
        HostSurfaceDesc desc = {};
        desc.size = sizeof( desc );
        desc.flags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | ( keyed ? DDSD_CKSRCBLT : 0 );
        desc.caps = DDSCAPS_OFFSCREENPLAIN;
        desc.width = uint32_t( width );
        desc.height = uint32_t( height );
        return video->CreateSurface( &desc, out, nullptr );
    }

    // Fills the whole surface, padding included, through a lock.
    static void Fill( HostSurface *surface, uint8_t colour ) {
        HostSurfaceDesc desc = {};
        desc.size = sizeof( desc );
        ASSERT_EQ( surface->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
        std::memset( desc.surface, colour, size_t( desc.pitch ) * desc.height );
        surface->Unlock( nullptr );
    }

    static uint8_t Pixel( const HostSurface *surface, int x, int y ) {
        return surface->GetPixels()[y * surface->GetPitch() + x];
    }

    HeadlessScope scope;
    HostWindow *window = nullptr;
    HostVideo *video = nullptr;
    HostSurface *primary = nullptr;
    HostSurface *back = nullptr;
    HostSurface *source = nullptr;
    HostSurface *target = nullptr;
};

} // namespace

TEST_F( SurfaceTest, LockReportsThePitchWhichMayBeWiderThanTheWidth ) {
    scope.Backend().SetPitchPadding( 100 );
    ASSERT_EQ( CreateOffscreen( 50, 20, &source ), HOST_OK );
    HostSurfaceDesc desc = {};
    desc.size = sizeof( desc );
    ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    EXPECT_EQ( desc.pitch, 150 );
    EXPECT_EQ( desc.width, 50u );
    EXPECT_EQ( desc.height, 20u );
    EXPECT_EQ( desc.surface, source->GetPixels() );
    EXPECT_EQ( source->Unlock( nullptr ), HOST_OK );
}

TEST_F( SurfaceTest, LockIsRefusedWhileLockedOrBusyAndWaitsOutBusyOnlyWhenAsked ) {
    ASSERT_EQ( CreateOffscreen( 16, 16, &source ), HOST_OK );
    HostSurfaceDesc desc = {};
    ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    EXPECT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), DDERR_WASSTILLDRAWING );
    EXPECT_EQ( source->Unlock( nullptr ), HOST_OK );
    EXPECT_NE( source->Unlock( nullptr ), HOST_OK );

    source->InjectBusyLocks( 2 );
    EXPECT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), DDERR_WASSTILLDRAWING );
    EXPECT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), DDERR_WASSTILLDRAWING );
    EXPECT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    source->Unlock( nullptr );

    source->InjectBusyLocks( 5 );
    EXPECT_EQ( source->Lock( nullptr, &desc, DDLOCK_WAIT, nullptr ), HOST_OK );
    source->Unlock( nullptr );
}

TEST_F( SurfaceTest, LostSurfaceRefusesEverythingUntilRestoredAndComesBackAsGarbage ) {
    ASSERT_EQ( CreateOffscreen( 16, 8, &source ), HOST_OK );
    ASSERT_EQ( CreateOffscreen( 16, 8, &target ), HOST_OK );
    Fill( source, 7 );
    source->InjectLoss();
    EXPECT_EQ( source->IsLost(), DDERR_SURFACELOST );
    EXPECT_EQ( source->GetPixels(), nullptr );
    HostSurfaceDesc desc = {};
    EXPECT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), DDERR_SURFACELOST );
    EXPECT_EQ( target->BltFast( 0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY ), DDERR_SURFACELOST );
    EXPECT_EQ( source->BltFast( 0, 0, target, nullptr, 0 ), DDERR_SURFACELOST );

    source->InjectRestoreFailures( 2 );
    EXPECT_NE( source->Restore(), HOST_OK );
    EXPECT_NE( source->Restore(), HOST_OK );
    EXPECT_EQ( source->IsLost(), DDERR_SURFACELOST );
    EXPECT_EQ( source->Restore(), HOST_OK );
    EXPECT_EQ( source->GetRestoreCount(), 3 );
    EXPECT_EQ( source->IsLost(), HOST_OK );

    // The memory is back, the picture is not: nothing of the 7s survives.
    ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    const uint8_t *pixels = static_cast<const uint8_t *>( desc.surface );
    for ( int y = 0; y < 8; y++ ) {
        for ( int x = 0; x < 16; x++ ) {
            ASSERT_NE( pixels[y * desc.pitch + x], 7 ) << x << ", " << y;
        }
    }
    source->Unlock( nullptr );
}

TEST_F( SurfaceTest, PrimarySurfaceCarriesOneBackBufferOfTheModeSize ) {
    CreateChain();
    EXPECT_EQ( primary->GetWidth(), 640 );
    EXPECT_EQ( primary->GetHeight(), 480 );
    EXPECT_EQ( back->GetWidth(), 640 );
    EXPECT_EQ( back->GetHeight(), 480 );
    EXPECT_EQ( back->GetPitch(), primary->GetPitch() );
    EXPECT_GT( back->GetPitch(), 640 );
    EXPECT_NE( back->GetPixels(), primary->GetPixels() );

    // Losing the screen takes the whole chain.
    primary->InjectLoss();
    EXPECT_EQ( back->IsLost(), DDERR_SURFACELOST );
}

TEST_F( SurfaceTest, FlipShowsTheBackBufferThroughThePrimarysPalette ) {
    CreateChain();
    HostPaletteEntry entries[256] = {};
    entries[3] = HostPaletteEntry{ 200, 10, 20, 0 };
    HostPalette *palette = nullptr;
    ASSERT_EQ( video->CreatePalette( DDPCAPS_8BIT, entries, &palette, nullptr ), HOST_OK );
    primary->SetPalette( palette );
    Fill( primary, 1 );
    Fill( back, 3 );
    HostSurfaceDesc desc = {};
    ASSERT_EQ( back->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    static_cast<uint8_t *>( desc.surface )[479 * desc.pitch + 639] = 9;
    back->Unlock( nullptr );

    ASSERT_EQ( primary->Flip( nullptr, DDFLIP_WAIT ), HOST_OK );
    HeadlessBackend &backend = scope.Backend();
    EXPECT_EQ( backend.GetFrameCount(), 1 );
    ASSERT_EQ( backend.GetFrameWidth(), 640 );
    ASSERT_EQ( backend.GetFrameHeight(), 480 );
    EXPECT_EQ( backend.GetFrame().size(), 640u * 480u );
    EXPECT_EQ( backend.GetFramePixel( 0, 0 ), 3 );
    EXPECT_EQ( backend.GetFramePixel( 639, 479 ), 9 );
    EXPECT_EQ( backend.GetFramePalette()[3].red, 200 );
    EXPECT_EQ( backend.GetFramePalette()[3].blue, 20 );
    // The old front is now the back buffer, ready for the next frame.
    EXPECT_EQ( Pixel( back, 0, 0 ), 1 );
    EXPECT_EQ( Pixel( primary, 639, 479 ), 9 );

    ASSERT_EQ( primary->Flip( back, DDFLIP_WAIT ), HOST_OK );
    EXPECT_EQ( backend.GetFramePixel( 0, 0 ), 1 );
    EXPECT_EQ( backend.GetFrameCount(), 2 );
    primary->SetPalette( nullptr );
    palette->Release();
}

TEST_F( SurfaceTest, FlipIsRefusedWhileLostOrLockedAndShowsNothing ) {
    CreateChain();
    HostSurfaceDesc desc = {};
    ASSERT_EQ( back->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    EXPECT_EQ( primary->Flip( nullptr, DDFLIP_WAIT ), DDERR_WASSTILLDRAWING );
    back->Unlock( nullptr );
    back->InjectLoss();
    EXPECT_EQ( primary->Flip( nullptr, DDFLIP_WAIT ), DDERR_SURFACELOST );
    back->Restore();
    primary->InjectLoss();
    back->Restore();
    EXPECT_EQ( primary->Flip( nullptr, DDFLIP_WAIT ), DDERR_SURFACELOST );
    EXPECT_EQ( scope.Backend().GetFrameCount(), 0 );
    EXPECT_NE( back->Flip( nullptr, 0 ), HOST_OK );
}

TEST_F( SurfaceTest, KeyedBlitSkipsTheKeyAndStaysInsideBothSurfaces ) {
    CreateChain();
    Fill( back, 50 );
    ASSERT_EQ( CreateOffscreen( 4, 4, &source ), HOST_OK );
    source->SetColorKey( 0, 0 );
    HostSurfaceDesc desc = {};
    ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    uint8_t *pixels = static_cast<uint8_t *>( desc.surface );
    for ( int y = 0; y < 4; y++ ) {
        for ( int x = 0; x < 4; x++ ) {
            pixels[y * desc.pitch + x] = ( x + y ) % 2 == 0 ? 0 : uint8_t( 10 + x + 4 * y );
        }
    }
    source->Unlock( nullptr );

    ASSERT_EQ( back->BltFast( 100, 200, source, nullptr, DDBLTFAST_SRCCOLORKEY ), HOST_OK );
    EXPECT_EQ( Pixel( back, 100, 200 ), 50 ); // key: left alone
    EXPECT_EQ( Pixel( back, 101, 200 ), 11 );
    EXPECT_EQ( Pixel( back, 103, 203 ), 50 );
    EXPECT_EQ( Pixel( back, 102, 203 ), 24 );
    EXPECT_EQ( Pixel( back, 104, 200 ), 50 );

    // Hanging over the top-left corner: only the part on the screen lands.
    ASSERT_EQ( back->BltFast( -2, -3, source, nullptr, DDBLTFAST_NOCOLORKEY ), HOST_OK );
    EXPECT_EQ( Pixel( back, 0, 0 ), 10 + 2 + 4 * 3 );
    EXPECT_EQ( Pixel( back, 1, 0 ), 0 );
    EXPECT_EQ( Pixel( back, 2, 0 ), 50 );
    EXPECT_EQ( Pixel( back, 0, 1 ), 50 );

    // Over the bottom-right corner, with a source rectangle reaching past the source.
    HostRect wide = { 2, 2, 40, 40 };
    ASSERT_EQ( back->BltFast( 639, 479, source, &wide, DDBLTFAST_NOCOLORKEY ), HOST_OK );
    EXPECT_EQ( Pixel( back, 639, 479 ), 0 );
    EXPECT_EQ( Pixel( back, 638, 479 ), 50 );
}

TEST_F( SurfaceTest, BlitNeverTouchesTheBytesPastARowsWidth ) {
    scope.Backend().SetPitchPadding( 8 );
    ASSERT_EQ( CreateOffscreen( 10, 3, &source, 0 ), HOST_OK );
    ASSERT_EQ( CreateOffscreen( 10, 3, &target, 0 ), HOST_OK );
    Fill( source, 4 );
    Fill( target, 99 );
    ASSERT_EQ( target->BltFast( 3, 0, source, nullptr, 0 ), HOST_OK );
    for ( int y = 0; y < 3; y++ ) {
        EXPECT_EQ( Pixel( target, 2, y ), 99 );
        EXPECT_EQ( Pixel( target, 9, y ), 4 );
        for ( int x = 10; x < 18; x++ ) {
            ASSERT_EQ( Pixel( target, x, y ), 99 ) << x << ", " << y;
        }
    }
}

TEST_F( SurfaceTest, BlitsFarOutsideOrOfInvertedRectanglesDrawNothing ) {
    ASSERT_EQ( CreateOffscreen( 8, 8, &source ), HOST_OK );
    ASSERT_EQ( CreateOffscreen( 8, 8, &target ), HOST_OK );
    Fill( source, 1 );
    Fill( target, 2 );
    const int far[][2] = { { INT_MAX, 0 }, { 0, INT_MAX }, { INT_MIN, 0 },
                           { 0, INT_MIN }, { 8, 0 },       { -8, 0 } };
    for ( const auto &at : far ) {
        EXPECT_EQ( target->BltFast( at[0], at[1], source, nullptr, 0 ), HOST_OK );
    }
    HostRect outside = { INT_MIN, INT_MIN, -1, -1 };
    EXPECT_EQ( target->BltFast( 0, 0, source, &outside, 0 ), HOST_OK );
    HostRect inverted = { 5, 5, 2, 2 };
    EXPECT_NE( target->BltFast( 0, 0, source, &inverted, 0 ), HOST_OK );
    for ( int y = 0; y < 8; y++ ) {
        for ( int x = 0; x < 8; x++ ) {
            ASSERT_EQ( Pixel( target, x, y ), 2 );
        }
    }
}

TEST_F( SurfaceTest, BlitIsRefusedWhileEitherSideIsLockedOrWithoutAKey ) {
    ASSERT_EQ( CreateOffscreen( 8, 8, &source, 0 ), HOST_OK );
    ASSERT_EQ( CreateOffscreen( 8, 8, &target ), HOST_OK );
    HostSurfaceDesc desc = {};
    ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    EXPECT_NE( target->BltFast( 0, 0, source, nullptr, 0 ), HOST_OK );
    source->Unlock( nullptr );
    ASSERT_EQ( target->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
    EXPECT_NE( target->BltFast( 0, 0, source, nullptr, 0 ), HOST_OK );
    target->Unlock( nullptr );
    EXPECT_NE( target->BltFast( 0, 0, source, nullptr, DDBLTFAST_SRCCOLORKEY ), HOST_OK );
    EXPECT_EQ( target->BltFast( 0, 0, source, nullptr, 0 ), HOST_OK );
    EXPECT_NE( target->BltFast( 0, 0, target, nullptr, 0 ), HOST_OK );
}

TEST_F( SurfaceTest, OffscreenSurfacesOfSenselessSizesAreRefused ) {
    HostSurface *surface = nullptr;
    EXPECT_NE( CreateOffscreen( 0, 10, &surface ), HOST_OK );
    EXPECT_NE( CreateOffscreen( 10, -1, &surface ), HOST_OK );
    EXPECT_NE( CreateOffscreen( 100000, 10, &surface ), HOST_OK );
    EXPECT_NE( CreateOffscreen( 1 << 20, 1 << 20, &surface ), HOST_OK );
    EXPECT_EQ( surface, nullptr );

    HostSurfaceDesc desc = {};
    desc.size = sizeof( desc );
    desc.flags = DDSD_CAPS | DDSD_WIDTH; // no height
    desc.caps = DDSCAPS_OFFSCREENPLAIN;
    desc.width = 10;
    EXPECT_NE( video->CreateSurface( &desc, &surface, nullptr ), HOST_OK );
    EXPECT_EQ( surface, nullptr );

    ASSERT_EQ( CreateOffscreen( 12, 5, &source ), HOST_OK );
    EXPECT_EQ( source->HasColorKey(), 1 );
    EXPECT_EQ( source->GetWidth(), 12 );
    EXPECT_EQ( source->GetHeight(), 5 );
}

TEST_F( SurfaceTest, FlippingChainNeedsExclusiveFullScreen ) {
    HostVideo *windowed = nullptr;
    ASSERT_EQ( HostVideoCreate( nullptr, &windowed, nullptr ), HOST_OK );
    ASSERT_EQ( windowed->SetCooperativeLevel( window, DDSCL_NORMAL ), HOST_OK );
    HostSurfaceDesc desc = {};
    desc.size = sizeof( desc );
    desc.flags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    desc.caps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    desc.backBufferCount = 1;
    HostSurface *surface = nullptr;
    EXPECT_NE( windowed->CreateSurface( &desc, &surface, nullptr ), HOST_OK );
    EXPECT_EQ( surface, nullptr );
    windowed->Release();

    EXPECT_NE( video->SetCooperativeLevel( nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN ), HOST_OK );
    scope.Backend().SetModeFails( 1 );
    EXPECT_NE( video->SetDisplayMode( 800, 600, 8 ), HOST_OK );
    EXPECT_EQ( video->GetModeWidth(), 640 );
    EXPECT_NE( video->SetDisplayMode( 640, 480, 16 ), HOST_OK );
}

// A picture made from a surface is stale once its change count moves: every way the pixels
// or the key can change must move it, and reading, refused calls and blits that draw nothing
// must not.
TEST_F( SurfaceTest, ChangeCountMovesWithEveryChangeOfPixelsOrKeyAndOnlyThen ) {
    CreateChain();
    ASSERT_EQ( CreateOffscreen( 8, 8, &source ), HOST_OK );
    source->SetColorKey( 0, 0 );
    HostSurfaceDesc desc = {};
    const HostRect all = { 0, 0, 8, 8 };
    struct Case {
        const char *what;
        std::function<void()> act;
        HostSurface *watched;
        int moves;
    };
    const Case cases[] = {
        { "a lock of the source", [&] { source->Lock( nullptr, &desc, 0, nullptr ); }, source, 1 },
        { "the unlock", [&] { source->Unlock( nullptr ); }, source, 0 },
        { "a lock refused as busy",
          [&] {
              source->InjectBusyLocks( 1 );
              source->Lock( nullptr, &desc, 0, nullptr );
          },
          source, 0 },
        { "a blit into the back buffer", [&] { back->BltFast( 0, 0, source, &all, DDBLTFAST_SRCCOLORKEY ); },
          back, 1 },
        { "... leaves its source", [&] { back->BltFast( 0, 0, source, &all, DDBLTFAST_SRCCOLORKEY ); },
          source, 0 },
        { "a blit one pixel off the screen's right", [&] { back->BltFast( 640, 0, source, &all, 0 ); }, back,
          0 },
        { "a blit with one column on the screen", [&] { back->BltFast( 639, 0, source, &all, 0 ); }, back,
          1 },
        { "a blit refused for a locked source",
          [&] {
              source->Lock( nullptr, &desc, 0, nullptr );
              const uint32_t before = back->GetChangeCount();
              back->BltFast( 0, 0, source, &all, 0 );
              source->Unlock( nullptr );
              EXPECT_EQ( before, back->GetChangeCount() );
          },
          source, 1 },
        { "a flip, for the back buffer", [&] { primary->Flip( nullptr, DDFLIP_WAIT ); }, back, 1 },
        { "a flip, for the front", [&] { primary->Flip( nullptr, DDFLIP_WAIT ); }, primary, 1 },
        { "a key set", [&] { source->SetColorKey( 1, 1 ); }, source, 1 },
        { "reading the pixels", [&] { EXPECT_NE( nullptr, source->GetPixels() ); }, source, 0 },
        { "a loss", [&] { source->InjectLoss(); }, source, 1 },
        { "a restore", [&] { source->Restore(); }, source, 1 },
    };
    for ( const Case &each : cases ) {
        const uint32_t before = each.watched->GetChangeCount();
        each.act();
        EXPECT_EQ( each.moves, int( each.watched->GetChangeCount() != before ) ) << each.what;
    }
}

// The blit over a backdrop reads each piece of the source by what it last held: after every
// change that flips a piece (a pixel poked into the sky, a piece filled, a new key, a loss
// and a refill) it still gives the backdrop copied and then the keyed blit.
TEST_F( SurfaceTest, BlitOverABackdropFollowsEveryChangeOfTheSource ) {
    CreateChain();
    ASSERT_EQ( CreateOffscreen( 200, 6, &source ), HOST_OK );
    ASSERT_EQ( CreateOffscreen( 640, 480, &target, 0 ), HOST_OK );
    source->SetColorKey( 0, 0 );
    Fill( source, 0 );
    std::vector<uint8_t> backdrop( 640 * 480 );
    for ( size_t i = 0; i < backdrop.size(); i++ ) {
        backdrop[i] = uint8_t( i * 7 + i / 640 );
    }
    const auto poke = [&]( int x, int y, uint8_t colour, int across ) {
        HostSurfaceDesc desc = {};
        ASSERT_EQ( source->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
        std::memset( static_cast<uint8_t *>( desc.surface ) + y * desc.pitch + x, colour, size_t( across ) );
        source->Unlock( nullptr );
    };
    struct Change {
        const char *what;
        std::function<void()> act;
    };
    const Change changes[] = {
        { "all sky", [] {} },
        { "one pixel at a piece's last column", [&] { poke( 63, 2, 9, 1 ); } },
        { "the next piece filled", [&] { poke( 64, 2, 9, 64 ); } },
        { "the filled piece's first pixel dug out", [&] { poke( 64, 2, 0, 1 ); } },
        { "a key taking in the ground", [&] { source->SetColorKey( 0, 9 ); } },
        { "a key of the ground alone", [&] { source->SetColorKey( 9, 9 ); } },
        { "lost, restored and refilled",
          [&] {
              source->InjectLoss();
              source->Restore();
              Fill( source, 0 );
              poke( 190, 5, 4, 10 );
          } },
    };
    const HostRect window = { 1, 1, 200, 6 };
    for ( const Change &change : changes ) {
        change.act();
        HostSurfaceDesc desc = {};
        ASSERT_EQ( target->Lock( nullptr, &desc, 0, nullptr ), HOST_OK );
        for ( int y = 0; y < 480; y++ ) {
            std::memcpy( static_cast<uint8_t *>( desc.surface ) + y * desc.pitch,
                         &backdrop[size_t( y * 640 )], 640 );
        }
        target->Unlock( nullptr );
        ASSERT_EQ( target->BltFast( 37, 11, source, &window, DDBLTFAST_SRCCOLORKEY ), HOST_OK );
        ASSERT_EQ( back->BltFastOver( 37, 11, source, &window, DDBLTFAST_SRCCOLORKEY, backdrop.data(), 640 ),
                   HOST_OK );
        for ( int y = 11; y < 16; y++ ) {
            ASSERT_EQ( 0, std::memcmp( back->GetPixels() + y * back->GetPitch() + 37,
                                       target->GetPixels() + y * target->GetPitch() + 37, 199 ) )
                << change.what << ", row " << y;
        }
    }
}

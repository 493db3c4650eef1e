// The land's way to the screen, every frame: the keyed blit of a full 640 x 480 tile (index 0
// transparent), directly and through the surface's fast blit, against the floor (memcpy of the
// same 307,200 bytes) and against SDL's own colour-keyed 8-bit blit of the same tile; and one
// whole World::Draw of a view over four tiles on the headless backend.

#include "bench/BenchReference.h"
#include "game/World.h"
#include "host/HostBlit.h"
#include "host/HostFile.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "land/Land.h"
#include "platform/Display.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const int kWidth = 640;
const int kHeight = 480;
const size_t kBytes = size_t( kWidth ) * size_t( kHeight );

uint32_t Noise( int x, int y ) {
    uint32_t value = uint32_t( x ) * 2654435761u ^ uint32_t( y ) * 40503u;
    value ^= value >> 15;
    value *= 0x2C1B3C6Du;
    return value ^ ( value >> 12 );
}

// Rolling hills whose surface lies around `groundLevel` (a share of the height), earth in
// bands of colour with a little grain, and a few caves hollowed out of it.
uint8_t LandPixel( int x, int y, double groundLevel ) {
    const double surface = kHeight * groundLevel + 60.0 * std::sin( x * 0.013 ) +
                           25.0 * std::sin( x * 0.047 + 1.0 ) + 8.0 * std::sin( x * 0.21 );
    if ( y < surface ) {
        return 0;
    }
    const int caveX[] = { 120, 330, 520 };
    const int caveY[] = { 400, 330, 430 };
    for ( int i = 0; i < 3; i++ ) {
        const double dx = ( x - caveX[i] ) / 70.0, dy = ( y - caveY[i] ) / 28.0;
        if ( dx * dx + dy * dy < 1.0 ) {
            return 0;
        }
    }
    return uint8_t( 16 + ( y / 12 ) % 8 * 8 + Noise( x, y ) % 4 );
}

struct Tile {
    explicit Tile( double groundLevel ) : pixels( kBytes ) {
        for ( int y = 0; y < kHeight; y++ ) {
            for ( int x = 0; x < kWidth; x++ ) {
                pixels[size_t( y ) * kWidth + size_t( x )] =
                    groundLevel <= 0.0 ? uint8_t( 16 + Noise( x, y ) % 64 ) : LandPixel( x, y, groundLevel );
            }
        }
    }
    std::vector<uint8_t> pixels;
};

const Tile &LandTilePixels() {
    static Tile tile( 0.35 ); // sky over the top third, hills, caves
    return tile;
}

const Tile &SkyTilePixels() {
    static Tile tile( 0.88 ); // hill tops along the bottom only
    return tile;
}

const Tile &SolidTilePixels() {
    static Tile tile( 0.0 ); // earth everywhere
    return tile;
}

std::vector<uint8_t> &Target() {
    static std::vector<uint8_t> target( kBytes, 7 );
    return target;
}

void BM_Memcpy_Tile( benchmark::State &state ) {
    const std::vector<uint8_t> &source = LandTilePixels().pixels;
    std::vector<uint8_t> &target = Target();
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        std::memcpy( target.data(), source.data(), kBytes );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
}

void KeyedBlit( benchmark::State &state, const Tile &tile ) {
    std::vector<uint8_t> &target = Target();
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        HostBlitKeyed( target.data(), kWidth, tile.pixels.data(), kWidth, kWidth, kHeight, 0, 0 );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
}

void BM_KeyedTileBlit_Land( benchmark::State &state ) {
    KeyedBlit( state, LandTilePixels() );
}
void BM_KeyedTileBlit_Sky( benchmark::State &state ) {
    KeyedBlit( state, SkyTilePixels() );
}
void BM_KeyedTileBlit_Solid( benchmark::State &state ) {
    KeyedBlit( state, SolidTilePixels() );
}

// The land laid over a backdrop in one pass, as the World puts land and background on the
// screen together: next to a memcpy, it does the work of a copy and a keyed blit.
void KeyedBlitOver( benchmark::State &state, const Tile &tile ) {
    std::vector<uint8_t> &target = Target();
    const std::vector<uint8_t> &backdrop = SolidTilePixels().pixels;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        HostBlitKeyedOver( target.data(), kWidth, tile.pixels.data(), kWidth, backdrop.data(), kWidth, kWidth,
                           kHeight, 0, 0 );
        benchmark::DoNotOptimize( target.data() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
}

void BM_KeyedTileBlitOver_Land( benchmark::State &state ) {
    KeyedBlitOver( state, LandTilePixels() );
}
void BM_KeyedTileBlitOver_LandAvx2( benchmark::State &state ) {
    HostBlitAllowWideVectors( HOST_BLIT_AVX2 );
    KeyedBlitOver( state, LandTilePixels() );
    HostBlitAllowWideVectors( HOST_BLIT_AVX512 );
}

// The same with narrower vectors: what a machine with AVX2 at most, or SSE2 alone, gets.
void BM_KeyedTileBlit_LandAvx2( benchmark::State &state ) {
    HostBlitAllowWideVectors( HOST_BLIT_AVX2 );
    KeyedBlit( state, LandTilePixels() );
    HostBlitAllowWideVectors( HOST_BLIT_AVX512 );
}
void BM_KeyedTileBlit_LandSse2( benchmark::State &state ) {
    HostBlitAllowWideVectors( HOST_BLIT_SSE2 );
    KeyedBlit( state, LandTilePixels() );
    HostBlitAllowWideVectors( HOST_BLIT_AVX512 );
}

// The same work as the World asks for it: the surface's fast blit with the source key.
void SurfaceBlit( benchmark::State &state, const Tile &tile ) {
    HostSurface *source = new HostSurface( nullptr, kWidth, kHeight, kWidth, DDSCAPS_OFFSCREENPLAIN );
    HostSurface *target = new HostSurface( nullptr, kWidth, kHeight, kWidth, DDSCAPS_OFFSCREENPLAIN );
    source->SetColorKey( 0, 0 );
    HostSurfaceDesc desc;
    std::memset( &desc, 0, sizeof desc );
    desc.size = sizeof desc;
    source->Lock( nullptr, &desc, 0, nullptr );
    std::memcpy( desc.surface, tile.pixels.data(), kBytes );
    source->Unlock( nullptr );
    const HostRect whole = { 0, 0, kWidth, kHeight };
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        target->BltFast( 0, 0, source, &whole, DDBLTFAST_SRCCOLORKEY | DDBLTFAST_WAIT );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
    source->Release();
    target->Release();
}

void BM_BltFast_Land( benchmark::State &state ) {
    SurfaceBlit( state, LandTilePixels() );
}
void BM_BltFast_Sky( benchmark::State &state ) {
    SurfaceBlit( state, SkyTilePixels() );
}
void BM_BltFast_Solid( benchmark::State &state ) {
    SurfaceBlit( state, SolidTilePixels() );
}

// SDL's colour-keyed blit between two 8-bit surfaces with the same palette, without RLE
// acceleration (the land changes whenever a crater is carved, so it could not stay encoded).
void SdlKeyedBlit( benchmark::State &state, const Tile &tile ) {
    SDL_Surface *source = SDL_CreateRGBSurfaceWithFormat( 0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8 );
    SDL_Surface *target = SDL_CreateRGBSurfaceWithFormat( 0, kWidth, kHeight, 8, SDL_PIXELFORMAT_INDEX8 );
    if ( source == nullptr || target == nullptr ) {
        state.SkipWithError( SDL_GetError() );
        return;
    }
    SDL_Color colours[256];
    for ( int i = 0; i < 256; i++ ) {
        colours[i] = SDL_Color{ uint8_t( i ), uint8_t( i ), uint8_t( i ), 255 };
    }
    SDL_SetPaletteColors( source->format->palette, colours, 0, 256 );
    SDL_SetPaletteColors( target->format->palette, colours, 0, 256 );
    for ( int y = 0; y < kHeight; y++ ) {
        std::memcpy( static_cast<uint8_t *>( source->pixels ) + y * source->pitch,
                     tile.pixels.data() + size_t( y ) * kWidth, kWidth );
    }
    SDL_SetColorKey( source, SDL_TRUE, 0 );
    SDL_SetSurfaceRLE( source, 0 );
    if ( source->flags & SDL_RLEACCEL ) {
        state.SkipWithError( "the SDL source is RLE accelerated" );
        return;
    }
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        SDL_Rect place = { 0, 0, kWidth, kHeight };
        SDL_BlitSurface( source, nullptr, target, &place );
        benchmark::ClobberMemory();
    }
    timer.Report( state, kBytes );
    state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
    SDL_FreeSurface( source );
    SDL_FreeSurface( target );
}

void BM_SdlKeyedBlit_Land( benchmark::State &state ) {
    SdlKeyedBlit( state, LandTilePixels() );
}
void BM_SdlKeyedBlit_Sky( benchmark::State &state ) {
    SdlKeyedBlit( state, SkyTilePixels() );
}
void BM_SdlKeyedBlit_Solid( benchmark::State &state ) {
    SdlKeyedBlit( state, SolidTilePixels() );
}

intptr_t QuietWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    return HostDefWindowProc( window, message, wParam, lParam );
}

// The land picture: hills with caves over the top row of tiles, earth with caves below.
uint8_t LandFilePixel( int x, int y ) {
    return y < kHeight ? LandPixel( x % kWidth, y, 0.35 ) : LandPixel( x % kWidth, y - kHeight, -0.5 );
}

uint8_t BackgroundFilePixel( int x, int y ) {
    return uint8_t( 200 + ( x / 32 + y / 24 ) % 40 );
}

void Put( std::vector<uint8_t> &out, uint32_t value, int bytes ) {
    for ( int i = 0; i < bytes; i++ ) {
        out.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

// An 8-bit BMP file in memory, grey palette, rows bottom first and padded to 4 bytes.
void PutPicture( const char *name, int width, int height, uint8_t ( *pixel )( int, int ) ) {
    std::vector<uint8_t> out;
    const int padding = ( 4 - width % 4 ) % 4;
    Put( out, 0x4D42, 2 );
    Put( out, 0, 4 );
    Put( out, 0, 4 );
    Put( out, 14 + 40 + 1024, 4 );
    Put( out, 40, 4 );
    Put( out, uint32_t( width ), 4 );
    Put( out, uint32_t( height ), 4 );
    Put( out, 1, 2 );
    Put( out, 8, 2 );
    for ( int i = 0; i < 6; i++ ) {
        Put( out, 0, 4 );
    }
    for ( int i = 0; i < 256; i++ ) {
        Put( out, uint32_t( i ) * 0x010101u, 4 );
    }
    for ( int y = height - 1; y >= 0; y-- ) {
        for ( int x = 0; x < width; x++ ) {
            out.push_back( pixel( x, y ) );
        }
        Put( out, 0, padding );
    }
    HostAddMemoryFile( name, out.data(), out.size() );
}

// One frame's drawing of the game as it stands: background with parallax, the visible parts
// of four 640 x 480 tiles, no entities; the flip is not part of it.
void BM_WorldDraw_FourTiles( benchmark::State &state ) {
    HeadlessBackend backend;
    HostBackend *previous = HostGetBackend();
    HostSetBackend( &backend );
    HostResetWindows();
    HostWindowClass windowClass = { 0, QuietWindowProc, nullptr, "LandBench" };
    HostRegisterClass( &windowClass );
    HostWindow *window = HostCreateWindow( 0, "LandBench", "", WS_POPUP, nullptr );
    {
        Display display;
        display.Init( window, 1, kWidth, kHeight, 8 );
        PutPicture( "bench-land.bmp", 2 * kWidth, 2 * kHeight, LandFilePixel );
        PutPicture( "bench-background.bmp", 960, 720, BackgroundFilePixel );
        World world;
        world.Load( &display, "bench-land.bmp", "bench-background.bmp" );
        world.SetCameraX( 300 );
        world.SetCameraY( 200 );
        if ( world.GetLand()->GetColumns() != 2 || world.GetParallaxX() != 512 ) {
            state.SkipWithError( "the World did not load its pictures" );
        }
        BenchCpuTimer timer;
        timer.Start();
        for ( auto _ : state ) {
            world.Draw( display );
            benchmark::ClobberMemory();
        }
        timer.Report( state, kBytes );
        state.SetBytesProcessed( int64_t( state.iterations() ) * int64_t( kBytes ) );
    }
    HostResetWindows();
    HostClearMemoryFiles();
    HostSetBackend( previous );
}

} // namespace

BENCHMARK( BM_Memcpy_Tile );
BENCHMARK( BM_KeyedTileBlit_Land );
BENCHMARK( BM_KeyedTileBlit_Sky );
BENCHMARK( BM_KeyedTileBlit_Solid );
BENCHMARK( BM_KeyedTileBlit_LandAvx2 );
BENCHMARK( BM_KeyedTileBlit_LandSse2 );
BENCHMARK( BM_KeyedTileBlitOver_Land );
BENCHMARK( BM_KeyedTileBlitOver_LandAvx2 );
BENCHMARK( BM_BltFast_Land );
BENCHMARK( BM_BltFast_Sky );
BENCHMARK( BM_BltFast_Solid );
BENCHMARK( BM_SdlKeyedBlit_Land );
BENCHMARK( BM_SdlKeyedBlit_Sky );
BENCHMARK( BM_SdlKeyedBlit_Solid );
BENCHMARK( BM_WorldDraw_FourTiles );

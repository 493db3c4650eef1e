// Sprite drawing against the floor (memcpy of the same rows) and against what SDL's own 8-bit
// blitter does for the same picture, plain and colour-keyed, all into a 640 x 480 back buffer.

#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>

namespace {

const TrigTable kTrig( 360, 256 );

const int kScreenWidth = 640;
const int kScreenHeight = 480;

// A round bomb: opaque inside a circle, transparent corners.
uint8_t BombPixel( int u, int v, int width, int height ) {
    const int dx = 2 * u - ( width - 1 ), dy = 2 * v - ( height - 1 );
    return dx * dx + dy * dy <= width * height ? static_cast<uint8_t>( 10 + ( u + v ) % 7 ) : 0;
}

// A tank: a turret on a hull, wheels along the bottom, transparent around them.
uint8_t TankPixel( int u, int v, int width, int height ) {
    const bool turret = v < height / 3 && u > width / 3 && u < 2 * width / 3;
    const bool hull = v >= height / 3 && v < height - 4 && u >= v / 4 && u < width - v / 4;
    const bool wheel = v >= height - 4 && ( u / 3 ) % 2 == 0;
    return turret || hull || wheel ? static_cast<uint8_t>( 20 + ( u * 3 + v ) % 11 ) : 0;
}

struct Picture {
    Picture( int width, int height, uint8_t ( *pixel )( int, int, int, int ) ) : image( width, height ) {
        for ( int v = 0; v < height; v++ ) {
            for ( int u = 0; u < width; u++ ) {
                image.GetPixels()[v * image.GetPitch() + u] = pixel( u, v, width, height );
            }
        }
        raw.Build( image, image.GetBounds(), 0 );
        encoded.Build( image, image.GetBounds(), 1 );
    }
    Image image;
    Sprite raw;
    Sprite encoded;
};

Image &Screen() {
    static Image screen( kScreenWidth, kScreenHeight );
    return screen;
}

void DrawSprite( benchmark::State &state, const Sprite &sprite ) {
    Image &screen = Screen();
    for ( auto _ : state ) {
        sprite.Draw( screen, 300, 200 );
        benchmark::DoNotOptimize( screen.GetPixels() );
        benchmark::ClobberMemory();
    }
}

void CopyRows( benchmark::State &state, const Image &picture ) {
    Image &screen = Screen();
    uint8_t *to = screen.GetPixels() + 200 * screen.GetPitch() + 300;
    for ( auto _ : state ) {
        for ( int v = 0; v < picture.GetHeight(); v++ ) {
            std::memcpy( to + v * screen.GetPitch(), picture.GetPixels() + v * picture.GetPitch(),
                         picture.GetWidth() );
        }
        benchmark::DoNotOptimize( screen.GetPixels() );
        benchmark::ClobberMemory();
    }
}

// SDL's blit between two 8-bit surfaces sharing one palette, with or without a colour key.
void SdlBlit( benchmark::State &state, const Image &picture, bool keyed, bool rle ) {
    SDL_Surface *source = SDL_CreateRGBSurfaceWithFormat( 0, picture.GetWidth(), picture.GetHeight(), 8,
                                                          SDL_PIXELFORMAT_INDEX8 );
    SDL_Surface *screen =
        SDL_CreateRGBSurfaceWithFormat( 0, kScreenWidth, kScreenHeight, 8, SDL_PIXELFORMAT_INDEX8 );
    if ( source == nullptr || screen == nullptr ) {
        state.SkipWithError( "SDL could not create the surfaces" );
        return;
    }
    SDL_SetSurfacePalette( screen, source->format->palette );
    for ( int v = 0; v < picture.GetHeight(); v++ ) {
        std::memcpy( static_cast<uint8_t *>( source->pixels ) + v * source->pitch,
                     picture.GetPixels() + v * picture.GetPitch(), picture.GetWidth() );
    }
    if ( keyed ) {
        SDL_SetColorKey( source, SDL_TRUE, 0 );
    }
    if ( rle ) {
        SDL_SetSurfaceRLE( source, 1 );
    }
    SDL_Rect place = { 300, 200, picture.GetWidth(), picture.GetHeight() };
    for ( auto _ : state ) {
        SDL_Rect to = place;
        SDL_BlitSurface( source, nullptr, screen, &to );
        benchmark::DoNotOptimize( screen->pixels );
        benchmark::ClobberMemory();
    }
    SDL_FreeSurface( source );
    SDL_FreeSurface( screen );
}

Picture &Bomb() {
    static Picture bomb( 10, 10, BombPixel );
    return bomb;
}

Picture &Tank() {
    static Picture tank( 36, 20, TankPixel );
    return tank;
}

Picture &TurnedTank() {
    static Picture tank( 40, 20, TankPixel );
    return tank;
}

void BM_Memcpy_Bomb( benchmark::State &state ) {
    CopyRows( state, Bomb().image );
}
void BM_SpriteRaw_Bomb( benchmark::State &state ) {
    DrawSprite( state, Bomb().raw );
}
void BM_SpriteEncoded_Bomb( benchmark::State &state ) {
    DrawSprite( state, Bomb().encoded );
}
void BM_SdlBlit_Bomb( benchmark::State &state ) {
    SdlBlit( state, Bomb().image, false, false );
}
void BM_SdlKeyedBlit_Bomb( benchmark::State &state ) {
    SdlBlit( state, Bomb().image, true, false );
}
void BM_SdlKeyedRleBlit_Bomb( benchmark::State &state ) {
    SdlBlit( state, Bomb().image, true, true );
}

void BM_Memcpy_Tank( benchmark::State &state ) {
    CopyRows( state, Tank().image );
}
void BM_SpriteRaw_Tank( benchmark::State &state ) {
    DrawSprite( state, Tank().raw );
}
void BM_SpriteEncoded_Tank( benchmark::State &state ) {
    DrawSprite( state, Tank().encoded );
}
void BM_SdlBlit_Tank( benchmark::State &state ) {
    SdlBlit( state, Tank().image, false, false );
}
void BM_SdlKeyedBlit_Tank( benchmark::State &state ) {
    SdlBlit( state, Tank().image, true, false );
}
void BM_SdlKeyedRleBlit_Tank( benchmark::State &state ) {
    SdlBlit( state, Tank().image, true, true );
}

void BM_Memcpy_Tank40x20( benchmark::State &state ) {
    CopyRows( state, TurnedTank().image );
}
void BM_SdlKeyedBlit_Tank40x20( benchmark::State &state ) {
    SdlBlit( state, TurnedTank().image, true, false );
}
void BM_DrawRotated_Tank40x20( benchmark::State &state ) {
    Image &screen = Screen();
    const Sprite &sprite = TurnedTank().raw;
    const int angle = static_cast<int>( state.range( 0 ) );
    for ( auto _ : state ) {
        sprite.DrawRotated( screen, 300, 200, sprite.GetWidth() >> 1, sprite.GetHeight() >> 1, angle, kTrig );
        benchmark::DoNotOptimize( screen.GetPixels() );
        benchmark::ClobberMemory();
    }
}

} // namespace

BENCHMARK( BM_Memcpy_Bomb );
BENCHMARK( BM_SpriteRaw_Bomb );
BENCHMARK( BM_SpriteEncoded_Bomb );
BENCHMARK( BM_SdlBlit_Bomb );
BENCHMARK( BM_SdlKeyedBlit_Bomb );
BENCHMARK( BM_SdlKeyedRleBlit_Bomb );

BENCHMARK( BM_Memcpy_Tank );
BENCHMARK( BM_SpriteRaw_Tank );
BENCHMARK( BM_SpriteEncoded_Tank );
BENCHMARK( BM_SdlBlit_Tank );
BENCHMARK( BM_SdlKeyedBlit_Tank );
BENCHMARK( BM_SdlKeyedRleBlit_Tank );

BENCHMARK( BM_Memcpy_Tank40x20 );
BENCHMARK( BM_SdlKeyedBlit_Tank40x20 );
BENCHMARK( BM_DrawRotated_Tank40x20 )->Arg( 0 )->Arg( 17 )->Arg( 45 );

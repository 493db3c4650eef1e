#include "bench/BenchReference.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/FrameConversion.h"
#include "host/HostFile.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "play/DefaultRules.h"
#include "play/Match.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

// One whole frame of play on the headless backend, as the frame loop runs it: camera, the
// update and draw of four tanks and a bomb in flight over the 1280 x 960 land, and then the
// present's conversion of the 8-bit frame into 32-bit pixels through the palette; once as
// designed, once by the default game's rules with its match watching every update and
// moving the camera. Next to them, in the same run, a memcpy of the 307,200-byte frame.

namespace {

const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 480;
const int FRAME_BYTES = FRAME_WIDTH * FRAME_HEIGHT;
const int LAND_WIDTH = 1280;
const int LAND_HEIGHT = 960;
const int GROUND_TOP = 700;

void Put( std::vector<uint8_t> &out, uint32_t value, int bytes ) {
    for ( int i = 0; i < bytes; i++ ) {
        out.push_back( uint8_t( value >> ( 8 * i ) ) );
    }
}

// An 8-bit BMP file of the picture, with a palette of greys.
std::vector<uint8_t> BmpOf( const Image &image ) {
    const int padding = ( 4 - image.GetWidth() % 4 ) % 4;
    std::vector<uint8_t> out;
    Put( out, 0x4D42, 2 );
    Put( out, 0, 4 );
    Put( out, 0, 4 );
    Put( out, 14 + 40 + 1024, 4 );
    Put( out, 40, 4 );
    Put( out, uint32_t( image.GetWidth() ), 4 );
    Put( out, uint32_t( image.GetHeight() ), 4 );
    Put( out, 1, 2 );
    Put( out, 8, 2 );
    for ( int i = 0; i < 6; i++ ) {
        Put( out, 0, 4 );
    }
    for ( int i = 0; i < 256; i++ ) {
        Put( out, uint32_t( i * 0x010101 ), 4 );
    }
    for ( int y = image.GetHeight() - 1; y >= 0; y-- ) {
        const uint8_t *row = image.GetPixels() + y * image.GetPitch();
        out.insert( out.end(), row, row + image.GetWidth() );
        Put( out, 0, padding );
    }
    return out;
}

void PutFile( const char *name, const Image &image ) {
    std::vector<uint8_t> bytes = BmpOf( image );
    HostAddMemoryFile( name, bytes.data(), bytes.size() );
}

// Rolling ground with some texture, so that the keyed tile blits meet both land and sky.
void MakeLand( Image &land ) {
    land.Clear( 0 );
    for ( int x = 0; x < LAND_WIDTH; x++ ) {
        const int top = GROUND_TOP - ( ( x / 8 ) % 24 );
        land.FillRect( x, top, x, LAND_HEIGHT - 1, uint8_t( 40 + ( x / 16 ) % 64 ) );
    }
}

void BuildSprite( Sprite &sprite, int width, int height, uint8_t colour ) {
    if ( sprite.GetWidth() != 0 ) {
        return;
    }
    Image picture( width, height );
    picture.Clear( colour );
    picture.FillRect( 0, 0, 1, 1, 0 ); // a transparent corner, as real pictures have
    sprite.Build( picture, picture.GetBounds(), 0 );
}

// The playing field of the game after start-up: a display, a World loaded from memory
// files, four tanks standing on the ground, the first one with the turn. Made once and kept
// to the end of the process, like the game's own display.
class Scene {
public:
    Scene() : withRules( 0 ) {
        HostSetBackend( &backend );
        HostWindowClass windowClass = { 0, HostDefWindowProc, nullptr, "KeltoBench" };
        HostRegisterClass( &windowClass );
        window = HostCreateWindow( 0, "KeltoBench", "Kelto", WS_POPUP, nullptr );
        display.Init( window, 1, FRAME_WIDTH, FRAME_HEIGHT, 8 );
        Image land( LAND_WIDTH, LAND_HEIGHT );
        MakeLand( land );
        Image background( 960, 720 );
        background.Clear( 20 );
        background.FillRect( 0, 0, 959, 300, 30 );
        PutFile( "land.bmp", land );
        PutFile( "background.bmp", background );
        display.LoadPalette( "background.bmp" );
        display.ApplyPalette();
        world.Load( &display, "land.bmp", "background.bmp" );
        BuildSprite( g_tankSprite, 32, 16, 90 );
        BuildSprite( g_bombSprite, 8, 8, 200 );
        // All four in the 640-pixel view around the third, which has the turn and the camera.
        const int columns[] = { 200, 340, 480, 620 };
        for ( int column : columns ) {
            world.AddTank( new Tank( column, 0, &g_tankSprite, &world ) );
        }
        EntityNode *node = nullptr;
        world.GetTanks()->First( node );
        world.SetCurrentTank( world.GetTanks()->Next( node, 2 ) );
        world.SetCameraTarget( world.GetCurrentTank() );
        g_keyState = noKeys;
        for ( int i = 0; i < 800; i++ ) {
            Frame();
        }
        // The match takes the tanks once they stand, as they start in the default game.
        match.Init( world, Match::DEFAULT_HEALTH );
        LaunchBomb();
        PixelLayout layout = { 16, 8, 0, 0xFF000000u };
        BuildPaletteLookup( display.GetPaletteEntries(), layout, lookup );
        screen.resize( size_t( FRAME_BYTES ) );
    }

    // Across the screen above the ground and out at the right edge, about 80 frames later,
    // without touching the land.
    // The designed game keeps its spent bombs; the scene lets go of them before launching the
    // next, so it stays the same however long the run (the default game drops them itself).
    void LaunchBomb() {
        if ( !withRules ) {
            world.GetBombs()->DeleteEntities();
            world.GetBombs()->Clear();
        }
        Entity *tank = world.GetCurrentTank();
        bomb = new Bomb( tank->GetX(), tank->GetY() - 100, 20, 500, &g_bombSprite, &world );
        world.GetBombs()->Add( bomb );
    }

    // The designed rules, or the default game's with its match.
    void SetRules( int value ) {
        withRules = value;
        if ( withRules ) {
            UseDefaultRules( nullptr, 1 );
        } else {
            UseDesignedRules();
        }
    }

    int BombFlying() const { return bomb != nullptr && bomb->GetState() == Bomb::Flying; }

    // By the rules a spent bomb is deleted in the next update: it is let go of at once.
    void Frame() {
        if ( withRules ) {
            match.MoveCamera( world );
        } else {
            Entity *target = world.GetCameraTarget();
            world.SetCameraX( target->GetX() - FRAME_WIDTH / 2 );
            world.SetCameraY( target->GetY() - FRAME_HEIGHT / 2 );
        }
        world.Update();
        if ( withRules ) {
            match.Observe();
            if ( !BombFlying() ) {
                bomb = nullptr;
            }
        }
        world.Draw( display );
    }

    void Draw() { world.Draw( display ); }

    void Present() {
        HostSurface *back = display.GetBackSurface();
        ConvertFrame( back->GetPixels(), back->GetPitch(), FRAME_WIDTH, FRAME_HEIGHT, lookup, screen.data(),
                      FRAME_WIDTH * 4 );
    }

    const uint32_t *GetScreen() const { return screen.data(); }
    int GetBombCount() const { return world.GetBombs()->GetCount(); }

    // Tanks whose picture lies wholly inside the view.
    int TanksInView() {
        int inView = 0;
        EntityNode *node = nullptr;
        for ( Entity *tank = world.GetTanks()->First( node ); !world.GetTanks()->IsEnd( node );
              tank = world.GetTanks()->Next( node, 1 ) ) {
            const int x = tank->GetX() - world.GetCameraX();
            const int y = tank->GetY() - world.GetCameraY();
            inView += x >= 0 && y >= 0 && x + g_tankSprite.GetWidth() <= FRAME_WIDTH &&
                      y + g_tankSprite.GetHeight() <= FRAME_HEIGHT;
        }
        return inView;
    }

private:
    int withRules;
    HeadlessBackend backend;
    HostWindow *window;
    Display display;
    World world;
    Match match;
    Bomb *bomb = nullptr;
    uint8_t noKeys[256] = {};
    uint32_t lookup[256];
    std::vector<uint32_t> screen;
};

// Timed by hand in this thread's processor time, so that the launch of a fresh bomb when the
// last one has left the land stays out of the figure; the memcpy it is compared with is timed
// the same way, right after.
void WholeFrame( benchmark::State &state, Scene &scene ) {
    int launches = 0;
    double total = 0.0;
    for ( auto _ : state ) {
        if ( !scene.BombFlying() ) {
            scene.LaunchBomb();
            launches++;
        }
        const double start = BenchThreadSeconds();
        scene.Frame();
        scene.Present();
        benchmark::DoNotOptimize( scene.GetScreen() );
        benchmark::ClobberMemory();
        const double seconds = BenchThreadSeconds() - start;
        state.SetIterationTime( seconds );
        total += seconds;
    }
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
    // Frames per bomb: how long each one stayed in the air.
    state.counters["framesPerBomb"] = double( state.iterations() ) / double( launches + 1 );
    state.counters["bombs"] = double( scene.GetBombCount() );
    state.counters["x_memcpy"] = total / double( state.iterations() ) / BenchMemcpySeconds( FRAME_BYTES );
}

// One scene for every benchmark of the process: there is one display, as in the game.
Scene &TheScene() {
    static Scene &scene = *new Scene;
    return scene;
}

void BM_WholeFrame_FourTanksAndABomb( benchmark::State &state ) {
    TheScene().SetRules( 0 );
    WholeFrame( state, TheScene() );
}

// The same frame by the default game's rules: the cost of the play layer.
void BM_WholeFrame_DefaultRules( benchmark::State &state ) {
    TheScene().SetRules( 1 );
    WholeFrame( state, TheScene() );
    TheScene().SetRules( 0 );
}

// The World's whole draw as the game does it: background, the land's tiles, four tanks in
// view and a bomb in the air; the update and the present are not part of it.
void BM_WorldDraw_FourTanksAndABomb( benchmark::State &state ) {
    Scene &scene = TheScene();
    scene.LaunchBomb();
    for ( int i = 0; i < 20; i++ ) {
        scene.Frame();
    }
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        scene.Draw();
        benchmark::ClobberMemory();
    }
    timer.Report( state, FRAME_BYTES );
    state.counters["tanksInView"] = double( scene.TanksInView() );
}

} // namespace

BENCHMARK( BM_WholeFrame_FourTanksAndABomb )->UseManualTime();
BENCHMARK( BM_WholeFrame_DefaultRules )->UseManualTime();
BENCHMARK( BM_WorldDraw_FourTanksAndABomb );

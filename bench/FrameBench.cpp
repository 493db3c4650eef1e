#include "bench/BenchReference.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/LandParts.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Rect.h"
#include "gfx/Sprite.h"
#include "host/FrameConversion.h"
#include "host/HostBlit.h"
#include "host/HostFile.h"
#include "host/HostKeyedPieces.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "hud/Hud.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "play/DefaultRules.h"
#include "play/Match.h"

#include <benchmark/benchmark.h>

#if defined( __GNUC__ ) && defined( __x86_64__ )
#include <immintrin.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

// One whole frame of play on the headless backend, as the frame loop runs it: camera, the
// update and draw of four tanks and a bomb in flight over the 1280 x 960 land, and then the
// present's conversion of the 8-bit frame into 32-bit pixels through the palette; once as
// designed, once by the default game's rules with its match watching every update and
// moving the camera, and the player's view (labels, readouts, map) drawn over the scene. Next to them, in the
// same run, a memcpy of the 307,200-byte frame.
//
// The scene repeats itself exactly however long the run: the bomb drops down a shaft in the
// middle of the four tanks and leaves the land at the bottom without a crater, and the next
// one is dropped from the same place. The view, following the tank with the turn or the bomb,
// straddles the land's four tiles and always holds all four tanks. The counters prove it:
// tanksInView and liveBombs are the fewest seen in any frame, bombsHeld the most in the list.

namespace {

const int FRAME_WIDTH = 640;
const int FRAME_HEIGHT = 480;
const int FRAME_BYTES = FRAME_WIDTH * FRAME_HEIGHT;
const int LAND_WIDTH = 1280;
const int LAND_HEIGHT = 960;
const int GROUND_TOP = 700;
// The shaft the bomb drops down, at the border between the land's two tile columns.
const int SHAFT_X = 640;
const int SHAFT_HALF_WIDTH = 8;
const int BOMB_DROP_Y = 560;
// The tanks' left edges, two either side of the shaft, close enough that a view centred on
// any one of them, or on the shaft, shows them all.
const int TANK_COLUMNS[] = { SHAFT_X - 151, SHAFT_X - 61, SHAFT_X + 29, SHAFT_X + 119 };

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

// Rolling ground with some texture, so that the keyed tile blits meet both land and sky, and
// a shaft open to the land's bottom edge.
void MakeLand( Image &land ) {
    land.Clear( 0 );
    for ( int x = 0; x < LAND_WIDTH; x++ ) {
        const int top = GROUND_TOP - ( ( x / 8 ) % 24 );
        land.FillRect( x, top, x, LAND_HEIGHT - 1, uint8_t( 40 + ( x / 16 ) % 64 ) );
    }
    land.FillRect( SHAFT_X - SHAFT_HALF_WIDTH, 0, SHAFT_X + SHAFT_HALF_WIDTH - 1, LAND_HEIGHT - 1, 0 );
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
        for ( int column : TANK_COLUMNS ) {
            world.AddTank( new Tank( column, 0, &g_tankSprite, &world ) );
        }
        EntityNode *node = nullptr;
        world.SetCurrentTank( world.GetTanks()->First( node ) );
        world.SetCameraTarget( world.GetCurrentTank() );
        g_keyState = noKeys;
        for ( int i = 0; i < 800; i++ ) {
            Frame();
        }
        SetRules( 0 );
        PixelLayout layout = { 16, 8, 0, 0xFF000000u };
        BuildPaletteLookup( display.GetPaletteEntries(), layout, lookup );
        screen.resize( size_t( FRAME_BYTES ) );
    }

    // Dropped from rest above the shaft; it leaves the land at the bottom about 110 updates
    // later without touching the ground. The designed game keeps its spent bombs; the scene
    // lets go of them before dropping the next (the default game drops them itself).
    void LaunchBomb() {
        if ( !withRules ) {
            world.GetBombs()->DeleteEntities();
            world.GetBombs()->Clear();
        }
        const int left = SHAFT_X - g_bombSprite.GetWidth() / 2;
        bomb = new Bomb( left, BOMB_DROP_Y, 270, 0, &g_bombSprite, &world );
        world.GetBombs()->Add( bomb );
    }

    // The designed rules, or the default game's with its match. Either starts from the same
    // place: no bomb but a fresh one, the match just begun, the first tank with the turn.
    void SetRules( int value ) {
        withRules = value;
        if ( withRules ) {
            UseDefaultRules( nullptr, 1 );
        } else {
            UseDesignedRules();
        }
        world.GetBombs()->DeleteEntities();
        world.GetBombs()->Clear();
        bomb = nullptr;
        // The match takes the tanks once they stand, as they start in the default game.
        hud.Init( world, display.GetPaletteEntries(), Match::DEFAULT_HEALTH );
        LaunchBomb();
    }

    int BombFlying() const { return bomb != nullptr && bomb->GetState() == Bomb::Flying; }

    // By the rules a spent bomb is deleted in the next update: it is let go of at once.
    void Frame() {
        if ( withRules ) {
            hud.GetMatch().MoveCamera( world );
        } else {
            Entity *target = world.GetCameraTarget();
            world.SetCameraX( target->GetX() - FRAME_WIDTH / 2 );
            world.SetCameraY( target->GetY() - FRAME_HEIGHT / 2 );
        }
        world.Update();
        if ( withRules ) {
            hud.Observe();
            if ( !BombFlying() ) {
                bomb = nullptr;
            }
        }
        world.Draw( display );
        if ( withRules ) {
            hud.Draw( display, world );
        }
    }

    void Draw() { world.Draw( display ); }

    void Present() {
        HostSurface *back = display.GetBackSurface();
        ConvertFrame( back->GetPixels(), back->GetPitch(), FRAME_WIDTH, FRAME_HEIGHT, lookup, screen.data(),
                      FRAME_WIDTH * 4 );
    }

    const uint32_t *GetScreen() const { return screen.data(); }
    World &GetWorld() { return world; }
    Display &GetDisplay() { return display; }
    int GetBombCount() const { return world.GetBombs()->GetCount(); }

    // Tanks whose picture lies wholly inside the view.
    int TanksInView() const {
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

    int LiveBombs() const {
        int live = 0;
        EntityNode *node = nullptr;
        for ( Entity *each = world.GetBombs()->First( node ); !world.GetBombs()->IsEnd( node );
              each = world.GetBombs()->Next( node, 1 ) ) {
            live += each->GetState() == Bomb::Flying;
        }
        return live;
    }

private:
    int withRules;
    HeadlessBackend backend;
    HostWindow *window;
    Display display;
    World world;
    Hud hud;
    Bomb *bomb = nullptr;
    uint8_t noKeys[256] = {};
    uint32_t lookup[256];
    std::vector<uint32_t> screen;
};

// What the scene held over a run: the fewest tanks in view and live bombs, the most bombs
// in the list.
struct SceneWatch {
    int tanksInView = 1 << 30;
    int liveBombs = 1 << 30;
    int bombsHeld = 0;

    void Look( const Scene &scene ) {
        tanksInView = std::min( tanksInView, scene.TanksInView() );
        liveBombs = std::min( liveBombs, scene.LiveBombs() );
        bombsHeld = std::max( bombsHeld, scene.GetBombCount() );
    }

    void Report( benchmark::State &state ) const {
        state.counters["tanksInView"] = double( tanksInView );
        state.counters["liveBombs"] = double( liveBombs );
        state.counters["bombsHeld"] = double( bombsHeld );
    }
};

// Timed over the whole loop in this thread's processor time, like the memcpy it is compared
// with: reading that clock is a system call here (1.3 us of processor time a read on this
// machine), and reading it around every frame added about 3.7 us to each.
// The launch of a fresh bomb (one in about 110 frames) and the scene's counting after each
// frame are counted in; they are a few tens of nanoseconds a frame. A live bomb is counted as
// the frame begins (in its last update it leaves the land), the tanks in the view it drew.
void WholeFrame( benchmark::State &state, Scene &scene ) {
    int launches = 0;
    SceneWatch watch;
    int liveAtStart = 1 << 30;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        if ( !scene.BombFlying() ) {
            scene.LaunchBomb();
            launches++;
        }
        liveAtStart = std::min( liveAtStart, scene.LiveBombs() );
        scene.Frame();
        scene.Present();
        benchmark::DoNotOptimize( scene.GetScreen() );
        benchmark::ClobberMemory();
        watch.Look( scene );
    }
    timer.Report( state, FRAME_BYTES );
    watch.liveBombs = liveAtStart;
    watch.Report( state );
    state.SetBytesProcessed( int64_t( state.iterations() ) * FRAME_BYTES );
    // Frames per bomb: how long each one stayed in the air.
    state.counters["framesPerBomb"] = double( state.iterations() ) / double( launches + 1 );
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
// view and a bomb in the air in the middle of the view; the update and the present are not
// part of it. Nothing moves while it draws, so the scene is looked at before and after.
void BM_WorldDraw_FourTanksAndABomb( benchmark::State &state ) {
    Scene &scene = TheScene();
    scene.SetRules( 0 );
    for ( int i = 0; i < 40; i++ ) {
        scene.Frame();
    }
    SceneWatch watch;
    watch.Look( scene );
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        scene.Draw();
        benchmark::ClobberMemory();
    }
    timer.Report( state, FRAME_BYTES );
    watch.Look( scene );
    watch.Report( state );
}

// The floor under the World's draw: its land and background laid over each other in one pass
// reads two frames' worth of pixels and writes one. The same bytes, from two plain 640 x 480
// sources into a frame, with no key test at all: no way of drawing that picture in one pass
// can cost less.
#if defined( __GNUC__ ) && defined( __x86_64__ )
__attribute__( ( target( "avx512f" ) ) ) void TwoSourcePass( uint8_t *frame, const uint8_t *land,
                                                             const uint8_t *background ) {
    for ( int i = 0; i < FRAME_BYTES; i += 64 ) {
        const __m512i over =
            _mm512_or_si512( _mm512_loadu_si512( land + i ), _mm512_loadu_si512( background + i ) );
        _mm512_storeu_si512( frame + i, over );
    }
}
#endif

void BM_TwoSourcePass_Floor( benchmark::State &state ) {
#if defined( __GNUC__ ) && defined( __x86_64__ )
    if ( !__builtin_cpu_supports( "avx512f" ) ) {
        state.SkipWithError( "no AVX-512 on this machine" );
        return;
    }
    std::vector<uint8_t> frame( FRAME_BYTES, 0 ), land( FRAME_BYTES, 1 ), background( FRAME_BYTES, 2 );
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        TwoSourcePass( frame.data(), land.data(), background.data() );
        benchmark::DoNotOptimize( frame.data() );
        benchmark::ClobberMemory();
    }
    timer.Report( state, FRAME_BYTES );
#else
    state.SkipWithError( "built without AVX-512 code" );
#endif
}

// Where the camera stands in each frame of one bomb's flight by the default game's rules,
// which follow the bomb: the path the moving-camera rows replay.
struct CameraPlace {
    int x;
    int y;
};

const std::vector<CameraPlace> &CameraPath() {
    static std::vector<CameraPlace> path;
    if ( path.empty() ) {
        Scene &scene = TheScene();
        scene.SetRules( 1 );
        for ( int i = 0; i < 400 && ( path.empty() || scene.BombFlying() ); i++ ) {
            scene.Frame();
            path.push_back( { scene.GetWorld().GetCameraX(), scene.GetWorld().GetCameraY() } );
        }
        scene.SetRules( 0 );
    }
    return path;
}

int DistinctPlaces( const std::vector<CameraPlace> &path ) {
    int distinct = 0;
    for ( size_t i = 0; i < path.size(); i++ ) {
        distinct += i == 0 || path[i].x != path[i - 1].x || path[i].y != path[i - 1].y;
    }
    return distinct;
}

// How the views along the path divide into pieces of sky (only the background is read),
// ground (only the land) and both, as shares of the pixels drawn.
struct PieceShares {
    double sky = 0;
    double ground = 0;
    double mixed = 0;
};

PieceShares SharesAlong( Scene &scene, const std::vector<CameraPlace> &path ) {
    World &world = scene.GetWorld();
    double counts[3] = {};
    std::vector<uint8_t> kinds( HostKeyedPieces::MOST_PIECES );
    for ( const CameraPlace &place : path ) {
        LandParts parts;
        const Rect view( place.x, place.y, place.x + FRAME_WIDTH - 1, place.y + FRAME_HEIGHT - 1 );
        if ( !parts.Find( *world.GetLand(), view, FRAME_WIDTH, FRAME_HEIGHT ) ) {
            continue;
        }
        for ( int i = 0; i < parts.GetCount(); i++ ) {
            const LandParts::Part &part = parts.Get( i );
            const HostSurface &tile = *part.surface;
            for ( int y = part.source.top; y < part.source.bottom; y++ ) {
                HostBlitSortPieces( tile.GetPixels() + y * tile.GetPitch(), tile.GetWidth(),
                                    uint8_t( tile.GetColorKeyLow() ), uint8_t( tile.GetColorKeyHigh() ),
                                    kinds.data() );
                for ( int x = part.source.left; x < part.source.right; x++ ) {
                    counts[kinds[size_t( x / HostKeyedPieces::PIECE_WIDTH )]] += 1;
                }
            }
        }
    }
    const double all = counts[0] + counts[1] + counts[2];
    PieceShares shares;
    shares.mixed = counts[HostKeyedPieces::MIXED] / all;
    shares.sky = counts[HostKeyedPieces::TRANSPARENT] / all;
    shares.ground = counts[HostKeyedPieces::OPAQUE] / all;
    return shares;
}

// Every tile of the land locked and let go, as a crater does: its pieces are sorted again.
void TouchEveryTile( World &world ) {
    Land &land = *world.GetLand();
    for ( int row = 0; row < land.GetRows(); row++ ) {
        for ( int column = 0; column < land.GetColumns(); column++ ) {
            LandTile *tile = land.GetTile( column, row );
            tile->Lock();
            tile->Unlock();
        }
    }
}

// The World's draw with its camera moving along the path, the scene's entities where they
// stand: a new view in every frame, as while a bomb is followed. With argument 1 every tile
// is changed before every frame, as by a crater, so the land's pieces are sorted afresh each
// time: the cost of a frame that changes the land (the tiles' lock is counted in).
void BM_WorldDraw_MovingCamera( benchmark::State &state ) {
    Scene &scene = TheScene();
    const std::vector<CameraPlace> &path = CameraPath();
    scene.SetRules( 0 );
    for ( int i = 0; i < 40; i++ ) {
        scene.Frame();
    }
    World &world = scene.GetWorld();
    size_t at = 0;
    BenchCpuTimer timer;
    timer.Start();
    const int newLand = int( state.range( 0 ) );
    for ( auto _ : state ) {
        if ( newLand ) {
            TouchEveryTile( world );
        }
        world.SetCameraX( path[at].x );
        world.SetCameraY( path[at].y );
        scene.Draw();
        benchmark::ClobberMemory();
        at = at + 1 == path.size() ? 0 : at + 1;
    }
    timer.Report( state, FRAME_BYTES );
    state.counters["cameraPlaces"] = double( DistinctPlaces( path ) );
    state.counters["pathFrames"] = double( path.size() );
    const PieceShares shares = SharesAlong( scene, path );
    state.counters["skyShare"] = shares.sky;
    state.counters["groundShare"] = shares.ground;
    state.counters["mixedShare"] = shares.mixed;
}

// One piece of the land's one-pass draw: a tile's visible rows, the background under them and
// the place on the screen they go.
struct FloorPart {
    uint8_t *to;
    int toPitch;
    const uint8_t *from;
    int fromPitch;
    const uint8_t *under;
    int underPitch;
    int width;
    int height;
};

// The pieces the World's one-pass draw blits with the camera at `place`, tile by tile.
std::vector<FloorPart> FloorPartsAt( Scene &scene, CameraPlace place ) {
    World &world = scene.GetWorld();
    HostSurface *back = scene.GetDisplay().GetBackSurface();
    const Image &background = *world.GetBackground();
    const int bgX = ( place.x * world.GetParallaxX() ) >> 10;
    const int bgY = ( place.y * world.GetParallaxY() ) >> 10;
    const uint8_t *backdrop = background.GetPixels() + bgY * background.GetPitch() + bgX;
    LandParts parts;
    std::vector<FloorPart> pieces;
    const Rect view( place.x, place.y, place.x + FRAME_WIDTH - 1, place.y + FRAME_HEIGHT - 1 );
    if ( !parts.Find( *world.GetLand(), view, FRAME_WIDTH, FRAME_HEIGHT ) ) {
        return pieces;
    }
    for ( int i = 0; i < parts.GetCount(); i++ ) {
        const LandParts::Part &part = parts.Get( i );
        const int pitch = part.surface->GetPitch();
        pieces.push_back( { const_cast<uint8_t *>( back->GetPixels() ) + part.y * back->GetPitch() + part.x,
                            back->GetPitch(),
                            part.surface->GetPixels() + part.source.top * pitch + part.source.left, pitch,
                            backdrop + part.y * background.GetPitch() + part.x, background.GetPitch(),
                            part.source.right - part.source.left, part.source.bottom - part.source.top } );
    }
    return pieces;
}

// The floor of one frame with the World's own pattern: every piece's land and background read
// whole, the screen written once, row by row and tile by tile, with no key test.
#if defined( __GNUC__ ) && defined( __x86_64__ )
__attribute__( ( target( "avx512f,avx512bw" ) ) ) void
TwoSourceParts( const std::vector<FloorPart> &pieces ) {
    for ( const FloorPart &piece : pieces ) {
        uint8_t *to = piece.to;
        const uint8_t *from = piece.from;
        const uint8_t *under = piece.under;
        for ( int row = 0; row < piece.height; row++ ) {
            int x = 0;
            for ( ; x + 64 <= piece.width; x += 64 ) {
                _mm512_storeu_si512( to + x, _mm512_or_si512( _mm512_loadu_si512( from + x ),
                                                              _mm512_loadu_si512( under + x ) ) );
            }
            if ( x < piece.width ) {
                const __mmask64 rest = ~0ull >> ( 64 - ( piece.width - x ) );
                _mm512_mask_storeu_epi8( to + x, rest,
                                         _mm512_or_si512( _mm512_maskz_loadu_epi8( rest, from + x ),
                                                          _mm512_maskz_loadu_epi8( rest, under + x ) ) );
            }
            to += piece.toPitch;
            from += piece.fromPitch;
            under += piece.underPitch;
        }
    }
}
#endif

// The floor for the World's rows: still at the place the still draw looks from (argument 0),
// or moving along the camera's path (1). The frame is drawn back afterwards.
void BM_TwoSourcePass_WorldFloor( benchmark::State &state ) {
#if defined( __GNUC__ ) && defined( __x86_64__ )
    if ( !__builtin_cpu_supports( "avx512bw" ) ) {
        state.SkipWithError( "no AVX-512 on this machine" );
        return;
    }
    Scene &scene = TheScene();
    std::vector<CameraPlace> path = CameraPath();
    scene.SetRules( 0 );
    for ( int i = 0; i < 40; i++ ) {
        scene.Frame();
    }
    if ( state.range( 0 ) == 0 ) {
        path.assign( 1, { scene.GetWorld().GetCameraX(), scene.GetWorld().GetCameraY() } );
    }
    std::vector<std::vector<FloorPart>> frames;
    for ( const CameraPlace &place : path ) {
        frames.push_back( FloorPartsAt( scene, place ) );
        if ( frames.back().empty() ) {
            state.SkipWithError( "the view is not covered by the land's tiles" );
            return;
        }
    }
    size_t at = 0;
    BenchCpuTimer timer;
    timer.Start();
    for ( auto _ : state ) {
        TwoSourceParts( frames[at] );
        benchmark::ClobberMemory();
        at = at + 1 == frames.size() ? 0 : at + 1;
    }
    timer.Report( state, FRAME_BYTES );
    state.counters["cameraPlaces"] = double( DistinctPlaces( path ) );
    scene.Draw();
#else
    state.SkipWithError( "built without AVX-512 code" );
#endif
}

} // namespace

BENCHMARK( BM_WholeFrame_FourTanksAndABomb );
BENCHMARK( BM_WholeFrame_DefaultRules );
BENCHMARK( BM_WorldDraw_FourTanksAndABomb );
BENCHMARK( BM_TwoSourcePass_Floor );
BENCHMARK( BM_WorldDraw_MovingCamera )->Arg( 0 )->Arg( 1 );
BENCHMARK( BM_TwoSourcePass_WorldFloor )->Arg( 0 )->Arg( 1 );

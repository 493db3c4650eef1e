// Plays the whole game for a long time on the headless backend, the way the entry function
// runs it, with a player's keys and with the faults that display memory and input devices show
// in real life, then checks that nothing drifted:
//   - the program ends with exit code 0 when Escape is pressed;
//   - every land tile shows exactly its part of the land picture, craters included;
//   - every tank still in the match stands with its middle inside the land picture;
//   - frames kept coming (the target count is reached, and a watchdog ends a stalled run);
//   - the heap grew by no more than one bomb and one list node per shot, within each match
//     (a new match gives back the last one's tanks, bombs and nodes and makes its own);
//   - nothing is left allocated at the exit (seen by LeakSanitizer in the sanitizer build).
//
// Usage: soak [--seed N] [--frames N] [--assets DIR] [--stall SECONDS] [--health N]
//   --seed    drives the player, the faults and the tanks' columns (default: from the clock)
//   --frames  frames to play before Escape (default 20000)
//   --assets  where background.bmp, land.bmp, tank.bmp and bomb.bmp are (default: the
//             source tree's assets/); the land is made anew for every match, as the game does
//   --stall   seconds without a new frame after which the run counts as hung (default 120)
//   --health  each tank's health at a match's start (default 20, so that many matches end and
//             start again)
//   --assets largest   plays on the largest pictures the game takes instead: a 16384 x 16384
//             land and background, a tank and a bomb as large as the screen
//   --min-rate  updates per second the run must keep up on average (default 0: no check)
// Prints one summary line; exits 0 when every check passed, 1 when one failed, 2 on bad usage.

#include "SourcePaths.h"
#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/TankPlacement.h"
#include "game/World.h"
#include "gfx/Bmp.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/HostFile.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "hud/Hud.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Live heap bytes. Every allocation of the program goes through these, and each block is
// counted at the size the allocator really gives it (malloc_usable_size), so that the growth
// per shot can be compared with what one bomb and one list node really cost. The blocks are
// counted too: a block cut from a reused free chunk can come out one allocator step larger,
// depending on how earlier blocks lie, so the byte check allows that step per new block while
// the block count stays exact. No header is put in front of the blocks: the sanitizers and
// valgrind see the same blocks the game asked for.
// They are kept out of line, so that a tool that puts its own operators in their place (valgrind
// does) replaces every one of them; the count then stays still and the heap check is skipped.

static size_t g_liveHeapBytes = 0;
static long long g_liveHeapBlocks = 0;

static void *CountedAllocate( size_t size ) {
    void *block = std::malloc( size != 0 ? size : 1 );
    if ( block != nullptr ) {
        g_liveHeapBytes += malloc_usable_size( block );
        g_liveHeapBlocks++;
    }
    return block;
}

static void CountedFree( void *block ) {
    if ( block != nullptr ) {
        g_liveHeapBytes -= malloc_usable_size( block );
        g_liveHeapBlocks--;
        std::free( block );
    }
}

__attribute__( ( noinline ) ) void *operator new( size_t size ) {
    void *block = CountedAllocate( size );
    if ( block == nullptr ) {
        throw std::bad_alloc();
    }
    return block;
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size ) {
    return operator new( size );
}

__attribute__( ( noinline ) ) void *operator new( size_t size, const std::nothrow_t & ) noexcept {
    return CountedAllocate( size );
}

__attribute__( ( noinline ) ) void *operator new[]( size_t size, const std::nothrow_t & ) noexcept {
    return CountedAllocate( size );
}

__attribute__( ( noinline ) ) void operator delete( void *block ) noexcept {
    CountedFree( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block ) noexcept {
    CountedFree( block );
}

__attribute__( ( noinline ) ) void operator delete( void *block, size_t ) noexcept {
    CountedFree( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block, size_t ) noexcept {
    CountedFree( block );
}

__attribute__( ( noinline ) ) void operator delete( void *block, const std::nothrow_t & ) noexcept {
    CountedFree( block );
}

__attribute__( ( noinline ) ) void operator delete[]( void *block, const std::nothrow_t & ) noexcept {
    CountedFree( block );
}

namespace {

// Whether the operators above are the ones in use.
int HeapIsCounted() {
    const size_t before = g_liveHeapBytes;
    int *volatile probe = new int( 0 );
    const int counted = g_liveHeapBytes != before;
    delete probe;
    return counted;
}

// How much larger than asked a block cut from a reused free chunk can come out: the
// allocator does not split off a remainder smaller than its smallest chunk.
const long long ALLOCATOR_STEP = 16;

// What the allocator really hands out for a block of `size` bytes.
size_t UsableSize( size_t size ) {
    void *block = std::malloc( size );
    const size_t usable = block != nullptr ? malloc_usable_size( block ) : size;
    std::free( block );
    return usable;
}

// ---------------------------------------------------------------------------------------------
// The watchdog: a run whose frames stop coming is hung, whatever the reason, and must end
// with a failure instead of holding up CI until its time runs out.

volatile sig_atomic_t g_framesSeen = 0;
volatile sig_atomic_t g_framesAtLastLook = -1;
unsigned g_stallSeconds = 120;

void LookForProgress( int ) {
    if ( g_framesSeen == g_framesAtLastLook ) {
        static const char message[] = "soak: FAILED: no new frame for too long; the game is hung\n";
        ssize_t ignored = write( 2, message, sizeof( message ) - 1 );
        (void)ignored;
        _exit( 3 );
    }
    g_framesAtLastLook = g_framesSeen;
    alarm( g_stallSeconds );
}

void StartWatchdog( unsigned seconds ) {
    g_stallSeconds = seconds;
    struct sigaction action;
    std::memset( &action, 0, sizeof( action ) );
    action.sa_handler = LookForProgress;
    sigaction( SIGALRM, &action, nullptr );
    alarm( seconds );
}

void StopWatchdog() {
    alarm( 0 );
}

// ---------------------------------------------------------------------------------------------

struct SoakOptions {
    unsigned seed = 0;
    int frames = 20000;
    std::string assets;
    unsigned stallSeconds = 120;
    // Low, so that matches are won and new ones start again and again in a soak.
    int health = 20;
    int minRate = 0;
};

const char USAGE[] =
    "usage: soak [--seed N] [--frames N] [--assets DIR|largest] [--stall SECONDS] [--health N] "
    "[--min-rate N]\n";

int ParseNumber( const char *text, long long lowest, long long highest, long long *value ) {
    char *end = nullptr;
    const long long parsed = std::strtoll( text, &end, 10 );
    if ( end == text || *end != '\0' || parsed < lowest || parsed > highest ) {
        return 0;
    }
    *value = parsed;
    return 1;
}

// The source tree's pictures, as the build names them.
std::string DefaultAssetsDir() {
    return KELTO_ASSETS_DIR;
}

int ParseOptions( int argc, char **argv, SoakOptions *options ) {
    options->seed = unsigned( std::time( nullptr ) );
    options->assets = DefaultAssetsDir();
    // Every option takes one argument: the loop steps over both.
    for ( int i = 1; i < argc; i += 2 ) {
        long long value = 0;
        const char *name = argv[i];
        const char *argument = i + 1 < argc ? argv[i + 1] : nullptr;
        if ( argument == nullptr ) {
            return 0;
        }
        if ( std::strcmp( name, "--seed" ) == 0 && ParseNumber( argument, 0, 0xFFFFFFFFLL, &value ) ) {
            options->seed = unsigned( value );
        } else if ( std::strcmp( name, "--frames" ) == 0 && ParseNumber( argument, 2, 2000000000, &value ) ) {
            options->frames = int( value );
        } else if ( std::strcmp( name, "--stall" ) == 0 && ParseNumber( argument, 1, 86400, &value ) ) {
            options->stallSeconds = unsigned( value );
        } else if ( std::strcmp( name, "--health" ) == 0 && ParseNumber( argument, 1, 999, &value ) ) {
            options->health = int( value );
        } else if ( std::strcmp( name, "--min-rate" ) == 0 && ParseNumber( argument, 0, 100000, &value ) ) {
            options->minRate = int( value );
        } else if ( std::strcmp( name, "--assets" ) == 0 ) {
            options->assets = argument;
        } else {
            return 0;
        }
    }
    return 1;
}

// Reads the four pictures into memory files once, so that the run itself touches no disk.
int LoadAssets( const std::string &dir ) {
    const char *const names[] = { GAME_BACKGROUND_FILE, GAME_LAND_FILE, GAME_TANK_FILE, GAME_BOMB_FILE };
    for ( const char *name : names ) {
        const std::string path = dir + "/" + name;
        std::ifstream file( path, std::ios::binary );
        std::vector<char> bytes( ( std::istreambuf_iterator<char>( file ) ),
                                 std::istreambuf_iterator<char>() );
        if ( !file.good() && !file.eof() ) {
            std::fprintf( stderr, "soak: cannot read %s\n", path.c_str() );
            return 0;
        }
        if ( bytes.empty() ) {
            std::fprintf( stderr, "soak: cannot read %s\n", path.c_str() );
            return 0;
        }
        HostAddMemoryFile( name, bytes.data(), bytes.size() );
    }
    return 1;
}

// Rolling ground from near the top down, so that the tanks land and shoot soon.
uint8_t LargestLand( int x, int y ) {
    return y >= 600 + ( ( x / 16 ) % 64 ) * 8 ? uint8_t( 100 + ( x + y ) % 50 ) : 0;
}

uint8_t LargestBackground( int x, int y ) {
    return uint8_t( 16 + ( x / 64 + y / 64 ) % 32 );
}

// A screen-sized sprite, solid but for its corners, so that every pixel of it is drawn.
uint8_t ScreenSprite( int x, int y ) {
    return ( x < 8 && y < 8 ) ? 0 : uint8_t( 180 + ( x ^ y ) % 16 );
}

// The largest pictures the game takes, so that a run shows they still keep the game at its
// rate.
void PutLargestPictures() {
    PutMemoryFile( GAME_LAND_FILE, MakeBmp( BMP_MAX_SIDE, BMP_MAX_SIDE, LargestLand ) );
    PutMemoryFile( GAME_BACKGROUND_FILE, MakeBmp( BMP_MAX_SIDE, BMP_MAX_SIDE, LargestBackground ) );
    PutMemoryFile( GAME_TANK_FILE, MakeBmp( 640, 480, ScreenSprite ) );
    PutMemoryFile( GAME_BOMB_FILE, MakeBmp( 640, 480, ScreenSprite ) );
}

// A small generator of our own (splitmix64), so that the run depends on the seed alone and
// not on how often the game itself calls rand.
class Random {
public:
    explicit Random( uint64_t seed ) : state( seed ) {}

    uint64_t Next() {
        uint64_t z = ( state += 0x9E3779B97F4A7C15ULL );
        z = ( z ^ ( z >> 30 ) ) * 0xBF58476D1CE4E5B9ULL;
        z = ( z ^ ( z >> 27 ) ) * 0x94D049BB133111EBULL;
        return z ^ ( z >> 31 );
    }

    // lowest .. highest, both included.
    int Between( int lowest, int highest ) {
        return lowest + int( Next() % uint64_t( highest - lowest + 1 ) );
    }

    int Chance( int percent ) { return Between( 1, 100 ) <= percent; }

private:
    uint64_t state;
};

enum FaultKind {
    TileLoss,
    TileLossFailingRestore,
    AllTilesLost,
    BusyTileLocks,
    BusyBackLocks,
    PrimaryLoss,
    PrimaryLossFailingRestore,
    BackBufferLoss,
    InputLoss,
    Deactivation,
    FAULT_KINDS
};

const char *const FAULT_NAMES[FAULT_KINDS] = {
    "tile-lost",    "tile-restore-failed",    "all-tiles-lost", "tile-busy",  "back-busy",
    "primary-lost", "primary-restore-failed", "back-lost",      "input-lost", "deactivated",
};

// About one fault every this many frames.
const int FAULT_INTERVAL = 300;

// The heap is measured from the end of this frame on: the first frame makes the backend's
// copy of the screen, which is start-up, not play.
const int BASELINE_FRAME = 1;

// The player and the trouble-maker: runs after every presented frame, holds keys in stretches
// as a person would, injects a fault now and then, and presses Escape at the end.
class SoakRun {
public:
    SoakRun( HeadlessBackend &backend, World &world, const SoakOptions &options )
        : backend( backend ), world( world ), random( options.seed ), targetFrames( options.frames ) {}

    void OnFrame( int frame );

    int GetFaults( int kind ) const { return faults[kind]; }
    int GetTotalFaults() const;
    long long GetGrowthBytes() const { return earlier.bytes + end.bytes - baseline.bytes; }
    long long GetGrowthBlocks() const { return earlier.blocks + end.blocks - baseline.blocks; }
    int GetShotsMeasured() const { return earlier.shots + end.shots - baseline.shots; }
    int GetMatches() const { return g_hud.GetMatch().GetMatchNumber(); }

private:
    void Play();
    void ChooseStretch();
    void InjectFault();
    void Deactivate();
    HostSurface *RandomTileSurface();
    // Spent bombs leave the list: the shots of a match are all the bombs it was given.
    int ShotsSoFar() const { return world.GetBombs() != nullptr ? world.GetBombs()->GetAdded() : 0; }

    HeadlessBackend &backend;
    World &world;
    Random random;
    int targetFrames;
    int stretchLeft = 0;
    int faults[FAULT_KINDS] = {};
    // The heap and the shots at one moment; `earlier` adds up the growth of the matches
    // that have ended, measured from each one's own baseline.
    struct Measure {
        long long bytes = 0;
        long long blocks = 0;
        int shots = 0;
    };
    Measure Now() const;
    void Rebaseline( int frame );

    Measure baseline;
    Measure last;
    Measure end;
    Measure earlier;
    int lastMatch = 0;
};

SoakRun::Measure SoakRun::Now() const {
    Measure now;
    now.bytes = (long long)g_liveHeapBytes;
    now.blocks = g_liveHeapBlocks;
    now.shots = ShotsSoFar();
    return now;
}

// A new match started during this frame, before the World's update: the last frame's measure
// closes the match before it.
void SoakRun::Rebaseline( int frame ) {
    const int match = GetMatches();
    if ( frame > BASELINE_FRAME && match != lastMatch ) {
        earlier.bytes += last.bytes - baseline.bytes;
        earlier.blocks += last.blocks - baseline.blocks;
        earlier.shots += last.shots - baseline.shots;
        baseline = Now();
    }
    lastMatch = match;
    last = Now();
}

int SoakRun::GetTotalFaults() const {
    int total = 0;
    for ( int count : faults ) {
        total += count;
    }
    return total;
}

void SoakRun::OnFrame( int frame ) {
    g_framesSeen = frame;
    if ( frame == BASELINE_FRAME ) {
        baseline = Now();
    }
    if ( frame <= targetFrames ) {
        Rebaseline( frame );
    }
    if ( frame >= targetFrames ) {
        if ( frame == targetFrames ) {
            end = Now();
            backend.ReleaseAllKeys();
            HostPostMessage( HostGetMainWindow(), WM_KEYDOWN, VK_ESCAPE, 0 );
        }
        return;
    }
    if ( targetFrames >= 100000 && frame % ( targetFrames / 10 ) == 0 ) {
        std::fprintf( stderr, "soak: %d frames, %d shots, %d faults\n", frame, ShotsSoFar(),
                      GetTotalFaults() );
    }
    Play();
    if ( frame > BASELINE_FRAME && random.Between( 1, FAULT_INTERVAL ) == 1 ) {
        InjectFault();
    }
}

void SoakRun::Play() {
    if ( stretchLeft == 0 ) {
        ChooseStretch();
    }
    stretchLeft--;
}

// Space held from one update to the full charge, so that shots come at every power; arrows
// held for runs, which drive the tank and swing the barrel through every angle; pauses; and
// now and then every key at once, as a cat on the keyboard would.
void SoakRun::ChooseStretch() {
    backend.ReleaseAllKeys();
    const int choice = random.Between( 1, 100 );
    if ( choice <= 35 ) {
        backend.SetKey( DIK_SPACE, 1 );
        stretchLeft = random.Between( 1, 500 );
    } else if ( choice <= 75 ) {
        const int arrows[] = { DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN };
        if ( random.Chance( 60 ) ) {
            backend.SetKey( arrows[random.Between( 0, 3 )], 1 );
        } else {
            for ( int arrow : arrows ) {
                backend.SetKey( arrow, random.Chance( 50 ) );
            }
        }
        stretchLeft = random.Between( 1, 300 );
    } else if ( choice <= 92 ) {
        stretchLeft = random.Between( 1, 120 );
    } else {
        for ( int key : { DIK_SPACE, DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN } ) {
            backend.SetKey( key, 1 );
        }
        stretchLeft = random.Between( 1, 200 );
    }
}

HostSurface *SoakRun::RandomTileSurface() {
    Land *land = world.GetLand();
    if ( land == nullptr || land->GetColumns() == 0 || land->GetRows() == 0 ) {
        return nullptr;
    }
    LandTile *tile = land->GetTile( random.Between( 0, land->GetColumns() - 1 ),
                                    random.Between( 0, land->GetRows() - 1 ) );
    return tile != nullptr ? tile->GetSurface() : nullptr;
}

// The application goes to the back and comes to the front again, as when the player switches
// away. The return is scripted a frame ahead, so the game really sleeps in between.
void SoakRun::Deactivate() {
    HostPostMessage( HostGetMainWindow(), WM_ACTIVATEAPP, 0, 0 );
    backend.PostAtFrame( backend.GetFrameCount() + 1, WM_ACTIVATEAPP, 1, 0 );
}

void SoakRun::InjectFault() {
    const int kind = random.Between( 0, FAULT_KINDS - 1 );
    HostSurface *primary = g_display.GetPrimarySurface();
    HostSurface *back = g_display.GetBackSurface();
    HostSurface *tile = RandomTileSurface();
    switch ( kind ) {
    case TileLoss:
    case TileLossFailingRestore:
        if ( tile == nullptr ) {
            return;
        }
        if ( kind == TileLossFailingRestore ) {
            tile->InjectRestoreFailures( random.Between( 1, 3 ) );
        }
        tile->InjectLoss();
        break;
    case AllTilesLost: {
        // A mode switch by another program takes every surface at once.
        Land *land = world.GetLand();
        for ( int row = 0; land != nullptr && row < land->GetRows(); row++ ) {
            for ( int column = 0; column < land->GetColumns(); column++ ) {
                LandTile *each = land->GetTile( column, row );
                if ( each != nullptr && each->GetSurface() != nullptr ) {
                    each->GetSurface()->InjectLoss();
                }
            }
        }
        if ( primary != nullptr ) {
            primary->InjectLoss();
        }
        Deactivate();
        break;
    }
    case BusyTileLocks:
        if ( tile == nullptr ) {
            return;
        }
        tile->InjectBusyLocks( random.Between( 1, 1000 ) );
        break;
    case BusyBackLocks:
        if ( back == nullptr ) {
            return;
        }
        back->InjectBusyLocks( random.Between( 1, 1000 ) );
        break;
    case PrimaryLoss:
    case PrimaryLossFailingRestore:
        if ( primary == nullptr ) {
            return;
        }
        // A screen that cannot be restored on coming back must be brought back by the frame
        // loop itself; otherwise no frame would come until the player switched again.
        primary->InjectLoss();
        if ( kind == PrimaryLossFailingRestore ) {
            primary->InjectRestoreFailures( random.Between( 1, 3 ) );
        }
        Deactivate();
        break;
    case BackBufferLoss:
        if ( back == nullptr ) {
            return;
        }
        back->InjectLoss();
        Deactivate();
        break;
    case InputLoss:
        backend.InjectInputLoss( random.Between( 1, 6 ) );
        break;
    case Deactivation:
        Deactivate();
        break;
    default:
        return;
    }
    faults[kind]++;
}

// ---------------------------------------------------------------------------------------------
// The checks after the run.

// A final draw brings back every lost tile; a tile whose restores are still set to fail needs
// one draw per failure.
void RefillLostTiles( World &world ) {
    Land *land = world.GetLand();
    for ( int pass = 0; pass < 8; pass++ ) {
        world.Draw( g_display );
        int lost = 0;
        for ( int row = 0; land != nullptr && row < land->GetRows(); row++ ) {
            for ( int column = 0; column < land->GetColumns(); column++ ) {
                LandTile *tile = land->GetTile( column, row );
                if ( tile != nullptr && tile->GetSurface() != nullptr &&
                     tile->GetSurface()->IsLost() == DDERR_SURFACELOST ) {
                    lost++;
                }
            }
        }
        if ( lost == 0 ) {
            return;
        }
    }
}

int CheckTile( World &world, LandTile &tile, int column, int row ) {
    const Image &picture = *world.GetLandImage();
    const int left = column * g_display.GetWidth();
    const int top = row * g_display.GetHeight();
    Image &pixels = tile.Lock();
    int wrongRows = 0;
    int firstWrong = -1;
    if ( pixels.GetPixels() == nullptr ) {
        std::fprintf( stderr, "soak: FAILED: tile (%d, %d) cannot be locked\n", column, row );
        tile.Unlock();
        return 0;
    }
    for ( int y = 0; y < tile.GetHeight(); y++ ) {
        const uint8_t *shown = pixels.GetPixels() + size_t( y ) * size_t( pixels.GetPitch() );
        const uint8_t *land =
            picture.GetPixels() + size_t( top + y ) * size_t( picture.GetPitch() ) + size_t( left );
        if ( std::memcmp( shown, land, size_t( tile.GetWidth() ) ) != 0 ) {
            wrongRows++;
            if ( firstWrong < 0 ) {
                firstWrong = y;
            }
        }
    }
    tile.Unlock();
    if ( wrongRows > 0 ) {
        std::fprintf( stderr,
                      "soak: FAILED: tile (%d, %d) differs from the land picture in %d rows, first row %d\n",
                      column, row, wrongRows, firstWrong );
        return 0;
    }
    return 1;
}

int CheckTiles( World &world ) {
    Land *land = world.GetLand();
    const Image *picture = world.GetLandImage();
    if ( land == nullptr || picture == nullptr || picture->GetPixels() == nullptr ||
         land->GetColumns() == 0 ) {
        std::fprintf( stderr, "soak: FAILED: the World has no land\n" );
        return 0;
    }
    int good = 1;
    for ( int row = 0; row < land->GetRows(); row++ ) {
        for ( int column = 0; column < land->GetColumns(); column++ ) {
            LandTile *tile = land->GetTile( column, row );
            if ( tile == nullptr || tile->GetSurface() == nullptr ) {
                std::fprintf( stderr, "soak: FAILED: tile (%d, %d) has no surface\n", column, row );
                good = 0;
            } else if ( !CheckTile( world, *tile, column, row ) ) {
                good = 0;
            }
        }
    }
    return good;
}

// A tank still in the match has the middle of its box within the land picture's columns and
// its top within its rows; a tank out of the match may be anywhere.
int CheckTanks( World &world ) {
    const Image &picture = *world.GetLandImage();
    const int width = g_tankSprite.GetWidth();
    EntityList *tanks = world.GetTanks();
    int good = 1;
    int number = 0;
    EntityNode *node;
    for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ) ) {
        const Entity *tank = tanks->Get( node );
        number++;
        const int middle = tank->GetX() + width / 2;
        if ( tank->GetState() != Tank::Out &&
             ( middle < 0 || tank->GetY() < 0 || middle >= picture.GetWidth() ||
               tank->GetY() >= picture.GetHeight() ) ) {
            std::fprintf( stderr, "soak: FAILED: tank %d at (%d, %d) is outside the %d x %d land\n", number,
                          tank->GetX(), tank->GetY(), picture.GetWidth(), picture.GetHeight() );
            good = 0;
        }
    }
    if ( number != TANK_PLACEMENT_COUNT ) {
        std::fprintf( stderr, "soak: FAILED: %d tanks instead of %d\n", number, TANK_PLACEMENT_COUNT );
        good = 0;
    }
    return good;
}

void CountBombs( World &world, int *craters, int *gone ) {
    *craters = 0;
    *gone = 0;
    EntityList *bombs = world.GetBombs();
    EntityNode *node;
    for ( bombs->First( node ); !bombs->IsEnd( node ); bombs->Next( node, 1 ) ) {
        const int state = bombs->Get( node )->GetState();
        *craters += state == Bomb::Exploded;
        *gone += state == Bomb::Gone;
    }
}

void RunGameFrame( void *world ) {
    GameFrame( *static_cast<World *>( world ) );
}

// The entry function's steps, kept here so that the World is still at hand for the checks
// after the loop has ended.
int StartGame( HostWindow **window, World &world, unsigned seed, int health, int onPictures ) {
    HostWindowClass windowClass = { 0, MainWindowProc, nullptr, "Kelto" };
    HostRegisterClass( &windowClass );
    *window = HostCreateWindow( 0, "Kelto", "Kelto", WS_POPUP, nullptr );
    if ( *window == nullptr ) {
        std::fprintf( stderr, "soak: cannot open the window\n" );
        return 0;
    }
    HostShowWindow( *window, SW_SHOWDEFAULT );
    HostUpdateWindow( *window );
    if ( !g_display.Init( *window, 1, 640, 480, 8 ) ) {
        std::fprintf( stderr, "soak: cannot bring up the display: %s\n", g_display.GetLastError() );
        return 0;
    }
    GameSetSeed( seed );
    g_options.health = health;
    // The largest pictures are played as they are; otherwise every match makes its land.
    if ( onPictures ) {
        g_options.land = GameDataPath( GAME_LAND_FILE );
        g_options.background = GameDataPath( GAME_BACKGROUND_FILE );
    }
    return GameStartup( nullptr, *window, world );
}

int Soak( HeadlessBackend &backend, const SoakOptions &options ) {
    World world;
    HostWindow *window = nullptr;
    if ( !StartGame( &window, world, options.seed, options.health, options.assets == "largest" ) ) {
        return 1;
    }
    SoakRun run( backend, world, options );
    // The script keeps its own list of pending messages; one harmless message now gives it the
    // room the faults need later, so that the heap measured during play is the game's alone.
    backend.PostAtFrame( 0, WM_NULL, 0, 0 );
    backend.SetFrameHook( [&run]( int frame ) { run.OnFrame( frame ); } );

    const auto started = std::chrono::steady_clock::now();
    StartWatchdog( options.stallSeconds );
    const int exitCode = RunFrameLoop( RunGameFrame, &world );
    StopWatchdog();
    const double seconds =
        std::chrono::duration<double>( std::chrono::steady_clock::now() - started ).count();
    backend.SetFrameHook( nullptr );

    int good = 1;
    if ( exitCode != 0 ) {
        std::fprintf( stderr, "soak: FAILED: exit code %d\n", exitCode );
        good = 0;
    }
    const double rate = seconds > 0.0 ? backend.GetFrameCount() / seconds : 0.0;
    if ( rate < options.minRate ) {
        std::fprintf( stderr, "soak: FAILED: %.1f updates per second, below %d\n", rate, options.minRate );
        good = 0;
    }
    if ( backend.GetFrameCount() != options.frames ) {
        std::fprintf( stderr, "soak: FAILED: %d frames instead of %d\n", backend.GetFrameCount(),
                      options.frames );
        good = 0;
    }
    RefillLostTiles( world );
    good &= CheckTiles( world );
    good &= CheckTanks( world );

    const int shots = run.GetShotsMeasured();
    const size_t perShot = UsableSize( sizeof( Bomb ) ) + UsableSize( sizeof( EntityNode ) );
    const long long growth = run.GetGrowthBytes();
    const long long blocks = run.GetGrowthBlocks();
    const int counted = HeapIsCounted();
    if ( !counted ) {
        std::printf( "soak: the heap is not counted: the tool running the soak has its own operator new\n" );
    } else if ( blocks > 2LL * shots ) {
        std::fprintf( stderr, "soak: FAILED: %lld more heap blocks for %d shots; at most 2 per shot\n",
                      blocks, shots );
        good = 0;
    } else if ( growth >
                (long long)( size_t( shots ) * perShot ) + ALLOCATOR_STEP * ( blocks > 0 ? blocks : 0 ) ) {
        std::fprintf( stderr,
                      "soak: FAILED: the heap grew by %lld bytes for %d shots; at most %zu per shot\n",
                      growth, shots, perShot );
        good = 0;
    }
    int craters = 0;
    int gone = 0;
    CountBombs( world, &craters, &gone );

    std::printf( "soak: faults:" );
    for ( int kind = 0; kind < FAULT_KINDS; kind++ ) {
        std::printf( " %s %d", FAULT_NAMES[kind], run.GetFaults( kind ) );
    }
    std::printf( "\n" );
    char heapText[128];
    if ( counted ) {
        std::snprintf( heapText, sizeof( heapText ),
                       "%.1f heap bytes per shot (allowed %zu: bomb %zu + node %zu as allocated)",
                       shots > 0 ? double( growth ) / shots : 0.0, perShot, UsableSize( sizeof( Bomb ) ),
                       UsableSize( sizeof( EntityNode ) ) );
    } else {
        std::snprintf( heapText, sizeof( heapText ), "heap not counted" );
    }
    std::printf( "soak: seed %u, %d frames, %d matches, %d shots in the last (%d craters, %d off the land), "
                 "%d faults, "
                 "%s, %.1f s (%.0f updates per second): %s\n",
                 options.seed, backend.GetFrameCount(), run.GetMatches(), world.GetBombs()->GetCount(),
                 craters, gone, run.GetTotalFaults(), heapText, seconds, rate, good ? "passed" : "FAILED" );
    GameEnd( world );
    return good ? 0 : 1;
}

} // namespace

int main( int argc, char **argv ) {
    SoakOptions options;
    if ( !ParseOptions( argc, argv, &options ) ) {
        std::fputs( USAGE, stderr );
        return 2;
    }
    if ( options.assets == "largest" ) {
        PutLargestPictures();
    } else if ( !LoadAssets( options.assets ) ) {
        return 2;
    }
    int result = 1;
    {
        HeadlessBackend backend;
        HostSetBackend( &backend );
        result = Soak( backend, options );
        // The game's process-wide objects outlive main; what they release after it returns
        // must not reach a backend that is gone.
        HostSetBackend( nullptr );
    }
    HostClearMemoryFiles();
    return result;
}

#include "fuzz/StartupFuzzing.h"

#include "fuzz/FuzzSupport.h"

#include "app/App.h"
#include "app/Game.h"
#include "app/Options.h"
#include "game/EntityList.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/TankPlacement.h"
#include "game/World.h"
#include "gfx/BmpFile.h"
#include "gfx/Sprite.h"
#include "host/HostSurface.h"
#include "host/HostWindow.h"
#include "host/headless/HeadlessBackend.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Display.h"
#include "tests/support/BmpWriter.h"

#include <fcntl.h>
#include <unistd.h>

const char *const STARTUP_PICTURE_NAMES[4] = { GAME_BACKGROUND_FILE, GAME_LAND_FILE, GAME_TANK_FILE,
                                               GAME_BOMB_FILE };

namespace {

const int SCREEN_WIDTH = 640;
const int SCREEN_HEIGHT = 480;

uint32_t Le32( const uint8_t *bytes ) {
    return uint32_t( bytes[0] ) | ( uint32_t( bytes[1] ) << 8 ) | ( uint32_t( bytes[2] ) << 16 ) |
           ( uint32_t( bytes[3] ) << 24 );
}

HeadlessBackend &Backend() {
    static HeadlessBackend backend;
    return backend;
}

// The game's display, brought up once as the entry function does.
void BringUpDisplay() {
    static int ready = 0;
    if ( ready ) {
        return;
    }
    HostSetBackend( &Backend() );
    HostWindowClass windowClass = { 0, HostDefWindowProc, nullptr, "KeltoStartupFuzz" };
    HostRegisterClass( &windowClass );
    HostWindow *window = HostCreateWindow( 0, "KeltoStartupFuzz", "Kelto", WS_POPUP, nullptr );
    FUZZ_CHECK( g_display.Init( window, 1, SCREEN_WIDTH, SCREEN_HEIGHT, 8 ) == 1,
                "the headless display did not start" );
    ready = 1;
}

// Whether the game should start on these pictures, worked out picture by picture.
bool ShouldStart( const std::string &folder ) {
    for ( int i = 0; i < 4; i++ ) {
        BmpFile file;
        if ( !file.Load( ( folder + STARTUP_PICTURE_NAMES[i] ).c_str(), BmpFile::Everything ) ) {
            return false;
        }
        const bool covers = file.GetWidth() >= SCREEN_WIDTH && file.GetHeight() >= SCREEN_HEIGHT;
        const bool fits = file.GetWidth() <= SCREEN_WIDTH && file.GetHeight() <= SCREEN_HEIGHT;
        if ( i < 2 ? !covers : !fits ) {
            return false;
        }
    }
    return true;
}

void CheckStartedWorld( World &world, const std::string &folder ) {
    BmpFile land;
    FUZZ_CHECK( land.Load( ( folder + GAME_LAND_FILE ).c_str(), BmpFile::Headers ), "the land went away" );
    const Image *picture = world.GetLandImage();
    FUZZ_CHECK( picture != nullptr && picture->GetPixels() != nullptr &&
                    picture->GetWidth() == land.GetWidth() && picture->GetHeight() == land.GetHeight(),
                "the land picture is not the %d x %d file", land.GetWidth(), land.GetHeight() );
    Land *tiles = world.GetLand();
    FUZZ_CHECK( tiles != nullptr && tiles->GetWidth() == land.GetWidth() &&
                    tiles->GetHeight() == land.GetHeight(),
                "the land's grid is not the picture's size" );
    for ( int row = 0; row < tiles->GetRows(); row++ ) {
        for ( int column = 0; column < tiles->GetColumns(); column++ ) {
            LandTile *tile = tiles->GetTile( column, row );
            FUZZ_CHECK( tile != nullptr && tile->GetSurface() != nullptr, "tile (%d, %d) is missing", column,
                        row );
        }
    }
    EntityList *tanks = world.GetTanks();
    FUZZ_CHECK( tanks != nullptr && tanks->GetCount() == TANK_PLACEMENT_COUNT,
                "a started game without its four tanks" );
    FUZZ_CHECK( world.GetCurrentTank() != nullptr, "nobody has the turn" );
    FUZZ_CHECK( g_tankSprite.GetWidth() <= SCREEN_WIDTH && g_tankSprite.GetHeight() <= SCREEN_HEIGHT,
                "a %d x %d tank was taken", g_tankSprite.GetWidth(), g_tankSprite.GetHeight() );
}

// Play: the keys held through the frames, from one byte.
void HoldKeys( uint8_t keys ) {
    const int codes[] = { DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_DOWN, DIK_SPACE };
    Backend().ReleaseAllKeys();
    for ( int i = 0; i < 5; i++ ) {
        Backend().SetKey( codes[i], ( keys >> i ) & 1 );
    }
}

// Start-up's one line on a refusal is expected; it is kept off the fuzzer's own output.
class QuietErrors {
public:
    QuietErrors() : saved( dup( 2 ) ) {
        const int nothing = open( "/dev/null", O_WRONLY );
        if ( nothing >= 0 ) {
            dup2( nothing, 2 );
            close( nothing );
        }
    }
    ~QuietErrors() {
        if ( saved >= 0 ) {
            dup2( saved, 2 );
            close( saved );
        }
    }

private:
    int saved;
};

} // namespace

StartupPictures SplitStartupInput( const uint8_t *data, size_t size ) {
    StartupPictures pictures;
    size_t position = 0;
    size_t lengths[3];
    for ( size_t &length : lengths ) {
        length = position + 4 <= size ? Le32( data + position ) : 0;
        position = position + 4 <= size ? position + 4 : size;
    }
    for ( int i = 0; i < 4; i++ ) {
        const size_t left = size - position;
        const size_t length = i < 3 ? ( lengths[i] < left ? lengths[i] : left ) : left;
        pictures.bytes[i].assign( data + position, data + position + length );
        position += length;
    }
    return pictures;
}

std::vector<uint8_t> JoinStartupInput( const StartupPictures &pictures ) {
    std::vector<uint8_t> joined;
    for ( int i = 0; i < 3; i++ ) {
        const uint32_t length = uint32_t( pictures.bytes[i].size() );
        for ( int b = 0; b < 4; b++ ) {
            joined.push_back( uint8_t( length >> ( 8 * b ) ) );
        }
    }
    for ( const std::vector<uint8_t> &bytes : pictures.bytes ) {
        joined.insert( joined.end(), bytes.begin(), bytes.end() );
    }
    return joined;
}

void FuzzStartupOnce( const std::string &folder, int frames, uint8_t keys ) {
    BringUpDisplay();
    const bool expected = ShouldStart( folder );
    GameSetDataFolder( folder );
    GameSetSeed( keys );
    // The fuzzed pictures are the land and the background played on.
    g_options.land = GameDataPath( GAME_LAND_FILE );
    g_options.background = GameDataPath( GAME_BACKGROUND_FILE );
    World world;
    int started;
    {
        QuietErrors quiet;
        started = GameStartup( nullptr, HostGetMainWindow(), world );
    }
    FUZZ_CHECK( started == ( expected ? 1 : 0 ), "start-up gave %d where the pictures say %d", started,
                expected ? 1 : 0 );
    if ( started ) {
        CheckStartedWorld( world, folder );
        HoldKeys( keys );
        for ( int frame = 0; frame < frames; frame++ ) {
            GameFrame( world );
            g_display.GetPrimarySurface()->Flip( nullptr, DDFLIP_WAIT );
        }
        GameEnd( world );
    }
    GameSetDataFolder( "" );
}

namespace {

uint8_t Sky( int x, int y ) {
    return uint8_t( 16 + ( x + y ) % 32 );
}

uint8_t Ground( int x, int y ) {
    return y > 300 + ( x / 8 ) % 64 ? uint8_t( 112 + x % 32 ) : 0;
}

uint8_t Solid( int x, int y ) {
    return ( x + y ) % 3 == 0 ? 0 : 180;
}

void Write( const char *directory, const std::string &name, const StartupPictures &pictures, uint8_t prefix,
            bool withPrefix ) {
    std::vector<uint8_t> bytes = JoinStartupInput( pictures );
    if ( withPrefix ) {
        bytes.insert( bytes.begin(), prefix );
    }
    FuzzWriteSeed( directory, name, bytes );
}

} // namespace

void WriteStartupSeeds( const char *directory, uint8_t prefix, bool withPrefix ) {
    StartupPictures good;
    good.bytes[0] = MakeBmp( 640, 480, Sky );
    good.bytes[1] = MakeBmp( 700, 500, Ground );
    good.bytes[2] = MakeBmp( 21, 11, Solid );
    good.bytes[3] = MakeBmp( 5, 5, Solid );
    Write( directory, "good", good, prefix, withPrefix );
    for ( int i = 0; i < 4; i++ ) {
        StartupPictures broken = good;
        broken.bytes[i].resize( broken.bytes[i].size() - 9 );
        Write( directory, std::string( "short-" ) + STARTUP_PICTURE_NAMES[i], broken, prefix, withPrefix );
    }
    StartupPictures large = good;
    large.bytes[2] = MakeBmp( 641, 2, Solid );
    Write( directory, "tank-too-large", large, prefix, withPrefix );
}

#include "host/sdl/SdlBackend.h"

#include "host/HostWindow.h"
#include "host/FrameConversion.h"
#include "host/sdl/FrameSchedule.h"
#include "host/sdl/SdlKeyMap.h"

#include <SDL.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

typedef std::chrono::steady_clock Clock;

const int PICTURE_WIDTH = 640;
const int PICTURE_HEIGHT = 480;
const int WINDOW_SCALE = 2; // the window's size in windowed mode, in screen pixels per picture pixel

// The frame rate reported with KELTO_STATS leaves out the first second: start-up and the
// catching up after the slow first frames are not the steady rate.
const int STATISTICS_WARM_UP_FRAMES = SdlBackend::FRAME_RATE;

int64_t Nanoseconds( Clock::time_point time ) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>( time.time_since_epoch() ).count();
}

// Unless a driver is asked for by name (SDL_VIDEODRIVER), only the drivers that can show the
// game, best first: without a display SDL would otherwise settle on one that draws into
// memory and shows nothing. Wayland is left out where it cannot be reached: its library needs
// XDG_RUNTIME_DIR, and says so on standard error when it is missing.
void ChooseVisibleDrivers() {
    const char *requested = SDL_GetHint( SDL_HINT_VIDEODRIVER );
    if ( requested && *requested ) {
        return;
    }
    const bool waylandReachable = std::getenv( "WAYLAND_DISPLAY" ) || std::getenv( "XDG_RUNTIME_DIR" );
    SDL_SetHint( SDL_HINT_VIDEODRIVER, waylandReachable ? "x11,wayland,KMSDRM" : "x11,KMSDRM" );
}

// The texture formats the frame conversion can write.
bool IsConvertibleFormat( Uint32 format ) {
    return format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888 ||
           format == SDL_PIXELFORMAT_ABGR8888 || format == SDL_PIXELFORMAT_BGR888;
}

// The window's own format where the renderer takes it and the conversion can write it, so
// that the renderer copies the texture without converting it again; else the renderer's
// first format the conversion can write.
Uint32 ChooseTextureFormat( SDL_Window *window, SDL_Renderer *renderer ) {
    SDL_RendererInfo info;
    if ( SDL_GetRendererInfo( renderer, &info ) != 0 ) {
        return SDL_PIXELFORMAT_ARGB8888;
    }
    const Uint32 windowFormat = SDL_GetWindowPixelFormat( window );
    Uint32 chosen = 0;
    for ( Uint32 i = 0; i < info.num_texture_formats; ++i ) {
        const Uint32 format = info.texture_formats[i];
        if ( IsConvertibleFormat( format ) && ( format == windowFormat || !chosen ) ) {
            chosen = format;
        }
    }
    if ( !chosen ) {
        chosen = SDL_PIXELFORMAT_ARGB8888;
    }
    return chosen;
}

// Whether a renderer draws through OpenGL done in software (as on a virtual display): there
// the scaling quad costs far more processor time than SDL's own software renderer does.
bool DrawsWithSoftwareOpenGl( SDL_Renderer *renderer ) {
    SDL_RendererInfo info;
    if ( SDL_GetRendererInfo( renderer, &info ) != 0 || std::strncmp( info.name, "opengl", 6 ) != 0 ||
         !SDL_GL_GetCurrentContext() ) {
        return false;
    }
    typedef const unsigned char *( *GetStringFunction )( unsigned int name );
    const unsigned int GL_RENDERER_NAME = 0x1F01;
    GetStringFunction getString =
        reinterpret_cast<GetStringFunction>( SDL_GL_GetProcAddress( "glGetString" ) );
    const char *name = getString ? reinterpret_cast<const char *>( getString( GL_RENDERER_NAME ) ) : nullptr;
    if ( !name ) {
        return false;
    }
    const char *const softwareNames[] = { "llvmpipe", "softpipe", "Software Rasterizer", "SWR" };
    for ( const char *softwareName : softwareNames ) {
        if ( std::strstr( name, softwareName ) ) {
            return true;
        }
    }
    return false;
}

// The graphics card's renderer where there is one; else SDL's software renderer, writing
// straight into the window's shared-memory image. A renderer named in SDL_RENDER_DRIVER is
// taken as it is. No vsync either way: the frame schedule paces the game, so that it runs at
// the same speed on a 60, 75 or 144 Hz display, and on one without any refresh at all.
// `why` says which of these it was, for the statistics.
SDL_Renderer *CreateRenderer( SDL_Window *window, const char *&why ) {
    SDL_Renderer *renderer = SDL_CreateRenderer( window, -1, SDL_RENDERER_ACCELERATED );
    const char *chosenDriver = SDL_GetHint( SDL_HINT_RENDER_DRIVER );
    why = chosenDriver && *chosenDriver ? "named in SDL_RENDER_DRIVER" : "accelerated";
    if ( renderer && !( chosenDriver && *chosenDriver ) && DrawsWithSoftwareOpenGl( renderer ) ) {
        SDL_DestroyRenderer( renderer );
        renderer = nullptr;
        why = "instead of OpenGL drawn in software";
    } else if ( !renderer ) {
        why = "as nothing accelerated is there";
    }
    if ( !renderer ) {
        SDL_SetHint( SDL_HINT_FRAMEBUFFER_ACCELERATION, "0" );
        renderer = SDL_CreateRenderer( window, -1, SDL_RENDERER_SOFTWARE );
    }
    return renderer;
}

int LowestSetBit( Uint32 mask ) {
    int bit = 0;
    while ( mask && !( mask & 1u ) ) {
        mask >>= 1;
        ++bit;
    }
    return bit;
}

PixelLayout LayoutOf( Uint32 format ) {
    int bits = 0;
    Uint32 red = 0, green = 0, blue = 0, alpha = 0;
    SDL_PixelFormatEnumToMasks( format, &bits, &red, &green, &blue, &alpha );
    PixelLayout layout;
    layout.redShift = LowestSetBit( red );
    layout.greenShift = LowestSetBit( green );
    layout.blueShift = LowestSetBit( blue );
    layout.opaqueBits = alpha;
    return layout;
}

} // namespace

struct SdlBackend::Native {
    SDL_Window *window = nullptr;     // owned
    SDL_Renderer *renderer = nullptr; // owned
    SDL_Texture *texture = nullptr;   // owned
    int textureWidth = 0;
    int textureHeight = 0;
    PixelLayout layout = LayoutOf( SDL_PIXELFORMAT_ARGB8888 );

    // The palette the lookup was made from; a frame with the same palette reuses it.
    bool lookupValid = false;
    bool lookupFromNoPalette = false;
    HostPaletteEntry lookupPalette[256] = {};
    uint32_t lookup[256] = {};

    FrameSchedule schedule{ SdlBackend::FRAME_RATE };
    const char *rendererWhy = ""; // why this renderer was chosen

    bool reportStatistics = false;
    bool statisticsReported = false;
    Clock::time_point firstCountedPresent;
    Clock::time_point lastPresent;

    // SIGHUP's handling before the game took it over, given back when SDL stops.
    struct sigaction hangUpBefore = {};
    bool hangUpTaken = false;

    char error[256] = {};
    char rendererChoice[128] = {};
};

namespace {

// A closed terminal (SIGHUP) ends the game as a request to terminate does: SDL turns SIGTERM
// into its quit event (and only SIGINT and SIGTERM), so SIGHUP is passed on as SIGTERM, and
// the game closes its window and releases everything on the way out. Where nothing handles
// SIGTERM, SIGHUP keeps its own handling.
void PassHangUpOn( int ) {
    raise( SIGTERM );
}

bool TakeHangUp( struct sigaction *before ) {
    struct sigaction terminate;
    if ( sigaction( SIGTERM, nullptr, &terminate ) != 0 || terminate.sa_handler == SIG_DFL ||
         terminate.sa_handler == SIG_IGN ) {
        return false;
    }
    struct sigaction hangUp;
    if ( sigaction( SIGHUP, nullptr, &hangUp ) != 0 || hangUp.sa_handler != SIG_DFL ) {
        return false; // whoever started the game asked for something else
    }
    std::memset( &hangUp, 0, sizeof( hangUp ) );
    hangUp.sa_handler = PassHangUpOn;
    sigemptyset( &hangUp.sa_mask );
    return sigaction( SIGHUP, &hangUp, before ) == 0;
}

} // namespace

SdlBackend::SdlBackend( int windowed )
    : native( new Native ), windowed( windowed ), sdlStarted( 0 ), closePosted( 0 ), hasFocus( 1 ),
      keyboardAcquired( 1 ), pacing( 1 ), presentedFrames( 0 ) {
}

SdlBackend::~SdlBackend() {
    CloseWindow();
    if ( sdlStarted ) {
        if ( native->hangUpTaken ) {
            sigaction( SIGHUP, &native->hangUpBefore, nullptr );
        }
        SDL_QuitSubSystem( SDL_INIT_VIDEO );
        SDL_Quit();
    }
    delete native;
}

int SdlBackend::Init() {
    if ( sdlStarted ) {
        return 1;
    }
    const char *stats = std::getenv( "KELTO_STATS" );
    native->reportStatistics = stats && *stats && std::strcmp( stats, "0" ) != 0;
    // The one window's close button and SDL's quit request both mean WM_CLOSE; let the
    // window's own event say it, once.
    SDL_SetHint( SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0" );
    ChooseVisibleDrivers();
    if ( SDL_Init( SDL_INIT_VIDEO ) != 0 ) {
        std::snprintf( native->error, sizeof( native->error ), "%s", SDL_GetError() );
        return 0;
    }
    sdlStarted = 1;
    native->hangUpTaken = TakeHangUp( &native->hangUpBefore );
    return 1;
}

const char *SdlBackend::GetError() const {
    return native->error;
}

int SdlBackend::OpenWindow( const char *caption ) {
    if ( !Init() ) {
        return 0;
    }
    CloseWindow();
    SDL_DisplayMode desktop;
    if ( SDL_GetDesktopDisplayMode( 0, &desktop ) != 0 ) {
        desktop.w = PICTURE_WIDTH * WINDOW_SCALE;
        desktop.h = PICTURE_HEIGHT * WINDOW_SCALE;
    }
    Uint32 flags = 0;
    int width = desktop.w;
    int height = desktop.h;
    if ( windowed ) {
        // Twice the picture's size where the desktop has room, else as large as fits.
        SDL_Rect usable = { 0, 0, desktop.w, desktop.h };
        SDL_GetDisplayUsableBounds( 0, &usable );
        int scale = WINDOW_SCALE;
        while ( scale > 1 && ( PICTURE_WIDTH * scale > usable.w || PICTURE_HEIGHT * scale > usable.h ) ) {
            --scale;
        }
        width = PICTURE_WIDTH * scale;
        height = PICTURE_HEIGHT * scale;
        flags = SDL_WINDOW_RESIZABLE;
    } else {
        flags = SDL_WINDOW_FULLSCREEN_DESKTOP;
    }
    native->window = SDL_CreateWindow( caption ? caption : "", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                       width, height, flags );
    if ( !native->window ) {
        std::snprintf( native->error, sizeof( native->error ), "%s", SDL_GetError() );
        return 0;
    }
    native->renderer = CreateRenderer( native->window, native->rendererWhy );
    if ( !native->renderer ) {
        std::snprintf( native->error, sizeof( native->error ), "%s", SDL_GetError() );
        CloseWindow();
        return 0;
    }
    if ( !windowed ) {
        SDL_ShowCursor( SDL_DISABLE );
    }
    SDL_SetWindowMinimumSize( native->window, PICTURE_WIDTH / 2, PICTURE_HEIGHT / 2 );
    closePosted = 0;
    hasFocus = 1;
    keyboardAcquired = 1;
    ShowFrame(); // black until the first frame
    return 1;
}

void SdlBackend::CloseWindow() {
    ReportStatistics();
    if ( native->texture ) {
        SDL_DestroyTexture( native->texture );
        native->texture = nullptr;
        native->textureWidth = 0;
        native->textureHeight = 0;
    }
    if ( native->renderer ) {
        SDL_DestroyRenderer( native->renderer );
        native->renderer = nullptr;
    }
    if ( native->window ) {
        SDL_DestroyWindow( native->window );
        native->window = nullptr;
    }
    native->schedule.Restart();
}

int SdlBackend::PostToWindow( uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    HostWindow *window = HostGetMainWindow();
    if ( !window ) {
        return 0;
    }
    return HostPostMessage( window, message, wParam, lParam ) ? 1 : 0;
}

void SdlBackend::PumpEvents( int wait ) {
    if ( !sdlStarted ) {
        return;
    }
    SDL_Event event;
    int posted = 0;
    while ( SDL_PollEvent( &event ) ) {
        posted += HandleEvent( &event );
    }
    // Block only while there is a window to wake up for, so that a wait can never hang.
    while ( wait && !posted && native->window && HostGetMainWindow() ) {
        if ( !SDL_WaitEvent( &event ) ) {
            return;
        }
        posted += HandleEvent( &event );
        while ( SDL_PollEvent( &event ) ) {
            posted += HandleEvent( &event );
        }
    }
}

int SdlBackend::HandleEvent( const void *data ) {
    const SDL_Event &event = *static_cast<const SDL_Event *>( data );
    switch ( event.type ) {
    case SDL_QUIT:
        if ( closePosted ) {
            return 0;
        }
        closePosted = PostToWindow( WM_CLOSE, 0, 0 );
        return closePosted;
    case SDL_WINDOWEVENT:
        return HandleWindowEvent( event.window.event );
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return HandleKeyEvent( &event );
    default:
        return 0;
    }
}

int SdlBackend::HandleWindowEvent( int windowEvent ) {
    switch ( windowEvent ) {
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        if ( hasFocus ) {
            return 0;
        }
        hasFocus = 1;
        return PostToWindow( WM_ACTIVATEAPP, 1, 0 );
    case SDL_WINDOWEVENT_FOCUS_LOST:
        if ( !hasFocus ) {
            return 0;
        }
        // The keyboard is gone with the focus, and stays gone until the game takes it back.
        hasFocus = 0;
        keyboardAcquired = 0;
        return PostToWindow( WM_ACTIVATEAPP, 0, 0 );
    case SDL_WINDOWEVENT_CLOSE:
        if ( closePosted ) {
            return 0;
        }
        closePosted = PostToWindow( WM_CLOSE, 0, 0 );
        return closePosted;
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        // While the game is paused no frame comes to repaint the window: show the last one.
        ShowFrame();
        return 0;
    default:
        return 0;
    }
}

int SdlBackend::HandleKeyEvent( const void *data ) {
    const SDL_KeyboardEvent &key = static_cast<const SDL_Event *>( data )->key;
    const int virtualKey = SdlKeyToVirtualKey( key.keysym.sym, key.keysym.scancode );
    if ( !virtualKey ) {
        return 0;
    }
    // As the key messages' lParam has it: repeat count 1, scan code, extended-key bit,
    // previous state (down before), transition (going up).
    const int dik = SdlScancodeToDik( key.keysym.scancode );
    uint32_t lParam = 1u | ( static_cast<uint32_t>( dik & 0x7F ) << 16 );
    if ( dik & 0x80 ) {
        lParam |= 1u << 24;
    }
    const bool down = key.type == SDL_KEYDOWN;
    if ( !down || key.repeat ) {
        lParam |= 1u << 30;
    }
    if ( !down ) {
        lParam |= 1u << 31;
    }
    return PostToWindow( down ? WM_KEYDOWN : WM_KEYUP, static_cast<uintptr_t>( virtualKey ),
                         static_cast<intptr_t>( lParam ) );
}

int SdlBackend::SetDisplayMode( int width, int height, int bitsPerPixel ) {
    // The mode is the picture's, not the screen's: any 8-bit size is scaled onto the window.
    if ( width <= 0 || height <= 0 || bitsPerPixel != 8 ) {
        return 0;
    }
    return 1;
}

int SdlBackend::GetSurfacePitch( int width ) {
    return ( width + 15 ) & ~15;
}

void SdlBackend::Present( const uint8_t *pixels, int pitch, int width, int height,
                          const HostPaletteEntry *palette ) {
    if ( !UploadFrame( pixels, pitch, width, height, palette ) ) {
        return;
    }
    if ( pacing ) {
        WaitForDeadline();
    }
    ShowFrame();
    const Clock::time_point now = Clock::now();
    if ( presentedFrames == STATISTICS_WARM_UP_FRAMES ) {
        native->firstCountedPresent = now;
    }
    native->lastPresent = now;
    ++presentedFrames;
}

int SdlBackend::CreateTexture( int width, int height ) {
    if ( native->texture ) {
        SDL_DestroyTexture( native->texture );
        native->texture = nullptr;
    }
    const Uint32 format = ChooseTextureFormat( native->window, native->renderer );
    native->texture =
        SDL_CreateTexture( native->renderer, format, SDL_TEXTUREACCESS_STREAMING, width, height );
    if ( !native->texture ) {
        return 0;
    }
    SDL_SetTextureBlendMode( native->texture, SDL_BLENDMODE_NONE );
    SDL_SetTextureScaleMode( native->texture, SDL_ScaleModeNearest );
    native->textureWidth = width;
    native->textureHeight = height;
    native->layout = LayoutOf( format );
    native->lookupValid = false;
    return 1;
}

int SdlBackend::UploadFrame( const uint8_t *pixels, int pitch, int width, int height,
                             const HostPaletteEntry *palette ) {
    if ( !native->renderer || !pixels || width <= 0 || height <= 0 ) {
        return 0;
    }
    if ( width != native->textureWidth || height != native->textureHeight || !native->texture ) {
        if ( !CreateTexture( width, height ) ) {
            return 0;
        }
    }
    const bool samePalette =
        native->lookupValid &&
        ( palette ? !native->lookupFromNoPalette &&
                        std::memcmp( palette, native->lookupPalette, sizeof( native->lookupPalette ) ) == 0
                  : native->lookupFromNoPalette );
    if ( !samePalette ) {
        BuildPaletteLookup( palette, native->layout, native->lookup );
        if ( palette ) {
            std::memcpy( native->lookupPalette, palette, sizeof( native->lookupPalette ) );
        }
        native->lookupFromNoPalette = !palette;
        native->lookupValid = true;
    }
    void *texels = nullptr;
    int texturePitch = 0;
    if ( SDL_LockTexture( native->texture, nullptr, &texels, &texturePitch ) != 0 ) {
        return 0;
    }
    ConvertFrame( pixels, pitch, width, height, native->lookup, texels, texturePitch );
    SDL_UnlockTexture( native->texture );
    return 1;
}

void SdlBackend::ShowFrame() {
    if ( !native->renderer ) {
        return;
    }
    SDL_SetRenderDrawColor( native->renderer, 0, 0, 0, 255 );
    SDL_RenderClear( native->renderer );
    int outputWidth = 0;
    int outputHeight = 0;
    if ( native->texture &&
         SDL_GetRendererOutputSize( native->renderer, &outputWidth, &outputHeight ) == 0 ) {
        // The largest picture of the same shape that fits, centred: black bars fill the rest.
        const int pictureWidth = native->textureWidth;
        const int pictureHeight = native->textureHeight;
        SDL_Rect target;
        if ( static_cast<long long>( outputWidth ) * pictureHeight <=
             static_cast<long long>( outputHeight ) * pictureWidth ) {
            target.w = outputWidth;
            target.h =
                static_cast<int>( static_cast<long long>( outputWidth ) * pictureHeight / pictureWidth );
        } else {
            target.h = outputHeight;
            target.w =
                static_cast<int>( static_cast<long long>( outputHeight ) * pictureWidth / pictureHeight );
        }
        target.x = ( outputWidth - target.w ) / 2;
        target.y = ( outputHeight - target.h ) / 2;
        SDL_RenderCopy( native->renderer, native->texture, nullptr, &target );
    }
    SDL_RenderPresent( native->renderer );
}

void SdlBackend::WaitForDeadline() {
    const Clock::time_point deadline = Clock::time_point(
        std::chrono::nanoseconds( native->schedule.NextDeadline( Nanoseconds( Clock::now() ) ) ) );
    // Sleep, never spin: a wake-up that comes a little late delays only this frame, since the
    // schedule counts every deadline from its start, so the rate stays exact.
    std::this_thread::sleep_until( deadline );
}

HostResult SdlBackend::ReadKeys( uint8_t keys[256] ) {
    if ( !hasFocus || !keyboardAcquired ) {
        return DIERR_INPUTLOST;
    }
    int stateCount = 0;
    const Uint8 *state = SDL_GetKeyboardState( &stateCount );
    int keyCount = 0;
    const SdlDikKey *dikKeys = SdlGetDikKeys( &keyCount );
    std::memset( keys, 0, 256 );
    for ( int i = 0; i < keyCount; ++i ) {
        const SdlDikKey &key = dikKeys[i];
        if ( key.scancode < stateCount && state[key.scancode] ) {
            keys[key.dik] = 0x80;
        }
    }
    return HOST_OK;
}

HostResult SdlBackend::AcquireKeyboard() {
    // As in the foreground: the keyboard can be had only while the window is in front.
    if ( !hasFocus ) {
        return DIERR_INPUTLOST;
    }
    keyboardAcquired = 1;
    return HOST_OK;
}

const char *SdlBackend::GetRendererChoice() {
    SDL_RendererInfo info;
    if ( !native->renderer || SDL_GetRendererInfo( native->renderer, &info ) != 0 ) {
        return "";
    }
    std::snprintf( native->rendererChoice, sizeof( native->rendererChoice ), "%s, %s", info.name,
                   native->rendererWhy );
    return native->rendererChoice;
}

void SdlBackend::ReportStatistics() {
    const int countedFrames = presentedFrames - STATISTICS_WARM_UP_FRAMES - 1;
    if ( !native->reportStatistics || native->statisticsReported || countedFrames < 1 ) {
        return;
    }
    native->statisticsReported = true;
    std::fprintf( stderr, "kelto: renderer %s\n", GetRendererChoice() );
    const double seconds =
        std::chrono::duration<double>( native->lastPresent - native->firstCountedPresent ).count();
    std::fprintf( stderr, "kelto: %d frames presented; %d in %.3f s after the first %d: %.3f per second\n",
                  presentedFrames, countedFrames, seconds, STATISTICS_WARM_UP_FRAMES,
                  countedFrames / seconds );
}

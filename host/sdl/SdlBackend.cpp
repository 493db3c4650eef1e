#include "host/sdl/SdlBackend.h"

#include "host/FrameChanges.h"
#include "host/FrameConversion.h"
#include "host/HostWindow.h"
#include "host/sdl/FrameSchedule.h"
#include "host/sdl/PictureScaling.h"
#include "host/sdl/Screenshot.h"
#include "host/sdl/SdlKeyMap.h"

#include <SDL.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <sys/resource.h>

namespace {

typedef std::chrono::steady_clock Clock;

const int PICTURE_WIDTH = 640;
const int PICTURE_HEIGHT = 480;
const int WINDOW_SCALE = 2;       // the window's size in windowed mode, in screen pixels per picture pixel
const int WINDOW_FRAME_ROOM = 64; // left below the window for its title bar and the desktop's panels
const int MAX_FRAME_SPANS = 16;   // more changed pieces than this, and the whole frame is drawn

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

// OpenGL drawn in software (Mesa's llvmpipe) maps hundreds of megabytes, and where the address
// space is too small for it, it crashes inside the driver instead of failing. Under a limit
// below this the game does not try OpenGL at all.
const rlim_t OPENGL_ADDRESS_SPACE = rlim_t( 1 ) << 30;

bool AddressSpaceTooSmallForOpenGl() {
    struct rlimit limit;
    return getrlimit( RLIMIT_AS, &limit ) == 0 && limit.rlim_cur != RLIM_INFINITY &&
           limit.rlim_cur < OPENGL_ADDRESS_SPACE;
}

// The graphics card's renderer where there is one; else SDL's software renderer, writing
// straight into the window's shared-memory image. A renderer named in SDL_RENDER_DRIVER is
// taken as it is. No vsync either way: the frame schedule paces the game, so that it runs at
// the same speed on a 60, 75 or 144 Hz display, and on one without any refresh at all.
// `why` says which of these it was, for the statistics.
SDL_Renderer *CreateRenderer( SDL_Window *window, const char *&why ) {
    const char *chosenDriver = SDL_GetHint( SDL_HINT_RENDER_DRIVER );
    const bool named = chosenDriver && *chosenDriver;
    if ( !named && AddressSpaceTooSmallForOpenGl() ) {
        why = "as the address space is limited below what OpenGL needs";
        SDL_SetHint( SDL_HINT_FRAMEBUFFER_ACCELERATION, "0" );
        return SDL_CreateRenderer( window, -1, SDL_RENDERER_SOFTWARE );
    }
    SDL_Renderer *renderer = SDL_CreateRenderer( window, -1, SDL_RENDERER_ACCELERATED );
    why = named ? "named in SDL_RENDER_DRIVER" : "accelerated";
    if ( renderer && !named && DrawsWithSoftwareOpenGl( renderer ) ) {
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
    SDL_Texture *multiple = nullptr;  // owned: the whole multiple that smooth scaling softens
    int textureWidth = 0;
    int textureHeight = 0;
    int multipleWidth = 0;
    int multipleHeight = 0;

    // SDL's software renderer draws into the window's own image, which keeps what it showed;
    // there only the pieces of a frame that changed are drawn again.
    bool drawsInPlace = false;
    bool wholeFrameDue = true;  // the next show draws everything (new window, size, palette)
    std::vector<uint8_t> shown; // the last frame shown, rows packed: for changes and screenshots
    FrameSpan spans[MAX_FRAME_SPANS] = {};
    int spanCount = -1; // pieces changed since the last show; -1 for the whole frame

    HostKeyState keyState;
    HostPointer pointer;
    std::vector<SDL_GameController *> pads; // owned: every gamepad plugged in
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
    : native( new Native ), windowed( windowed ), fullScreen( !windowed ), scaleMode( SCALE_SMOOTH ),
      gamepad( 0 ), padDeadZone( 0 ), sdlStarted( 0 ), closePosted( 0 ), hasFocus( 1 ), keyboardAcquired( 1 ),
      pacing( 1 ), presentedFrames( 0 ) {
}

SdlBackend::~SdlBackend() {
    audio.Close();
    CloseWindow();
    for ( SDL_GameController *pad : native->pads ) {
        SDL_GameControllerClose( pad );
    }
    if ( sdlStarted ) {
        SDL_QuitSubSystem( SDL_INIT_GAMECONTROLLER );
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
    // A game without its gamepad is still a game: a failure here leaves the keyboard alone.
    // Pads already plugged in arrive as device events like those plugged in later.
    if ( gamepad && SDL_InitSubSystem( SDL_INIT_GAMECONTROLLER ) != 0 ) {
        std::fprintf( stderr, "kelto: no gamepads: %s\n", SDL_GetError() );
    }
    native->hangUpTaken = TakeHangUp( &native->hangUpBefore );
    return 1;
}

void SdlBackend::SetGamepad( int enabled, int deadZonePercent ) {
    gamepad = enabled;
    padDeadZone = 32767 * deadZonePercent / 100;
    if ( gamepad && sdlStarted && !SDL_WasInit( SDL_INIT_GAMECONTROLLER ) &&
         SDL_InitSubSystem( SDL_INIT_GAMECONTROLLER ) != 0 ) {
        std::fprintf( stderr, "kelto: no gamepads: %s\n", SDL_GetError() );
    }
}

void SdlBackend::SetScaleMode( int mode ) {
    scaleMode = mode;
    native->wholeFrameDue = true;
}

HostKeyState &SdlBackend::GetKeyState() {
    return native->keyState;
}

// Twice the picture's size where the desktop has room for it and a title bar, else as large
// as fits.
void SdlBackend::WindowedSize( int &width, int &height ) {
    SDL_Rect usable = { 0, 0, PICTURE_WIDTH * WINDOW_SCALE,
                        PICTURE_HEIGHT * WINDOW_SCALE + WINDOW_FRAME_ROOM };
    SDL_DisplayMode desktop;
    if ( SDL_GetDesktopDisplayMode( 0, &desktop ) == 0 ) {
        usable.w = desktop.w;
        usable.h = desktop.h;
    }
    SDL_GetDisplayUsableBounds( 0, &usable );
    int scale = WINDOW_SCALE;
    while ( scale > 1 &&
            ( PICTURE_WIDTH * scale > usable.w || PICTURE_HEIGHT * scale + WINDOW_FRAME_ROOM > usable.h ) ) {
        --scale;
    }
    width = PICTURE_WIDTH * scale;
    height = PICTURE_HEIGHT * scale;
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
        WindowedSize( width, height );
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
    fullScreen = !windowed;
    SDL_ShowCursor( fullScreen ? SDL_DISABLE : SDL_ENABLE );
    SDL_RendererInfo info;
    native->drawsInPlace =
        SDL_GetRendererInfo( native->renderer, &info ) == 0 && std::strcmp( info.name, "software" ) == 0;
    native->wholeFrameDue = true;
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
    if ( native->multiple ) {
        SDL_DestroyTexture( native->multiple );
        native->multiple = nullptr;
        native->multipleWidth = 0;
        native->multipleHeight = 0;
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
        posted += HandleEvent( event );
    }
    // Block only while there is a window to wake up for, so that a wait can never hang.
    while ( wait && !posted && native->window && HostGetMainWindow() ) {
        if ( !SDL_WaitEvent( &event ) ) {
            return;
        }
        posted += HandleEvent( event );
        while ( SDL_PollEvent( &event ) ) {
            posted += HandleEvent( event );
        }
    }
}

int SdlBackend::HandleEvent( const SDL_Event &event ) {
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
        return HandleKeyEvent( event );
    case SDL_CONTROLLERDEVICEADDED:
    case SDL_CONTROLLERDEVICEREMOVED:
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP:
    case SDL_CONTROLLERAXISMOTION:
        return HandlePadEvent( event );
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        ForgetPicture( event.type == SDL_RENDER_DEVICE_RESET );
        return 0;
    case SDL_MOUSEMOTION:
        PointAt( event.motion.x, event.motion.y, 0 );
        return 0;
    case SDL_MOUSEBUTTONDOWN:
        if ( event.button.button == SDL_BUTTON_LEFT ) {
            PointAt( event.button.x, event.button.y, 1 );
        }
        return 0;
    default:
        return 0;
    }
}

// The mouse's window coordinates are in the window's units, which a high-density screen makes
// fewer than its pixels; the picture stands where the scaling puts it on the pixels.
void SdlBackend::PointAt( int windowX, int windowY, int click ) {
    int windowWidth = 0;
    int windowHeight = 0;
    int outputWidth = 0;
    int outputHeight = 0;
    if ( !native->window || !native->renderer || native->textureWidth <= 0 ) {
        return;
    }
    SDL_GetWindowSize( native->window, &windowWidth, &windowHeight );
    if ( SDL_GetRendererOutputSize( native->renderer, &outputWidth, &outputHeight ) != 0 ||
         windowWidth <= 0 || windowHeight <= 0 ) {
        return;
    }
    const PicturePlace place =
        PlacePicture( scaleMode, outputWidth, outputHeight, native->textureWidth, native->textureHeight );
    int x = 0;
    int y = 0;
    if ( !PicturePointAt( place, native->textureWidth, native->textureHeight,
                          int( int64_t( windowX ) * outputWidth / windowWidth ),
                          int( int64_t( windowY ) * outputHeight / windowHeight ), x, y ) ) {
        return;
    }
    if ( click ) {
        native->pointer.Click( x, y );
    } else {
        native->pointer.Move( x, y );
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
        native->keyState.ReleaseAll();
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
        native->wholeFrameDue = true;
        ShowFrame();
        return 0;
    default:
        return 0;
    }
}

// Alt+Enter and F11 switch the window, F12 saves the frame; the game sees none of them, so
// that Enter held with Alt never reads as Enter. 1 when the key was one of them.
int SdlBackend::HandleShortcut( const SDL_Event &event ) {
    const SDL_KeyboardEvent &key = event.key;
    const SDL_Scancode scancode = key.keysym.scancode;
    const bool enter = scancode == SDL_SCANCODE_RETURN || scancode == SDL_SCANCODE_KP_ENTER;
    const bool altEnter = enter && ( key.keysym.mod & KMOD_ALT ) != 0;
    if ( !altEnter && scancode != SDL_SCANCODE_F11 && scancode != SDL_SCANCODE_F12 ) {
        return 0;
    }
    if ( key.type == SDL_KEYDOWN && !key.repeat ) {
        if ( scancode == SDL_SCANCODE_F12 ) {
            SaveScreenshot();
        } else {
            ToggleFullScreen();
        }
    }
    return 1;
}

int SdlBackend::HandleKeyEvent( const SDL_Event &event ) {
    const SDL_KeyboardEvent &key = event.key;
    if ( HandleShortcut( event ) ) {
        return 0;
    }
    const int keyInput = SdlScancodeToDik( key.keysym.scancode );
    if ( key.type == SDL_KEYUP ) {
        native->keyState.Release( keyInput );
    } else if ( !key.repeat && keyInput != 0 ) {
        native->keyState.Press( keyInput );
    }
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

int SdlBackend::HandlePadEvent( const SDL_Event &event ) {
    HostKeyState &keys = native->keyState;
    switch ( event.type ) {
    case SDL_CONTROLLERDEVICEADDED:
        if ( gamepad ) {
            SDL_GameController *pad = SDL_GameControllerOpen( event.cdevice.which );
            if ( pad ) {
                native->pads.push_back( pad );
            }
        }
        return 0;
    case SDL_CONTROLLERDEVICEREMOVED:
        for ( size_t i = 0; i < native->pads.size(); ++i ) {
            SDL_Joystick *stick = SDL_GameControllerGetJoystick( native->pads[i] );
            if ( SDL_JoystickInstanceID( stick ) == event.cdevice.which ) {
                SDL_GameControllerClose( native->pads[i] );
                native->pads.erase( native->pads.begin() + static_cast<long>( i ) );
                // What the pad held is let go with it, so that no tank drives on alone.
                keys.ReleasePad();
                break;
            }
        }
        return 0;
    case SDL_CONTROLLERBUTTONDOWN: {
        const int input = HOST_INPUT_PAD_BUTTON + event.cbutton.button;
        keys.Press( input );
        // The quit buttons do what Escape does: the window hears of the key.
        return keys.IsBound( input, DIK_ESCAPE ) ? PostToWindow( WM_KEYDOWN, VK_ESCAPE, 1 ) : 0;
    }
    case SDL_CONTROLLERBUTTONUP:
        keys.Release( HOST_INPUT_PAD_BUTTON + event.cbutton.button );
        return 0;
    case SDL_CONTROLLERAXISMOTION:
        if ( event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTX ||
             event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY ) {
            keys.MoveStick( event.caxis.axis == SDL_CONTROLLER_AXIS_LEFTY, event.caxis.value, padDeadZone );
        }
        return 0;
    default:
        return 0;
    }
}

void SdlBackend::ToggleFullScreen() {
    if ( !native->window ) {
        return;
    }
    if ( fullScreen ) {
        int width = 0;
        int height = 0;
        WindowedSize( width, height );
        SDL_SetWindowFullscreen( native->window, 0 );
        SDL_SetWindowResizable( native->window, SDL_TRUE );
        SDL_SetWindowSize( native->window, width, height );
        SDL_SetWindowPosition( native->window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED );
        SDL_ShowCursor( SDL_ENABLE );
    } else {
        // Covering the desktop first makes it full screen also where no window manager
        // answers the full-screen request (as on a bare X server).
        SDL_DisplayMode desktop;
        if ( SDL_GetDesktopDisplayMode( SDL_GetWindowDisplayIndex( native->window ), &desktop ) == 0 ) {
            SDL_SetWindowPosition( native->window, 0, 0 );
            SDL_SetWindowSize( native->window, desktop.w, desktop.h );
        }
        SDL_SetWindowFullscreen( native->window, SDL_WINDOW_FULLSCREEN_DESKTOP );
        SDL_ShowCursor( SDL_DISABLE );
    }
    fullScreen = !fullScreen;
    native->wholeFrameDue = true;
    ShowFrame();
}

int SdlBackend::SaveScreenshot() {
    if ( native->shown.empty() ) {
        return 0;
    }
    const std::string path = ScreenshotChoosePath();
    const HostPaletteEntry *palette = native->lookupFromNoPalette ? nullptr : native->lookupPalette;
    if ( !ScreenshotWritePng( path, native->shown.data(), native->textureWidth, native->textureWidth,
                              native->textureHeight, palette ) ) {
        std::fprintf( stderr, "kelto: cannot save the screenshot %s\n", path.c_str() );
        return 0;
    }
    std::printf( "%s\n", path.c_str() );
    std::fflush( stdout );
    return 1;
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

// The renderer lost what it showed (and, with its device, the textures themselves): only the
// changed pieces of a frame are converted and drawn, so the next frame would leave the rest
// lost for as long as the scene stands still. It is made and drawn whole instead.
void SdlBackend::ForgetPicture( int texturesLost ) {
    if ( texturesLost ) {
        if ( native->texture ) {
            SDL_DestroyTexture( native->texture );
            native->texture = nullptr;
        }
        if ( native->multiple ) {
            SDL_DestroyTexture( native->multiple );
            native->multiple = nullptr;
            native->multipleWidth = 0;
            native->multipleHeight = 0;
        }
    }
    native->wholeFrameDue = true;
}

// Converts only what changed since the last frame where the texture still holds the rest;
// a new texture or palette converts everything.
int SdlBackend::UploadFrame( const uint8_t *pixels, int pitch, int width, int height,
                             const HostPaletteEntry *palette ) {
    if ( !native->renderer || !pixels || width <= 0 || height <= 0 ) {
        return 0;
    }
    bool whole = false;
    if ( width != native->textureWidth || height != native->textureHeight || !native->texture ) {
        if ( !CreateTexture( width, height ) ) {
            return 0;
        }
        whole = true;
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
        whole = true;
    }
    if ( whole ) {
        native->shown.assign( static_cast<size_t>( width ) * height, 0 );
        for ( int y = 0; y < height; ++y ) {
            std::memcpy( &native->shown[static_cast<size_t>( y ) * width],
                         pixels + static_cast<size_t>( y ) * pitch, width );
        }
        native->spanCount = -1;
    } else {
        native->spanCount = FindFrameChanges( pixels, pitch, native->shown.data(), width, height,
                                              native->spans, MAX_FRAME_SPANS );
    }
    const FrameSpan all = { 0, height, 0, width };
    const FrameSpan *spans = native->spanCount < 0 ? &all : native->spans;
    const int spanCount = native->spanCount < 0 ? 1 : native->spanCount;
    for ( int i = 0; i < spanCount; ++i ) {
        const FrameSpan &span = spans[i];
        const SDL_Rect area = { span.left, span.top, span.right - span.left, span.bottom - span.top };
        void *texels = nullptr;
        int texturePitch = 0;
        if ( SDL_LockTexture( native->texture, &area, &texels, &texturePitch ) != 0 ) {
            return 0;
        }
        ConvertFrame( pixels + static_cast<size_t>( span.top ) * pitch + span.left, pitch, area.w, area.h,
                      native->lookup, texels, texturePitch );
        SDL_UnlockTexture( native->texture );
    }
    return 1;
}

// Draws the texture at its place: through the whole multiple first when smooth scaling
// softens it, else straight; where the window keeps its picture, only the changed pieces.
void SdlBackend::DrawPicture( int outputWidth, int outputHeight ) {
    const PicturePlace place =
        PlacePicture( scaleMode, outputWidth, outputHeight, native->textureWidth, native->textureHeight );
    const bool inPlace = native->drawsInPlace && !native->wholeFrameDue && !place.smoothed &&
                         place.width == native->textureWidth * place.multiple &&
                         place.height == native->textureHeight * place.multiple;
    if ( inPlace && native->spanCount >= 0 ) {
        for ( int i = 0; i < native->spanCount; ++i ) {
            const FrameSpan &span = native->spans[i];
            const SDL_Rect source = { span.left, span.top, span.right - span.left, span.bottom - span.top };
            const SDL_Rect target = { place.x + span.left * place.multiple,
                                      place.y + span.top * place.multiple, source.w * place.multiple,
                                      source.h * place.multiple };
            SDL_RenderCopy( native->renderer, native->texture, &source, &target );
        }
        return;
    }
    if ( place.width < outputWidth || place.height < outputHeight || !native->drawsInPlace ) {
        SDL_RenderClear( native->renderer );
    }
    const SDL_Rect target = { place.x, place.y, place.width, place.height };
    SDL_Texture *picture = native->texture;
    if ( place.smoothed ) {
        const int width = native->textureWidth * place.multiple;
        const int height = native->textureHeight * place.multiple;
        if ( !native->multiple || native->multipleWidth != width || native->multipleHeight != height ) {
            if ( native->multiple ) {
                SDL_DestroyTexture( native->multiple );
            }
            native->multiple =
                SDL_CreateTexture( native->renderer, SDL_GetWindowPixelFormat( native->window ),
                                   SDL_TEXTUREACCESS_TARGET, width, height );
            native->multipleWidth = width;
            native->multipleHeight = height;
            if ( native->multiple ) {
                SDL_SetTextureBlendMode( native->multiple, SDL_BLENDMODE_NONE );
                SDL_SetTextureScaleMode( native->multiple, SDL_ScaleModeLinear );
            }
        }
        // Without a target texture the picture is still shown, unsoftened.
        if ( native->multiple && SDL_SetRenderTarget( native->renderer, native->multiple ) == 0 ) {
            SDL_RenderCopy( native->renderer, native->texture, nullptr, nullptr );
            SDL_SetRenderTarget( native->renderer, nullptr );
            picture = native->multiple;
        }
    }
    SDL_RenderCopy( native->renderer, picture, nullptr, &target );
    native->wholeFrameDue = false;
}

void SdlBackend::ShowFrame() {
    if ( !native->renderer ) {
        return;
    }
    SDL_SetRenderDrawColor( native->renderer, 0, 0, 0, 255 );
    int outputWidth = 0;
    int outputHeight = 0;
    if ( !native->texture ||
         SDL_GetRendererOutputSize( native->renderer, &outputWidth, &outputHeight ) != 0 ) {
        SDL_RenderClear( native->renderer );
        native->wholeFrameDue = true;
    } else if ( native->drawsInPlace && !native->wholeFrameDue && native->spanCount == 0 ) {
        // Nothing changed and the window still shows it: nothing to hand over.
        return;
    } else {
        DrawPicture( outputWidth, outputHeight );
    }
    native->spanCount = 0;
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
    native->keyState.Read( keys );
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

int SdlBackend::LoadSound( const char *, const uint8_t *bytes, size_t size ) {
    return audio.Load( bytes, size );
}

int SdlBackend::StartSound( int sound, int pan, int volume, int loop ) {
    return audio.Start( sound, pan, volume, loop );
}

void SdlBackend::StopSound( int voice ) {
    audio.Stop( voice );
}

int SdlBackend::TakeLastInput() {
    return native->keyState.TakeLastPress();
}

int SdlBackend::ReadPointer( HostPointerState &state ) {
    native->pointer.Read( state );
    return 1;
}

#include "host/sdl/SdlBackend.h"
#include "host/HostKeyState.h"
#include "host/HostWindow.h"
#include "tests/support/TestScreen.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

// The SDL backend on SDL's display-less video driver: events posted as the window messages
// the game expects, the keyboard lost with the focus, and frames shown through the palette,
// scaled with black bars around them.

namespace {

std::vector<HostMessage> received;

intptr_t RecordingWindowProc( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    received.push_back( HostMessage{ window, message, wParam, lParam } );
    return HostDefWindowProc( window, message, wParam, lParam );
}

class SdlBackendTest : public ::testing::Test {
protected:
    SdlBackendTest() : backend( 1 ) {}

    void SetUp() override {
        SDL_SetHint( SDL_HINT_VIDEODRIVER, "dummy" );
        HostResetWindows();
        received.clear();
        HostSetBackend( &backend );
        ASSERT_EQ( 1, backend.Init() ) << backend.GetError();
        window = MakeTestWindow( RecordingWindowProc );
        ASSERT_NE( nullptr, window );
        backend.SetPacing( 0 );
        Deliver(); // whatever SDL says about the new window
        received.clear();
    }

    void TearDown() override {
        HostResetWindows();
        HostSetBackend( nullptr );
    }

    // Hands every waiting message to the window procedure.
    void Deliver() {
        HostMessage message;
        while ( HostPeekMessage( &message, nullptr, PM_REMOVE ) ) {
            HostDispatchMessage( &message );
        }
    }

    static void PushWindowEvent( Uint8 windowEvent ) {
        SDL_Event event = {};
        event.type = SDL_WINDOWEVENT;
        event.window.event = windowEvent;
        SDL_PushEvent( &event );
    }

    static void PushKey( Uint32 type, SDL_Keycode keycode, SDL_Scancode scancode ) {
        SDL_Event event = {};
        event.type = type;
        event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        event.key.keysym.sym = keycode;
        event.key.keysym.scancode = scancode;
        SDL_PushEvent( &event );
    }

    int CountReceived( uint32_t message ) const {
        int count = 0;
        for ( const HostMessage &m : received ) {
            count += m.message == message;
        }
        return count;
    }

    // The colour on the window at (x, y), as 0xRRGGBB.
    static uint32_t WindowColour( int x, int y ) {
        SDL_Window *sdlWindow = nullptr;
        for ( Uint32 id = 1; id < 64 && !sdlWindow; ++id ) {
            sdlWindow = SDL_GetWindowFromID( id );
        }
        SDL_Surface *surface = sdlWindow ? SDL_GetWindowSurface( sdlWindow ) : nullptr;
        if ( !surface || x < 0 || y < 0 || x >= surface->w || y >= surface->h ) {
            return 0xFFFFFFFFu;
        }
        const uint8_t *row = static_cast<const uint8_t *>( surface->pixels ) + y * surface->pitch;
        Uint32 pixel = 0;
        std::memcpy( &pixel, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel );
        Uint8 red, green, blue;
        SDL_GetRGB( pixel, surface->format, &red, &green, &blue );
        return ( static_cast<uint32_t>( red ) << 16 ) | ( green << 8 ) | blue;
    }

    SdlBackend backend;
    HostWindow *window = nullptr;
};

} // namespace

TEST_F( SdlBackendTest, FocusLossPausesTheGameAndTheKeyboardStaysLostUntilTakenBack ) {
    uint8_t keys[256];
    EXPECT_EQ( HOST_OK, backend.ReadKeys( keys ) );

    PushWindowEvent( SDL_WINDOWEVENT_FOCUS_LOST );
    Deliver();
    ASSERT_EQ( 1, CountReceived( WM_ACTIVATEAPP ) );
    EXPECT_EQ( 0u, received.back().wParam );
    EXPECT_EQ( DIERR_INPUTLOST, backend.ReadKeys( keys ) );
    EXPECT_NE( HOST_OK, backend.AcquireKeyboard() ); // not while another window is in front

    PushWindowEvent( SDL_WINDOWEVENT_FOCUS_GAINED );
    PushWindowEvent( SDL_WINDOWEVENT_FOCUS_GAINED ); // said twice, told once
    Deliver();
    ASSERT_EQ( 2, CountReceived( WM_ACTIVATEAPP ) );
    EXPECT_EQ( 1u, received.back().wParam );
    EXPECT_EQ( DIERR_INPUTLOST, backend.ReadKeys( keys ) );
    EXPECT_EQ( HOST_OK, backend.AcquireKeyboard() );
    EXPECT_EQ( HOST_OK, backend.ReadKeys( keys ) );
}

TEST_F( SdlBackendTest, EscapeArrivesAsTheVirtualKeyWithItsScanCode ) {
    PushKey( SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE );
    PushKey( SDL_KEYDOWN, SDLK_RIGHT, SDL_SCANCODE_RIGHT );
    PushKey( SDL_KEYUP, SDLK_RIGHT, SDL_SCANCODE_RIGHT );
    Deliver();
    ASSERT_EQ( 3u, received.size() );
    EXPECT_EQ( WM_KEYDOWN, received[0].message );
    EXPECT_EQ( VK_ESCAPE, received[0].wParam );
    EXPECT_EQ( 0x01, ( received[0].lParam >> 16 ) & 0xFF );
    EXPECT_EQ( WM_KEYDOWN, received[1].message );
    EXPECT_EQ( 0x27u, received[1].wParam );
    EXPECT_NE( 0, received[1].lParam & ( 1 << 24 ) ); // an extended key
    EXPECT_EQ( WM_KEYUP, received[2].message );
}

TEST_F( SdlBackendTest, CloseButtonAndQuitRequestCloseTheWindowOnce ) {
    PushWindowEvent( SDL_WINDOWEVENT_CLOSE );
    SDL_Event quit = {};
    quit.type = SDL_QUIT;
    SDL_PushEvent( &quit );
    Deliver();
    EXPECT_EQ( 1, CountReceived( WM_CLOSE ) );
    EXPECT_EQ( 1, CountReceived( WM_DESTROY ) ); // the default handling destroyed the window
    EXPECT_EQ( nullptr, HostGetMainWindow() );
}

TEST_F( SdlBackendTest, WaitingGoesOnPastEventsThatPostNothing ) {
    SDL_Event motion = {};
    motion.type = SDL_MOUSEMOTION;
    SDL_PushEvent( &motion );
    PushKey( SDL_KEYDOWN, SDLK_ESCAPE, SDL_SCANCODE_ESCAPE );
    HostMessage message;
    EXPECT_EQ( 1, HostGetMessage( &message, nullptr ) ); // blocks until the key's message is posted
    EXPECT_EQ( WM_KEYDOWN, message.message );
}

TEST_F( SdlBackendTest, WithoutAccelerationTheSoftwareRendererDraws ) {
    // The display-less driver has no accelerated renderer: the fallback must still give one.
    if ( SDL_GetHint( SDL_HINT_RENDER_DRIVER ) != nullptr ) {
        GTEST_SKIP() << "a renderer is named in SDL_RENDER_DRIVER";
    }
    EXPECT_STREQ( "software, as nothing accelerated is there", backend.GetRendererChoice() );
}

TEST_F( SdlBackendTest, FramesShowThroughTheCurrentPaletteWithBlackBars ) {
    const int width = 640, height = 480, pitch = backend.GetSurfacePitch( width );
    EXPECT_EQ( 0, pitch % 16 );
    std::vector<uint8_t> frame( pitch * height, 1 );
    frame[0] = 2;
    frame[( height - 1 ) * pitch + width - 1] = 3;
    HostPaletteEntry palette[256] = {};
    palette[1] = HostPaletteEntry{ 10, 20, 30, 0 };
    palette[2] = HostPaletteEntry{ 255, 0, 0, 0 };
    palette[3] = HostPaletteEntry{ 0, 0, 255, 0 };

    // The display-less desktop is smaller than twice the picture: the window is 640 x 480.
    backend.Present( frame.data(), pitch, width, height, palette );
    EXPECT_EQ( 0xFF0000u, WindowColour( 0, 0 ) );
    EXPECT_EQ( 0x0A141Eu, WindowColour( 320, 240 ) );
    EXPECT_EQ( 0x0000FFu, WindowColour( 639, 479 ) );

    // A new palette is seen at the next frame, however little else changed.
    palette[1] = HostPaletteEntry{ 40, 50, 60, 0 };
    backend.Present( frame.data(), pitch, width, height, palette );
    EXPECT_EQ( 0x28323Cu, WindowColour( 320, 240 ) );

    // A wider window: the picture keeps its shape in the middle, black on both sides.
    SDL_Window *sdlWindow = nullptr;
    for ( Uint32 id = 1; id < 64 && !sdlWindow; ++id ) {
        sdlWindow = SDL_GetWindowFromID( id );
    }
    ASSERT_NE( nullptr, sdlWindow );
    SDL_SetWindowSize( sdlWindow, 800, 480 );
    Deliver();
    backend.Present( frame.data(), pitch, width, height, palette );
    EXPECT_EQ( 0x000000u, WindowColour( 79, 240 ) );
    EXPECT_EQ( 0xFF0000u, WindowColour( 80, 0 ) );
    EXPECT_EQ( 0x0000FFu, WindowColour( 719, 479 ) );
    EXPECT_EQ( 0x000000u, WindowColour( 720, 240 ) );
    EXPECT_EQ( 3, backend.GetPresentedFrames() );
}

// The mouse reaches the game in the picture's pixels: in a window 800 x 480 the picture
// stands between black bars 80 pixels wide, and a click on a bar is nobody's. A right click
// is no click; a press let go before the read still is one.
TEST_F( SdlBackendTest, TheMouseIsReadInThePicturesPixelsAndNotOnTheBars ) {
    const int width = 640, height = 480, pitch = backend.GetSurfacePitch( width );
    std::vector<uint8_t> frame( pitch * height, 1 );
    HostPaletteEntry palette[256] = {};
    HostPointerState state;
    const auto push = []( Uint32 type, int x, int y, Uint8 button ) {
        SDL_Event event = {};
        event.type = type;
        if ( type == SDL_MOUSEMOTION ) {
            event.motion.x = x;
            event.motion.y = y;
        } else {
            event.button.x = x;
            event.button.y = y;
            event.button.button = button;
            event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        }
        SDL_PushEvent( &event );
    };
    // Before the first frame there is no picture to point at.
    push( SDL_MOUSEBUTTONDOWN, 100, 100, SDL_BUTTON_LEFT );
    Deliver();
    ASSERT_EQ( 1, HostReadPointer( state ) );
    EXPECT_EQ( 0, state.clicked );
    SDL_Window *sdlWindow = nullptr;
    for ( Uint32 id = 1; id < 64 && !sdlWindow; ++id ) {
        sdlWindow = SDL_GetWindowFromID( id );
    }
    ASSERT_NE( nullptr, sdlWindow );
    SDL_SetWindowSize( sdlWindow, 800, 480 );
    Deliver();
    backend.Present( frame.data(), pitch, width, height, palette );
    const struct {
        Uint32 type;
        int x, y;
        Uint8 button;
        int moved, clicked, pictureX, pictureY;
    } cases[] = {
        { SDL_MOUSEMOTION, 719, 479, 0, 1, 0, 639, 479 },
        { SDL_MOUSEMOTION, 80, 0, 0, 1, 0, 0, 0 },
        { SDL_MOUSEMOTION, 79, 10, 0, 0, 0, 0, 0 }, // on a bar: the pointer stays put
        { SDL_MOUSEMOTION, 720, 10, 0, 0, 0, 0, 0 },
        { SDL_MOUSEBUTTONDOWN, 400, 240, SDL_BUTTON_LEFT, 1, 1, 320, 240 },
        { SDL_MOUSEBUTTONDOWN, 81, 1, SDL_BUTTON_RIGHT, 0, 0, 320, 240 },
        { SDL_MOUSEBUTTONDOWN, 79, 240, SDL_BUTTON_LEFT, 0, 0, 320, 240 },
        { SDL_MOUSEBUTTONDOWN, 80, 479, SDL_BUTTON_LEFT, 1, 1, 0, 479 },
    };
    for ( const auto &test : cases ) {
        SCOPED_TRACE( std::to_string( test.x ) + "," + std::to_string( test.y ) );
        push( test.type, test.x, test.y, test.button );
        if ( test.type == SDL_MOUSEBUTTONDOWN ) {
            push( SDL_MOUSEBUTTONUP, test.x, test.y, test.button );
        }
        Deliver();
        ASSERT_EQ( 1, HostReadPointer( state ) );
        const int got[] = { state.moved, state.clicked, state.x, state.y };
        const int want[] = { test.moved, test.clicked, test.pictureX, test.pictureY };
        EXPECT_TRUE( std::equal( got, got + 4, want ) )
            << got[0] << " " << got[1] << " " << got[2] << " " << got[3];
        if ( test.clicked ) {
            EXPECT_EQ( state.clickX, test.pictureX );
            EXPECT_EQ( state.clickY, test.pictureY );
        }
    }
}

TEST_F( SdlBackendTest, OnlyTheChangedPiecesAreDrawnAgainAndTheWholeFrameStillShows ) {
    const int width = 640, height = 480, pitch = backend.GetSurfacePitch( width );
    std::vector<uint8_t> frame( pitch * height, 1 );
    HostPaletteEntry palette[256] = {};
    palette[1] = HostPaletteEntry{ 10, 20, 30, 0 };
    palette[2] = HostPaletteEntry{ 255, 0, 0, 0 };
    backend.Present( frame.data(), pitch, width, height, palette );
    frame[100 * pitch + 200] = 2;
    frame[101 * pitch + 639] = 2;
    frame[400 * pitch + 0] = 2;
    backend.Present( frame.data(), pitch, width, height, palette );
    EXPECT_EQ( 0xFF0000u, WindowColour( 200, 100 ) );
    EXPECT_EQ( 0xFF0000u, WindowColour( 639, 101 ) );
    EXPECT_EQ( 0xFF0000u, WindowColour( 0, 400 ) );
    EXPECT_EQ( 0x0A141Eu, WindowColour( 201, 100 ) );
    frame[100 * pitch + 200] = 1; // changed back
    backend.Present( frame.data(), pitch, width, height, palette );
    EXPECT_EQ( 0x0A141Eu, WindowColour( 200, 100 ) );
    EXPECT_EQ( 0xFF0000u, WindowColour( 0, 400 ) );
}

// A renderer that lost its targets or its device lost the picture: the next frame shows whole
// even where nothing changed. The picture's loss is stood in for by painting the window
// green; without a reset, a frame with nothing changed leaves the green where it is.
TEST_F( SdlBackendTest, AfterARendererResetTheNextFrameShowsWhole ) {
    const int width = 640, height = 480, pitch = backend.GetSurfacePitch( width );
    std::vector<uint8_t> frame( pitch * height, 1 );
    frame[0] = 2;
    frame[( height - 1 ) * pitch + width - 1] = 2;
    const std::vector<uint8_t> other( frame.size(), 3 );
    HostPaletteEntry palette[256] = {};
    palette[1] = HostPaletteEntry{ 10, 20, 30, 0 };
    palette[2] = HostPaletteEntry{ 255, 0, 0, 0 };
    const uint32_t green = 0x00FF00u;
    const struct {
        Uint32 reset; // 0: none
        uint32_t corner, middle;
    } cases[] = {
        { 0, green, green },
        { SDL_RENDER_TARGETS_RESET, 0xFF0000u, 0x0A141Eu },
        { SDL_RENDER_DEVICE_RESET, 0xFF0000u, 0x0A141Eu },
    };
    for ( const auto &test : cases ) {
        SCOPED_TRACE( test.reset );
        // Every pixel changes twice, so the frame shows whole whatever the last case left.
        backend.Present( other.data(), pitch, width, height, palette );
        backend.Present( frame.data(), pitch, width, height, palette );
        ASSERT_EQ( 0xFF0000u, WindowColour( 0, 0 ) );
        SDL_Window *sdlWindow = SDL_GetWindowFromID( 1 );
        SDL_Surface *surface = sdlWindow ? SDL_GetWindowSurface( sdlWindow ) : nullptr;
        ASSERT_NE( nullptr, surface );
        SDL_FillRect( surface, nullptr, SDL_MapRGB( surface->format, 0, 255, 0 ) );
        if ( test.reset ) {
            SDL_Event event = {};
            event.type = test.reset;
            SDL_PushEvent( &event );
        }
        Deliver();
        backend.Present( frame.data(), pitch, width, height, palette );
        EXPECT_EQ( test.corner, WindowColour( 0, 0 ) );
        EXPECT_EQ( test.corner, WindowColour( width - 1, height - 1 ) );
        EXPECT_EQ( test.middle, WindowColour( width / 2, height / 2 ) );
    }
}

// SDL's virtual gamepad, plugged in and out while the backend runs.
TEST_F( SdlBackendTest, AGamepadPluggedInDrivesAndFiresAndItsBackButtonQuits ) {
    // The display-less window never gets the keyboard focus, without which SDL holds back
    // gamepad events.
    SDL_SetHint( SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1" );
    backend.SetGamepad( 1, 25 );
    const int buttonA = HOST_INPUT_PAD_BUTTON + SDL_CONTROLLER_BUTTON_A;
    const int buttonBack = HOST_INPUT_PAD_BUTTON + SDL_CONTROLLER_BUTTON_BACK;
    backend.GetKeyState().Bind( DIK_SPACE, { DIK_SPACE, buttonA } );
    backend.GetKeyState().Bind( DIK_LEFT, { DIK_LEFT, HOST_INPUT_STICK_LEFT } );
    backend.GetKeyState().Bind( DIK_ESCAPE, { DIK_ESCAPE, buttonBack } );

    SDL_VirtualJoystickDesc description = {};
    description.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    description.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    description.naxes = SDL_CONTROLLER_AXIS_MAX;
    description.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
    const int device = SDL_JoystickAttachVirtualEx( &description );
    ASSERT_GE( device, 0 ) << SDL_GetError();
    SDL_Joystick *joystick = SDL_JoystickOpen( device );
    ASSERT_NE( nullptr, joystick );
    Deliver();

    uint8_t keys[256];
    SDL_JoystickSetVirtualButton( joystick, SDL_CONTROLLER_BUTTON_A, 1 );
    SDL_JoystickSetVirtualAxis( joystick, SDL_CONTROLLER_AXIS_LEFTX, -30000 );
    Deliver();
    ASSERT_EQ( HOST_OK, backend.ReadKeys( keys ) );
    EXPECT_EQ( 0x80, keys[DIK_SPACE] );
    EXPECT_EQ( 0x80, keys[DIK_LEFT] );

    SDL_JoystickSetVirtualAxis( joystick, SDL_CONTROLLER_AXIS_LEFTX, -5000 ); // inside the dead zone
    SDL_JoystickSetVirtualButton( joystick, SDL_CONTROLLER_BUTTON_BACK, 1 );
    Deliver();
    ASSERT_EQ( HOST_OK, backend.ReadKeys( keys ) );
    EXPECT_EQ( 0, keys[DIK_LEFT] );
    EXPECT_EQ( 0x80, keys[DIK_SPACE] );
    EXPECT_EQ( 1, CountReceived( WM_KEYDOWN ) );
    EXPECT_TRUE( !received.empty() && received.back().wParam == VK_ESCAPE );

    // Pulled out while A is held: the button is let go with it.
    SDL_JoystickClose( joystick );
    SDL_JoystickDetachVirtual( device );
    Deliver();
    ASSERT_EQ( HOST_OK, backend.ReadKeys( keys ) );
    EXPECT_EQ( 0, keys[DIK_SPACE] );
}

// The mouse pointer shows in the window and hides over the full screen, as the game starts in
// either and after each Alt+Enter.
TEST( SdlBackendCursor, ShowsInTheWindowAndHidesOverTheFullScreenThroughEachSwitch ) {
    for ( int windowed = 0; windowed <= 1; windowed++ ) {
        SDL_SetHint( SDL_HINT_VIDEODRIVER, "dummy" );
        HostResetWindows();
        {
            SdlBackend backend( windowed );
            HostSetBackend( &backend );
            ASSERT_EQ( 1, backend.Init() ) << backend.GetError();
            ASSERT_NE( nullptr, MakeTestWindow() );
            for ( int switches = 0; switches <= 2; switches++ ) {
                const int inWindow = ( windowed + switches ) % 2;
                EXPECT_EQ( inWindow ? SDL_ENABLE : SDL_DISABLE, SDL_ShowCursor( SDL_QUERY ) )
                    << ( windowed ? "started in a window, " : "started full screen, " ) << switches
                    << " switches";
                backend.ToggleFullScreen();
            }
            HostResetWindows();
            HostSetBackend( nullptr );
        }
    }
}

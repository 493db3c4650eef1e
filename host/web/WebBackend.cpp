#include "host/web/WebBackend.h"

#include "host/FrameChanges.h"
#include "host/FrameConversion.h"
#include "host/HostWindow.h"
#include "host/web/WebKeyMap.h"

#include <emscripten.h>
#include <emscripten/html5.h>

#include <cstring>

namespace {

// The canvas takes RGBA bytes, which is a little-endian 32-bit pixel with red lowest.
const PixelLayout CANVAS_LAYOUT = { 0, 8, 16, 0xFF000000u };

int CanvasFocused() {
    return EM_ASM_INT( { return document.activeElement == Module.keltoCanvas ? 1 : 0; } );
}

// The keys are the game's only while its canvas has the focus, and never the browser's own:
// elsewhere on the page Enter presses a button and Tab moves on. A key let go reaches the game
// wherever the focus went, so that no key it took stays down.
EM_BOOL OnKey( int eventType, const EmscriptenKeyboardEvent *event, void *backend ) {
    const int down = eventType == EMSCRIPTEN_EVENT_KEYDOWN;
    const int gameKey =
        CanvasFocused() && !WebIsBrowserKey( event->code, event->ctrlKey, event->altKey, event->metaKey );
    if ( down && !gameKey ) {
        return EM_FALSE;
    }
    const int taken =
        static_cast<WebBackend *>( backend )->HandleKey( event->code, event->keyCode, down, event->repeat );
    return taken && gameKey ? EM_TRUE : EM_FALSE;
}

int PageVisible() {
    EmscriptenVisibilityChangeEvent visibility;
    return emscripten_get_visibility_status( &visibility ) != EMSCRIPTEN_RESULT_SUCCESS || !visibility.hidden;
}

int PageFocused() {
    return EM_ASM_INT( { return document.hasFocus() ? 1 : 0; } );
}

EM_BOOL OnFocus( int eventType, const EmscriptenFocusEvent *, void *backend ) {
    static_cast<WebBackend *>( backend )->HandleActive( eventType == EMSCRIPTEN_EVENT_FOCUS, PageVisible() );
    return EM_FALSE;
}

EM_BOOL OnVisibility( int, const EmscriptenVisibilityChangeEvent *event, void *backend ) {
    static_cast<WebBackend *>( backend )->HandleActive( PageFocused(), !event->hidden );
    return EM_FALSE;
}

// The page may show the canvas at another size than its pixels: the mouse's place on the
// element is turned into the canvas's pixels by the two sizes' ratio.
EM_BOOL OnMouse( int eventType, const EmscriptenMouseEvent *event, void *backend ) {
    const int x = EM_ASM_INT(
        {
            var canvas = Module.keltoCanvas;
            return canvas && canvas.clientWidth > 0 ? Math.floor( $0 * canvas.width / canvas.clientWidth )
                                                    : -1;
        },
        event->targetX );
    const int y = EM_ASM_INT(
        {
            var canvas = Module.keltoCanvas;
            return canvas && canvas.clientHeight > 0 ? Math.floor( $0 * canvas.height / canvas.clientHeight )
                                                     : -1;
        },
        event->targetY );
    const int click = eventType == EMSCRIPTEN_EVENT_MOUSEDOWN && event->button == 0;
    static_cast<WebBackend *>( backend )->HandlePointer( x, y, click );
    return EM_FALSE;
}

} // namespace

WebBackend::WebBackend()
    : canvasWidth( 0 ), canvasHeight( 0 ), lookupValid( 0 ), focused( 1 ), visible( 1 ),
      keyboardAcquired( 1 ), windowOpen( 0 ), presentedFrames( 0 ) {
    std::memset( lookup, 0, sizeof( lookup ) );
    std::memset( lookupPalette, 0, sizeof( lookupPalette ) );
    std::memset( held, 0, sizeof( held ) );
}

WebBackend::~WebBackend() {
    emscripten_set_keydown_callback( EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, nullptr );
    emscripten_set_keyup_callback( EMSCRIPTEN_EVENT_TARGET_DOCUMENT, nullptr, EM_TRUE, nullptr );
    emscripten_set_focus_callback( EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr );
    emscripten_set_blur_callback( EMSCRIPTEN_EVENT_TARGET_WINDOW, nullptr, EM_TRUE, nullptr );
    emscripten_set_visibilitychange_callback( nullptr, EM_TRUE, nullptr );
    if ( !canvasSelector.empty() ) {
        emscripten_set_mousedown_callback( canvasSelector.c_str(), nullptr, EM_TRUE, nullptr );
        emscripten_set_mousemove_callback( canvasSelector.c_str(), nullptr, EM_TRUE, nullptr );
    }
}

int WebBackend::Init( const char *canvas ) {
    // Keys are heard on the whole page, so that the first key pressed while nothing has the
    // focus both gives the canvas the focus (the page does that first) and reaches the game.
    int ok = emscripten_set_keydown_callback( EMSCRIPTEN_EVENT_TARGET_DOCUMENT, this, EM_TRUE, OnKey ) ==
             EMSCRIPTEN_RESULT_SUCCESS;
    ok &= emscripten_set_keyup_callback( EMSCRIPTEN_EVENT_TARGET_DOCUMENT, this, EM_TRUE, OnKey ) ==
          EMSCRIPTEN_RESULT_SUCCESS;
    ok &= emscripten_set_focus_callback( EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, OnFocus ) ==
          EMSCRIPTEN_RESULT_SUCCESS;
    ok &= emscripten_set_blur_callback( EMSCRIPTEN_EVENT_TARGET_WINDOW, this, EM_TRUE, OnFocus ) ==
          EMSCRIPTEN_RESULT_SUCCESS;
    ok &=
        emscripten_set_visibilitychange_callback( this, EM_TRUE, OnVisibility ) == EMSCRIPTEN_RESULT_SUCCESS;
    const int found = EM_ASM_INT(
        {
            var canvas = document.querySelector( UTF8ToString( $0 ) );
            if ( !canvas ) {
                return 0;
            }
            Module.keltoCanvas = canvas;
            Module.keltoContext = canvas.getContext( '2d', { alpha : false } );
            return Module.keltoContext ? 1 : 0;
        },
        canvas );
    if ( found ) {
        canvasSelector = canvas;
        ok &=
            emscripten_set_mousedown_callback( canvas, this, EM_TRUE, OnMouse ) == EMSCRIPTEN_RESULT_SUCCESS;
        ok &=
            emscripten_set_mousemove_callback( canvas, this, EM_TRUE, OnMouse ) == EMSCRIPTEN_RESULT_SUCCESS;
    }
    focused = PageFocused();
    visible = PageVisible();
    return ok && found;
}

int WebBackend::OpenWindow( const char *caption ) {
    EM_ASM( { document.title = UTF8ToString( $0 ); }, caption ? caption : "" );
    windowOpen = 1;
    return 1;
}

void WebBackend::CloseWindow() {
    windowOpen = 0;
}

// The browser has already called back for every event; nothing waits here, and nothing may.
void WebBackend::PumpEvents( int ) {
}

int WebBackend::SetDisplayMode( int width, int height, int bitsPerPixel ) {
    if ( width <= 0 || height <= 0 || bitsPerPixel != 8 ) {
        return 0;
    }
    EM_ASM(
        {
            var canvas = Module.keltoCanvas;
            canvas.width = $0;
            canvas.height = $1;
            Module.keltoImage = Module.keltoContext.createImageData( $0, $1 );
        },
        width, height );
    rgba.assign( size_t( width ) * height, 0xFF000000u );
    canvasWidth = width;
    canvasHeight = height;
    shown.clear();
    return 1;
}

int WebBackend::GetSurfacePitch( int width ) {
    return ( width + 15 ) & ~15;
}

// Converts only the pieces that changed since the frame rgba holds, as the desktop does: with
// a still camera that is a few small pieces. A new palette or canvas converts everything.
void WebBackend::ConvertChanges( const uint8_t *pixels, int pitch, int width, int height ) {
    FrameSpan spans[MAX_FRAME_SPANS];
    int count = -1;
    if ( shown.size() == rgba.size() ) {
        count = FindFrameChanges( pixels, pitch, shown.data(), width, height, spans, MAX_FRAME_SPANS );
    } else {
        shown.resize( rgba.size() );
        for ( int y = 0; y < height; ++y ) {
            std::memcpy( &shown[size_t( y ) * width], pixels + size_t( y ) * pitch, size_t( width ) );
        }
    }
    if ( count < 0 ) {
        ConvertFrame( pixels, pitch, width, height, lookup, rgba.data(), width * 4 );
        return;
    }
    for ( int i = 0; i < count; ++i ) {
        const FrameSpan &span = spans[i];
        ConvertFrame( pixels + size_t( span.top ) * pitch + span.left, pitch, span.right - span.left,
                      span.bottom - span.top, lookup, rgba.data() + size_t( span.top ) * width + span.left,
                      width * 4 );
    }
}

void WebBackend::Present( const uint8_t *pixels, int pitch, int width, int height,
                          const HostPaletteEntry *palette ) {
    // A hidden page's game may run on (an online match) unseen: the canvas waits until it shows.
    if ( size_t( width ) * height != rgba.size() || !visible ) {
        return;
    }
    if ( !lookupValid || palette == nullptr ||
         std::memcmp( palette, lookupPalette, sizeof( lookupPalette ) ) != 0 ) {
        BuildPaletteLookup( palette, CANVAS_LAYOUT, lookup );
        if ( palette != nullptr ) {
            std::memcpy( lookupPalette, palette, sizeof( lookupPalette ) );
        }
        lookupValid = palette != nullptr;
        shown.clear();
    }
    ConvertChanges( pixels, pitch, width, height );
    EM_ASM(
        {
            var image = Module.keltoImage;
            image.data.set( HEAPU8.subarray( $0, $0 + $1 ) );
            Module.keltoContext.putImageData( image, 0, 0 );
        },
        rgba.data(), int( rgba.size() * 4 ) );
    ++presentedFrames;
}

HostResult WebBackend::ReadKeys( uint8_t out[256] ) {
    if ( !keyboardAcquired ) {
        return DIERR_NOTACQUIRED;
    }
    keyState.Read( out );
    return HOST_OK;
}

HostResult WebBackend::AcquireKeyboard() {
    if ( !GetActive() ) {
        return DIERR_NOTACQUIRED;
    }
    keyboardAcquired = 1;
    return HOST_OK;
}

int WebBackend::HandleKey( const char *code, unsigned keyCode, int down, int repeat ) {
    const int dik = WebCodeToDik( code );
    if ( dik == 0 || ( !down && !held[dik] ) ) {
        return 0;
    }
    held[dik] = uint8_t( down );
    if ( down ) {
        keyState.Press( dik );
    } else {
        keyState.Release( dik );
    }
    // As the key messages' lParam has it: repeat count 1, scan code, extended-key bit,
    // previous state, transition. The browser's keyCode is the desktop's virtual-key code.
    uint32_t lParam = 1u | ( uint32_t( dik & 0x7F ) << 16 );
    if ( dik & 0x80 ) {
        lParam |= 1u << 24;
    }
    if ( !down || repeat ) {
        lParam |= 1u << 30;
    }
    if ( !down ) {
        lParam |= 1u << 31;
    }
    PostToWindow( down ? WM_KEYDOWN : WM_KEYUP, keyCode, intptr_t( lParam ) );
    return 1;
}

void WebBackend::HandleActive( int nowFocused, int nowVisible ) {
    const int wasActive = GetActive();
    focused = nowFocused;
    visible = nowVisible;
    const int active = GetActive();
    if ( active == wasActive ) {
        return;
    }
    if ( !active ) {
        // Keys held when the game went to the back would otherwise stay down for ever.
        keyboardAcquired = 0;
        keyState.ReleaseAll();
        std::memset( held, 0, sizeof( held ) );
    }
    PostToWindow( WM_ACTIVATEAPP, uintptr_t( active ), 0 );
}

void WebBackend::PostToWindow( uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    HostWindow *window = HostGetMainWindow();
    if ( window != nullptr && windowOpen ) {
        HostPostMessage( window, message, wParam, lParam );
    }
}

int WebBackend::LoadSound( const char *, const uint8_t *bytes, size_t size ) {
    return audio.Load( bytes, size );
}

int WebBackend::StartSound( int sound, int pan, int volume, int loop ) {
    return audio.Start( sound, pan, volume, loop );
}

void WebBackend::StopSound( int voice ) {
    audio.Stop( voice );
}

int WebBackend::TakeLastInput() {
    return keyState.TakeLastPress();
}

void WebBackend::HandlePointer( int x, int y, int click ) {
    if ( x < 0 || y < 0 || x >= canvasWidth || y >= canvasHeight ) {
        return;
    }
    if ( click ) {
        pointer.Click( x, y );
    } else {
        pointer.Move( x, y );
    }
}

int WebBackend::ReadPointer( HostPointerState &state ) {
    pointer.Read( state );
    return 1;
}

#include "host/headless/HeadlessBackend.h"

#include "host/FrameConversion.h"
#include "host/HostWindow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

// Rows wider than the picture unless a test asks otherwise, so that code which steps by the
// width instead of the pitch shows its fault in every test.
static const int DEFAULT_PITCH_PADDING = 32;

HeadlessBackend::HeadlessBackend()
    : frameWidth( 0 ), frameHeight( 0 ), frameCount( 0 ), windowOpen( 0 ), windowFails( 0 ), modeFails( 0 ),
      inputLossReads( 0 ), acquired( 0 ), pitchPadding( DEFAULT_PITCH_PADDING ), pacingHertz( 0 ),
      keepFrames( 1 ), blockingWaits( 0 ), lastVoice( 0 ), nextFrameTime( 0.0 ), lookupValid( 0 ),
      convertFrames( 0 ) {
    std::memset( framePalette, 0, sizeof( framePalette ) );
    soundCount = 0;
}

HeadlessBackend::~HeadlessBackend() {
}

int HeadlessBackend::OpenWindow( const char * ) {
    if ( windowFails > 0 ) {
        windowFails--;
        return 0;
    }
    windowOpen = 1;
    return 1;
}

void HeadlessBackend::CloseWindow() {
    windowOpen = 0;
}

static void Deliver( uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    HostPostMessage( HostGetMainWindow(), message, wParam, lParam );
}

void HeadlessBackend::PumpEvents( int wait ) {
    int delivered = 0;
    for ( auto it = script.begin(); it != script.end(); ) {
        if ( it->frame <= frameCount ) {
            Deliver( it->message, it->wParam, it->lParam );
            delivered++;
            it = script.erase( it );
        } else {
            ++it;
        }
    }
    if ( !wait || delivered > 0 ) {
        return;
    }
    blockingWaits++;
    if ( script.empty() ) {
        // Nothing more will ever come: end the game rather than hang the test.
        if ( HostGetMainWindow() != nullptr ) {
            Deliver( WM_CLOSE, 0, 0 );
        } else {
            HostPostQuitMessage( 0 );
        }
        return;
    }
    // Nothing happens while the game sleeps, so time jumps to the next scripted moment.
    int next = script.front().frame;
    for ( const ScriptedMessage &scripted : script ) {
        next = std::min( next, scripted.frame );
    }
    for ( auto it = script.begin(); it != script.end(); ) {
        if ( it->frame == next ) {
            Deliver( it->message, it->wParam, it->lParam );
            it = script.erase( it );
        } else {
            ++it;
        }
    }
}

int HeadlessBackend::SetDisplayMode( int width, int height, int bitsPerPixel ) {
    if ( modeFails > 0 ) {
        modeFails--;
        return 0;
    }
    return width > 0 && height > 0 && bitsPerPixel == 8 ? 1 : 0;
}

int HeadlessBackend::GetSurfacePitch( int width ) {
    return width + pitchPadding;
}

void HeadlessBackend::Present( const uint8_t *pixels, int pitch, int width, int height,
                               const HostPaletteEntry *palette ) {
    if ( pixels == nullptr || width <= 0 || height <= 0 ) {
        return;
    }
    if ( keepFrames ) {
        KeepFrame( pixels, pitch, width, height, palette );
    }
    if ( convertFrames ) {
        ConvertPresented( pixels, pitch, width, height, palette );
    }
    WaitForPacing();
    frameCount++;
    if ( frameHook ) {
        frameHook( frameCount );
    }
}

void HeadlessBackend::KeepFrame( const uint8_t *pixels, int pitch, int width, int height,
                                 const HostPaletteEntry *palette ) {
    frameWidth = width;
    frameHeight = height;
    frame.resize( size_t( width ) * size_t( height ) );
    for ( int y = 0; y < height; y++ ) {
        std::memcpy( frame.data() + size_t( y ) * size_t( width ), pixels + size_t( y ) * size_t( pitch ),
                     size_t( width ) );
    }
    if ( palette != nullptr ) {
        std::memcpy( framePalette, palette, sizeof( framePalette ) );
    } else {
        std::memset( framePalette, 0, sizeof( framePalette ) );
    }
}

// Keeps to the requested rate the way a display's refresh would hold back a flip.
void HeadlessBackend::WaitForPacing() {
    if ( pacingHertz <= 0 ) {
        return;
    }
    using Clock = std::chrono::steady_clock;
    double now = std::chrono::duration<double>( Clock::now().time_since_epoch() ).count();
    if ( nextFrameTime > now ) {
        std::this_thread::sleep_for( std::chrono::duration<double>( nextFrameTime - now ) );
    } else {
        nextFrameTime = now;
    }
    nextFrameTime += 1.0 / pacingHertz;
}

HostResult HeadlessBackend::ReadKeys( uint8_t destination[256] ) {
    if ( inputLossReads > 0 ) {
        inputLossReads--;
        acquired = 0;
        return DIERR_INPUTLOST;
    }
    if ( !acquired ) {
        return DIERR_NOTACQUIRED;
    }
    keyState.Read( destination );
    return HOST_OK;
}

HostResult HeadlessBackend::AcquireKeyboard() {
    acquired = 1;
    return HOST_OK;
}

void HeadlessBackend::PostAtFrame( int frameNumber, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    script.push_back( ScriptedMessage{ frameNumber, message, wParam, lParam } );
}

void HeadlessBackend::SetFrameHook( std::function<void( int frame )> hook ) {
    frameHook = std::move( hook );
}

void HeadlessBackend::SetKey( int code, int down ) {
    if ( code >= 0 && code < 256 ) {
        if ( down ) {
            keyState.Press( code );
        } else {
            keyState.Release( code );
        }
    }
}

void HeadlessBackend::ReleaseAllKeys() {
    keyState.ReleaseAll();
}

void HeadlessBackend::InjectInputLoss( int reads ) {
    inputLossReads = std::max( reads, 0 );
}

void HeadlessBackend::SetPitchPadding( int bytes ) {
    pitchPadding = std::max( bytes, 0 );
}

void HeadlessBackend::SetWindowFails( int fails ) {
    windowFails = std::max( fails, 0 );
}

void HeadlessBackend::SetModeFails( int fails ) {
    modeFails = std::max( fails, 0 );
}

void HeadlessBackend::SetKeepFrames( int keep ) {
    keepFrames = keep ? 1 : 0;
}

void HeadlessBackend::SetPacing( int hertz ) {
    pacingHertz = std::max( hertz, 0 );
    nextFrameTime = 0.0;
}

uint8_t HeadlessBackend::GetFramePixel( int x, int y ) const {
    if ( x < 0 || y < 0 || x >= frameWidth || y >= frameHeight ) {
        return 0;
    }
    return frame[size_t( y ) * size_t( frameWidth ) + size_t( x )];
}

// A name loaded again is the same sound, as tests start the game again and again.
int HeadlessBackend::LoadSound( const char *name, const uint8_t *, size_t ) {
    name = name != nullptr ? name : "";
    for ( int i = 0; i < soundCount; ++i ) {
        if ( std::strcmp( soundNames[i], name ) == 0 ) {
            return i + 1;
        }
    }
    if ( soundCount == MAX_SOUNDS ) {
        return 0;
    }
    std::snprintf( soundNames[soundCount], sizeof( soundNames[soundCount] ), "%s", name );
    return ++soundCount;
}

// Every start gets a voice of its own, so a test can match each stop to its start.
int HeadlessBackend::StartSound( int sound, int pan, int volume, int loop ) {
    if ( sound <= 0 || sound > soundCount ) {
        return 0;
    }
    const int voice = ++lastVoice;
    soundEvents.push_back( { frameCount, 1, soundNames[sound - 1], pan, volume, loop, voice } );
    return voice;
}

// A voice stops once; stopping it again, as stopping a finished sound, does nothing.
void HeadlessBackend::StopSound( int voice ) {
    const SoundEvent *start = nullptr;
    for ( const SoundEvent &event : soundEvents ) {
        if ( event.voice == voice ) {
            if ( !event.started ) {
                return;
            }
            start = &event;
        }
    }
    if ( start != nullptr ) {
        const SoundEvent stop = { frameCount, 0, start->name, start->pan, start->volume, start->loop, voice };
        soundEvents.push_back( stop );
    }
}

void HeadlessBackend::SetConvertFrames( int convert ) {
    convertFrames = convert ? 1 : 0;
}

// The lookup is made again only when the palette changed, as the desktop's present does.
void HeadlessBackend::ConvertPresented( const uint8_t *pixels, int pitch, int width, int height,
                                        const HostPaletteEntry *palette ) {
    static const PixelLayout LAYOUT = { 16, 8, 0, 0xFF000000u };
    HostPaletteEntry none[256];
    if ( palette == nullptr ) {
        std::memset( none, 0, sizeof( none ) );
        palette = none;
    }
    if ( !lookupValid || std::memcmp( palette, lookupPalette, sizeof( lookupPalette ) ) != 0 ) {
        BuildPaletteLookup( palette, LAYOUT, lookup );
        std::memcpy( lookupPalette, palette, sizeof( lookupPalette ) );
        lookupValid = 1;
    }
    converted.resize( size_t( width ) * size_t( height ) );
    ConvertFrame( pixels, pitch, width, height, lookup, converted.data(), width * 4 );
}

int HeadlessBackend::TakeLastInput() {
    return keyState.TakeLastPress();
}

int HeadlessBackend::ReadPointer( HostPointerState &state ) {
    pointer.Read( state );
    return 1;
}

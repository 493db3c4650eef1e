#include "host/HostSurface.h"

#include "host/HostBlit.h"
#include "host/HostKeyedPieces.h"
#include "host/HostVideo.h"

#include <algorithm>
#include <cstring>
#include <new>

// What display memory holds when nobody has drawn into it: fresh surfaces, lost ones and
// restored ones all show this pattern, so a picture that was never (re)drawn is easy to spot.
static const uint8_t GARBAGE = 0xCD;

HostSurface::HostSurface( HostVideo *video, int width, int height, int pitch, uint32_t caps )
    : video( video ), refCount( 1 ), width( width ), height( height ), pitch( pitch ), caps( caps ),
      pixels( nullptr ), backBuffer( nullptr ), palette( nullptr ), pieces( nullptr ), hasColorKey( 0 ),
      colorKeyLow( 0 ), colorKeyHigh( 0 ), locked( 0 ), lost( 0 ), busyLocks( 0 ), failingRestores( 0 ),
      lockAttempts( 0 ), restoreCount( 0 ), changeCount( 0 ) {
    if ( width > 0 && height > 0 && pitch >= width ) {
        size_t bytes = size_t( pitch ) * size_t( height );
        pixels = new ( std::nothrow ) uint8_t[bytes];
        if ( pixels != nullptr ) {
            std::memset( pixels, GARBAGE, bytes );
        }
    }
}

HostSurface::~HostSurface() {
    if ( backBuffer != nullptr ) {
        backBuffer->Release();
    }
    delete pieces;
    delete[] pixels;
}

uint32_t HostSurface::AddRef() {
    return ++refCount;
}

uint32_t HostSurface::Release() {
    uint32_t remaining = --refCount;
    if ( remaining == 0 ) {
        delete this;
    }
    return remaining;
}

HostResult HostSurface::Lock( const HostRect *rect, HostSurfaceDesc *desc, uint32_t flags, void * ) {
    lockAttempts++;
    if ( desc == nullptr || pixels == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( lost ) {
        return DDERR_SURFACELOST;
    }
    // A surface locked already cannot be waited for: only its own Unlock would free it.
    if ( locked ) {
        return DDERR_WASSTILLDRAWING;
    }
    if ( busyLocks > 0 ) {
        if ( ( flags & DDLOCK_WAIT ) == 0 ) {
            busyLocks--;
            return DDERR_WASSTILLDRAWING;
        }
        busyLocks = 0;
    }
    HostRect area = rect != nullptr ? *rect : HostRect{ 0, 0, width, height };
    if ( area.left < 0 || area.top < 0 || area.right > width || area.bottom > height ||
         area.left > area.right || area.top > area.bottom ) {
        return DDERR_INVALIDPARAMS;
    }
    desc->flags |= DDSD_WIDTH | DDSD_HEIGHT | DDSD_CAPS;
    desc->width = uint32_t( area.right - area.left );
    desc->height = uint32_t( area.bottom - area.top );
    desc->pitch = pitch;
    desc->caps = caps;
    desc->surface = pixels + size_t( area.top ) * size_t( pitch ) + size_t( area.left );
    locked = 1;
    changeCount++; // the lock's holder may draw anything
    return HOST_OK;
}

HostResult HostSurface::Unlock( void * ) {
    if ( !locked ) {
        return DDERR_INVALIDPARAMS;
    }
    locked = 0;
    return HOST_OK;
}

HostResult HostSurface::IsLost() const {
    return lost ? DDERR_SURFACELOST : HOST_OK;
}

// Brings the memory back, not the picture: it holds garbage until the owner redraws it.
HostResult HostSurface::Restore() {
    restoreCount++;
    if ( failingRestores > 0 ) {
        failingRestores--;
        return DDERR_GENERIC;
    }
    lost = 0;
    changeCount++;
    return HOST_OK;
}

HostResult HostSurface::CheckBlitSides( const HostSurface *source ) const {
    if ( source == nullptr || source == this || pixels == nullptr || source->pixels == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( lost || source->lost ) {
        return DDERR_SURFACELOST;
    }
    if ( locked || source->locked ) {
        return DDERR_WASSTILLDRAWING;
    }
    return HOST_OK;
}

HostResult HostSurface::BltFast( int x, int y, HostSurface *source, const HostRect *sourceRect,
                                 uint32_t flags ) {
    return Blit( x, y, source, sourceRect, flags, nullptr, 0 );
}

HostResult HostSurface::BltFastOver( int x, int y, HostSurface *source, const HostRect *sourceRect,
                                     uint32_t flags, const uint8_t *backdrop, int backdropPitch ) {
    if ( backdrop == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    return Blit( x, y, source, sourceRect, flags, backdrop, backdropPitch );
}

HostResult HostSurface::Blit( int x, int y, HostSurface *source, const HostRect *sourceRect, uint32_t flags,
                              const uint8_t *backdrop, int backdropPitch ) {
    HostResult sides = CheckBlitSides( source );
    if ( sides != HOST_OK ) {
        return sides;
    }
    int keyed = ( flags & DDBLTFAST_SRCCOLORKEY ) != 0;
    if ( keyed && !source->hasColorKey ) {
        return DDERR_INVALIDPARAMS;
    }
    HostRect area = sourceRect != nullptr ? *sourceRect : HostRect{ 0, 0, source->width, source->height };
    if ( area.left > area.right || area.top > area.bottom ) {
        return DDERR_INVALIDPARAMS;
    }
    // Cut the rectangle to the source, then to the destination; 64 bits, so that no position
    // near the ends of the int range can wrap around into memory.
    int64_t left = std::max<int64_t>( area.left, 0 );
    int64_t top = std::max<int64_t>( area.top, 0 );
    int64_t right = std::min<int64_t>( area.right, source->width );
    int64_t bottom = std::min<int64_t>( area.bottom, source->height );
    int64_t toX = int64_t( x ) + ( left - area.left );
    int64_t toY = int64_t( y ) + ( top - area.top );
    if ( toX < 0 ) {
        left -= toX;
        toX = 0;
    }
    if ( toY < 0 ) {
        top -= toY;
        toY = 0;
    }
    int64_t copyWidth = std::min( right - left, int64_t( width ) - toX );
    int64_t copyHeight = std::min( bottom - top, int64_t( height ) - toY );
    if ( copyWidth <= 0 || copyHeight <= 0 ) {
        return HOST_OK;
    }
    changeCount++;
    uint8_t *to = pixels + size_t( toY ) * size_t( pitch ) + size_t( toX );
    const uint8_t *from = source->pixels + size_t( top ) * size_t( source->pitch ) + size_t( left );
    if ( keyed && source->colorKeyLow <= source->colorKeyHigh && source->colorKeyLow <= 255 ) {
        uint8_t high = uint8_t( std::min<uint32_t>( source->colorKeyHigh, 255 ) );
        if ( backdrop != nullptr ) {
            const uint8_t *under = backdrop + size_t( toY ) * size_t( backdropPitch ) + size_t( toX );
            HostKeyedPieces *followed = source->FollowedPieces();
            HostBlitKeyedOver( to, pitch, from, source->pitch, under, backdropPitch, int( copyWidth ),
                               int( copyHeight ), uint8_t( source->colorKeyLow ), high, followed, int( left ),
                               int( top ) );
        } else {
            HostBlitKeyed( to, pitch, from, source->pitch, int( copyWidth ), int( copyHeight ),
                           uint8_t( source->colorKeyLow ), high );
        }
    } else {
        HostBlitCopy( to, pitch, from, source->pitch, int( copyWidth ), int( copyHeight ) );
    }
    return HOST_OK;
}

HostResult HostSurface::Flip( HostSurface *target, uint32_t ) {
    if ( backBuffer == nullptr || ( target != nullptr && target != backBuffer ) ) {
        return DDERR_INVALIDPARAMS;
    }
    if ( lost || backBuffer->lost ) {
        return DDERR_SURFACELOST;
    }
    if ( locked || backBuffer->locked ) {
        return DDERR_WASSTILLDRAWING;
    }
    ExchangeWithBackBuffer();
    if ( video != nullptr ) {
        video->Present( *this );
    }
    return HOST_OK;
}

// Both buffers were made together at the mode's size with the same pitch, so the chain flips
// by trading memory, as display hardware trades which buffer it scans out.
void HostSurface::ExchangeWithBackBuffer() {
    std::swap( pixels, backBuffer->pixels );
    changeCount++;
    backBuffer->changeCount++;
}

void HostSurface::AttachBackBuffer( HostSurface *back ) {
    backBuffer = back;
}

HostResult HostSurface::GetAttachedSurface( uint32_t wantedCaps, HostSurface **out ) {
    if ( out == nullptr ) {
        return DDERR_INVALIDPARAMS;
    }
    *out = nullptr;
    if ( backBuffer == nullptr || ( wantedCaps & DDSCAPS_BACKBUFFER ) == 0 ) {
        return DDERR_NOTFOUND;
    }
    backBuffer->AddRef();
    *out = backBuffer;
    return HOST_OK;
}

HostResult HostSurface::SetPalette( HostPalette *newPalette ) {
    palette = newPalette;
    return HOST_OK;
}

// The pieces following the surface as it stands now, or null when it has no room for them.
HostKeyedPieces *HostSurface::FollowedPieces() {
    if ( pieces == nullptr || colorKeyLow > 255 ) {
        return nullptr;
    }
    pieces->Follow( changeCount, pixels, pitch, uint8_t( colorKeyLow ),
                    uint8_t( std::min<uint32_t>( colorKeyHigh, 255 ) ) );
    return pieces->IsFollowing() ? pieces : nullptr;
}

// The pieces' room is made with the key, when the picture is set up, never during play.
void HostSurface::SetColorKey( uint32_t low, uint32_t high ) {
    if ( pieces == nullptr ) {
        pieces = new ( std::nothrow ) HostKeyedPieces;
        if ( pieces != nullptr && !pieces->Create( width, height ) ) {
            delete pieces;
            pieces = nullptr;
        }
    }
    hasColorKey = 1;
    changeCount++;
    colorKeyLow = low;
    colorKeyHigh = high;
}

// Losing the screen takes the whole flipping chain's memory, not one buffer of it.
void HostSurface::InjectLoss() {
    lost = 1;
    changeCount++;
    if ( pixels != nullptr ) {
        std::memset( pixels, GARBAGE, size_t( pitch ) * size_t( height ) );
    }
    if ( backBuffer != nullptr && !backBuffer->lost ) {
        backBuffer->InjectLoss();
    }
}

void HostSurface::InjectBusyLocks( int count ) {
    busyLocks = std::max( count, 0 );
}

void HostSurface::InjectRestoreFailures( int count ) {
    failingRestores = std::max( count, 0 );
}

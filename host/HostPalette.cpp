#include "host/HostPalette.h"

#include <cstring>

HostPalette::HostPalette() : refCount( 1 ) {
    std::memset( entries, 0, sizeof( entries ) );
}

HostPalette::~HostPalette() {
}

uint32_t HostPalette::AddRef() {
    return ++refCount;
}

uint32_t HostPalette::Release() {
    uint32_t remaining = --refCount;
    if ( remaining == 0 ) {
        delete this;
    }
    return remaining;
}

// A range that does not lie inside the 256 entries is refused whole rather than cut, so a
// caller's off-by-one shows up as an error instead of a half-changed palette.
static int IsValidRange( int first, int count ) {
    return first >= 0 && count >= 0 && count <= 256 - first;
}

HostResult HostPalette::SetEntries( uint32_t, int first, int count, const HostPaletteEntry *source ) {
    if ( source == nullptr || !IsValidRange( first, count ) ) {
        return DDERR_INVALIDPARAMS;
    }
    std::memcpy( entries + first, source, sizeof( HostPaletteEntry ) * size_t( count ) );
    return HOST_OK;
}

HostResult HostPalette::GetEntries( uint32_t, int first, int count, HostPaletteEntry *destination ) const {
    if ( destination == nullptr || !IsValidRange( first, count ) ) {
        return DDERR_INVALIDPARAMS;
    }
    std::memcpy( destination, entries + first, sizeof( HostPaletteEntry ) * size_t( count ) );
    return HOST_OK;
}

#ifndef KELTO_HOST_HOSTPALETTE_H
#define KELTO_HOST_HOSTPALETTE_H

#include "host/HostTypes.h"

// The 256 colours through which the 8-bit screen is shown.
class HostPalette {
public:
    HostPalette();
    virtual ~HostPalette();

    uint32_t AddRef();
    uint32_t Release();

    HostResult SetEntries( uint32_t flags, int first, int count, const HostPaletteEntry *source );
    HostResult GetEntries( uint32_t flags, int first, int count, HostPaletteEntry *destination ) const;
    const HostPaletteEntry *GetTable() const { return entries; }

private:
    uint32_t refCount;
    HostPaletteEntry entries[256];
};

#endif

#include "platform/Display.h"

#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "host/HostPalette.h"
#include "host/HostSurface.h"

// The game's 256 colours are the colour table of a picture; a file that cannot be read
// leaves the colours as they were.
int Display::LoadPalette( const char *fileName ) {
    return ReadBmpPalette( fileName, paletteEntries );
}

int Display::LoadPalette( const BmpFile &file ) {
    return file.CopyPalette( paletteEntries );
}

void Display::SetPaletteEntries( const HostPaletteEntry *entries ) {
    for ( int i = 0; i < 256; i++ ) {
        paletteEntries[i] = entries[i];
    }
}

// Installs all 256 entries, whatever the file's colour count, and shows the screen through
// them from now on.
void Display::ApplyPalette() {
    if ( palette == nullptr ) {
        return;
    }
    palette->SetEntries( 0, 0, 256, paletteEntries );
    if ( primary != nullptr ) {
        primary->SetPalette( palette );
    }
}

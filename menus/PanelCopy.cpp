#include "menus/PanelCopy.h"

#include "gfx/Image.h"

#include <cstring>

void CopyPanel( const Image &panel, Image &screen, int left, int top ) {
    Rect area( left, top, left + panel.GetWidth() - 1, top + panel.GetHeight() - 1 );
    area.Intersect( screen.GetClipRect() );
    if ( area.right < area.left || area.bottom < area.top || screen.GetPixels() == nullptr ||
         panel.GetPixels() == nullptr ) {
        return;
    }
    const size_t width = size_t( area.right - area.left + 1 );
    const uint8_t *from = panel.GetPixels() + ( area.top - top ) * panel.GetPitch() + ( area.left - left );
    uint8_t *to = screen.GetPixels() + area.top * screen.GetPitch() + area.left;
    for ( int y = area.top; y <= area.bottom; y++, from += panel.GetPitch(), to += screen.GetPitch() ) {
        std::memcpy( to, from, width );
    }
}

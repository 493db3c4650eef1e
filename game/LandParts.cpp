#include "game/LandParts.h"

#include "gfx/Rect.h"
#include "host/HostSurface.h"
#include "land/Land.h"
#include "land/LandTile.h"

LandParts::LandParts() : parts{}, count( 0 ) {
}

LandParts::~LandParts() {
}

// A tile that is lost must be refilled, one without a surface or key leaves the background
// showing: both are the designed draw's business.
int LandParts::EveryTileReady( const Land &land ) const {
    for ( int row = 0; row < land.GetRows(); row++ ) {
        for ( int column = 0; column < land.GetColumns(); column++ ) {
            const LandTile *tile = land.GetTile( column, row );
            const HostSurface *surface = tile != nullptr ? tile->GetSurface() : nullptr;
            if ( surface == nullptr || surface->IsLost() != HOST_OK || surface->IsLocked() ||
                 !surface->HasColorKey() || surface->GetPixels() == nullptr ) {
                return 0;
            }
        }
    }
    return 1;
}

// The same walk as the World's designed draw: each blit goes where the one before it ended.
int LandParts::Find( const Land &land, const Rect &view, int pitchX, int pitchY ) {
    count = 0;
    if ( !EveryTileReady( land ) ) {
        return 0;
    }
    const int screenWidth = view.right - view.left + 1;
    const int screenHeight = view.bottom - view.top + 1;
    int destY = 0;
    for ( int row = 0; row < land.GetRows(); row++ ) {
        int destX = 0;
        int rowHeight = 0;
        for ( int column = 0; column < land.GetColumns(); column++ ) {
            const int left = column * pitchX;
            const int top = row * pitchY;
            Rect shown( left, top, left + land.GetTileWidthAt( column ) - 1,
                        top + land.GetTileHeightAt( row ) - 1 );
            if ( !shown.Overlaps( view ) ) {
                continue;
            }
            shown.Intersect( view );
            const LandTile *tile = land.GetTile( column, row );
            const HostRect source = { shown.left - left, shown.top - top, shown.right + 1 - left,
                                      shown.bottom + 1 - top };
            const int height = source.bottom - source.top;
            // Every part of a row as high as the others, inside its surface, right after the last.
            if ( count == MAX_PARTS || ( rowHeight != 0 && height != rowHeight ) ||
                 source.right > tile->GetSurface()->GetWidth() ||
                 source.bottom > tile->GetSurface()->GetHeight() || shown.left - view.left != destX ||
                 shown.top - view.top != destY ) {
                count = 0;
                return 0;
            }
            parts[count++] = Part{ tile->GetSurface(), source, destX, destY };
            destX += source.right - source.left;
            rowHeight = height;
        }
        if ( rowHeight != 0 && destX != screenWidth ) {
            count = 0;
            return 0;
        }
        destY += rowHeight;
    }
    if ( destY != screenHeight ) {
        count = 0;
        return 0;
    }
    return 1;
}

#ifndef KELTO_GAME_LANDPARTS_H
#define KELTO_GAME_LANDPARTS_H

#include "host/HostTypes.h"

class HostSurface;
class Land;
class Rect;

// The pieces of the land's tiles that the view shows, each with the place on the screen the
// World's keyed blit puts it, found without touching any surface. When they cover the whole
// screen and every tile of the land can be blitted as it stands, the World lays the land
// over the background in one pass instead of copying the background first.
class LandParts {
public:
    struct Part {
        HostSurface *surface; // not owned: the tile's
        HostRect source;      // in the tile, exclusive right and bottom
        int x;                // on the screen
        int y;
    };

    LandParts();
    virtual ~LandParts();

    // 1 when the parts in `view` (land coordinates, the screen's size; tile (c, r) starts at
    // c x pitchX, r x pitchY) cover the screen without gaps and no tile of the land is
    // missing, lost, locked or without its colour key; 0 otherwise, with no parts.
    int Find( const Land &land, const Rect &view, int pitchX, int pitchY );

    int GetCount() const { return count; }
    const Part &Get( int index ) const { return parts[index]; }

private:
    static const int MAX_PARTS = 9;

    int EveryTileReady( const Land &land ) const;

    Part parts[MAX_PARTS];
    int count;
};

#endif

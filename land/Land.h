#ifndef KELTO_LAND_LAND_H
#define KELTO_LAND_LAND_H

#include "gfx/Rect.h"

class Display;
class Image;
class LandTile;

// The landscape as the screen shows it: a grid of display-sized land tiles (narrower in the
// last column and lower in the last row where the land is not a whole number of tiles)
// filled from the land picture.
class Land {
public:
    Land();
    Land( Display *display, int width, int height );
    virtual ~Land();

    int Create( Display *display, int width, int height );
    int Recreate( int width, int height );
    // Fills the tiles from the picture, rebuilding the grid for a picture of another size;
    // 0 when the picture cannot be read or a tile could not be had (then the land must not
    // be played on).
    int Load( const char *fileName );
    int Load( const Image &picture );

    LandTile *GetTile( int column, int row ) const;
    int GetColumns() const { return columns; }
    int GetRows() const { return rows; }
    int GetWidth() const { return width; }
    int GetHeight() const { return height; }
    Rect GetBounds() const { return Rect( 0, 0, width - 1, height - 1 ); }
    int GetTileWidth() const;
    int GetTileHeight() const;
    int GetLastColumnWidth() const;
    int GetLastRowHeight() const;
    // The size of the tiles in a column or row as the grid lays them out, whether or not
    // each tile obtained its surface.
    int GetTileWidthAt( int column ) const;
    int GetTileHeightAt( int row ) const;

private:
    Land( const Land & ) = delete;
    Land &operator=( const Land & ) = delete;

    void Destroy();
    int LoadTile( const Image &picture, int column, int row );

    Display *display; // not owned
    int width;
    int height;
    int partialColumn;
    int partialRow;
    int columns;
    int rows;
    LandTile **tiles; // owned, with every tile: tile (c, r) at c + r * columns
};

#endif

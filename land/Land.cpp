#include "land/Land.h"

#include "gfx/Image.h"
#include "land/LandTile.h"
#include "platform/Display.h"

#include <new>

namespace {

// The tiles are made, and filled, in four groups: the full tiles row by row, then the
// narrow last column, then the low last row, then the corner tile.
template <typename Visit>
void VisitInCreationOrder( int columns, int rows, int partialColumn, int partialRow, Visit visit ) {
    const int fullColumns = columns - partialColumn;
    const int fullRows = rows - partialRow;
    for ( int row = 0; row < fullRows; row++ ) {
        for ( int column = 0; column < fullColumns; column++ ) {
            visit( column, row );
        }
    }
    if ( partialColumn ) {
        for ( int row = 0; row < fullRows; row++ ) {
            visit( columns - 1, row );
        }
    }
    if ( partialRow ) {
        for ( int column = 0; column < fullColumns; column++ ) {
            visit( column, rows - 1 );
        }
    }
    if ( partialColumn && partialRow ) {
        visit( columns - 1, rows - 1 );
    }
}

} // namespace

Land::Land()
    : display( nullptr ), width( 0 ), height( 0 ), partialColumn( 0 ), partialRow( 0 ), columns( 0 ),
      rows( 0 ), tiles( nullptr ) {
}

Land::Land( Display *display, int width, int height ) : Land() {
    Create( display, width, height );
}

Land::~Land() {
    Destroy();
}

void Land::Destroy() {
    if ( tiles != nullptr ) {
        for ( int i = 0; i < columns * rows; i++ ) {
            delete tiles[i];
        }
        delete[] tiles;
    }
    tiles = nullptr;
    columns = 0;
    rows = 0;
}

int Land::Create( Display *newDisplay, int newWidth, int newHeight ) {
    if ( newDisplay == nullptr || tiles != nullptr || newWidth <= 0 || newHeight <= 0 ) {
        return 0;
    }
    const int tileWidth = newDisplay->GetWidth();
    const int tileHeight = newDisplay->GetHeight();
    if ( tileWidth <= 0 || tileHeight <= 0 ) {
        return 0; // a display that is not up has no tile size
    }
    const int newPartialColumn = newWidth % tileWidth != 0 ? 1 : 0;
    const int newPartialRow = newHeight % tileHeight != 0 ? 1 : 0;
    const int newColumns = newWidth / tileWidth + newPartialColumn;
    const int newRows = newHeight / tileHeight + newPartialRow;
    LandTile **newTiles = new ( std::nothrow ) LandTile *[size_t( newColumns ) * size_t( newRows )];
    if ( newTiles == nullptr ) {
        return 0;
    }
    display = newDisplay;
    width = newWidth;
    height = newHeight;
    partialColumn = newPartialColumn;
    partialRow = newPartialRow;
    columns = newColumns;
    rows = newRows;
    tiles = newTiles;
    VisitInCreationOrder( columns, rows, partialColumn, partialRow, [this]( int column, int row ) {
        tiles[column + row * columns] =
            new ( std::nothrow ) LandTile( display, GetTileWidthAt( column ), GetTileHeightAt( row ), 0, 0 );
    } );
    return 1;
}

int Land::Recreate( int newWidth, int newHeight ) {
    Destroy();
    return Create( display, newWidth, newHeight );
}

int Land::Load( const char *fileName ) {
    Image picture( 1, 1 );
    return picture.LoadBmp( fileName ) && Load( picture );
}

int Land::Load( const Image &picture ) {
    if ( picture.GetPixels() == nullptr ) {
        return 0;
    }
    if ( picture.GetWidth() != width || picture.GetHeight() != height || tiles == nullptr ) {
        if ( !Recreate( picture.GetWidth(), picture.GetHeight() ) ) {
            return 0;
        }
    }
    int whole = 1;
    VisitInCreationOrder(
        columns, rows, partialColumn, partialRow,
        [this, &picture, &whole]( int column, int row ) { whole &= LoadTile( picture, column, row ); } );
    return whole;
}

// 0 for a tile that never got its surface: a hole in the land the player would see.
int Land::LoadTile( const Image &picture, int column, int row ) {
    LandTile *tile = GetTile( column, row );
    if ( tile == nullptr || tile->GetSurface() == nullptr ) {
        return 0;
    }
    const int left = column * GetTileWidth();
    const int top = row * GetTileHeight();
    const Rect region( left, top, left + tile->GetWidth() - 1, top + tile->GetHeight() - 1 );
    Image &target = tile->Lock();
    picture.BlitTo( target, 0, 0, region );
    tile->Unlock();
    return 1;
}

LandTile *Land::GetTile( int column, int row ) const {
    if ( tiles == nullptr || column < 0 || column >= columns || row < 0 || row >= rows ) {
        return nullptr;
    }
    return tiles[column + row * columns];
}

int Land::GetTileWidth() const {
    return display != nullptr ? display->GetWidth() : 0;
}

int Land::GetTileHeight() const {
    return display != nullptr ? display->GetHeight() : 0;
}

int Land::GetLastColumnWidth() const {
    return partialColumn ? width % GetTileWidth() : 0;
}

int Land::GetLastRowHeight() const {
    return partialRow ? height % GetTileHeight() : 0;
}

int Land::GetTileWidthAt( int column ) const {
    return partialColumn && column == columns - 1 ? GetLastColumnWidth() : GetTileWidth();
}

int Land::GetTileHeightAt( int row ) const {
    return partialRow && row == rows - 1 ? GetLastRowHeight() : GetTileHeight();
}

#include "host/HostKeyedPieces.h"

#include "host/HostBlit.h"

#include <cstring>
#include <new>

HostKeyedPieces::HostKeyedPieces()
    : width( 0 ), height( 0 ), piecesPerRow( 0 ), table( nullptr ), known( nullptr ), pixels( nullptr ),
      pitch( 0 ), changeCount( 0 ), keyLow( 0 ), keyHigh( 0 ), rowsSorted( 0 ) {
}

HostKeyedPieces::~HostKeyedPieces() {
    Free();
}

void HostKeyedPieces::Free() {
    delete[] table;
    delete[] known;
    table = nullptr;
    known = nullptr;
    width = height = piecesPerRow = 0;
    pixels = nullptr;
}

int HostKeyedPieces::Create( int newWidth, int newHeight ) {
    Free();
    if ( newWidth <= 0 || newHeight <= 0 ) {
        return 0;
    }
    const int perRow = ( newWidth + PIECE_WIDTH - 1 ) / PIECE_WIDTH;
    if ( perRow > MOST_PIECES ) {
        return 0;
    }
    table = new ( std::nothrow ) uint8_t[size_t( 2 * perRow ) * size_t( newHeight )];
    known = new ( std::nothrow ) uint8_t[size_t( newHeight )];
    if ( table == nullptr || known == nullptr ) {
        Free();
        return 0;
    }
    std::memset( known, 0, size_t( newHeight ) );
    width = newWidth;
    height = newHeight;
    piecesPerRow = perRow;
    // Until sorted, every row reads as one mixed stretch: keyed throughout, never wrong.
    for ( int y = 0; y < height; y++ ) {
        uint8_t *row = table + size_t( y ) * size_t( 2 * perRow );
        std::memset( row, MIXED, size_t( perRow ) );
        std::memset( row + perRow, perRow, size_t( perRow ) );
    }
    return 1;
}

void HostKeyedPieces::Follow( uint32_t newChangeCount, const uint8_t *newPixels, int newPitch,
                              uint8_t newKeyLow, uint8_t newKeyHigh ) {
    if ( newChangeCount == changeCount && newPixels == pixels && newPitch == pitch && newKeyLow == keyLow &&
         newKeyHigh == keyHigh ) {
        return;
    }
    changeCount = newChangeCount;
    pixels = newPixels;
    pitch = newPitch;
    keyLow = newKeyLow;
    keyHigh = newKeyHigh;
    if ( known != nullptr ) {
        std::memset( known, 0, size_t( height ) );
    }
}

int HostKeyedPieces::Sort( int top, int bottom ) {
    if ( pixels == nullptr || top < 0 || bottom > height || top > bottom ) {
        return 0;
    }
    for ( int y = top; y < bottom; y++ ) {
        if ( !known[y] ) {
            SortRow( y );
        }
    }
    return 1;
}

// The kinds, then from the row's end backwards where each piece's stretch of one kind ends.
void HostKeyedPieces::SortRow( int y ) {
    uint8_t *kinds = table + size_t( y ) * size_t( 2 * piecesPerRow );
    uint8_t *ends = kinds + piecesPerRow;
    HostBlitSortPieces( pixels + size_t( y ) * size_t( pitch ), width, keyLow, keyHigh, kinds );
    ends[piecesPerRow - 1] = uint8_t( piecesPerRow );
    for ( int piece = piecesPerRow - 2; piece >= 0; piece-- ) {
        ends[piece] = kinds[piece] == kinds[piece + 1] ? ends[piece + 1] : uint8_t( piece + 1 );
    }
    known[y] = 1;
    rowsSorted++;
}

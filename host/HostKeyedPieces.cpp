#include "host/HostKeyedPieces.h"

#include "host/HostBlit.h"

#include <cstring>
#include <new>

HostKeyedPieces::HostKeyedPieces()
    : width( 0 ), height( 0 ), piecesPerRow( 0 ), table( nullptr ), stretchEnds( nullptr ),
      knownFirst( nullptr ), knownEnd( nullptr ), pixels( nullptr ), pitch( 0 ), changeCount( 0 ),
      keyLow( 0 ), keyHigh( 0 ), piecesSorted( 0 ) {
}

HostKeyedPieces::~HostKeyedPieces() {
    Free();
}

void HostKeyedPieces::Free() {
    delete[] table;
    delete[] stretchEnds;
    delete[] knownFirst;
    delete[] knownEnd;
    table = nullptr;
    stretchEnds = nullptr;
    knownFirst = nullptr;
    knownEnd = nullptr;
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
    table = new ( std::nothrow ) uint8_t[size_t( perRow ) * size_t( newHeight )];
    stretchEnds = new ( std::nothrow ) uint64_t[size_t( newHeight )];
    knownFirst = new ( std::nothrow ) uint8_t[size_t( newHeight )];
    knownEnd = new ( std::nothrow ) uint8_t[size_t( newHeight )];
    if ( table == nullptr || stretchEnds == nullptr || knownFirst == nullptr || knownEnd == nullptr ) {
        Free();
        return 0;
    }
    width = newWidth;
    height = newHeight;
    piecesPerRow = perRow;
    Forget();
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
    Forget();
}

// Every row knows no piece: the empty range from piece MOST_PIECES to 0 contains none.
void HostKeyedPieces::Forget() {
    if ( knownFirst != nullptr ) {
        std::memset( knownFirst, MOST_PIECES, size_t( height ) );
        std::memset( knownEnd, 0, size_t( height ) );
    }
}

// The known pieces stay one run: a gap between them and the new ones is sorted too. Pieces
// outside the run may hold what an older picture had, so the stretch ends, worked out over
// the whole row, are only followed inside it.
const uint8_t *HostKeyedPieces::SortRow( int y, int first, int end ) {
    int knownFrom = knownFirst[y], knownTo = knownEnd[y];
    if ( knownFrom >= knownTo ) {
        SortPieces( y, first, end );
        knownFrom = first;
        knownTo = end;
    } else {
        if ( first < knownFrom ) {
            SortPieces( y, first, knownFrom );
            knownFrom = first;
        }
        if ( end > knownTo ) {
            SortPieces( y, knownTo, end );
            knownTo = end;
        }
    }
    knownFirst[y] = uint8_t( knownFrom );
    knownEnd[y] = uint8_t( knownTo );
    const uint8_t *kinds = GetRow( y );
    uint64_t ends = uint64_t( 1 ) << ( piecesPerRow - 1 );
    for ( int piece = 0; piece + 1 < piecesPerRow; piece++ ) {
        ends |= uint64_t( kinds[piece] != kinds[piece + 1] ) << piece;
    }
    stretchEnds[y] = ends;
    return kinds;
}

void HostKeyedPieces::SortPieces( int y, int first, int end ) {
    uint8_t *kinds = table + size_t( y ) * size_t( piecesPerRow );
    const int left = first * PIECE_WIDTH;
    const int right = end * PIECE_WIDTH < width ? end * PIECE_WIDTH : width;
    HostBlitSortPieces( pixels + size_t( y ) * size_t( pitch ) + size_t( left ), right - left, keyLow,
                        keyHigh, kinds + first );
    piecesSorted += uint32_t( end - first );
}

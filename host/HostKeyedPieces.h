#ifndef KELTO_HOST_HOSTKEYEDPIECES_H
#define KELTO_HOST_HOSTKEYEDPIECES_H

#include <cstddef>
#include <cstdint>

// Which 64-pixel pieces of each row of a keyed surface are transparent throughout, opaque
// throughout or both, so that a blit over a backdrop reads only the side a piece shows: the
// land's sky needs none of the land's bytes, its ground none of the background's. The pieces
// a blit shows are sorted as it reaches their row, and all are forgotten once the surface's
// change count, key or memory moves: a crater costs one more look at the land on the screen.
class HostKeyedPieces {
public:
    enum { PIECE_WIDTH = 64, MOST_PIECES = 64 };
    enum Kind { MIXED = 0, TRANSPARENT = 1, OPAQUE = 2 };

    HostKeyedPieces();
    virtual ~HostKeyedPieces();

    // Room for a surface of `width` x `height`, up to 64 pieces a row; 1, or 0 (then none).
    int Create( int width, int height );

    // Ties the pieces to the surface as it stands now: rows sorted for another change count,
    // key range or memory are forgotten. Null `pixels` leaves nothing to sort.
    void Follow( uint32_t changeCount, const uint8_t *pixels, int pitch, uint8_t keyLow, uint8_t keyHigh );
    int IsFollowing() const { return pixels != nullptr; }

    // The kinds of row `y` (inside the surface, something followed) with at least its pieces
    // from `first` up to `end` (exclusive) sorted, sorting them now if need be.
    const uint8_t *Row( int y, int first, int end ) {
        return first >= knownFirst[y] && end <= knownEnd[y] ? GetRow( y ) : SortRow( y, first, end );
    }
    // The same without sorting: null unless those pieces are known already.
    const uint8_t *KnownRow( int y, int first, int end ) const {
        return first >= knownFirst[y] && end <= knownEnd[y] ? GetRow( y ) : nullptr;
    }

    // Row `y`'s pieces that end a stretch of one kind: bit p set where piece p + 1 is of
    // another kind or there is none. Good inside the pieces sorted.
    uint64_t GetStretchEnds( int y ) const { return stretchEnds[y]; }
    int GetPiecesPerRow() const { return piecesPerRow; }
    // Pieces sorted since Create: how often pieces were worked out again.
    uint32_t GetPiecesSorted() const { return piecesSorted; }

private:
    HostKeyedPieces( const HostKeyedPieces & ) = delete;
    HostKeyedPieces &operator=( const HostKeyedPieces & ) = delete;

    void Free();
    void Forget();
    const uint8_t *SortRow( int y, int first, int end );
    void SortPieces( int y, int first, int end );
    const uint8_t *GetRow( int y ) const { return table + size_t( y ) * size_t( piecesPerRow ); }

    int width;
    int height;
    int piecesPerRow;
    uint8_t *table;        // owned: height rows of kinds
    uint64_t *stretchEnds; // owned: one mask a row
    uint8_t *knownFirst;   // owned: a row each, the first piece sorted for what it holds now
    uint8_t *knownEnd;     // owned: a row each, the piece after the last so sorted
    const uint8_t *pixels; // not owned: the surface's, as last followed
    int pitch;
    uint32_t changeCount;
    uint8_t keyLow;
    uint8_t keyHigh;
    uint32_t piecesSorted;
};

#endif

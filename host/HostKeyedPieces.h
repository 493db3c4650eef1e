#ifndef KELTO_HOST_HOSTKEYEDPIECES_H
#define KELTO_HOST_HOSTKEYEDPIECES_H

#include <cstddef>
#include <cstdint>

// Which 64-pixel pieces of each row of a keyed surface are transparent throughout, opaque
// throughout or both, so that a blit over a backdrop reads only the side a piece shows: the
// land's sky needs none of the land's bytes, its ground none of the background's. Rows are
// sorted when a blit first needs them, and all are forgotten once the surface's change count,
// key or memory moves, so a crater costs one more look at the rows on the screen.
class HostKeyedPieces {
public:
    enum { PIECE_WIDTH = 64, MOST_PIECES = 255 };
    enum Kind { MIXED = 0, TRANSPARENT = 1, OPAQUE = 2 };

    HostKeyedPieces();
    virtual ~HostKeyedPieces();

    // Room for a surface of `width` x `height`, up to 255 pieces a row; 1, or 0 (then none).
    int Create( int width, int height );

    // Ties the pieces to the surface as it stands now: rows sorted for another change count,
    // key range or memory are forgotten. Null `pixels` leaves nothing to sort.
    void Follow( uint32_t changeCount, const uint8_t *pixels, int pitch, uint8_t keyLow, uint8_t keyHigh );
    // Sorts the rows from `top` up to `bottom` (exclusive) not known yet; 0 when they are not
    // all inside the surface or nothing is followed.
    int Sort( int top, int bottom );

    // Row `y` once sorted: GetPiecesPerRow kinds, then for each piece the index of the first
    // piece after it of another kind (GetPiecesPerRow when none).
    const uint8_t *GetRow( int y ) const { return table + size_t( y ) * size_t( 2 * piecesPerRow ); }
    int GetPiecesPerRow() const { return piecesPerRow; }
    // Rows sorted since Create: how often pieces were worked out again.
    uint32_t GetRowsSorted() const { return rowsSorted; }

private:
    HostKeyedPieces( const HostKeyedPieces & ) = delete;
    HostKeyedPieces &operator=( const HostKeyedPieces & ) = delete;

    void Free();
    void SortRow( int y );

    int width;
    int height;
    int piecesPerRow;
    uint8_t *table;        // owned: height rows of kinds and stretch ends
    uint8_t *known;        // owned: one flag a row
    const uint8_t *pixels; // not owned: the surface's, as last followed
    int pitch;
    uint32_t changeCount;
    uint8_t keyLow;
    uint8_t keyHigh;
    uint32_t rowsSorted;
};

#endif

#ifndef KELTO_GFX_RECT_H
#define KELTO_GFX_RECT_H

// An integer rectangle with inclusive corners: it covers every pixel (x, y) with
// left <= x <= right and top <= y <= bottom. Bounds, clip rectangles, source regions and
// overlap tests all use it.
class Rect {
public:
    Rect();
    Rect( const Rect &other );
    Rect( int x1, int y1, int x2, int y2 );
    virtual ~Rect();

    Rect &operator=( const Rect &other );

    int GetWidth() const { return right - left + 1; }
    int GetHeight() const { return bottom - top + 1; }

    void Normalize();
    int Overlaps( const Rect &other ) const;
    int Contains( int x, int y ) const;
    // Shrinks this rectangle to its common part with `other`; disjoint rectangles leave an
    // empty one (right < left or bottom < top).
    void Intersect( const Rect &other );

    int left;
    int top;
    int right;
    int bottom;
};

#endif

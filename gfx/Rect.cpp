#include "gfx/Rect.h"

#include <utility>

Rect::Rect() : left( 0 ), top( 0 ), right( 0 ), bottom( 0 ) {
}

Rect::Rect( const Rect &other )
    : left( other.left ), top( other.top ), right( other.right ), bottom( other.bottom ) {
}

// Corners may come in any order; the rectangle is the one they span.
Rect::Rect( int x1, int y1, int x2, int y2 ) {
    if ( y1 > y2 ) {
        std::swap( y1, y2 );
    }
    if ( x1 > x2 ) {
        std::swap( x1, x2 );
    }
    left = x1;
    top = y1;
    right = x2;
    bottom = y2;
}

Rect::~Rect() {
}

Rect &Rect::operator=( const Rect &other ) {
    left = other.left;
    top = other.top;
    right = other.right;
    bottom = other.bottom;
    return *this;
}

void Rect::Normalize() {
    if ( top > bottom ) {
        std::swap( top, bottom );
    }
    if ( left > right ) {
        std::swap( left, right );
    }
}

int Rect::Overlaps( const Rect &other ) const {
    if ( right < other.left || left > other.right || bottom < other.top || top > other.bottom ) {
        return 0;
    }
    return 1;
}

int Rect::Contains( int x, int y ) const {
    if ( right < x || left > x || bottom < y || top > y ) {
        return 0;
    }
    return 1;
}

void Rect::Intersect( const Rect &other ) {
    if ( left < other.left ) {
        left = other.left;
    }
    if ( right > other.right ) {
        right = other.right;
    }
    if ( bottom > other.bottom ) {
        bottom = other.bottom;
    }
    if ( top < other.top ) {
        top = other.top;
    }
}

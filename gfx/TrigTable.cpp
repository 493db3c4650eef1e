#include "gfx/TrigTable.h"

#include <cmath>
#include <cstdint>
#include <new>

namespace {

// A little less than two pi: the table's values (Sine(30) = 127, Tangent(45) = 255) come from
// angles accumulated with exactly this step, so it must not be "corrected".
const double kFullTurn = 6.283185307178;

// Converts a scaled value to an entry, dropping the fraction. The tangent near its poles is far
// beyond 32 bits; those entries saturate, symmetrically so that the table stays odd.
int32_t ToEntry( double value ) {
    const double limit = 2147483647.0;
    if ( std::isnan( value ) ) {
        return 0;
    }
    if ( value >= limit ) {
        return INT32_MAX;
    }
    if ( value <= -limit ) {
        return -INT32_MAX;
    }
    return static_cast<int32_t>( value );
}

} // namespace

TrigTable::TrigTable( int steps, int scale )
    : ready( 0 ), steps( steps ), scale( scale ), sines( nullptr ), tangents( nullptr ) {
    // 2n - 1 entries must fit an int index.
    if ( steps <= 0 || steps > ( INT32_MAX / 2 ) ) {
        return;
    }
    const int count = 2 * steps - 1;
    sines = new ( std::nothrow ) int32_t[count];
    tangents = new ( std::nothrow ) int32_t[count];
    if ( sines == nullptr || tangents == nullptr ) {
        delete[] sines;
        delete[] tangents;
        sines = nullptr;
        tangents = nullptr;
        return;
    }
    ready = 1;

    // Angles are summed step by step rather than multiplied out, and the negative half mirrors
    // the positive one exactly, so an entry for -k is the negative of the entry for +k.
    const double step = kFullTurn / steps;
    const double s = scale;
    double angle = 0.0;
    for ( int i = steps - 1; i <= 2 * steps - 2; i++ ) {
        sines[i] = ToEntry( std::sin( angle ) * s );
        tangents[i] = ToEntry( std::tan( angle ) * s );
        angle += step;
    }
    angle = -step;
    for ( int i = steps - 2; i >= 0; i-- ) {
        sines[i] = ToEntry( std::sin( angle ) * s );
        tangents[i] = ToEntry( std::tan( angle ) * s );
        angle -= step;
    }
}

TrigTable::~TrigTable() {
    if ( ready ) {
        delete[] sines;
        delete[] tangents;
    }
    sines = nullptr;
    tangents = nullptr;
}

// Brings an angle into -(n - 1) .. n - 1 keeping its direction of turning (the remainder keeps
// the sign), and returns its index in the arrays.
int TrigTable::Wrap( int64_t angle ) const {
    int64_t k = angle;
    if ( k >= steps || k <= -steps ) {
        k %= steps;
    }
    return static_cast<int>( k + steps - 1 );
}

int TrigTable::Sine( int angle ) const {
    if ( !ready ) {
        return 0;
    }
    return sines[Wrap( angle )];
}

int TrigTable::Cosine( int angle ) const {
    if ( !ready ) {
        return 0;
    }
    // The quarter turn is added in 64 bits so that angles near INT_MAX do not overflow.
    return sines[Wrap( static_cast<int64_t>( angle ) + ( steps >> 2 ) )];
}

int TrigTable::Tangent( int angle ) const {
    if ( !ready ) {
        return 0;
    }
    return tangents[Wrap( angle )];
}

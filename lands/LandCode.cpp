#include "lands/LandCode.h"

#include <cstddef>
#include <cstdio>
#include <cstring>

namespace {

const char *const STYLE_NAMES[LandCode::STYLE_COUNT] = { "HILLS", "ISLANDS", "CAVERN", "CLIFFS" };
const char *const THEME_NAMES[LandCode::THEME_COUNT] = { "GREEN", "DESERT", "SNOW" };

char Upper( char c ) {
    return c >= 'a' && c <= 'z' ? char( c - 'a' + 'A' ) : c;
}

// The index of the name that `text` starts with, ended by '-'; -1 when none. `end` is set
// past the '-'.
int ReadWord( const char *text, const char *const *names, int count, const char *&end ) {
    for ( int i = 0; i < count; i++ ) {
        const size_t length = std::strlen( names[i] );
        size_t j = 0;
        while ( j < length && Upper( text[j] ) == names[i][j] ) {
            j++;
        }
        if ( j == length && text[j] == '-' ) {
            end = text + j + 1;
            return i;
        }
    }
    return -1;
}

int HexDigit( char c ) {
    c = Upper( c );
    if ( c >= '0' && c <= '9' ) {
        return c - '0';
    }
    if ( c >= 'A' && c <= 'F' ) {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

LandCode::LandCode() : style( HILLS ), theme( GREEN ), seed( 0 ) {
}

LandCode::LandCode( int newStyle, int newTheme, uint32_t newSeed )
    : style( newStyle >= 0 && newStyle < STYLE_COUNT ? newStyle : HILLS ),
      theme( newTheme >= 0 && newTheme < THEME_COUNT ? newTheme : GREEN ), seed( newSeed ) {
}

LandCode::~LandCode() {
}

int LandCode::Parse( const char *text ) {
    if ( text == nullptr ) {
        return 0;
    }
    const char *rest = text;
    const int newStyle = ReadWord( rest, STYLE_NAMES, STYLE_COUNT, rest );
    if ( newStyle < 0 ) {
        return 0;
    }
    const int newTheme = ReadWord( rest, THEME_NAMES, THEME_COUNT, rest );
    if ( newTheme < 0 ) {
        return 0;
    }
    uint32_t newSeed = 0;
    for ( int i = 0; i < 8; i++ ) {
        const int digit = HexDigit( rest[i] );
        if ( digit < 0 ) {
            return 0;
        }
        newSeed = ( newSeed << 4 ) | uint32_t( digit );
    }
    if ( rest[8] != '\0' ) {
        return 0;
    }
    style = newStyle;
    theme = newTheme;
    seed = newSeed;
    return 1;
}

void LandCode::Format( char *text, int size ) const {
    if ( text != nullptr && size > 0 ) {
        std::snprintf( text, size_t( size ), "%s-%s-%08X", StyleName( style ), ThemeName( theme ),
                       unsigned( seed ) );
    }
}

const char *LandCode::StyleName( int value ) {
    return value >= 0 && value < STYLE_COUNT ? STYLE_NAMES[value] : "";
}

const char *LandCode::ThemeName( int value ) {
    return value >= 0 && value < THEME_COUNT ? THEME_NAMES[value] : "";
}

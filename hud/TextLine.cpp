#include "hud/TextLine.h"

TextLine::TextLine() : length( 0 ) {
    text[0] = '\0';
}

TextLine::~TextLine() {
}

TextLine &TextLine::Add( const char *words ) {
    while ( *words != '\0' && length < CAPACITY ) {
        text[length++] = *words++;
    }
    text[length] = '\0';
    return *this;
}

TextLine &TextLine::Add( int number ) {
    char digits[12];
    int count = 0;
    // The magnitude as unsigned, so that the most negative int has one too.
    unsigned magnitude = number < 0 ? 0u - unsigned( number ) : unsigned( number );
    do {
        digits[count++] = char( '0' + magnitude % 10 );
        magnitude /= 10;
    } while ( magnitude != 0 );
    if ( number < 0 ) {
        digits[count++] = '-';
    }
    while ( count > 0 && length < CAPACITY ) {
        text[length++] = digits[--count];
    }
    text[length] = '\0';
    return *this;
}

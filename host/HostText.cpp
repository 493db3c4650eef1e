#include "host/HostText.h"

#include <cstdio>

const char *HostEscapeText( const char *bytes, size_t length, char out[HOST_TEXT_SIZE] ) {
    size_t put = 0;
    const size_t shown = length < HOST_TEXT_SHOWN ? length : HOST_TEXT_SHOWN;
    for ( size_t i = 0; i < shown; i++ ) {
        const unsigned char byte = static_cast<unsigned char>( bytes[i] );
        if ( byte == '\\' ) {
            out[put++] = '\\';
            out[put++] = '\\';
        } else if ( byte < 0x20 || byte >= 0x7f ) {
            std::snprintf( out + put, 5, "\\x%02x", byte );
            put += 4;
        } else {
            out[put++] = char( byte );
        }
    }
    if ( length > shown ) {
        out[put++] = '.';
        out[put++] = '.';
        out[put++] = '.';
    }
    out[put] = '\0';
    return out;
}

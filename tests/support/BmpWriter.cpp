#include "tests/support/BmpWriter.h"

#include "host/HostFile.h"

#include <cstdio>

static void Put16( std::vector<uint8_t> &out, uint32_t value ) {
    out.push_back( uint8_t( value ) );
    out.push_back( uint8_t( value >> 8 ) );
}

static void Put32( std::vector<uint8_t> &out, uint32_t value ) {
    Put16( out, value & 0xFFFF );
    Put16( out, value >> 16 );
}

std::vector<uint8_t> MakeBmp( const BmpSpec &spec ) {
    const uint32_t tableEntries = spec.clrUsed == 0 ? 256 : spec.clrUsed;
    const int rowBytes = spec.width > 0 ? spec.width : 0;
    const int padding = ( 4 - rowBytes % 4 ) % 4;
    const int rows = spec.height > 0 ? spec.height : ( spec.height < 0 ? -spec.height : 0 );
    std::vector<uint8_t> out;
    Put16( out, spec.type );
    Put32( out, 0 ); // bfSize, not read
    Put16( out, 0 );
    Put16( out, 0 );
    Put32( out, 14 + spec.infoSize + 4 * tableEntries );
    Put32( out, spec.infoSize );
    Put32( out, uint32_t( spec.width ) );
    Put32( out, uint32_t( spec.height ) );
    Put16( out, 1 );
    Put16( out, uint32_t( spec.bitCount ) );
    Put32( out, spec.compression );
    Put32( out, 0 );
    Put32( out, 2835 );
    Put32( out, 2835 );
    Put32( out, spec.clrUsed );
    Put32( out, 0 );
    for ( uint32_t i = 0; i < tableEntries; i++ ) {
        HostPaletteEntry e = i < spec.palette.size() ? spec.palette[i] : HostPaletteEntry{ 0, 0, 0, 0 };
        out.push_back( e.blue );
        out.push_back( e.green );
        out.push_back( e.red );
        out.push_back( e.flags );
    }
    for ( int r = rows - 1; r >= 0; r-- ) {
        for ( int x = 0; x < rowBytes; x++ ) {
            size_t index = size_t( r ) * size_t( rowBytes ) + size_t( x );
            out.push_back( index < spec.pixels.size() ? spec.pixels[index] : 0 );
        }
        for ( int p = 0; p < padding; p++ ) {
            out.push_back( 0 );
        }
    }
    return out;
}

std::vector<uint8_t> MakeBmp( int width, int height, uint8_t ( *colour )( int x, int y ) ) {
    BmpSpec spec;
    spec.width = width;
    spec.height = height;
    for ( int i = 0; i < 256; i++ ) {
        spec.palette.push_back( HostPaletteEntry{ uint8_t( i ), uint8_t( i ), uint8_t( i ), 0 } );
    }
    spec.pixels.resize( size_t( width ) * size_t( height ) );
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            spec.pixels[size_t( y ) * size_t( width ) + size_t( x )] = colour( x, y );
        }
    }
    return MakeBmp( spec );
}

void PutMemoryFile( const std::string &name, const std::vector<uint8_t> &bytes ) {
    HostAddMemoryFile( name.c_str(), bytes.data(), bytes.size() );
}

int WriteFileBytes( const std::string &path, const std::vector<uint8_t> &bytes ) {
    FILE *file = std::fopen( path.c_str(), "wb" );
    if ( file == nullptr ) {
        return 0;
    }
    size_t written = std::fwrite( bytes.data(), 1, bytes.size(), file );
    return std::fclose( file ) == 0 && written == bytes.size() ? 1 : 0;
}

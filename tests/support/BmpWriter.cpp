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

std::vector<uint8_t> MakeBmp( const BmpPicture &picture ) {
    const uint32_t tableEntries = picture.clrUsed == 0 ? 256 : picture.clrUsed;
    const int rowBytes = picture.width > 0 ? picture.width : 0;
    const int padding = ( 4 - rowBytes % 4 ) % 4;
    const int rows = picture.height > 0 ? picture.height : ( picture.height < 0 ? -picture.height : 0 );
    std::vector<uint8_t> out;
    Put16( out, picture.type );
    Put32( out, 0 ); // bfSize, not read
    Put16( out, 0 );
    Put16( out, 0 );
    Put32( out, 14 + picture.infoSize + 4 * tableEntries );
    Put32( out, picture.infoSize );
    Put32( out, uint32_t( picture.width ) );
    Put32( out, uint32_t( picture.height ) );
    Put16( out, 1 );
    Put16( out, uint32_t( picture.bitCount ) );
    Put32( out, picture.compression );
    Put32( out, 0 );
    Put32( out, 2835 );
    Put32( out, 2835 );
    Put32( out, picture.clrUsed );
    Put32( out, 0 );
    for ( uint32_t i = 0; i < tableEntries; i++ ) {
        HostPaletteEntry e = i < picture.palette.size() ? picture.palette[i] : HostPaletteEntry{ 0, 0, 0, 0 };
        out.push_back( e.blue );
        out.push_back( e.green );
        out.push_back( e.red );
        out.push_back( e.flags );
    }
    for ( int r = rows - 1; r >= 0; r-- ) {
        for ( int x = 0; x < rowBytes; x++ ) {
            size_t index = size_t( r ) * size_t( rowBytes ) + size_t( x );
            out.push_back( index < picture.pixels.size() ? picture.pixels[index] : 0 );
        }
        for ( int p = 0; p < padding; p++ ) {
            out.push_back( 0 );
        }
    }
    return out;
}

std::vector<uint8_t> MakeBmp( int width, int height, uint8_t ( *colour )( int x, int y ) ) {
    BmpPicture picture;
    picture.width = width;
    picture.height = height;
    for ( int i = 0; i < 256; i++ ) {
        picture.palette.push_back( HostPaletteEntry{ uint8_t( i ), uint8_t( i ), uint8_t( i ), 0 } );
    }
    picture.pixels.resize( size_t( width ) * size_t( height ) );
    for ( int y = 0; y < height; y++ ) {
        for ( int x = 0; x < width; x++ ) {
            picture.pixels[size_t( y ) * size_t( width ) + size_t( x )] = colour( x, y );
        }
    }
    return MakeBmp( picture );
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

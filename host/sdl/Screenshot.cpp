#include "host/sdl/Screenshot.h"

#include "host/HostFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int IsFolder( const std::string &path ) {
    struct stat info;
    return !path.empty() && stat( path.c_str(), &info ) == 0 && S_ISDIR( info.st_mode ) ? 1 : 0;
}

int Exists( const std::string &path ) {
    struct stat info;
    return stat( path.c_str(), &info ) == 0 ? 1 : 0;
}

std::string ChooseFolder() {
    const char *pictures = std::getenv( "XDG_PICTURES_DIR" );
    if ( pictures != nullptr && IsFolder( pictures ) ) {
        return pictures;
    }
    const char *home = std::getenv( "HOME" );
    if ( home != nullptr && IsFolder( std::string( home ) + "/Pictures" ) ) {
        return std::string( home ) + "/Pictures";
    }
    return ".";
}

void WriteToFile( png_structp png, png_bytep bytes, png_size_t count ) {
    if ( !HostFileWrite( static_cast<HostFile *>( png_get_io_ptr( png ) ), bytes, int64_t( count ) ) ) {
        png_error( png, "cannot be written" );
    }
}

void FlushNothing( png_structp ) {
}

// libpng reports a failure by jumping back to where the write began.
int WriteRows( HostFile *file, const uint8_t *pixels, int pitch, int width, int height,
               const HostPaletteEntry *palette ) {
    png_structp png = png_create_write_struct( PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr );
    png_infop info = png ? png_create_info_struct( png ) : nullptr;
    if ( !info ) {
        png_destroy_write_struct( &png, nullptr );
        return 0;
    }
    if ( setjmp( png_jmpbuf( png ) ) ) {
        png_destroy_write_struct( &png, &info );
        return 0;
    }
    png_set_write_fn( png, file, WriteToFile, FlushNothing );
    png_set_IHDR( png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                  PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT );
    png_color colours[256];
    for ( int i = 0; i < 256; ++i ) {
        colours[i].red = palette ? palette[i].red : 0;
        colours[i].green = palette ? palette[i].green : 0;
        colours[i].blue = palette ? palette[i].blue : 0;
    }
    png_set_PLTE( png, info, colours, 256 );
    png_write_info( png, info );
    for ( int y = 0; y < height; ++y ) {
        png_write_row( png, const_cast<png_bytep>( pixels + static_cast<size_t>( y ) * pitch ) );
    }
    png_write_end( png, nullptr );
    png_destroy_write_struct( &png, &info );
    return 1;
}

} // namespace

std::string ScreenshotChoosePath() {
    const std::time_t now = std::time( nullptr );
    std::tm local;
    localtime_r( &now, &local );
    char stamp[32];
    std::strftime( stamp, sizeof( stamp ), "%Y%m%d-%H%M%S", &local );
    const std::string base = ChooseFolder() + "/kelto-" + stamp;
    std::string path = base + ".png";
    for ( int number = 2; Exists( path ); ++number ) {
        path = base + "-" + std::to_string( number ) + ".png";
    }
    return path;
}

int ScreenshotWritePng( const std::string &path, const uint8_t *pixels, int pitch, int width, int height,
                        const HostPaletteEntry *palette ) {
    if ( pixels == nullptr || width <= 0 || height <= 0 ) {
        return 0;
    }
    // A new regular file only: whatever took the name since it was chosen is left alone.
    HostFile *file = HostFileCreate( path.c_str(), 1 );
    if ( file == nullptr ) {
        return 0;
    }
    const int written = WriteRows( file, pixels, pitch, width, height, palette ) && HostFileSync( file );
    HostFileClose( file );
    if ( !written ) {
        unlink( path.c_str() );
        return 0;
    }
    return 1;
}

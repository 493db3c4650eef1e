#include "host/sdl/Screenshot.h"

#include "host/HostFile.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
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

// The path one user-dirs.dirs line gives XDG_PICTURES_DIR, or empty when the line sets
// something else or a relative path. Quotes and backslash escapes as the shell would read them.
std::string PicturesDirOfLine( const std::string &line, const std::string &home ) {
    const char *key = "XDG_PICTURES_DIR";
    size_t at = line.find_first_not_of( " \t" );
    if ( at == std::string::npos || line.compare( at, std::strlen( key ), key ) != 0 ) {
        return std::string();
    }
    at = line.find_first_not_of( " \t", at + std::strlen( key ) );
    if ( at == std::string::npos || line[at] != '=' ) {
        return std::string();
    }
    at = line.find_first_not_of( " \t", at + 1 );
    if ( at == std::string::npos || line[at] != '"' ) {
        return std::string();
    }
    ++at;
    std::string path;
    if ( line.compare( at, 5, "$HOME" ) == 0 &&
         ( at + 5 == line.size() || line[at + 5] == '/' || line[at + 5] == '"' ) ) {
        path = home;
        at += 5;
    } else if ( at >= line.size() || line[at] != '/' ) {
        return std::string();
    }
    for ( ; at < line.size() && line[at] != '"'; ++at ) {
        if ( line[at] == '\\' && at + 1 < line.size() ) {
            ++at;
        }
        path += line[at];
    }
    while ( path.size() > 1 && path.back() == '/' ) {
        path.pop_back();
    }
    return path;
}

} // namespace

std::string ScreenshotUserPicturesDir( const char *home, const char *configHome ) {
    const std::string homePath = home != nullptr ? home : "";
    std::string file;
    if ( configHome != nullptr && configHome[0] != '\0' ) {
        file = std::string( configHome ) + "/user-dirs.dirs";
    } else if ( !homePath.empty() ) {
        file = homePath + "/.config/user-dirs.dirs";
    } else {
        return std::string();
    }
    std::ifstream lines( file );
    std::string picked;
    for ( std::string line; std::getline( lines, line ); ) {
        const std::string path = PicturesDirOfLine( line, homePath );
        if ( !path.empty() ) {
            picked = path;
        }
    }
    return picked;
}

std::string ScreenshotChooseFolder() {
    const char *pictures = std::getenv( "XDG_PICTURES_DIR" );
    if ( pictures != nullptr && IsFolder( pictures ) ) {
        return pictures;
    }
    const char *home = std::getenv( "HOME" );
    const std::string desktops = ScreenshotUserPicturesDir( home, std::getenv( "XDG_CONFIG_HOME" ) );
    if ( IsFolder( desktops ) ) {
        return desktops;
    }
    if ( home != nullptr && IsFolder( std::string( home ) + "/Pictures" ) ) {
        return std::string( home ) + "/Pictures";
    }
    return ".";
}

namespace {
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
    const std::string base = ScreenshotChooseFolder() + "/kelto-" + stamp;
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

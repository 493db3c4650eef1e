#ifndef KELTO_FUZZ_FUZZSUPPORT_H
#define KELTO_FUZZ_FUZZSUPPORT_H

// What the fuzz targets share: a reader that turns the fuzzer's bytes into sizes, coordinates
// and colours (reaching the int limits now and then), the matching writer the targets use to
// make their seed files, an Image wrapped over the middle of a larger block so that a stray
// write lands in a guard band we can inspect, and the way a target reports a broken rule.

#include "gfx/Image.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

// A broken rule is a crash, so that libFuzzer keeps the input that showed it.
#define FUZZ_CHECK( condition, ... )                                                                         \
    do {                                                                                                     \
        if ( !( condition ) ) {                                                                              \
            std::fprintf( stderr, "FUZZ_CHECK failed at %s:%d: %s\n  ", __FILE__, __LINE__, #condition );    \
            std::fprintf( stderr, __VA_ARGS__ );                                                             \
            std::fprintf( stderr, "\n" );                                                                    \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while ( 0 )

// Coordinates come in four kinds, chosen by a tag byte: near the picture (most of the time),
// just under INT_MAX, just over INT_MIN, or any 32-bit value.
enum FuzzCoordinateKind { FUZZ_NEAR = 0, FUZZ_HIGH = 5, FUZZ_LOW = 6, FUZZ_ANY = 7 };

class FuzzReader {
public:
    FuzzReader( const uint8_t *data, size_t size ) : data( data ), size( size ), position( 0 ) {}

    size_t Remaining() const { return size - position; }

    // Past the end every read gives 0, so every input is a complete program.
    uint8_t Byte() { return position < size ? data[position++] : 0; }

    uint32_t Word() {
        uint32_t value = 0;
        for ( int i = 0; i < 4; i++ ) {
            value |= uint32_t( Byte() ) << ( 8 * i );
        }
        return value;
    }

    // A value in [low, high], from one byte (ranges up to 256 values).
    int Small( int low, int high ) { return low + int( Byte() % uint32_t( high - low + 1 ) ); }

    // A coordinate: near the picture, [-64, 191], or at the int limits.
    int Coordinate() {
        uint8_t tag = Byte() % 8;
        if ( tag == FUZZ_HIGH ) {
            return INT_MAX - int( Byte() );
        }
        if ( tag == FUZZ_LOW ) {
            return INT_MIN + int( Byte() );
        }
        if ( tag == FUZZ_ANY ) {
            return int( int32_t( Word() ) );
        }
        return int( Byte() ) - 64;
    }

private:
    const uint8_t *data;
    size_t size;
    size_t position;
};

// Writes seed inputs in the reader's terms.
class FuzzWriter {
public:
    void Byte( uint8_t value ) { bytes.push_back( value ); }
    void Word( uint32_t value ) {
        for ( int i = 0; i < 4; i++ ) {
            Byte( uint8_t( value >> ( 8 * i ) ) );
        }
    }
    void Small( int low, int value ) { Byte( uint8_t( value - low ) ); }
    // A coordinate near the picture, in [-64, 191].
    void Near( int value ) {
        Byte( FUZZ_NEAR );
        Byte( uint8_t( value + 64 ) );
    }
    void High( int belowMax ) {
        Byte( FUZZ_HIGH );
        Byte( uint8_t( belowMax ) );
    }
    void Low( int aboveMin ) {
        Byte( FUZZ_LOW );
        Byte( uint8_t( aboveMin ) );
    }
    void Any( int32_t value ) {
        Byte( FUZZ_ANY );
        Word( uint32_t( value ) );
    }

    std::vector<uint8_t> bytes;
};

// An Image wrapping the middle of a larger block: `guard` bytes of margin on every side and a
// pitch wider than the width, as a locked surface may have. The whole block is compared
// against a snapshot to find writes outside the clip rectangle.
class GuardedImage {
public:
    static const int GUARD = 16;

    GuardedImage( int width, int height, int extraPitch )
        : width( width ), height( height ), pitch( width + 2 * GUARD + extraPitch ),
          block( size_t( pitch ) * size_t( height + 2 * GUARD ) ) {
        for ( size_t i = 0; i < block.size(); i++ ) {
            block[i] = uint8_t( 0xA5 ^ ( i * 7 ) );
        }
        image.SetWidth( width );
        image.SetHeight( height );
        image.SetPitch( pitch );
        image.SetPixels( Origin() );
        image.SetClipRect( image.GetBounds() );
    }

    uint8_t *Origin() { return &block[size_t( GUARD ) * size_t( pitch ) + GUARD]; }
    uint8_t Pixel( int x, int y ) const { return block[Offset( x, y )]; }
    size_t Offset( int x, int y ) const {
        return size_t( y + GUARD ) * size_t( pitch ) + size_t( x + GUARD );
    }

    void Snapshot() { before = block; }
    uint8_t Before( int x, int y ) const { return before[Offset( x, y )]; }

    // Every byte outside the clip rectangle, guard band and pitch gap included, is as it was
    // at the last Snapshot. `what` names the operation for the report.
    void CheckOnlyClipChanged( const char *what ) const {
        const Rect &clip = image.GetClipRect();
        for ( int y = -GUARD; y < height + GUARD; y++ ) {
            for ( int x = -GUARD; x < pitch - GUARD; x++ ) {
                size_t offset = Offset( x, y );
                if ( block[offset] == before[offset] ) {
                    continue;
                }
                bool inside = x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom &&
                              x < width && y < height;
                FUZZ_CHECK( inside, "%s wrote (%d, %d) outside the clip (%d, %d, %d, %d) of a %d x %d image",
                            what, x, y, clip.left, clip.top, clip.right, clip.bottom, width, height );
            }
        }
    }

    const std::vector<uint8_t> &GetBlock() const { return block; }

    // Takes the other's pixels (same size), so that two targets can be compared again.
    void CopyFrom( const GuardedImage &other ) { block = other.block; }

    void CheckUnchanged( const char *what ) const {
        FUZZ_CHECK( block == before, "%s wrote into a picture it only reads", what );
    }

    Image image;
    int width;
    int height;
    int pitch;

private:
    std::vector<uint8_t> block;
    std::vector<uint8_t> before;
};

inline bool FuzzInClip( const Image &image, int x, int y ) {
    const Rect &clip = image.GetClipRect();
    return x >= clip.left && x <= clip.right && y >= clip.top && y <= clip.bottom;
}

// `expected( x, y )` gives, for a pixel of the Image inside its clip rectangle, the colour it
// must now have, or -1 if it must be unchanged. Outside the clip nothing may change at all.
template <typename Expected> void CheckPixels( GuardedImage &target, const char *what, Expected expected ) {
    target.CheckOnlyClipChanged( what );
    for ( int y = 0; y < target.height; y++ ) {
        for ( int x = 0; x < target.width; x++ ) {
            if ( !FuzzInClip( target.image, x, y ) ) {
                continue;
            }
            int want = expected( x, y );
            int have = target.Pixel( x, y );
            if ( want < 0 ) {
                FUZZ_CHECK( have == target.Before( x, y ), "%s changed (%d, %d), which it does not cover",
                            what, x, y );
            } else {
                FUZZ_CHECK( have == want, "%s left (%d, %d) at %d instead of %d", what, x, y, have, want );
            }
        }
    }
}

// `target` was drawn with its clip rectangle, `whole` the same way with its clip rectangle at
// the bounds, both starting from the same pixels: inside the clip they must agree, since
// clipping only decides which pixels are written, never what goes into them.
inline void CheckClippedLikeWhole( GuardedImage &target, const GuardedImage &whole, const char *what ) {
    target.CheckOnlyClipChanged( what );
    for ( int y = 0; y < target.height; y++ ) {
        for ( int x = 0; x < target.width; x++ ) {
            if ( FuzzInClip( target.image, x, y ) ) {
                FUZZ_CHECK( target.Pixel( x, y ) == whole.Pixel( x, y ),
                            "%s: (%d, %d) is %d inside the clip but %d when drawn unclipped", what, x, y,
                            target.Pixel( x, y ), whole.Pixel( x, y ) );
            }
        }
    }
}

// "--write-seeds=DIR" on a target's command line writes its seed inputs into DIR and exits,
// before libFuzzer sees the arguments.
inline const char *FuzzSeedDirectory( int argc, char **argv ) {
    const char *flag = "--write-seeds=";
    for ( int i = 1; i < argc; i++ ) {
        if ( std::strncmp( argv[i], flag, std::strlen( flag ) ) == 0 ) {
            return argv[i] + std::strlen( flag );
        }
    }
    return nullptr;
}

inline void FuzzWriteSeed( const char *directory, const std::string &name,
                           const std::vector<uint8_t> &bytes ) {
    std::string path = std::string( directory ) + "/" + name;
    FILE *file = std::fopen( path.c_str(), "wb" );
    if ( file == nullptr || std::fwrite( bytes.data(), 1, bytes.size(), file ) != bytes.size() ) {
        std::fprintf( stderr, "cannot write %s\n", path.c_str() );
        std::exit( 1 );
    }
    std::fclose( file );
}

// With --write-seeds=DIR, writes the target's seed files there and ends the process.
inline void FuzzWriteSeedsIfAsked( int argc, char **argv, void ( *writeSeeds )( const char *directory ) ) {
    if ( const char *directory = FuzzSeedDirectory( argc, argv ) ) {
        writeSeeds( directory );
        std::exit( 0 );
    }
}

#endif

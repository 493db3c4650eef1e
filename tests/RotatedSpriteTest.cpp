#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

const uint8_t kBackground = 77;
const TrigTable kTrig( 360, 256 );

// A picture whose pixel (u, v) is `colour( u, v )`, built into a raw Sprite.
template <typename Colour> void BuildSprite( Sprite &sprite, int width, int height, Colour colour ) {
    Image image;
    ASSERT_EQ( 1, image.Create( width, height ) );
    for ( int v = 0; v < height; v++ ) {
        for ( int u = 0; u < width; u++ ) {
            image.GetPixels()[v * image.GetPitch() + u] = colour( u, v );
        }
    }
    ASSERT_EQ( 1, sprite.Build( image, image.GetBounds(), 0 ) );
}

struct Canvas {
    Canvas( int width, int height ) {
        EXPECT_EQ( 1, image.Create( width, height ) );
        image.Clear( kBackground );
    }
    uint8_t At( int x, int y ) const { return image.GetPixels()[y * image.GetPitch() + x]; }
    std::vector<uint8_t> Bytes() const {
        return std::vector<uint8_t>( image.GetPixels(),
                                     image.GetPixels() + image.GetPitch() * image.GetHeight() );
    }
    Image image;
};

} // namespace

TEST( RotatedSprite, UnturnedRowsAreSpreadOverHeightWithTheBottomRowUndrawn ) {
    // Row v has colour v + 1 over its whole width.
    Sprite sprite;
    BuildSprite( sprite, 8, 6, []( int, int v ) { return static_cast<uint8_t>( v + 1 ); } );
    Canvas canvas( 30, 30 );
    sprite.DrawRotated( canvas.image, 10, 12, 4, 3, 0, kTrig );
    for ( int y = 0; y < 30; y++ ) {
        for ( int x = 0; x < 30; x++ ) {
            uint8_t expected = kBackground;
            if ( x >= 10 && x < 18 && y >= 12 && y < 12 + 5 ) {
                // Row i lands on 12 + (i * 5) / 6; the last row mapped to a line covers the others.
                for ( int i = 0; i < 6; i++ ) {
                    if ( 12 + ( i * 5 ) / 6 == y ) {
                        expected = static_cast<uint8_t>( i + 1 );
                    }
                }
            }
            ASSERT_EQ( expected, canvas.At( x, y ) ) << x << "," << y;
        }
    }
    // Rows 0 and 1 share the top line, and row 1 wins; nothing lands on the box's bottom line.
    EXPECT_EQ( 2, canvas.At( 10, 12 ) );
    EXPECT_EQ( kBackground, canvas.At( 10, 17 ) );
}

TEST( RotatedSprite, QuarterTurnPointsTheRightSideUpAlongVerticalRows ) {
    // Column u has colour u + 1, so after a quarter turn the colours count up the screen.
    Sprite sprite;
    BuildSprite( sprite, 8, 4, []( int u, int ) { return static_cast<uint8_t>( u + 1 ); } );
    Canvas canvas( 30, 30 );
    const int x = 10, y = 10, cx = 4, cy = 2;
    sprite.DrawRotated( canvas.image, x, y, cx, cy, 90, kTrig );
    int drawn = 0;
    int minColumn = 30, maxColumn = -1;
    for ( int py = 0; py < 30; py++ ) {
        for ( int px = 0; px < 30; px++ ) {
            const uint8_t value = canvas.At( px, py );
            if ( value == kBackground ) {
                continue;
            }
            drawn++;
            minColumn = std::min( minColumn, px );
            maxColumn = std::max( maxColumn, px );
            // Source column u lands on the line (y + cy) - (u - cx).
            ASSERT_EQ( ( y + cy ) - ( value - 1 - cx ), py ) << px << "," << py;
        }
    }
    // Each column of the box is a whole turned row of 8 pixels; four rows share three columns.
    EXPECT_EQ( 3 * 8, drawn );
    EXPECT_EQ( x + cx - cy, minColumn );
    EXPECT_EQ( x + cx - cy + 2, maxColumn );
    EXPECT_EQ( 8, canvas.At( x + cx - cy, y + cy - 3 ) );
    EXPECT_EQ( 1, canvas.At( x + cx - cy, y + cy + 4 ) );
}

TEST( RotatedSprite, NegativeQuarterTurnPointsTheRightSideDown ) {
    Sprite sprite;
    BuildSprite( sprite, 8, 4, []( int u, int ) { return static_cast<uint8_t>( u + 1 ); } );
    Canvas canvas( 30, 30 );
    sprite.DrawRotated( canvas.image, 10, 10, 4, 2, -90, kTrig );
    int topOfRightColumn = 30, topOfLeftColumn = 30;
    for ( int py = 29; py >= 0; py-- ) {
        for ( int px = 0; px < 30; px++ ) {
            if ( canvas.At( px, py ) == 8 ) {
                topOfRightColumn = py;
            }
            if ( canvas.At( px, py ) == 1 ) {
                topOfLeftColumn = py;
            }
        }
    }
    EXPECT_GT( topOfRightColumn, topOfLeftColumn );
    EXPECT_EQ( topOfLeftColumn + 7, topOfRightColumn );
}

TEST( RotatedSprite, DiagonalRowIsSqueezedEvenlyWithEdgeSharingSteps ) {
    // One row of 20 distinct bytes drawn along a 45 degree segment 14 steps long.
    Sprite sprite;
    BuildSprite( sprite, 20, 1, []( int u, int ) { return static_cast<uint8_t>( u + 1 ); } );
    Canvas canvas( 30, 30 );
    sprite.DrawRotatedRow( canvas.image, 0, 5, 20, 18, 7 );
    // Walk the plotted path from the start: every next pixel shares an edge with the last.
    std::vector<std::pair<int, int>> path;
    int px = 5, py = 20;
    std::vector<uint8_t> seen( 30 * 30, 0 );
    while ( true ) {
        path.push_back( { px, py } );
        seen[py * 30 + px] = 1;
        const int steps[4][2] = { { 1, 0 }, { 0, -1 }, { -1, 0 }, { 0, 1 } };
        bool moved = false;
        for ( const auto &s : steps ) {
            const int nx = px + s[0], ny = py + s[1];
            if ( canvas.At( nx, ny ) != kBackground && !seen[ny * 30 + nx] ) {
                px = nx;
                py = ny;
                moved = true;
                break;
            }
        }
        if ( !moved ) {
            break;
        }
    }
    int painted = 0;
    for ( uint8_t value : canvas.Bytes() ) {
        painted += value != kBackground;
    }
    EXPECT_EQ( painted, static_cast<int>( path.size() ) ) << "the path is not one edge-connected chain";
    EXPECT_EQ( 18, path.back().first );
    EXPECT_EQ( 7, path.back().second );
    // Source bytes go forward, never two dropped in a row, first byte first: 20 bytes onto 14
    // steps drops 6 of them, spread out.
    std::vector<int> distinct;
    for ( const auto &p : path ) {
        const int value = canvas.At( p.first, p.second );
        if ( distinct.empty() || distinct.back() != value ) {
            distinct.push_back( value );
        }
    }
    ASSERT_EQ( 14u, distinct.size() );
    EXPECT_EQ( 1, distinct.front() );
    for ( size_t i = 1; i < distinct.size(); i++ ) {
        const int gap = distinct[i] - distinct[i - 1];
        EXPECT_TRUE( gap == 1 || gap == 2 ) << "gap " << gap << " at " << i;
    }
}

TEST( RotatedSprite, TurnedSolidPictureHasNoHoles ) {
    Sprite sprite;
    BuildSprite( sprite, 40, 20, []( int, int ) { return static_cast<uint8_t>( 5 ); } );
    for ( int angle : { 17, 30, 45, 60, -20, -45, 135, 200 } ) {
        SCOPED_TRACE( angle );
        Canvas canvas( 100, 100 );
        sprite.DrawRotated( canvas.image, 30, 40, 20, 10, angle, kTrig );
        // Every pixel well inside the turned box is covered. In picture coordinates around the
        // centre (50, 50): u to the right, v down, turned by the angle. The margin allows for the
        // rounded corners and the bottom row that is never drawn.
        const double a = angle * 3.14159265358979 / 180.0;
        for ( int py = 0; py < 100; py++ ) {
            for ( int px = 0; px < 100; px++ ) {
                const double ox = px - 50, oy = py - 50;
                const double u = std::cos( a ) * ox - std::sin( a ) * oy;
                const double v = std::sin( a ) * ox + std::cos( a ) * oy;
                if ( std::fabs( u ) < 20 - 3 && std::fabs( v ) < 10 - 3.5 ) {
                    ASSERT_EQ( 5, canvas.At( px, py ) ) << px << "," << py;
                }
            }
        }
    }
}

TEST( RotatedSprite, ClippedDrawEqualsUnclippedDrawInsideTheClipAndNothingOutside ) {
    std::mt19937 random( 99 );
    Sprite sprite;
    BuildSprite( sprite, 12, 8, [&random]( int, int ) {
        return static_cast<uint8_t>( random() % 3 == 0 ? 0 : 1 + random() % 200 );
    } );
    const Rect clip( 15, 15, 40, 38 );
    for ( int angle : { 0, 17, 45, 90, 135, 180, 250, -30, -89 } ) {
        for ( int y = 0; y <= 48; y += 3 ) {
            for ( int x = 0; x <= 48; x += 3 ) {
                Canvas whole( 60, 60 );
                Canvas clipped( 60, 60 );
                clipped.image.SetClipRect( clip );
                sprite.DrawRotated( whole.image, x, y, 6, 4, angle, kTrig );
                sprite.DrawRotated( clipped.image, x, y, 6, 4, angle, kTrig );
                for ( int py = 0; py < 60; py++ ) {
                    for ( int px = 0; px < 60; px++ ) {
                        const uint8_t expected = clip.Contains( px, py ) ? whole.At( px, py ) : kBackground;
                        ASSERT_EQ( expected, clipped.At( px, py ) )
                            << "angle " << angle << " at " << x << "," << y << " pixel " << px << "," << py;
                    }
                }
            }
        }
    }
}

TEST( RotatedSprite, TransparentBytesNeverReachTheDestination ) {
    Sprite checker;
    BuildSprite( checker, 16, 10,
                 []( int u, int v ) { return static_cast<uint8_t>( ( u + v ) % 2 ? 9 : 0 ); } );
    Sprite clear;
    BuildSprite( clear, 16, 10, []( int, int ) { return static_cast<uint8_t>( 0 ); } );
    for ( int angle = -180; angle <= 180; angle += 15 ) {
        Canvas canvas( 40, 40 );
        checker.DrawRotated( canvas.image, 12, 15, 8, 5, angle, kTrig );
        for ( uint8_t value : canvas.Bytes() ) {
            ASSERT_TRUE( value == kBackground || value == 9 ) << "angle " << angle;
        }
        Canvas untouched( 40, 40 );
        clear.DrawRotated( untouched.image, 12, 15, 8, 5, angle, kTrig );
        EXPECT_EQ( Canvas( 40, 40 ).Bytes(), untouched.Bytes() );
    }
}

TEST( RotatedSprite, EncodedOrEmptySpritesAndBareDestinationsDrawNothing ) {
    Image picture;
    ASSERT_EQ( 1, picture.Create( 6, 4 ) );
    picture.Clear( 3 );
    Sprite encoded( picture, picture.GetBounds(), 1 );
    Sprite empty;
    Canvas canvas( 20, 20 );
    encoded.DrawRotated( canvas.image, 5, 5, 3, 2, 30, kTrig );
    encoded.DrawRotatedRow( canvas.image, 0, 5, 5, 10, 5 );
    empty.DrawRotated( canvas.image, 5, 5, 3, 2, 30, kTrig );
    EXPECT_EQ( Canvas( 20, 20 ).Bytes(), canvas.Bytes() );

    Sprite raw( picture, picture.GetBounds(), 0 );
    Image noPixels;
    noPixels.SetWidth( 20 );
    noPixels.SetHeight( 20 );
    noPixels.SetPitch( 20 );
    noPixels.SetClipRect( noPixels.GetBounds() );
    raw.DrawRotated( noPixels, 5, 5, 3, 2, 30, kTrig );
}

TEST( RotatedSprite, SegmentLongerThanItsRowStopsAtTheRowsEnd ) {
    Sprite sprite;
    BuildSprite( sprite, 8, 2, []( int u, int v ) { return static_cast<uint8_t>( 1 + u + 8 * v ); } );
    Canvas canvas( 40, 10 );
    // Row 0 asked to cover 31 pixels: its 8 bytes are laid once, and row 1 is never read.
    sprite.DrawRotatedRow( canvas.image, 0, 2, 4, 32, 4 );
    for ( int x = 0; x < 40; x++ ) {
        const uint8_t expected = x >= 2 && x < 10 ? static_cast<uint8_t>( x - 1 ) : kBackground;
        ASSERT_EQ( expected, canvas.At( x, 4 ) ) << x;
    }
    // Rows outside the picture are ignored.
    sprite.DrawRotatedRow( canvas.image, 2, 2, 6, 9, 6 );
    sprite.DrawRotatedRow( canvas.image, -1, 2, 6, 9, 6 );
    for ( int x = 0; x < 40; x++ ) {
        ASSERT_EQ( kBackground, canvas.At( x, 6 ) );
    }
}

// Drawn mirrored and turned, a picture lands where the same picture mirrored by hand lands
// when turned plainly: the same box, the bytes of each row in the other order. Compared as
// whole frames for a table of angles, the extremes of a tank's tilt included.
TEST( RotatedSprite, MirroredDrawingIsThePictureMirroredThenTurned ) {
    const int width = 21, height = 9;
    auto colour = []( int u, int v ) { return static_cast<uint8_t>( ( u * 7 + v * 3 ) % 250 + 1 ); };
    Sprite sprite, mirrored;
    BuildSprite( sprite, width, height, colour );
    BuildSprite( mirrored, width, height, [&]( int u, int v ) { return colour( width - 1 - u, v ); } );
    for ( int angle : { 0, 1, -1, 10, -10, 30, 45, 89, -89, 90, 135, 180, 269 } ) {
        Canvas byDrawing( 80, 80 ), byHand( 80, 80 );
        sprite.DrawRotatedMirrored( byDrawing.image, 30, 35, width >> 1, height >> 1, angle, kTrig );
        mirrored.DrawRotated( byHand.image, 30, 35, width >> 1, height >> 1, angle, kTrig );
        EXPECT_TRUE( byDrawing.Bytes() == byHand.Bytes() ) << "angle " << angle;
    }
}

// Level and mirrored-level pictures (tanks on flat ground) against the rule of the unturned
// draw: row v lands on y + (v * (height - 1)) / height, byte u at x + u (x + width - 1 - u
// mirrored), transparent bytes skipped, later rows over earlier ones, nothing outside the clip
// rectangle. Placed wholly inside, touching each side of the clip exactly, and one pixel past.
TEST( RotatedSprite, LevelRowsMatchTheUnturnedRuleAtTheClipsEdges ) {
    const int width = 37, height = 9;
    auto colour = []( int u, int v ) {
        return static_cast<uint8_t>( ( u + v ) % 5 == 0 ? 0 : u * 5 + v + 1 );
    };
    Sprite sprite;
    BuildSprite( sprite, width, height, colour );
    const Rect clip( 10, 8, 69, 39 );
    const int places[][2] = { { 20, 20 },
                              { 10, 20 },
                              { 9, 20 },
                              { 69 - width + 1, 20 },
                              { 69 - width + 2, 20 },
                              { 20, 8 },
                              { 20, 7 },
                              { 20, 39 - height + 2 },
                              { 20, 39 - height + 3 } };
    for ( int mirrored = 0; mirrored < 2; mirrored++ ) {
        for ( const auto &place : places ) {
            const int x = place[0], y = place[1];
            Canvas drawn( 80, 50 ), byRule( 80, 50 );
            drawn.image.SetClipRect( clip );
            if ( mirrored ) {
                sprite.DrawRotatedMirrored( drawn.image, x, y, width >> 1, height >> 1, 0, kTrig );
            } else {
                sprite.DrawRotated( drawn.image, x, y, width >> 1, height >> 1, 0, kTrig );
            }
            for ( int v = 0; v < height; v++ ) {
                const int row = y + ( v * ( height - 1 ) ) / height;
                for ( int u = 0; u < width; u++ ) {
                    const int column = x + ( mirrored ? width - 1 - u : u );
                    const uint8_t value = colour( u, v );
                    if ( value != 0 && clip.Contains( column, row ) ) {
                        byRule.image.GetPixels()[row * byRule.image.GetPitch() + column] = value;
                    }
                }
            }
            EXPECT_TRUE( drawn.Bytes() == byRule.Bytes() )
                << "mirrored " << mirrored << " at " << x << "," << y;
        }
    }
}

// A turned picture is kept and copied at later draws: it must put down exactly what the rows
// turned at that draw would, for every turn it is kept by (angle, mirroring, centre, table),
// after others have pushed it out, and wherever the clip cuts it: touching each side of the
// clip rectangle and one pixel past it.
TEST( RotatedSprite, KeptTurnedPicturesMatchTheRowsTurnedAtEachDraw ) {
    Sprite sprite;
    BuildSprite( sprite, 13, 7, []( int u, int v ) {
        return static_cast<uint8_t>( ( u * 3 + v ) % 7 == 0 ? 0 : 20 + u * 7 + v );
    } );
    const TrigTable otherTrig( 360, 200 );
    const Rect clip( 20, 15, 59, 44 );
    struct Turn {
        int angle, mirrored, cx, cy;
        const TrigTable *trig;
    };
    std::vector<Turn> turns;
    for ( int angle : { 0, 1, -1, 44, 45, 89, 90, 91, 179, 180, -90, 270, 359, 360, -361, 1000 } ) {
        turns.push_back( { angle, 0, 6, 3, &kTrig } );
        turns.push_back( { angle, 1, 6, 3, &kTrig } );
    }
    turns.push_back( { 30, 0, 0, 0, &kTrig } );
    turns.push_back( { 30, 0, 12, 6, &kTrig } );
    turns.push_back( { 30, 0, -5, 20, &kTrig } );
    turns.push_back( { 30, 0, 6, 3, &kTrig } );
    turns.push_back( { 30, 0, 6, 3, &otherTrig } );
    for ( int pass = 0; pass < 2; pass++ ) {
        for ( const Turn &turn : turns ) {
            // The turned box, found from a draw on an open canvas, placed against each side.
            Canvas open( 120, 120 );
            sprite.DrawRotated( open.image, 50, 50, turn.cx, turn.cy, turn.angle, *turn.trig );
            Rect box( 120, 120, -1, -1 );
            for ( int y = 0; y < 120; y++ ) {
                for ( int x = 0; x < 120; x++ ) {
                    if ( open.At( x, y ) != kBackground ) {
                        box = Rect( std::min( box.left, x ), std::min( box.top, y ), std::max( box.right, x ),
                                    std::max( box.bottom, y ) );
                    }
                }
            }
            ASSERT_LE( box.left, box.right ) << "angle " << turn.angle;
            const int toLeft = clip.left - ( box.left - 50 ), toRight = clip.right - ( box.right - 50 );
            const int toTop = clip.top - ( box.top - 50 ), toBottom = clip.bottom - ( box.bottom - 50 );
            const int middleX = ( toLeft + toRight ) / 2, middleY = ( toTop + toBottom ) / 2;
            const int places[][2] = {
                { middleX, middleY },      { toLeft, middleY },          { toLeft - 1, middleY },
                { toRight, middleY },      { toRight + 1, middleY },     { middleX, toTop },
                { middleX, toTop - 1 },    { middleX, toBottom },        { middleX, toBottom + 1 },
                { toLeft - 1, toTop - 1 }, { toRight + 1, toBottom + 1 } };
            for ( const auto &place : places ) {
                Canvas kept( 80, 60 ), turnedNow( 80, 60 );
                kept.image.SetClipRect( clip );
                turnedNow.image.SetClipRect( clip );
                auto draw = [&]( Canvas &canvas ) {
                    if ( turn.mirrored ) {
                        sprite.DrawRotatedMirrored( canvas.image, place[0], place[1], turn.cx, turn.cy,
                                                    turn.angle, *turn.trig );
                    } else {
                        sprite.DrawRotated( canvas.image, place[0], place[1], turn.cx, turn.cy, turn.angle,
                                            *turn.trig );
                    }
                };
                draw( kept );
                SpriteKeepTurnedPictures( 0 );
                draw( turnedNow );
                SpriteKeepTurnedPictures( 1 );
                ASSERT_TRUE( kept.Bytes() == turnedNow.Bytes() )
                    << "pass " << pass << " angle " << turn.angle << " mirrored " << turn.mirrored
                    << " centre " << turn.cx << "," << turn.cy << " at " << place[0] << "," << place[1];
            }
        }
    }
}

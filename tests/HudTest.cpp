#include "hud/Hud.h"

#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "hud/Font.h"
#include "hud/LandMap.h"
#include "hud/MaskedStores.h"
#include "hud/TextLine.h"
#include "hud/TextStrip.h"
#include "land/Land.h"
#include "land/LandTile.h"
#include "platform/Keyboard.h"
#include "play/DefaultRules.h"
#include "tests/support/LandScene.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// A 640 x 480 land, the screen's own size, so that the camera stays at (0, 0) and every tank
// is in view; flat ground from row 300. Tanks are 20 x 10, bombs 4 x 4.
const int GROUND_TOP = 300;
const uint8_t GROUND = 3;
const int TANK_W = 20;
const int TANK_H = 10;

void BuildSprite( Sprite &sprite, int width, int height, uint8_t colour ) {
    Image picture( width, height );
    picture.Clear( colour );
    sprite.Build( picture, picture.GetBounds(), 0 );
}

// The map's cells as text, row by row: G for ground, S for sky.
std::string MapText( const LandMap &map ) {
    std::string text;
    for ( int y = 0; y < map.GetHeight(); y++ ) {
        for ( int x = 0; x < map.GetWidth(); x++ ) {
            text += map.GetCells()->GetPixels()[y * map.GetCells()->GetPitch() + x] == 1 ? 'G' : 'S';
        }
        text += y + 1 < map.GetHeight() ? "/" : "";
    }
    return text;
}

uint32_t Checksum( const Image &image, const Rect &area ) {
    uint32_t hash = 2166136261u;
    for ( int y = area.top; y <= area.bottom; y++ ) {
        for ( int x = area.left; x <= area.right; x++ ) {
            hash = ( hash ^ image.GetPixels()[y * image.GetPitch() + x] ) * 16777619u;
        }
    }
    return hash;
}

// Every pixel a different-looking colour, so that a byte put in the wrong place shows.
void Pattern( Image &image ) {
    for ( int y = 0; y < image.GetHeight(); y++ ) {
        for ( int x = 0; x < image.GetWidth(); x++ ) {
            image.GetPixels()[y * image.GetPitch() + x] = uint8_t( 100 + ( x * 3 + y * 7 ) % 50 );
        }
    }
}

int Count( const Image &image, const Rect &area, uint8_t colour ) {
    int count = 0;
    for ( int y = area.top; y <= area.bottom; y++ ) {
        for ( int x = area.left; x <= area.right; x++ ) {
            count += image.GetPixels()[y * image.GetPitch() + x] == colour;
        }
    }
    return count;
}

// The World on the test land by the default game's rules, with tanks standing at the given
// columns, the first with the turn, and the view over it. The test drives the frames: Update,
// then the view's Observe.
class HudScene {
public:
    explicit HudScene( const std::vector<int> &columns, int health = Match::DEFAULT_HEALTH )
        : screen( 640, 480 ) {
        BuildSprite( g_tankSprite, TANK_W, TANK_H, 5 );
        BuildSprite( g_bombSprite, 4, 4, 9 );
        g_keyState = keys;
        Image land( 640, 480 );
        land.Clear( GROUND );
        land.FillRect( 0, 0, 639, GROUND_TOP - 1, 0 );
        startLand = Checksum( land, land.GetBounds() );
        scene.Load( land );
        scene.display.LoadPalette( "background.bmp" );
        UseDefaultRules( world().GetLandImage(), 1 );
        for ( int column : columns ) {
            world().AddTank( new Tank( column, GROUND_TOP - TANK_H, &g_tankSprite, &world() ) );
        }
        EntityNode *node = nullptr;
        world().SetCurrentTank( world().GetTanks()->First( node ) );
        hud.Init( world(), scene.display.GetPaletteEntries(), health );
        Frame(); // the tanks find the ground
    }

    ~HudScene() {
        hud.Forget();
        world().GetTanks()->DeleteEntities();
        world().GetBombs()->DeleteEntities();
        g_keyState = nullptr;
        UseDesignedRules();
    }

    World &world() { return scene.world; }
    Tank *tank( int player ) { return hud.GetMatch().GetTank( player ); }

    void Frame() {
        world().Update();
        hud.Observe();
    }

    // The scene as the World draws it, then the view over a copy of it.
    const Image &Draw() {
        world().Draw( scene.display );
        Image &back = scene.display.LockBackBuffer();
        back.BlitTo( screen, 0, 0, back.GetBounds() );
        scene.display.UnlockBackBuffer();
        hud.DrawOn( screen, world() );
        return screen;
    }

    // Drops a bomb straight down from above the column, in whoever's turn it is, and lets it
    // fall until it explodes.
    void DropBomb( int column ) {
        Bomb *bomb = new Bomb( column, 100, 0, 0, &g_bombSprite, &world() );
        world().AddBomb( bomb );
        for ( int frame = 0; frame < 400 && bomb->GetState() == Bomb::Flying; frame++ ) {
            Frame();
        }
        ASSERT_EQ( bomb->GetState(), Bomb::Exploded );
    }

    LandScene scene;
    Hud hud;
    Image screen;
    uint8_t keys[256] = {};
    uint32_t startLand = 0;
};

} // namespace

TEST( HudFont, EveryCharacterTheViewWritesHasAGlyphWithItsShadow ) {
    const char drawn[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.,:-!?'()/+";
    for ( const char *c = drawn; *c != '\0'; c++ ) {
        Image image( 8, 9 );
        const char text[2] = { *c, '\0' };
        Font::Draw( image, 0, 0, text, 2, 1 );
        const int ink = Count( image, image.GetBounds(), 2 );
        EXPECT_GT( ink, 0 ) << *c;
        // Where the glyph is, its shadow one pixel down and right is hidden under it or shows.
        EXPECT_GT( Count( image, image.GetBounds(), 1 ), 0 ) << *c;
        EXPECT_EQ( Count( image, Rect( Font::GLYPH_WIDTH + 1, 0, 7, 8 ), 2 ), 0 ) << *c;
    }
    Image upper( 12, 8 ), lower( 12, 8 );
    Font::Draw( upper, 0, 0, "AZ", 2, 1 );
    Font::Draw( lower, 0, 0, "az", 2, 1 );
    EXPECT_EQ( Checksum( upper, upper.GetBounds() ), Checksum( lower, lower.GetBounds() ) );
    EXPECT_EQ( Font::Measure( "P1:0" ), 4 * Font::ADVANCE - 1 );
}

// Text against the rule it is drawn by: every glyph pixel's shadow one pixel down and right,
// then every glyph pixel over the shadows, nothing outside the clip rectangle. At scale 1 and
// 2, wholly inside, at each side of the clip exactly and one pixel past it, and on a screen
// that is not blank (the pixels around the glyphs keep their colours).
TEST( HudFont, TextFollowsItsRuleAtTheClipsEdges ) {
    const char *const text = "W8%/(MQ";
    const Rect clip( 6, 5, 73, 34 );
    const int length = int( std::strlen( text ) );
    struct Place {
        int x, y, scale;
    };
    // A line at scale 1 writes 8 rows and its last glyph's 8 columns (the fast path's reach).
    const int right1 = clip.right - ( ( length - 1 ) * Font::ADVANCE + 7 );
    const Place places[] = { { 20, 15, 1 },
                             { clip.left, 15, 1 },
                             { clip.left - 1, 15, 1 },
                             { right1, 15, 1 },
                             { right1 + 1, 15, 1 },
                             { right1 + 3, 15, 1 },
                             { 20, clip.top, 1 },
                             { 20, clip.top - 1, 1 },
                             { 20, clip.bottom - 7, 1 },
                             { 20, clip.bottom - 6, 1 },
                             { 3, 2, 2 },
                             { 1, 20, 2 } };
    for ( const Place &place : places ) {
        Image drawn( 80, 40 ), byRule( 80, 40 );
        for ( int y = 0; y < 40; y++ ) {
            for ( int x = 0; x < 80; x++ ) {
                drawn.GetPixels()[y * drawn.GetPitch() + x] = uint8_t( 100 + ( x * 3 + y ) % 50 );
            }
        }
        drawn.BlitTo( byRule, 0, 0, drawn.GetBounds() );
        drawn.SetClipRect( clip );
        Font::Draw( drawn, place.x, place.y, text, 2, 1, place.scale );
        // The glyphs' own pixels, from the clipped fill at scale 2 (not the rows drawn eight at a time).
        Image glyphs( 160, 80 );
        Font::Draw( glyphs, 0, 0, text, 2, 0, 2 );
        for ( int pass = 0; pass < 2; pass++ ) {
            const int shift = pass == 0 ? 1 : 0;
            for ( int v = 0; v < Font::GLYPH_HEIGHT; v++ ) {
                for ( int u = 0; u < 80; u++ ) {
                    if ( glyphs.GetPixels()[2 * v * glyphs.GetPitch() + 2 * u] != 2 ) {
                        continue;
                    }
                    for ( int dy = 0; dy < place.scale; dy++ ) {
                        for ( int dx = 0; dx < place.scale; dx++ ) {
                            const int x = place.x + u * place.scale + dx + shift;
                            const int y = place.y + v * place.scale + dy + shift;
                            if ( clip.Contains( x, y ) ) {
                                byRule.GetPixels()[y * byRule.GetPitch() + x] = pass == 0 ? 1 : 2;
                            }
                        }
                    }
                }
            }
        }
        EXPECT_EQ( Checksum( drawn, drawn.GetBounds() ), Checksum( byRule, byRule.GetBounds() ) )
            << place.x << "," << place.y << " scale " << place.scale;
    }
}

// A kept line against the font drawing it, frame after frame: the first Draw of a line draws
// it, the second keeps it and lays it from then on, both ways (AVX-512's masked stores and the
// plain way) alike, wholly inside the clip, at each of its sides exactly and one pixel past
// (drawn by the font), in the image's bottom-right corner, and for lines of one glyph, of more
// than one 64-byte block, of the longest kept length and one longer (never kept).
TEST( HudText, AKeptLineLaysTheFontsPictureAtEveryPlace ) {
    const std::string longest( TextStrip::MAX_LENGTH, 'W' );
    const std::string tooLong( TextStrip::MAX_LENGTH + 1, 'M' );
    // Two and three glyphs: rows whose marks end about the 16 bytes of the browser's vector.
    const char *const texts[] = {
        "1", "W8", "W8M", "W81", "P1:0", "ANNA CPU 100 HEALTH", longest.c_str(), tooLong.c_str() };
    const int width = 400, height = 40;
    const Rect clip( 6, 5, width - 3, height - 4 );
    for ( const char *text : texts ) {
        const int length = int( std::strlen( text ) );
        const int covered = length * Font::ADVANCE; // the columns of the glyphs and the shadow
        struct Place {
            int x, y, inside;
        } places[] = {
            { 20, 15, 1 },
            { clip.left, 15, 1 },
            { clip.left - 1, 15, 0 },
            { clip.right - covered + 1, 15, 1 },
            { clip.right - covered + 2, 15, 0 },
            { 20, clip.top, 1 },
            { 20, clip.top - 1, 0 },
            { 20, clip.bottom - Font::GLYPH_HEIGHT, 1 },
            { 20, clip.bottom - Font::GLYPH_HEIGHT + 1, 0 },
        };
        for ( int masked = 0; masked <= 1; masked++ ) {
            HudAllowMaskedStores( masked );
            for ( const Place &place : places ) {
                if ( place.x + covered > width ) {
                    continue; // a line longer than the test's image
                }
                for ( int corner = 0; corner <= 1; corner++ ) {
                    // In the corner the clip is the whole image and the line ends at its last byte.
                    const Rect where = corner ? Rect( 0, 0, width - 1, height - 1 ) : clip;
                    const int x = corner ? width - covered : place.x;
                    const int y = corner ? height - Font::GLYPH_HEIGHT - 1 : place.y;
                    TextStrip strip;
                    for ( int frame = 0; frame < 3; frame++ ) {
                        Image laid( width, height ), drawn( width, height );
                        Pattern( laid );
                        Pattern( drawn );
                        laid.SetClipRect( where );
                        drawn.SetClipRect( where );
                        strip.Draw( laid, x, y, text, 2, 1 );
                        Font::Draw( drawn, x, y, text, 2, 1 );
                        EXPECT_EQ( Checksum( laid, laid.GetBounds() ), Checksum( drawn, drawn.GetBounds() ) )
                            << text << " at " << x << "," << y << " frame " << frame << " masked " << masked;
                        EXPECT_EQ( strip.GetKept(), frame > 0 && length <= TextStrip::MAX_LENGTH )
                            << text << " frame " << frame;
                    }
                }
            }
        }
    }
    HudAllowMaskedStores( 1 );
}

// A kept line that changes is drawn by the font at once, in its new words or colours, and kept
// again from the next frame; an empty line draws nothing and forgets nothing. A line one
// character shorter or longer than the kept one (the same words but the last) is another line;
// a line one longer than the longest kept is never kept, even twice running. Given as words
// and as a line put together, alike.
TEST( HudText, AChangedLineIsDrawnAsItNowIsAndKeptAgainNextFrame ) {
    const std::string longest( TextStrip::MAX_LENGTH, 'W' );
    const std::string tooLong( TextStrip::MAX_LENGTH + 1, 'W' );
    struct Step {
        const char *text;
        uint8_t colour, shadow;
        int kept;
    } steps[] = {
        { "POWER 99", 2, 1, 0 },
        { "POWER 99", 2, 1, 1 },
        { "POWER 100", 2, 1, 0 },
        { "POWER 100", 2, 1, 1 },
        { "POWER 10", 2, 1, 0 },
        { "POWER 10", 2, 1, 1 },
        { "POWER 100", 2, 1, 0 },
        { "POWER 101", 2, 1, 0 },
        { "POWER 101", 2, 1, 1 },
        { "POWER 101", 3, 1, 0 },
        { "POWER 101", 3, 4, 0 },
        { "POWER 101", 3, 4, 1 },
        { "", 3, 4, 1 },
        { "POWER 99", 3, 4, 0 },
        { longest.c_str(), 3, 4, 0 },
        { longest.c_str(), 3, 4, 1 },
        { tooLong.c_str(), 3, 4, 0 },
        { tooLong.c_str(), 3, 4, 0 },
        { longest.c_str(), 3, 4, 0 },
        { longest.c_str(), 3, 4, 1 },
    };
    const int width = 8 + Font::MeasureLength( TextStrip::MAX_LENGTH + 1 ), height = 12;
    for ( int asLine = 0; asLine <= 1; asLine++ ) {
        TextStrip strip;
        for ( const Step &step : steps ) {
            Image laid( width, height ), drawn( width, height );
            Pattern( laid );
            Pattern( drawn );
            if ( asLine ) {
                TextLine line;
                line.Add( step.text );
                strip.Draw( laid, 3, 2, line, step.colour, step.shadow );
            } else {
                strip.Draw( laid, 3, 2, step.text, step.colour, step.shadow );
            }
            Font::Draw( drawn, 3, 2, step.text, step.colour, step.shadow );
            EXPECT_EQ( Checksum( laid, laid.GetBounds() ), Checksum( drawn, drawn.GetBounds() ) )
                << step.text << " as line " << asLine;
            EXPECT_EQ( strip.GetKept(), step.kept )
                << step.text << " " << int( step.colour ) << int( step.shadow ) << " as line " << asLine;
        }
    }
}

// The whole view, help panel and all, drawn as the first frame draws it (the font) and as
// later frames lay it (kept lines, the map in its frame), both ways alike.
TEST( HudText, KeptLinesDrawTheViewAsTheFontDid ) {
    HudScene s( { 60, 200, 340, 480 } );
    s.keys[DIK_F1] = 0x80;
    s.hud.ReadKeys( s.keys );
    // One scene under every frame of the view (the World's own pixels move from frame to frame).
    s.world().Draw( s.scene.display );
    Image scene( 640, 480 );
    Image &back = s.scene.display.LockBackBuffer();
    back.BlitTo( scene, 0, 0, back.GetBounds() );
    s.scene.display.UnlockBackBuffer();
    uint32_t first = 0; // the font's: no line has been asked for before
    for ( int masked = 0; masked <= 1; masked++ ) {
        HudAllowMaskedStores( masked );
        for ( int frame = 0; frame < 3; frame++ ) {
            scene.BlitTo( s.screen, 0, 0, scene.GetBounds() );
            s.hud.DrawOn( s.screen, s.world() );
            const uint32_t sum = Checksum( s.screen, s.screen.GetBounds() );
            first = first != 0 ? first : sum;
            EXPECT_EQ( sum, first ) << "masked " << masked << " frame " << frame;
        }
    }
    EXPECT_NE( first, Checksum( scene, scene.GetBounds() ) );
    HudAllowMaskedStores( 1 );
}

TEST( HudMarker, FollowsTheTurnThroughAFullRound ) {
    HudScene s( { 60, 200, 340, 480 } );
    const uint8_t white = s.hud.GetColours().GetText();
    for ( int turn = 0; turn <= 4; turn++ ) {
        const int current = turn % 4;
        ASSERT_EQ( s.hud.GetMatch().GetCurrentPlayer(), current );
        const Image &screen = s.Draw();
        for ( int player = 0; player < 4; player++ ) {
            const Tank *tank = s.tank( player );
            const int centre = tank->GetX() + TANK_W / 2;
            // Above the label and its health bar, which end 4 rows over the tank.
            const Rect above( centre - 10, tank->GetY() - 36, centre + 10, tank->GetY() - 19 );
            EXPECT_EQ( Count( screen, above, white ) > 0, player == current ) << "turn " << turn;
        }
        // The turn ends as after a shot; the match passes it once the crater has been seen.
        s.world().GetCurrentTank()->SetState( Tank::Idle );
        for ( int frame = 0; frame <= Match::SETTLE_FRAMES; frame++ ) {
            EXPECT_EQ( s.hud.GetMatch().GetCurrentPlayer(), current );
            s.Frame();
        }
    }
}

// The health bars, the turn's marker, the meter and the tanks' dots on the map written a row at
// a time against the plain way, with fills of one pixel, half, one short of full and full, and
// the clip rectangle at each side of the first tank's bar, its marker, the meter and its dot
// exactly and one pixel inside them (drawn the plain way then).
TEST( HudLabels, BarsMarkerMeterAndDotsWrittenByRowsMatchThePlainWayAtEveryFillAndEdge ) {
    HudScene s( { 60, 200, 340, 480 }, 23 );
    const Tank *first = s.tank( 0 );
    const int centre = first->GetX() + TANK_W / 2, top = first->GetY();
    const Rect bar( centre - 13, top - 8, centre + 12, top - 5 );
    const Rect marker( centre - 6, top - 25, centre + 7, top - 18 );
    const Rect map = Overlay::MapBox( 640, s.hud.GetMap() );
    const int block = s.hud.GetMap().GetBlock();
    const int dotX = map.left + centre / block, dotY = map.top + ( top + TANK_H / 2 ) / block;
    const Rect dot( dotX, dotY, dotX + 2, dotY + 2 ); // three pixels square, centred on the tank
    const uint8_t *drawn = s.Draw().GetPixels();
    for ( int x = dot.left - 1; x <= dot.right + 1; x++ ) {
        const int inDot = x >= dot.left && x <= dot.right;
        EXPECT_EQ( drawn[dot.top * 640 + x] == s.hud.GetColours().GetPlayer( 0 ), inDot ) << x;
        EXPECT_EQ( drawn[dot.bottom * 640 + x] == s.hud.GetColours().GetPlayer( 0 ), inDot ) << x;
    }
    std::vector<Rect> clips = { Rect( 0, 0, 639, 479 ) };
    for ( const Rect &box : { bar, marker, Overlay::MeterBar( 480 ), dot } ) {
        for ( int in = 0; in <= 1; in++ ) {
            clips.push_back( Rect( box.left + in, 0, 639, 479 ) );
            clips.push_back( Rect( 0, 0, box.right - in, 479 ) );
            clips.push_back( Rect( 0, box.top + in, 639, 479 ) );
            clips.push_back( Rect( 0, 0, 639, box.bottom - in ) );
        }
    }
    Image scene( 640, 480 ); // every pixel unlike its neighbours, so that one put past a side shows
    Pattern( scene );
    // Each tank has 23 health: full, one pixel short, half and the least there is.
    for ( int start : { 23, 24, 48, 999 } ) {
        s.hud.GetMatch().SetStartHealth( start );
        for ( const Rect &clip : clips ) {
            uint32_t sums[2];
            for ( int fast = 0; fast <= 1; fast++ ) {
                HudAllowMaskedStores( fast );
                scene.BlitTo( s.screen, 0, 0, scene.GetBounds() );
                s.screen.SetClipRect( clip );
                s.hud.DrawOn( s.screen, s.world() );
                sums[fast] = Checksum( s.screen, s.screen.GetBounds() );
                s.screen.SetClipRect( s.screen.GetBounds() );
            }
            EXPECT_EQ( sums[1], sums[0] ) << "start " << start << " clip " << clip.left << "," << clip.top
                                          << " " << clip.right << "," << clip.bottom;
        }
    }
    HudAllowMaskedStores( 1 );
}

TEST( HudMeter, FillsWithThePowerUpTo500AtThreeAnUpdate ) {
    HudScene s( { 100, 400 } );
    const Rect bar = Overlay::MeterBar( 480 );
    const Rect middleRow( bar.left + 1, ( bar.top + bar.bottom ) / 2, bar.right - 1,
                          ( bar.top + bar.bottom ) / 2 );
    const uint8_t bright = s.hud.GetColours().GetBright();
    struct Step {
        int heldUpdates; // with Space down, the first only starts the charge
        int power;
        int filled; // of 200 pixels
    };
    const Step steps[] = { { 0, 0, 0 },     { 1, 0, 0 },       { 2, 3, 1 },      { 4, 9, 3 },
                           { 84, 249, 99 }, { 167, 498, 199 }, { 168, 500, 200 } };
    int held = 0;
    s.keys[DIK_SPACE] = 0x80;
    for ( const Step &step : steps ) {
        for ( ; held < step.heldUpdates; held++ ) {
            s.Frame();
        }
        ASSERT_EQ( s.tank( 0 )->GetPower(), step.power );
        EXPECT_EQ( Count( s.Draw(), middleRow, bright ), step.filled ) << "power " << step.power;
        // Written a row at a time as the plain way draws it, frame and all.
        HudAllowMaskedStores( 0 );
        const uint32_t plain = Checksum( s.Draw(), bar );
        HudAllowMaskedStores( 1 );
        EXPECT_EQ( Checksum( s.Draw(), bar ), plain ) << "power " << step.power;
    }
}

TEST( HudMap, ShowsAFlyingBombAndTheNewCraterAtTheirPlaces ) {
    HudScene s( { 100 } );
    const Rect box = Overlay::MapBox( 640, s.hud.GetMap() );
    const int mapX = box.left + 1;
    const int mapY = box.top + 1;
    const HudColours &colours = s.hud.GetColours();
    ASSERT_EQ( s.hud.GetMap().GetBlock(), 8 );
    ASSERT_EQ( box.GetWidth(), 640 / 8 + 2 );

    // Under the ground top, where the crater will be: ground on the map.
    const int craterX = 300 / 8;
    const int craterY = ( GROUND_TOP + 8 ) / 8;
    EXPECT_EQ( s.Draw().GetPixels()[( mapY + craterY ) * 640 + mapX + craterX], colours.GetGround() );

    Bomb *bomb = new Bomb( 300, 60, 0, 0, &g_bombSprite, &s.world() );
    s.world().AddBomb( bomb );
    for ( int frame = 0; frame < 30; frame++ ) {
        s.Frame();
    }
    ASSERT_EQ( bomb->GetState(), Bomb::Flying );
    const Image &flying = s.Draw();
    const int dotX = mapX + ( bomb->GetX() + 2 ) / 8;
    const int dotY = mapY + ( bomb->GetY() + 2 ) / 8;
    EXPECT_EQ( flying.GetPixels()[dotY * 640 + dotX], colours.GetBright() );

    while ( bomb->GetState() == Bomb::Flying ) {
        s.Frame();
    }
    const Image &after = s.Draw();
    EXPECT_EQ( after.GetPixels()[( mapY + craterY ) * 640 + mapX + craterX], colours.GetSky() );
    EXPECT_NE( after.GetPixels()[dotY * 640 + dotX], colours.GetBright() );
    // Far from the crater the ground stays.
    EXPECT_EQ( after.GetPixels()[( mapY + craterY ) * 640 + mapX + 600 / 8], colours.GetGround() );
}

// The map in its frame copied whole (AVX-512's masked stores where there are, the plain copy
// otherwise) against the frame drawn apart (a map whose frame is not in the shadow's colour):
// at every alignment of a 64-byte line, at each side of the clip exactly and one past.
TEST( HudMap, TheFramedMapCopiesAsTheFrameDrawnApart ) {
    HudScene s( { 100, 400 } );
    const HudColours &colours = s.hud.GetColours();
    LandMap apart;
    ASSERT_EQ( apart.Build( *s.world().GetLandImage(), colours.GetGround(), colours.GetSky(),
                            uint8_t( colours.GetShadow() + 1 ) ),
               1 );
    const LandMap &framed = s.hud.GetMap();
    const int w = framed.GetWidth(), h = framed.GetHeight();
    const Rect clip( 10, 10, 300, 200 );
    std::vector<std::pair<int, int>> places;
    for ( int x = 40; x < 40 + 64; x++ ) {
        places.push_back( { x, 50 } );
    }
    places.insert( places.end(), { { clip.left + 1, 50 },
                                   { clip.left, 50 },
                                   { clip.right - w, 50 },
                                   { clip.right - w + 1, 50 },
                                   { 50, clip.top + 1 },
                                   { 50, clip.top },
                                   { 50, clip.bottom - h },
                                   { 50, clip.bottom - h + 1 } } );
    for ( int masked = 0; masked <= 1; masked++ ) {
        HudAllowMaskedStores( masked );
        for ( const auto &place : places ) {
            Image copied( 320, 220 ), drawn( 320, 220 );
            Pattern( copied );
            Pattern( drawn );
            copied.SetClipRect( clip );
            drawn.SetClipRect( clip );
            framed.Draw( copied, place.first, place.second, s.world(), s.hud.GetMatch(), colours );
            apart.Draw( drawn, place.first, place.second, s.world(), s.hud.GetMatch(), colours );
            EXPECT_EQ( Checksum( copied, copied.GetBounds() ), Checksum( drawn, drawn.GetBounds() ) )
                << place.first << "," << place.second << " masked " << masked;
        }
    }
    HudAllowMaskedStores( 1 );
}

// The widest and tallest map (a 1280 x 960 land) laid from its ground kept a bit a pixel, against
// the frame drawn apart, at every alignment of a 64-byte line and at the screen's right and bottom
// edges exactly and one past; after each crater, one at each corner and each side of a 64-pixel
// word of the bits, the next frame at the same place shows it.
TEST( HudMap, TheLaidMapFollowsEveryCraterAtEveryPlace ) {
    HudScene s( { 100, 400 } );
    const HudColours &colours = s.hud.GetColours();
    Image land( 1280, 960 );
    land.Clear( GROUND );
    land.FillRect( 0, 0, 1279, 479, 0 );
    LandMap framed, apart;
    ASSERT_EQ( framed.Build( land, colours.GetGround(), colours.GetSky(), colours.GetShadow() ), 1 );
    ASSERT_EQ( apart.Build( land, colours.GetGround(), colours.GetSky(), uint8_t( colours.GetShadow() + 1 ) ),
               1 );
    ASSERT_EQ( framed.GetWidth(), LandMap::MAX_WIDTH );
    const int w = framed.GetWidth() + 2, h = framed.GetHeight() + 2;
    std::vector<std::pair<int, int>> places;
    const int width = 384, height = 136; // rows six 64-byte lines apart
    for ( int x = 101; x < 101 + 64; x++ ) {
        places.push_back( { x, 5 } );
    }
    places.insert( places.end(),
                   { { width - w, 5 }, { width - w + 1, 5 }, { 5, height - h }, { 5, height - h + 1 } } );
    // Map pixels (block columns and rows): the corners, and either side of bits 63 and 64 of a
    // framed row.
    const int craters[][2] = { { 0, 0 },   { 159, 0 }, { 0, 119 }, { 159, 119 },
                               { 61, 70 }, { 62, 70 }, { 63, 70 }, { 126, 30 } };
    for ( int masked = 0; masked <= 1; masked++ ) {
        HudAllowMaskedStores( masked );
        for ( const auto &place : places ) {
            Image laid( width, height ), drawn( width, height );
            for ( const auto &crater : craters ) {
                // Ground to sky and sky to ground: the bits follow either way.
                const uint8_t was = land.GetPixels()[crater[1] * 8 * 1280 + crater[0] * 8];
                const Rect area( crater[0] * 8, crater[1] * 8, crater[0] * 8 + 7, crater[1] * 8 + 7 );
                land.FillRect( area, was != 0 ? 0 : GROUND );
                framed.Refresh( land, area );
                apart.Refresh( land, area );
                Pattern( laid );
                Pattern( drawn );
                framed.Draw( laid, place.first + 1, place.second + 1, s.world(), s.hud.GetMatch(), colours );
                apart.Draw( drawn, place.first + 1, place.second + 1, s.world(), s.hud.GetMatch(), colours );
                ASSERT_EQ( Checksum( laid, laid.GetBounds() ), Checksum( drawn, drawn.GetBounds() ) )
                    << place.first << "," << place.second << " crater " << crater[0] << "," << crater[1]
                    << " masked " << masked;
            }
        }
    }
    HudAllowMaskedStores( 1 );
}

// Each row: a land's size and the map's block and size. The smallest block that keeps the
// map within 160 x 120, at each limit and one pixel past it; a part block at the right or
// bottom is a whole map pixel.
TEST( HudMap, TheBlockIsTheSmallestThatKeepsTheMapWithinItsLimits ) {
    struct Case {
        int landWidth, landHeight;
        int block, width, height;
    } cases[] = {
        { 1280, 960, 8, 160, 120 }, { 1281, 960, 9, 143, 107 },   { 1280, 961, 9, 143, 107 },
        { 1288, 968, 9, 144, 108 }, { 1440, 1080, 9, 160, 120 },  { 1441, 960, 10, 145, 96 },
        { 640, 480, 8, 80, 60 },    { 641, 479, 8, 81, 60 },      { 8, 8, 8, 1, 1 },
        { 9, 1, 8, 2, 1 },          { 2560, 1920, 16, 160, 120 },
    };
    for ( const Case &c : cases ) {
        Image land( c.landWidth, c.landHeight );
        land.Clear( GROUND );
        LandMap map;
        ASSERT_EQ( map.Build( land, 1, 2, 0 ), 1 );
        EXPECT_EQ( map.GetBlock(), c.block ) << c.landWidth << " x " << c.landHeight;
        EXPECT_EQ( map.GetWidth(), c.width ) << c.landWidth << " x " << c.landHeight;
        EXPECT_EQ( map.GetHeight(), c.height ) << c.landWidth << " x " << c.landHeight;
    }
}

// A block shows ground when half of its 16 looked-at points are solid, sky with one fewer:
// block n of a 17-block strip has its first n points solid and nothing else.
TEST( HudMap, ABlockHalfSolidIsGroundAndOnePointLessIsSky ) {
    Image land( 17 * 8, 8 );
    land.Clear( 0 );
    for ( int n = 0; n <= 16; n++ ) {
        for ( int point = 0; point < n; point++ ) {
            land.GetPixels()[( 1 + 2 * ( point / 4 ) ) * land.GetPitch() + n * 8 + 1 + 2 * ( point % 4 )] =
                GROUND;
        }
    }
    LandMap map;
    ASSERT_EQ( map.Build( land, 1, 2, 0 ), 1 );
    EXPECT_EQ( MapText( map ), "SSSSSSSSGGGGGGGGG" );
}

// Each row: the area a crater changed and the blocks drawn again, the area's sides one pixel
// either side of a block's edge.
TEST( HudMap, ACraterRedrawsEveryBlockItsAreaTouchesAndNoOther ) {
    struct Case {
        Rect area;
        const char *map;
    } cases[] = {
        { Rect( 0, 0, 15, 7 ), "GGSS/SSSS" },  { Rect( 0, 0, 16, 7 ), "GGGS/SSSS" },
        { Rect( 15, 0, 16, 7 ), "SGGS/SSSS" }, { Rect( 16, 0, 16, 7 ), "SSGS/SSSS" },
        { Rect( 0, 0, 7, 8 ), "GSSS/GSSS" },   { Rect( 31, 15, 40, 20 ), "SSSS/SSSG" },
        { Rect( -5, -5, 3, 3 ), "GSSS/SSSS" },
    };
    for ( const Case &c : cases ) {
        Image land( 32, 16 );
        land.Clear( 0 );
        LandMap map;
        ASSERT_EQ( map.Build( land, 1, 2, 0 ), 1 );
        land.Clear( GROUND );
        map.Refresh( land, c.area );
        EXPECT_EQ( MapText( map ), c.map )
            << c.area.left << "," << c.area.top << " " << c.area.right << "," << c.area.bottom;
    }
}

TEST( HudMatch, ACraterCostsHealthToEveryTankItTouchesAndTheBarsShowIt ) {
    struct Case {
        const char *name;
        int shooter; // whose turn it is when the bomb appears
        int column;  // where it drops
        int hurt[2]; // 1 when the player loses health
    };
    // Player 1 stands at 100, player 2 at 400; a crater reaches 50 columns either side.
    const Case cases[] = {
        { "hit", 0, 400, { 0, 1 } },
        { "hit back", 1, 100, { 1, 0 } },
        { "miss", 0, 250, { 0, 0 } },
        { "own tank", 0, 100, { 1, 0 } },
        { "crater edge on the tank's corner", 0, 400 - 50 + 1, { 0, 1 } },
        { "crater edge one pixel short", 0, 400 - 50 - 1, { 0, 0 } },
    };
    for ( const Case &c : cases ) {
        HudScene s( { 100, 400 } );
        s.world().SetCurrentTank( s.tank( c.shooter ) );
        const uint8_t colours[2] = { s.hud.GetColours().GetPlayer( 0 ), s.hud.GetColours().GetPlayer( 1 ) };
        int before[2];
        for ( int player = 0; player < 2; player++ ) {
            const Tank *tank = s.tank( player );
            const Rect bar( tank->GetX() - 4, tank->GetY() - 8, tank->GetX() + TANK_W + 4, tank->GetY() - 5 );
            before[player] = Count( s.Draw(), bar, colours[player] );
        }
        s.DropBomb( c.column );
        for ( int player = 0; player < 2; player++ ) {
            const int health = s.hud.GetMatch().GetHealth( player );
            EXPECT_EQ( health < Match::DEFAULT_HEALTH, c.hurt[player] == 1 ) << c.name << " " << player;
            const Tank *tank = s.tank( player );
            const Rect bar( tank->GetX() - 4, tank->GetY() - 8, tank->GetX() + TANK_W + 4, tank->GetY() - 5 );
            // The bar under the label is shorter by the health lost.
            EXPECT_EQ( Count( s.Draw(), bar, colours[player] ),
                       before[player] * Overlay::HealthFill( health, Match::DEFAULT_HEALTH ) / 24 )
                << c.name << " " << player;
        }
        EXPECT_EQ( s.hud.GetMatch().GetOutcome(), Match::Playing ) << c.name;
    }
}

TEST( HudMatch, TheLastTankStandingWinsAndEnterStartsAFreshMatch ) {
    HudScene s( { 100, 400 }, 60 );
    Match &match = s.hud.GetMatch();
    s.DropBomb( 400 );
    EXPECT_EQ( match.GetScore( 0 ), 0 );
    EXPECT_TRUE( s.hud.IsPlaying() );
    s.DropBomb( 420 );
    EXPECT_EQ( match.GetHealth( 1 ), 0 );
    EXPECT_EQ( match.GetScore( 0 ), 1 );
    EXPECT_EQ( match.GetWinner(), 0 );
    EXPECT_FALSE( s.hud.IsPlaying() );

    // The banner names the winner in the winner's colour.
    const Image &banner = s.Draw();
    EXPECT_GT( Count( banner, Rect( 170, 170, 470, 250 ), s.hud.GetColours().GetPlayer( 0 ) ), 100 );

    // Enter counts once the banner has stood a moment, and only as it goes down.
    s.keys[DIK_RETURN] = 0x80;
    EXPECT_EQ( s.hud.ReadKeys( s.keys ), 0 );
    for ( int frame = 0; frame < Hud::BANNER_FRAMES; frame++ ) {
        s.hud.Observe();
        EXPECT_EQ( s.hud.ReadKeys( s.keys ), 0 );
    }
    s.keys[DIK_RETURN] = 0;
    EXPECT_EQ( s.hud.ReadKeys( s.keys ), 0 );
    s.keys[DIK_RETURN] = 0x80;
    ASSERT_EQ( s.hud.ReadKeys( s.keys ), 1 );

    const int columns[Match::MAX_PLAYERS] = { 50, 200, 350, 500 };
    ASSERT_EQ( s.hud.StartNewMatch( s.world(), columns ), 1 );
    EXPECT_TRUE( s.hud.IsPlaying() );
    EXPECT_EQ( match.GetMatchNumber(), 2 );
    EXPECT_EQ( s.world().GetBombs()->GetCount(), 0 );
    ASSERT_EQ( match.GetPlayerCount(), 4 );
    // The matches won stay; the new tanks start just over the ground, at the start health;
    // the second match is the second player's to start.
    for ( int player = 0; player < 4; player++ ) {
        EXPECT_EQ( match.GetScore( player ), player == 0 ? 1 : 0 );
        EXPECT_EQ( match.GetHealth( player ), 60 );
        EXPECT_EQ( match.GetTank( player )->GetX(), columns[player] );
        EXPECT_EQ( match.GetTank( player )->GetY(), GROUND_TOP - TANK_H - 1 );
    }
    EXPECT_EQ( s.world().GetCurrentTank(), match.GetTank( 1 ) );
    // The land picture and the shown land are whole again.
    const Image &land = *s.world().GetLandImage();
    EXPECT_EQ( Checksum( land, land.GetBounds() ), s.startLand );
    LandTile *tile = s.world().GetLand()->GetTile( 0, 0 );
    EXPECT_EQ( Checksum( tile->Lock(), land.GetBounds() ), s.startLand );
    tile->Unlock();
}

TEST( HudHelp, F1ShowsAndHidesThePanelAndTheHintLastsWhileTanksFall ) {
    HudScene s( { 100, 400 } );
    // F1 counts as it goes down: held, it does not flicker.
    const int presses[] = { 0x80, 0x80, 0, 0x80, 0 };
    const int shown[] = { 1, 1, 1, 0, 0 };
    for ( int i = 0; i < 5; i++ ) {
        s.keys[DIK_F1] = uint8_t( presses[i] );
        EXPECT_EQ( s.hud.ReadKeys( s.keys ), 0 );
        EXPECT_EQ( s.hud.GetHelpShown(), shown[i] ) << "step " << i;
    }
    s.keys[DIK_F1] = 0x80;
    s.hud.ReadKeys( s.keys );
    const Image &help = s.Draw();
    EXPECT_GT( Count( help, Rect( 170, 120, 470, 300 ), s.hud.GetColours().GetPanel() ), 20000 );

    // The tanks here stand from the first frame: the hint stays its least time and goes.
    EXPECT_TRUE( s.hud.GetHintShown() );
    while ( s.hud.GetMatch().GetFrame() < Hud::HINT_FRAMES ) {
        EXPECT_TRUE( s.hud.GetHintShown() );
        s.Frame();
    }
    EXPECT_FALSE( s.hud.GetHintShown() );
    // Tanks put on the top edge fall 290 rows here: the hint stays up meanwhile.
    g_gameRules.tanksStartOnGround = 0;
    const int columns[Match::MAX_PLAYERS] = { 100, 250, 400, 550 };
    s.hud.StartNewMatch( s.world(), columns );
    for ( int frame = 0; frame < Hud::HINT_FRAMES; frame++ ) {
        s.Frame();
    }
    EXPECT_TRUE( s.hud.GetHintShown() );
}

TEST( HudText, LinesOfWordsAndNumbersReadAsPrintfWouldWriteThem ) {
    TextLine line;
    line.Add( "ANGLE " )
        .Add( -15 )
        .Add( " POWER " )
        .Add( 500 )
        .Add( " " )
        .Add( 0 )
        .Add( " " )
        .Add( INT32_MIN );
    EXPECT_STREQ( line.Get(), "ANGLE -15 POWER 500 0 -2147483648" );
    TextLine full;
    for ( int i = 0; i < 20; i++ ) {
        full.Add( "WORD " );
    }
    EXPECT_EQ( full.GetLength(), TextLine::CAPACITY );
}

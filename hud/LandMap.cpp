#include "hud/LandMap.h"

#include "game/Bomb.h"
#include "game/Entity.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/World.h"
#include "gfx/Sprite.h"
#include "hud/HudColours.h"
#include "hud/MaskedStores.h"
#include "platform/Display.h"
#include "play/Match.h"

#include <cstring>
#include <new>

namespace {

// A block is looked at in 4 x 4 points spread over it and shows ground when at least half
// of them are solid: cheap on any block size, and steady along a crater's edge.
const int SAMPLES = 4;

const int LINE = 64; // bytes of the screen in one of the processor's cache lines

int CeilDivide( int value, int divisor ) {
    return ( value + divisor - 1 ) / divisor;
}

// The 64 bits of a row from bit `first` on, which may lie up to 63 bits before the row.
uint64_t BitsFrom( const uint64_t *bits, int first ) {
    if ( first < 0 ) {
        return bits[0] << -first;
    }
    const int word = first / LINE;
    const int shift = first % LINE;
    return shift == 0 ? bits[word] : ( bits[word] >> shift ) | ( bits[word + 1] << ( LINE - shift ) );
}

// The bytes of a line starting `first` bytes into a row that lie among the row's `width`.
uint64_t BytesWithin( int first, int width ) {
    const int from = first < 0 ? -first : 0;
    const int to = width - first < LINE ? width - first : LINE;
    const uint64_t below = to >= LINE ? ~0ull : ( 1ull << to ) - 1;
    return below & ~( ( 1ull << from ) - 1 );
}

// Byte `column` of a row, when it falls in the line starting `first` bytes into the row.
uint64_t ByteAt( int first, int column ) {
    const int at = column - first;
    return at >= 0 && at < LINE ? 1ull << at : 0;
}

} // namespace

LandMap::LandMap()
    : framed( nullptr ), groundBits{}, cutBits{}, cutWithin{}, cutSides{}, cutLines( 0 ), cutSkew( -1 ),
      block( SMALLEST_BLOCK ), ground( 0 ), sky( 0 ), frame( 0 ) {
}

LandMap::~LandMap() {
    delete framed;
}

int LandMap::Build( const Image &land, uint8_t groundColour, uint8_t skyColour, uint8_t frameColour ) {
    ground = groundColour;
    sky = skyColour;
    frame = frameColour;
    block = SMALLEST_BLOCK;
    while ( CeilDivide( land.GetWidth(), block ) > MAX_WIDTH ||
            CeilDivide( land.GetHeight(), block ) > MAX_HEIGHT ) {
        block++;
    }
    const int width = CeilDivide( land.GetWidth(), block );
    const int height = CeilDivide( land.GetHeight(), block );
    if ( framed == nullptr || framed->GetWidth() != width + 2 || framed->GetHeight() != height + 2 ) {
        delete framed;
        framed = new ( std::nothrow ) Image( width + 2, height + 2 );
    }
    if ( framed == nullptr || framed->GetPixels() == nullptr ) {
        cells.SetPixels( nullptr );
        cells.SetWidth( 0 );
        cells.SetHeight( 0 );
        return 0;
    }
    framed->DrawRect( framed->GetBounds(), frame );
    std::memset( groundBits, 0, sizeof groundBits );
    cutSkew = -1;
    cells.SetPixels( framed->GetPixels() + framed->GetPitch() + 1 );
    cells.SetWidth( width );
    cells.SetHeight( height );
    cells.SetPitch( framed->GetPitch() );
    cells.SetClipRect( cells.GetBounds() );
    Refresh( land, land.GetBounds() );
    return 1;
}

void LandMap::Refresh( const Image &land, const Rect &area ) {
    if ( cells.GetPixels() == nullptr || land.GetPixels() == nullptr ) {
        return;
    }
    Rect blocks( area.left / block, area.top / block, area.right / block, area.bottom / block );
    blocks.Intersect( cells.GetBounds() );
    for ( int row = blocks.top; row <= blocks.bottom; row++ ) {
        for ( int column = blocks.left; column <= blocks.right; column++ ) {
            DrawCell( land, column, row );
        }
    }
}

void LandMap::DrawCell( const Image &land, int column, int row ) {
    const uint8_t *pixels = land.GetPixels();
    int solid = 0;
    for ( int sy = 0; sy < SAMPLES; sy++ ) {
        const int y = row * block + ( ( 2 * sy + 1 ) * block ) / ( 2 * SAMPLES );
        for ( int sx = 0; sx < SAMPLES; sx++ ) {
            const int x = column * block + ( ( 2 * sx + 1 ) * block ) / ( 2 * SAMPLES );
            if ( x < land.GetWidth() && y < land.GetHeight() && pixels[y * land.GetPitch() + x] != 0 ) {
                solid++;
            }
        }
    }
    const int isGround = solid * 2 >= SAMPLES * SAMPLES;
    cells.GetPixels()[row * cells.GetPitch() + column] = isGround ? ground : sky;
    cutSkew = -1;
    // In `framed`'s rows and columns, a pixel down and right of the cells'.
    uint64_t &word = groundBits[( row + 1 ) * ROW_WORDS + ( column + 1 ) / 64];
    const uint64_t bit = 1ull << ( ( column + 1 ) % 64 );
    word = isGround ? word | bit : word & ~bit;
}

void LandMap::Draw( Image &screen, int x, int y, const World &world, const Match &match,
                    const HudColours &colours ) const {
    if ( framed == nullptr || cells.GetPixels() == nullptr ) {
        return;
    }
    const Rect box( x, y, x + cells.GetWidth() - 1, y + cells.GetHeight() - 1 );
    // The frame is in the picture when it is in the shadow's colour, as the view's colours have
    // it; drawn apart otherwise.
    if ( frame == colours.GetShadow() ) {
        DrawFramed( screen, x - 1, y - 1 );
    } else {
        screen.DrawRect( box.left - 1, box.top - 1, box.right + 1, box.bottom + 1, colours.GetShadow() );
        cells.BlitTo( screen, x, y, cells.GetBounds() );
    }

    const Display *display = world.GetDisplay();
    if ( display != nullptr ) {
        const int cameraX = world.GetCameraX();
        const int cameraY = world.GetCameraY();
        Rect view( x + ToMap( cameraX ), y + ToMap( cameraY ), x + ToMap( cameraX + display->GetWidth() - 1 ),
                   y + ToMap( cameraY + display->GetHeight() - 1 ) );
        view.Intersect( box );
        screen.DrawRect( view, colours.GetText() );
    }

    const int tankW = g_tankSprite.GetWidth();
    const int tankH = g_tankSprite.GetHeight();
    for ( int player = 0; player < match.GetPlayerCount(); player++ ) {
        const Tank *tank = match.GetTank( player );
        if ( !match.IsInPlay( player ) ) {
            continue;
        }
        Dot( screen, box, tank->GetX() + tankW / 2, tank->GetY() + tankH / 2, 3,
             colours.GetPlayer( player ) );
    }
    const int bombW = g_bombSprite.GetWidth();
    const int bombH = g_bombSprite.GetHeight();
    for ( int i = 0; i < match.GetFlightCount(); i++ ) {
        const Entity *bomb = match.GetFlight( i );
        Dot( screen, box, bomb->GetX() + bombW / 2, bomb->GetY() + bombH / 2, 2, colours.GetBright() );
    }
}

void LandMap::DrawFramed( Image &screen, int x, int y ) const {
    const Rect &clip = screen.GetClipRect();
    const int inside = x >= clip.left && y >= clip.top && x + framed->GetWidth() - 1 <= clip.right &&
                       y + framed->GetHeight() - 1 <= clip.bottom;
    uint8_t *target = screen.GetPixels() + y * screen.GetPitch() + x;
    // Every row of the map starts as far into a line as the first when the screen's rows are
    // whole lines apart.
    if ( inside && HudMaskedStores() && screen.GetPitch() % LINE == 0 ) {
        const int skew = int( reinterpret_cast<uintptr_t>( target ) % LINE );
        if ( skew != cutSkew ) {
            Cut( skew );
        }
        LayFramedLines( target - skew, screen.GetPitch(), cutBits, cutWithin, cutSides, cutLines,
                        framed->GetHeight(), sky, ground, frame );
    } else if ( inside && HudMaskedStores() ) {
        CopyMasked( screen.GetPixels() + y * screen.GetPitch() + x, screen.GetPitch(), framed->GetPixels(),
                    framed->GetPitch(), framed->GetWidth(), framed->GetHeight() );
    } else {
        framed->BlitTo( screen, x, y, framed->GetBounds() );
    }
}

void LandMap::Cut( int skew ) const {
    const int width = framed->GetWidth();
    cutLines = CeilDivide( skew + width, LINE );
    for ( int part = 0; part < cutLines; part++ ) {
        const int first = part * LINE - skew;
        cutWithin[part] = BytesWithin( first, width );
        cutSides[part] = ByteAt( first, 0 ) | ByteAt( first, width - 1 );
    }
    for ( int row = 0; row < framed->GetHeight(); row++ ) {
        for ( int part = 0; part < cutLines; part++ ) {
            cutBits[row * cutLines + part] = BitsFrom( groundBits + row * ROW_WORDS, part * LINE - skew );
        }
    }
    cutSkew = skew;
}

// A square dot of the map at a land point; a point above the land (a bomb on its way up)
// stays on the map's top edge, so the whole flight can be followed.
void LandMap::Dot( Image &screen, const Rect &box, int landX, int landY, int size, uint8_t colour ) const {
    const int left = box.left + ToMap( landX ) - size / 2;
    const int top = landY < 0 ? box.top : box.top + ToMap( landY ) - size / 2;
    Rect dot( left, top, left + size - 1, top + size - 1 );
    dot.Intersect( box );
    if ( dot.left <= dot.right && dot.top <= dot.bottom ) {
        screen.FillRect( dot, colour );
    }
}

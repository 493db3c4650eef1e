#include "app/GameLand.h"

#include "app/Options.h"
#include "gfx/Image.h"
#include "lands/LandGenerator.h"
#include "lands/LandPalette.h"
#include "lands/LandRandom.h"
#include "menus/LandChoice.h"

#include <cstdio>

namespace {

// The first code of a sequence started from `seed`: its style and theme drawn from it too.
LandCode FirstOfSequence( uint32_t seed, int style ) {
    return LandCode( style >= 0 ? style : int( seed % LandCode::STYLE_COUNT ),
                     int( ( seed / LandCode::STYLE_COUNT ) % LandCode::THEME_COUNT ), seed );
}

} // namespace

GameLand::GameLand() : kind( PICTURES ), sequenceStyle( -1 ), landFile{}, backgroundFile{} {
}

GameLand::~GameLand() {
}

void GameLand::Choose( const Options &options, const char *dataLandFile, const char *dataBackgroundFile,
                       uint32_t seed ) {
    // A path cut short here is longer than any the system opens, and is refused there.
    std::snprintf( landFile, sizeof( landFile ), "%s", dataLandFile );
    std::snprintf( backgroundFile, sizeof( backgroundFile ), "%s", dataBackgroundFile );
    sequenceStyle = -1;
    if ( options.classic ) {
        kind = PICTURES;
    } else if ( !options.land.empty() && IsLandPicture( options.land ) ) {
        kind = PICTURES;
        std::snprintf( landFile, sizeof( landFile ), "%s", options.land.c_str() );
        if ( !options.background.empty() ) {
            std::snprintf( backgroundFile, sizeof( backgroundFile ), "%s", options.background.c_str() );
        }
    } else if ( !options.land.empty() && code.Parse( options.land.c_str() ) ) {
        kind = CODE;
    } else {
        kind = SEQUENCE;
        code = FirstOfSequence( seed, -1 );
    }
}

int GameLand::Take( const LandChoice &choice, uint32_t ( *drawSeed )() ) {
    switch ( choice.GetKind() ) {
    case LandChoice::PICTURES:
        if ( kind == PICTURES ) {
            return 0;
        }
        kind = PICTURES;
        return 1;
    case LandChoice::CODE:
        if ( kind == CODE && code.GetStyle() == choice.GetCode().GetStyle() &&
             code.GetTheme() == choice.GetCode().GetTheme() &&
             code.GetSeed() == choice.GetCode().GetSeed() ) {
            return 0;
        }
        kind = CODE;
        code = choice.GetCode();
        return 1;
    default: {
        const int style = choice.GetKind() == LandChoice::STYLE ? choice.GetStyle() : -1;
        if ( kind == SEQUENCE && sequenceStyle == style ) {
            return 0;
        }
        kind = SEQUENCE;
        sequenceStyle = style;
        code = FirstOfSequence( drawSeed(), style );
        return 1;
    }
    }
}

void GameLand::AddRules( int32_t rules[RULE_COUNT] ) const {
    rules[0] = kind;
    rules[1] = code.GetStyle();
    rules[2] = code.GetTheme();
    rules[3] = int32_t( code.GetSeed() );
}

int GameLand::TakeRules( const int32_t rules[RULE_COUNT] ) {
    const int32_t recordedKind = rules[0];
    const int32_t style = rules[1];
    const int32_t theme = rules[2];
    if ( recordedKind < PICTURES || recordedKind > SEQUENCE || style < 0 || style >= LandCode::STYLE_COUNT ||
         theme < 0 || theme >= LandCode::THEME_COUNT ) {
        return 0;
    }
    kind = recordedKind;
    code = LandCode( style, theme, uint32_t( rules[3] ) );
    return 1;
}

int GameLand::Make( Image &land, Image &background, HostPaletteEntry palette[256] ) const {
    LandMakePalette( code.GetTheme(), palette );
    return LandGenerator::MakeLand( code, LandGenerator::DEFAULT_WIDTH, LandGenerator::DEFAULT_HEIGHT,
                                    land ) &&
           LandGenerator::MakeBackground( code, LandGenerator::DEFAULT_BACKGROUND_WIDTH,
                                          LandGenerator::DEFAULT_BACKGROUND_HEIGHT, background );
}

int GameLand::MakeLand( Image &land, HostPaletteEntry palette[256] ) const {
    LandMakePalette( code.GetTheme(), palette );
    return LandGenerator::MakeLand( code, LandGenerator::DEFAULT_WIDTH, LandGenerator::DEFAULT_HEIGHT, land );
}

int GameLand::Advance() {
    if ( kind != SEQUENCE ) {
        return 0;
    }
    const uint32_t seed = LandRandom::NextSeed( code.GetSeed() );
    const int style =
        sequenceStyle >= 0
            ? sequenceStyle
            : ( code.GetStyle() + 1 + int( seed % ( LandCode::STYLE_COUNT - 1 ) ) ) % LandCode::STYLE_COUNT;
    const int theme = ( code.GetTheme() + 1 + int( ( seed >> 8 ) % ( LandCode::THEME_COUNT - 1 ) ) ) %
                      LandCode::THEME_COUNT;
    code = LandCode( style, theme, seed );
    return 1;
}

void GameLand::FormatCode( char *text, int size ) const {
    if ( kind == PICTURES ) {
        if ( size > 0 ) {
            text[0] = '\0';
        }
        return;
    }
    code.Format( text, size );
}

std::string GameLand::GetCodeText() const {
    char text[LandCode::TEXT_SIZE];
    FormatCode( text, sizeof( text ) );
    return text;
}

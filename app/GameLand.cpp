#include "app/GameLand.h"

#include "app/Options.h"
#include "gfx/Image.h"
#include "lands/LandGenerator.h"
#include "lands/LandPalette.h"
#include "lands/LandRandom.h"

#include <cstdio>

GameLand::GameLand() : kind( PICTURES ), landFile{}, backgroundFile{} {
}

GameLand::~GameLand() {
}

void GameLand::Choose( const Options &options, const char *dataLandFile, const char *dataBackgroundFile,
                       uint32_t seed ) {
    // A path cut short here is longer than any the system opens, and is refused there.
    std::snprintf( landFile, sizeof( landFile ), "%s", dataLandFile );
    std::snprintf( backgroundFile, sizeof( backgroundFile ), "%s", dataBackgroundFile );
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
        code = LandCode( int( seed % LandCode::STYLE_COUNT ),
                         int( ( seed / LandCode::STYLE_COUNT ) % LandCode::THEME_COUNT ), seed );
    }
}

void GameLand::AddRules( std::vector<int32_t> &rules ) const {
    rules.push_back( kind );
    rules.push_back( code.GetStyle() );
    rules.push_back( code.GetTheme() );
    rules.push_back( int32_t( code.GetSeed() ) );
}

int GameLand::TakeRules( const std::vector<int32_t> &rules, size_t first ) {
    if ( rules.size() < first + RULE_COUNT ) {
        return 0;
    }
    const int32_t recordedKind = rules[first];
    const int32_t style = rules[first + 1];
    const int32_t theme = rules[first + 2];
    if ( recordedKind < PICTURES || recordedKind > SEQUENCE || style < 0 || style >= LandCode::STYLE_COUNT ||
         theme < 0 || theme >= LandCode::THEME_COUNT ) {
        return 0;
    }
    kind = recordedKind;
    code = LandCode( style, theme, uint32_t( rules[first + 3] ) );
    return 1;
}

int GameLand::Make( Image &land, Image &background, HostPaletteEntry palette[256] ) const {
    LandMakePalette( code.GetTheme(), palette );
    return LandGenerator::MakeLand( code, LandGenerator::DEFAULT_WIDTH, LandGenerator::DEFAULT_HEIGHT,
                                    land ) &&
           LandGenerator::MakeBackground( code, LandGenerator::DEFAULT_BACKGROUND_WIDTH,
                                          LandGenerator::DEFAULT_BACKGROUND_HEIGHT, background );
}

int GameLand::Advance() {
    if ( kind != SEQUENCE ) {
        return 0;
    }
    const uint32_t seed = LandRandom::NextSeed( code.GetSeed() );
    const int style =
        ( code.GetStyle() + 1 + int( seed % ( LandCode::STYLE_COUNT - 1 ) ) ) % LandCode::STYLE_COUNT;
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

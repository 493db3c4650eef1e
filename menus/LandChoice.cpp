#include "menus/LandChoice.h"

namespace {

const char *const STYLE_WORDS[LandCode::STYLE_COUNT] = { "hills", "islands", "cavern", "cliffs" };

} // namespace

LandChoice::LandChoice() : kind( NEW ), style( 0 ), hasCode( 0 ) {
}

LandChoice::~LandChoice() {
}

int LandChoice::Read( const std::string &word ) {
    if ( word == "new" ) {
        kind = NEW;
        return 1;
    }
    if ( word == "bundled" ) {
        kind = PICTURES;
        return 1;
    }
    for ( int i = 0; i < LandCode::STYLE_COUNT; i++ ) {
        if ( word == STYLE_WORDS[i] ) {
            kind = STYLE;
            style = i;
            return 1;
        }
    }
    return ReadCode( word );
}

int LandChoice::ReadCode( const std::string &text ) {
    if ( !code.Parse( text.c_str() ) ) {
        return 0;
    }
    kind = CODE;
    hasCode = 1;
    return 1;
}

int LandChoice::GetPlace() const {
    switch ( kind ) {
    case PICTURES:
        return 1;
    case STYLE:
        return 2 + style;
    case CODE:
        return 2 + LandCode::STYLE_COUNT;
    default:
        return 0;
    }
}

void LandChoice::SetPlace( int place ) {
    if ( place == 0 ) {
        kind = NEW;
    } else if ( place == 1 ) {
        kind = PICTURES;
    } else if ( place < 2 + LandCode::STYLE_COUNT ) {
        kind = STYLE;
        style = place - 2;
    } else {
        kind = CODE;
    }
}

void LandChoice::Step( int step ) {
    const int places = 2 + LandCode::STYLE_COUNT + hasCode;
    SetPlace( ( GetPlace() + step % places + places ) % places );
}

std::string LandChoice::GetWord() const {
    switch ( kind ) {
    case PICTURES:
        return "bundled";
    case STYLE:
        return STYLE_WORDS[style];
    case CODE: {
        char text[LandCode::TEXT_SIZE];
        code.Format( text, sizeof( text ) );
        return text;
    }
    default:
        return "new";
    }
}

std::string LandChoice::GetLabel() const {
    switch ( kind ) {
    case NEW:
        return "NEW EACH MATCH";
    case PICTURES:
        return "PICTURES";
    case STYLE:
        return std::string( "NEW " ) + LandCode::StyleName( style );
    default:
        return GetWord();
    }
}

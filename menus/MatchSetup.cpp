#include "menus/MatchSetup.h"

namespace {

const char *const KIND_WORDS[MatchSetup::KIND_COUNT] = { "off", "person", "easy", "normal", "hard" };

} // namespace

std::string MatchSetup::DefaultName( int seat ) {
    return "PLAYER " + std::to_string( seat + 1 );
}

std::string MatchSetup::NameOf( int seat ) const {
    return seats[seat].name.empty() ? DefaultName( seat ) : seats[seat].name;
}

const char *MatchSetup::KindWord( int kind ) {
    return kind >= 0 && kind < KIND_COUNT ? KIND_WORDS[kind] : KIND_WORDS[NORMAL];
}

int MatchSetup::KindFromWord( const std::string &word ) {
    for ( int kind = 0; kind < KIND_COUNT; kind++ ) {
        if ( word == KIND_WORDS[kind] ) {
            return kind;
        }
    }
    return NORMAL;
}

const char *MatchSetup::LevelWord( int kind ) {
    return kind >= EASY && kind < KIND_COUNT ? KIND_WORDS[kind] : nullptr;
}

int MatchSetup::CountPlaying() const {
    int count = 0;
    for ( const Seat &seat : seats ) {
        count += seat.kind != OFF ? 1 : 0;
    }
    return count;
}

void MatchSetup::FromSettings( const Settings &settings ) {
    for ( int seat = 0; seat < SEATS; seat++ ) {
        seats[seat].kind = settings.seat[seat].empty() ? ( seat == 0 ? PERSON : NORMAL )
                                                       : KindFromWord( settings.seat[seat] );
        seats[seat].name = settings.name[seat];
    }
    health = settings.health;
    wind = settings.wind;
    stock = settings.stock;
    land = settings.land;
}

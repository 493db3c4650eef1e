#ifndef KELTO_MENUS_MATCHSETUP_H
#define KELTO_MENUS_MATCHSETUP_H

#include "settings/Settings.h"

#include <string>

// One match as the set-up screen makes it: who sits in each of the four seats (nobody, a
// person, or the computer at one of its levels) under which name, and the rules it is played
// by. Kept in the settings file between games (settings/Settings.h, seat_1 ... land).
struct MatchSetup {
    static constexpr int SEATS = Settings::SEATS;
    static constexpr int NAME_LENGTH = SETTINGS_NAME_LENGTH;
    enum Kind { OFF, PERSON, EASY, NORMAL, HARD, KIND_COUNT };

    struct Seat {
        int kind = NORMAL;
        std::string name; // empty: the seat's own name (DefaultName)
    };

    Seat seats[SEATS];
    int health = 100;
    int wind = 1;
    int stock = 3;
    std::string land = "new"; // in the settings file's words (LandChoice)

    // The seat's name as shown: its own, or "PLAYER N".
    std::string NameOf( int seat ) const;
    static std::string DefaultName( int seat );
    // "off", "person", "easy", "normal" or "hard", as the settings file spells them.
    static const char *KindWord( int kind );
    static int KindFromWord( const std::string &word );
    // The computer's level name ("easy", ...) of a computer's seat; null for the others.
    static const char *LevelWord( int kind );
    int IsComputer( int seat ) const { return seats[seat].kind >= EASY; }
    int CountPlaying() const;

    // The set-up kept in the settings.
    void FromSettings( const Settings &settings );
};

#endif

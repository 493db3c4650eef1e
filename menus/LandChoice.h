#ifndef KELTO_MENUS_LANDCHOICE_H
#define KELTO_MENUS_LANDCHOICE_H

#include "lands/LandCode.h"

#include <string>

// What the set-up's land row chooses: a new land for every match (of any style, or of one
// style), the game's pictures, or the land of a code. Kept in the settings file as a word
// (new, pictures' "bundled", a style's name in small letters) or as the code itself.
class LandChoice {
public:
    enum Kind { NEW, PICTURES, STYLE, CODE };

    LandChoice();
    virtual ~LandChoice();

    // Reads the settings file's word or a code; 1, or 0 leaving the choice unchanged.
    int Read( const std::string &word );
    // Takes a code typed in; 1, or 0 leaving the choice unchanged when it does not parse.
    int ReadCode( const std::string &text );
    // Steps through new lands, the pictures, each style and, once one was given, the code.
    void Step( int step );

    // As the settings file keeps it, and as the set-up shows it.
    std::string GetWord() const;
    std::string GetLabel() const;

    int GetKind() const { return kind; }
    // The style of a STYLE choice.
    int GetStyle() const { return style; }
    // The code of a CODE choice; the last one given when the choice has moved on.
    const LandCode &GetCode() const { return code; }

private:
    // The choices in the order Step visits them: NEW, PICTURES, the styles, the code.
    int GetPlace() const;
    void SetPlace( int place );

    int kind;
    int style;
    LandCode code;
    int hasCode; // a code was given, so stepping comes back to it
};

#endif

#ifndef KELTO_APP_GAMELAND_H
#define KELTO_APP_GAMELAND_H

#include "host/HostTypes.h"
#include "lands/LandCode.h"

#include <cstdint>
#include <string>
#include <vector>

class Image;
class LandChoice;
struct Options;

// The land a game is played on and where it comes from: pictures read from files (the
// designed game's, or the player's own), the land of a code the player gave, or a new land
// made for every match from a sequence of codes that starts at a seed drawn by the game.
class GameLand {
public:
    enum Kind { PICTURES = 0, CODE = 1, SEQUENCE = 2 };
    // The numbers a recording keeps of the land (AddRules, TakeRules).
    static constexpr int RULE_COUNT = 4;

    GameLand();
    virtual ~GameLand();

    // From the options: --classic and --land FILE.bmp play on pictures, --land CODE on that
    // code, and otherwise a new sequence starts from `seed`. The pictures' names are the
    // data folder's unless the options name others.
    void Choose( const Options &options, const char *landFile, const char *backgroundFile, uint32_t seed );
    // Writes the RULE_COUNT numbers a recording must keep to play the same lands again, or
    // takes them back from a recording; 0, and nothing taken, when they are not understood.
    void AddRules( int32_t rules[RULE_COUNT] ) const;
    int TakeRules( const int32_t rules[RULE_COUNT] );
    // Plays on the pictures named at Choose after all.
    void UsePictures() { kind = PICTURES; }
    // Takes the land the set-up chose: new lands (of any style or of one), the pictures named
    // at Choose, or a code. 1 when the next match is played on another land than this one,
    // which must then be made or read; 0 when the land goes on as it is (a sequence moving on
    // at Advance). `drawSeed` is called only when a new sequence starts.
    int Take( const LandChoice &choice, uint32_t ( *drawSeed )() );

    // The current land's pictures and colours, made from its code.
    int Make( Image &land, Image &background, HostPaletteEntry palette[256] ) const;
    // The land and its colours alone, for a game nobody sees.
    int MakeLand( Image &land, HostPaletteEntry palette[256] ) const;
    // Moves a sequence on to the next match's code, in another style and another theme; 0
    // when the land stays (pictures, or a code the player gave).
    int Advance();

    int GetKind() const { return kind; }
    int IsGenerated() const { return kind != PICTURES; }
    const LandCode &GetCode() const { return code; }
    const char *GetLandFile() const { return landFile; }
    const char *GetBackgroundFile() const { return backgroundFile; }
    // The code as the player types it; empty on pictures. The first form asks for no memory.
    void FormatCode( char *text, int size ) const;
    std::string GetCodeText() const;

private:
    int kind;
    LandCode code;
    int sequenceStyle; // the one style of a sequence's lands, or -1 for every style in turn
    // Kept without asking for memory, so that a start-up short of it can still say so.
    static const int PATH_SIZE = 4096;
    char landFile[PATH_SIZE];
    char backgroundFile[PATH_SIZE];
};

#endif

#ifndef KELTO_LANDS_LANDCODE_H
#define KELTO_LANDS_LANDCODE_H

#include <cstdint>

// What a generated land is made from, and the short text players share it by:
// STYLE-THEME-SEED, for instance "HILLS-GREEN-3F9A21C0". The same code makes the same land and
// the same look on every machine.
class LandCode {
public:
    enum Style { HILLS, ISLANDS, CAVERN, CLIFFS, STYLE_COUNT };
    enum Theme { GREEN, DESERT, SNOW, THEME_COUNT };
    // The longest code written, with its terminating zero.
    static constexpr int TEXT_SIZE = 24;

    LandCode();
    LandCode( int style, int theme, uint32_t seed );
    virtual ~LandCode();

    // Reads a whole code, any letter case; 1, or 0 leaving this code unchanged when the text
    // is not exactly a style, a theme and eight hexadecimal digits joined by '-'.
    int Parse( const char *text );
    // Writes the code in capitals; `size` should be TEXT_SIZE.
    void Format( char *text, int size ) const;

    int GetStyle() const { return style; }
    int GetTheme() const { return theme; }
    uint32_t GetSeed() const { return seed; }

    static const char *StyleName( int style );
    static const char *ThemeName( int theme );

private:
    int style;
    int theme;
    uint32_t seed;
};

#endif

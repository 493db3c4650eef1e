#ifndef KELTO_PLAY_STARTCOLUMNS_H
#define KELTO_PLAY_STARTCOLUMNS_H

#include "game/TankPlacement.h"

class Image;

// Where the default game's tanks start: on columns that have ground, at least two tank widths
// apart and a tank width clear of the land's sides, drawn from the game's pseudo-random
// sequence so that a seed always gives the same match. A recording notes the columns as it
// does any others.
class StartColumns : public TankColumnSource {
public:
    // Tries this many draws for each tank before it gives up on chance.
    static constexpr int TRIES = 64;

    StartColumns();
    virtual ~StartColumns();

    // The land the columns are drawn on (not owned); without one, columns are only spaced.
    void SetLand( const Image *land ) { this->land = land; }
    void Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) override;

    // 1 when `column` is free for a tank of `tankWidth` beside the `count` columns taken.
    static int IsFree( int column, int tankWidth, const int *taken, int count );

private:
    int HasGround( int column, int tankWidth ) const;
    void Spread( int landWidth, int tankWidth, int columns[TANK_PLACEMENT_COUNT] ) const;

    const Image *land; // not owned
};

#endif

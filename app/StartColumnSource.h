#ifndef KELTO_APP_STARTCOLUMNSOURCE_H
#define KELTO_APP_STARTCOLUMNSOURCE_H

#include "game/TankPlacement.h"

class World;

// The start columns of the default game on a generated land: open places apart from each
// other (lands/LandStarts), drawn with the game's own pseudo-random numbers. A land without
// four of them falls back to the game's own drawing.
class StartColumnSource : public TankColumnSource {
public:
    StartColumnSource();
    ~StartColumnSource() override;

    void SetWorld( const World *value ) { world = value; }
    void Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) override;

private:
    const World *world; // not owned
};

#endif

#ifndef KELTO_GAME_TANKPLACEMENT_H
#define KELTO_GAME_TANKPLACEMENT_H

// Where a match's tanks start: four columns on the top edge of the land. Drawing the columns
// and placing the tanks are apart, so that a recorded game can give back the columns it drew.

class World;

const int TANK_PLACEMENT_COUNT = 4;

// Draws the columns from the C library's generator, one `rand() % land width` per tank in
// creation order.
void ChooseTankColumns( const World &world, int columns[TANK_PLACEMENT_COUNT] );

// Creates a tank at each column on the top edge, in its falling state, and appends it to the
// World's tank list; the first one gets the turn and the camera. Returns how many tanks the
// list holds (0 when no tank could be made).
int PlaceTanks( World &world, const int columns[TANK_PLACEMENT_COUNT] );

#endif

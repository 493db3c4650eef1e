#ifndef KELTO_GAME_TANKPLACEMENT_H
#define KELTO_GAME_TANKPLACEMENT_H

// Where a match's tanks start: four columns on the top edge of the land. Drawing the columns
// and placing the tanks are apart, so that a recorded game can give back the columns it drew:
// they are the only numbers drawn from the pseudo-random sequence that change play, so every
// match start draws them here, through a source that a recording or a replay can stand in for.

class World;

const int TANK_PLACEMENT_COUNT = 4;

// Gives the columns of a new match on a land `landWidth` pixels wide. A recording draws them
// as the game does and notes them; a replay hands back the noted ones.
class TankColumnSource {
public:
    virtual ~TankColumnSource() {}
    virtual void Choose( int landWidth, int columns[TANK_PLACEMENT_COUNT] ) = 0;
};

// Makes `source` choose the columns from now on; null goes back to the game's own drawing.
// Not owned.
void SetTankColumnSource( TankColumnSource *source );
TankColumnSource *GetTankColumnSource();

// The columns of a new match, through the current source.
void ChooseTankColumns( const World &world, int columns[TANK_PLACEMENT_COUNT] );

// The game's own drawing: one `rand() % landWidth` per tank in creation order.
void DrawTankColumns( int landWidth, int columns[TANK_PLACEMENT_COUNT] );

// Creates a tank at each column on the top edge, in its falling state, and appends it to the
// World's tank list; the first one gets the turn and the camera. Returns how many tanks the
// list holds (0 when no tank could be made).
int PlaceTanks( World &world, const int columns[TANK_PLACEMENT_COUNT] );

#endif

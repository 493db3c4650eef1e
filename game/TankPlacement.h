#ifndef KELTO_GAME_TANKPLACEMENT_H
#define KELTO_GAME_TANKPLACEMENT_H

class World;

// Where a match's tanks start: at columns on the top edge of the land. These columns are the
// only numbers drawn from the pseudo-random sequence that change play, so every match start
// draws them here, through a source that a recording or a replay can stand in for.

const int TANK_COUNT = 4;

// Gives the columns of a new match. The game's own source draws rand() % landWidth for each
// tank; a recording draws the same way and notes them, a replay hands back the noted ones.
class TankColumnSource {
public:
    virtual ~TankColumnSource() {}
    virtual void Choose( int landWidth, int columns[TANK_COUNT] ) = 0;
};

// Makes `source` choose the columns from now on; null goes back to rand(). Not owned.
void SetTankColumnSource( TankColumnSource *source );
TankColumnSource *GetTankColumnSource();

// Fills `columns` for a match on a land `landWidth` pixels wide, through the current source.
void ChooseTankColumns( int landWidth, int columns[TANK_COUNT] );

// The game's own choice: rand() % landWidth for each tank in turn.
void DrawTankColumns( int landWidth, int columns[TANK_COUNT] );

// Adds a falling tank at each column on the top edge of the land, in order, and gives the
// first of them the turn and the camera. 1, or 0 when not a single tank could be made.
int PlaceTanks( World &world, const int columns[TANK_COUNT] );

#endif

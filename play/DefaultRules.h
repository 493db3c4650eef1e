#ifndef KELTO_PLAY_DEFAULTRULES_H
#define KELTO_PLAY_DEFAULTRULES_H

class Image;

// Switches the designed game's classes to the default game's rules (g_gameRules), once at
// start-up, before the first tank is made: only the current tank reads the keys, the match
// passes the turn, left-facing tanks are mirrored, a full charge takes about 2.5 seconds,
// spent bombs go, tanks start on the ground of spaced columns on `land`, the land's edges
// are open, the players choose their weapons and, when `wind` is 1, a new wind blows each turn.
void UseDefaultRules( const Image *land, int wind );
// Puts every switch back to the designed game and the columns back to the game's own drawing.
void UseDesignedRules();

#endif

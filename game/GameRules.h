#ifndef KELTO_GAME_GAMERULES_H
#define KELTO_GAME_GAMERULES_H

// Where the default game departs from the designed one. Every switch starts at the designed
// behaviour, so a program that never touches g_gameRules (--classic, the reference checks)
// plays exactly the designed game. The default game's rules set their switches once at
// start-up, before the first tank is made, and nothing changes them during play.
struct GameRules {
    // Only the tank whose turn it is reads the keys; designed: every tank reads them.
    int onlyCurrentTankReadsKeys = 0;
    // The turn passes when the rules say so (after the shot has landed); designed: the World
    // passes it as soon as the tank fires.
    int rulesPassTurn = 0;
    // A tank facing left is drawn mirrored, so it stands upright; designed: turned by 180.
    int mirrorLeftFacingTanks = 0;
    // Power added per frame while charging; designed: 1.
    int chargePerFrame = 1;
    // An exploded bomb leaves the bomb list and is deleted; designed: it stays in the list.
    int removeSpentBombs = 0;
    // New tanks start just above the ground of their column; designed: on the top edge.
    int tanksStartOnGround = 0;
    // The land's sides and bottom are open: a tank can drive or fall out of the land;
    // designed: the tank is kept inside and the bottom edge holds it.
    int openLandEdges = 0;
    // A new wind blows each turn and pushes the bombs sideways; designed: no wind.
    int windEnabled = 0;
    // The players choose among the weapons before firing; designed: the plain bomb only.
    int weaponsEnabled = 0;
};

extern GameRules g_gameRules;

#endif

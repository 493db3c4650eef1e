#ifndef KELTO_PLAY_ARSENAL_H
#define KELTO_PLAY_ARSENAL_H

#include "game/Weapons.h"

#include <cstdint>

class Tank;
class World;

// Each player's weapons for a match: how many of each are left, and the choosing of the
// next shot's weapon with the weapon keys (Q for the one before, E for the one after) while
// the tank whose turn it is aims. A weapon that has run out is skipped, and a tank whose
// last one was fired goes back to the bomb.
class Arsenal {
public:
    static constexpr int PLAYERS = 4;
    static constexpr int SHOTS_OF_TABLE = -1;
    static constexpr int SHOTS_MOST = 99;

    Arsenal();
    virtual ~Arsenal();

    // Every player's stock full again.
    void NewMatch();
    // How many of every weapon but the bomb each player has at a match's start, from the next
    // NewMatch on: `shots` (0 to SHOTS_MOST) of each, or SHOTS_OF_TABLE for each weapon's own
    // row. Anything else is taken as the nearest limit.
    void SetShots( int shots );
    int GetShots() const { return shots; }

    // Before the World's update: the weapon keys turn the current tank's choice (one step
    // per press), and a tank about to fire is noted, for its shot to be spent after.
    void BeforeUpdate( World &world, const uint8_t *keys );
    // After the World's update: the noted shot is taken from its player's stock.
    void AfterUpdate( World &world );

    // How many of `weapon` the player in this place of the tank list has left;
    // WEAPON_UNLIMITED for the bomb, 0 for anything outside the table.
    int GetStock( int player, int weapon ) const;
    // The weapon after (step 1) or before (step -1) `weapon` that the player still has.
    int NextInStock( int player, int weapon, int step ) const;

    // The place of `tank` in the World's tank list, or -1.
    static int PlayerOf( const World &world, const Tank *tank );

private:
    int stock[PLAYERS][WEAPON_CHOICES];
    int shots;            // SetShots; SHOTS_OF_TABLE for the table's own
    uint8_t previousHeld; // the weapon keys held in the last update, one bit each
    int firingPlayer;     // noted by BeforeUpdate; -1 for none
    int firingWeapon;
};

#endif

#ifndef KELTO_GAME_WEAPONS_H
#define KELTO_GAME_WEAPONS_H

// What a tank can fire, one row each: how large a hole the shot blows (or, for the dirt
// bomb, how large a mound it throws up), how hard it hits a tank, how many a player has for a
// match and the sound it makes. The bomb is the designed game's one shot; the others are the
// default game's, chosen before firing.
enum WeaponKind {
    WEAPON_BOMB = 0,    // the plain bomb, without end
    WEAPON_HEAVY = 1,   // a much larger crater, a few per match
    WEAPON_CLUSTER = 2, // breaks into bomblets at the top of its arc
    WEAPON_DIGGER = 3,  // bores on through the ground before it goes off
    WEAPON_DIRT = 4,    // throws up a mound of new ground instead of a crater
    WEAPON_BOMBLET = 5, // one piece of a cluster; never chosen
};

// The weapons a player chooses from, WEAPON_BOMB to WEAPON_DIRT.
const int WEAPON_CHOICES = 5;
const int WEAPON_COUNT = 6;
// A stock that never runs out.
const int WEAPON_UNLIMITED = -1;

struct Weapon {
    const char *name; // as the readout shows it
    int craterRx;     // the crater's (or the mound's) half-width and half-height, pixels
    int craterRy;
    int damagePercent; // of the plain bomb's damage, for a tank inside the crater
    int stock;         // per player and match; WEAPON_UNLIMITED for the bomb
    int pieces;        // bomblets a cluster breaks into; 0 for the others
    int digUpdates;    // updates a digger bores on after it meets the ground; 0 for the others
    int shaftRadius;   // the bore's radius while it digs
    const char *sound; // the file its explosion plays, in the data folder
};

// How far from where a shot went off the land it changed can reach: the heavy shell's crater,
// and a digger's shaft back along its path (at most 20 updates of a bomb's top speed).
const int WEAPON_REACH = 320;

// The row of `kind`; the plain bomb's for anything outside the table.
const Weapon &WeaponOf( int kind );

#endif

#include "game/Weapons.h"

namespace {

// The bomb's 50 x 30 crater is the designed one; the others are measured against it.
const Weapon WEAPONS[WEAPON_COUNT] = {
    { "Bomb", 50, 30, 100, WEAPON_UNLIMITED, 0, 0, 0, "explosion.wav" },
    { "Heavy shell", 90, 54, 200, 2, 0, 0, 0, "heavy.wav" },
    { "Cluster", 0, 0, 0, 3, 5, 0, 0, "cluster.wav" },
    { "Digger", 26, 18, 70, 3, 0, 20, 7, "digger.wav" },
    { "Dirt", 60, 36, 0, 2, 0, 0, 0, "dirt.wav" },
    { "Bomblet", 24, 15, 40, WEAPON_UNLIMITED, 0, 0, 0, "explosion.wav" },
};

} // namespace

const Weapon &WeaponOf( int kind ) {
    return kind >= 0 && kind < WEAPON_COUNT ? WEAPONS[kind] : WEAPONS[WEAPON_BOMB];
}

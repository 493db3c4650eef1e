#include "play/DefaultRules.h"

#include "game/GameRules.h"
#include "game/TankPlacement.h"
#include "play/StartColumns.h"

namespace {

// 500 in 167 updates, a little under 3 seconds at 60 updates a second.
const int CHARGE_PER_FRAME = 3;

StartColumns startColumns;

} // namespace

void UseDefaultRules( const Image *land, int wind ) {
    g_gameRules = GameRules();
    g_gameRules.onlyCurrentTankReadsKeys = 1;
    g_gameRules.rulesPassTurn = 1;
    g_gameRules.mirrorLeftFacingTanks = 1;
    g_gameRules.chargePerFrame = CHARGE_PER_FRAME;
    g_gameRules.removeSpentBombs = 1;
    g_gameRules.tanksStartOnGround = 1;
    g_gameRules.openLandEdges = 1;
    g_gameRules.windEnabled = wind ? 1 : 0;
    g_gameRules.weaponsEnabled = 1;
    startColumns.SetLand( land );
    // A recording already drawing the columns asks the source it found, which was this one.
    if ( GetTankColumnSource() == nullptr ) {
        SetTankColumnSource( &startColumns );
    }
}

void UseDesignedRules() {
    g_gameRules = GameRules();
    if ( GetTankColumnSource() == &startColumns ) {
        SetTankColumnSource( nullptr );
    }
    startColumns.SetLand( nullptr );
}

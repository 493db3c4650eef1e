#include "play/Wind.h"

#include "game/World.h"

namespace {

WindSource *windSource = nullptr; // not owned
uint32_t windState = 1;           // xorshift32; never 0

} // namespace

void SetWindSource( WindSource *source ) {
    windSource = source;
}

WindSource *GetWindSource() {
    return windSource;
}

void SeedWind( uint32_t seed ) {
    windState = seed != 0 ? seed : 0x9E3779B9u;
}

int DrawWindSteps() {
    windState ^= windState << 13;
    windState ^= windState >> 17;
    windState ^= windState << 5;
    return int( windState % uint32_t( 2 * Wind::MAX_STEPS + 1 ) ) - Wind::MAX_STEPS;
}

Wind::Wind() : turnTank( nullptr ) {
}

Wind::~Wind() {
}

void Wind::NewMatch() {
    turnTank = nullptr;
}

// The steps a source gives are held to the strongest wind, so that a recording cannot blow
// a bomb harder than the game ever does.
int Wind::Observe( World &world ) {
    if ( world.GetCurrentTank() == turnTank ) {
        return 0;
    }
    turnTank = world.GetCurrentTank();
    int steps = windSource != nullptr ? windSource->ChooseWind() : DrawWindSteps();
    steps = steps < -MAX_STEPS ? -MAX_STEPS : ( steps > MAX_STEPS ? MAX_STEPS : steps );
    world.SetWind( steps * PUSH_PER_STEP );
    return 1;
}

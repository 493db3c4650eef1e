#include "play/Wind.h"

#include "game/World.h"

#include <cstdlib>

namespace {

WindSource *windSource = nullptr; // not owned

} // namespace

void SetWindSource( WindSource *source ) {
    windSource = source;
}

WindSource *GetWindSource() {
    return windSource;
}

int DrawWindSteps() {
    return std::rand() % ( 2 * Wind::MAX_STEPS + 1 ) - Wind::MAX_STEPS;
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
void Wind::Observe( World &world ) {
    if ( world.GetCurrentTank() == turnTank ) {
        return;
    }
    turnTank = world.GetCurrentTank();
    int steps = windSource != nullptr ? windSource->ChooseWind() : DrawWindSteps();
    steps = steps < -MAX_STEPS ? -MAX_STEPS : ( steps > MAX_STEPS ? MAX_STEPS : steps );
    world.SetWind( steps * PUSH_PER_STEP );
}

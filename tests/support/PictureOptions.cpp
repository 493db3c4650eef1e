#include "tests/support/PictureOptions.h"

#include "app/Game.h"

void UsePictures( Options &options ) {
    options.land = GameDataPath( GAME_LAND_FILE );
    options.background = GameDataPath( GAME_BACKGROUND_FILE );
}

Options PictureOptions() {
    Options options;
    UsePictures( options );
    return options;
}

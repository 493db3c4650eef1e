#ifndef KELTO_TESTS_SUPPORT_PICTUREOPTIONS_H
#define KELTO_TESTS_SUPPORT_PICTUREOPTIONS_H

#include "app/Options.h"

// The default game played on the data folder's own land.bmp and background.bmp (as
// --land FILE.bmp --background FILE.bmp ask) instead of a generated land: for the tests
// written around pictures drawn in the test.
void UsePictures( Options &options );
Options PictureOptions();

#endif

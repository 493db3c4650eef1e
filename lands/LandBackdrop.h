#ifndef KELTO_LANDS_LANDBACKDROP_H
#define KELTO_LANDS_LANDBACKDROP_H

#include <cstdint>

class Image;

// Paints the background behind a generated land in the theme's ramps (LandCode::Theme): a sky
// with clouds and a sun, a far range (peaks with snow, mesas in the desert), and near hills.
// 1, or 0 without memory for its work.
int LandPaintBackdrop( int theme, uint32_t seed, Image &background );

#endif

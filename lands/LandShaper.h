#ifndef KELTO_LANDS_LANDSHAPER_H
#define KELTO_LANDS_LANDSHAPER_H

#include <cstdint>

class Image;

// Cuts the shape of a land of one style (LandCode::Style) into `land`: 1 where there is ground,
// 0 where there is air, over the whole picture. Every style leaves columns open to the sky,
// spread over the width, where tanks can start and be reached:
//   hills    one rolling ground line with pockets deep below it;
//   islands  a row of floating islands over open air down to the bottom;
//   cavern   a floor under a thick roof hung with stalactites, open to the sky by shafts;
//   cliffs   plateaus at different heights joined by steep cliffs, some with overhanging lips.
// 1, or 0 without memory for its work.
int LandShape( int style, uint32_t seed, Image &land );

#endif

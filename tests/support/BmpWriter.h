#ifndef KELTO_TESTS_SUPPORT_BMPWRITER_H
#define KELTO_TESTS_SUPPORT_BMPWRITER_H

#include "host/HostTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// Builds BMP files in memory for tests: an 8-bit (or other bit count) picture with a colour
// table, rows stored bottom row first and padded to 4 bytes, as the game's pictures are.
struct BmpPicture {
    int width = 1;
    int height = 1;
    int bitCount = 8;
    uint32_t compression = 0;
    uint32_t clrUsed = 0; // as written in the header; 0 means 256
    uint32_t infoSize = 40;
    uint16_t type = 0x4D42;
    std::vector<HostPaletteEntry> palette; // red, green, blue, flags; padded with black
    std::vector<uint8_t> pixels;           // width * height indices, top row first
};

std::vector<uint8_t> MakeBmp( const BmpPicture &picture );

// A picture of the given size whose pixel (x, y) is `colour( x, y )`, with a grey palette.
std::vector<uint8_t> MakeBmp( int width, int height, uint8_t ( *colour )( int x, int y ) );

// Registers the bytes as a memory file under `name`, so the readers find it there.
void PutMemoryFile( const std::string &name, const std::vector<uint8_t> &bytes );

// Writes the bytes to a real file; returns 1 or 0.
int WriteFileBytes( const std::string &path, const std::vector<uint8_t> &bytes );

#endif

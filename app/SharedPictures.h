#ifndef KELTO_APP_SHAREDPICTURES_H
#define KELTO_APP_SHAREDPICTURES_H

#include "host/HostTypes.h"

#include <cstdint>
#include <string>

class Image;

// The bundled land and background as the relay's forking referee reads them once, before it
// forks a referee for each room: a room's game that plays on them takes them from here instead
// of reading them again, so that their pages stay shared by all the rooms (copy-on-write) and
// a room pays only for the pages its match writes (its craters). Only what a game nobody sees
// needs is kept: the land picture twice (the one the match plays on, and the one every match
// starts from, never written), and the background's colours and the two files' hashes.
class SharedPictures {
public:
    SharedPictures();
    virtual ~SharedPictures();

    // Reads `landFile` and `backgroundFile`; 1, or 0 holding nothing.
    int Load( const std::string &landFile, const std::string &backgroundFile );
    void Clear();

    // 1 when the pictures held are these files' (as named at Load).
    int Holds( const char *landFile, const char *backgroundFile ) const;
    // The land picture to play on, whose owner the caller becomes; null after the first time.
    Image *TakeLand();
    // The land as read, never to be written: what every match starts from.
    const Image *GetStartLand() const { return startLand; }
    const HostPaletteEntry *GetPalette() const { return palette; }
    uint64_t GetLandHash() const { return landHash; }
    uint64_t GetBackgroundHash() const { return backgroundHash; }

private:
    SharedPictures( const SharedPictures & ) = delete;
    SharedPictures &operator=( const SharedPictures & ) = delete;

    std::string landName;
    std::string backgroundName;
    Image *land;      // owned until taken
    Image *startLand; // owned
    HostPaletteEntry palette[256];
    uint64_t landHash;
    uint64_t backgroundHash;
};

#endif

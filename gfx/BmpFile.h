#ifndef KELTO_GFX_BMPFILE_H
#define KELTO_GFX_BMPFILE_H

#include "gfx/Bmp.h"

struct HostFile;

// One picture file read once into memory and checked there: its headers, its colour table
// and its pixel rows as stored. Everything the game takes from a picture (the Image, the
// display palette, the land) is built from this one copy, so the file that was checked is
// the file that is used, however it changes on the disk meanwhile.
class BmpFile {
public:
    // How much of the file to read: a look at the size needs the headers only, the palette
    // the colour table, a picture everything.
    enum Part { Headers, ColourTable, Everything };

    BmpFile();
    virtual ~BmpFile();

    // 1, or 0 with the reason in BmpGetLastError; a 0 leaves nothing read.
    int Load( const char *fileName, Part part = Everything );
    // Lets the bytes go; the headers and the name stay for a later look.
    void Release();

    const char *GetName() const { return name; }
    int GetWidth() const { return info.biWidth; }
    int GetHeight() const { return info.biHeight; }
    const BmpFileHeader &GetFileHeader() const { return fileHeader; }
    const BmpInfoHeader &GetInfoHeader() const { return info; }
    Part GetPartRead() const { return partRead; }
    // XXH3 (64 bits) of the whole file, every byte as it was read for this picture; 0 unless
    // Everything was read.
    uint64_t GetFileHash() const { return fileHash; }

    // The rows, top row first, `pitch` bytes apart; 0 ("bad size") unless the rows were
    // read, `destination` is set and `pitch` holds a row.
    int CopyRows( uint8_t *destination, int pitch ) const;
    // The colour table as 256 display palette entries, black past the file's colours.
    int CopyPalette( HostPaletteEntry *entries ) const;

private:
    BmpFile( const BmpFile & ) = delete;
    BmpFile &operator=( const BmpFile & ) = delete;

    int Read( HostFile *file, Part part );
    static int HashWholeFile( HostFile *file, const uint8_t *header, const uint8_t *rest, int64_t restBytes,
                              uint64_t &hash );

    static const int NAME_SIZE = 256;

    char name[NAME_SIZE]; // for messages; cut short if longer
    BmpFileHeader fileHeader;
    BmpInfoHeader info;
    Part partRead;
    int loaded;
    uint8_t *bytes; // owned: what follows the headers, up to the end of the part read
    int64_t byteCount;
    uint64_t fileHash;
};

#endif

#include "app/SharedPictures.h"

#include "gfx/BmpFile.h"
#include "gfx/Image.h"

#include <cstring>
#include <new>

SharedPictures::SharedPictures()
    : land( nullptr ), startLand( nullptr ), palette{}, landHash( 0 ), backgroundHash( 0 ) {
}

SharedPictures::~SharedPictures() {
    Clear();
}

void SharedPictures::Clear() {
    delete land;
    delete startLand;
    land = nullptr;
    startLand = nullptr;
    landName.clear();
    backgroundName.clear();
    landHash = 0;
    backgroundHash = 0;
}

// A picture read into an Image of its own; null when it cannot be had.
static Image *MakePicture( const BmpFile &file ) {
    Image *picture = new ( std::nothrow ) Image( 1, 1 );
    if ( picture == nullptr || picture->GetPixels() == nullptr || !picture->LoadBmp( file ) ) {
        delete picture;
        return nullptr;
    }
    return picture;
}

int SharedPictures::Load( const std::string &landFile, const std::string &backgroundFile ) {
    Clear();
    BmpFile background;
    BmpFile landRead;
    if ( !background.Load( backgroundFile.c_str() ) || !background.CopyPalette( palette ) ||
         !landRead.Load( landFile.c_str() ) ) {
        return 0;
    }
    land = MakePicture( landRead );
    startLand = MakePicture( landRead );
    if ( land == nullptr || startLand == nullptr ) {
        Clear();
        return 0;
    }
    landName = landFile;
    backgroundName = backgroundFile;
    landHash = landRead.GetFileHash();
    backgroundHash = background.GetFileHash();
    return 1;
}

int SharedPictures::Holds( const char *landFile, const char *backgroundFile ) const {
    return startLand != nullptr && landName == landFile && backgroundName == backgroundFile;
}

Image *SharedPictures::TakeLand() {
    Image *taken = land;
    land = nullptr;
    return taken;
}

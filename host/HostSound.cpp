#include "host/HostSound.h"

#include "host/HostBackend.h"
#include "host/HostFile.h"

#include <algorithm>
#include <new>

int HostLoadSound( const char *fileName ) {
    HostBackend *backend = HostGetBackend();
    if ( backend == nullptr || fileName == nullptr ) {
        return 0;
    }
    HostFile *file = HostFileOpen( fileName );
    if ( file == nullptr ) {
        return 0;
    }
    const int64_t size = HostFileGetSize( file );
    // A sound file is a few hundred kilobytes at most; anything far larger is not one of ours.
    const int64_t largest = 16 << 20;
    uint8_t *bytes = size > 0 && size <= largest ? new ( std::nothrow ) uint8_t[size_t( size )] : nullptr;
    const int read = bytes != nullptr && HostFileRead( file, bytes, size ) == size;
    HostFileClose( file );
    const int sound = read ? backend->LoadSound( fileName, bytes, size_t( size ) ) : 0;
    delete[] bytes;
    return sound;
}

int HostStartSound( int sound, int pan, int volume, int loop ) {
    HostBackend *backend = HostGetBackend();
    if ( backend == nullptr || sound <= 0 ) {
        return 0;
    }
    pan = std::clamp( pan, HOST_PAN_LEFT, HOST_PAN_RIGHT );
    volume = std::clamp( volume, 0, HOST_VOLUME_FULL );
    return backend->StartSound( sound, pan, volume, loop ? 1 : 0 );
}

void HostStopSound( int voice ) {
    HostBackend *backend = HostGetBackend();
    if ( backend != nullptr && voice > 0 ) {
        backend->StopSound( voice );
    }
}

#include "host/HostFile.h"

#include <cerrno>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

typedef std::shared_ptr<const std::vector<uint8_t>> MemoryBytes;

// An open file: either a disk file read through its descriptor, or the bytes of a memory
// file, which stay alive while the file is open even if the name is removed or replaced
// meanwhile.
struct HostFile {
    int descriptor = -1;
    MemoryBytes memory;
    int64_t size = 0;
    int64_t position = 0;
};

namespace {

struct MemoryFileTable {
    std::mutex lock;
    // Looked up by a plain string, so that opening a file allocates nothing but the HostFile.
    std::map<std::string, MemoryBytes, std::less<>> files;
};

MemoryFileTable &Table() {
    static MemoryFileTable table;
    return table;
}

const char *openError = "";
void ( *openObserver )( const char *name ) = nullptr;

MemoryBytes FindMemoryFile( const char *name ) {
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    auto found = table.files.find( name );
    return found == table.files.end() ? MemoryBytes() : found->second;
}

HostFile *FailOpen( const char *reason ) {
    openError = reason;
    return nullptr;
}

const char *ReasonFor( int error ) {
    switch ( error ) {
    case ENOENT:
    case ENOTDIR:
        return "no such file";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ELOOP:
        return "symbolic link loop";
    case ENXIO: // a socket, or a device without its driver
        return "not a regular file";
    case ENOMEM:
        return "out of memory";
    default:
        return "cannot open";
    }
}

// Only regular files are pictures. The open itself must not wait: opening a FIFO for
// reading would block until a writer came, so the file is opened without blocking and its
// kind checked before anything is read.
HostFile *OpenDiskFile( const char *name ) {
    int descriptor;
    do {
        descriptor = open( name, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC );
    } while ( descriptor < 0 && errno == EINTR );
    if ( descriptor < 0 ) {
        return FailOpen( ReasonFor( errno ) );
    }
    struct stat info;
    if ( fstat( descriptor, &info ) != 0 || !S_ISREG( info.st_mode ) ) {
        close( descriptor );
        return FailOpen( "not a regular file" );
    }
    HostFile *file = new ( std::nothrow ) HostFile;
    if ( file == nullptr ) {
        close( descriptor );
        return FailOpen( "out of memory" );
    }
    file->descriptor = descriptor;
    file->size = static_cast<int64_t>( info.st_size );
    return file;
}

int64_t ReadDisk( HostFile *file, uint8_t *destination, int64_t count ) {
    int64_t total = 0;
    while ( total < count ) {
        const ssize_t got =
            read( file->descriptor, destination + total, static_cast<size_t>( count - total ) );
        if ( got < 0 && errno == EINTR ) {
            continue;
        }
        if ( got <= 0 ) {
            break; // the end, or an error: either way nothing more comes
        }
        total += got;
    }
    return total;
}

} // namespace

HostFile *HostFileOpen( const char *name ) {
    if ( name == nullptr ) {
        return FailOpen( "no such file" );
    }
    if ( openObserver != nullptr ) {
        openObserver( name );
    }
    openError = "";
    MemoryBytes memory = FindMemoryFile( name );
    if ( !memory ) {
        return OpenDiskFile( name );
    }
    HostFile *file = new ( std::nothrow ) HostFile;
    if ( file == nullptr ) {
        return FailOpen( "out of memory" );
    }
    file->memory = memory;
    file->size = static_cast<int64_t>( memory->size() );
    return file;
}

const char *HostFileGetOpenError() {
    return openError;
}

int64_t HostFileRead( HostFile *file, void *destination, int64_t count ) {
    if ( file == nullptr || destination == nullptr || count <= 0 ) {
        return 0;
    }
    int64_t taken = 0;
    if ( file->memory ) {
        const int64_t available = file->size - file->position;
        taken = count < available ? count : available;
        if ( taken <= 0 ) {
            return 0;
        }
        std::memcpy( destination, file->memory->data() + file->position, static_cast<size_t>( taken ) );
    } else {
        taken = ReadDisk( file, static_cast<uint8_t *>( destination ), count );
    }
    file->position += taken;
    return taken;
}

int HostFileSkip( HostFile *file, int64_t count ) {
    if ( file == nullptr || count < 0 ) {
        return 0;
    }
    // Passing the end leaves the position at the end, where every later read finds nothing.
    const int passes = count > file->size - file->position;
    if ( passes ) {
        count = file->size - file->position;
    }
    if ( count > 0 && file->descriptor >= 0 &&
         lseek( file->descriptor, static_cast<off_t>( count ), SEEK_CUR ) < 0 ) {
        return 0;
    }
    file->position += count;
    return passes ? 0 : 1;
}

int64_t HostFileGetSize( const HostFile *file ) {
    return file == nullptr ? 0 : file->size;
}

void HostFileClose( HostFile *file ) {
    if ( file == nullptr ) {
        return;
    }
    if ( file->descriptor >= 0 ) {
        close( file->descriptor );
    }
    delete file;
}

void HostAddMemoryFile( const char *name, const void *data, size_t size ) {
    if ( name == nullptr ) {
        return;
    }
    const uint8_t *bytes = static_cast<const uint8_t *>( data );
    auto copy = std::make_shared<const std::vector<uint8_t>>( bytes, bytes + ( data == nullptr ? 0 : size ) );
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    table.files[name] = copy;
}

void HostRemoveMemoryFile( const char *name ) {
    if ( name == nullptr ) {
        return;
    }
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    auto found = table.files.find( name );
    if ( found != table.files.end() ) {
        table.files.erase( found );
    }
}

void HostClearMemoryFiles() {
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    table.files.clear();
}

void HostSetOpenObserver( void ( *observer )( const char *name ) ) {
    openObserver = observer;
}

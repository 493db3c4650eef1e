#include "host/HostFile.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    const char *error = ""; // why the last write, truncation or sync failed
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
// Bytes the writers may still write before the disk is "full"; -1 for as many as the disk takes.
int64_t writeLimit = -1;

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
    case EISDIR:
        return "not a regular file";
    case ENOSPC:
        return "no space left on device";
    case EDQUOT:
        return "disk quota exceeded";
    case EROFS:
        return "read-only file system";
    case EEXIST:
        return "already exists";
    default:
        return "cannot open";
    }
}

const char *WriteReasonFor( int error ) {
    switch ( error ) {
    case ENOSPC:
        return "no space left on device";
    case EDQUOT:
        return "disk quota exceeded";
    case EFBIG:
        return "file too large";
    case EIO:
        return "input/output error";
    case EROFS:
        return "read-only file system";
    default:
        return "cannot be written";
    }
}

// Opens without ever waiting (a FIFO would wait for its other end, a terminal could become
// ours), refuses anything but a regular file, then lets reads and writes wait as usual.
int OpenRegular( const char *name, int flags, int64_t &size ) {
    int descriptor;
    do {
        descriptor = open( name, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666 );
    } while ( descriptor < 0 && errno == EINTR );
    if ( descriptor < 0 ) {
        openError = ReasonFor( errno );
        return -1;
    }
    struct stat info;
    if ( fstat( descriptor, &info ) != 0 || !S_ISREG( info.st_mode ) ) {
        close( descriptor );
        openError = "not a regular file";
        return -1;
    }
    const int status = fcntl( descriptor, F_GETFL );
    if ( status == -1 || fcntl( descriptor, F_SETFL, status & ~O_NONBLOCK ) == -1 ) {
        close( descriptor );
        openError = "cannot open";
        return -1;
    }
    size = static_cast<int64_t>( info.st_size );
    return descriptor;
}

HostFile *WrapDescriptor( int descriptor, int64_t size ) {
    HostFile *file = new ( std::nothrow ) HostFile;
    if ( file == nullptr ) {
        close( descriptor );
        return FailOpen( "out of memory" );
    }
    file->descriptor = descriptor;
    file->size = size;
    return file;
}

// Only regular files are read: opening a FIFO for reading would block until a writer came.
HostFile *OpenDiskFile( const char *name ) {
    int64_t size = 0;
    const int descriptor = OpenRegular( name, O_RDONLY, size );
    return descriptor < 0 ? nullptr : WrapDescriptor( descriptor, size );
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

int HostFileSeek( HostFile *file, int64_t position ) {
    if ( file == nullptr || position < 0 || position > file->size ) {
        return 0;
    }
    if ( file->descriptor >= 0 && lseek( file->descriptor, static_cast<off_t>( position ), SEEK_SET ) < 0 ) {
        return 0;
    }
    file->position = position;
    return 1;
}

int64_t HostFileGetPosition( const HostFile *file ) {
    return file == nullptr ? 0 : file->position;
}

HostFile *HostFileCreate( const char *name, int exclusive ) {
    if ( name == nullptr ) {
        return FailOpen( "no such file" );
    }
    if ( openObserver != nullptr ) {
        openObserver( name );
    }
    openError = "";
    int64_t size = 0;
    const int descriptor = OpenRegular( name, O_RDWR | O_CREAT | ( exclusive ? O_EXCL : 0 ), size );
    return descriptor < 0 ? nullptr : WrapDescriptor( descriptor, size );
}

HostFile *HostFileCreateBeside( const char *name, char *temporary, size_t size ) {
    if ( name == nullptr || temporary == nullptr ||
         std::snprintf( temporary, size, "%s.XXXXXX", name ) >= int( size ) ) {
        return FailOpen( "cannot open" );
    }
    openError = "";
    const int descriptor = mkostemp( temporary, O_CLOEXEC );
    if ( descriptor < 0 ) {
        return FailOpen( ReasonFor( errno ) );
    }
    return WrapDescriptor( descriptor, 0 );
}

int HostFileWrite( HostFile *file, const void *bytes, int64_t count ) {
    if ( file == nullptr || file->descriptor < 0 || count < 0 || ( count > 0 && bytes == nullptr ) ) {
        return 0;
    }
    const uint8_t *source = static_cast<const uint8_t *>( bytes );
    int64_t total = 0;
    while ( total < count ) {
        int64_t wanted = count - total;
        if ( writeLimit >= 0 && wanted > writeLimit ) {
            wanted = writeLimit;
        }
        ssize_t put = -1;
        errno = ENOSPC;
        if ( wanted > 0 ) {
            put = write( file->descriptor, source + total, static_cast<size_t>( wanted ) );
        }
        if ( put < 0 && errno == EINTR ) {
            continue;
        }
        if ( put <= 0 ) {
            file->error = WriteReasonFor( put == 0 ? ENOSPC : errno );
            break;
        }
        total += put;
        if ( writeLimit >= 0 ) {
            writeLimit -= put;
        }
    }
    file->position += total;
    if ( file->position > file->size ) {
        file->size = file->position;
    }
    return total == count ? 1 : 0;
}

int HostFileTruncate( HostFile *file, int64_t size ) {
    if ( file == nullptr || file->descriptor < 0 || size < 0 ) {
        return 0;
    }
    int result;
    do {
        result = ftruncate( file->descriptor, static_cast<off_t>( size ) );
    } while ( result != 0 && errno == EINTR );
    if ( result != 0 || lseek( file->descriptor, static_cast<off_t>( size ), SEEK_SET ) < 0 ) {
        file->error = WriteReasonFor( errno );
        return 0;
    }
    file->size = size;
    file->position = size;
    return 1;
}

int HostFileSync( HostFile *file ) {
    if ( file == nullptr || file->descriptor < 0 ) {
        return 0;
    }
    if ( fsync( file->descriptor ) != 0 && errno != EINVAL && errno != EROFS ) {
        file->error = WriteReasonFor( errno );
        return 0;
    }
    return 1;
}

const char *HostFileGetError( const HostFile *file ) {
    return file == nullptr ? "" : file->error;
}

int HostFileRename( const char *from, const char *to ) {
    if ( from == nullptr || to == nullptr || std::rename( from, to ) != 0 ) {
        openError = ReasonFor( errno );
        return 0;
    }
    return 1;
}

void HostFileRemove( const char *name ) {
    if ( name != nullptr ) {
        unlink( name );
    }
}

void HostSetWriteLimit( int64_t bytes ) {
    writeLimit = bytes;
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

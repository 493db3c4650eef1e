#include "host/HostFile.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <sys/stat.h>

typedef std::shared_ptr<const std::vector<uint8_t>> MemoryBytes;

// An open file: either a disk file read through stdio, or the bytes of a memory file, which
// stay alive while the file is open even if the name is removed or replaced meanwhile.
struct HostFile {
    FILE *disk = nullptr;
    MemoryBytes memory;
    int64_t size = 0;
    int64_t position = 0;
};

namespace {

struct MemoryFileTable {
    std::mutex lock;
    std::map<std::string, MemoryBytes> files;
};

MemoryFileTable &Table() {
    static MemoryFileTable table;
    return table;
}

MemoryBytes FindMemoryFile( const char *name ) {
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    auto found = table.files.find( name );
    return found == table.files.end() ? MemoryBytes() : found->second;
}

// Only regular files are pictures; a directory opens with fopen on some systems and then
// fails every read.
FILE *OpenDiskFile( const char *name, int64_t *size ) {
    FILE *disk = std::fopen( name, "rb" );
    if ( disk == nullptr ) {
        return nullptr;
    }
    struct stat info;
    if ( fstat( fileno( disk ), &info ) != 0 || !S_ISREG( info.st_mode ) ) {
        std::fclose( disk );
        return nullptr;
    }
    *size = static_cast<int64_t>( info.st_size );
    return disk;
}

} // namespace

HostFile *HostFileOpen( const char *name ) {
    if ( name == nullptr ) {
        return nullptr;
    }
    MemoryBytes memory = FindMemoryFile( name );
    if ( memory ) {
        HostFile *file = new HostFile;
        file->memory = memory;
        file->size = static_cast<int64_t>( memory->size() );
        return file;
    }
    int64_t size = 0;
    FILE *disk = OpenDiskFile( name, &size );
    if ( disk == nullptr ) {
        return nullptr;
    }
    HostFile *file = new HostFile;
    file->disk = disk;
    file->size = size;
    return file;
}

int64_t HostFileRead( HostFile *file, void *destination, int64_t count ) {
    if ( file == nullptr || destination == nullptr || count <= 0 ) {
        return 0;
    }
    if ( file->memory ) {
        int64_t available = file->size - file->position;
        int64_t taken = count < available ? count : available;
        if ( taken <= 0 ) {
            return 0;
        }
        std::memcpy( destination, file->memory->data() + file->position, static_cast<size_t>( taken ) );
        file->position += taken;
        return taken;
    }
    size_t read = std::fread( destination, 1, static_cast<size_t>( count ), file->disk );
    file->position += static_cast<int64_t>( read );
    return static_cast<int64_t>( read );
}

int HostFileSkip( HostFile *file, int64_t count ) {
    if ( file == nullptr || count < 0 ) {
        return 0;
    }
    if ( count > file->size - file->position ) {
        // Passing the end leaves the position at the end, where every later read finds nothing.
        count = file->size - file->position;
        if ( count > 0 && file->disk != nullptr ) {
            fseeko( file->disk, static_cast<off_t>( count ), SEEK_CUR );
        }
        file->position = file->size;
        return 0;
    }
    if ( file->disk != nullptr && fseeko( file->disk, static_cast<off_t>( count ), SEEK_CUR ) != 0 ) {
        return 0;
    }
    file->position += count;
    return 1;
}

int64_t HostFileGetSize( const HostFile *file ) {
    return file == nullptr ? 0 : file->size;
}

void HostFileClose( HostFile *file ) {
    if ( file == nullptr ) {
        return;
    }
    if ( file->disk != nullptr ) {
        std::fclose( file->disk );
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
    table.files.erase( name );
}

void HostClearMemoryFiles() {
    MemoryFileTable &table = Table();
    std::lock_guard<std::mutex> guard( table.lock );
    table.files.clear();
}

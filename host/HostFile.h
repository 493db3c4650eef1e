#ifndef KELTO_HOST_HOSTFILE_H
#define KELTO_HOST_HOSTFILE_H

// Reading and writing files. Every file the game opens goes through here, so that none can
// make it wait: a FIFO, a device, a directory or a socket is refused at once, wherever its
// name was given. A file name registered with HostAddMemoryFile is served from memory
// instead of the disk (for reading), which lets tests and fuzzers hand the readers any bytes
// they like; HostSetWriteLimit makes the disk "fill" for the writers.

#include <cstddef>
#include <cstdint>

struct HostFile;

// Opens an existing regular file for reading, without ever waiting: a FIFO, a device, a
// directory or a socket is refused at once. Null if it cannot be opened; then
// HostFileGetOpenError says why: "no such file", "permission denied", "not a regular file",
// "symbolic link loop", "out of memory" or "cannot open".
HostFile *HostFileOpen( const char *name );
const char *HostFileGetOpenError();

// Reads up to `count` bytes; returns how many were read (fewer at the end of the file).
int64_t HostFileRead( HostFile *file, void *destination, int64_t count );

// Moves the read position forward by `count` bytes; 1, or 0 if that passes the end.
int HostFileSkip( HostFile *file, int64_t count );

// The file's size in bytes when it was opened (or as far as it was written since).
int64_t HostFileGetSize( const HostFile *file );

// Moves the read position to `position` (0 to the size); 1 or 0.
int HostFileSeek( HostFile *file, int64_t position );
int64_t HostFileGetPosition( const HostFile *file );

// Opens a regular file for reading and writing, created empty when it does not exist (with
// `exclusive`, refused with "already exists" when it does). What it holds is kept, and the
// position is 0. Anything but a regular file is refused as HostFileOpen refuses it.
HostFile *HostFileCreate( const char *name, int exclusive );
// A new, empty file in the same folder as `name`, named `name` and six more characters;
// its name is put in `temporary`. For writing a whole file and renaming it over the old.
HostFile *HostFileCreateBeside( const char *name, char *temporary, size_t size );

// Writes all `count` bytes at the position; 1, or 0 with HostFileGetError saying why ("no
// space left on device", ...). Some of the bytes may have been written before a failure.
int HostFileWrite( HostFile *file, const void *bytes, int64_t count );
// Cuts the file back (or out) to `size` bytes and puts the position there; 1 or 0.
int HostFileTruncate( HostFile *file, int64_t size );
// Waits until what was written is on the disk; 1 or 0.
int HostFileSync( HostFile *file );
const char *HostFileGetError( const HostFile *file );

// Renames `from` over `to` in one step; 1, or 0 with HostFileGetOpenError saying why.
int HostFileRename( const char *from, const char *to );
void HostFileRemove( const char *name );

// Tests: the writers may write `bytes` more bytes, then every write fails as on a full disk
// (the one that crosses the limit writes its first part). -1 (the start) for no limit.
void HostSetWriteLimit( int64_t bytes );

void HostFileClose( HostFile *file );

// Memory files (a copy of the bytes is kept until removed).
void HostAddMemoryFile( const char *name, const void *data, size_t size );
void HostRemoveMemoryFile( const char *name );
void HostClearMemoryFiles();

// Called with the name of every file opened from now on (null: nobody is told); lets a test
// see which files a piece of the game opens, and how often.
void HostSetOpenObserver( void ( *observer )( const char *name ) );

#endif

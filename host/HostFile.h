#ifndef KELTO_HOST_HOSTFILE_H
#define KELTO_HOST_HOSTFILE_H

// Reading files: the four operations the picture readers need, plus the size. A file name
// registered with HostAddMemoryFile is served from memory instead of the disk, which lets
// tests and fuzzers hand the readers any bytes they like.

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

// The file's size in bytes when it was opened.
int64_t HostFileGetSize( const HostFile *file );

void HostFileClose( HostFile *file );

// Memory files (a copy of the bytes is kept until removed).
void HostAddMemoryFile( const char *name, const void *data, size_t size );
void HostRemoveMemoryFile( const char *name );
void HostClearMemoryFiles();

// Called with the name of every file opened from now on (null: nobody is told); lets a test
// see which files a piece of the game opens, and how often.
void HostSetOpenObserver( void ( *observer )( const char *name ) );

#endif

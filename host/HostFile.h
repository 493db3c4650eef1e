#ifndef KELTO_HOST_HOSTFILE_H
#define KELTO_HOST_HOSTFILE_H

// Reading files: the four operations the picture readers need, plus the size. A file name
// registered with HostAddMemoryFile is served from memory instead of the disk, which lets
// tests and fuzzers hand the readers any bytes they like.

#include <cstddef>
#include <cstdint>

struct HostFile;

// Opens an existing file for reading; null if it cannot be opened.
HostFile *HostFileOpen( const char *name );

// Reads up to `count` bytes; returns how many were read (fewer at the end of the file).
int64_t HostFileRead( HostFile *file, void *destination, int64_t count );

// Moves the read position forward by `count` bytes; 1, or 0 if that passes the end.
int HostFileSkip( HostFile *file, int64_t count );

// The file's size in bytes.
int64_t HostFileGetSize( const HostFile *file );

void HostFileClose( HostFile *file );

// Memory files (a copy of the bytes is kept until removed).
void HostAddMemoryFile( const char *name, const void *data, size_t size );
void HostRemoveMemoryFile( const char *name );
void HostClearMemoryFiles();

#endif

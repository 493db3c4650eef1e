#include "tests/support/ShortOfMemory.h"

#include <cstddef>
#include <new>

static bool failLargeAllocations = false;

void SetLargeAllocationsFail( bool fail ) {
    failLargeAllocations = fail;
}

void *operator new[]( size_t size, const std::nothrow_t & ) noexcept {
    if ( failLargeAllocations && size >= 4096 ) {
        return nullptr;
    }
    try {
        return ::operator new[]( size );
    } catch ( ... ) {
        return nullptr;
    }
}

// The browser build's rand() and srand(): the desktop's sequence (host/HostRandom.h) in place
// of the browser's C library's, so that a page and a desktop game seeded alike draw alike.
// Defining both here keeps the C library's own out of the link.

#include "host/HostRandom.h"

#include <cstdlib>

static HostRandom g_random;

extern "C" void srand( unsigned seed ) {
    g_random.Seed( seed );
}

extern "C" int rand() {
    return g_random.Next();
}

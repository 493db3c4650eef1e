#ifndef KELTO_HOST_HOSTRANDOM_H
#define KELTO_HOST_HOSTRANDOM_H

// The C library's rand() as the desktop's (glibc's) draws it: an additive generator over 31
// words, seeded by a multiplicative one. The game draws its tank columns, winds and probe
// colours with rand(); a browser's C library draws other numbers, and the games of an online
// room must draw alike, so the browser build's rand() is this one (host/web/WebRand.cpp).

#include <cstdint>

class HostRandom {
public:
    HostRandom();
    virtual ~HostRandom();

    // As srand(): 0 seeds as 1 does.
    void Seed( unsigned seed );
    // As rand(): 0 to 2^31 - 1.
    int Next();

private:
    static const int WORDS = 31;
    int32_t words[WORDS];
    int front; // the word that takes the sum
    int rear;  // the word added to it
};

#endif

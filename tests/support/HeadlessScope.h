#ifndef KELTO_TESTS_SUPPORT_HEADLESSSCOPE_H
#define KELTO_TESTS_SUPPORT_HEADLESSSCOPE_H

#include "host/headless/HeadlessBackend.h"

// Makes a fresh headless backend current for the life of a test, and on the way out forgets
// the windows, messages and memory files the test left behind.
class HeadlessScope {
public:
    HeadlessScope();
    ~HeadlessScope();

    HeadlessBackend &Backend() { return backend; }

private:
    HeadlessBackend backend;
    HostBackend *previous;
};

#endif

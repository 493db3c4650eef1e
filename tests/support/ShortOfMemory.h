#ifndef KELTO_TESTS_SUPPORT_SHORTOFMEMORY_H
#define KELTO_TESTS_SUPPORT_SHORTOFMEMORY_H

// Makes large nothrow array allocations (4096 bytes and more) fail, as they would on a
// machine short of memory, without touching any other allocation. A test program that calls
// this gets a replaced nothrow operator new[]; the others keep the standard one.
void SetLargeAllocationsFail( bool fail );

#endif

#include "tests/support/HeadlessScope.h"

#include "host/HostFile.h"
#include "host/HostWindow.h"

HeadlessScope::HeadlessScope() : previous( HostGetBackend() ) {
    HostResetWindows();
    HostClearMemoryFiles();
    HostSetBackend( &backend );
}

HeadlessScope::~HeadlessScope() {
    HostResetWindows();
    HostClearMemoryFiles();
    HostSetBackend( previous );
}

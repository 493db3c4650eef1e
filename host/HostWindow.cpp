#include "host/HostWindow.h"

#include "host/HostBackend.h"

#include <cstring>
#include <deque>
#include <new>

// The one window the game opens. Messages reach its procedure only through DispatchMessage
// (posted ones) or directly (WM_DESTROY, sent while the window is being destroyed).
struct HostWindow {
    HostWindowProc windowProc;
};

namespace {

// Registering a class and opening the window allocate nothing that could throw, so that a
// machine short of memory gets the window's refusal instead of a crash.
const int MAX_CLASSES = 8;
const size_t MAX_CLASS_NAME = 64;

struct RegisteredClass {
    char name[MAX_CLASS_NAME];
    HostWindowProc windowProc;
};

// Everything the message layer knows, in one place so that a test can forget it all.
struct WindowState {
    RegisteredClass classes[MAX_CLASSES];
    int classCount = 0;
    HostWindow *window = nullptr; // owned
    std::deque<HostMessage> queue;
    int quitPosted = 0;
    int quitCode = 0;
};

WindowState state;

const RegisteredClass *FindClass( const char *name ) {
    for ( int i = 0; i < state.classCount; i++ ) {
        if ( std::strcmp( state.classes[i].name, name ) == 0 ) {
            return &state.classes[i];
        }
    }
    return nullptr;
}

int Matches( const HostMessage &message, HostWindow *filter ) {
    return filter == nullptr || message.window == filter;
}

// Takes (or, without PM_REMOVE, copies) the first waiting message for `filter`. As on
// Windows, the quit request waits behind every posted message.
int TakeMessage( HostMessage *message, HostWindow *filter, uint32_t removeFlags ) {
    for ( auto it = state.queue.begin(); it != state.queue.end(); ++it ) {
        if ( Matches( *it, filter ) ) {
            *message = *it;
            if ( removeFlags & PM_REMOVE ) {
                state.queue.erase( it );
            }
            return 1;
        }
    }
    if ( state.quitPosted ) {
        *message = HostMessage{ nullptr, WM_QUIT, uintptr_t( state.quitCode ), 0 };
        if ( removeFlags & PM_REMOVE ) {
            state.quitPosted = 0;
        }
        return 1;
    }
    return 0;
}

int HasWaitingMessage() {
    return !state.queue.empty() || state.quitPosted;
}

void DiscardMessagesFor( HostWindow *window ) {
    for ( auto it = state.queue.begin(); it != state.queue.end(); ) {
        it = it->window == window ? state.queue.erase( it ) : it + 1;
    }
}

} // namespace

int HostRegisterClass( const HostWindowClass *windowClass ) {
    if ( windowClass == nullptr || windowClass->className == nullptr || windowClass->windowProc == nullptr ||
         FindClass( windowClass->className ) != nullptr || state.classCount == MAX_CLASSES ||
         std::strlen( windowClass->className ) >= MAX_CLASS_NAME ) {
        return 0;
    }
    RegisteredClass &added = state.classes[state.classCount++];
    std::strcpy( added.name, windowClass->className );
    added.windowProc = windowClass->windowProc;
    return 1;
}

HostWindow *HostCreateWindow( uint32_t, const char *className, const char *caption, uint32_t,
                              HostInstance * ) {
    const RegisteredClass *windowClass = className != nullptr ? FindClass( className ) : nullptr;
    HostBackend *backend = HostGetBackend();
    // The game needs one window only, and the backends can show only one.
    if ( windowClass == nullptr || backend == nullptr || state.window != nullptr ) {
        return nullptr;
    }
    const char *title = caption != nullptr ? caption : "";
    if ( !backend->OpenWindow( title ) ) {
        return nullptr;
    }
    state.window = new ( std::nothrow ) HostWindow{ windowClass->windowProc };
    if ( state.window == nullptr ) {
        backend->CloseWindow();
    }
    return state.window;
}

int HostShowWindow( HostWindow *window, int ) {
    return HostIsWindow( window );
}

int HostUpdateWindow( HostWindow *window ) {
    return HostIsWindow( window );
}

int HostDestroyWindow( HostWindow *window ) {
    if ( !HostIsWindow( window ) ) {
        return 0;
    }
    // The procedure hears of the end while the window still exists, as on Windows.
    window->windowProc( window, WM_DESTROY, 0, 0 );
    DiscardMessagesFor( window );
    state.window = nullptr;
    delete window;
    if ( HostGetBackend() != nullptr ) {
        HostGetBackend()->CloseWindow();
    }
    return 1;
}

int HostIsWindow( HostWindow *window ) {
    return window != nullptr && window == state.window;
}

int HostPeekMessage( HostMessage *message, HostWindow *window, uint32_t removeFlags ) {
    if ( message == nullptr ) {
        return 0;
    }
    if ( !HasWaitingMessage() && HostGetBackend() != nullptr ) {
        HostGetBackend()->PumpEvents( 0 );
    }
    return TakeMessage( message, window, removeFlags );
}

int HostGetMessage( HostMessage *message, HostWindow *window ) {
    if ( message == nullptr ) {
        return -1;
    }
    while ( !HostPeekMessage( message, window, PM_REMOVE ) ) {
        // Without a backend nothing could ever arrive: report the error instead of hanging.
        if ( HostGetBackend() == nullptr ) {
            return -1;
        }
        HostGetBackend()->PumpEvents( 1 );
    }
    return message->message == WM_QUIT ? 0 : 1;
}

int HostTranslateMessage( const HostMessage * ) {
    return 0;
}

intptr_t HostDispatchMessage( const HostMessage *message ) {
    if ( message == nullptr || !HostIsWindow( message->window ) ) {
        return 0;
    }
    return message->window->windowProc( message->window, message->message, message->wParam, message->lParam );
}

int HostWaitMessage() {
    if ( !HasWaitingMessage() ) {
        if ( HostGetBackend() == nullptr ) {
            return 0;
        }
        HostGetBackend()->PumpEvents( 1 );
    }
    return 1;
}

int HostPostMessage( HostWindow *window, uint32_t message, uintptr_t wParam, intptr_t lParam ) {
    // A message for a window that is gone is refused; a null window posts to the thread.
    if ( window != nullptr && !HostIsWindow( window ) ) {
        return 0;
    }
    state.queue.push_back( HostMessage{ window, message, wParam, lParam } );
    return 1;
}

void HostPostQuitMessage( int exitCode ) {
    state.quitPosted = 1;
    state.quitCode = exitCode;
}

intptr_t HostDefWindowProc( HostWindow *window, uint32_t message, uintptr_t, intptr_t ) {
    if ( message == WM_CLOSE ) {
        HostDestroyWindow( window );
    }
    return 0;
}

HostWindow *HostGetMainWindow() {
    return state.window;
}

void HostResetWindows() {
    // The backend is not told: the window it showed belongs to whichever backend was current.
    delete state.window;
    state = WindowState();
}

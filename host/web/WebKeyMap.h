#ifndef KELTO_HOST_WEB_WEBKEYMAP_H
#define KELTO_HOST_WEB_WEBKEYMAP_H

// How a browser's keys become the codes the game was written against: the keyboard state is
// read by DIK_ code, and the browser names each physical key by its KeyboardEvent.code
// ("ArrowLeft", "Space", "KeyA"), which, like the DIK_ code, does not follow the layout.
// Plain C++, so that it is tested on every build, not only in a browser.

// The DIK_ code of a KeyboardEvent.code, or 0 when the key has none (or `code` is null).
int WebCodeToDik( const char *code );

// 1 when a key pressed is the browser's and not the game's, so that the page keeps working
// around the game: Tab moves the focus; F5 reloads, F11 fills the screen, F12 opens the
// developer tools; and any key held with Ctrl, Alt or Meta is a shortcut (reload, find, zoom).
int WebIsBrowserKey( const char *code, int ctrl, int alt, int meta );

#endif

#ifndef KELTO_HOST_WEB_WEBKEYMAP_H
#define KELTO_HOST_WEB_WEBKEYMAP_H

// How a browser's keys become the codes the game was written against: the keyboard state is
// read by DIK_ code, and the browser names each physical key by its KeyboardEvent.code
// ("ArrowLeft", "Space", "KeyA"), which, like the DIK_ code, does not follow the layout.
// Plain C++, so that it is tested on every build, not only in a browser.

// The DIK_ code of a KeyboardEvent.code, or 0 when the key has none (or `code` is null).
int WebCodeToDik( const char *code );

#endif

#ifndef KELTO_HOST_HOSTTEXT_H
#define KELTO_HOST_HOSTTEXT_H

// Text that came from a file, made fit to print on the player's terminal: a file's bytes
// could otherwise split a message into lines, move the cursor or clear the screen, and a
// long line would be echoed whole.

#include <cstddef>

// At most this many of a text's characters are shown; the rest become "...".
const size_t HOST_TEXT_SHOWN = 60;
// Room for the longest shown text: every character escaped as \xNN, "..." and the end.
const size_t HOST_TEXT_SIZE = HOST_TEXT_SHOWN * 4 + 4;

// Puts the first HOST_TEXT_SHOWN bytes of `bytes` into `out` (HOST_TEXT_SIZE bytes), each
// control byte and each byte from 0x7f up as \xNN and a backslash as \\, followed by "..."
// when there was more; returns `out`. Asks for no memory.
const char *HostEscapeText( const char *bytes, size_t length, char out[HOST_TEXT_SIZE] );

#endif

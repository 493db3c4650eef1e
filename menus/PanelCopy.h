#ifndef KELTO_MENUS_PANELCOPY_H
#define KELTO_MENUS_PANELCOPY_H

class Image;

// Copies a menu's panel, drawn once into a picture of its own, onto the screen with its
// top-left corner at (left, top), cut to the screen's clip rectangle: one memcpy a row, since
// every frame with a menu up makes a few hundred of them.
void CopyPanel( const Image &panel, Image &screen, int left, int top );

#endif

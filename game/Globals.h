#ifndef KELTO_GAME_GLOBALS_H
#define KELTO_GAME_GLOBALS_H

// The process-wide objects, in the order they are constructed (game/Globals.cpp). They live in
// the game layer, the lowest one all their users stand on (the tanks, the bombs and the
// application above them), so that no layer below has to reach up for one.

#include <cstdint>

class Display;
class Keyboard;
class Sprite;
class TrigTable;

extern Display g_display;
extern Keyboard g_keyboard;
extern Sprite g_tankSprite; // every tank's picture, from "tank.bmp"
extern Sprite g_bombSprite; // every bomb's picture, from "bomb.bmp"
extern TrigTable g_trigTable;

// The key state of the current frame, pointing into g_keyboard; null until the first poll.
extern uint8_t *g_keyState;

#endif

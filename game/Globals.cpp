// The process-wide objects, defined together so that they are constructed in this order and
// destroyed in the reverse one: the display first and last, the trigonometry table last and
// first. None of their constructors touches the platform or reads a file.

#include "game/Globals.h"

#include "game/GameRules.h"

#include "gfx/Sprite.h"
#include "gfx/TrigTable.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"

Display g_display;
Keyboard g_keyboard;
Sprite g_tankSprite;
Sprite g_bombSprite;
TrigTable g_trigTable( 360, 256 );
// Every switch at the designed behaviour until the default game sets its own.
GameRules g_gameRules;

uint8_t *g_keyState = nullptr;

// The process-wide objects, defined together so that they are constructed in this order and
// destroyed in the reverse one: the display first and last, the trigonometry table last and
// first. None of their constructors touches the platform or reads a file.

#include "app/App.h"
#include "audio/WorldSounds.h"
#include "game/Bomb.h"
#include "game/Tank.h"
#include "game/TrigTable.h"
#include "gfx/Sprite.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"

Display g_display;
Keyboard g_keyboard;
Sprite g_tankSprite;
Sprite g_bombSprite;
TrigTable g_trigTable( 360, 256 );
WorldSounds g_worldSounds;

uint8_t *g_keyState = nullptr;
int32_t g_appActive = 1;

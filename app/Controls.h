#ifndef KELTO_APP_CONTROLS_H
#define KELTO_APP_CONTROLS_H

#include "host/HostKeyState.h"
#include "settings/Settings.h"

#include <string>
#include <vector>

// The inputs a backend knows by the names of a comma-separated list, keys (`pad` 0) or
// gamepad buttons (`pad` 1); unknown names are left out.
typedef std::vector<int> ( *ControlNames )( const std::string &names, int pad );

// Binds the game's keys to the player's keys and gamepad buttons: each of the tank's keys
// follows its keys and buttons; Escape stays Escape and gains the pad's quit buttons and its
// Start (pause); the menus' Enter and Backspace gain the pad's A and B.
void BindControls( HostKeyState &keys, const Settings &settings, ControlNames namesToInputs );

#endif

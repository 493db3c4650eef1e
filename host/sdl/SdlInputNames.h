#ifndef KELTO_HOST_SDL_SDLINPUTNAMES_H
#define KELTO_HOST_SDL_SDLINPUTNAMES_H

// The inputs a player names in the settings, as the key state counts them
// (host/HostKeyState.h): keys by SDL's key names ("Space", "Return", "Left", "A"), gamepad
// buttons by SDL's controller button names ("a", "back", "dpleft"), and the halves of the left
// stick as "leftx-", "leftx+", "lefty-" and "lefty+". Names are matched without regard to case.

#include <string>
#include <vector>

// The input a name stands for, or -1 when it names none (or a key the game cannot read).
int SdlKeyInputFromName( const char *name );
int SdlPadInputFromName( const char *name );

// 1 or 0: for checking the settings file's bindings.
int SdlIsKeyName( const char *name );
int SdlIsPadName( const char *name );

// The name the settings use for an input (a key by its SDL scan code name, a button by its
// controller button name, a stick half as above); empty for an input without one.
std::string SdlInputName( int input );

// The inputs of a comma-separated list of names; unknown names are left out.
std::vector<int> SdlInputsFromNames( const std::string &names, int pad );

#endif

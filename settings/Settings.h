#ifndef KELTO_SETTINGS_SETTINGS_H
#define KELTO_SETTINGS_SETTINGS_H

// What the player keeps from one game to the next: the window, the scaling, the keys, the
// gamepad and who plays. Filled from the settings file (settings/SettingsFile.h), then the
// command line overrides what it names. Every field has one row in the file's table, which gives its
// default, its comment and how its value is read; adding a setting is one field and one row.

#include <string>

// The longest player's name, in characters.
const int SETTINGS_NAME_LENGTH = 12;

struct Settings {
    int windowed = 0;    // window: fullscreen or window
    std::string scale;   // scale: fit, integer or smooth
    std::string keyLeft; // key_left ... key_fire: SDL key names, comma-separated
    std::string keyRight;
    std::string keyUp;
    std::string keyDown;
    std::string keyFire;
    std::string keyWeaponPrevious; // key_weapon_previous, key_weapon_next
    std::string keyWeaponNext;
    int gamepad = 1;      // gamepad: on or off
    std::string padLeft;  // pad_left ... pad_quit: SDL controller button names, or a
    std::string padRight; // stick's half axis (leftx-, leftx+, lefty-, lefty+)
    std::string padUp;
    std::string padDown;
    std::string padFire;
    std::string padWeaponPrevious;
    std::string padWeaponNext;
    std::string padQuit;
    int padDeadZone = 0;          // pad_dead_zone: percent of the stick's travel ignored
    int players = 1;              // players: people at the keyboard, 0 to 4; the computer plays the rest
    std::string level = "normal"; // level: how well the computer aims: easy, normal or hard
    int volume = 100;             // volume: the sound's loudness in percent
    // The last match set up on screen: seat_1 ... seat_4 (off, person, easy, normal or hard),
    // name_1 ... name_4 (empty for the seat's own "PLAYER N"), and the rules it was set with.
    static constexpr int SEATS = 4;
    std::string seat[SEATS];
    std::string name[SEATS];
    int health = 100;         // health: each tank's starting health
    int wind = 1;             // wind: on or off
    int stock = 3;            // stock: shots of each weapon a tank has in a match
    std::string land = "new"; // land: the land played on (LandChoice's words)
};

// The settings of this run, filled once at start-up by the program; read by whoever needs them.
extern Settings g_settings;

#endif

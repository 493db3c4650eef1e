#ifndef KELTO_APP_OPTIONS_H
#define KELTO_APP_OPTIONS_H

// What the player asked for on the command line. Every option has a row in one table
// (app/Options.cpp) that parses it and describes it in the usage text, so adding an option
// is one row and one field. A field left at its "not given" value lets a settings file or
// the built-in default decide; the command line always wins over both.

#include "settings/Settings.h"

#include <cstdio>
#include <string>

enum OptionsResult {
    OPTIONS_RUN,     // play with what was given
    OPTIONS_EXIT_OK, // --help or --version answered: exit 0
    OPTIONS_INVALID  // refused with the usage on the error stream: exit 2
};

struct Options {
    int windowed = -1;      // --windowed; -1 not given
    int classic = 0;        // --classic: the designed game alone, without any addition
    int health = -1;        // --health N: each tank's health at a match's start; -1 not given
    int stock = -1;         // --stock N: shots of each weapon but the bomb; -1 each weapon's own
    int seatsOff = 0;       // the seats left empty (bit 0 seat 1): by the set-up or a replay
    std::string record;     // --record FILE
    std::string replay;     // --replay FILE
    std::string timedemo;   // --timedemo FILE
    std::string settings;   // --settings FILE
    std::string scale;      // --scale fit|integer|smooth; empty not given
    int mute = -1;          // --mute; -1 not given
    std::string data;       // --data DIR
    int players = -1;       // --players N (0 to 4 people); -1 not given
    std::string level;      // --level easy|normal|hard; empty not given
    std::string land;       // --land CODE or FILE.bmp; empty: a new land every match
    std::string background; // --background FILE.bmp, with --land FILE.bmp
    int wind = -1;          // --wind on|off: 1 or 0; -1 not given
    std::string join;       // --join ws://HOST:PORT/CODE: play in a friend's room
    std::string watch;      // --watch ws://HOST:PORT/CODE: watch a room's match
    int host = 0;           // --host: open a room and play its first seat
    std::string relay;      // --relay ws://HOST:PORT: the relay --host opens its room on
    std::string name;       // --name NAME: the name others see online; empty for the settings'
};

// 1 when a --land argument names a picture (it ends in ".bmp", any case) rather than a code.
int IsLandPicture( const std::string &argument );

// What this run was started with: set by the program's entry before the game starts, read by
// the game's start-up and frame. Everything at "not given" when nobody set it.
extern Options g_options;

// Reads argv[1..argc-1] into `options`. Help and version are written to `out`; a refusal
// names the option and adds the usage on `err`.
OptionsResult ParseOptions( int argc, const char *const *argv, Options &options, FILE *out, FILE *err );

// Lays what the command line gave over the settings read from the file.
void ApplyOptions( const Options &options, Settings &settings );

// The usage text, every option with its one-line description.
void PrintUsage( FILE *stream );

#endif

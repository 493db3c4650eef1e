#ifndef KELTO_APP_GAME_H
#define KELTO_APP_GAME_H

// The game as the entry function runs it: start-up after the display is up, the work of one
// frame before each flip, and the end after the frame loop.

#include "host/HostTypes.h"

#include <string>

class Arsenal;
class ComputerPlayers;
class GameScreens;
class SettingsFile;
struct Settings;
class Hud;
class WeaponReadout;
class World;

// The four pictures, in the data folder (see GameSetDataFolder).
extern const char *const GAME_BACKGROUND_FILE;
extern const char *const GAME_LAND_FILE;
extern const char *const GAME_TANK_FILE;
extern const char *const GAME_BOMB_FILE;

// The player's view over the game (match, scores, overlay); left alone with --classic.
extern Hud g_hud;
// Who plays which tank: the people at the keyboard, and the computer in the other seats.
extern ComputerPlayers g_computerPlayers;
// What is left of each player's weapons in this match.
extern Arsenal g_arsenal;
// The wind's and the weapons' readout beside the view's.
extern WeaponReadout g_weaponReadout;

// The title, set-up, pause and settings screens, when the menus are on.
extern GameScreens g_screens;

// The program's entries turn the menus on: the title when the command line sets up no match,
// Escape pausing a match, F1's help over it. `withQuit` offers Quit (a browser page has no
// way to end). Without it (tests and tools) the game starts in play and Escape ends it.
void GameUseMenus( int withQuit );
void GameStopMenus();
// 1 when the game's menus take Escape, so that it does not close the window.
int GameTakesEscape();
// Names a key or button for the settings file (host/HostKeyState.h); empty for none.
typedef std::string ( *GameInputNamer )( int input );
// Where the settings changed on screen are written, and who applies what the game itself
// cannot (the window, the scaling, the gamepad, the bindings): the program's entry. An empty
// path writes nothing; a null namer offers no bindings on screen.
void GameSetSettingsFile( const SettingsFile *file, const std::string &path, GameInputNamer namer,
                          void ( *apply )( const Settings &settings ) );

// 1, or 0 after one line on standard error naming the file and what is wrong with it.
int GameStartup( HostInstance *instance, HostWindow *window, World &world );
void GameFrame( World &world );
// Returns the exit code the game's end asks for: 0, or 1 after one line on standard error
// (a recording that could not be written, a replay that went its own way).
int GameEnd( World &world );

// The start-up seeds the pseudo-random generator (tank columns, probe colours) with the time
// in seconds. GameSetSeed makes later start-ups use `seed` instead, so that a run can be
// repeated; GameUseClockSeed goes back to the time.
void GameSetSeed( unsigned seed );

// Later start-ups play the recording that arrives on `stream` as a referee of an online match
// does (the stream not owned; null to stop): as fast as it comes, printing the state's
// checksum after every 60 frames, ending with the stream.
class ReplayStream;
void GameSetRefereeStream( ReplayStream *stream );
// 1 while the game plays as a referee: nothing is drawn and nothing is kept for drawing (no
// screens, no background, no land tiles), and the game plays on exactly as one that draws.
int GameShowsNothing();
// Reads the bundled land and background once, for the referees forked from this process
// later: each then plays on them without reading them again, sharing their pages. 1, or 0
// when they cannot be read (each referee then reads its own).
int GameShareBundledPictures();

// The folder the pictures are read from, ending in '/'; empty (the start) for the working
// directory. GameDataPath gives the path of one of the game's files in it.
void GameSetDataFolder( const std::string &folder );
std::string GameDataPath( const char *name );
void GameUseClockSeed();

// For tests of online play: the computer plays this game's own seat, and after the frame
// `splitAt` (negative: never) the game's state is made to differ from the others'.
int GameSetOnlineTest( int computerPlaysMe, int splitAt );
// For tests: this game passes the turn to the wrong seat once, from `frame` on.
void GameSetFalseTurnAt( int frame );
// Frames the online stream holds that this game has not played yet.
int GameOnlineFramesBehind();
// 1 when an online match has stopped for good (out of sync, the relay gone).
int GameOnlineStopped();
// The host name friends join at, when it is not the one in --relay (a relay inside this game,
// reached through the loopback).
void GameSetJoinHost( const std::string &host );
// Who runs a relay inside the game for a match hosted from the online screen (the program's
// entry, which links the relay): 1 with the relay's address as this game reaches it and the
// host name friends join at, or 0 with why not. Null (the start): hosting from the screen
// needs --relay.
typedef int ( *GameRelayStarter )( std::string &relayUrl, std::string &joinHost, std::string &error );
void GameSetRelayStarter( GameRelayStarter starter );
// The address friends join the match this game hosts at; empty when it hosts none.
std::string GameOnlineJoinAddress();
// The frames of the online match played so far.
unsigned GameOnlineFrame();
// 1 while this game waits for the room it joins to answer (the frames go on meanwhile).
int GameOnlineJoining();
// 1 while the others of an online room wait on this game (joining it, or its match on): its
// frames must go on while the player is away (another window in front, a hidden tab).
int GameRunsUnseen();
// 1 when the match on screen is won and stands under the winner's banner.
int GameMatchWon();

// The current match's land code as the player types it ("HILLS-GREEN-3F9A21C0"), for the
// pause menu and the set-up; empty when the match is played on pictures.
std::string GameLandCode();

#endif

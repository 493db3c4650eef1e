#include "app/Game.h"

#include "ai/ComputerPlayers.h"
#include "app/App.h"
#include "app/GameLand.h"
#include "app/GameScreens.h"
#include "app/MatchSounds.h"
#include "app/OnlineMatch.h"
#include "app/OnlineStart.h"
#include "app/Options.h"
#include "app/SharedPictures.h"
#include "app/StartColumnSource.h"
#include "audio/WorldSounds.h"
#include "game/Bomb.h"
#include "game/EntityList.h"
#include "game/GameRules.h"
#include "game/Globals.h"
#include "game/Tank.h"
#include "game/TankPlacement.h"
#include "game/World.h"
#include "gfx/Bmp.h"
#include "gfx/BmpFile.h"
#include "gfx/Image.h"
#include "gfx/Sprite.h"
#include "host/HostBackend.h"
#include "host/HostWindow.h"
#include "hud/Font.h"
#include "hud/Hud.h"
#include "hud/WeaponReadout.h"
#include "menus/LandChoice.h"
#include "menus/MatchSetup.h"
#include "net/NetMessage.h"
#include "platform/Display.h"
#include "platform/Keyboard.h"
#include "play/Arsenal.h"
#include "play/DefaultRules.h"
#include "play/Match.h"
#include "play/Wind.h"
#include "replay/ReplaySession.h"
#include "replay/StateChecksum.h"
#include "settings/Settings.h"
#include "settings/SettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>
#include <vector>

#ifndef KELTO_VERSION
#define KELTO_VERSION "unknown"
#endif

const char *const GAME_BACKGROUND_FILE = "background.bmp";
const char *const GAME_LAND_FILE = "land.bmp";
const char *const GAME_TANK_FILE = "tank.bmp";
const char *const GAME_BOMB_FILE = "bomb.bmp";

// The camera puts the target's top-left corner at the middle of the 640 x 480 screen.
static const int CAMERA_OFFSET_X = 320;
static const int CAMERA_OFFSET_Y = 240;

Hud g_hud;
ComputerPlayers g_computerPlayers;
Arsenal g_arsenal;
WeaponReadout g_weaponReadout;
static Wind g_wind;
GameScreens g_screens;
static MatchSounds g_matchSounds;
static ReplaySession replaySession;
static GameLand gameLand;
static GameLand playedLand; // the land the World holds, for when another cannot be had
static StartColumnSource startColumns;
static OnlineMatch onlineMatch;
static OnlineStart onlineStart;
static int firstColumns[TANK_PLACEMENT_COUNT];

static int menusOn = 0;
static int menusWithQuit = 1;
static int landShown = 0;                          // the screens know the land of this match (ShowLand)
static const SettingsFile *settingsFile = nullptr; // not owned
static std::string settingsPath;
static GameInputNamer inputNamer = nullptr;
static void ( *applySettings )( const Settings &settings ) = nullptr;

// The keys the match reads in play: the keyboard's, less F1 (the menus' help) and the keys
// still held from a menu that just closed, until they are let go.
static uint8_t playKeys[256];
static uint8_t heldFromMenu[256];
// No key down: the keys of the computer's match behind the title, and of a paused match.
static uint8_t noKeys[256];

static int WithMenus() {
    return menusOn && !g_options.classic;
}

void GameUseMenus( int withQuit ) {
    menusOn = 1;
    menusWithQuit = withQuit;
}

void GameStopMenus() {
    menusOn = 0;
    menusWithQuit = 1;
}

// On the title Escape quits as it always did, through the window, so that it works also while
// no frame runs (the window not in front); everywhere else the menus read it from the keys.
int GameTakesEscape() {
    const int joiningUnseen = onlineStart.IsJoining() && !onlineStart.IsJoiningFromScreen();
    return WithMenus() && !onlineMatch.IsOn() && !joiningUnseen && !onlineStart.HasFailed() &&
           !( g_screens.GetScreen() == GameScreens::TITLE && menusWithQuit );
}

void GameSetSettingsFile( const SettingsFile *file, const std::string &path, GameInputNamer namer,
                          void ( *apply )( const Settings &settings ) ) {
    settingsFile = file;
    settingsPath = path;
    inputNamer = namer;
    applySettings = apply;
}

static std::string dataFolder;
// The hashes of the four pictures as the start-up read them, in the recording's order.
static uint64_t pictureHashes[REPLAY_PICTURE_COUNT];
enum { PICTURE_BACKGROUND, PICTURE_LAND, PICTURE_TANK, PICTURE_BOMB };
// The world being played, from the start-up to the game's end, for a recording finished on
// the way out.
static World *playedWorld = nullptr;
static int useFixedSeed = 0;
static unsigned fixedSeed = 0;

static ReplayStream *refereeStream = nullptr;
// The bundled pictures, read before this process was forked into the rooms' referees.
static SharedPictures sharedPictures;

void GameSetRefereeStream( ReplayStream *stream ) {
    refereeStream = stream;
}

// A referee's game is heard by its checksums alone: nothing of it is ever drawn.
int GameShowsNothing() {
    return refereeStream != nullptr;
}

void GameSetSeed( unsigned seed ) {
    useFixedSeed = 1;
    fixedSeed = seed;
}

void GameUseClockSeed() {
    useFixedSeed = 0;
}

void GameSetDataFolder( const std::string &folder ) {
    dataFolder = folder;
}

std::string GameDataPath( const char *name ) {
    return dataFolder + name;
}

std::string GameLandCode() {
    return gameLand.GetCodeText();
}

int GameShareBundledPictures() {
    return sharedPictures.Load( GameDataPath( GAME_LAND_FILE ), GameDataPath( GAME_BACKGROUND_FILE ) );
}

static int Complain( const char *fileName, const char *reason ) {
    std::fprintf( stderr, "kelto: %s: %s\n", fileName, reason );
    onlineStart.Hear( reason );
    return 0;
}

// The path of one of the game's files, made without asking for memory: start-up must be able
// to say "out of memory" on a machine that has none.
class DataPath {
public:
    explicit DataPath( const char *name ) {
        // A path cut short here is longer than any the system opens, and is refused there.
        std::snprintf( path, sizeof( path ), "%s%s", dataFolder.c_str(), name );
    }
    const char *Get() const { return path; }

private:
    char path[4096];
};

// Each picture is read once, checked, and everything the game takes from it is made from
// that one copy, so the file checked is the file played on; its hash, for a recording, is
// of the same reading.
static int ReadPicture( const char *fileName, BmpFile &file, int picture ) {
    if ( !file.Load( fileName ) ) {
        return Complain( fileName, BmpGetLastError() );
    }
    pictureHashes[picture] = file.GetFileHash();
    return 1;
}

// The land and the background must cover the screen for the camera and the parallax to make
// sense.
static int CheckCoversScreen( const BmpFile &file ) {
    const int width = g_display.GetWidth();
    const int height = g_display.GetHeight();
    if ( file.GetWidth() < width || file.GetHeight() < height ) {
        char reason[96];
        std::snprintf( reason, sizeof( reason ), "%d x %d is smaller than the %d x %d screen",
                       file.GetWidth(), file.GetHeight(), width, height );
        return Complain( file.GetName(), reason );
    }
    return 1;
}

// A tank or bomb larger than the screen could not be seen whole, would slow every frame
// that draws it, and a tank larger than the land would stand outside it.
static int CheckFitsScreen( const BmpFile &file ) {
    const int width = g_display.GetWidth();
    const int height = g_display.GetHeight();
    if ( file.GetWidth() > width || file.GetHeight() > height ) {
        char reason[96];
        std::snprintf( reason, sizeof( reason ), "%d x %d is larger than the %d x %d screen", file.GetWidth(),
                       file.GetHeight(), width, height );
        return Complain( file.GetName(), reason );
    }
    return 1;
}

// A sprite's picture, read and checked; a 1 x 1 Image that did not get its one byte is a
// machine out of memory, not a broken file.
static int LoadSpritePicture( const char *fileName, Image &picture, int which ) {
    BmpFile file;
    if ( !ReadPicture( fileName, file, which ) || !CheckFitsScreen( file ) ) {
        return 0;
    }
    if ( picture.GetPixels() == nullptr ) {
        return Complain( fileName, "out of memory" );
    }
    if ( !picture.LoadBmp( file ) ) {
        return Complain( fileName, BmpGetLastError() );
    }
    return 1;
}

// A sprite built by an earlier start-up in the same process keeps its picture.
static int BuildSprite( Sprite &sprite, const Image &picture, const char *fileName ) {
    if ( !sprite.Build( picture, picture.GetBounds(), 0 ) && sprite.GetData() == nullptr ) {
        return Complain( fileName, "out of memory" );
    }
    return 1;
}

// Both sprites are cut raw from whole pictures; the temporary pictures live until both are
// built, and the bomb's goes first.
static int BuildSprites() {
    DataPath tankFile( GAME_TANK_FILE );
    DataPath bombFile( GAME_BOMB_FILE );
    Image tankPicture( 1, 1 );
    if ( !LoadSpritePicture( tankFile.Get(), tankPicture, PICTURE_TANK ) ) {
        return 0;
    }
    Image bombPicture( 1, 1 );
    if ( !LoadSpritePicture( bombFile.Get(), bombPicture, PICTURE_BOMB ) ) {
        return 0;
    }
    return BuildSprite( g_tankSprite, tankPicture, tankFile.Get() ) &&
           BuildSprite( g_bombSprite, bombPicture, bombFile.Get() );
}

// The lists never own their tanks: a start-up that gives up lets go of those it made.
static void DropTanks( World &world ) {
    if ( world.GetTanks() != nullptr ) {
        world.GetTanks()->DeleteEntities();
    }
}

// Four tanks on the top edge at random columns, in their falling state; the first gets the
// turn and the camera. A game short of a tank is not the game: then none is kept.
static int StartTanks( World &world ) {
    int *columns = firstColumns;
    ChooseTankColumns( world, columns );
    if ( PlaceTanks( world, columns ) != TANK_PLACEMENT_COUNT ) {
        DropTanks( world );
        return Complain( "tanks", "out of memory" );
    }
    return 1;
}

// The designed game is silent; sound is an addition around it.
static void StartSound() {
    if ( g_options.classic == 1 ) {
        g_worldSounds.Unload();
        return;
    }
    g_worldSounds.Load( GameDataPath( "" ) );
    g_worldSounds.SetMuted( g_options.mute == 1 );
    g_worldSounds.SetVolume( g_settings.volume );
    g_matchSounds.Reset( g_hud.GetMatch() );
}

static int WithView() {
    return !g_options.classic;
}

// An online match was asked for on the command line.
static int Online() {
    return g_options.host || !g_options.join.empty() || !g_options.watch.empty();
}

// The command line sets up a match with any of these; without them the menus start on the
// title.
static int OptionsSetUpMatch() {
    const Options &o = g_options;
    return o.players >= 0 || !o.level.empty() || o.health >= 0 || o.stock >= 0 || !o.land.empty() ||
           !o.record.empty() || !o.replay.empty() || !o.timedemo.empty() || Online() ||
           refereeStream != nullptr;
}

// The rules a recording keeps, in its order, each with the values a game can be played
// with; a replay plays by the recorded ones and refuses one outside these limits.
struct RecordedRule {
    const char *name;
    int32_t lowest;
    int32_t highest;
    int notGiven;     // 1 when -1 ("not given": the game's own default) may stand instead
    int *optionField; // where a replay puts it
};

static const RecordedRule RECORDED_RULES[] = {
    { "classic", 0, 1, 0, &g_options.classic },
    { "health", 1, 999, 1, &g_options.health },
    { "players", 0, ComputerPlayers::SEATS, 0, &g_options.players },
    { "wind", 0, 1, 0, &g_options.wind },
};
static const int RECORDED_RULE_COUNT = int( sizeof( RECORDED_RULES ) / sizeof( RECORDED_RULES[0] ) );
// The weapons' stock comes last, after the land's rules: a recording made before matches had
// a stock of their own ends with the land's, and is played by each weapon's own stock.
static const RecordedRule STOCK_RULE = { "stock", 0, Arsenal::SHOTS_MOST, 1, &g_options.stock };
// The seats left empty come after it, one bit a seat (seat 1 the lowest); a recording made
// before seats could be left empty has all four taken.
static const RecordedRule SEATS_OFF_RULE = { "seats off", 0, ( 1 << MatchSetup::SEATS ) - 1, 0,
                                             &g_options.seatsOff };
static const int RULE_COUNT = RECORDED_RULE_COUNT + GameLand::RULE_COUNT + 2;
// The first rule a recording may lack: the oldest ones end with the land's.
static const int STOCK_AT = RULE_COUNT - 2;

// How many seats a set of empty seats leaves taken.
static int SeatsTaken( int seatsOff ) {
    int taken = 0;
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        taken += ( seatsOff >> seat ) & 1 ? 0 : 1;
    }
    return taken;
}

static int IsRuleValue( const RecordedRule &rule, int32_t value ) {
    return ( value >= rule.lowest && value <= rule.highest ) || ( rule.notGiven && value == -1 );
}

// Recorded rules (a replay's, or an online room's) take the place of this run's, once all are
// known to be sound; 0 with `reason` otherwise.
static int TakeRules( const int32_t *rules, int count, char *reason, size_t reasonSize ) {
    if ( count < STOCK_AT || count > RULE_COUNT ) {
        std::snprintf( reason, reasonSize, "holds %d rules; this game plays by %d", count, RULE_COUNT );
        return 0;
    }
    const int32_t stock = count > STOCK_AT ? rules[STOCK_AT] : -1;
    const int32_t seatsOff = count > STOCK_AT + 1 ? rules[STOCK_AT + 1] : 0;
    for ( const RecordedRule *rule : { &STOCK_RULE, &SEATS_OFF_RULE } ) {
        const int32_t value = rule == &STOCK_RULE ? stock : seatsOff;
        if ( !IsRuleValue( *rule, value ) ) {
            std::snprintf( reason, reasonSize, "has the rule %s at %ld, which no game is played with",
                           rule->name, long( value ) );
            return 0;
        }
    }
    if ( SeatsTaken( seatsOff ) < 2 ) {
        std::snprintf( reason, reasonSize,
                       "leaves fewer than two seats taken, which no game is played with" );
        return 0;
    }
    for ( int i = 0; i < RECORDED_RULE_COUNT; i++ ) {
        if ( !IsRuleValue( RECORDED_RULES[i], rules[i] ) ) {
            std::snprintf( reason, reasonSize, "has the rule %s at %ld, which no game is played with",
                           RECORDED_RULES[i].name, long( rules[i] ) );
            return 0;
        }
    }
    if ( !gameLand.TakeRules( rules + RECORDED_RULE_COUNT ) ) {
        std::snprintf( reason, reasonSize, "has a land no game is played on" );
        return 0;
    }
    for ( int i = 0; i < RECORDED_RULE_COUNT; i++ ) {
        *RECORDED_RULES[i].optionField = rules[i];
    }
    *STOCK_RULE.optionField = stock;
    *SEATS_OFF_RULE.optionField = seatsOff;
    g_settings.players = g_options.players;
    g_settings.wind = g_options.wind;
    return 1;
}

static int TakeRecordedRules( ReplaySession &session ) {
    int32_t rules[REPLAY_MAX_RULES];
    const int count = session.GetRecordedRuleCount();
    for ( int i = 0; i < count && i < REPLAY_MAX_RULES; i++ ) {
        rules[i] = session.GetRecordedRule( i );
    }
    char reason[160];
    return TakeRules( rules, count, reason, sizeof( reason ) ) ? 1 : session.Refuse( reason );
}

static uint32_t StateChecksumOf( const World &world );

// The session's end, with the state the last frame left (none when the start-up gave up
// before the first frame); its exit code.
static int FinishReplaySession( const World *world ) {
    playedWorld = nullptr;
    const int running = replaySession.GetMode() != ReplaySession::MODE_OFF && world != nullptr;
    return replaySession.Finish( running ? StateChecksumOf( *world ) : 0 );
}

// However the program ends (the display lost and exit() called from the display's library,
// say), a recording in progress gets its last frames and its end. The program ends between
// two frames, so the state is the one the last frame left.
static void FinishRecordingOnExit() {
    if ( replaySession.GetMode() == ReplaySession::MODE_RECORD && playedWorld != nullptr ) {
        FinishReplaySession( playedWorld );
    }
}

// Which of --record, --replay or --timedemo this run was given, and its file.
static ReplaySession::Mode ReplayModeOf( const char *&fileName ) {
    fileName = nullptr;
    if ( !g_options.record.empty() ) {
        fileName = g_options.record.c_str();
        return ReplaySession::MODE_RECORD;
    }
    if ( !g_options.replay.empty() ) {
        fileName = g_options.replay.c_str();
        return ReplaySession::MODE_REPLAY;
    }
    if ( !g_options.timedemo.empty() ) {
        fileName = g_options.timedemo.c_str();
        return ReplaySession::MODE_TIMEDEMO;
    }
    if ( refereeStream != nullptr ) {
        fileName = "referee";
        return ReplaySession::MODE_REFEREE;
    }
    return ReplaySession::MODE_OFF;
}

// Before any picture is read: a replay is opened and plays by the rules it was recorded with,
// the land among them, so that the land it was played on is the one made or read. Asks for no
// memory: a game short of it must still be able to say so.
static int StartReplaySession() {
    const char *fileName = nullptr;
    const ReplaySession::Mode mode = ReplayModeOf( fileName );
    if ( mode == ReplaySession::MODE_OFF || mode == ReplaySession::MODE_RECORD ) {
        // A recording is made once its pictures have been read (SettleReplaySession).
        return replaySession.Start( ReplaySession::MODE_OFF, nullptr, KELTO_VERSION, nullptr, nullptr,
                                    nullptr, 0 );
    }
    replaySession.SetRefereeStream( refereeStream );
    return replaySession.Start( mode, fileName, KELTO_VERSION, nullptr, nullptr, nullptr, 0 ) &&
           TakeRecordedRules( replaySession );
}

// An online room and the designed game always play four tanks.
static int PlaysEverySeat() {
    return g_options.classic || Online() || onlineMatch.IsOn();
}

// The match leaves the empty seats out from its next start on.
static void SeatTheMatch() {
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        g_hud.GetMatch().SetSeated( seat, PlaysEverySeat() || !( ( g_options.seatsOff >> seat ) & 1 ) );
    }
}

// The rules this run plays by, in the recording's order. The people at the keyboard as the
// game seats them: the settings, with --players over them.
static void RulesOfThisRun( int32_t rules[RULE_COUNT] ) {
    rules[0] = g_options.classic;
    rules[1] = g_options.health;
    rules[2] = g_settings.players;
    rules[3] = g_settings.wind;
    gameLand.AddRules( rules + RECORDED_RULE_COUNT );
    rules[STOCK_AT] = g_options.stock;
    rules[STOCK_AT + 1] = PlaysEverySeat() ? 0 : g_options.seatsOff;
}

// Once the pictures are read: a replay checks them against the recording's (a made land
// has none to check: its code is among the rules), and a recording starts with their
// checksums and the rules of this run.
static int SettleReplaySession() {
    const char *fileName = nullptr;
    const ReplaySession::Mode mode = ReplayModeOf( fileName );
    if ( mode == ReplaySession::MODE_OFF ) {
        return 1;
    }
    const DataPath tankFile( GAME_TANK_FILE );
    const DataPath bombFile( GAME_BOMB_FILE );
    const char *const names[REPLAY_PICTURE_COUNT] = { gameLand.GetBackgroundFile(), gameLand.GetLandFile(),
                                                      tankFile.Get(), bombFile.Get() };
    uint32_t checksums[REPLAY_PICTURE_COUNT];
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        checksums[i] = uint32_t( pictureHashes[i] );
    }
    if ( mode != ReplaySession::MODE_RECORD ) {
        return replaySession.CheckPictures( checksums, names );
    }
    int32_t rules[RULE_COUNT];
    RulesOfThisRun( rules );
    if ( !replaySession.Start( mode, fileName, KELTO_VERSION, checksums, names, rules, RULE_COUNT ) ) {
        return 0;
    }
    static int finishOnExit = 0;
    if ( !finishOnExit ) {
        finishOnExit = std::atexit( FinishRecordingOnExit ) == 0;
    }
    return 1;
}

// The wind, each tank's weapon and what is left of every player's weapons.
static void AddArmsTo( StateChecksum &checksum, const World &world ) {
    checksum.AddInt( world.GetWind() );
    EntityNode *node;
    const EntityList *tanks = world.GetTanks();
    for ( tanks->First( node ); !tanks->IsEnd( node ); tanks->Next( node, 1 ) ) {
        checksum.AddInt( static_cast<const Tank *>( tanks->Get( node ) )->GetWeapon() );
    }
    for ( int player = 0; player < Arsenal::PLAYERS; player++ ) {
        for ( int weapon = 0; weapon < WEAPON_CHOICES; weapon++ ) {
            checksum.AddInt( g_arsenal.GetStock( player, weapon ) );
        }
    }
}

// A new turn's wind; online, the host's game tells the relay, whose referee plays the winds.
static void ObserveWind( World &world ) {
    if ( g_wind.Observe( world ) && ( onlineMatch.IsOn() || onlineStart.IsHosting() ) ) {
        onlineMatch.DrewWind( Wind::StepsOf( world.GetWind() ) );
    }
}

// A new start for the default game's wind and weapons, whose switches the rules set; the
// first turn's wind is drawn at once.
static void StartArms( World &world ) {
    world.SetWind( 0 );
    if ( g_gameRules.windEnabled ) {
        SeedWind( uint32_t( std::rand() ) );
    }
    g_wind.NewMatch();
    g_arsenal.SetShots( g_options.stock );
    g_arsenal.NewMatch();
    if ( g_gameRules.windEnabled ) {
        ObserveWind( world );
    }
}

// The World's state and the match's: each player's matches won, health and place in play,
// how the match stands, where the turn is, which match it is, the wind and the weapons.
static uint32_t StateChecksumOf( const World &world ) {
    StateChecksum checksum;
    checksum.AddWorld( world );
    if ( WithView() ) {
        const Match &match = g_hud.GetMatch();
        for ( int player = 0; player < Match::MAX_PLAYERS; player++ ) {
            checksum.AddInt( match.GetScore( player ) );
            checksum.AddInt( match.GetHealth( player ) );
            checksum.AddInt( match.IsInPlay( player ) );
        }
        checksum.AddInt( match.GetOutcome() );
        checksum.AddInt( match.GetWinner() );
        checksum.AddInt( match.GetStartHealth() );
        checksum.AddInt( match.GetPhase() );
        checksum.AddInt( match.GetQuietTurns() );
        checksum.AddInt( match.GetMatchNumber() );
        AddArmsTo( checksum, world );
    }
    return checksum.Get();
}

// The designed game plays by the designed classes alone; otherwise the default game's rules
// are switched on before the first tank is made, the wind by the settings (a replay's as
// recorded).
static void SwitchRules( const World &world ) {
    if ( g_options.classic ) {
        UseDesignedRules();
    } else {
        UseDefaultRules( world.GetLandImage(), g_settings.wind == 1 );
    }
}

// The designed game leaves every tank to the keyboard; otherwise the computer plays the
// seats the people do not take (the settings, or --players and --level over them), and the
// view says which.
static void SeatComputerPlayers( World &world, int onTitle ) {
    const int people = g_options.classic ? ComputerPlayers::SEATS : ( onTitle ? 0 : g_settings.players );
    g_computerPlayers.Create( &world, people, ComputerPlayers::LevelFromName( g_settings.level.c_str() ) );
    g_computerPlayers.SetArsenal( g_gameRules.weaponsEnabled ? &g_arsenal : nullptr );
    for ( int seat = 0; seat < ComputerPlayers::SEATS && WithView(); seat++ ) {
        g_hud.GetMatch().SetComputer( seat, g_computerPlayers.IsComputer( seat ) );
    }
}

static int TakeUnseenLand( World &world, Image *land ) {
    if ( !world.LoadUnseen( &g_display, land ) ) {
        std::fprintf( stderr, "kelto: %s\n", world.GetLoadError() );
        return 0;
    }
    return 1;
}

// The pictures the forking referee read for every room: the land to play on is taken where
// it lies, and every match starts from the one copy all the rooms share.
static int TakeSharedPictures( World &world ) {
    Image *land = sharedPictures.TakeLand();
    if ( land == nullptr ) {
        return -1; // taken by an earlier start-up: read again
    }
    pictureHashes[PICTURE_BACKGROUND] = sharedPictures.GetBackgroundHash();
    pictureHashes[PICTURE_LAND] = sharedPictures.GetLandHash();
    g_display.SetPaletteEntries( sharedPictures.GetPalette() );
    if ( !BuildSprites() ) {
        delete land;
        return 0;
    }
    g_hud.GetMatch().KeepStartLandIn( sharedPictures.GetStartLand() );
    return TakeUnseenLand( world, land );
}

// A game nobody sees takes of the background its colours and its hash alone, and of the land
// the picture, which is the game's state.
static int LoadUnseenPictures( World &world ) {
    if ( sharedPictures.Holds( gameLand.GetLandFile(), gameLand.GetBackgroundFile() ) ) {
        const int taken = TakeSharedPictures( world );
        if ( taken >= 0 ) {
            return taken;
        }
    }
    BmpFile background;
    if ( !ReadPicture( gameLand.GetBackgroundFile(), background, PICTURE_BACKGROUND ) ||
         !CheckCoversScreen( background ) ) {
        return 0;
    }
    g_display.LoadPalette( background );
    background.Release();
    if ( !BuildSprites() ) {
        return 0;
    }
    BmpFile landFile;
    if ( !ReadPicture( gameLand.GetLandFile(), landFile, PICTURE_LAND ) || !CheckCoversScreen( landFile ) ) {
        return 0;
    }
    Image *land = new ( std::nothrow ) Image( 1, 1 );
    if ( land == nullptr || land->GetPixels() == nullptr || !land->LoadBmp( landFile ) ) {
        const int noMemory = land == nullptr || land->GetPixels() == nullptr;
        delete land;
        return Complain( gameLand.GetLandFile(), noMemory ? "out of memory" : BmpGetLastError() );
    }
    return TakeUnseenLand( world, land );
}

// The designed game's way: the background's colour table is the palette, and the land is a
// picture; the sprites are read between the two.
static int LoadPictures( World &world ) {
    if ( GameShowsNothing() ) {
        return LoadUnseenPictures( world );
    }
    BmpFile background;
    if ( !ReadPicture( gameLand.GetBackgroundFile(), background, PICTURE_BACKGROUND ) ||
         !CheckCoversScreen( background ) ) {
        return 0;
    }
    g_display.LoadPalette( background );
    g_display.ApplyPalette();
    if ( !BuildSprites() ) {
        return 0;
    }
    BmpFile land;
    if ( !ReadPicture( gameLand.GetLandFile(), land, PICTURE_LAND ) || !CheckCoversScreen( land ) ) {
        return 0;
    }
    if ( !world.Load( &g_display, land, background ) ) {
        std::fprintf( stderr, "kelto: %s\n", world.GetLoadError() );
        return 0;
    }
    return 1;
}

// Unseen, a made land is made without its background, and made again for each match rather
// than kept twice.
static int LoadUnseenGeneratedLand( World &world ) {
    Image *land = new ( std::nothrow ) Image;
    HostPaletteEntry palette[256];
    if ( land == nullptr || !gameLand.MakeLand( *land, palette ) ) {
        delete land;
        char code[LandCode::TEXT_SIZE];
        gameLand.FormatCode( code, sizeof( code ) );
        return Complain( code, "out of memory" );
    }
    g_display.SetPaletteEntries( palette );
    g_hud.GetMatch().KeepStartLandIn( nullptr );
    return TakeUnseenLand( world, land );
}

// A land made from its code, with its theme's colours; a World already loaded takes it in
// place of the land it had.
static int LoadGeneratedLand( World &world ) {
    if ( GameShowsNothing() ) {
        return LoadUnseenGeneratedLand( world );
    }
    Image land;
    Image background;
    HostPaletteEntry palette[256];
    if ( !gameLand.Make( land, background, palette ) ) {
        char code[LandCode::TEXT_SIZE];
        gameLand.FormatCode( code, sizeof( code ) );
        return Complain( code, "out of memory" );
    }
    g_display.SetPaletteEntries( palette );
    g_display.ApplyPalette();
    if ( !world.LoadPictures( &g_display, land, background ) ) {
        std::fprintf( stderr, "kelto: %s\n", world.GetLoadError() );
        return 0;
    }
    return 1;
}

// A land chosen in the set-up during the game: pictures read again into the World that
// holds a made land, with their own colours.
static int ReloadPictures( World &world ) {
    BmpFile backgroundFile;
    BmpFile landFile;
    if ( !ReadPicture( gameLand.GetBackgroundFile(), backgroundFile, PICTURE_BACKGROUND ) ||
         !CheckCoversScreen( backgroundFile ) ||
         !ReadPicture( gameLand.GetLandFile(), landFile, PICTURE_LAND ) || !CheckCoversScreen( landFile ) ) {
        return 0;
    }
    // An Image takes a picture into a block it owns already.
    Image background( 1, 1 );
    Image land( 1, 1 );
    if ( !background.LoadBmp( backgroundFile ) ) {
        return Complain( gameLand.GetBackgroundFile(), BmpGetLastError() );
    }
    if ( !land.LoadBmp( landFile ) ) {
        return Complain( gameLand.GetLandFile(), BmpGetLastError() );
    }
    g_display.LoadPalette( backgroundFile );
    g_display.ApplyPalette();
    if ( !world.LoadPictures( &g_display, land, background ) ) {
        std::fprintf( stderr, "kelto: %s\n", world.GetLoadError() );
        return 0;
    }
    return 1;
}

// Before the land is chosen: a joiner (or a spectator) meets the room and plays by the rules of
// the host's game, its land among them.
static int JoinOnline() {
    std::vector<int32_t> rules;
    char reason[160];
    if ( !onlineStart.Join( rules ) ) {
        return Complain( onlineStart.GetSubject(), onlineStart.GetError() );
    }
    if ( !TakeRules( rules.data(), int( rules.size() ), reason, sizeof( reason ) ) ) {
        return Complain( "online", ( std::string( "the room's game " ) + reason ).c_str() );
    }
    return 1;
}

// Made lands have their tanks' columns chosen on them; pictures keep the designed columns.
static void ChooseColumnSource() {
    if ( gameLand.IsGenerated() ) {
        SetTankColumnSource( &startColumns );
    } else if ( GetTankColumnSource() == &startColumns ) {
        SetTankColumnSource( nullptr );
    }
}

// Once the pictures are read and the rules are in: the host opens its room for this game; a
// joiner checks that its game is the host's (the same version, pictures and rules). Then every
// game in the room draws its pseudo-random numbers from the same seed.
static int StartOnline() {
    uint32_t checksums[REPLAY_PICTURE_COUNT];
    for ( int i = 0; i < REPLAY_PICTURE_COUNT; i++ ) {
        checksums[i] = uint32_t( pictureHashes[i] );
    }
    int32_t rules[RULE_COUNT];
    RulesOfThisRun( rules );
    const std::vector<uint8_t> header = NetMakeRecordingHeader( KELTO_VERSION, checksums, rules, RULE_COUNT );
    return onlineStart.Open( g_options, header )
               ? 1
               : Complain( onlineStart.GetSubject(), onlineStart.GetError() );
}

int GameSetOnlineTest( int computerPlaysMe, int splitAt ) {
    onlineMatch.SetComputerPlaysMe( computerPlaysMe );
    onlineMatch.SetSplitAt( splitAt );
    return 1;
}

void GameSetFalseTurnAt( int frame ) {
    onlineMatch.SetFalseTurnAt( frame );
}

int GameOnlineFramesBehind() {
    return onlineMatch.IsOn() ? onlineMatch.GetFramesBehind() : 0;
}

int GameOnlineStopped() {
    return onlineMatch.IsOn() && onlineMatch.IsStopped();
}

void GameSetRelayStarter( GameRelayStarter starter ) {
    onlineStart.SetRelayStarter( starter );
}

void GameSetJoinHost( const std::string &host ) {
    onlineMatch.SetJoinHost( host );
}

std::string GameOnlineJoinAddress() {
    return onlineMatch.IsOn() && onlineMatch.IsHost() ? onlineMatch.GetJoinAddress() : std::string();
}

unsigned GameOnlineFrame() {
    return onlineMatch.GetFrame();
}

int GameOnlineJoining() {
    return onlineStart.IsJoining();
}

int GameRunsUnseen() {
    return onlineStart.IsJoining() || onlineStart.IsHosting() ||
           ( onlineMatch.IsOn() && !onlineMatch.IsStopped() );
}

int GameMatchWon() {
    return !onlineStart.IsJoining() && !onlineStart.HasFailed() && WithView() && !g_hud.IsPlaying();
}

// A joiner from the command line has no scene until the room answers: its screen is drawn in
// the bundled background's colours.
static HudColours joiningColours;

static int StartJoining() {
    g_display.LoadPalette( DataPath( GAME_BACKGROUND_FILE ).Get() );
    g_display.ApplyPalette();
    joiningColours.Find( g_display.GetPaletteEntries() );
    return 1;
}

// The room is open: the first match's tanks are the ones the host starts it with, and the
// computer plays the seats no person takes.
static void SeatOnline() {
    onlineMatch.SetFirstColumns( firstColumns );
    onlineMatch.SeatComputers( g_computerPlayers,
                               ComputerPlayers::LevelFromName( g_settings.level.c_str() ) );
}

int GameStartup( HostInstance *instance, HostWindow *window, World &world ) {
    onlineStart.Init( onlineMatch );
    onlineStart.SetStart( instance, window );
    g_keyboard.Init( instance, window );
    if ( ( !g_options.join.empty() || !g_options.watch.empty() ) && !onlineStart.IsWelcomed() ) {
        // The rest waits for the room's welcome, which brings its rules (JoinFrame).
        return onlineStart.BeginJoin( g_options )
                   ? StartJoining()
                   : Complain( onlineStart.GetSubject(), onlineStart.GetError() );
    }

    std::srand( useFixedSeed ? fixedSeed : static_cast<unsigned>( std::time( nullptr ) ) );
    // The designed game draws nothing before its tank columns: the land's seed is drawn only
    // when a land is to be made.
    const uint32_t seed = !g_options.classic && g_options.land.empty() ? uint32_t( std::rand() ) : 0u;
    gameLand.Choose( g_options, DataPath( GAME_LAND_FILE ).Get(), DataPath( GAME_BACKGROUND_FILE ).Get(),
                     seed );
    // A recording says which land it was played on, so the replay session starts first.
    startColumns.SetWorld( &world );
    ChooseColumnSource();
    if ( ( !g_options.join.empty() || !g_options.watch.empty() ) && !JoinOnline() ) {
        return 0;
    }
    if ( !StartReplaySession() ) {
        return 0;
    }
    // Only the pictures read in this start-up have checksums: a made land leaves them at 0.
    for ( uint64_t &hash : pictureHashes ) {
        hash = 0;
    }
    const int loaded =
        gameLand.IsGenerated() ? BuildSprites() && LoadGeneratedLand( world ) : LoadPictures( world );
    if ( !loaded ) {
        FinishReplaySession( nullptr );
        return 0;
    }
    playedLand = gameLand;
    // The rules go in once the land is there and a replay has said which rules it was
    // recorded with, and before a recording takes over the tank columns.
    SwitchRules( world );
    if ( Online() && !StartOnline() ) {
        FinishReplaySession( nullptr );
        return 0;
    }
    if ( !SettleReplaySession() ) {
        FinishReplaySession( nullptr );
        return 0;
    }
    playedWorld = &world;
    if ( !StartTanks( world ) ) {
        FinishReplaySession( nullptr );
        return 0;
    }
    if ( !replaySession.ConfirmStart() ) {
        DropTanks( world );
        FinishReplaySession( nullptr );
        return 0;
    }
    SeatTheMatch();
    if ( WithView() && !g_hud.Init( world, g_display.GetPaletteEntries(), g_options.health ) ) {
        DropTanks( world );
        FinishReplaySession( nullptr );
        return Complain( "match", "out of memory" );
    }
    StartArms( world );
    const int onTitle = WithMenus() && !OptionsSetUpMatch();
    SeatComputerPlayers( world, onTitle );
    if ( onlineMatch.IsOn() ) {
        SeatOnline();
    }
    // A match set up on the command line shows the players by their numbers.
    for ( int seat = 0; seat < MatchSetup::SEATS && WithView(); seat++ ) {
        g_hud.SetName( seat, "" );
    }
    if ( WithMenus() ) {
        // A recording holds one match as it was played: it is neither restarted nor left.
        const int withRestart = replaySession.GetMode() == ReplaySession::MODE_OFF;
        g_screens.SetWithOnline( HostSocket::IsAvailable() );
        g_screens.SetOnlineHosting( !onlineStart.CanRunRelay(), HostSocket::GetDefaultScheme() );
        g_screens.Start( onTitle, menusWithQuit, withRestart,
                         settingsFile != nullptr ? inputNamer : nullptr );
    }
    landShown = 0;
    std::memset( heldFromMenu, 0, sizeof( heldFromMenu ) );
    StartSound();
    return 1;
}

// The land as the screens show it: in the set-up, the land the command line named (the
// settings file's otherwise); in the pause menu, the code of the one being played. Told in
// the first frame of each match, so that the start-up asks for no memory for it.
static void ShowLand() {
    landShown = 1;
    const std::string code = GameLandCode();
    std::string setupLand;
    if ( g_options.classic || !g_options.land.empty() ) {
        setupLand = gameLand.GetKind() == GameLand::CODE ? code : "bundled";
    }
    g_screens.SetLand( setupLand, code );
}

// The land the set-up chose, for the match about to start; 1 when it is another than the
// one played so far.
static int TakeSetupLand( const MatchSetup &setup ) {
    LandChoice choice;
    choice.Read( setup.land );
    const int changed = gameLand.Take( choice, []() { return uint32_t( std::rand() ); } );
    ChooseColumnSource();
    // The set-up's land has replaced the command line's, and is the one it shows from now on.
    g_options.land.clear();
    return changed;
}

// A new match draws new columns for its tanks, as the start-up does; its tanks and bombs are
// new to the sound too. `landChosen`: the set-up chose another land.
static void StartNewMatch( World &world, int landChosen = 0 ) {
    // A land made for every match gives way to the next one; the match puts it back at its
    // start. Without memory for it (or without its pictures) the last land stays.
    // Unseen, a made land kept for the next match is made again: there is no copy to put back.
    const int madeAgain = GameShowsNothing() && gameLand.IsGenerated();
    if ( gameLand.Advance() || landChosen || madeAgain ) {
        const int loaded = gameLand.IsGenerated() ? LoadGeneratedLand( world ) : ReloadPictures( world );
        if ( loaded && !GameShowsNothing() ) {
            g_hud.GetMatch().SetStartLand( *world.GetLandImage() );
        } else if ( !loaded ) {
            gameLand = playedLand;
            ChooseColumnSource();
        }
    }
    playedLand = gameLand;
    g_hud.GetMatch().PutLandBack( world );
    if ( onlineMatch.IsOn() ) {
        std::srand( onlineMatch.GetMatchSeed() );
    }
    int columns[TANK_PLACEMENT_COUNT];
    ChooseTankColumns( world, columns );
    SeatTheMatch();
    g_hud.StartNewMatch( world, columns );
    if ( onlineMatch.IsOn() ) {
        onlineMatch.StartedMatch( columns );
    }
    g_computerPlayers.NewMatch();
    g_wind.NewMatch();
    g_arsenal.NewMatch();
    g_worldSounds.Forget();
    g_matchSounds.Reset( g_hud.GetMatch() );
    landShown = 0;
}

// The one place where a match set up on screen reaches the game's rules. The seats (a person,
// or the computer at its level), the names, the starting health, the wind and the weapons'
// stock (as many shots of each weapon but the bomb) are played. The land is taken with the
// match's start (TakeSetupLand). A seat that is off has no tank in the match from its start
// on (the World still makes four; the match takes the empty seats' out), in this match and
// the ones after it, until the set-up or the title seats them again. No recording passes
// through here: a recorded game never shows the set-up.
static void HandRulesOver( const MatchSetup &setup, World &world ) {
    g_computerPlayers.Create( &world, 0, ComputerPlayers::LevelFromName( "normal" ) );
    g_options.seatsOff = 0;
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        const int kind = setup.seats[seat].kind;
        g_options.seatsOff |= kind == MatchSetup::OFF ? 1 << seat : 0;
        const char *level = MatchSetup::LevelWord( kind );
        g_computerPlayers.SetSeat( seat, kind != MatchSetup::PERSON,
                                   ComputerPlayers::LevelFromName( level != nullptr ? level : "normal" ) );
        g_hud.GetMatch().SetComputer( seat, kind != MatchSetup::PERSON );
        g_hud.SetName( seat, setup.NameOf( seat ).c_str() );
    }
    g_options.health = setup.health;
    g_hud.GetMatch().SetStartHealth( g_options.health );
    g_arsenal.SetShots( setup.stock );
    g_settings.wind = setup.wind ? 1 : 0;
    g_gameRules.windEnabled = g_settings.wind;
    if ( !g_gameRules.windEnabled ) {
        world.SetWind( 0 );
    }
}

// Sets one setting as the settings file has it, writes the file, and applies it to the
// running game: the sound here, the rest by the program's entry.
static void ChangeSetting( const std::string &key, const std::string &value ) {
    if ( settingsFile != nullptr ) {
        settingsFile->Change( settingsPath, key, value, g_settings );
    } else {
        SettingsFile().Change( std::string(), key, value, g_settings );
    }
    g_worldSounds.SetVolume( g_settings.volume );
    if ( applySettings != nullptr ) {
        applySettings( g_settings );
    }
}

// The set-up is kept for the next game, in the settings file's own words.
static void KeepSetup( const MatchSetup &setup ) {
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        const std::string number = std::to_string( seat + 1 );
        ChangeSetting( "seat_" + number, MatchSetup::KindWord( setup.seats[seat].kind ) );
        ChangeSetting( "name_" + number, setup.seats[seat].name );
    }
    ChangeSetting( "health", std::to_string( setup.health ) );
    ChangeSetting( "wind", setup.wind ? "on" : "off" );
    ChangeSetting( "stock", std::to_string( setup.stock ) );
    ChangeSetting( "land", setup.land );
}

// The computer plays all four tanks behind the title, under their numbers.
static void SeatForTitle( World &world ) {
    // The computer plays every seat behind the title.
    g_options.seatsOff = 0;
    SeatComputerPlayers( world, 1 );
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        g_hud.SetName( seat, "" );
    }
}

static void DoRequest( int request, World &world ) {
    switch ( request ) {
    case GameScreens::HOST_ONLINE:
    case GameScreens::JOIN_ONLINE:
        onlineStart.Go( request, world );
        return;
    case GameScreens::START_MATCH:
        KeepSetup( g_screens.GetSetup() );
        HandRulesOver( g_screens.GetSetup(), world );
        StartNewMatch( world, TakeSetupLand( g_screens.GetSetup() ) );
        break;
    case GameScreens::RESTART_MATCH:
        StartNewMatch( world );
        break;
    case GameScreens::TO_TITLE:
        SeatForTitle( world );
        StartNewMatch( world );
        break;
    case GameScreens::QUIT:
        HostPostMessage( HostGetMainWindow(), WM_CLOSE, 0, 0 );
        break;
    default:
        break;
    }
    for ( const SettingsScreen::Change &change : g_screens.TakeSettingChanges() ) {
        ChangeSetting( change.key, change.value );
        g_screens.RefreshSettings( g_settings );
    }
}

// The camera follows its target before the update, as the designed frame does; the default
// game eases it along.
static void MoveCamera( World &world ) {
    Entity *target = world.GetCameraTarget();
    if ( WithView() ) {
        g_hud.GetMatch().MoveCamera( world );
    } else if ( target != nullptr ) {
        world.SetCameraX( target->GetX() - CAMERA_OFFSET_X );
        world.SetCameraY( target->GetY() - CAMERA_OFFSET_Y );
    }
}

// A frame with a menu up: behind the title the computer plays on; over a match everything
// stands still, nothing is recorded, and the looping sounds stop.
static void MenuFrame( World &world ) {
    const int onTitle = g_screens.IsOnTitle();
    int playing = 0;
    if ( onTitle ) {
        MoveCamera( world );
        g_keyState = g_computerPlayers.Keys( noKeys, !g_hud.IsPlaying() );
        if ( g_hud.ReadKeys( g_keyState ) ) {
            StartNewMatch( world );
        }
        playing = g_hud.IsPlaying();
        if ( playing ) {
            world.Update();
        }
        g_hud.Observe();
        g_matchSounds.Observe( g_hud.GetMatch(), g_worldSounds );
    } else {
        g_keyState = noKeys;
    }
    g_worldSounds.Observe( world, g_keyState, playing );
    world.Draw( g_display );
    Image &screen = g_display.LockBackBuffer();
    if ( !onTitle ) {
        g_hud.DrawOn( screen, world );
    }
    g_screens.Draw( screen, g_hud.GetColours() );
    g_display.UnlockBackBuffer();
}

// The keyboard's keys for the match, without those the menus took.
static uint8_t *KeysForPlay( const uint8_t *keyboard, int menuClosed ) {
    for ( int key = 0; key < 256; key++ ) {
        const uint8_t down = keyboard != nullptr ? keyboard[key] : 0;
        if ( menuClosed ) {
            heldFromMenu[key] = down & 0x80;
        } else if ( !( down & 0x80 ) ) {
            heldFromMenu[key] = 0;
        }
        playKeys[key] = heldFromMenu[key] ? 0 : down;
    }
    playKeys[DIK_F1] = 0;
    return playKeys;
}

// The wind and the weapons' readout, over the view.
static void DrawArms( const World &world ) {
    Image &screen = g_display.LockBackBuffer();
    g_weaponReadout.Draw( screen, world, g_arsenal, g_hud.GetColours(), g_gameRules.weaponsEnabled,
                          g_gameRules.windEnabled );
    g_display.UnlockBackBuffer();
}

// Centred on the screen at `y`, in capitals.
static void DrawCentred( Image &screen, int y, std::string text, int scale, uint8_t colour ) {
    for ( char &c : text ) {
        c = char( c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c );
    }
    const int x = ( screen.GetWidth() - Font::Measure( text.c_str(), scale ) ) / 2;
    Font::Draw( screen, x < 0 ? 0 : x, y, text.c_str(), colour, g_hud.GetColours().GetShadow(), scale );
}

// Before the first frame the host shows the address to give friends, large enough to read
// across a room, and the names of those in the room so far.
static void DrawHostWaiting( Image &screen ) {
    const int top = screen.GetHeight() / 3 + 4 * Font::GLYPH_HEIGHT;
    DrawCentred( screen, top, "friends join at", 2, g_hud.GetColours().GetText() );
    const int addressTop = top + 3 * Font::GLYPH_HEIGHT;
    DrawCentred( screen, addressTop, onlineMatch.GetJoinAddress(), 3, g_hud.GetColours().GetBright() );
    int y = addressTop + 5 * Font::GLYPH_HEIGHT;
    for ( int seat = 0; seat < MatchSetup::SEATS; seat++ ) {
        const std::string name = onlineMatch.GetTankName( seat );
        if ( !name.empty() ) {
            DrawCentred( screen, y, name, 2, g_hud.GetColours().GetText() );
            y += 2 * Font::GLYPH_HEIGHT + 6;
        }
    }
}

// A spectator is told, above the scene, that its keys do nothing.
static void DrawWatching( Image &screen ) {
    DrawCentred( screen, screen.GetHeight() / 3 - 4 * Font::GLYPH_HEIGHT, "watching", 2,
                 g_hud.GetColours().GetBright() );
}

// The scene as it stands, with what the online match waits for (or why it stopped) over it.
static void DrawOnlineNotice( World &world ) {
    world.Draw( g_display );
    if ( WithView() ) {
        g_hud.Draw( g_display, world );
    }
    std::string notice = onlineMatch.GetNotice();
    for ( char &c : notice ) {
        c = char( c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c );
    }
    Image &screen = g_display.LockBackBuffer();
    const int scale = 2;
    const int x = ( screen.GetWidth() - Font::Measure( notice.c_str(), scale ) ) / 2;
    Font::Draw( screen, x, screen.GetHeight() / 3, notice.c_str(), g_hud.GetColours().GetText(),
                g_hud.GetColours().GetShadow(), scale );
    if ( onlineMatch.IsHost() && onlineMatch.GetFrame() == 0 && !onlineMatch.IsStopped() ) {
        DrawHostWaiting( screen );
    }
    if ( onlineMatch.IsWatching() ) {
        DrawWatching( screen );
    }
    g_display.UnlockBackBuffer();
}

// An online match stops for good on an out of sync or a lost relay: said once, and the game
// ends with an error.
static void SayOnlineStop() {
    static std::string said;
    if ( onlineMatch.IsStopped() && said != onlineMatch.GetStopReason() ) {
        said = onlineMatch.GetStopReason();
        std::fprintf( stderr, "kelto: online: %s\n", said.c_str() );
    }
}

// The stream's keys for the next online frame, in place of the keyboard's; 0 when they are not
// here yet.
static int TakeOnlineKeys() {
    uint8_t *streamKeys = nullptr;
    if ( !onlineMatch.FrameKeys( g_computerPlayers, WithView() && !g_hud.IsPlaying(), g_keyState,
                                 streamKeys ) ) {
        return 0;
    }
    g_keyState = streamKeys;
    return 1;
}

// One update of the match with the keys of g_keyState; 1 when the match is in play (a won
// match stands still under the winner's banner until a new one starts).
static int UpdateMatch( World &world ) {
    // Whose turn the frame plays, as an online game holding the stream asks it before the frame.
    replaySession.NoteTurn( WithView() && !g_hud.IsPlaying() ? -1 : g_computerPlayers.GetSeatOfThisUpdate() );
    // Nothing moves under a menu, the camera neither: a paused game resumes as it was left.
    MoveCamera( world );
    // The key sources: a replay supplies the whole recorded key state; otherwise the computer
    // players press the game's keys in their turns (online, the stream holds theirs). Then the
    // recorder keeps the key state the game reads in this frame, whoever supplied it.
    g_keyState = replaySession.SupplyKeys( g_keyState );
    if ( !replaySession.IsPlayback() && !onlineMatch.IsOn() ) {
        g_keyState = g_computerPlayers.Keys( g_keyState, WithView() && !g_hud.IsPlaying() );
    }
    replaySession.RecordKeys( g_keyState );
    if ( WithView() && g_hud.ReadKeys( g_keyState ) ) {
        StartNewMatch( world );
    }
    const int playing = !WithView() || g_hud.IsPlaying();
    if ( playing ) {
        if ( g_gameRules.weaponsEnabled ) {
            g_arsenal.BeforeUpdate( world, g_keyState );
        }
        world.Update();
        if ( g_gameRules.weaponsEnabled ) {
            g_arsenal.AfterUpdate( world );
        }
        if ( g_gameRules.windEnabled ) {
            ObserveWind( world );
        }
    }
    if ( WithView() ) {
        g_hud.Observe();
        g_matchSounds.Observe( g_hud.GetMatch(), g_worldSounds );
    }
    if ( onlineMatch.IsOn() && int( onlineMatch.GetFrame() ) == onlineMatch.GetSplitAt() ) {
        // The test's split: a state no other game has.
        g_hud.GetMatch().SetStartHealth( g_hud.GetMatch().GetStartHealth() + 1 );
    }
    const int checksumDue =
        replaySession.WantsChecksum() || ( onlineMatch.IsOn() && onlineMatch.WantsChecksum() );
    const uint32_t checksum = checksumDue ? StateChecksumOf( world ) : 0;
    replaySession.EndFrame( checksum );
    if ( onlineMatch.IsOn() ) {
        onlineMatch.Played( checksum );
    }
    return playing;
}

// A joiner from the command line has no scene until the room answers: the screen says whom it
// joins.
static void DrawJoining() {
    Image &screen = g_display.LockBackBuffer();
    screen.Clear( joiningColours.GetShadow() );
    std::string text = "joining " + g_options.join;
    for ( char &c : text ) {
        c = char( c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c );
    }
    const int x = ( screen.GetWidth() - Font::Measure( text.c_str(), 2 ) ) / 2;
    Font::Draw( screen, x < 0 ? 0 : x, screen.GetHeight() / 3, text.c_str(), joiningColours.GetText(),
                joiningColours.GetShadow(), 2 );
    g_display.UnlockBackBuffer();
}

// Until the room answers: joined from the online screen, the title's game plays on behind it
// (leaving the screen leaves the room); from the command line the screen says whom it joins.
static void JoinFrame( World &world ) {
    if ( !onlineStart.PollJoin( world ) ) {
        return; // started again in the room, or refused
    }
    if ( !onlineStart.IsJoiningFromScreen() ) {
        DrawJoining();
        return;
    }
    HostPointerState pointer;
    HostReadPointer( pointer );
    g_screens.Frame( g_keyState, &pointer ); // no second request while the room answers
    if ( g_screens.GetScreen() != GameScreens::ONLINE ) {
        onlineStart.CancelJoin();
    }
    MenuFrame( world );
}

// Hosting on a typed relay, until the room is open the host's match stands, saying where.
static void HostFrame( World &world ) {
    if ( onlineStart.PollHost( world ) ) {
        world.Draw( g_display );
        Image &screen = g_display.LockBackBuffer();
        DrawCentred( screen, screen.GetHeight() / 3, "opening a room on " + g_options.relay, 2,
                     g_hud.GetColours().GetText() );
        g_display.UnlockBackBuffer();
    } else if ( onlineMatch.IsOn() ) {
        SeatOnline();
    }
}

void GameFrame( World &world ) {
    g_keyState = g_keyboard.Poll();
    if ( onlineStart.HasFailed() ) {
        return; // the game that never started ends
    }
    if ( onlineStart.IsJoining() ) {
        JoinFrame( world );
        return;
    }
    if ( onlineStart.IsHosting() ) {
        HostFrame( world );
        return;
    }
    // The keys of an online frame are the stream's; without them the match stands still, the
    // camera too, since it is part of the state every game must keep alike. An online match
    // has no menus: pausing it would stop everyone's.
    if ( onlineMatch.IsOn() && !TakeOnlineKeys() ) {
        SayOnlineStop();
        DrawOnlineNotice( world );
        return;
    }
    for ( int seat = 0; seat < MatchSetup::SEATS && onlineMatch.IsOn() && WithView(); seat++ ) {
        g_hud.SetName( seat, onlineMatch.GetTankName( seat ).c_str() );
    }
    if ( WithMenus() && !onlineMatch.IsOn() ) {
        if ( !landShown ) {
            ShowLand();
        }
        const int wasOpen = g_screens.IsOpen();
        HostPointerState pointer;
        HostReadPointer( pointer );
        DoRequest( g_screens.Frame( g_keyState, &pointer ), world );
        if ( onlineMatch.IsOn() ) {
            return; // the online match starts with the stream's first keys, next frame
        }
        if ( g_screens.IsOpen() ) {
            MenuFrame( world );
            return;
        }
        g_keyState = KeysForPlay( g_keyState, wasOpen );
    }
    int playing = UpdateMatch( world );
    // A game far behind the stream (one that came back into its seat, a spectator) plays the
    // frames it missed a few at a time, unseen, until it is with the others again; a won match
    // is shown as it is won.
    for ( int extra = 0; extra < OnlineMatch::CATCH_UP_FRAMES && !GameMatchWon() && onlineMatch.IsOn() &&
                         onlineMatch.GetFramesBehind() > OnlineMatch::CATCH_UP_AFTER && TakeOnlineKeys();
          extra++ ) {
        playing = UpdateMatch( world );
    }
    g_worldSounds.Observe( world, g_keyState, playing );
    if ( GameShowsNothing() ) {
        world.SkipDraw();
        return;
    }
    world.Draw( g_display );
    if ( WithView() ) {
        g_hud.Draw( g_display, world );
        DrawArms( world );
    }
    if ( onlineMatch.IsOn() && onlineMatch.IsWatching() ) {
        DrawWatching( g_display.LockBackBuffer() );
        g_display.UnlockBackBuffer();
    }
}

// The lists never own their entities; the game's end lets them go so that the run ends with
// nothing left allocated. The World itself belongs to the caller.
int GameEnd( World &world ) {
    int exitCode = FinishReplaySession( &world );
    onlineStart.CancelJoin();
    exitCode = onlineStart.TakeFailure() ? 1 : exitCode;
    // The room a joiner was just welcomed into stays: the game starts again in it.
    if ( onlineMatch.IsOn() && !onlineStart.IsWelcomed() ) {
        SayOnlineStop();
        exitCode = onlineMatch.IsStopped() ? 1 : exitCode;
        onlineMatch.Leave();
    }
    g_worldSounds.StopAll();
    g_hud.Forget();
    g_computerPlayers.Forget();
    if ( world.GetTanks() != nullptr ) {
        world.GetTanks()->DeleteEntities();
    }
    if ( world.GetBombs() != nullptr ) {
        world.GetBombs()->DeleteEntities();
    }
    UseDesignedRules();
    return exitCode;
}

#ifndef KELTO_PLAY_MATCH_H
#define KELTO_PLAY_MATCH_H

#include "game/TankPlacement.h"
#include "gfx/Image.h"

class Entity;
class Tank;
class World;

// One match of the default game: the tanks are players 1 to 4 in their creation order
// (numbered from 0 here), each with its health. It watches the World after each update and
// keeps the rules: a crater costs health to every tank it touches, the shooter's own
// included, and so does a long fall; a tank at no health is destroyed with a blast of its
// own, and one that leaves the land is out; the last tank in play wins the match, the last
// ones going together make a draw, and so do twenty turns in which no shot hurt anyone. It
// passes the turn itself: after a shot, once every bomb is down and the crater has been seen
// for a moment, to the next tank still in play; and it says where the camera should look.
// The scores count matches won; a new match puts the land back and places new tanks.
class Match {
public:
    static constexpr int MAX_PLAYERS = TANK_PLACEMENT_COUNT;
    static constexpr int NO_PLAYER = -1;
    static constexpr int DEFAULT_HEALTH = 100;
    static constexpr int MIN_HEALTH = 1;
    static constexpr int MAX_HEALTH = 999;
    // A crater's damage at its centre and at its rim.
    static constexpr int CENTRE_DAMAGE = 50;
    static constexpr int RIM_DAMAGE = 10;
    // A fall of more rows than this costs health.
    static constexpr int SAFE_FALL = 60;
    // How long the crater is shown before the turn passes (half a second).
    static constexpr int SETTLE_FRAMES = 30;
    // Turns in a row without damage that end the match in a draw.
    static constexpr int QUIET_TURN_LIMIT = 20;
    // The blast of a destroyed tank.
    static constexpr int WRECK_RX = 70;
    static constexpr int WRECK_RY = 42;
    // How long the news of a tank leaving the match stays on the screen.
    static constexpr int NEWS_FRAMES = 150;
    // Bombs followed at once; one fired while this many are in the air is not followed.
    static constexpr int MAX_FLIGHTS = 256;
    // Explosions kept from one frame, for whoever redraws what a crater changed.
    static constexpr int MAX_CRATERS = MAX_FLIGHTS + MAX_PLAYERS;

    enum Outcome { Playing, Won, Drawn };
    // Where the turn stands: the current tank aims; its shot flies; the crater is shown.
    enum Phase { Aiming, Following, Settling };
    // Why a tank left the match.
    enum News { NoNews, Destroyed, OffTheLand };

    Match();
    virtual ~Match();

    // Takes the World's tanks as the players, each with `startHealth` (DEFAULT_HEALTH when out
    // of range), and keeps a copy of the land as it stands for the matches to come. 1, or 0
    // without tanks or without memory for the copy.
    int Init( World &world, int startHealth );
    // Drops every tank and bomb, puts the land back as it was at Init and places new tanks at
    // `columns`; the next player starts. 1, or 0 when no tank could be made.
    int StartNew( World &world, const int columns[MAX_PLAYERS] );
    // Puts the land back as it was at Init (or as SetStartLand gave it): the next match's
    // columns are chosen on the land it is played on, not on the last match's craters.
    void PutLandBack( World &world ) const;
    // Keeps `land` instead as the land the next StartNew puts back: a new land for the next
    // match. 1, or 0 keeping the old copy without memory for the new one.
    int SetStartLand( const Image &land );
    // Where the land to put back is kept from the next Init on, instead of a copy of the
    // match's own: in `land`, held by the caller, never changed while the match uses it (the
    // land a referee's rooms all share); or, with `land` null, nowhere, the caller putting each
    // match's land in place itself (a made land, made again). SetStartLand goes back to a copy.
    void KeepStartLandIn( const Image *land );
    // Looks at what this frame's update did: new bombs, explosions, falls, the turn.
    void Observe();
    // Lets go of the World before its tanks are deleted at the game's end.
    void Forget();

    // Moves the World's camera toward what the turn is about: the tank that aims, the bomb in
    // the air, the crater. Smoothly, except at a match's start.
    void MoveCamera( World &world );

    int GetPlayerCount() const { return playerCount; }
    Tank *GetTank( int player ) const;
    int GetPlayerOf( const Entity *tank ) const;
    // The player whose tank has the turn, or NO_PLAYER.
    int GetCurrentPlayer() const;
    // Matches won since Init.
    int GetScore( int player ) const;
    int GetHealth( int player ) const;
    int GetStartHealth() const { return startHealth; }
    // The health each tank has from the next StartNew on (DEFAULT_HEALTH when out of range).
    void SetStartHealth( int startHealth );
    int IsInPlay( int player ) const;
    int GetOutcome() const { return outcome; }
    // The winner of a won match; NO_PLAYER while playing and after a draw.
    int GetWinner() const { return winner; }
    int GetPhase() const { return phase; }
    int GetQuietTurns() const { return quietTurns; }
    // The player who started this match.
    int GetStarter() const { return starter; }
    // Counts the matches played since Init, the first one being 1.
    int GetMatchNumber() const { return matchNumber; }
    // Frames observed in this match.
    int GetFrame() const { return frame; }
    // The last tank to leave the match and why, while its news stands.
    int GetNews() const { return newsFrames > 0 ? news : NoNews; }
    int GetNewsPlayer() const { return newsPlayer; }

    // A seat left empty in the set-up: its tank is taken out at each match's start, before
    // anyone has a turn, and it is no player of the match (never given a turn, not shown, not
    // on the scores). Every seat is taken until told otherwise; the seats taken count from the
    // next Init or StartNew, and fewer than two taken count as all taken.
    void SetSeated( int player, int value );
    // Whether the seat is taken in the match as it stands (all are, with fewer than two set).
    int IsSeated( int player ) const;

    // Whether the computer plays a player's tank; only shown, the match plays alike.
    int GetComputer( int player ) const;
    void SetComputer( int player, int value );

    // The bombs in the air after the last Observe.
    int GetFlightCount() const { return flightCount; }
    const Entity *GetFlight( int index ) const { return flights[index].bomb; }
    // The craters made in the last Observe: centre and half-sizes.
    int GetCraterCount() const { return craterCount; }
    int GetCraterX( int index ) const { return craters[index].x; }
    int GetCraterY( int index ) const { return craters[index].y; }
    int GetCraterRX( int index ) const { return craters[index].rx; }
    int GetCraterRY( int index ) const { return craters[index].ry; }
    // Tanks destroyed in the last Observe.
    int GetWreckCount() const { return wreckCount; }

    // The health a crater of half-sizes (rx, ry) takes from a tank whose middle is (dx, dy)
    // from the crater's centre: `centreDamage` there, falling evenly to a fifth of it at the
    // rim and staying at that beyond it (the tank's box still touches the crater).
    static int CraterDamage( int dx, int dy, int rx, int ry, int centreDamage );
    // A barrel direction (whole degrees, 0 right, 90 up) as its elevation above the horizon,
    // -90 to 90 (negative below it), and whether it points to the left.
    static int Elevation( int direction );
    static int PointsLeft( int direction );
    // The health a fall of `rows` rows takes.
    static int FallDamage( int rows );
    // 1 when an ellipse of half-sizes (rx, ry) centred at (cx, cy) covers a pixel of the box.
    static int EllipseTouches( int cx, int cy, int rx, int ry, int left, int top, int right, int bottom );

private:
    Match( const Match & ) = delete;
    Match &operator=( const Match & ) = delete;

    struct Flight {
        const Entity *bomb; // not owned
        int shooter;        // the player whose turn it was when it was fired
    };
    struct Crater {
        int x, y, rx, ry;
    };

    void TakePlayers();
    int CountSeated() const;
    void GiveFirstTurn();
    void FollowNewBombs();
    void ObserveFlights();
    void Explode( const Entity &bomb );
    void Hurt( int player, int damage );
    void ObserveFalls();
    void ObserveLeavers();
    void TakeOut( int player, int why );
    void Decide();
    void KeepTurn();
    void PassTurn();
    int AnyoneFalling() const;
    void NoteCrater( int x, int y, int rx, int ry );

    World *world; // not owned
    Tank *tanks[MAX_PLAYERS];
    int scores[MAX_PLAYERS];
    int health[MAX_PLAYERS];
    int inPlay[MAX_PLAYERS];
    int fallTop[MAX_PLAYERS]; // the row a fall began at, or -1 while standing
    int computer[MAX_PLAYERS];
    int seated[MAX_PLAYERS]; // the seats the set-up filled
    int playerCount;
    int startHealth;
    int outcome;
    int winner;
    int matchNumber;
    int starter;
    int frame;
    int phase;
    int countdown;  // frames left to show the crater
    int hurtInTurn; // a shot of this turn hurt someone
    int quietTurns; // turns in a row in which nobody was hurt
    int bombsSeen;  // the bomb list's GetAdded at the last look
    int news;
    int newsPlayer;
    int newsFrames;
    int focusX; // where the camera looks, land pixels
    int focusY;
    int snapCamera;         // the next MoveCamera jumps there
    const Entity *followed; // not owned; the last bomb fired while it flies
    Flight flights[MAX_FLIGHTS];
    int flightCount;
    Crater craters[MAX_CRATERS];
    int craterCount;
    int wreckCount;
    Image *startLand; // owned: the land picture as it was at Init
    // Set by KeepStartLandIn: the start land is the caller's (sharedStartLand, not owned), or
    // none when that is null.
    int startLandElsewhere;
    const Image *sharedStartLand;
};

#endif

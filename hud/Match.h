#ifndef KELTO_HUD_MATCH_H
#define KELTO_HUD_MATCH_H

#include "game/TankPlacement.h"
#include "gfx/Image.h"

class Entity;
class Tank;
class World;

// One match around the designed game: the tanks are players 1 to 4 in their creation order
// (numbered from 0 here), each scores hits, and the first to the target wins. It only
// watches the World after each update: a bomb belongs to the player whose turn it was when it
// appeared, and when it explodes, every other player's tank that its crater touches scores
// the shooter a hit. A new match puts the land, the tanks and the scores back as at start-up.
class Match {
public:
    static constexpr int MAX_PLAYERS = TANK_PLACEMENT_COUNT;
    static constexpr int DEFAULT_TARGET = 5;
    static constexpr int NO_PLAYER = -1;
    // Bombs followed at once; one fired while this many are in the air is not scored.
    static constexpr int MAX_FLIGHTS = 256;
    // Explosions kept from one frame, for whoever redraws what a crater changed.
    static constexpr int MAX_CRATERS = MAX_FLIGHTS;

    Match();
    virtual ~Match();

    // Takes the World's tanks as the players, and keeps a copy of the land as it stands for
    // the matches to come. 1, or 0 without tanks or without memory for the copy.
    int Init( World &world, int targetHits );
    // Drops every tank and bomb, puts the land back as it was at Init and places new tanks at
    // `columns`; the scores start again from 0. 1, or 0 when no tank could be made.
    int StartNew( World &world, const int columns[MAX_PLAYERS] );
    // Keeps `land` instead as the land the next StartNew puts back: a new land for the next
    // match. 1, or 0 keeping the old copy without memory for the new one.
    int SetStartLand( const Image &land );
    // Looks at what this frame's update did: new bombs, explosions, hits.
    void Observe();
    // Lets go of the World before its tanks are deleted at the game's end.
    void Forget();

    int GetPlayerCount() const { return playerCount; }
    Tank *GetTank( int player ) const;
    int GetPlayerOf( const Entity *tank ) const;
    // The player whose tank has the turn, or NO_PLAYER.
    int GetCurrentPlayer() const;
    int GetScore( int player ) const;
    int GetWinner() const { return winner; }
    int GetTargetHits() const { return targetHits; }
    // Counts the matches played since Init, the first one being 1.
    int GetMatchNumber() const { return matchNumber; }
    // Frames observed in this match.
    int GetFrame() const { return frame; }

    // Whether the computer plays a player's tank; only shown, the match plays alike.
    int GetComputer( int player ) const;
    void SetComputer( int player, int value );

    // The bombs in the air after the last Observe.
    int GetFlightCount() const { return flightCount; }
    const Entity *GetFlight( int index ) const { return flights[index].bomb; }
    // Where the bombs that exploded in the last Observe made their craters (the bomb's
    // top-left corner, as the crater is centred there).
    int GetCraterCount() const { return craterCount; }
    int GetCraterX( int index ) const { return craterX[index]; }
    int GetCraterY( int index ) const { return craterY[index]; }

    // 1 when the crater of a bomb at (bombX, bombY) covers a pixel of the box.
    int CraterTouches( int bombX, int bombY, int left, int top, int right, int bottom ) const;

private:
    Match( const Match & ) = delete;
    Match &operator=( const Match & ) = delete;

    struct Flight {
        const Entity *bomb; // not owned
        int shooter;
    };

    void TakePlayers();
    void FollowNewBombs();
    void Explode( const Entity &bomb, int shooter );

    World *world; // not owned
    Tank *tanks[MAX_PLAYERS];
    int scores[MAX_PLAYERS];
    int computer[MAX_PLAYERS];
    int playerCount;
    int targetHits;
    int winner;
    int matchNumber;
    int frame;
    int bombsSeen;
    Flight flights[MAX_FLIGHTS];
    int flightCount;
    int craterX[MAX_CRATERS];
    int craterY[MAX_CRATERS];
    int craterCount;
    Image *startLand;  // owned: the land picture as it was at Init
    Image craterShape; // the crater's pixels, 1 inside, around its centre
};

#endif

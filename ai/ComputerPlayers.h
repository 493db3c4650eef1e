#ifndef KELTO_AI_COMPUTERPLAYERS_H
#define KELTO_AI_COMPUTERPLAYERS_H

#include "ai/ComputerPlayer.h"

#include <cstddef>
#include <cstdint>

class Arsenal;
class Entity;
class Tank;
class World;

// Who plays which tank: the first tanks of the World's list belong to the people at the
// keyboard, the others to the computer. In a computer's turn the game's keys (arrows and
// Space) in the key state are the computer's, whatever the keyboard holds; every other key
// (Escape, the player's view's own keys) still comes from the keyboard.
class ComputerPlayers {
public:
    static constexpr int SEATS = 4;
    // With nobody at the keyboard the winner's banner stands this long before the computer
    // starts the next match itself.
    static constexpr int DEMO_BANNER_UPDATES = 240;

    ComputerPlayers();
    virtual ~ComputerPlayers();

    // `people` of the SEATS tanks play from the keyboard, the rest at `level` (AimSearch's
    // Easy, Normal or Hard). SEATS people leave every tank to the keyboard. The memory the
    // computer's thinking needs for the World's land is taken here, before play.
    void Create( World *world, int people, int level );
    // The weapons each seat has left, for the computer to choose from; null (the start) for
    // the bomb only.
    void SetArsenal( const Arsenal *arsenal );
    // Seats one player by hand, after Create: the computer at `level`, or a person. A set-up
    // made on screen may mix them in any order.
    void SetSeat( int seat, int computer, int level );
    // The thinking's share of each update, for every seat (ComputerPlayer::SetForecastPerUpdate).
    void SetForecastPerUpdate( int64_t value );
    // A new match: every computer forgets its targets and the shots it fired at them.
    void NewMatch();
    // Lets go of the World before its tanks are deleted at the game's end.
    void Forget();

    // The key state the game reads in this update, given the keyboard's (which may be null)
    // and whether the match is won and stands still. Points at the keyboard's own state
    // outside the computer's turns.
    uint8_t *Keys( uint8_t *keyboard, int matchWon = 0 );

    // AimSearch's level for "easy", "normal" or "hard"; Normal for anything else.
    static int LevelFromName( const char *name );

    int GetPeople() const { return people; }
    int GetLevel() const { return level; }
    // The place in the World's list of the tank that reads the keys of the coming update, or -1
    // for none; an online match hands its keys to that tank's player.
    int GetSeatOfThisUpdate() const;
    // 1 when the tank at this place in the World's list is the computer's.
    int IsComputer( int seat ) const;
    const ComputerPlayer &GetPlayer( int seat ) const { return players[seat]; }

private:
    ComputerPlayers( const ComputerPlayers & ) = delete;
    ComputerPlayers &operator=( const ComputerPlayers & ) = delete;

    Entity *TankOfThisUpdate( int &seat ) const;
    uint8_t *CopyKeyboard( const uint8_t *keyboard );
    int GatherTargets( const Entity *shooter, Tank **targets ) const;
    void ReserveLandCopy();

    World *world; // not owned
    int people;
    int level;
    ComputerPlayer players[SEATS];
    int computerSeats[SEATS]; // 1 where the computer plays
    const Entity *lastTurn;   // not owned; the tank that played the last update
    int wonUpdates;           // how long the winner's banner has stood
    uint8_t keys[256];
    // The land as the computer planning its shot found it; one copy serves every seat, since
    // only the tank whose turn it is plans. Owned; null when there was no memory for it.
    uint8_t *landCopy;
    size_t landCopySize;
};

#endif

#ifndef KELTO_GAME_ENTITY_H
#define KELTO_GAME_ENTITY_H

class Image;
class Sprite;
class World;

// What tanks and bombs have in common: a place on the land (the top-left corner of the
// picture's box), a state number and the picture and World they belong to. The World drives
// every entity through Update and Draw once per frame.
class Entity {
public:
    Entity() {}
    virtual ~Entity() {}

    virtual void Draw( Image &target ) = 0;
    // A frame nobody sees: draws nothing, but takes from the game whatever Draw would have
    // taken (a tank's random probe colour), so that a game that is never shown plays on alike.
    virtual void SkipDraw() {}
    virtual void Update() = 0;

    int GetX() const { return x; }
    int GetY() const { return y; }
    // 0 for a tank means its turn is over; the World gives a tank the turn by setting 1.
    int GetState() const { return state; }
    void SetState( int value ) { state = value; }
    Sprite *GetSprite() const { return sprite; }

protected:
    int x;
    int y;
    int state;
    int resumeState;
    Sprite *sprite; // not owned
    World *world;   // not owned
};

#endif

#ifndef KELTO_GAME_WORLD_H
#define KELTO_GAME_WORLD_H

#include <cstdint>

class BmpFile;
class Display;
class Entity;
class EntityList;
class Image;
class Land;
class LandParts;
class LandTile;
class Rect;

// The playing field: the background picture, the software copy of the land (all ground
// checks and craters), the shown land tiles and the entity lists. It keeps the camera and the
// parallax ratios, passes the turn from tank to tank, and each frame updates every tank and
// bomb and draws background, land and entities into the back buffer.
class World {
public:
    World();
    virtual ~World();

    // Loads the background, the land picture and the land tiles and works out the parallax;
    // 1, or 0 with GetLoadError naming what could not be had and why ("land.bmp: out of
    // memory"): a World that did not load must not be played. The second form takes files
    // already read and lets each one's bytes go as soon as its picture is made, so that a
    // large land is never held three times over.
    int Load( Display *display, const char *landFile, const char *backgroundFile );
    int Load( Display *display, BmpFile &landFile, BmpFile &backgroundFile );
    // The same from pictures made in memory (a generated land), copied. Called again on a
    // loaded World, it puts the new pictures in place of the old ones.
    int LoadPictures( Display *display, const Image &landPicture, const Image &backgroundPicture );
    // For a World nobody sees (a referee's): `landPicture` (owned from now on, its pixels used
    // where they are, never copied) becomes the land picture, in place of any before, and no
    // background or land tiles are made; its Draw draws nothing, as SkipDraw. Load and
    // LoadPictures make it a World that is shown again.
    int LoadUnseen( Display *display, Image *landPicture );
    const char *GetLoadError() const { return loadError; }

    void SetCameraX( int value );
    void SetCameraY( int value );
    int GetCameraX() const { return cameraX; }
    int GetCameraY() const { return cameraY; }
    int GetParallaxX() const { return parallaxX; }
    int GetParallaxY() const { return parallaxY; }

    Image *GetLandImage() const { return landImage; }
    // Changed only by loading: a still camera's frames reuse the background as last drawn.
    Image *GetBackground() const { return background; }
    Land *GetLand() const { return land; }
    Display *GetDisplay() const { return display; }
    EntityList *GetTanks() const { return tanks; }
    EntityList *GetBombs() const { return bombs; }
    Entity *GetCurrentTank() const { return currentTank; }
    Entity *GetCameraTarget() const { return cameraTarget; }

    // The wind that pushes the bombs fired now, pixels per time unit squared (positive =
    // right); none unless the rules draw one.
    int GetWind() const { return wind; }
    void SetWind( int value ) { wind = value; }

    void SetCurrentTank( Entity *tank );
    void SetCameraTarget( Entity *entity ) { cameraTarget = entity; }
    void AddTank( Entity *tank );
    void AddBomb( Entity *bomb );
    void AddToList2( Entity *entity );
    void AddToList3( Entity *entity );

    void Update();
    void Draw( Display &display );
    // The frame's drawing left out, with whatever its entities would have taken from the game.
    void SkipDraw();

    // Blows an elliptical crater centred at (x, y) out of every land tile and the land
    // picture, as an exploding bomb does.
    void Carve( int x, int y, int radiusX, int radiusY );

    // Copies the land picture into every land tile: the shown land then matches the land
    // picture again, as after a new match puts the picture back.
    void RefillTiles();

private:
    World( const World & ) = delete;
    World &operator=( const World & ) = delete;

    void PassTurn();
    void DropSpentBombs();
    void DrawBackground( Display &display );
    void DrawBackgroundOn( Image &back, const Display &display );
    const uint8_t *BackdropUnder( const Image &back, const Display &display, LandParts &parts ) const;
    int DrawLandOver( Display &display, const LandParts &parts, const uint8_t *backdrop );
    int DrawLandKept( Display &display, const LandParts &parts, const uint8_t *backdrop );
    void ForgetKeptLand();
    int KeptLandFits( const Image &back ) const;
    int CopyKeptLand( Display &display ) const;
    int KeepLand( Display &display );
    void MakeRoomToKeepLand();
    uint32_t LandChanges() const;
    void DrawLand( Display &display );
    void DrawEntities( Display &display );
    void RefillIfLost( LandTile *tile, const Rect &region );
    int FailLoad( const char *what, const char *reason );
    void RefillTile( LandTile *tile, const Rect &region );
    Rect TileRect( int column, int row, int pitchX, int pitchY ) const;

    int cameraX;
    int cameraY;
    int parallaxX; // 1024 = the background moves with the land
    int parallaxY;
    Display *display;     // not owned
    Image *background;    // owned
    Image *landImage;     // owned
    Land *land;           // owned
    EntityList *tanks;    // owned; the tanks themselves are not
    EntityList *bombs;    // owned; the bombs themselves are not
    EntityList *list2;    // owned; nothing adds to it
    EntityList *list3;    // owned; nothing adds to it
    Entity *currentTank;  // not owned
    Entity *cameraTarget; // not owned
    // The land over the background as drawn for a camera that stood still, kept for the
    // frames it goes on standing over the same land.
    struct LandView {
        int valid;
        int cameraX;
        int cameraY;
        uint32_t changes; // the tiles' change counts added up
    };
    Image *keptLand;    // owned; a screen large, made with the pictures; null without memory
    LandView kept;      // what keptLand shows
    LandView lastDrawn; // what the one-pass draw put on the screen last
    char loadError[320];
    int wind;
    int unseen; // loaded by LoadUnseen: nothing to draw with
};

#endif

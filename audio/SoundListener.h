#ifndef KELTO_AUDIO_SOUNDLISTENER_H
#define KELTO_AUDIO_SOUNDLISTENER_H

// Where the player hears from: the part of the land the screen shows. A sound is panned by
// where it happens across the screen and grows quieter the further off screen it is, down to
// a quarter of its loudness a whole screen width away.
class SoundListener {
public:
    SoundListener();
    virtual ~SoundListener();

    // The screen's top-left corner on the land and its size.
    void SetView( int left, int top, int width, int height );

    // HOST_PAN_LEFT at the screen's left edge and beyond, HOST_PAN_RIGHT at its right edge.
    int GetPan( int x ) const;
    // `loudness` (0 to HOST_VOLUME_FULL) as heard from the screen for a sound at (x, y).
    int GetVolume( int x, int y, int loudness ) const;

private:
    int left;
    int top;
    int width;
    int height;
};

#endif

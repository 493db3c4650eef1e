#ifndef KELTO_MENUS_MENUINPUT_H
#define KELTO_MENUS_MENUINPUT_H

#include <cstdint>

// What the player asked of a menu in one frame, read from the game's key state: a key counts
// in the frame it goes down, not while held. The arrows are the game's own (so a gamepad's
// D-pad and stick move through menus as they drive a tank); Enter or Space choose, Escape goes
// back, Backspace goes back or rubs out a typed letter. The letters, digits, space, '-' and
// '.' are also read as the characters of a name being typed, by the keys' places on the
// keyboard. The mouse points at entries and clicks them, in the screen's pixels.
class MenuInput {
public:
    // SELECT is Enter or Space; ENTER is Enter alone (Space types a space in a name); HELP is
    // F1; CLICK is the mouse's left button, at GetClickX, GetClickY.
    enum Action { UP, DOWN, LEFT, RIGHT, SELECT, ENTER, BACK, ERASE, HELP, CLICK, ACTION_COUNT };

    MenuInput();
    virtual ~MenuInput();

    // This frame's keys (256 bytes, high bit while down; null reads as nothing down).
    void Read( const uint8_t *keys );
    // This frame's mouse, after Read: where it points, whether it moved, and a click.
    void Point( int x, int y, int moved, int clicked, int clickX, int clickY );
    // Takes every key held now as held before, so that the key that opened a menu does
    // nothing in it.
    void Hold( const uint8_t *keys );

    int Has( int action ) const { return action >= 0 && action < ACTION_COUNT && pressed[action]; }
    // The character typed in this frame, or 0.
    char GetTyped() const { return typed; }
    // The same in an address, which also takes ':' and '/' from their keys (unshifted, so
    // that the whole address types without Shift).
    char GetTypedInAddress() const { return typedInAddress; }
    int HasPointerMoved() const { return pointerMoved; }
    int GetPointerX() const { return pointerX; }
    int GetPointerY() const { return pointerY; }
    int GetClickX() const { return clickX; }
    int GetClickY() const { return clickY; }

    // The character a key types, or 0.
    static char CharacterOf( int key );
    static char AddressCharacterOf( int key );

private:
    uint8_t before[256];
    uint8_t pressed[ACTION_COUNT];
    char typed;
    char typedInAddress;
    int pointerX;
    int pointerY;
    int pointerMoved;
    int clickX;
    int clickY;
};

#endif

#include "app/Controls.h"

void BindControls( HostKeyState &keys, const Settings &settings, ControlNames namesToInputs ) {
    struct Control {
        int gameKey;
        std::string keyNames;
        std::string padNames;
    };
    const Control controls[] = {
        { DIK_LEFT, settings.keyLeft, settings.padLeft },
        { DIK_RIGHT, settings.keyRight, settings.padRight },
        { DIK_UP, settings.keyUp, settings.padUp },
        { DIK_DOWN, settings.keyDown, settings.padDown },
        { DIK_SPACE, settings.keyFire, settings.padFire },
        { DIK_Q, settings.keyWeaponPrevious, settings.padWeaponPrevious },
        { DIK_E, settings.keyWeaponNext, settings.padWeaponNext },
        { DIK_ESCAPE, "Escape", settings.padQuit + ", start" },
        { DIK_RETURN, "Return", "a" },
        { DIK_BACK, "Backspace", "b" },
    };
    for ( const Control &control : controls ) {
        std::vector<int> inputs = namesToInputs( control.keyNames, 0 );
        const std::vector<int> padInputs = namesToInputs( control.padNames, 1 );
        inputs.insert( inputs.end(), padInputs.begin(), padInputs.end() );
        keys.Bind( control.gameKey, inputs );
    }
}

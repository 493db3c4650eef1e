#ifndef KELTO_SETTINGS_SETTINGSFILE_H
#define KELTO_SETTINGS_SETTINGSFILE_H

#include "settings/Settings.h"

#include <cstdio>
#include <string>

// Says whether a key or gamepad name in a binding is one the backend knows; 1 or 0.
typedef int ( *SettingsNameCheck )( const char *name );

// The settings file: plain "key = value" lines, '#' starts a comment line. A missing file is
// written with every default and a comment on each; a line that cannot be understood is
// reported once (file and line) and leaves its default. Nothing here can stop the game.
class SettingsFile {
public:
    SettingsFile();
    virtual ~SettingsFile();

    // The names the bindings may use; null (the default) takes any name.
    void SetNameChecks( SettingsNameCheck keyCheck, SettingsNameCheck padCheck );

    // Fills `settings` with the defaults, then with what `path` says; writes the defaults
    // there when it does not exist, and then says where on `notices` (when given), so that the
    // player learns once where the settings are. 1 when the file was read or written, 0 when
    // neither could be done (a warning says so and the defaults stand) or the path is empty.
    int Load( const std::string &path, Settings &settings, FILE *warnings, FILE *notices = nullptr ) const;

    static void SetDefaults( Settings &settings );
    static int WriteDefaults( const std::string &path );

    // $XDG_CONFIG_HOME/kelto/settings.ini, else ~/.config/kelto/settings.ini; empty when
    // neither variable is set.
    static std::string GetDefaultPath();

private:
    int ApplyLine( const std::string &line, Settings &settings ) const;

    SettingsNameCheck keyCheck; // not owned; null takes any name
    SettingsNameCheck padCheck;
};

#endif

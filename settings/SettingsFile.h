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
    // there when it does not exist. 1 when the file was read or written, 0 when neither
    // could be done (a warning says so and the defaults stand) or the path is empty.
    int Load( const std::string &path, Settings &settings, FILE *warnings ) const;

    // What Change did: the value was refused (nothing changed), or it applies and the file
    // was written, or it applies to this run only since the file could not be written.
    enum ChangeResult { CHANGE_REFUSED, CHANGE_WRITTEN, CHANGE_NOT_WRITTEN };

    // Sets one setting to `value`, as a line of the file would: in `settings`, and in the file
    // at `path` (made with the defaults when missing). Only that key's line changes; comments
    // and lines the game does not know are kept as they were, and a key the file lacks is
    // added at its end. The file is written whole beside the old one and renamed over it, so
    // that a failed write leaves the old file as it was. An empty path writes nothing.
    ChangeResult Change( const std::string &path, const std::string &key, const std::string &value,
                         Settings &settings ) const;

    static void SetDefaults( Settings &settings );
    // The default value of a setting as the file writes it; empty for an unknown key.
    static std::string GetDefault( const std::string &key );
    static int WriteDefaults( const std::string &path );

    // $XDG_CONFIG_HOME/kelto/settings.ini, else ~/.config/kelto/settings.ini; empty when
    // neither variable is set.
    static std::string GetDefaultPath();

private:
    static int Rewrite( const std::string &path, const std::string &key, const std::string &value );
    int ApplyLine( const std::string &line, Settings &settings ) const;

    SettingsNameCheck keyCheck; // not owned; null takes any name
    SettingsNameCheck padCheck;
};

#endif

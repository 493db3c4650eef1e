#ifndef KELTO_SETTINGS_SETTINGSFILE_H
#define KELTO_SETTINGS_SETTINGSFILE_H

#include "settings/Settings.h"

#include <cstdint>
#include <cstdio>
#include <string>

// Lines longer than this are not settings; only their start is kept to be shown.
const size_t SETTINGS_LINE_LIMIT = 1024;
// Lines not understood that are named one by one; the others are counted in one more line.
const int SETTINGS_WARNING_LIMIT = 8;
// A settings file larger than this is not the game's: a change on screen then applies to the
// run only, and the file is left as it is.
const int64_t SETTINGS_REWRITE_LIMIT = 1 << 20;

// Says whether a key or gamepad name in a binding is one the backend knows; 1 or 0.
typedef int ( *SettingsNameCheck )( const char *name );

// The settings file: plain "key = value" lines, '#' starts a comment line. A missing file is
// written with every default and a comment on each; a line that cannot be understood is
// reported once (file, line and its start, escaped) and leaves its default, the first few
// of them one by one and the rest counted. Nothing here can stop the game.
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
    // Writes the defaults whole, then renames them over `path`; 1, or 0 with the reason
    // in `reason` (when given), leaving `path` as it was.
    static int WriteDefaults( const std::string &path, const char **reason = nullptr );

    // $XDG_CONFIG_HOME/kelto/settings.ini, else ~/.config/kelto/settings.ini; empty when
    // neither variable is set.
    static std::string GetDefaultPath();

private:
    struct LineReport {
        FILE *warnings;
        const char *path;
        int notUnderstood;
    };

    void ReadLine( const std::string &line, int cut, int number, Settings &settings,
                   LineReport &report ) const;
    static int Rewrite( const std::string &path, const std::string &key, const std::string &value );
    static int WriteWhole( const std::string &path, const std::string &text, const char *&why );
    int ApplyLine( const std::string &line, Settings &settings ) const;

    SettingsNameCheck keyCheck; // not owned; null takes any name
    SettingsNameCheck padCheck;
};

#endif

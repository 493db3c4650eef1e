#ifndef KELTO_APP_DATAFOLDER_H
#define KELTO_APP_DATAFOLDER_H

// Where the game's pictures (and sounds) are, so that it starts from any working directory:
// the folder named with --data; else $KELTO_DATA; else the working directory when it holds
// the pictures (the game as first built); else the installed folder ../share/kelto beside the
// program's own folder, so that an installed tree still works after it is moved.

#include <string>

class DataFolder {
public:
    DataFolder();
    virtual ~DataFolder();

    // 1 when a folder holding every picture is found; 0 otherwise, with GetTried listing the
    // places looked at. `option` and `environment` may be null or empty (not given); a folder
    // named with --data is the only place tried. `programPath` is the running program's file.
    int Find( const char *option, const char *environment, const char *programPath );

    // The folder found, ending in '/', or empty for the working directory.
    const std::string &GetPath() const { return path; }
    // The places tried, in order, separated by ", ".
    const std::string &GetTried() const { return tried; }
    // Why the last place tried was passed over: its first picture that is missing or no file,
    // as "DIR/land.bmp: no such file"; empty when a folder was found.
    const std::string &GetMissing() const { return missing; }

private:
    int Try( const std::string &folder );

    std::string path;
    std::string tried;
    std::string missing;
};

#endif

#include "app/DataFolder.h"

#include "app/Game.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

DataFolder::DataFolder() {
}

DataFolder::~DataFolder() {
}

// A folder counts when it holds every picture as a regular file; otherwise the first picture
// that is missing or no file (a FIFO, a folder, a socket, a broken link) is kept with its
// reason, so the line that stops the game names it rather than a search that says nothing.
int DataFolder::Try( const std::string &folder ) {
    const std::string shown = folder.empty() ? "the working directory" : folder;
    tried += tried.empty() ? shown : ", " + shown;
    const char *const names[] = { GAME_BACKGROUND_FILE, GAME_LAND_FILE, GAME_TANK_FILE, GAME_BOMB_FILE };
    for ( const char *name : names ) {
        const fs::path file = fs::path( folder.empty() ? "." : folder ) / name;
        std::error_code error;
        // A folder holds the pictures only as regular files; anything else in a picture's place
        // is named with its reason, so the player learns which file is wrong.
        const fs::file_status status = fs::status( file, error );
        if ( !fs::is_regular_file( status ) ) {
            const char *reason = status.type() == fs::file_type::not_found ? "no such file"
                                 : error                                   ? "cannot be reached"
                                                                           : "not a regular file";
            missing = ( folder.empty() ? fs::path( name ) : file ).string() + ": " + reason;
            return 0;
        }
    }
    missing.clear();
    path = folder;
    if ( !path.empty() && path.back() != '/' ) {
        path += '/';
    }
    return 1;
}

int DataFolder::Find( const char *option, const char *environment, const char *programPath ) {
    path.clear();
    tried.clear();
    missing.clear();
    if ( option != nullptr && option[0] != '\0' ) {
        return Try( option );
    }
    if ( environment != nullptr && environment[0] != '\0' && Try( environment ) ) {
        return 1;
    }
    if ( Try( "" ) ) {
        return 1;
    }
    if ( programPath != nullptr && programPath[0] != '\0' ) {
        std::error_code error;
        fs::path program = fs::weakly_canonical( programPath, error );
        if ( error ) {
            program = programPath;
        }
        const fs::path installed = program.parent_path().parent_path() / "share" / "kelto";
        return Try( installed.lexically_normal().string() );
    }
    return 0;
}

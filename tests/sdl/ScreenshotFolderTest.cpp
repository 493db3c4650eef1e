#include "host/sdl/Screenshot.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A home of this test's own with its config folder, and the environment pointed at it for the
// test's length (the player's own folders are never looked at).
class PicturesHome {
public:
    PicturesHome() {
        char pattern[] = "/tmp/kelto-home-XXXXXX";
        home = mkdtemp( pattern );
        config = home + "/.config";
        fs::create_directories( config );
        for ( const char *name : { "HOME", "XDG_CONFIG_HOME", "XDG_PICTURES_DIR" } ) {
            const char *value = std::getenv( name );
            saved.push_back( { name, value != nullptr, value != nullptr ? value : "" } );
        }
        setenv( "HOME", home.c_str(), 1 );
        unsetenv( "XDG_CONFIG_HOME" );
        unsetenv( "XDG_PICTURES_DIR" );
    }
    ~PicturesHome() {
        for ( const Saved &variable : saved ) {
            if ( variable.set ) {
                setenv( variable.name, variable.value.c_str(), 1 );
            } else {
                unsetenv( variable.name );
            }
        }
        fs::remove_all( home );
    }
    void WriteUserDirs( const std::string &text, const std::string &folder ) const {
        std::ofstream( folder + "/user-dirs.dirs" ) << text;
    }

    struct Saved {
        const char *name;
        bool set;
        std::string value;
    };
    std::vector<Saved> saved;
    std::string home;
    std::string config;
};

} // namespace

// Each row: the user-dirs.dirs text (null: no file) and the folder it names ("~" for the home).
TEST( ScreenshotFolder, UserDirsIsReadAsTheDesktopsOwnToolReadsIt ) {
    PicturesHome scratch;
    const struct {
        const char *text;
        std::string expected;
    } cases[] = {
        { nullptr, "" },
        { "", "" },
        { "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "~/Bilder" },
        { "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
          "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_VIDEOS_DIR=\"$HOME/Videos\"\n",
          "~/Bilder" },
        { "  XDG_PICTURES_DIR = \"$HOME/Bilder/\"", "~/Bilder" },
        { "XDG_PICTURES_DIR=\"/srv/photos\"\n", "/srv/photos" },
        { "XDG_PICTURES_DIR=\"$HOME\"\n", "~" },
        { "XDG_PICTURES_DIR=\"$HOME/Meine\\ Bilder\"\n", "~/Meine Bilder" },
        { "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_PICTURES_DIR=\"$HOME/Fotos\"\n", "~/Fotos" },
        { "XDG_PICTURES_DIR=\"Bilder\"\n", "" },
        { "XDG_PICTURES_DIR=\"$HOMEBilder\"\n", "" },
        { "XDG_PICTURES_DIR=$HOME/Bilder\n", "" },
        { "#XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "" },
        { "# XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_PICTURES_DIR=\"$HOME/Fotos\"\n", "~/Fotos" },
        { "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n# XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", "~/Fotos" },
        { "XDG_PICTURES_DIRS=\"$HOME/Bilder\"\nXDG_PICTURE_DIR=\"$HOME/Fotos\"\n", "" },
        { "XDG_PICTURES_DIR=\"$HOME/Bilder\"\nXDG_PICTURES_DIR=\"relative\"\n", "~/Bilder" },
    };
    for ( const auto &test : cases ) {
        fs::remove( scratch.config + "/user-dirs.dirs" );
        if ( test.text != nullptr ) {
            scratch.WriteUserDirs( test.text, scratch.config );
        }
        const std::string expected = test.expected.empty() || test.expected[0] != '~'
                                         ? test.expected
                                         : scratch.home + test.expected.substr( 1 );
        EXPECT_EQ( ScreenshotUserPicturesDir( scratch.home.c_str(), nullptr ), expected )
            << ( test.text ? test.text : "(no file)" );
    }
    // XDG_CONFIG_HOME moves the file; the one under the home is then not read.
    const std::string elsewhere = scratch.home + "/elsewhere";
    fs::create_directories( elsewhere );
    scratch.WriteUserDirs( "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", scratch.config );
    scratch.WriteUserDirs( "XDG_PICTURES_DIR=\"$HOME/Fotos\"\n", elsewhere );
    EXPECT_EQ( ScreenshotUserPicturesDir( scratch.home.c_str(), elsewhere.c_str() ),
               scratch.home + "/Fotos" );
    EXPECT_EQ( ScreenshotUserPicturesDir( scratch.home.c_str(), "" ), scratch.home + "/Bilder" );
    EXPECT_EQ( ScreenshotUserPicturesDir( nullptr, nullptr ), "" );
}

// The folder chosen falls through $XDG_PICTURES_DIR, the desktop's folder, ~/Pictures and the
// working directory, each taken only when it is an existing folder.
TEST( ScreenshotFolder, EachPlaceIsTakenOnlyWhenItIsAFolder ) {
    PicturesHome scratch;
    const std::string bilder = scratch.home + "/Bilder";
    const std::string pictures = scratch.home + "/Pictures";
    const std::string chosen = scratch.home + "/chosen";
    scratch.WriteUserDirs( "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n", scratch.config );
    EXPECT_EQ( ScreenshotChooseFolder(), "." ); // nothing exists yet
    fs::create_directories( pictures );
    EXPECT_EQ( ScreenshotChooseFolder(), pictures );
    std::ofstream( bilder ) << "a file, not a folder";
    EXPECT_EQ( ScreenshotChooseFolder(), pictures );
    fs::remove( bilder );
    fs::create_directories( bilder );
    EXPECT_EQ( ScreenshotChooseFolder(), bilder );
    setenv( "XDG_PICTURES_DIR", chosen.c_str(), 1 );
    EXPECT_EQ( ScreenshotChooseFolder(), bilder ); // named but missing
    fs::create_directories( chosen );
    EXPECT_EQ( ScreenshotChooseFolder(), chosen );
    EXPECT_EQ( ScreenshotChoosePath().rfind( chosen + "/kelto-", 0 ), 0u );
}

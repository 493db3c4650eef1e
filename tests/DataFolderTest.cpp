#include "app/DataFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A scratch tree: "full" holds the four pictures, "empty" holds none, "prefix/bin" a program
// beside "prefix/share/kelto" with the pictures, and the working directory is "cwd".
class DataFolderTree {
public:
    DataFolderTree() {
        char pattern[] = "/tmp/kelto-data-XXXXXX";
        root = mkdtemp( pattern );
        FillWithPictures( root / "full" );
        FillWithPictures( root / "prefix" / "share" / "kelto" );
        fs::create_directories( root / "prefix" / "bin" );
        fs::create_directories( root / "empty" );
        fs::create_directories( root / "cwd" );
        previous = fs::current_path();
        fs::current_path( root / "cwd" );
    }
    ~DataFolderTree() {
        fs::current_path( previous );
        fs::remove_all( root );
    }
    void FillWithPictures( const fs::path &folder ) {
        fs::create_directories( folder );
        for ( const char *name : { "background.bmp", "land.bmp", "tank.bmp", "bomb.bmp" } ) {
            std::ofstream( folder / name ) << "BM";
        }
    }
    std::string operator()( const char *relative ) const { return ( root / relative ).string(); }

    fs::path root;
    fs::path previous;
};

} // namespace

// Each row: --data, $KELTO_DATA, whether the working directory holds the pictures, whether a
// folder is found and which ("" for the working directory), and the places listed as tried.
TEST( DataFolder, SearchOrderIsOptionThenEnvironmentThenWorkingDirectoryThenInstalled ) {
    DataFolderTree tree;
    const std::string program = tree( "prefix/bin/kelto" );
    const std::string installed = tree( "prefix/share/kelto" ) + "/";
    struct Case {
        std::string option, environment;
        int picturesHere;
        int result;
        std::string found, tried;
    };
    const Case cases[] = {
        { tree( "full" ), tree( "empty" ), 1, 1, tree( "full" ) + "/", tree( "full" ) },
        { tree( "empty" ), "", 1, 0, "", tree( "empty" ) },
        { "", tree( "full" ), 1, 1, tree( "full" ) + "/", tree( "full" ) },
        { "", tree( "empty" ), 1, 1, "", tree( "empty" ) + ", the working directory" },
        { "", tree( "empty" ), 0, 1, installed,
          tree( "empty" ) + ", the working directory, " + installed.substr( 0, installed.size() - 1 ) },
        { "", "", 0, 1, installed, "the working directory, " + installed.substr( 0, installed.size() - 1 ) },
    };
    for ( const Case &test : cases ) {
        if ( test.picturesHere ) {
            tree.FillWithPictures( "." );
        } else {
            fs::remove_all( tree( "cwd" ) );
            fs::create_directories( tree( "cwd" ) );
            fs::current_path( tree( "cwd" ) );
        }
        DataFolder data;
        const int found = data.Find( test.option.c_str(), test.environment.c_str(), program.c_str() );
        EXPECT_EQ( found, test.result ) << test.tried;
        EXPECT_EQ( data.GetPath(), test.found ) << test.tried;
        EXPECT_EQ( data.GetTried(), test.tried );
    }
}

TEST( DataFolder, NothingFoundListsEveryPlaceTried ) {
    DataFolderTree tree;
    fs::remove_all( tree( "prefix/share" ) );
    DataFolder data;
    EXPECT_EQ( data.Find( nullptr, nullptr, tree( "prefix/bin/kelto" ).c_str() ), 0 );
    EXPECT_EQ( data.GetTried(), "the working directory, " + tree( "prefix/share/kelto" ) );
}

// With --data the folder named is the only place, so the refusal names the picture it lacks:
// the first of the four, the last, one that is a folder, and a folder that is not there at all.
TEST( DataFolder, TheFolderNamedWithDataSaysWhichPictureItLacks ) {
    DataFolderTree tree;
    const std::string full = tree( "full" );
    struct Case {
        const char *broken; // made missing, or a folder when it ends in '/'
        std::string option, missing;
    };
    const Case cases[] = {
        { "background.bmp", full, full + "/background.bmp: no such file" },
        { "bomb.bmp", full, full + "/bomb.bmp: no such file" },
        { "land.bmp/", full, full + "/land.bmp: not a regular file" },
        { nullptr, tree( "nowhere" ), tree( "nowhere" ) + "/background.bmp: no such file" },
        { nullptr, full + "/", full + "/background.bmp: no such file" },
    };
    for ( const Case &test : cases ) {
        tree.FillWithPictures( tree( "full" ) );
        std::string broken = test.broken != nullptr ? test.broken : "background.bmp";
        const bool folder = broken.back() == '/';
        if ( folder ) {
            broken.pop_back();
        }
        fs::remove( tree.root / "full" / broken );
        if ( folder ) {
            fs::create_directories( tree.root / "full" / broken );
        }
        DataFolder data;
        EXPECT_EQ( data.Find( test.option.c_str(), tree( "full" ).c_str(), "" ), 0 ) << test.missing;
        EXPECT_EQ( data.GetMissing(), test.missing );
        EXPECT_EQ( data.GetTried(), test.option );
        fs::remove_all( tree.root / "full" / broken );
    }
    tree.FillWithPictures( tree( "full" ) );
    DataFolder data;
    EXPECT_EQ( data.Find( full.c_str(), nullptr, "" ), 1 );
    EXPECT_EQ( data.GetMissing(), "" );
}

#include "tests/support/ScratchHome.h"

#include <cstdlib>
#include <filesystem>

ScratchHome::ScratchHome() {
}

ScratchHome::~ScratchHome() {
}

void ScratchHome::SetUp() {
    char folder[] = "/tmp/kelto-home-XXXXXX";
    ASSERT_NE( nullptr, mkdtemp( folder ) );
    path = folder;
    const std::string home = path + "/home";
    const struct {
        const char *name;
        std::string value;
    } variables[] = {
        { "HOME", home },
        { "XDG_CONFIG_HOME", home + "/.config" },
        { "XDG_DATA_HOME", home + "/.local/share" },
        { "XDG_STATE_HOME", home + "/.local/state" },
        { "XDG_CACHE_HOME", home + "/.cache" },
        { "XDG_PICTURES_DIR", home + "/Pictures" },
        // ::testing::TempDir() and the C library's temporary files: tests of two builds
        // running at once must not share a fixed name under /tmp.
        { "TEST_TMPDIR", path + "/tmp" },
        { "TMPDIR", path + "/tmp" },
    };
    for ( const auto &variable : variables ) {
        std::error_code error;
        std::filesystem::create_directories( variable.value, error );
        ASSERT_FALSE( error ) << variable.value << ": " << error.message();
        ASSERT_EQ( 0, setenv( variable.name, variable.value.c_str(), 1 ) );
    }
}

void ScratchHome::TearDown() {
    std::error_code error;
    if ( !path.empty() ) {
        std::filesystem::remove_all( path, error );
    }
}

// Registered before main runs, so that the environment is set up before the first test.
static ::testing::Environment *const g_scratchHome = ::testing::AddGlobalTestEnvironment( new ScratchHome );

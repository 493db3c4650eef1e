#ifndef KELTO_TESTS_SUPPORT_SCRATCHHOME_H
#define KELTO_TESTS_SUPPORT_SCRATCHHOME_H

#include <gtest/gtest.h>

#include <string>

// A home of the test program's own for the whole run: HOME, the XDG folders for settings,
// data and caches, the pictures folder and the temporary folder (::testing::TempDir()) point
// into a fresh folder under /tmp, removed at the end. Every test program gets one (tests/CMakeLists.txt links
// it in), so that no test reads the settings of whoever runs it or writes into their home.
class ScratchHome : public ::testing::Environment {
public:
    ScratchHome();
    virtual ~ScratchHome();

    void SetUp() override;
    void TearDown() override;

    const std::string &GetPath() const { return path; }

private:
    std::string path; // empty until SetUp
};

#endif

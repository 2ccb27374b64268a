// The settings file of the built program on a real X server, where the file
// system does not give the program what it expects.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "support/program_run.h"

namespace {

namespace fs = std::filesystem;
using testsupport::Desktop;
using testsupport::Geometry;
using testsupport::Program;

class SettingsE2E : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!desktop.ok()) GTEST_SKIP() << "no Xvfb";
        char tmpl[] = "/tmp/ostrel4-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
    }
    void TearDown() override {
        if (!dir.empty()) fs::remove_all(dir);
    }

    Desktop desktop;
    fs::path dir;
};

TEST_F(SettingsE2E, UncreatablePreferencesFolderRunsWithTheDefaultsAndQuitsWhenThePanelCloses) {
    // XDG_CONFIG_HOME below a regular file: the folder can never be made.
    const fs::path plain = dir / "plain", config = plain / "config";
    std::ofstream(plain) << "not a folder\n";
    Program program(desktop, config, OSTREL4_PROGRAM, dir / "stderr.txt");

    for (const char* title : {"  Ostrel 4", "a", "c", "d", "f"})
        ASSERT_TRUE(desktop.FindWindow(title)) << title << "\n" << program.Stderr();
    // Display window 1 has the default place and size.
    EXPECT_EQ(desktop.GeometryOf(*desktop.FindWindow("a")), (Geometry{180, 50, 200, 100}));

    const std::string panel = *desktop.FindWindow("  Ostrel 4");
    desktop.Run("xdotool windowactivate --sync " + panel + " key alt+F4");
    EXPECT_EQ(program.Wait(), std::optional<int>(0)) << program.Stderr();

    // One line about the folder, from the start to the quit, and nothing raised.
    const std::string err = program.Stderr();
    const std::string line = "cannot create the Preferences folder " + config.string() + " (";
    const size_t at = err.find(line);
    EXPECT_NE(at, std::string::npos) << err;
    EXPECT_EQ(err.find(line, at + 1), std::string::npos) << err;
    EXPECT_EQ(err.find("Exception"), std::string::npos) << err;
    std::ifstream in(plain);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not a folder\n");
}

}  // namespace

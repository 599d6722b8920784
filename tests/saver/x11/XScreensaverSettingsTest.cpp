#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "saver/x11/XScreensaverSettings.h"

namespace qel {
namespace {

TEST(GrabDesktopImages, ReadFromTheLinesOfEitherFile) {
  struct TCase {
    std::string Text;
    std::optional<bool> Want;
  };
  const std::vector<TCase> Cases = {
      {"grabDesktopImages:\tFalse\n", false},
      {"*grabDesktopImages:\t\tTrue\n", true},
      {"XScreenSaver.grabDesktopImages: off\r\n", false},
      {"  grabDesktopImages :  yes  ", true},
      {"grabDesktopImages: False\ngrabDesktopImages: True\n", true},  // the last one counts
      {"timeout: 0:10:00\n", std::nullopt},
      {"! grabDesktopImages: False\n# grabDesktopImages: False\n", std::nullopt},
      // A programs list continued with backslashes may mention it; it is not the setting.
      {"programs: \\\n  foo -grabDesktopImages: False \\\n  bar\ngrabDesktopImages: True\n", true},
      {"nograbDesktopImages: False\ngrabDesktopImagesToo: False\n", std::nullopt},
      // Malformed: the next source decides.
      {"grabDesktopImages: perhaps\n", std::nullopt},
      {std::string("grabDesktopImages: False\n\0\xff", 27), std::nullopt},
      {"grabDesktopImages:\n", std::nullopt},
  };
  for (const TCase& C : Cases) EXPECT_EQ(GrabDesktopImagesIn(C.Text), C.Want) << C.Text;
}

class GrabDesktopSources : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(Home);
    std::filesystem::create_directories(Home);
  }
  void TearDown() override { std::filesystem::remove_all(Home); }
  void Write(const std::string& Path, const std::string& Text) { std::ofstream(Path, std::ios::binary) << Text; }

  const std::string Home = ::testing::TempDir() + "qel_xscreensaver_home";
  const std::string User = Home + "/.xscreensaver";
  const std::string AppDefaults = Home + "/XScreenSaver";
};

TEST_F(GrabDesktopSources, UserFileFirstThenAppDefaultsThenTrue) {
  EXPECT_TRUE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));  // neither file
  Write(AppDefaults, "*grabDesktopImages: False\n");
  EXPECT_FALSE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  EXPECT_FALSE(XScreensaverGrabsDesktop(nullptr, AppDefaults));
  Write(User, "grabDesktopImages: True\n");
  EXPECT_TRUE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  EXPECT_FALSE(XScreensaverGrabsDesktop("", AppDefaults));
  Write(User, "mode: random\n");  // silent on it
  EXPECT_FALSE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  Write(User, "grabDesktopImages: \x01\xfe\n");
  EXPECT_FALSE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  Write(AppDefaults, "*grabDesktopImages: 0x\n");
  EXPECT_TRUE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  // Too large to be a settings file: skipped, not read whole.
  Write(User, "grabDesktopImages: False\n" + std::string(1 << 20, '!'));
  EXPECT_TRUE(XScreensaverGrabsDesktop(Home.c_str(), AppDefaults));
  EXPECT_TRUE(XScreensaverGrabsDesktop(Home.c_str(), Home));  // a folder, not a file
}

}  // namespace
}  // namespace qel

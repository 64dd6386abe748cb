// Where plug-ins are looked for and how names find them.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "CommandErrors.h"
#include "PluginSearch.h"

namespace kqfx::command {
namespace {

namespace fs = std::filesystem;

class PluginSearch : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kqfx-search-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root = pattern;
  }
  void TearDown() override { fs::remove_all(root); }
  fs::path make(const std::string& relative) {
    const fs::path path = root / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
    return path;
  }
  fs::path folder(const std::string& relative) {
    fs::create_directories(root / relative);
    return root / relative;
  }
  fs::path root;
};

TEST_F(PluginSearch, FoldersComeInOrderOnceEachAndOnlyIfTheyExist) {
  SearchEnvironment environment;
  environment.executableDirectory = folder("build/bin");
  environment.buildPluginDirectory = folder("build/plugins/vst");
  environment.pluginPath = (root / "p1").string() + "::" + (root / "nowhere").string() + ":" +
                           (root / "build/plugins/vst/").string() + ":" + (root / "p2").string();
  environment.home = folder("home").string();
  folder("p1");
  folder("p2");
  folder("home/.vst");
  std::vector<fs::path> folders = pluginFolders(environment);
  // System folders may exist on the machine; only ours are checked.
  folders.resize(std::min<std::size_t>(folders.size(), 4));
  EXPECT_EQ(folders, (std::vector<fs::path>{root / "build/plugins/vst", root / "p1", root / "p2",
                                            root / "home/.vst"}));

  // Installed: <prefix>/lib/vst beside <prefix>/bin takes the build tree's place.
  folder("build/lib/vst");
  EXPECT_EQ(pluginFolders(environment).front(), root / "build/lib/vst");
}

TEST_F(PluginSearch, SharedObjectsAreFoundInNestedFoldersInPathOrder) {
  make("v/b.so");
  make("v/A.SO");
  make("v/readme.txt");
  make("v/one/two/c.so");
  make("v/one/two/three/four/too-deep.so");
  folder("v/dir.so");
  EXPECT_EQ(sharedObjectsIn(root / "v"),
            (std::vector<fs::path>{root / "v/A.SO", root / "v/b.so", root / "v/one/two/c.so"}));
  EXPECT_TRUE(sharedObjectsIn(root / "missing").empty());
  EXPECT_EQ(pluginName("x/Pellvo.so"), "Pellvo");
  EXPECT_EQ(pluginName("x/Loud.SO"), "Loud");
}

TEST_F(PluginSearch, NamesMatchRegardlessOfCaseAndTheFirstFolderWins) {
  make("first/Echo.so");
  make("second/echo.so");
  make("second/Other.so");
  const std::vector<fs::path> folders = {root / "first", root / "second"};
  EXPECT_EQ(findPlugin("ECHO", folders), root / "first/Echo.so");
  EXPECT_EQ(findPlugin("other", folders), root / "second/Other.so");
  EXPECT_FALSE(findPlugin("none", folders).has_value());
}

TEST_F(PluginSearch, ArgumentsWithASlashArePaths) {
  SearchEnvironment environment;
  environment.pluginPath = folder("p").string();
  make("p/Thing.so");
  const fs::path direct = make("elsewhere/Direct.so");
  EXPECT_EQ(resolvePlugin("thing", environment), root / "p/Thing.so");
  EXPECT_EQ(resolvePlugin("Thing.so", environment), root / "p/Thing.so");
  EXPECT_EQ(resolvePlugin(direct.string(), environment), direct);
  EXPECT_THROW(resolvePlugin((root / "p/Missing.so").string(), environment), CommandFailure);
  EXPECT_THROW(resolvePlugin((root / "p").string(), environment), CommandFailure);
  EXPECT_THROW(resolvePlugin("Direct", environment), CommandFailure);
  EXPECT_THROW(resolvePlugin("", environment), CommandFailure);
}

}  // namespace
}  // namespace kqfx::command

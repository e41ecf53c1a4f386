// The real file system of the platform the tests run on (POSIX natively,
// Win32 under Wine).
#include "text/filesystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "../support/temp_dir.h"

namespace lh::text {
namespace {

TEST(RealFileSystem, AppendCreatesAndExtends) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string log = dir.file("bein");
  EXPECT_FALSE(fs->readAll(log).has_value());
  ASSERT_TRUE(fs->append(log, std::string("ab\0c", 4)));
  ASSERT_TRUE(fs->append(log, "\r\nd"));
  EXPECT_EQ(fs->readAll(log), std::string("ab\0c\r\nd", 7));
}

TEST(RealFileSystem, ReplaceSwapsTheWholeFileAndLeavesNoTemporary) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string f = dir.file("udb");
  ASSERT_TRUE(fs->write(f, "old contents that are longer"));
  ASSERT_TRUE(fs->replace(f, "new"));
  EXPECT_EQ(fs->readAll(f), "new");
  EXPECT_FALSE(fs->exists(f + ".new"));
  ASSERT_TRUE(fs->replace(dir.file("fresh"), ""));
  EXPECT_EQ(fs->readAll(dir.file("fresh")), "");
}

TEST(RealFileSystem, AMappedFileKeepsItsBytesWhenMovedAsideAndReplaced) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string f = dir.file("udb");
  const std::string contents(100000, 'x');
  ASSERT_TRUE(fs->write(f, contents + "end"));
  auto view = fs->map(f);
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->bytes().size(), contents.size() + 3);
  // What a fold does while the store maps its file: move it aside, put the
  // new one in its place.
  ASSERT_TRUE(fs->write(f + ".next", "new"));
  if (!fs->rename(f + ".next", f)) {
    ASSERT_TRUE(fs->rename(f, f + ".old"));
    ASSERT_TRUE(fs->rename(f + ".next", f));
  }
  EXPECT_EQ(fs->readAll(f), "new");
  EXPECT_EQ(view->bytes().substr(view->bytes().size() - 3), "end");
  view.reset();
  EXPECT_TRUE(fs->remove(f + ".old"));
  ASSERT_TRUE(fs->write(dir.file("empty"), ""));
  auto empty = fs->map(dir.file("empty"));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->bytes().empty());
  EXPECT_EQ(fs->map(dir.file("missing")), nullptr);
}

TEST(RealFileSystem, ReplaceFailsCleanlyWhenTheDirectoryIsMissing) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  EXPECT_FALSE(fs->replace(dir.file("missing\\udb"), "x"));
  EXPECT_FALSE(fs->append(dir.file("missing\\bein"), "x"));
}

TEST(RealFileSystem, RemoveRenameAndDirectories) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string a = dir.file("a"), b = dir.file("b");
  EXPECT_TRUE(fs->remove(a));  // missing counts as removed
  ASSERT_TRUE(fs->write(a, "1"));
  ASSERT_TRUE(fs->write(b, "2"));
  ASSERT_TRUE(fs->rename(a, b));  // replaces b
  EXPECT_FALSE(fs->exists(a));
  EXPECT_EQ(fs->readAll(b), "1");
  ASSERT_TRUE(fs->remove(b));
  EXPECT_FALSE(fs->exists(b));
  const std::string sub = dir.file("data");
  EXPECT_FALSE(fs->isDirectory(sub));
  ASSERT_TRUE(fs->makeDirectory(sub));
  EXPECT_TRUE(fs->isDirectory(sub));
  EXPECT_TRUE(fs->makeDirectory(sub));
}

// Another program reading one of our files for a moment: a stream opened the
// way most programs open a file to read it (on Windows, without letting it be
// deleted or renamed over), held on a thread of its own for `hold`.
class ForeignReader {
 public:
  ForeignReader(const std::filesystem::path& file, std::chrono::milliseconds hold) {
    thread_ = std::thread([this, file, hold] {
      std::ifstream in(file, std::ios::binary);
      open_ = in.is_open();
      holding_ = true;
      std::this_thread::sleep_for(hold);
    });
    while (!holding_) std::this_thread::yield();
  }
  ~ForeignReader() { thread_.join(); }
  bool open() const { return open_; }

 private:
  std::atomic<bool> holding_{false}, open_{false};
  std::thread thread_;
};

TEST(RealFileSystem, AFileAnotherProgramReadsForAMomentIsStillReplacedAndMoved) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string f = dir.file("icon");
  ASSERT_TRUE(fs->write(f, "old"));
  {
    ForeignReader reader(dir.native() / "icon", std::chrono::milliseconds(60));
    ASSERT_TRUE(reader.open());
    EXPECT_TRUE(fs->replace(f, "new"));
  }
  EXPECT_EQ(fs->readAll(f), "new");
  EXPECT_FALSE(fs->exists(f + ".new"));
  {
    // Moving it aside, as the store does with the file it has mapped.
    ForeignReader reader(dir.native() / "icon", std::chrono::milliseconds(60));
    ASSERT_TRUE(reader.open());
    EXPECT_TRUE(fs->rename(f, dir.file("icon.aside")));
  }
  EXPECT_EQ(fs->readAll(dir.file("icon.aside")), "new");
  EXPECT_FALSE(fs->exists(f));
}

#ifdef _WIN32
TEST(RealFileSystem, AFileHeldOpenLongerIsNotReplacedAndKeepsItsBytes) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string f = dir.file("config.ini");
  ASSERT_TRUE(fs->write(f, "old"));
  {
    ForeignReader reader(dir.native() / "config.ini", std::chrono::milliseconds(3000));
    ASSERT_TRUE(reader.open());
    EXPECT_FALSE(fs->replace(f, "new"));
    EXPECT_FALSE(fs->rename(f, dir.file("aside")));
  }
  EXPECT_EQ(fs->readAll(f), "old");
  EXPECT_FALSE(fs->exists(f + ".new"));
  EXPECT_FALSE(fs->exists(dir.file("aside")));
}
#endif

TEST(RealFileSystem, ChinesePathsAreGbk) {
  test::TempDir dir;
  auto fs = makeRealFileSystem();
  const std::string sub = dir.file("收藏");
  ASSERT_TRUE(fs->makeDirectory(sub));
  ASSERT_TRUE(fs->replace(sub + "\\数据", "x"));
  EXPECT_EQ(fs->readAll(sub + "\\数据"), "x");
  // The name on disk is the same text, in the system's own encoding.
  bool found = false;
  for (const auto& e : std::filesystem::directory_iterator(dir.native())) {
    found = found || e.path().filename() == std::filesystem::path(u8"收藏");
  }
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace lh::text

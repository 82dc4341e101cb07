// A folder the list shows pins nothing: the drive it is on can be unmounted while it is shown, and
// links still open once the folder the program was in is gone.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTest>
#include <cstdlib>
#include <memory>

#include "platform/Exception.h"
#include "platform/fs/PosixFileSystem.h"
#include "platform/shell/LinkOpener.h"
#include "tests/support/MountedImage.h"
#include "tests/support/TempFolder.h"
#include "widgets/TFileListBox.h"

namespace varnex {
namespace {

using test::MountedImage;
using test::TempFolder;

// A stick of some kind, mounted for the test.
class RemovableFolder : public testing::Test {
 protected:
  // False, with the reason in `whyNot`, where this machine cannot mount one.
  bool Mount(const std::string& kind) {
    whyNot = test::SkipReason(kind);
    try {
      stick = whyNot.empty() ? std::make_unique<MountedImage>(work, kind) : nullptr;
    } catch (const std::runtime_error& refused) {
      whyNot = std::string("this machine does not let the test mount an image: ") + refused.what();
    }
    return stick != nullptr;
  }

  TempFolder work;
  std::unique_ptr<MountedImage> stick;
  std::string whyNot;
  PosixFileSystem fs;
};

TEST_F(RemovableFolder, ShownFolderCanBeUnmounted) {
  if (!Mount("ext4")) {
    GTEST_SKIP() << whyNot;
  }
  const TempFolder album(stick->Path());
  const std::string song = album.File("song.mp3");
  TFileListBox list(fs);
  list.SetMask("*.mp3");
  list.show();
  // Folders and names given relative to the list's folder, as a stored folder may be.
  list.ApplyPath(stick->Path());
  list.ApplyPath(song.substr(stick->Path().size() + 1));
  ASSERT_EQ(list.SelectedFilePath(), song);

  EXPECT_TRUE(stick->Unmount()) << "the shown folder keeps its drive busy";
  EXPECT_EQ(list.FolderPath(), album.Path());
  EXPECT_THROW(list.RefillList(), EInOutError);  // as for any folder that went away
}

// A FAT or exFAT stick finds a file by its name in any case; the name shown and played is the one
// the stick holds.
TEST_F(RemovableFolder, NamesOnAStickThatIgnoresCaseAreAsItSpellsThem) {
  if (!Mount("exfat")) {
    GTEST_SKIP() << whyNot;
  }
  const TempFolder folder(stick->Path());
  folder.File("Song.MP3");
  folder.File("other.mp3");
  const auto found = fs.Find(folder / "song.mp3", 0)->Next();
  ASSERT_TRUE(found);
  EXPECT_EQ(found->name, "Song.MP3");

  TFileListBox list(fs);
  list.SetMask("*.iad");
  list.show();
  list.ApplyPath(folder / "SONG.mp3");
  EXPECT_EQ(list.Mask(), "Song.MP3");
  EXPECT_EQ(list.SelectedFilePath(), folder / "Song.MP3");
}

// A fake xdg-open that writes the folder it was started in, or why it has none.
TEST(DesktopLinkOpener, OpensLinksAfterTheWorkingFolderIsRemoved) {
  TempFolder folder;
  const std::string record = folder / "started in";
  folder.Folder("bin");
  chmod(folder.File("bin/xdg-open", "#!/bin/sh\n/bin/pwd -P > '" + record + "' 2>&1\n").c_str(),
        0755);
  const std::string path = std::getenv("PATH");
  setenv("PATH", (folder / "bin:" + path).c_str(), 1);
  const std::string gone = folder.Folder("gone");
  ASSERT_EQ(chdir(gone.c_str()), 0);
  ASSERT_EQ(rmdir(gone.c_str()), 0);

  DesktopLinkOpener().Open("https://example.org/");
  ASSERT_EQ(chdir("/"), 0);
  setenv("PATH", path.c_str(), 1);
  QElapsedTimer waited;
  waited.start();
  while (test::ReadFile(record).empty() && waited.elapsed() < 10000) {
    QTest::qWait(20);
  }
  EXPECT_EQ(test::ReadFile(record), "/\n");
}

}  // namespace
}  // namespace varnex

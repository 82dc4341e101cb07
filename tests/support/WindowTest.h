#pragma once

#include <gtest/gtest.h>

#include <QRadioButton>
#include <QTest>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/TMp3Form.h"
#include "platform/fs/PosixFileSystem.h"
#include "tests/support/FakeFolderDialog.h"
#include "tests/support/MemoryRegistryStore.h"
#include "tests/support/ModalCloser.h"
#include "tests/support/RecordingLinkOpener.h"
#include "tests/support/TempFolder.h"

namespace varnex::test {

// The main window on real folders, with what a test must not touch stood in for: the settings
// live in memory, the folder dialog answers as told, links are only recorded, and message boxes
// are closed (and remembered) as they come up.
class WindowTest : public testing::Test {
 protected:
  // Each test starts in a directory that exists: the one a test before it ran in may be gone.
  WindowTest() { fs.SetCurrentDirectory(folder.Path()); }

  // The window as the program makes it, not yet shown. A relative argument is taken from
  // `startDirectory`, by default the directory the file system is in.
  std::unique_ptr<TMp3Form> MakeWindow(std::vector<std::string> arguments = {},
                                       std::optional<std::string> startDirectory = {}) {
    return std::make_unique<TMp3Form>(fs, settings, folderDialog, links,
                                      startDirectory.value_or(fs.CurrentDirectory()),
                                      std::move(arguments));
  }

  // The window as the program makes it, shown.
  std::unique_ptr<TMp3Form> Start(std::vector<std::string> arguments = {}) {
    auto form = MakeWindow(std::move(arguments));
    form->show();
    return form;
  }

  // Clicks entry `index` of the choice: 0 for mp3, 1 for iad.
  static void ClickChoice(TMp3Form& form, int index) {
    QTest::mouseClick(form.rg->findChildren<QRadioButton*>().at(index), Qt::LeftButton);
  }

  // The choice, the list's mask and the convert button's caption all show entry `index`.
  static void ExpectChoice(const TMp3Form& form, int index) {
    EXPECT_EQ(form.rg->ItemIndex(), index);
    EXPECT_EQ(form.FileListBox1->Mask(), index == 0 ? "*.mp3" : "*.iad");
    EXPECT_EQ(form.convertirBtn->text(),
              index == 0 ? QStringLiteral("mp3 => iad") : QStringLiteral("iad => mp3"));
  }

  TempFolder folder;
  PosixFileSystem fs;
  MemoryRegistryStore settings;
  FakeFolderDialog folderDialog;
  RecordingLinkOpener links;
  ModalCloser boxes;
};

}  // namespace varnex::test

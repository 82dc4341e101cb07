#include "RegFileStore.h"

#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <cstdlib>

#include "FileLock.h"
#include "RegeditFormat.h"
#include "SettingsFile.h"

namespace varnex {

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER\\";
constexpr int kLockWaitMilliseconds = 3000;

QString QPath(const std::string& path) {
  return QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size()));
}

class RegFileKey final : public RegistryKey {
 public:
  RegFileKey(std::string filePath, std::string keyPath, std::unique_ptr<FileLock> lock)
      : filePath_(std::move(filePath)),
        file_(filePath_),
        keyPath_(std::move(keyPath)),
        lock_(std::move(lock)) {}

  bool Locked() const { return lock_->state() == FileLock::State::Locked; }

  // Reads the file; false when it exists but cannot be read at all.
  bool Load() {
    std::string text;
    switch (file_.Read(text)) {
      case SettingsFile::State::Missing:
        return true;
      case SettingsFile::State::Unreadable:
        return false;
      case SettingsFile::State::NotRegular:
        unparsable_ = true;
        return true;
      case SettingsFile::State::Read:
        break;
    }
    if (auto parsed = RegeditDocument::Parse(text)) {
      document_ = std::move(*parsed);
    } else {
      unparsable_ = true;
    }
    return true;
  }

  // Creates the key in the file when it is not there yet; false when that cannot be written.
  bool EnsureKey() {
    if (document_.HasKey(keyPath_)) {
      return true;
    }
    document_.AddKey(keyPath_);
    if (!Locked()) {
      return true;  // read only: the key exists here alone, and reads as empty
    }
    try {
      Save();
      return true;
    } catch (const ERegistryException&) {
      return false;
    }
  }

  std::optional<RegistryValue> QueryValue(const std::string& name) override {
    return document_.Value(keyPath_, name);
  }

  void SetValue(const std::string& name, const RegistryValue& value) override {
    const RegeditDocument before = document_;
    document_.SetValue(keyPath_, name, value);
    try {
      Save();
    } catch (const ERegistryException&) {
      document_ = before;
      throw;
    }
  }

 private:
  void Save() {
    // Writing unlocked could undo what another instance writes at the same moment; and the lock
    // must not be turned off by whatever someone plants at its name.
    if (!Locked()) {
      throw ERegistryException("The settings file cannot be locked");
    }
    struct stat status;
    if (stat(filePath_.c_str(), &status) == 0 && !(status.st_mode & S_IWUSR)) {
      throw ERegistryException("The settings file is read-only");
    }
    if (unparsable_) {
      // Kept for the user to look at; the new file replaces only what could not be read.
      if (!file_.KeepAside()) {
        throw ERegistryException("Cannot keep the unreadable settings file aside");
      }
      unparsable_ = false;
    }
    if (!file_.Replace(document_.Text())) {
      throw ERegistryException("Cannot write the settings file");
    }
  }

  std::string filePath_;
  SettingsFile file_;
  std::string keyPath_;
  std::unique_ptr<FileLock> lock_;
  RegeditDocument document_;
  bool unparsable_ = false;
};

}  // namespace

RegFileStore::RegFileStore(std::string filePath) : filePath_(std::move(filePath)) {}

std::string RegFileStore::DefaultPath() {
  const char* configHome = std::getenv("XDG_CONFIG_HOME");
  std::string folder;
  if (configHome != nullptr && configHome[0] == '/') {
    folder = configHome;
  } else {
    const char* home = std::getenv("HOME");
    folder = std::string(home != nullptr ? home : "") + "/.config";
  }
  return folder + "/Varnex/registry.reg";
}

std::unique_ptr<RegistryKey> RegFileStore::CreateKey(const std::string& path) {
  QDir().mkpath(QFileInfo(QPath(filePath_)).absolutePath());
  auto lock = std::make_unique<FileLock>(filePath_ + ".lock", kLockWaitMilliseconds);
  if (lock->state() == FileLock::State::Busy) {
    return nullptr;  // another program holds the settings for too long
  }
  // Without a lock (no permission, or something planted at its name) the key can be read, but
  // every write fails.
  auto key = std::make_unique<RegFileKey>(filePath_, kRoot + path, std::move(lock));
  if (!key->Load() || !key->EnsureKey()) {
    return nullptr;
  }
  return key;
}

}  // namespace varnex

#pragma once

#include <string>

#include "tests/support/TempFolder.h"

namespace varnex::test {

// The first line a shell command prints; throws std::runtime_error when it fails.
std::string Run(const std::string& command);

// A file system of a kind ("local": the temporary folder's own, "tmpfs", "ext4" on a loop device,
// "ntfs" or "exfat" through FUSE) mounted at `work`/mnt for the object's lifetime.
class MountedImage {
 public:
  // Throws std::runtime_error when the image cannot be made or mounted, leaving nothing behind.
  MountedImage(const TempFolder& work, const std::string& kind);
  MountedImage(const MountedImage&) = delete;
  MountedImage& operator=(const MountedImage&) = delete;
  ~MountedImage();

  const std::string& Path() const { return mountPoint_; }

  // Unmounts now, as a user ejecting a drive would (not lazily); false when the system refuses.
  bool Unmount();
  // Unmounted and mounted again, as a removable drive plugged in again is (images on a loop
  // device only).
  void Remount();

 private:
  void Mount(const TempFolder& work, const std::string& kind);
  void Release();

  std::string mountPoint_;
  std::string loopDevice_;
  std::string kind_;
};

// Why an image of the kind cannot be mounted here (not root, no /dev/fuse, a tool missing), or
// empty when it can be tried.
std::string SkipReason(const std::string& kind);

}  // namespace varnex::test

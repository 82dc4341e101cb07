"""A read-only view of a folder through FUSE whose listing comes slowly, a few milliseconds per
entry, as from a network share. Names are listed ".iad" first, then the others, each group in
name order. Each time a listing has been given whole, a line "end <monotonic seconds>" is
appended to the log file.

usage: slowfs.py SOURCE MOUNTPOINT LOG DELAY_SECONDS (stays in the foreground until unmounted)"""

import errno
import os
import sys
import time

import fusepy


class SlowListing(fusepy.Operations):
    use_ns = True

    def __init__(self, source, log, delay):
        self.source = source
        self.log = log
        self.delay = delay
        self.listings = {}
        self.next_handle = 1

    def getattr(self, path, fh=None):
        try:
            status = os.lstat(self.source + path)
        except OSError as error:
            raise fusepy.FuseOSError(error.errno)
        return {"st_mode": status.st_mode, "st_nlink": status.st_nlink,
                "st_size": status.st_size, "st_uid": status.st_uid, "st_gid": status.st_gid,
                "st_atime": status.st_atime_ns, "st_mtime": status.st_mtime_ns,
                "st_ctime": status.st_ctime_ns}

    def opendir(self, path):
        if not os.path.isdir(self.source + path):
            raise fusepy.FuseOSError(errno.ENOTDIR)
        names = sorted(os.listdir(self.source + path), key=lambda n: (not n.endswith(".iad"), n))
        handle = self.next_handle
        self.next_handle += 1
        self.listings[handle] = [names, 0, False]
        return handle

    def readdir(self, path, fh):
        # The kernel asks for a page of entries at a time and comes back for the rest; an entry
        # that did not fit is not counted, so the next request starts with it.
        listing = self.listings[fh]
        names = listing[0]
        while listing[1] < len(names):
            time.sleep(self.delay)
            yield names[listing[1]], None, listing[1] + 1
            listing[1] += 1
        if not listing[2]:  # the kernel may ask once more past the end
            listing[2] = True
            with open(self.log, "a") as log:
                log.write(f"end {time.monotonic()}\n")

    def releasedir(self, path, fh):
        self.listings.pop(fh, None)
        return 0


if __name__ == "__main__":
    source, mountpoint, log, delay = sys.argv[1:5]
    fusepy.FUSE(SlowListing(source, log, float(delay)), mountpoint, foreground=True, ro=True,
                nothreads=True, entry_timeout=0, attr_timeout=0)

#pragma once

#include <QMimeData>
#include <string>
#include <vector>

namespace varnex {

// The local files and folders of a drop, in the order dropped, each as the bytes of its path.
// The URI list is decoded by hand: going through QString would lose the bytes of names that are
// not valid UTF-8. Entries that name no file (links) are left out; a file name that cannot be
// used (another machine's, or one with an encoded NUL or "/") ends the list, so that the names
// after it never stand in for it.
std::vector<std::string> DroppedLocalNames(const QMimeData& data);

}  // namespace varnex

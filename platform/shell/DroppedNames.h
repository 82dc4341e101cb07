#pragma once

#include <QMimeData>
#include <string>
#include <vector>

namespace varnex {

// The local files and folders of a drop, in the order dropped, each as the bytes of its path.
// The URI list is decoded by hand: going through QString would lose the bytes of names that are
// not valid UTF-8. Names that are not local files, and names with an encoded NUL, are left out.
std::vector<std::string> DroppedLocalNames(const QMimeData& data);

}  // namespace varnex

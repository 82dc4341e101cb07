#include "FontConfiguration.h"

#include <fontconfig/fontconfig.h>

namespace varnex {

// Reading them on two threads at once is safe, only wasted: the library keeps one configuration.
void LoadFontConfiguration() {
  FcInit();
}

}  // namespace varnex

#include "Tdm.h"

namespace varnex {

Tdm::Tdm(ComRuntime& runtime, ErrorReport reportError)
    : fg(runtime), reportError_(std::move(reportError)) {
  fg.ErrorReport = reportError_;
  fg.SetAutoCreate(true);
  fg.SetGraphEdit(false);
  fg.Loaded();
}

Tdm::~Tdm() {
  try {
    DataModuleDestroy();
  } catch (const std::exception& error) {
    if (reportError_) {
      reportError_(error);
    }
  }
}

void Tdm::DataModuleDestroy() {
  fg.EmptyGraph();
  fg.SetActive(false);
}

}  // namespace varnex

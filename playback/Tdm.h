#pragma once

#include <exception>
#include <functional>

#include "playback/TFilterGraph.h"

namespace varnex {

// The media module: holds the one media graph component, fg, stored with AutoCreate on and
// GraphEdit off, so an empty graph is active as soon as the module is loaded.
class Tdm {
 public:
  using ErrorReport = std::function<void(const std::exception&)>;

  // `reportError` takes a failure of the module's destruction, as the general error report does.
  Tdm(ComRuntime& runtime, ErrorReport reportError);
  Tdm(const Tdm&) = delete;
  Tdm& operator=(const Tdm&) = delete;
  ~Tdm();

  // Empties the graph, then deactivates it.
  void DataModuleDestroy();

  TFilterGraph fg;

 private:
  ErrorReport reportError_;
};

}  // namespace varnex

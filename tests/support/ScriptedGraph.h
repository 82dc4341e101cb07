#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/media/ComRuntime.h"

namespace varnex::test {

// A media graph whose every result the test chooses and whose every call is written to a shared
// log, with two filters of two pins each. Register() makes it what CLSID_FilterGraph creates.
struct GraphScript {
  std::vector<std::string> log;
  std::map<std::string, HRESULT> results;  // by call name; S_OK when not given
  FILTER_STATE state = State_Stopped;
  HRESULT stateResult = S_OK;  // VFW_S_STATE_INTERMEDIATE for a graph still on its way to `state`
  std::int64_t position = 0;   // in units of 100 ns
  std::function<void()> whileRendering;  // runs inside RenderFile, before its result
  int graphsMade = 0;
  bool withMediaEvents = true;
  std::deque<std::tuple<std::int32_t, LONG_PTR, LONG_PTR>> events;  // what GetEvent hands out

  HRESULT ResultOf(const std::string& call) {
    const auto found = results.find(call);
    return found == results.end() ? S_OK : found->second;
  }

  void Register(ComRuntime& runtime);
  // Also makes capture and DVD builders creatable, each answering the interfaces listed.
  void RegisterCaptureBuilder(ComRuntime& runtime);
  void RegisterDvdBuilder(ComRuntime& runtime);
};

}  // namespace varnex::test

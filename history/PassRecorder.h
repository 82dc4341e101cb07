#pragma once

#include <string>
#include <system_error>

#include "conversion/ConvertFolder.h"
#include "history/History.h"

namespace varnex {

// Keeps the journal of each pass it watches: every planned rename, written whole before the
// first, with each rename by link and unlink added before its link; once the pass is over, cut
// down to exactly the renames that happened. A pass whose journal cannot be written still runs;
// it just cannot be undone.
class PassRecorder final : public PassObserver {
 public:
  explicit PassRecorder(History& history) : history_(history) {}

  void Planned(ListedFolder& folder, const ConversionPlan& plan) override;
  void BeforeLinking(std::size_t step, std::uint64_t links) override;
  void Finished(const ConversionPlan& plan) override;

  // Why the journal of the last pass that planned a rename could not be written; empty when it
  // was.
  std::error_code Error() const { return error_; }

 private:
  History& history_;
  std::string journal_;  // of the pass under way
  PassRecord pass_;
  std::error_code error_;
};

}  // namespace varnex

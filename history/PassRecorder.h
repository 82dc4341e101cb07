#pragma once

#include <string>
#include <system_error>
#include <vector>

#include "conversion/ConvertFolder.h"
#include "history/History.h"

namespace varnex {

// Keeps the journal of each pass it watches: written whole before the first rename, then cut
// down to the renames that happened. A pass whose journal cannot be written still runs; it just
// cannot be undone.
class PassRecorder final : public PassObserver {
 public:
  PassRecorder(FileSystem& fs, History& history) : fs_(fs), history_(history) {}

  void BeforeRenaming(const std::string& folder, const std::string& fromExtension,
                      const std::string& toExtension, const ConversionPlan& plan) override;
  void AfterRenaming(const ConversionPlan& plan) override;

  // Why the journal of the last pass could not be written; empty when it was, or was not needed.
  std::error_code Error() const { return error_; }

 private:
  void RecordBirths(const std::string& folder);

  FileSystem& fs_;
  History& history_;
  std::string journal_;  // of the pass under way
  PassRecord pass_;
  std::vector<std::size_t> planned_;  // the index in the plan of each rename in pass_
  std::error_code error_;
};

}  // namespace varnex

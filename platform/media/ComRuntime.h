#pragma once

#include <functional>
#include <map>
#include <string>

#include "ComModel.h"

namespace varnex {

// What the component model offers a process: object creation over a table of class factories,
// the running object table (kept per process: there is no system-wide one here), item monikers,
// and the texts of result codes.
class ComRuntime {
 public:
  using Factory = std::function<HRESULT(const IID& iid, void** object)>;

  ComRuntime();

  // Makes `clsid` creatable; a later registration of the same class replaces the earlier one.
  void RegisterClass(const CLSID& clsid, Factory factory);

  HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::int32_t context,
                           const IID& iid, void** object);
  HRESULT GetRunningObjectTable(std::uint32_t reserved, IRunningObjectTable** table);
  HRESULT CreateItemMoniker(const std::u16string& delimiter, const std::u16string& item,
                            IMoniker** moniker);
  std::uint32_t GetCurrentProcessId() const;
  // How many objects the running object table holds, as a tool listing it would see.
  std::size_t RunningObjectCount() const;

  // The text of a result code, written to `buffer` (at most `maxLength` characters, then a NUL);
  // returns the length written, 0 for a code without a text.
  std::uint32_t AMGetErrorText(HRESULT result, char* buffer, std::uint32_t maxLength) const;
  // Gives a code its text, replacing the one it had.
  void SetErrorText(HRESULT result, std::string text);

 private:
  std::map<CLSID, Factory> factories_;
  std::map<HRESULT, std::string> errorTexts_;
  ComPtr<IRunningObjectTable> runningObjects_;
};

}  // namespace varnex

#include "ComRuntime.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace varnex {

namespace {

class ItemMoniker final : public ComObject<ItemMoniker, IMoniker> {
 public:
  explicit ItemMoniker(std::u16string name) : name_(std::move(name)) {}
  IUnknown* Find(const IID&) { return nullptr; }

 private:
  std::u16string name_;
};

// Registered objects by cookie; the table holds a reference to each until it is revoked.
class RunningObjectTable final : public ComObject<RunningObjectTable, IRunningObjectTable> {
 public:
  IUnknown* Find(const IID&) { return nullptr; }

  HRESULT Register(std::int32_t, IUnknown* object, IMoniker* name, std::uint32_t* cookie) override {
    if (object == nullptr || name == nullptr || cookie == nullptr) {
      return E_INVALIDARG;
    }
    object->AddRef();
    *cookie = nextCookie_++;
    entries_[*cookie] = ComPtr<IUnknown>::Attach(object);
    return S_OK;
  }

  HRESULT Revoke(std::uint32_t cookie) override {
    return entries_.erase(cookie) == 1 ? S_OK : E_INVALIDARG;
  }

  std::size_t Count() const { return entries_.size(); }

 private:
  std::map<std::uint32_t, ComPtr<IUnknown>> entries_;
  std::uint32_t nextCookie_ = 1;
};

struct ErrorText {
  HRESULT result;
  const char* text;
};

// Our own words for every code the player's graph returns.
constexpr ErrorText kErrorTexts[] = {
    {E_NOTIMPL, "Not implemented"},
    {E_NOINTERFACE, "No such interface supported"},
    {E_POINTER, "Invalid pointer"},
    {E_ABORT, "Operation aborted"},
    {E_FAIL, "Unspecified error"},
    {E_INVALIDARG, "One or more arguments are invalid"},
    {REGDB_E_CLASSNOTREG, "This kind of graph is not available here"},
    {VFW_E_NOT_FOUND, "The file does not exist"},
    {VFW_E_CANNOT_RENDER, "The file holds no sound that can be played"},
    {VFW_E_WRONG_STATE, "The graph already holds a file"},
    {VFW_E_TIMEOUT, "The file did not get ready to play in time"},
    {VFW_E_UNKNOWN_FILE_TYPE, "Only regular files can be played"},
};

}  // namespace

ComRuntime::ComRuntime()
    : runningObjects_(ComPtr<IRunningObjectTable>::Attach(new RunningObjectTable)) {
  for (const ErrorText& entry : kErrorTexts) {
    errorTexts_[entry.result] = entry.text;
  }
}

void ComRuntime::SetErrorText(HRESULT result, std::string text) {
  errorTexts_[result] = std::move(text);
}

void ComRuntime::RegisterClass(const CLSID& clsid, Factory factory) {
  factories_[clsid] = std::move(factory);
}

HRESULT ComRuntime::CoCreateInstance(const CLSID& clsid, IUnknown* outer, std::int32_t,
                                     const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  const auto factory = factories_.find(clsid);
  if (outer != nullptr || factory == factories_.end()) {
    return REGDB_E_CLASSNOTREG;
  }
  return factory->second(iid, object);
}

HRESULT ComRuntime::GetRunningObjectTable(std::uint32_t, IRunningObjectTable** table) {
  if (table == nullptr) {
    return E_POINTER;
  }
  runningObjects_->AddRef();
  *table = runningObjects_.Get();
  return S_OK;
}

HRESULT ComRuntime::CreateItemMoniker(const std::u16string& delimiter, const std::u16string& item,
                                      IMoniker** moniker) {
  if (moniker == nullptr) {
    return E_POINTER;
  }
  *moniker = new ItemMoniker(delimiter + item);
  return S_OK;
}

std::size_t ComRuntime::RunningObjectCount() const {
  return static_cast<RunningObjectTable*>(runningObjects_.Get())->Count();
}

std::uint32_t ComRuntime::GetCurrentProcessId() const {
  return static_cast<std::uint32_t>(getpid());
}

std::uint32_t ComRuntime::AMGetErrorText(HRESULT result, char* buffer,
                                         std::uint32_t maxLength) const {
  const auto found = errorTexts_.find(result);
  const std::string text = found == errorTexts_.end() ? std::string() : found->second;
  const std::size_t length = std::min<std::size_t>(text.size(), maxLength);
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<std::uint32_t>(length);
}

}  // namespace varnex

#pragma once

#include <atomic>
#include <compare>
#include <cstdint>
#include <string>
#include <utility>

namespace varnex {

// A small component model in the shape of the media-graph service the player was designed for:
// result codes, interface identifiers, counted references and the graph's interfaces, with the
// service's own values, so that the player's logic reads like its design.

using HRESULT = std::int32_t;
using ULONG = std::uint32_t;
using OAHWND = std::intptr_t;  // the object that receives graph notifications
using OAEVENT = std::int32_t;
using LONG_PTR = std::intptr_t;

constexpr HRESULT MakeResult(std::uint32_t bits) {
  return static_cast<HRESULT>(bits);
}

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = 0x00040237;
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002);
constexpr HRESULT E_POINTER = MakeResult(0x80004003);
constexpr HRESULT E_ABORT = MakeResult(0x80004004);
constexpr HRESULT E_FAIL = MakeResult(0x80004005);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154);
constexpr HRESULT VFW_E_NOT_FOUND = MakeResult(0x80040216);
constexpr HRESULT VFW_E_CANNOT_RENDER = MakeResult(0x80040218);
constexpr HRESULT VFW_E_WRONG_STATE = MakeResult(0x80040227);
constexpr HRESULT VFW_E_TIMEOUT = MakeResult(0x8004022E);
constexpr HRESULT VFW_E_UNKNOWN_FILE_TYPE = MakeResult(0x80040240);

// High bit clear: S_OK and S_FALSE both succeed.
constexpr bool Succeeded(HRESULT result) {
  return result >= 0;
}

struct GUID {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
  // NOLINTNEXTLINE(modernize-use-nullptr): the check takes the defaulted <=>'s own 0 for a pointer
  friend constexpr auto operator<=>(const GUID&, const GUID&) = default;
};
using IID = GUID;
using CLSID = GUID;

constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0, 0, 0, 0, 0, 0x46}};
constexpr CLSID CLSID_FilterGraph{
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IFilterGraph2{
    0x36B73882, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
constexpr IID IID_IGraphBuilder{
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IFilterGraph{
    0x56A8689F, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr CLSID CLSID_CaptureGraphBuilder2{
    0xBF87B6E1, 0x8C27, 0x11D0, {0xB3, 0xF0, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
constexpr IID IID_ICaptureGraphBuilder2{
    0x93E5A4E0, 0x2D50, 0x11D2, {0xAB, 0xFA, 0x00, 0xA0, 0xC9, 0xC6, 0xE3, 0x8D}};
constexpr CLSID CLSID_DvdGraphBuilder{
    0xFCC152B7, 0xF372, 0x11D0, {0x8E, 0x00, 0x00, 0xC0, 0x4F, 0xD7, 0xC0, 0x8B}};
constexpr IID IID_IDvdGraphBuilder{
    0xFCC152B6, 0xF372, 0x11D0, {0x8E, 0x00, 0x00, 0xC0, 0x4F, 0xD7, 0xC0, 0x8B}};
constexpr IID IID_IMediaEventEx{
    0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaControl{
    0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IBasicAudio{
    0x56A868B3, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IMediaSeeking{
    0x36B73880, 0xC2C8, 0x11CF, {0x8B, 0x46, 0x00, 0x80, 0x5F, 0x6C, 0xEF, 0x60}};
constexpr IID IID_IBaseFilter{
    0x56A86895, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
constexpr IID IID_IPin{
    0x56A86891, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

constexpr IID IID_IDvdInfo2{
    0x34151510, 0xEEC0, 0x11D2, {0x82, 0x01, 0x00, 0xA0, 0xC9, 0xD7, 0x48, 0x42}};

constexpr std::int32_t CLSCTX_INPROC_SERVER = 1;
constexpr std::int32_t AM_MEDIAEVENT_NONOTIFY = 1;

enum FILTER_STATE : std::int32_t { State_Stopped = 0, State_Paused = 1, State_Running = 2 };

class IUnknown {
 public:
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

// A counted reference: adds a reference when copied, releases it when it goes.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  ComPtr(const ComPtr& other) : pointer_(other.pointer_) { AddRef(); }
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(pointer_, other.pointer_);
    return *this;
  }
  ~ComPtr() { Reset(); }

  // Takes over a reference the caller already owns (as QueryInterface hands out).
  static ComPtr Attach(T* pointer) {
    ComPtr held;
    held.pointer_ = pointer;
    return held;
  }

  T* Get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  void Reset() {
    if (pointer_ != nullptr) {
      std::exchange(pointer_, nullptr)->Release();
    }
  }

  // Where a call that hands out a reference writes it; what was held is released first.
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  T** OutTyped() {
    Reset();
    return &pointer_;
  }

 private:
  void AddRef() {
    if (pointer_ != nullptr) {
      pointer_->AddRef();
    }
  }

  T* pointer_ = nullptr;
};

// The reference counting and identity of an object; Derived answers Find(iid) with the interface
// it implements or nullptr.
template <typename Derived, typename FirstInterface, typename... OtherInterfaces>
class ComObject : public FirstInterface, public OtherInterfaces... {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    IUnknown* found = iid == IID_IUnknown ? static_cast<FirstInterface*>(this)
                                          : static_cast<Derived*>(this)->Find(iid);
    *object = found;
    if (found == nullptr) {
      return E_NOINTERFACE;
    }
    found->AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++references_; }
  ULONG Release() override {
    const ULONG left = --references_;
    if (left == 0) {
      delete static_cast<Derived*>(this);
    }
    return left;
  }

 protected:
  virtual ~ComObject() = default;
  ULONG References() const { return references_; }

 private:
  std::atomic<ULONG> references_{1};
};

class IBaseFilter;
class IPin;
class IEnumPins;

class IEnumFilters : public IUnknown {
 public:
  // S_OK while it hands out `count` filters, S_FALSE at the end.
  virtual HRESULT Next(ULONG count, IBaseFilter** filters, ULONG* fetched) = 0;
};

class IEnumPins : public IUnknown {
 public:
  virtual HRESULT Next(ULONG count, IPin** pins, ULONG* fetched) = 0;
};

class IPin : public IUnknown {
 public:
  virtual HRESULT Disconnect() = 0;
};

class IBaseFilter : public IUnknown {
 public:
  virtual HRESULT EnumPins(IEnumPins** pins) = 0;
};

class IFilterGraph : public IUnknown {
 public:
  virtual HRESULT RemoveFilter(IBaseFilter* filter) = 0;
  virtual HRESULT EnumFilters(IEnumFilters** filters) = 0;
};

class IGraphBuilder : public IFilterGraph {
 public:
  virtual HRESULT RenderFile(const std::u16string& file, const std::u16string& playList) = 0;
  // Writes the graph's log to the open file `handle` (a descriptor), or stops with 0.
  virtual HRESULT SetLogFile(std::intptr_t handle) = 0;
};

class IFilterGraph2 : public IGraphBuilder {};

class IMediaControl : public IUnknown {
 public:
  virtual HRESULT Run() = 0;
  virtual HRESULT Stop() = 0;
  virtual HRESULT GetState(std::int32_t milliseconds, FILTER_STATE* state) = 0;
};

class IMediaEventEx : public IUnknown {
 public:
  virtual HRESULT GetEvent(std::int32_t* code, LONG_PTR* param1, LONG_PTR* param2,
                           std::int32_t milliseconds) = 0;
  virtual HRESULT FreeEventParams(std::int32_t code, LONG_PTR param1, LONG_PTR param2) = 0;
  virtual HRESULT SetNotifyWindow(OAHWND window, std::int32_t message, LONG_PTR instance) = 0;
  virtual HRESULT SetNotifyFlags(std::int32_t flags) = 0;
};

class IBasicAudio : public IUnknown {
 public:
  // Attenuation in hundredths of a decibel: -10000 (silence) .. 0 (full).
  virtual HRESULT put_Volume(std::int32_t volume) = 0;
};

class IMediaSeeking : public IUnknown {
 public:
  // How far the graph has played, in units of 100 nanoseconds.
  virtual HRESULT GetCurrentPosition(std::int64_t* position) = 0;
};

class ICaptureGraphBuilder2 : public IUnknown {
 public:
  virtual HRESULT SetFiltergraph(IGraphBuilder* graph) = 0;
};

class IDvdGraphBuilder : public IUnknown {
 public:
  virtual HRESULT GetFiltergraph(IGraphBuilder** graph) = 0;
  virtual HRESULT GetDvdInterface(const IID& iid, void** object) = 0;
};

// What a DVD navigator knows about the disc; no navigator exists here, so nothing answers for it.
class IDvdInfo2 : public IUnknown {
 public:
  virtual HRESULT GetAudioLanguage(ULONG stream, std::uint32_t* language) = 0;
  virtual HRESULT GetSubpictureLanguage(ULONG stream, std::uint32_t* language) = 0;
};

class IMoniker : public IUnknown {};

class IRunningObjectTable : public IUnknown {
 public:
  virtual HRESULT Register(std::int32_t flags, IUnknown* object, IMoniker* name,
                           std::uint32_t* cookie) = 0;
  virtual HRESULT Revoke(std::uint32_t cookie) = 0;
};

}  // namespace varnex

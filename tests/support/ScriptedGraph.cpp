#include "ScriptedGraph.h"

namespace varnex::test {

namespace {

class ScriptedPin final : public ComObject<ScriptedPin, IPin> {
 public:
  ScriptedPin(GraphScript& script, std::string name) : script_(script), name_(std::move(name)) {}
  IUnknown* Find(const IID& iid) { return iid == IID_IPin ? static_cast<IPin*>(this) : nullptr; }
  HRESULT Disconnect() override {
    script_.log.push_back("Disconnect " + name_);
    return script_.ResultOf("Disconnect " + name_);
  }

 private:
  GraphScript& script_;
  std::string name_;
};

template <typename Interface, typename Item>
class Enumerator final : public ComObject<Enumerator<Interface, Item>, Interface> {
 public:
  explicit Enumerator(std::vector<ComPtr<Item>> items) : items_(std::move(items)) {}
  IUnknown* Find(const IID&) { return nullptr; }
  HRESULT Next(ULONG, Item** item, ULONG* fetched) override {
    if (next_ == items_.size()) {
      return S_FALSE;
    }
    items_[next_]->AddRef();
    *item = items_[next_++].Get();
    if (fetched != nullptr)
      *fetched = 1;
    return S_OK;
  }

 private:
  std::vector<ComPtr<Item>> items_;
  std::size_t next_ = 0;
};

class ScriptedFilter final : public ComObject<ScriptedFilter, IBaseFilter> {
 public:
  ScriptedFilter(GraphScript& script, std::string name) : script_(script), name_(std::move(name)) {}
  IUnknown* Find(const IID& iid) {
    return iid == IID_IBaseFilter ? static_cast<IBaseFilter*>(this) : nullptr;
  }
  HRESULT EnumPins(IEnumPins** pins) override {
    *pins = new Enumerator<IEnumPins, IPin>(
        {ComPtr<IPin>::Attach(new ScriptedPin(script_, name_ + ".in")),
         ComPtr<IPin>::Attach(new ScriptedPin(script_, name_ + ".out"))});
    return S_OK;
  }
  const std::string& Name() const { return name_; }

 private:
  GraphScript& script_;
  std::string name_;
};

class ScriptedGraphObject final
    : public ComObject<ScriptedGraphObject, IFilterGraph2, IMediaControl, IMediaEventEx,
                       IBasicAudio, IMediaSeeking> {
 public:
  explicit ScriptedGraphObject(GraphScript& script)
      : script_(script), number_(++script.graphsMade) {}
  ~ScriptedGraphObject() override { Log("released"); }

  IUnknown* Find(const IID& iid) {
    if (iid == IID_IFilterGraph2 || iid == IID_IGraphBuilder || iid == IID_IFilterGraph) {
      return static_cast<IFilterGraph2*>(this);
    }
    if (iid == IID_IMediaControl)
      return static_cast<IMediaControl*>(this);
    if (iid == IID_IMediaEventEx && script_.withMediaEvents)
      return static_cast<IMediaEventEx*>(this);
    if (iid == IID_IBasicAudio)
      return static_cast<IBasicAudio*>(this);
    if (iid == IID_IMediaSeeking)
      return static_cast<IMediaSeeking*>(this);
    return nullptr;
  }

  HRESULT RenderFile(const std::u16string& file, const std::u16string&) override {
    Log("RenderFile " + std::string(file.begin(), file.end()));
    if (script_.whileRendering) {
      script_.whileRendering();
    }
    return script_.ResultOf("RenderFile");
  }
  HRESULT SetLogFile(std::intptr_t handle) override {
    Log(handle == 0 ? "SetLogFile 0" : "SetLogFile open");
    return S_OK;
  }
  HRESULT RemoveFilter(IBaseFilter* filter) override {
    const std::string name = static_cast<ScriptedFilter*>(filter)->Name();
    Log("RemoveFilter " + name);
    return script_.ResultOf("RemoveFilter " + name);
  }
  HRESULT EnumFilters(IEnumFilters** filters) override {
    *filters = new Enumerator<IEnumFilters, IBaseFilter>(
        {ComPtr<IBaseFilter>::Attach(new ScriptedFilter(script_, "source")),
         ComPtr<IBaseFilter>::Attach(new ScriptedFilter(script_, "sink"))});
    return S_OK;
  }
  HRESULT Run() override {
    Log("Run");
    return script_.ResultOf("Run");
  }
  // A graph that stops reports itself stopped.
  HRESULT Stop() override {
    Log("Stop");
    const HRESULT result = script_.ResultOf("Stop");
    if (Succeeded(result)) {
      script_.state = State_Stopped;
    }
    return result;
  }
  HRESULT GetState(std::int32_t, FILTER_STATE* state) override {
    *state = script_.state;
    return script_.stateResult;
  }
  HRESULT GetCurrentPosition(std::int64_t* position) override {
    *position = script_.position;
    return script_.ResultOf("GetCurrentPosition");
  }
  HRESULT put_Volume(std::int32_t volume) override {
    Log("put_Volume " + std::to_string(volume));
    return S_OK;
  }
  HRESULT GetEvent(std::int32_t* code, LONG_PTR* param1, LONG_PTR* param2, std::int32_t) override {
    if (script_.events.empty()) {
      return E_ABORT;
    }
    std::tie(*code, *param1, *param2) = script_.events.front();
    script_.events.pop_front();
    return S_OK;
  }
  HRESULT FreeEventParams(std::int32_t code, LONG_PTR, LONG_PTR) override {
    script_.log.push_back("FreeEventParams " + std::to_string(code));
    return S_OK;
  }
  HRESULT SetNotifyWindow(OAHWND window, std::int32_t message, LONG_PTR) override {
    Log(std::string("SetNotifyWindow ") + (window != 0 ? "window " : "none ") +
        std::to_string(message));
    return S_OK;
  }
  HRESULT SetNotifyFlags(std::int32_t flags) override {
    Log("SetNotifyFlags " + std::to_string(flags));
    return S_OK;
  }

 private:
  void Log(const std::string& call) {
    script_.log.push_back("graph" + std::to_string(number_) + " " + call);
  }

  GraphScript& script_;
  int number_;
};

class ScriptedCaptureBuilder final
    : public ComObject<ScriptedCaptureBuilder, ICaptureGraphBuilder2> {
 public:
  explicit ScriptedCaptureBuilder(GraphScript& script) : script_(script) {}
  IUnknown* Find(const IID& iid) {
    return iid == IID_ICaptureGraphBuilder2 ? static_cast<ICaptureGraphBuilder2*>(this) : nullptr;
  }
  HRESULT SetFiltergraph(IGraphBuilder* graph) override {
    script_.log.push_back(graph != nullptr ? "SetFiltergraph graph" : "SetFiltergraph none");
    return S_OK;
  }

 private:
  GraphScript& script_;
};

class ScriptedDvdBuilder final : public ComObject<ScriptedDvdBuilder, IDvdGraphBuilder> {
 public:
  explicit ScriptedDvdBuilder(GraphScript& script) : script_(script) {}
  IUnknown* Find(const IID& iid) {
    return iid == IID_IDvdGraphBuilder ? static_cast<IDvdGraphBuilder*>(this) : nullptr;
  }
  HRESULT GetFiltergraph(IGraphBuilder** graph) override {
    script_.log.push_back("GetFiltergraph");
    *graph = new ScriptedGraphObject(script_);
    return S_OK;
  }
  HRESULT GetDvdInterface(const IID& iid, void** object) override {
    script_.log.push_back("GetDvdInterface");
    *object = nullptr;
    return iid == IID_IBasicAudio ? E_NOINTERFACE : E_NOINTERFACE;
  }

 private:
  GraphScript& script_;
};

}  // namespace

void GraphScript::Register(ComRuntime& runtime) {
  runtime.RegisterClass(CLSID_FilterGraph, [this](const IID& iid, void** object) {
    log.push_back("CoCreateInstance FilterGraph");
    const auto graph = ComPtr<IFilterGraph2>::Attach(new ScriptedGraphObject(*this));
    return graph->QueryInterface(iid, object);
  });
}

void GraphScript::RegisterCaptureBuilder(ComRuntime& runtime) {
  runtime.RegisterClass(CLSID_CaptureGraphBuilder2, [this](const IID& iid, void** object) {
    log.push_back("CoCreateInstance CaptureGraphBuilder2");
    const auto builder = ComPtr<ICaptureGraphBuilder2>::Attach(new ScriptedCaptureBuilder(*this));
    return builder->QueryInterface(iid, object);
  });
}

void GraphScript::RegisterDvdBuilder(ComRuntime& runtime) {
  runtime.RegisterClass(CLSID_DvdGraphBuilder, [this](const IID& iid, void** object) {
    log.push_back("CoCreateInstance DvdGraphBuilder");
    const auto builder = ComPtr<IDvdGraphBuilder>::Attach(new ScriptedDvdBuilder(*this));
    return builder->QueryInterface(iid, object);
  });
}

}  // namespace varnex::test

#include "TFilterGraph.h"

#include <QEvent>
#include <cstdio>

namespace varnex {

namespace {

std::u16string Widened(const std::string& ascii) {
  return {ascii.begin(), ascii.end()};
}

template <typename T>
ComPtr<T> Query(TFilterGraph& graph, const IID& iid) {
  ComPtr<T> found;
  if (!Succeeded(graph.QueryInterface(iid, found.Out()))) {
    found.Reset();
  }
  return found;
}

}  // namespace

HRESULT CheckGraphResult(ComRuntime& runtime, HRESULT result) {
  if (Succeeded(result)) {
    return result;
  }
  char code[16];
  std::snprintf(code, sizeof code, " ($%X).", static_cast<std::uint32_t>(result));
  throw EDirectShowException(GraphErrorText(runtime, result) + code, result);
}

std::string GraphErrorText(ComRuntime& runtime, HRESULT result) {
  char buffer[256] = {};
  runtime.AMGetErrorText(result, buffer, 255);
  return buffer;
}

HRESULT RegisterGraphInRot(ComRuntime& runtime, IUnknown* graph, std::uint32_t& cookie) {
  ComPtr<IRunningObjectTable> table;
  HRESULT result = runtime.GetRunningObjectTable(0, table.OutTyped());
  if (result != S_OK) {
    return result;
  }
  char name[64];
  std::snprintf(name, sizeof name, "FilterGraph %0*llX pid %X", static_cast<int>(2 * sizeof(void*)),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(graph)),
                runtime.GetCurrentProcessId());
  ComPtr<IMoniker> moniker;
  result = runtime.CreateItemMoniker(u"!", Widened(name), moniker.OutTyped());
  if (result != S_OK) {
    return result;
  }
  return table->Register(0, graph, moniker.Get(), &cookie);
}

HRESULT RevokeGraphFromRot(ComRuntime& runtime, std::uint32_t cookie) {
  ComPtr<IRunningObjectTable> table;
  HRESULT result = runtime.GetRunningObjectTable(0, table.OutTyped());
  if (result == S_OK) {
    result = table->Revoke(cookie);
  }
  return result;
}

TFilterList::TFilterList(IFilterGraph* graph) {
  ComPtr<IEnumFilters> filters;
  graph->EnumFilters(filters.OutTyped());
  IBaseFilter* filter = nullptr;
  while (filters && filters->Next(1, &filter, nullptr) == S_OK) {
    items_.push_back(ComPtr<IBaseFilter>::Attach(filter));
  }
}

TPinList::TPinList(IBaseFilter* filter) {
  ComPtr<IEnumPins> pins;
  filter->EnumPins(pins.OutTyped());
  IPin* pin = nullptr;
  while (pins && pins->Next(1, &pin, nullptr) == S_OK) {
    items_.push_back(ComPtr<IPin>::Attach(pin));
  }
}

void GraphNotifyWindow::customEvent(QEvent* event) {
  if (!WindowProc || !WindowProc(event)) {
    QObject::customEvent(event);
  }
}

TFilterGraph::TFilterGraph(ComRuntime& runtime)
    : runtime_(runtime), notifyWindow_(std::make_unique<GraphNotifyWindow>()) {
  notifyWindow_->WindowProc = [this](QEvent* message) { return NotifyWndProc(message); };
}

TFilterGraph::~TFilterGraph() {
  SetActive(false);
}

void TFilterGraph::Loaded() {
  if (autoCreate_) {
    SetActive(true);
  }
}

void TFilterGraph::SetActive(bool active) {
  if (active == active_) {
    return;
  }
  if (active) {
    Activate();
  } else {
    Deactivate();
  }
}

// There are no capture or DVD builders here: in those modes the component is active without a
// graph, and every step that would use one is skipped.
void TFilterGraph::Activate() {
  switch (mode_) {
    case gmNormal:
      runtime_.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterGraph2,
                                graphBuilder_.Out());
      break;
    case gmCapture:
      runtime_.CoCreateInstance(CLSID_CaptureGraphBuilder2, nullptr, CLSCTX_INPROC_SERVER,
                                IID_ICaptureGraphBuilder2, captureBuilder_.Out());
      if (captureBuilder_) {
        runtime_.CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IFilterGraph2, graphBuilder_.Out());
        captureBuilder_->SetFiltergraph(graphBuilder_.Get());
      }
      break;
    case gmDVD:
      runtime_.CoCreateInstance(CLSID_DvdGraphBuilder, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IDvdGraphBuilder, dvdBuilder_.Out());
      if (dvdBuilder_) {
        dvdBuilder_->GetFiltergraph(graphBuilder_.OutTyped());
      }
      break;
  }
  active_ = true;
  if (Succeeded(QueryInterface(IID_IMediaEventEx, mediaEvents_.Out()))) {
    mediaEvents_->SetNotifyFlags(0);
    mediaEvents_->SetNotifyWindow(reinterpret_cast<OAHWND>(notifyWindow_.get()), GraphNotifyMessage,
                                  reinterpret_cast<LONG_PTR>(mediaEvents_.Get()));
  } else {
    mediaEvents_.Reset();
  }
  SetGraphEdit(graphEdit_);
  SetLogFile(logFile_);
  if (OnActivate) {
    OnActivate(this);
  }
}

void TFilterGraph::Deactivate() {
  if (mediaEvents_) {
    mediaEvents_->SetNotifyFlags(AM_MEDIAEVENT_NONOTIFY);
    mediaEvents_.Reset();
  }
  if (rotCookie_ != 0) {
    RevokeGraphFromRot(runtime_, rotCookie_);
    rotCookie_ = 0;
  }
  if (graphBuilder_) {
    graphBuilder_->SetLogFile(0);
  }
  CloseLogStream();
  graphBuilder_.Reset();
  captureBuilder_.Reset();
  dvdBuilder_.Reset();
  active_ = false;
}

void TFilterGraph::SetMode(TGraphMode mode) {
  if (mode == mode_) {
    return;
  }
  const bool wasActive = active_;
  SetActive(false);
  mode_ = mode;
  SetActive(wasActive);
}

void TFilterGraph::SetGraphEdit(bool graphEdit) {
  if (!graphEdit && rotCookie_ != 0) {
    RevokeGraphFromRot(runtime_, rotCookie_);
    rotCookie_ = 0;
  }
  if (graphEdit && rotCookie_ == 0 && active_ && graphBuilder_) {
    RegisterGraphInRot(runtime_, graphBuilder_.Get(), rotCookie_);
  }
  graphEdit_ = graphEdit;
}

void TFilterGraph::SetLogFile(const std::string& name) {
  if (!active_) {
    logFile_ = name;
    return;
  }
  if (graphBuilder_) {
    graphBuilder_->SetLogFile(0);
  }
  CloseLogStream();
  if (name.empty()) {
    logFile_ = name;
    return;
  }
  logStream_ = LogStream(name);
  if (!logStream_.IsOpen()) {
    return;  // dropped quietly; the previous name stays
  }
  if (graphBuilder_) {
    graphBuilder_->SetLogFile(logStream_.Handle());
  }
  logFile_ = name;
}

void TFilterGraph::CloseLogStream() {
  logStream_ = LogStream();
}

HRESULT TFilterGraph::QueryInterface(const IID& iid, void** object) {
  *object = nullptr;
  if (!active_) {
    return E_NOINTERFACE;  // the component itself answers for no interface of the service
  }
  const auto fromGraph = [&] {
    return graphBuilder_ ? graphBuilder_->QueryInterface(iid, object) : E_NOINTERFACE;
  };
  switch (mode_) {
    case gmNormal:
      return fromGraph();
    case gmCapture:
      if (captureBuilder_ && Succeeded(captureBuilder_->QueryInterface(iid, object))) {
        return S_OK;
      }
      return fromGraph();
    case gmDVD:
      if (dvdBuilder_ && (Succeeded(dvdBuilder_->QueryInterface(iid, object)) ||
                          Succeeded(dvdBuilder_->GetDvdInterface(iid, object)))) {
        return S_OK;
      }
      return fromGraph();
  }
  return E_NOINTERFACE;
}

bool TFilterGraph::Play() {
  const auto control = Query<IMediaControl>(*this, IID_IMediaControl);
  if (!control) {
    return false;
  }
  CheckGraphResult(runtime_, control->Run());
  return true;
}

bool TFilterGraph::Stop() {
  const auto control = Query<IMediaControl>(*this, IID_IMediaControl);
  if (!control) {
    return false;
  }
  return CheckGraphResult(runtime_, control->Stop()) == S_OK;
}

TGraphPlayState TFilterGraph::GetPlayState() {
  const auto control = Query<IMediaControl>(*this, IID_IMediaControl);
  if (!control) {
    return psNone;
  }
  auto state = static_cast<FILTER_STATE>(-1);
  control->GetState(0, &state);
  switch (state) {
    case State_Stopped:
      return psStopped;
    case State_Paused:
      return psPaused;
    case State_Running:
      return psRunning;
  }
  return psNone;
}

bool TFilterGraph::IsBeingMadeReady() {
  const auto control = Query<IMediaControl>(*this, IID_IMediaControl);
  FILTER_STATE state;
  return control && control->GetState(0, &state) == VFW_S_STATE_INTERMEDIATE &&
         state == State_Paused;
}

std::int64_t TFilterGraph::PlayedMicroseconds() {
  const auto seeking = Query<IMediaSeeking>(*this, IID_IMediaSeeking);
  std::int64_t position = 0;  // in units of 100 ns
  if (!seeking || !Succeeded(seeking->GetCurrentPosition(&position))) {
    return 0;
  }
  return position / 10;
}

void TFilterGraph::SetVolumeLevel(std::int32_t level) {
  if (const auto audio = Query<IBasicAudio>(*this, IID_IBasicAudio)) {
    audio->put_Volume(level - 10000);
  }
}

HRESULT TFilterGraph::RenderMediaFile(const std::u16string& fileName) {
  if (!graphBuilder_) {
    return S_FALSE;
  }
  return CheckGraphResult(runtime_, graphBuilder_->RenderFile(fileName, u""));
}

void TFilterGraph::DisconnectAllPins() {
  if (!graphBuilder_) {
    return;
  }
  const TFilterList filters(graphBuilder_.Get());
  for (const ComPtr<IBaseFilter>& filter : filters.Items()) {
    const TPinList pins(filter.Get());
    for (const ComPtr<IPin>& pin : pins.Items()) {
      CheckGraphResult(runtime_, pin->Disconnect());
    }
  }
}

void TFilterGraph::EmptyGraph() {
  if (!graphBuilder_) {
    return;
  }
  Stop();
  DisconnectAllPins();
  const TFilterList filters(graphBuilder_.Get());
  for (const ComPtr<IBaseFilter>& filter : filters.Items()) {
    CheckGraphResult(runtime_, graphBuilder_->RemoveFilter(filter.Get()));
  }
}

}  // namespace varnex

#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Exception.h"
#include "platform/fs/LogStream.h"
#include "platform/media/ComRuntime.h"
#include "playback/GraphEvents.h"

namespace varnex {

enum TGraphMode { gmNormal = 0, gmCapture = 1, gmDVD = 2 };
enum TGraphPlayState { psNone = 0, psStopped = 1, psPaused = 2, psRunning = 3 };

// The message number of graph notifications (WM_APP + 1), used as the posted event's type.
constexpr std::int32_t GraphNotifyMessage = 0x8001;

// A failed result of the media-graph service, with the text of the code and the code itself.
class EDirectShowException : public Exception {
 public:
  EDirectShowException(const std::string& message, HRESULT resultCode)
      : Exception(message), resultCode_(resultCode) {}
  HRESULT ResultCode() const { return resultCode_; }

 private:
  HRESULT resultCode_;
};

// Returns a successful code unchanged; raises EDirectShowException for a failed one.
HRESULT CheckGraphResult(ComRuntime& runtime, HRESULT result);
// The service's text for a code, at most 255 characters.
std::string GraphErrorText(ComRuntime& runtime, HRESULT result);
HRESULT RegisterGraphInRot(ComRuntime& runtime, IUnknown* graph, std::uint32_t& cookie);
HRESULT RevokeGraphFromRot(ComRuntime& runtime, std::uint32_t cookie);

// Snapshots of a graph's filters and of a filter's pins, in the service's enumeration order.
class TFilterList {
 public:
  explicit TFilterList(IFilterGraph* graph);
  const std::vector<ComPtr<IBaseFilter>>& Items() const { return items_; }

 private:
  std::vector<ComPtr<IBaseFilter>> items_;
};

class TPinList {
 public:
  explicit TPinList(IBaseFilter* filter);
  const std::vector<ComPtr<IPin>>& Items() const { return items_; }

 private:
  std::vector<ComPtr<IPin>> items_;
};

// The hidden window the service posts graph notifications to, on the user-interface thread; it
// hands every event to its procedure.
class GraphNotifyWindow final : public QObject {
 public:
  std::function<bool(QEvent* event)> WindowProc;

 protected:
  void customEvent(QEvent* event) override;
};

// Owns one media graph: activates and deactivates it, builds it for a file, runs, stops, asks its
// state, sets its volume and empties it. Failures of the service raise EDirectShowException.
class TFilterGraph : public TGraphEvents {
 public:
  using TNotifyEvent = std::function<void(TFilterGraph* sender)>;

  explicit TFilterGraph(ComRuntime& runtime);
  TFilterGraph(const TFilterGraph&) = delete;
  TFilterGraph& operator=(const TFilterGraph&) = delete;
  virtual ~TFilterGraph();

  // After the stored properties are read: activates when AutoCreate is set.
  void Loaded();

  bool Active() const { return active_; }
  void SetActive(bool active);
  bool AutoCreate() const { return autoCreate_; }
  void SetAutoCreate(bool autoCreate) { autoCreate_ = autoCreate; }
  TGraphMode Mode() const { return mode_; }
  void SetMode(TGraphMode mode);
  // Registers the graph in the running object table, for graph inspection tools.
  bool GraphEdit() const { return graphEdit_; }
  void SetGraphEdit(bool graphEdit);
  const std::string& LogFile() const { return logFile_; }
  void SetLogFile(const std::string& name);

  TNotifyEvent OnActivate;

  // Answers for the service's objects it holds while active.
  HRESULT QueryInterface(const IID& iid, void** object);

  bool Play();
  bool Stop();
  TGraphPlayState GetPlayState();
  // True while the graph is still making a file ready to play: it starts once that is done.
  bool IsBeingMadeReady();
  // How far the graph has played, in microseconds; 0 where it cannot tell.
  std::int64_t PlayedMicroseconds();
  // `level` 10000 is full volume, 0 silence; one hundredth of a decibel per step.
  void SetVolumeLevel(std::int32_t level);
  HRESULT RenderMediaFile(const std::u16string& fileName);
  void DisconnectAllPins();
  void EmptyGraph();

  GraphNotifyWindow& NotifyWindow() { return *notifyWindow_; }

  // The notify window's procedure: a graph notification drains the queued events, reporting a
  // failure raised on the way; other messages get default processing.
  bool NotifyWndProc(QEvent* message);
  // Fetches, dispatches and frees every queued event.
  void DrainGraphEvents();
  // Hands one event to OnDSEvent, then to its named event with typed arguments.
  virtual void DispatchGraphEvent(std::int32_t code, LONG_PTR param1, LONG_PTR param2);

  // Where failures raised by event handlers go: the application's general error report.
  std::function<void(const std::exception&)> ErrorReport;

 private:
  void Activate();
  void Deactivate();
  void CloseLogStream();
  void DispatchLanguageEvent(const TOnDVDStreamChange& event, bool audio, LONG_PTR stream);

  ComRuntime& runtime_;
  std::unique_ptr<GraphNotifyWindow> notifyWindow_;
  bool active_ = false;
  bool autoCreate_ = false;
  TGraphMode mode_ = gmNormal;
  bool graphEdit_ = false;
  std::string logFile_;
  ComPtr<IGraphBuilder> graphBuilder_;
  ComPtr<ICaptureGraphBuilder2> captureBuilder_;
  ComPtr<IDvdGraphBuilder> dvdBuilder_;
  ComPtr<IMediaEventEx> mediaEvents_;
  std::uint32_t rotCookie_ = 0;
  LogStream logStream_;
};

}  // namespace varnex

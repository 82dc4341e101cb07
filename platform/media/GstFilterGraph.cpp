#include "GstFilterGraph.h"

#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "WideText.h"

namespace varnex {

namespace {

constexpr auto kPrerollLimit = std::chrono::seconds(5);
// How often a wait that serves the window's events looks whether it may end.
constexpr auto kWaitCheckInterval = std::chrono::milliseconds(10);

template <typename Interface, typename Item>
class VectorEnumerator final : public ComObject<VectorEnumerator<Interface, Item>, Interface> {
 public:
  explicit VectorEnumerator(std::vector<ComPtr<Item>> items) : items_(std::move(items)) {}
  IUnknown* Find(const IID&) { return nullptr; }

  HRESULT Next(ULONG count, Item** items, ULONG* fetched) override {
    ULONG handed = 0;
    for (; handed < count && next_ < items_.size(); ++handed, ++next_) {
      items_[next_]->AddRef();
      items[handed] = items_[next_].Get();
    }
    if (fetched != nullptr) {
      *fetched = handed;
    }
    return handed == count ? S_OK : S_FALSE;
  }

 private:
  std::vector<ComPtr<Item>> items_;
  std::size_t next_ = 0;
};

template <typename T>
struct GstUnref {
  void operator()(T* object) const { gst_object_unref(object); }
};
template <typename T>
using GstRef = std::unique_ptr<T, GstUnref<T>>;

class GstPin final : public ComObject<GstPin, IPin> {
 public:
  explicit GstPin(GstPad* pad) : pad_(GST_PAD(gst_object_ref(pad))) {}
  IUnknown* Find(const IID& iid) { return iid == IID_IPin ? static_cast<IPin*>(this) : nullptr; }

  HRESULT Disconnect() override {
    const GstRef<GstPad> peer(gst_pad_get_peer(pad_.get()));
    if (!peer) {
      return S_FALSE;
    }
    const bool source = GST_PAD_DIRECTION(pad_.get()) == GST_PAD_SRC;
    const bool unlinked = (source ? gst_pad_unlink(pad_.get(), peer.get())
                                  : gst_pad_unlink(peer.get(), pad_.get())) != FALSE;
    return unlinked ? S_OK : E_FAIL;
  }

 private:
  GstRef<GstPad> pad_;
};

class GstFilter final : public ComObject<GstFilter, IBaseFilter> {
 public:
  explicit GstFilter(GstElement* element) : element_(GST_ELEMENT(gst_object_ref(element))) {}
  IUnknown* Find(const IID& iid) {
    return iid == IID_IBaseFilter ? static_cast<IBaseFilter*>(this) : nullptr;
  }

  GstElement* Element() const { return element_.get(); }

  HRESULT EnumPins(IEnumPins** pins) override {
    std::vector<ComPtr<IPin>> found;
    GstIterator* iterator = gst_element_iterate_pads(element_.get());
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(iterator, &item) == GST_ITERATOR_OK) {
      found.push_back(ComPtr<IPin>::Attach(new GstPin(GST_PAD(g_value_get_object(&item)))));
      g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(iterator);
    *pins = new VectorEnumerator<IEnumPins, IPin>(std::move(found));
    return S_OK;
  }

 private:
  GstRef<GstElement> element_;
};

struct GraphEvent {
  std::int32_t code;
  LONG_PTR param1;
  LONG_PTR param2;
};

// What a pipeline is filled with, counted: a move to NULL asked for after an error applies only
// to the content that failed, never to a file rendered since.
struct PipelineContent {
  std::mutex mutex;  // held while the number is compared and the pipeline moved
  std::atomic<std::uint64_t> number{0};
};

struct SettleAfterError {
  std::shared_ptr<PipelineContent> content;
  std::uint64_t failed;
};

class GstGraph final : public ComObject<GstGraph, IFilterGraph2, IMediaControl, IMediaEventEx,
                                        IBasicAudio, IMediaSeeking> {
 public:
  GstGraph() : pipeline_(gst_pipeline_new(nullptr)) {
    gst_object_ref_sink(pipeline_.get());
    const GstRef<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), &GstGraph::OnBusMessage, this, nullptr);
  }

  ~GstGraph() override {
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);  // joins the streaming threads
    const GstRef<GstBus> bus(gst_element_get_bus(pipeline_.get()));
    gst_bus_set_sync_handler(bus.get(), nullptr, nullptr, nullptr);
  }

  IUnknown* Find(const IID& iid) {
    if (iid == IID_IFilterGraph2 || iid == IID_IGraphBuilder || iid == IID_IFilterGraph) {
      return static_cast<IFilterGraph2*>(this);
    }
    if (iid == IID_IMediaControl) {
      return static_cast<IMediaControl*>(this);
    }
    if (iid == IID_IMediaEventEx) {
      return static_cast<IMediaEventEx*>(this);
    }
    if (iid == IID_IBasicAudio) {
      return static_cast<IBasicAudio*>(this);
    }
    if (iid == IID_IMediaSeeking) {
      return static_cast<IMediaSeeking*>(this);
    }
    return nullptr;
  }

  // IGraphBuilder
  HRESULT RenderFile(const std::u16string& file, const std::u16string&) override {
    // The window's events are served while the file is made ready, and one of them may release
    // this graph; it stays until the wait is over.
    AddRef();
    const ComPtr<IUnknown> keepAlive = ComPtr<IUnknown>::Attach(static_cast<IMediaControl*>(this));
    const std::string path = WideToBytes(file);
    Log("RenderFile " + path);
    if (GST_BIN_NUMCHILDREN(GST_BIN(pipeline_.get())) > 0) {
      return Logged(VFW_E_WRONG_STATE);
    }
    // Only regular files: opening a FIFO would block inside the state change, beyond any wait.
    struct stat status;
    if (stat(path.c_str(), &status) != 0) {
      return Logged(VFW_E_NOT_FOUND);
    }
    if (!S_ISREG(status.st_mode)) {
      return Logged(VFW_E_UNKNOWN_FILE_TYPE);
    }
    const HRESULT built = BuildChain(path);
    if (!Succeeded(built)) {
      Clear();
      return Logged(built);
    }
    const HRESULT prerolled = Preroll();
    if (!Succeeded(prerolled)) {
      Clear();
      return Logged(prerolled);
    }
    return S_OK;
  }

  HRESULT SetLogFile(std::intptr_t handle) override {
    const std::lock_guard lock(mutex_);
    logFd_ = handle == 0 ? -1 : static_cast<int>(handle);
    return S_OK;
  }

  // IFilterGraph
  HRESULT RemoveFilter(IBaseFilter* filter) override {
    auto* own = dynamic_cast<GstFilter*>(filter);
    if (own == nullptr || GST_OBJECT_PARENT(own->Element()) != GST_OBJECT(pipeline_.get())) {
      return E_INVALIDARG;
    }
    gst_element_set_state(own->Element(), GST_STATE_NULL);
    if (own->Element() == volume_) {
      volume_ = nullptr;
    }
    return gst_bin_remove(GST_BIN(pipeline_.get()), own->Element()) ? S_OK : E_FAIL;
  }

  HRESULT EnumFilters(IEnumFilters** filters) override {
    std::vector<ComPtr<IBaseFilter>> found;
    GstIterator* iterator = gst_bin_iterate_elements(GST_BIN(pipeline_.get()));
    GValue item = G_VALUE_INIT;
    while (gst_iterator_next(iterator, &item) == GST_ITERATOR_OK) {
      found.push_back(
          ComPtr<IBaseFilter>::Attach(new GstFilter(GST_ELEMENT(g_value_get_object(&item)))));
      g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(iterator);
    *filters = new VectorEnumerator<IEnumFilters, IBaseFilter>(std::move(found));
    return S_OK;
  }

  // IMediaControl
  HRESULT Run() override {
    Log("Run");
    ran_ = true;
    switch (gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING)) {
      case GST_STATE_CHANGE_FAILURE:
        return Logged(E_FAIL);
      case GST_STATE_CHANGE_ASYNC:
        return S_FALSE;
      default:
        return S_OK;
    }
  }

  // Also ends the wait of a file being made ready to play.
  HRESULT Stop() override {
    Log("Stop");
    {
      const std::lock_guard lock(mutex_);
      stopped_ = true;
    }
    return gst_element_set_state(pipeline_.get(), GST_STATE_READY) == GST_STATE_CHANGE_FAILURE
               ? Logged(E_FAIL)
               : S_OK;
  }

  // The state the graph is in, or the one it is moving to after waiting up to `milliseconds` for
  // the move; VFW_S_STATE_INTERMEDIATE while it still moves. A graph that played to its end stays
  // in PLAYING, so it goes on reporting running.
  HRESULT GetState(std::int32_t milliseconds, FILTER_STATE* state) override {
    GstState current = GST_STATE_NULL;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn moving = gst_element_get_state(
        pipeline_.get(), &current, &pending, static_cast<GstClockTime>(milliseconds) * GST_MSECOND);
    const GstState target = pending != GST_STATE_VOID_PENDING ? pending : current;
    *state = target == GST_STATE_PLAYING  ? State_Running
             : target == GST_STATE_PAUSED ? State_Paused
                                          : State_Stopped;
    return moving == GST_STATE_CHANGE_ASYNC ? VFW_S_STATE_INTERMEDIATE : S_OK;
  }

  // IBasicAudio
  HRESULT put_Volume(std::int32_t volume) override {
    if (volume < -10000 || volume > 0) {
      return E_INVALIDARG;
    }
    if (volume_ == nullptr) {
      return E_FAIL;
    }
    const double gain = volume == -10000 ? 0.0 : std::pow(10.0, volume / 2000.0);
    g_object_set(volume_, "volume", gain, nullptr);
    // The sink holds the first decoded audio from the preroll, already scaled by the gain of that
    // moment, and plays it as soon as the graph runs. Until then, a new gain makes the graph
    // preroll again from the start, so the first sample heard has the gain asked for.
    if (!ran_ && gain != prerolledGain_) {
      prerolledGain_ = gain;
      gst_element_seek_simple(
          pipeline_.get(), GST_FORMAT_TIME,
          static_cast<GstSeekFlags>(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE), 0);
    }
    return S_OK;
  }

  // IMediaSeeking
  HRESULT GetCurrentPosition(std::int64_t* position) override {
    gint64 nanoseconds = 0;
    if (!gst_element_query_position(pipeline_.get(), GST_FORMAT_TIME, &nanoseconds)) {
      return E_FAIL;
    }
    *position = nanoseconds / 100;
    return S_OK;
  }

  // IMediaEventEx
  HRESULT GetEvent(std::int32_t* code, LONG_PTR* param1, LONG_PTR* param2, std::int32_t) override {
    const std::lock_guard lock(mutex_);
    if (events_.empty()) {
      return E_ABORT;
    }
    const GraphEvent event = events_.front();
    events_.pop_front();
    *code = event.code;
    *param1 = event.param1;
    *param2 = event.param2;
    return S_OK;
  }

  HRESULT FreeEventParams(std::int32_t, LONG_PTR, LONG_PTR) override {
    return S_OK;  // the events queued here carry no memory of their own
  }

  HRESULT SetNotifyWindow(OAHWND window, std::int32_t message, LONG_PTR) override {
    const std::lock_guard lock(mutex_);
    notifyWindow_ = reinterpret_cast<QObject*>(window);
    notifyMessage_ = message;
    return S_OK;
  }

  HRESULT SetNotifyFlags(std::int32_t flags) override {
    const std::lock_guard lock(mutex_);
    notify_ = (flags & AM_MEDIAEVENT_NONOTIFY) == 0;
    return S_OK;
  }

 private:
  HRESULT BuildChain(const std::string& path) {
    NewContent();
    GstElement* source = gst_element_factory_make("filesrc", nullptr);
    GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
    GstElement* converter = gst_element_factory_make("audioconvert", nullptr);
    GstElement* resampler = gst_element_factory_make("audioresample", nullptr);
    GstElement* volume = gst_element_factory_make("volume", nullptr);
    GstElement* sink = MakeSink();
    GstElement* elements[] = {source, decoder, converter, resampler, volume, sink};
    for (GstElement* element : elements) {
      if (element == nullptr) {
        for (GstElement* made : elements) {
          if (made != nullptr) {
            gst_object_unref(gst_object_ref_sink(made));
          }
        }
        return E_FAIL;
      }
    }
    g_object_set(source, "location", path.c_str(), nullptr);
    gst_bin_add_many(GST_BIN(pipeline_.get()), source, decoder, converter, resampler, volume, sink,
                     nullptr);
    if (!gst_element_link(source, decoder) ||
        !gst_element_link_many(converter, resampler, volume, sink, nullptr)) {
      return E_FAIL;
    }
    g_signal_connect(decoder, "pad-added", G_CALLBACK(&GstGraph::OnDecodedPad), converter);
    volume_ = volume;
    g_object_get(volume_, "volume", &prerolledGain_, nullptr);
    ran_ = false;
    return S_OK;
  }

  static GstElement* MakeSink() {
    const char* description = std::getenv("VARNEX_AUDIO_SINK");
    if (description == nullptr || *description == '\0') {
      return gst_element_factory_make("autoaudiosink", nullptr);
    }
    GError* error = nullptr;
    GstElement* bin = gst_parse_bin_from_description(description, TRUE, &error);
    if (error != nullptr) {
      g_error_free(error);
      if (bin != nullptr) {
        gst_object_unref(gst_object_ref_sink(bin));
      }
      return nullptr;
    }
    return bin;
  }

  // The decoder's output appears once it knows the stream. The converter takes only audio, so
  // the link itself picks the first audio stream.
  static void OnDecodedPad(GstElement*, GstPad* pad, gpointer converterPointer) {
    auto* converter = static_cast<GstElement*>(converterPointer);
    const GstRef<GstPad> input(gst_element_get_static_pad(converter, "sink"));
    if (!gst_pad_is_linked(input.get())) {
      gst_pad_link(pad, input.get());
    }
  }

  HRESULT Preroll() {
    {
      const std::lock_guard lock(mutex_);
      prerolled_ = false;
      failed_ = false;
      stopped_ = false;
    }
    if (gst_element_set_state(pipeline_.get(), GST_STATE_PAUSED) == GST_STATE_CHANGE_FAILURE) {
      return VFW_E_CANNOT_RENDER;
    }
    const auto deadline = std::chrono::steady_clock::now() + kPrerollLimit;
    WaitUntilReady(deadline);
    const std::lock_guard lock(mutex_);
    if (failed_) {
      return VFW_E_CANNOT_RENDER;
    }
    if (prerolled_) {
      return S_OK;
    }
    return std::chrono::steady_clock::now() >= deadline ? VFW_E_TIMEOUT : E_ABORT;
  }

  // Waits until the graph is ready to play or cannot be, or until `deadline`. The thread's events
  // are served meanwhile, as a single-threaded apartment serves its messages while it waits, so
  // the window repaints and answers its buttons; the wait also ends when the graph is stopped,
  // when no one else holds it any more, and when the program quits. Without an application
  // there are no events to serve.
  void WaitUntilReady(std::chrono::steady_clock::time_point deadline) {
    const auto ready = [this] { return prerolled_ || failed_; };
    if (QCoreApplication::instance() == nullptr) {
      std::unique_lock lock(mutex_);
      ready_.wait_until(lock, deadline, ready);
      return;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
      const std::lock_guard lock(mutex_);
      if (ready() || stopped_ || References() == 1 ||
          std::chrono::steady_clock::now() >= deadline) {
        loop.quit();
      }
    });
    check.start(kWaitCheckInterval);
    loop.exec();
  }

  // Back to an empty graph after a file that could not be rendered.
  void Clear() {
    NewContent();
    gst_element_set_state(pipeline_.get(), GST_STATE_NULL);
    volume_ = nullptr;
    while (GList* children = GST_BIN_CHILDREN(GST_BIN(pipeline_.get()))) {
      gst_bin_remove(GST_BIN(pipeline_.get()), GST_ELEMENT(children->data));
    }
  }

  void NewContent() {
    const std::lock_guard lock(content_->mutex);
    ++content_->number;
  }

  // After an error the pipeline goes to NULL at once, as gst-play does, so no device stays open
  // and no further errors pile up. The streaming thread that saw the error may not change the
  // pipeline's state itself; one of GStreamer's own threads does.
  void SettleToNullSoon() {
    gst_element_call_async(
        pipeline_.get(),
        [](GstElement* pipeline, gpointer data) {
          const auto* settle = static_cast<SettleAfterError*>(data);
          const std::lock_guard lock(settle->content->mutex);
          if (settle->content->number == settle->failed) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
          }
        },
        new SettleAfterError{content_, content_->number},
        [](gpointer data) { delete static_cast<SettleAfterError*>(data); });
  }

  static GstBusSyncReply OnBusMessage(GstBus*, GstMessage* message, gpointer self) {
    static_cast<GstGraph*>(self)->Handle(message);
    gst_message_unref(message);
    return GST_BUS_DROP;
  }

  void Handle(GstMessage* message) {
    switch (GST_MESSAGE_TYPE(message)) {
      case GST_MESSAGE_ASYNC_DONE: {
        const std::lock_guard lock(mutex_);
        prerolled_ = true;
        ready_.notify_all();
        break;
      }
      case GST_MESSAGE_EOS:
        Queue({EC_COMPLETE, S_OK, 0});
        break;
      case GST_MESSAGE_NEW_CLOCK:
        Queue({EC_CLOCK_CHANGED, 0, 0});
        break;
      case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        Queue({EC_BUFFERING_DATA, percent < 100 ? 1 : 0, 0});
        break;
      }
      case GST_MESSAGE_STATE_CHANGED:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT(pipeline_.get())) {
          GstState state = GST_STATE_NULL;
          gst_message_parse_state_changed(message, nullptr, &state, nullptr);
          Queue({EC_STATE_CHANGE,
                 state == GST_STATE_PLAYING  ? State_Running
                 : state == GST_STATE_PAUSED ? State_Paused
                                             : State_Stopped,
                 0});
        }
        break;
      case GST_MESSAGE_ERROR: {
        GError* error = nullptr;
        gst_message_parse_error(message, &error, nullptr);
        Log(std::string("error: ") + (error != nullptr ? error->message : "unknown"));
        g_clear_error(&error);
        {
          const std::lock_guard lock(mutex_);
          failed_ = true;
          ready_.notify_all();
        }
        SettleToNullSoon();
        Queue({EC_ERRORABORT, E_FAIL, 0});
        break;
      }
      default:
        break;
    }
  }

  void Queue(const GraphEvent& event) {
    const std::lock_guard lock(mutex_);
    events_.push_back(event);
    if (notify_ && notifyWindow_ != nullptr) {
      QCoreApplication::postEvent(notifyWindow_,
                                  new QEvent(static_cast<QEvent::Type>(notifyMessage_)));
    }
  }

  void Log(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (logFd_ >= 0) {
      dprintf(logFd_, "%s\n", line.c_str());
    }
  }

  HRESULT Logged(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<std::uint32_t>(result));
    Log(std::string("failed: ") + code);
    return result;
  }

  GstRef<GstElement> pipeline_;
  GstElement* volume_ = nullptr;  // owned by the pipeline
  double prerolledGain_ = 1.0;    // the gain the sink's prerolled audio went through
  bool ran_ = false;              // whether the graph has run since the file was rendered

  std::shared_ptr<PipelineContent> content_ = std::make_shared<PipelineContent>();

  std::mutex mutex_;
  std::condition_variable ready_;
  bool prerolled_ = false;
  bool failed_ = false;
  bool stopped_ = false;  // since the preroll began
  std::deque<GraphEvent> events_;
  QObject* notifyWindow_ = nullptr;
  std::int32_t notifyMessage_ = 0;
  bool notify_ = true;
  int logFd_ = -1;
};

}  // namespace

std::string GStreamerVersion() {
  gchar* version = gst_version_string();
  std::string text = version;
  g_free(version);
  return text;
}

void LoadMediaLibrary() {
  gst_init(nullptr, nullptr);
}

void RegisterGStreamerGraph(ComRuntime& runtime) {
  LoadMediaLibrary();
  runtime.RegisterClass(CLSID_FilterGraph, [](const IID& iid, void** object) {
    const ComPtr<IUnknown> graph =
        ComPtr<IUnknown>::Attach(static_cast<IFilterGraph2*>(new GstGraph));
    return graph->QueryInterface(iid, object);
  });
}

}  // namespace varnex

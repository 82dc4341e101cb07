#include "GstMediaTags.h"

#include <dlfcn.h>
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <QTimer>
#include <optional>
#include <utility>

namespace varnex {

namespace {

// The discoverer's library, opened at the first read rather than linked: with the audio, video,
// tag and orc libraries it pulls in, it would add a megabyte and a few milliseconds to every
// start, for the desktop controls only. It is never closed, as the object types it registers
// outlive it.
struct Discoverers {
  decltype(&gst_discoverer_new) make;
  decltype(&gst_discoverer_start) start;
  decltype(&gst_discoverer_discover_uri_async) discover;
  decltype(&gst_discoverer_info_get_uri) uri;
  decltype(&gst_discoverer_info_get_result) result;
  decltype(&gst_discoverer_info_get_tags) tags;
  decltype(&gst_discoverer_info_get_duration) duration;

  // Null when the library or one of its functions is missing.
  static const Discoverers* Load() {
    static const std::optional<Discoverers> loaded = Open();
    return loaded ? &*loaded : nullptr;
  }

 private:
  static std::optional<Discoverers> Open() {
    void* library = dlopen("libgstpbutils-1.0.so.0", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
      return std::nullopt;
    }
    Discoverers api{};
    const bool found = Find(library, "gst_discoverer_new", api.make) &&
                       Find(library, "gst_discoverer_start", api.start) &&
                       Find(library, "gst_discoverer_discover_uri_async", api.discover) &&
                       Find(library, "gst_discoverer_info_get_uri", api.uri) &&
                       Find(library, "gst_discoverer_info_get_result", api.result) &&
                       Find(library, "gst_discoverer_info_get_tags", api.tags) &&
                       Find(library, "gst_discoverer_info_get_duration", api.duration);
    return found ? std::optional(api) : std::nullopt;
  }

  template <typename Function>
  static bool Find(void* library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
  }
};

// A file that takes longer than this to describe itself shows without tags.
constexpr GstClockTime kReadTimeout = 3 * GST_SECOND;

std::string TagText(const GstTagList* tags, const char* tag) {
  gchar* value = nullptr;
  if (tags == nullptr || !gst_tag_list_get_string(tags, tag, &value)) {
    return {};
  }
  std::string text = value;
  g_free(value);
  return text;
}

MediaTags TagsOf(const Discoverers& api, GstDiscovererInfo* info) {
  MediaTags result;
  if (api.result(info) != GST_DISCOVERER_OK) {
    return result;
  }
  const GstTagList* tags = api.tags(info);
  result.title = TagText(tags, GST_TAG_TITLE);
  result.artist = TagText(tags, GST_TAG_ARTIST);
  result.album = TagText(tags, GST_TAG_ALBUM);
  const GstClockTime duration = api.duration(info);
  if (GST_CLOCK_TIME_IS_VALID(duration) && duration > 0) {
    result.lengthMicroseconds = static_cast<std::int64_t>(duration / GST_USECOND);
  }
  return result;
}

// Whether some installed decoder or demuxer takes `caps` on its input.
bool Decodable(GList* factories, const char* caps) {
  GstCaps* wanted = gst_caps_from_string(caps);
  GList* takers = gst_element_factory_list_filter(factories, wanted, GST_PAD_SINK, FALSE);
  const bool found = takers != nullptr;
  gst_plugin_feature_list_free(takers);
  gst_caps_unref(wanted);
  return found;
}

}  // namespace

struct GstMediaTagReader::Discovery {
  const Discoverers* api = nullptr;
  GstDiscoverer* discoverer = nullptr;
  std::string uri;  // of the file asked for last, until it is described
  Done done;

  static void OnDiscovered(GstDiscoverer*, GstDiscovererInfo* info, GError*, gpointer self) {
    auto* discovery = static_cast<Discovery*>(self);
    if (discovery->uri != discovery->api->uri(info)) {
      return;  // a file asked for before, whose reading was given up
    }
    discovery->uri.clear();
    const Done done = std::exchange(discovery->done, nullptr);
    done(TagsOf(*discovery->api, info));
  }
};

GstMediaTagReader::GstMediaTagReader() : discovery_(std::make_unique<Discovery>()) {}

// Stopping a discoverer that is reading a file can deadlock it (it changes the state of its
// pipeline under the lock that the pipeline's removed pads wait for); letting it go does not.
GstMediaTagReader::~GstMediaTagReader() {
  if (GstDiscoverer* discoverer = discovery_->discoverer) {
    g_signal_handlers_disconnect_by_data(discoverer, discovery_.get());
    g_object_unref(discoverer);
  }
}

// The discoverer is made for the first file: a program that never plays never loads it. A file
// asked for before is still read (see above), and its answer dropped.
void GstMediaTagReader::Read(const std::string& path, Done done) {
  GstDiscoverer*& discoverer = discovery_->discoverer;
  const Discoverers*& api = discovery_->api;
  if (api == nullptr) {
    gst_init(nullptr, nullptr);
    api = Discoverers::Load();
    // Without GStreamer's playback plugins there is none, and every file is untagged.
    discoverer = api != nullptr ? api->make(kReadTimeout, nullptr) : nullptr;
    if (discoverer != nullptr) {
      g_signal_connect(discoverer, "discovered", G_CALLBACK(&Discovery::OnDiscovered),
                       discovery_.get());
      api->start(discoverer);
    }
  }
  discovery_->uri = FileUri(path);
  if (discoverer != nullptr && api->discover(discoverer, discovery_->uri.c_str())) {
    discovery_->done = std::move(done);
    return;
  }
  discovery_->uri.clear();
  discovery_->done = nullptr;
  QTimer::singleShot(0, [done = std::move(done)] { done({}); });
}

// Only MP3: the player plays its list's mp3 and iad entries and opens nothing else.
std::vector<std::string> DecodableAudioTypes() {
  gst_init(nullptr, nullptr);
  GList* factories = gst_element_factory_list_get_elements(
      GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_RANK_MARGINAL);
  const bool mp3 = Decodable(factories, "audio/mpeg, mpegversion=(int)1, layer=(int)3");
  gst_plugin_feature_list_free(factories);
  return mp3 ? std::vector<std::string>{"audio/mpeg"} : std::vector<std::string>{};
}

}  // namespace varnex

#include "MediaTags.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <initializer_list>

namespace varnex {

namespace {

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

// Whether some installed decoder or demuxer takes every one of `caps` on its input.
bool Decodable(GList* factories, std::initializer_list<const char*> caps) {
  for (const char* description : caps) {
    GstCaps* wanted = gst_caps_from_string(description);
    GList* takers = gst_element_factory_list_filter(factories, wanted, GST_PAD_SINK, FALSE);
    const bool found = takers != nullptr;
    gst_plugin_feature_list_free(takers);
    gst_caps_unref(wanted);
    if (!found) {
      return false;
    }
  }
  return true;
}

}  // namespace

GstMediaTagReader::GstMediaTagReader() {
  gst_init(nullptr, nullptr);
}

MediaTags GstMediaTagReader::Read(const std::string& path) {
  MediaTags result;
  GstDiscoverer* discoverer = gst_discoverer_new(kReadTimeout, nullptr);
  if (discoverer == nullptr) {
    return result;
  }
  GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, FileUri(path).c_str(), nullptr);
  if (info != nullptr && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
    const GstTagList* tags = gst_discoverer_info_get_tags(info);
    result.title = TagText(tags, GST_TAG_TITLE);
    result.artist = TagText(tags, GST_TAG_ARTIST);
    result.album = TagText(tags, GST_TAG_ALBUM);
    const GstClockTime duration = gst_discoverer_info_get_duration(info);
    if (GST_CLOCK_TIME_IS_VALID(duration) && duration > 0) {
      result.lengthMicroseconds = static_cast<std::int64_t>(duration / GST_USECOND);
    }
  }
  if (info != nullptr) {
    gst_discoverer_info_unref(info);
  }
  g_object_unref(discoverer);
  return result;
}

std::string FileUri(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string uri = "file://";
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                            (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' ||
                            byte == '_' || byte == '~' || byte == '/';
    if (unreserved) {
      uri += c;
    } else {
      uri += '%';
      uri += kHex[byte >> 4];
      uri += kHex[byte & 0x0F];
    }
  }
  return uri;
}

std::vector<std::string> DecodableAudioTypes() {
  gst_init(nullptr, nullptr);
  struct Type {
    const char* mime;
    std::initializer_list<const char*> caps;
  };
  // Each desktop MIME type with the stream types its files hold, container first. Only MP3: the
  // player plays its list's mp3 and iad entries and opens nothing else.
  static const Type kTypes[] = {
      {"audio/mpeg", {"audio/mpeg, mpegversion=(int)1, layer=(int)3"}},
  };
  GList* factories = gst_element_factory_list_get_elements(
      GST_ELEMENT_FACTORY_TYPE_DECODER | GST_ELEMENT_FACTORY_TYPE_DEMUXER, GST_RANK_MARGINAL);
  std::vector<std::string> types;
  for (const Type& type : kTypes) {
    if (Decodable(factories, type.caps)) {
      types.emplace_back(type.mime);
    }
  }
  gst_plugin_feature_list_free(factories);
  return types;
}

}  // namespace varnex

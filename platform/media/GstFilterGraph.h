#pragma once

#include "ComRuntime.h"

namespace varnex {

// Graph events the GStreamer graph queues, with the media-graph service's codes.
constexpr std::int32_t EC_COMPLETE = 0x01;
constexpr std::int32_t EC_ERRORABORT = 0x03;

// Makes CLSID_FilterGraph creatable as a GStreamer pipeline: filters are elements, pins are pads.
// RenderFile builds file source, decoder, converter, resampler, volume and audio sink (the bin
// described by VARNEX_AUDIO_SINK when set, else autoaudiosink) and waits a bounded time for it
// to be ready to play. Graph events are queued from the bus and announced to the notify window
// as one posted event each.
void RegisterGStreamerGraph(ComRuntime& runtime);

// The version of the GStreamer library in use, as it reports it while running.
std::string GStreamerVersion();

}  // namespace varnex

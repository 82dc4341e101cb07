#pragma once

#include "ComRuntime.h"
#include "GraphEventCodes.h"

namespace varnex {

// Makes CLSID_FilterGraph creatable as a GStreamer pipeline: filters are elements, pins are pads.
// RenderFile builds file source, decoder, converter, resampler, volume and audio sink (the bin
// described by VARNEX_AUDIO_SINK when set, else autoaudiosink) and waits a bounded time for it
// to be ready to play, serving the thread's events meanwhile; a stop, the graph's release or the
// program's end cut the wait short. A volume set before the graph first runs holds from the
// first sample, as the graph then prerolls again. After an error the pipeline goes to NULL at
// once. Bus messages are queued as graph events (end of stream EC_COMPLETE, error
// EC_ERRORABORT, new clock EC_CLOCK_CHANGED, buffering EC_BUFFERING_DATA, the pipeline's state
// EC_STATE_CHANGE) and announced to the notify window as one posted event each. IMediaSeeking
// tells how far the pipeline has played.
void RegisterGStreamerGraph(ComRuntime& runtime);

// Initialises GStreamer and reads its plugin registry, which the graph needs. From any thread, as
// often as wanted: so that it can be done ahead on another thread while the window is made.
void LoadMediaLibrary();

// The version of the GStreamer library in use, as it reports it while running.
std::string GStreamerVersion();

}  // namespace varnex

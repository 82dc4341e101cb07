// Time from RenderMediaFile to a running graph, beside a hand-written GStreamer pipeline of the
// same elements in the same process and `gst-launch-1.0 playbin` reaching PLAYING. The audio goes
// to a clocked fakesink, so no sound device is needed. Usage: render_bench [runs]
#include <gst/gst.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/BenchSupport.h"
#include "platform/media/GstFilterGraph.h"
#include "platform/media/WideText.h"
#include "playback/TFilterGraph.h"

namespace {

using namespace varnex;
using namespace varnex::bench;

constexpr const char* kSink = "fakesink sync=true";

void ComponentToRunning(TFilterGraph& graph, const std::string& file) {
  graph.SetActive(false);
  graph.SetActive(true);
  graph.RenderMediaFile(BytesToWide(file));
  graph.Play();
  ComPtr<IMediaControl> control;
  graph.QueryInterface(IID_IMediaControl, control.Out());
  FILTER_STATE state;
  while (control->GetState(5000, &state) == VFW_S_STATE_INTERMEDIATE) {
  }
}

void OnPad(GstElement*, GstPad* pad, gpointer converter) {
  GstPad* input = gst_element_get_static_pad(GST_ELEMENT(converter), "sink");
  if (!gst_pad_is_linked(input)) {
    gst_pad_link(pad, input);
  }
  gst_object_unref(input);
}

void HandWrittenToRunning(const std::string& file) {
  GstElement* pipeline = gst_pipeline_new(nullptr);
  GstElement* source = gst_element_factory_make("filesrc", nullptr);
  GstElement* decoder = gst_element_factory_make("decodebin", nullptr);
  GstElement* converter = gst_element_factory_make("audioconvert", nullptr);
  GstElement* resampler = gst_element_factory_make("audioresample", nullptr);
  GstElement* volume = gst_element_factory_make("volume", nullptr);
  GstElement* sink = gst_parse_bin_from_description(kSink, TRUE, nullptr);
  g_object_set(source, "location", file.c_str(), nullptr);
  gst_bin_add_many(GST_BIN(pipeline), source, decoder, converter, resampler, volume, sink, nullptr);
  gst_element_link(source, decoder);
  gst_element_link_many(converter, resampler, volume, sink, nullptr);
  g_signal_connect(decoder, "pad-added", G_CALLBACK(OnPad), converter);
  gst_element_set_state(pipeline, GST_STATE_PAUSED);
  gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
  gst_element_set_state(pipeline, GST_STATE_PLAYING);
  gst_element_get_state(pipeline, nullptr, nullptr, 5 * GST_SECOND);
  gst_element_set_state(pipeline, GST_STATE_NULL);
  gst_object_unref(pipeline);
}

// gst-launch prints "New clock" once its pipeline is PLAYING; the time includes its start-up.
void PlaybinToRunning(const std::string& file) {
  const std::string command =
      "gst-launch-1.0 playbin uri=file://" + file + " audio-sink='fakesink sync=true' 2>&1";
  FILE* output = popen(command.c_str(), "r");
  char line[512];
  while (fgets(line, sizeof line, output) != nullptr) {
    if (std::string(line).find("New clock") != std::string::npos) {
      break;
    }
  }
  std::system("pkill -f 'gst-launch-1.0 playbin uri=file://' 2>/dev/null");
  pclose(output);
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
  int qtArgc = 1;
  QCoreApplication application(qtArgc, argv);
  setenv("VARNEX_AUDIO_SINK", kSink, 1);
  ComRuntime runtime;
  RegisterGStreamerGraph(runtime);
  const std::string folder = MakeFolder("varnex-bench-render");
  const std::string file = folder + "/tone.mp3";
  RunShell(
      "gst-launch-1.0 -q audiotestsrc num-buffers=100 ! audio/x-raw,rate=44100 ! lamemp3enc ! "
      "filesink location=" +
      Quoted(file));

  TFilterGraph graph(runtime);
  const double component = MedianMilliseconds(runs, [&] { ComponentToRunning(graph, file); });
  const double handWritten = MedianMilliseconds(runs, [&] { HandWrittenToRunning(file); });
  const double playbin = MedianMilliseconds(runs, [&] { PlaybinToRunning(file); });
  graph.SetActive(false);
  std::printf(
      "median of %d runs: component %.2f ms, hand-written pipeline %.2f ms (%.2fx), "
      "gst-launch playbin %.2f ms (%.2fx)\n",
      runs, component, handWritten, component / handWritten, playbin, component / playbin);
  RemoveFolder(folder);
  return 0;
}

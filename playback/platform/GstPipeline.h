// The media pipeline of one engine on GStreamer: playbin with an appsink that hands the
// decoded frames to the presenter. Every pipeline of the process runs on one clock, and engines
// that start together share a base time, so front and rear stay in step.
#pragma once

#include "playback/MediaPipeline.h"

#include <gst/gst.h>

#include <memory>

namespace kirvano {

// Hardware decoders are used only when switched on ("HW" = "on"); software otherwise.
void SetHardwareDecoding(bool on);
bool HardwareDecoding();
// Threads of one software decoder: its share of the cores, as front and rear play at once.
int DecoderThreads();
// Gives a software (libav) decoder DecoderThreads() threads; true when the element is one.
bool LimitDecoderThreads(GstElement* element);

// Creates GStreamer pipelines for the engines.
PipelineFactory GstPipelineFactory();

} // namespace kirvano

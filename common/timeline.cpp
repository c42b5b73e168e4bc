#include "common/timeline.h"

namespace {
TimelineSink g_sink = nullptr;
}  // namespace

void SetTimelineSink(TimelineSink sink) { g_sink = sink; }

bool TimelineActive() { return g_sink != nullptr; }

void TimelineMark(const char* name) {
    if (g_sink) g_sink(name);
}

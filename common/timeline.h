// Start-up marks for the start-up benchmark. The shipped programs have no sink: a mark costs one
// pointer test and writes nothing, and nothing outside the program can switch them on. Only the
// test builds install a sink (common/timeline_file.cpp, linked into them alone).
#pragma once

using TimelineSink = void (*)(const char* name);

void SetTimelineSink(TimelineSink sink);
void TimelineMark(const char* name);
// True when marks are being written (callers can skip building a mark's name otherwise).
bool TimelineActive();

// Start-up marks for the start-up benchmark. With the environment variable QUORVANE_TIMELINE
// naming a file, each mark appends one line "<name> <performance counter>" to it; without it (any
// normal run) a mark costs one cached check and writes nothing.
#pragma once

void TimelineMark(const char* name);
// True when marks are being written (callers can skip building a mark's name otherwise).
bool TimelineActive();

// Test builds only: start-up marks written to the file that the environment variable
// QUORVANE_TIMELINE names, one line "<name> <performance counter>" per mark.
#pragma once

// Installs the file sink when the variable names a file; otherwise marks stay off.
void StartTimelineFromEnvironment();

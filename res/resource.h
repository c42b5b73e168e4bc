// Resource ids shared by the resource scripts and the code that loads them.
#pragma once

#define IDI_CLIENT_APP 104     // the program's icon, also the main window's
#define IDI_CLIENT_WINDOW 107  // the second window icon of the client's resources
#define IDI_CLIENT_TRAY 113    // the tray icon

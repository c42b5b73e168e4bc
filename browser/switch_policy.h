// Engine switches that the browser process refuses on its own command line. The client runs
// with administrator rights for a program name that the user approved; switches added to its
// command line must not make it start other programs, load code of someone else's or open a
// port through which another program could drive it. The list, by name:
//
//   start other programs:  browser-subprocess-path, renderer-cmd-prefix, gpu-launcher,
//                          utility-cmd-prefix, ppapi-plugin-launcher, plugin-launcher, nacl-gdb
//   load code:             load-extension, disable-extensions-except, register-pepper-plugins
//   open a control port:   remote-debugging-port, remote-debugging-pipe
//
// Every other switch is honoured. Engine sub-processes are not checked: the engine starts them
// with its own switches, and they end at the sub-process dispatch before this check.
#pragma once
#include <string>
#include <vector>

// The switch name as the engine reads it: without its "--", "-" or "/" and its "=value", in
// lower case.
std::wstring SwitchName(const std::wstring& argument);

// The first refused switch among `arguments` (the program's name excluded), as its name from
// the list above; "" when there is none. Arguments after a bare "--" are no switches.
std::wstring FindRefusedSwitch(const std::vector<std::wstring>& arguments);

// The same for the running process's own command line.
std::wstring FindRefusedSwitchInCommandLine(const wchar_t* commandLine);

// The host side of the plug-in interface, for the loader and for tests.
#pragma once

#include <cstdint>
#include <string>

namespace fw::host {

// The callback resolver handed to REALPluginMain: a callback name gives its
// entry address, or nullptr for a name the host does not provide.
extern "C" void* PluginResolve(const char* name);

// The version that "REALGetRBVersion" reports.
inline constexpr double kHostVersion = 2013.04;

// The folder holding the program's plug-in libraries, absolute and
// normalised; empty when the executable's location cannot be read.
std::string PluginFolder();
// The absolute path of the library for "<Name>.dylib", or empty when the
// name does not have that form.
std::string PluginLibraryPath(const std::string& fileName);

// The control version that the last loaded plug-in announced.
int32_t AnnouncedControlVersion();

// Forgets a pending plug-in exception without raising it.
void ClearPendingPluginException();

}  // namespace fw::host

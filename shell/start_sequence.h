// The life of the program: class registration, the start sequence that loads
// the plug-in libraries and binds their entry points, the event loop, and the
// release of the module globals afterwards.
#pragma once

#include <cstdint>
#include <string_view>

extern int32_t ExitCode;

// The plug-in libraries, in the order they are loaded.
extern const std::string_view kPluginLibraries[];
extern const size_t kPluginLibraryCount;

// Registers every class of the program and runs the module initialisers.
void InitClasses();
// Loads the libraries, fills the entry table, creates and registers App with
// its menu bar and menu handlers. False, after a message on standard error
// naming what is missing, when the capture library or an entry point is not
// there: the program then must not start.
bool StartSequence();
// Releases the module globals in their order; each is cleared before its
// reference is dropped.
void FinalizeModules();
// main's body: returns the process's exit status.
int32_t RunProgram();

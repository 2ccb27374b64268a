// Plug-in libraries and the table of their entry points.
//
// A plug-in library is a shared library in the program's own plug-in folder
// (<bindir>/../lib/ostrel4/) that exports REALPluginMain. Loading it hands it
// the host's callback resolver; the library then registers its functions,
// which the program finds by their declaration strings. Stand-ins for outside
// libraries live inside the program and register themselves as built-ins.
//
// Everything here runs on the main thread.
#pragma once

#include <cstdint>

#include "fw/runtime/object.h"
#include "fw/runtime/string.h"
#include "fw/ui/picture.h"

// The opaque handles that cross the plug-in boundary (the same typedefs as the
// plug-in interface header, so code that includes both sees one type).
extern "C" {
typedef struct PluginPictureOpaque* PluginPicture;
typedef struct PluginStringOpaque* PluginString;
}

namespace fw {

// Loads a plug-in library by its file name. "<Name>.dylib" names the library
// <Name>.so in the program's plug-in folder, opened by absolute path only; its
// REALPluginMain is called once with the resolver. A name registered with
// RegisterBuiltinPlugin runs its init instead. An unknown or missing library,
// or one without REALPluginMain, gives false and calls nothing. Loading a
// library that is already loaded gives true and calls nothing again.
bool RuntimeLoadPlugin(const String& fileName);

// The function registered under the full declaration: module members as
// "Module.Name(args) as type", plain functions by their own declaration.
// nullptr when nothing is registered under it.
void* RuntimeLookupPluginEntrypoint(const String& declaration);

// For the program's stand-ins of outside libraries.
void RegisterBuiltinPlugin(const String& fileName, void (*init)());
void RegisterPluginEntrypoint(const String& declaration, void* function);

// Takes over the one reference that a plug-in function returned with a
// picture; nil stays nil.
Ref<Picture> AdoptPluginPicture(PluginPicture picture);

// Raises, as the framework exception of the class that the plug-in named,
// the exception that a plug-in handed over during the last call, if any.
// Call it once control is back in the program's code after a plug-in call;
// it does nothing when no exception is pending.
void RaisePendingPluginException();

// Strings across the boundary. A string argument is held for the duration
// of the call; a returned string carries one reference for the caller.
class PluginStringArg {
  public:
    explicit PluginStringArg(const String& value);
    ~PluginStringArg();
    PluginStringArg(const PluginStringArg&) = delete;
    PluginStringArg& operator=(const PluginStringArg&) = delete;
    PluginString Get() const noexcept { return handle_; }

  private:
    PluginString handle_;
};

// The text of a string handle (empty for nil), for stand-ins that receive one.
String PluginStringValue(PluginString string);
// Takes over the one reference of a returned string and gives its text.
String AdoptPluginString(PluginString string);

}  // namespace fw

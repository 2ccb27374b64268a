// What plug-ins register with the host, shared by the loader and the callbacks.
#pragma once

#include <cstdint>

#include "fw/runtime/object.h"
#include "host/host_objects.h"
#include "plugin_sdk.h"

namespace fw::host {

// A plain function: found by its own declaration. The record stays with the
// plug-in; the host copies what it needs.
void RegisterMethodRecord(const PluginMethodDefinition* method);
// A module: its members are found as "Module.Declaration". The record, its
// name and its method copy belong to the host from here on.
void RegisterModuleRecord(PluginModuleDefinition* module);
void NoteControlVersion(int32_t version);
// Keeps the first exception raised until host code picks it up.
void SetPendingException(Ref<HostException> exception);

}  // namespace fw::host

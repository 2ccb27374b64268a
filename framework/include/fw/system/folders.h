// The user's standard folders.
#pragma once

#include "fw/runtime/object.h"
#include "fw/system/folderitem.h"

namespace fw::SpecialFolder {

// The folder for the user's settings: $XDG_CONFIG_HOME when it holds an absolute
// path, otherwise ~/.config; created when missing. When it cannot be found or
// created, one line on stderr says so, and the item still comes back: nothing in
// it can then be opened or created.
Ref<FolderItem> Preferences();

}  // namespace fw::SpecialFolder

// The message box and URL opening.
#pragma once

#include "fw/runtime/string.h"

namespace fw {

// Shows the text in a modal message box with an OK button and returns when
// the user dismisses it.
void MsgBox(const String& text);

// Opens the URL (http, https, mailto ...) with the desktop's handler. Failure
// is silent.
void ShowURL(const String& url);

}  // namespace fw

// The text of the help window, which is also what Print Help prints.
#pragma once

#include <string_view>

// Nine paragraphs separated by two carriage returns, with no line feed and no
// line break inside a paragraph: the text area and the text printer wrap the
// lines themselves. UTF-8; the only character outside ASCII is the copyright
// sign of the closing credit line.
extern const std::string_view kHelpText;

// Helpers for writing JSON by hand.
#pragma once

#include <string>
#include <string_view>

// The text escaped for use inside a JSON string (no quotes added): quote,
// backslash and control characters are escaped; bytes that are not valid
// UTF-8 become U+FFFD, so the result is always valid JSON text.
std::string JsonEscape(std::string_view text);

// The text as a quoted JSON string.
inline std::string JsonString(std::string_view text) { return '"' + JsonEscape(text) + '"'; }

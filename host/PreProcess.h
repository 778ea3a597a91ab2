// Command templates: printf-style filling of parameter bytes and conversion
// of the escaped notation into the byte string sent to the printer.
//
// Notation: a backslash and one to three octal digits give that byte (the
// value is masked to 8 bits, so "\777" gives 0xFF); "\x" and one or two hex
// digits give that byte ("\x" with no hex digit gives 'x'); a backslash before
// any other character gives that character; a backslash at the very end
// gives nothing; every other byte stands for itself.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>

#include "HostApi.h"

// A null template is an empty one.
HOST_API void preProcess(std::string& out, const char* tmpl);
HOST_API std::string preProcess(const char* tmpl);
HOST_API std::string preProcess(const std::string& tmpl);

// Fills "%03o", "%02x" and "%2.2hhx" placeholders with the given values, in
// order, each masked with 255 (missing values give 0); "%%" gives "%". Any
// other '%' is copied as it stands, so templates read from the settings can
// never make the formatter read beyond its arguments.
HOST_API std::string FormatTemplate(const std::string& tmpl, const int* values, std::size_t count);
inline std::string FormatTemplate(const std::string& tmpl, std::initializer_list<int> values)
{
    return FormatTemplate(tmpl, values.begin(), values.size());
}

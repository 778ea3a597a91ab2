// Diagnostic dumps and colour names of the host.
#pragma once

#include <string>

#include "HostApi.h"

// Writes a print-condition text (hex, 8-bit) into the log folder
// (CVoLogReporter::LogFolder()) as "<name>.txt". The first line says where
// the text came from ("# source: settings" when bFromSettings is non-zero,
// "# source: printer" otherwise); then the text follows, 80 characters per
// line, so that the file can be read back by qiview. Path separators in the
// name are replaced by '_'. Written under a temporary name and renamed.
// Answers false (and logs the reason at level 4) when the file could not be
// written.
HOST_API bool WriteQIDataToFile(const std::string& text, int bFromSettings, const std::wstring& name);

// The host's name of a device primary colour (host colour code): the full
// name ("Light Cyan") when bLongName is non-zero, else the short label
// ("Lc"). Codes without a name of their own read "Colour <n>" / "C<n>".
HOST_API std::wstring GetDevPrimColName(int color, int bLongName);

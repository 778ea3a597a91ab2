// Whole-file reads and atomic writes, shared by the settings store, the
// diagnostic dumps and the tools.
#pragma once

#include <string>

#include "HostApi.h"

// Reads a whole file. Answers false with a message naming the file.
HOST_API bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

// Writes data to path through a temporary file in the same folder and a
// rename. Answers false with a message on failure, leaving no temporary.
HOST_API bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error);

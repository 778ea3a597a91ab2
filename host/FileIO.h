// Whole-file reads and atomic writes, shared by the settings store, the
// diagnostic dumps and the tools.
#pragma once

#include <string>

#include "HostApi.h"

// Reads a whole file. Answers false with a message naming the file; a
// folder is refused ("is a folder"), not read as an empty file.
HOST_API bool ReadWholeFile(const std::string& path, std::string& data, std::string& error);

// Reads fd to its end (standard input, a pipe). name is used in messages.
HOST_API bool ReadWholeFd(int fd, const std::string& name, std::string& data, std::string& error);

// Writes data to path through a temporary file and a rename (see
// OpenReplacement). Answers false with a message on failure, leaving no
// temporary.
HOST_API bool WriteFileAtomically(const std::string& path, const std::string& data, std::string& error);

// Starts the atomic replacement of path: follows its symbolic links to the
// file they lead to (target), and opens a new temporary file in its folder
// that has that file's permissions, or 0666 less the umask for a new file:
// an unnamed one where the file system allows (tmpPath empty), else one
// named tmpPath. The caller writes it and calls PublishReplacement.
// Refuses a file the user may not write and a folder. Answers the
// descriptor, or -1 with a message.
HOST_API int OpenReplacement(const std::string& path, std::string& target, std::string& tmpPath, std::string& error);

// Makes the written temporary file of OpenReplacement the target, before fd
// is closed. Answers false with errno in err; a named temporary is removed
// then, an unnamed one goes when fd is closed.
HOST_API bool PublishReplacement(int fd, const std::string& tmpPath, const std::string& target, int& err);

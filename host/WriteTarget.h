// Where an output path leads: standard output, a descriptor or device that
// is written in place, or a file that is replaced as a whole.
#pragma once

#include <string>

#include "HostApi.h"

// The descriptor a path names by itself: 1 for /dev/stdout, 2 for
// /dev/stderr, N for /dev/fd/N and /proc/self/fd/N; else -1. Such a path
// is written through that descriptor, wherever it leads, so a redirection
// is neither replaced nor reopened from its start.
HOST_API int DescriptorOfPath(const std::string& path);

// True when path is written in place: "-", a path naming a descriptor, or
// an existing device, FIFO or socket.
HOST_API bool WritesInPlace(const std::string& path);

// Writes text to an in-place path (standard output for "-"); a FIFO waits
// for its reader. Answers false with a message naming the path.
HOST_API bool WriteInPlace(const std::string& path, const std::string& text, std::string& error);

// strerror of a failed write, saying so in plain words when the disk is full.
HOST_API std::string WriteErrorText(int err);

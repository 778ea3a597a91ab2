// Standard output that was lost (a full disk, a closed pipe) must not go
// unnoticed: stdio only tells when asked.
#pragma once

#include <string>

// Flushes standard output. False with a message ("standard output: No
// space left on device") when it or an earlier write failed.
bool FlushStdout(std::string& error);

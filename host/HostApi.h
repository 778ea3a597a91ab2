// Visibility and basic types shared by the host layer and the plug-in.
#pragma once

#include <cstddef>
#include <cstdint>

// The host layer is a shared library; the plug-in is built with hidden
// visibility so that it exports nothing but Create. Host classes therefore
// carry default visibility explicitly, so that their type information and
// vtables resolve to the host's copy from inside the plug-in.
#define HOST_API __attribute__((visibility("default")))

using BYTE = std::uint8_t;

// Byte strings written as numbers or as hexadecimal text.
#pragma once

#include <initializer_list>
#include <string>

namespace testsupport {

// {0x1B, 'r', 0} -> the bytes.
std::string Bytes(std::initializer_list<int> values);
// "1B 72 00" -> bytes; every character but a hex digit is ignored.
std::string Hex(const std::string& text);
// Bytes as "1B 72 00 " for comparisons whose failure should be readable.
std::string ToHex(const std::string& bytes);

} // namespace testsupport

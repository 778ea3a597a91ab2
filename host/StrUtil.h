// Text helpers of the host: conversions between wide and narrow text, hex
// tables, lists and numbers.
#pragma once

#include <string>
#include <vector>

#include "HostApi.h"

// Wide text <-> UTF-8 (settings files, log files, UTF-8 printer texts).
HOST_API std::string WideToUtf8(const std::wstring& text);
HOST_API std::wstring Utf8ToWide(const std::string& text);

// Wide text <-> the narrow "ANSI" code page used for printer command texts.
// Here the code page is ISO 8859-1: characters above 255 become '?'.
HOST_API std::string WideToAnsi(const std::wstring& text);
HOST_API std::wstring AnsiToWide(const std::string& text);

// Two hexadecimal digits per byte. Converts pairs from the start and stops
// at the first character that is not a hex digit; an odd last digit is
// dropped. Returns true when the whole text was converted.
HOST_API bool HexStringToBin(const std::wstring& text, std::vector<BYTE>& out);
HOST_API std::vector<BYTE> HexStringToBin(const std::wstring& text);
// Upper-case hex text of the bytes.
HOST_API std::wstring BinToHexString(const BYTE* data, std::size_t length);
HOST_API std::wstring BinToHexString(const std::vector<BYTE>& data);

// Splits at every separator. With bSkipTrailingEmpty set, an empty last
// item (text ending in the separator, or empty text) is not returned.
HOST_API std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator,
                                         int bSkipTrailingEmpty = 1);

// Leading decimal integer (optional sign, leading blanks); 0 when there is none.
HOST_API int IntFromString(const std::wstring& text);
// Leading floating-point number; 0.0 when there is none.
HOST_API double DoubleFromString(const std::wstring& text);
// The int nearest below value (toward zero), INT_MIN or INT_MAX beyond that
// range, 0 for NaN: a conversion with no undefined case.
HOST_API int SaturatedInt(double value);
HOST_API std::wstring ToString(int value);
HOST_API std::wstring ToString(double value);
// printf-style "%.2f".
HOST_API std::wstring ToString2f(double value);

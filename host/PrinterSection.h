// A printer's section as the tools load it: the section must say which
// printer it is (its UID) and may name no host entry that does not exist.
#pragma once

#include <string>
#include <string_view>

#include "HostApi.h"

class CPrintEnv;

// True for the name of a host entry ("PrEnv_UID" and the others, in any
// case); known lists them all.
HOST_API bool IsHostEntryName(std::wstring_view key);
HOST_API std::string HostEntryNames();

// Checks the text of a UID: a whole number from 0 to 255 (a comment after
// it is no part of the value). Answers false with what is wrong.
HOST_API bool CheckUidText(const std::wstring& text, std::string& what);

// Checks one key and value a user sets: a "PrEnv_" key must be a host entry
// and "PrEnv_UID" a valid UID. Answers false with what is wrong.
HOST_API bool CheckUserSetting(const std::wstring& key, const std::wstring& value, std::string& what);

// Loads section (or, when section is empty, the file's only one) into env.
// Every "PrEnv_" key must be a host entry and "PrEnv_UID" a valid UID; the
// UID must be there unless requireUid is false (the caller has one).
// Errors name the file and the line.
HOST_API bool LoadPrinterSection(const std::string& path, const std::string& section, bool requireUid, CPrintEnv& env,
                                 std::string& error);

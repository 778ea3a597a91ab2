// Numbers with a fraction in the settings store: read so that no value a
// later conversion to int cannot take ever leaves the store.
#include <climits>
#include <cmath>
#include <cstdio>
#include <cwchar>

#include "PrintEnv.h"
#include "StrUtil.h"

double CPrintEnv::GetDouble(const wchar_t* key, const wchar_t* def) const
{
    const std::wstring* stored = Find(key);
    const std::wstring text = stored ? *stored : std::wstring(def ? def : L"");
    const wchar_t* begin = text.c_str();
    wchar_t* end = nullptr;
    const double v = std::wcstod(begin, &end);
    if (end == begin) {
        if (stored)
            NoteBad(key, text, "is not a number; 0 is used");
        return 0.0;
    }
    if (std::isnan(v)) {
        NoteBad(key, text, "is not a number; 0 is used");
        return 0.0;
    }
    if (v > INT_MAX || v < INT_MIN) {
        const double clamped = v > 0 ? INT_MAX : INT_MIN;
        char problem[64];
        std::snprintf(problem, sizeof problem, "is out of range; %.0f is used", clamped);
        NoteBad(key, text, problem);
        return clamped;
    }
    return v;
}

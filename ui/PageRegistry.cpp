#include <cstring>
#include <vector>

#include "ui/PagesFamilies.h"

namespace mimaki::ui {

std::span<const PageDesc* const> AllPages()
{
    static const std::vector<const PageDesc*> all = [] {
        std::vector<const PageDesc*> v;
        for (const auto family : {EarlyPages(), RollPages(), ConditionPages(), FlatbedPages()})
            v.insert(v.end(), family.begin(), family.end());
        return v;
    }();
    return all;
}

const PageDesc* PageOfClass(const char* parmsClass)
{
    // The CJV330's class derives from the JV330's and shares its page.
    if (std::strcmp(parmsClass, "DEVPARMCJV330_CLASS") == 0)
        parmsClass = "DEVPARMJV330_CLASS";
    for (const PageDesc* p : AllPages())
        if (std::strcmp(p->parmsClass, parmsClass) == 0)
            return p;
    return nullptr;
}

std::span<const DialogDesc* const> AllDialogs() { return OptionDialogs(); }

const DialogDesc* DialogById(int id, int variant)
{
    for (const DialogDesc* d : AllDialogs())
        if (d->dialog == id && d->variant == variant)
            return d;
    return nullptr;
}

std::span<const char* const> DotVolumeLabels()
{
    static const char* const labels[] = {"72pl", "66pl", "60pl", "54pl", "48pl", "42pl",
                                         "36pl", "30pl", "24pl", "18pl", "12pl", "6pl"};
    return labels;
}

} // namespace mimaki::ui

#include "core/text/StringTable.h"

#include "core/text/Languages.h"

#include <algorithm>
#include <array>
#include <vector>

namespace qv {
namespace {

// Each subsystem keeps its strings in a file of its own under strings/.
constexpr StringEntry kEntries[] = {
#include "core/text/strings/app.inc"
#include "core/text/strings/benchmark.inc"
#include "core/text/strings/device.inc"
#include "core/text/strings/errorscan.inc"
#include "core/text/strings/files.inc"
#include "core/text/strings/info.inc"
#include "core/text/strings/inputs.inc"
#include "core/text/strings/probe.inc"
#include "core/text/strings/recovery.inc"
#include "core/text/strings/reports.inc"
#include "core/text/strings/recoverypage.inc"
#include "core/text/strings/run.inc"
#include "core/text/strings/transfers.inc"
#include "core/text/strings/access.inc"
#include "core/text/strings/sectorviewer.inc"
#include "core/text/strings/shell.inc"
#include "core/text/strings/stops.inc"
};

const std::vector<StringEntry>& sortedEntries()
{
    static const std::vector<StringEntry> entries = [] {
        std::vector<StringEntry> all(std::begin(kEntries), std::end(kEntries));
        std::stable_sort(all.begin(), all.end(),
                         [](const StringEntry& a, const StringEntry& b) { return a.id < b.id; });
        return all;
    }();
    return entries;
}

const StringEntry* find(int id)
{
    const auto& all = sortedEntries();
    auto it = std::lower_bound(all.begin(), all.end(), id,
                               [](const StringEntry& e, int key) { return e.id < key; });
    return it != all.end() && it->id == id ? &*it : nullptr;
}

std::function<std::string(int)>& provider()
{
    static std::function<std::string(int)> p;
    return p;
}

uint16_t& builtinLanguage()
{
    static uint16_t language = kRussian;
    return language;
}

}  // namespace

std::span<const StringEntry> StringTable()
{
    return sortedEntries();
}

std::string LoadTextWith(int id, std::initializer_list<std::string> args)
{
    std::string text = LoadText(id);
    int n = 1;
    for (const std::string& arg : args) {
        const std::string mark = "%" + std::to_string(n++);
        const size_t at = text.find(mark);
        if (at != std::string::npos)
            text.replace(at, mark.size(), arg);
    }
    return text;
}

std::string BuiltinText(int id)
{
    const StringEntry* e = find(id);
    return e ? e->russian : "";
}

std::string EnglishText(int id)
{
    const StringEntry* e = find(id);
    return e ? e->english : "";
}

std::string GermanText(int id)
{
    const StringEntry* e = find(id);
    return e && e->german ? e->german : "";
}

std::string LoadText(int id)
{
    if (provider()) {
        std::string text = provider()(id);
        if (!text.empty())
            return text;
    }
    switch (builtinLanguage()) {
    case kEnglishUS:
        return EnglishText(id);
    case kGerman: {
        std::string german = GermanText(id);
        return german.empty() ? EnglishText(id) : german;
    }
    default:
        return BuiltinText(id);
    }
}

void SetTextProvider(std::function<std::string(int)> p)
{
    provider() = std::move(p);
}

void UseBuiltinLanguage(uint16_t language)
{
    builtinLanguage() = language;
}

void UseEnglishTexts(bool english)
{
    UseBuiltinLanguage(english ? kEnglishUS : kRussian);
}

}  // namespace qv

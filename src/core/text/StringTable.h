#pragma once

#include <functional>
#include <span>
#include <string>

namespace qv {

// One entry of the program's string table: the built-in Russian text and
// its translations (from which the translation files are generated). An
// entry written with three fields has no German text yet; the build's
// translation check names it.
struct StringEntry {
    int id;
    const char* russian;
    const char* english;
    const char* german = nullptr;
};

// Every entry, sorted by id.
std::span<const StringEntry> StringTable();

// The text of a string id: through the installed provider (the GUI's
// translator) when there is one, else the built-in text; empty when missing.
std::string LoadText(int id);

// The built-in (Russian) text, or a translation, without any provider.
std::string BuiltinText(int id);
std::string EnglishText(int id);
std::string GermanText(int id);

// Installs the function LoadText consults first; an empty function removes
// it. The provider returns an empty string for ids it does not know.
void SetTextProvider(std::function<std::string(int)> provider);

// Makes LoadText answer in English without a translator (the CLI on an
// English locale).
void UseEnglishTexts(bool english);

}  // namespace qv

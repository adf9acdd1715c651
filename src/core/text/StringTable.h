#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <initializer_list>
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
// LoadText with %1, %2, ... replaced by args in order.
std::string LoadTextWith(int id, std::initializer_list<std::string> args);

// The built-in (Russian) text, or a translation, without any provider.
std::string BuiltinText(int id);
std::string EnglishText(int id);
std::string GermanText(int id);

// Installs the function LoadText consults first; an empty function removes
// it. The provider returns an empty string for ids it does not know.
void SetTextProvider(std::function<std::string(int)> provider);

// The language LoadText answers in without a provider, from the table's
// own columns: Russian (0x0419), English (0x0409) or German (0x0407); a
// German text not written yet falls back to the English one. For the
// command-line tool and the tests.
void UseBuiltinLanguage(uint16_t language);
// UseBuiltinLanguage of English or Russian.
void UseEnglishTexts(bool english);

}  // namespace qv

// Writes the id-based Qt Linguist source of one translation (English or
// German) from the program's built-in string table, and fails, naming the
// ids, when an entry has no text in that language: a shipped language is
// complete or the build stops.
#include "core/text/StringTable.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

std::string escapeXml(const char* text)
{
    std::string out;
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += *p;
        }
    }
    return out;
}

const char* translationOf(const qv::StringEntry& entry, const std::string& language)
{
    return language == "de_DE" ? entry.german : entry.english;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::string(argv[1]) != "en_US" && std::string(argv[1]) != "de_DE")) {
        std::fprintf(stderr, "usage: %s en_US|de_DE OUTPUT.ts\n", argv[0]);
        return 2;
    }
    const std::string language = argv[1];
    const char* output = argv[2];
    int missing = 0;
    for (const qv::StringEntry& entry : qv::StringTable()) {
        const char* text = translationOf(entry, language);
        if (!text || !*text) {
            std::fprintf(stderr, "%s: string %d has no %s translation\n", argv[0], entry.id, language.c_str());
            ++missing;
        }
    }
    if (missing) {
        std::fprintf(stderr, "%s: %d strings lack a %s translation\n", argv[0], missing, language.c_str());
        return 1;
    }
    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], output);
        return 1;
    }
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
           "<TS version=\"2.1\" language=\""
        << language << "\" sourcelanguage=\"ru_RU\">\n<context>\n    <name>Quorvane</name>\n";
    for (const qv::StringEntry& entry : qv::StringTable()) {
        out << "    <message id=\"" << entry.id << "\">\n"
            << "        <source>" << escapeXml(entry.russian) << "</source>\n"
            << "        <translation>" << escapeXml(translationOf(entry, language)) << "</translation>\n"
            << "    </message>\n";
    }
    out << "</context>\n</TS>\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: writing %s failed\n", argv[0], output);
        return 1;
    }
    return 0;
}

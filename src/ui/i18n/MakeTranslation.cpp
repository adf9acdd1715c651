// Writes the id-based Qt Linguist source of the English translation from the
// program's built-in string table.
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

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.ts\n", argv[0]);
        return 2;
    }
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[1]);
        return 1;
    }
    out << "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
           "<TS version=\"2.1\" language=\"en_US\" sourcelanguage=\"ru_RU\">\n<context>\n"
           "    <name>Quorvane</name>\n";
    for (const qv::StringEntry& entry : qv::StringTable()) {
        out << "    <message id=\"" << entry.id << "\">\n"
            << "        <source>" << escapeXml(entry.russian) << "</source>\n"
            << "        <translation>" << escapeXml(entry.english) << "</translation>\n"
            << "    </message>\n";
    }
    out << "</context>\n</TS>\n";
    out.close();
    if (!out) {
        std::fprintf(stderr, "%s: writing %s failed\n", argv[0], argv[1]);
        return 1;
    }
    return 0;
}

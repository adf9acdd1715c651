#include "core/recovery/FileKind.h"

#include <cstring>

namespace qv {
namespace {

struct KindRow {
    const char* extension;
    int listOrder;
    int labelId;
};

// Indexed by code - 1.
constexpr KindRow kKinds[kKindCount] = {
    {"jpg", 5, 216},  {"mov", 6, 217},  {"avi", 1, 212},  {"png", 10, 221}, {"gif", 4, 215},
    {"bmp", 2, 213},  {"tif", 14, 225}, {"mpg", 8, 219},  {"wmv", 17, 228}, {"wma", 16, 227},
    {"wav", 15, 226}, {"mp3", 7, 218},  {"zip", 19, 230}, {"rar", 13, 224}, {"pdf", 9, 220},
    {"doc", 3, 214},  {"xls", 18, 229}, {"ppt", 12, 223}, {"pps", 11, 222}, {"mts", 20, 231},
};

bool valid(int code)
{
    return code >= 1 && code <= kKindCount;
}

}  // namespace

const char* KindExtension(int code)
{
    return valid(code) ? kKinds[code - 1].extension : "000";
}

int KindForExtension(const char* ext)
{
    for (int code = 1; code <= kKindCount; ++code)
        if (std::strcmp(kKinds[code - 1].extension, ext) == 0)
            return code;
    return 0;
}

int KindListOrder(int code)
{
    return valid(code) ? kKinds[code - 1].listOrder : 0;
}

int KindLabelId(int code)
{
    return valid(code) ? kKinds[code - 1].labelId : 0;
}

int KindAtListEntry(int entry)
{
    for (int code = 1; code <= kKindCount; ++code)
        if (kKinds[code - 1].listOrder == entry + 1)
            return code;
    return 0;
}

}  // namespace qv

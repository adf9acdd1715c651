#pragma once

#include <cstdint>

namespace qv {

// The twenty recognisable file kinds. A kind's mask bit is 1 << code.
enum FileKind : int32_t {
    KIND_NONE = 0,
    KIND_JPG = 1,
    KIND_MOV = 2,
    KIND_AVI = 3,
    KIND_PNG = 4,
    KIND_GIF = 5,
    KIND_BMP = 6,
    KIND_TIF = 7,
    KIND_MPG = 8,
    KIND_WMV = 9,
    KIND_WMA = 10,
    KIND_WAV = 11,
    KIND_MP3 = 12,
    KIND_ZIP = 13,
    KIND_RAR = 14,
    KIND_PDF = 15,
    KIND_DOC = 16,
    KIND_XLS = 17,
    KIND_PPT = 18,
    KIND_PPS = 19,
    KIND_MTS = 20,
};

inline constexpr int kKindCount = 20;

// The extension of a kind's found files; "000" for codes outside 1 to 20.
const char* KindExtension(int code);

// The kind whose extension is ext (lower case, "jpg"); 0 when none is.
int KindForExtension(const char* ext);

// Position of the kind in the recovery page's format list (1 to 20), and the
// string id of its label there; 0 for codes outside 1 to 20.
int KindListOrder(int code);
int KindLabelId(int code);

// The kind shown at a 0-based entry of the format list (0 to 19); 0 outside.
int KindAtListEntry(int entry);

inline constexpr uint64_t KindMaskBit(int code)
{
    return code >= 0 && code < 64 ? uint64_t(1) << code : 0;
}

}  // namespace qv

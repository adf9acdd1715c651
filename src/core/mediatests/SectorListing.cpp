#include "core/mediatests/SectorListing.h"

#include "core/device/SectorIO.h"

#include <cctype>
#include <cstdio>

namespace qv {

std::array<std::string, kListingLines> SectorListing(const SectorBytes& sector)
{
    std::array<std::string, kListingLines> lines;
    for (int line = 0; line < kListingLines; ++line) {
        const uint8_t* row = sector.data() + line * 16;
        char text[kListingLineLength + 1];
        int at = std::snprintf(text, sizeof text, "%03X: ", line * 16);
        for (int i = 0; i < 16; ++i)
            at += std::snprintf(text + at, sizeof text - size_t(at), "%02X ", row[i]);
        text[at++] = ' ';
        // Printable ASCII, whatever locale the process runs in.
        for (int i = 0; i < 16; ++i)
            text[at++] = row[i] > 0x20 && row[i] < 0x7F ? char(row[i]) : '.';
        lines[size_t(line)].assign(text, size_t(at));
    }
    return lines;
}

uint64_t SliderToSector(int position, uint64_t sectorCount)
{
    if (sectorCount == 0 || position <= 0)
        return 0;
    if (position >= kSliderRange)
        return sectorCount - 1;
    const uint64_t last = sectorCount - 1;
    // In two parts, so that no product overflows on any medium.
    return last / kSliderRange * uint64_t(position) + last % kSliderRange * uint64_t(position) / kSliderRange;
}

int SectorToSlider(uint64_t sector, uint64_t sectorCount)
{
    if (sectorCount == 0)
        return 0;
    if (sector >= sectorCount)
        return kSliderRange;
    const uint64_t position = sectorCount > UINT64_MAX / kSliderRange ? sector / (sectorCount / kSliderRange)
                                                                       : sector * kSliderRange / sectorCount;
    return position > uint64_t(kSliderRange) ? kSliderRange : int(position);
}

std::optional<uint64_t> ParseSectorNumber(const std::string& text)
{
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    uint64_t value = 0;
    bool digits = false;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        digits = true;
        // Past any medium: saturate rather than wrap to a small sector.
        value = value > (UINT64_MAX - 9) / 10 ? UINT64_MAX : value * 10 + uint64_t(text[at] - '0');
    }
    if (negative && digits && value != 0)
        return std::nullopt;
    return value;
}

void SectorViewer::Initialise(uint64_t sectorCount)
{
    bytes_.fill(0);
    sectorCount_ = sectorCount;
    current_ = 0;
    initialised_ = true;
}

bool SectorViewer::Show(const DeviceHandle& handle)
{
    // Read aside so that a failed or short read leaves the shown bytes whole.
    // The byte offset of a number past any medium would wrap.
    SectorBytes read{};
    if (!handle || current_ > UINT64_MAX / kListingSectorSize || !ReadSectorsAt(handle, current_, 1, kListingSectorSize, read.data()))
        return false;
    bytes_ = read;
    return true;
}

}  // namespace qv

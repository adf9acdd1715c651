#pragma once

#include "core/device/Volume.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace qv {

inline constexpr int kListingSectorSize = 512;
inline constexpr int kListingLines = 32;
inline constexpr int kListingLineLength = 70;
inline constexpr int kSliderRange = 1000;

using SectorBytes = std::array<uint8_t, kListingSectorSize>;

// One sector as 32 lines of 70 characters: "1F0: " and sixteen "%02X "
// pairs, one more blank, then the sixteen bytes as characters (printable
// ASCII as itself, everything else as '.').
std::array<std::string, kListingLines> SectorListing(const SectorBytes& sector);

// The slider's thousandths as a sector (0 gives 0, 1000 the last sector)
// and back, on a medium of any size.
uint64_t SliderToSector(int position, uint64_t sectorCount);
int SectorToSlider(uint64_t sector, uint64_t sectorCount);

// A typed sector number: leading blanks, an optional sign and the digits
// that follow, as atoi reads it (no digits give 0). Negative numbers give
// nothing: no sector is read at a negative position.
std::optional<uint64_t> ParseSectorNumber(const std::string& text);

// What the sector viewer shows: the current sector and the bytes of the
// last sector read successfully.
class SectorViewer {
public:
    // Zeroes the bytes and makes sector 0 current; the ranges come from
    // sectorCount now and are not updated later.
    void Initialise(uint64_t sectorCount);
    bool initialised() const { return initialised_; }

    // Reads the current sector; on failure the previous bytes stay.
    bool Show(const DeviceHandle& handle);

    void setCurrent(uint64_t sector) { current_ = sector; }
    uint64_t current() const { return current_; }
    uint64_t sectorCount() const { return sectorCount_; }
    const SectorBytes& bytes() const { return bytes_; }
    std::array<std::string, kListingLines> listing() const { return SectorListing(bytes_); }

private:
    SectorBytes bytes_{};
    uint64_t current_ = 0;
    uint64_t sectorCount_ = 0;
    bool initialised_ = false;
};

}  // namespace qv

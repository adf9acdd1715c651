#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

inline constexpr int kFileSizeCount = 7;

// The in-memory settings shared by the pages; loaded when the main window
// initialises and written back when it closes normally.
struct Settings {
    int32_t maximumSpeed = 150;
    int32_t testType = 1;
    uint32_t readColor = 0x00FF00;   // COLORREF (0x00BBGGRR)
    uint32_t writeColor = 0x00F0FF;  // COLORREF
    int32_t eraseType = 0;
    int32_t scanTestType = 1;
    int32_t passes = 1;
    int32_t recoveryMode = 2;
    int32_t fileSizesMB[kFileSizeCount] = {};
};

// Where the per-user values live: top-level integer values by name.
class ProfileStore {
public:
    virtual ~ProfileStore() = default;
    // nullopt when the value is missing or is not an integer.
    virtual std::optional<int64_t> readInt(const std::string& name) const = 0;
    // Failures are not reported.
    virtual void writeInt(const std::string& name, int64_t value) = 0;
};

// The value names as the store holds them.
inline constexpr const char* kMaximumSpeedKey = "Maximum Speed";
inline constexpr const char* kTestTypeKey = "Test Type";
inline constexpr const char* kReadColorKey = "Read Color";
inline constexpr const char* kWriteColorKey = "Write Color";
inline constexpr const char* kEraseTypeKey = "Erase Type";
inline constexpr const char* kScanTestTypeKey = "Scan Test Type";
inline constexpr const char* kPassesKey = "Passes";
inline constexpr const char* kDisableDeviceScanKey = "Disable Device Scan";
inline constexpr const char* kDisableUsbScanKey = "Disable USB Scan";
inline constexpr const char* kLanguageIdKey = "LanguageId";

// An integer value of the store, or its default when missing or unreadable.
int32_t ReadProfileInt(const ProfileStore& store, const std::string& name, int32_t fallback);

// Reads the load-time values with their defaults; recoveryMode = 2.
void LoadSettings(Settings& settings, const ProfileStore& store);
// Writes the five values the program changes (never the colours);
// recoveryMode = 2.
void SaveSettings(Settings& settings, ProfileStore& store);

int IsDeviceScanDisabled(const ProfileStore& store);
int IsUsbScanDisabled(const ProfileStore& store);

// A store held in memory, for the tests and the command-line tool.
class MemoryProfileStore : public ProfileStore {
public:
    std::optional<int64_t> readInt(const std::string& name) const override;
    void writeInt(const std::string& name, int64_t value) override;
    bool contains(const std::string& name) const;
    // A value that is present but is not a number.
    void setText(const std::string& name, const std::string& text);

private:
    struct Value {
        std::string name;
        std::optional<int64_t> number;
    };
    const Value* find(const std::string& name) const;
    std::vector<Value> values_;
};

}  // namespace qv

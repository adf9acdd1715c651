#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace qv::test {

// A folder made for one test and removed with everything in it afterwards;
// also builds fake sysfs and proc trees.
class TempTree {
public:
    explicit TempTree(const std::string& parent = "/tmp")
    {
        std::string pattern = parent + "/qv-test-XXXXXX";
        char* made = mkdtemp(pattern.data());
        root_ = made ? made : "";
    }
    ~TempTree()
    {
        std::error_code ec;
        if (!root_.empty())
            std::filesystem::remove_all(root_, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& relative) const { return root_ + "/" + relative; }

    // Writes a file (and its folders) below the root.
    void write(const std::string& relative, const std::string& text) const
    {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::ofstream(path(relative)) << text;
    }
    void folder(const std::string& relative) const { std::filesystem::create_directories(path(relative)); }
    // A symbolic link at relative pointing to target (relative to the link).
    void link(const std::string& target, const std::string& relative) const
    {
        std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
        std::filesystem::create_directory_symlink(target, path(relative));
    }

    // A disk as sysfs shows it: devices/<disk> with size and dev, reached
    // through block/<disk> and class/block/<disk>.
    void disk(const std::string& name, unsigned long long sectors, const std::string& number) const
    {
        write("devices/" + name + "/size", std::to_string(sectors) + "\n");
        write("devices/" + name + "/dev", number + "\n");
        link("../devices/" + name, "block/" + name);
        link("../../devices/" + name, "class/block/" + name);
    }
    void partition(const std::string& disk, const std::string& name, int number, unsigned long long sectors,
                   const std::string& deviceNumber) const
    {
        const std::string dir = "devices/" + disk + "/" + name;
        write(dir + "/partition", std::to_string(number) + "\n");
        write(dir + "/size", std::to_string(sectors) + "\n");
        write(dir + "/dev", deviceNumber + "\n");
        link("../../devices/" + disk + "/" + name, "class/block/" + name);
    }
    // A holder (device-mapper, md) stacked on the block device whose
    // folder is heldDir ("devices/sdb/sdb2").
    void holder(const std::string& heldDir, const std::string& name, const std::string& deviceNumber) const
    {
        write("devices/virtual/" + name + "/dev", deviceNumber + "\n");
        write("devices/virtual/" + name + "/size", "100\n");
        link("../../devices/virtual/" + name, "class/block/" + name);
        folder(heldDir + "/holders/" + name);
    }

private:
    std::string root_;
};

}  // namespace qv::test

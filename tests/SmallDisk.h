#pragma once
// A small tmpfs mounted over a folder for one test, so that writing into it fills a real disk
// (ENOSPC), and unmounted again on destruction. Mounting needs root (CAP_SYS_ADMIN); Mounted()
// says whether it worked.

#include <sys/mount.h>

#include <cstddef>
#include <filesystem>
#include <string>

class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& folder, size_t bytes) : folder_(folder) {
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        const std::string options = "size=" + std::to_string(bytes) + ",mode=0700";
        mounted_ =
            mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            umount2(folder_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool Mounted() const { return mounted_; }

private:
    std::filesystem::path folder_;
    bool mounted_ = false;
};

#pragma once

// A folder turned read-only as a CD or a write-protected stick is: a read-only bind mount where
// this process may mount (as root, where permissions do not hold), otherwise by permissions.
// Unavailable() says why a test cannot have one here.

#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::test {

class ReadOnlyMedia {
public:
    explicit ReadOnlyMedia(std::string folder) : folder_(std::move(folder)) {
        if (::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND, nullptr) == 0) {
            mounted_ = true;
            if (::mount(folder_.c_str(), folder_.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY,
                        nullptr) == 0) {
                return;
            }
        }
        ::chmod(folder_.c_str(), 0555);
        if (::access(folder_.c_str(), W_OK) == 0) {
            unavailable_ = "no folder can be made read-only here";
        }
    }
    ~ReadOnlyMedia() {
        if (mounted_) {
            ::umount2(folder_.c_str(), MNT_DETACH);
        }
        ::chmod(folder_.c_str(), 0755);
    }
    ReadOnlyMedia(const ReadOnlyMedia&) = delete;
    ReadOnlyMedia& operator=(const ReadOnlyMedia&) = delete;

    const std::string& Unavailable() const { return unavailable_; }

private:
    std::string folder_;
    std::string unavailable_;
    bool mounted_ = false;
};

} // namespace orv::test

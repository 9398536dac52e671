#include "save_faults.h"

#include "files/safe_save.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orv::test {

namespace fs = std::filesystem;

namespace {

constexpr const char* kOldContent =
    "<?xml version=\"1.0\"?>\r\n<config FileID=\"8\" note=\"the old file\"/>\r\n";

bool WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return static_cast<bool>(out.flush());
}

// Whether this process may write into a folder whose permissions forbid it (root, or a
// capability that overrides them).
bool PermissionsIgnored(const std::string& base) {
    const std::string probe = base + "/probe";
    if (::mkdir(probe.c_str(), 0555) != 0) {
        return false;
    }
    const std::string file = probe + "/x";
    const int fd = ::open(file.c_str(), O_CREAT | O_WRONLY, 0644);
    const bool ignored = fd >= 0;
    if (fd >= 0) {
        ::close(fd);
        ::unlink(file.c_str());
    }
    ::rmdir(probe.c_str());
    return ignored;
}

} // namespace

const char* SaveFaultName(SaveFault fault) {
    switch (fault) {
    case SaveFault::FullDisk:
        return "FullDisk";
    case SaveFault::ReadOnlyFolder:
        return "ReadOnlyFolder";
    case SaveFault::VanishedFolder:
        return "VanishedFolder";
    case SaveFault::InjectedNoSpace:
        return "InjectedNoSpace";
    case SaveFault::InjectedReadOnly:
        return "InjectedReadOnly";
    }
    return "?";
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool FaultyFolder::Mount(const std::string& source, const char* type, unsigned long flags,
                         const char* options) {
    if (::mount(source.c_str(), folder_.c_str(), type, flags, options) != 0) {
        unavailable_ = std::string("mounting on the test folder was refused (") + std::strerror(errno) + ")";
        return false;
    }
    if ((flags & MS_REMOUNT) == 0) {
        mounts_.push_back(folder_);
    }
    return true;
}

FaultyFolder::FaultyFolder(SaveFault fault) {
    folder_ = dir_.File("folder");
    target_ = folder_ + "/site.cf8";
    fs::create_directory(folder_);
    switch (fault) {
    case SaveFault::FullDisk: {
        reason_ = "Недостаточно места на диске.";
        if (!Mount("tmpfs", "tmpfs", MS_NOSUID | MS_NODEV, "size=64k,mode=0755")) {
            return;
        }
        oldContent_ = kOldContent;
        WriteFile(target_, oldContent_);
        // Everything else goes to a filler, so not even a small temporary file fits.
        std::FILE* filler = std::fopen((folder_ + "/filler").c_str(), "wb");
        if (filler) {
            const std::string block(4096, 'x');
            while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
                   std::fflush(filler) == 0) {
            }
            std::fclose(filler);
        }
        for (int i = 0; i < 64; ++i) { // and what the last block left over
            std::FILE* f = std::fopen((folder_ + "/filler" + std::to_string(i)).c_str(), "wb");
            if (!f) {
                break;
            }
            const bool full = std::fputc('x', f) == EOF || std::fflush(f) != 0;
            std::fclose(f);
            if (full) {
                break;
            }
        }
        break;
    }
    case SaveFault::ReadOnlyFolder:
        oldContent_ = kOldContent;
        WriteFile(target_, oldContent_);
        if (!PermissionsIgnored(dir_.path())) {
            reason_ = "Нет прав на запись в эту папку.";
            // The file too: a writable file in a closed folder is overwritten in place.
            ::chmod(target_.c_str(), 0444);
            ::chmod(folder_.c_str(), 0555);
            break;
        }
        reason_ = "Папка доступна только для чтения.";
        if (!Mount(folder_, nullptr, MS_BIND, nullptr) ||
            !Mount(folder_, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr)) {
            // Permissions do not hold and the folder cannot be made read-only: as the disk says.
            unavailable_.clear();
            for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) {
                ::umount2(it->c_str(), MNT_DETACH);
            }
            mounts_.clear();
            SetInjectedSaveError(EROFS);
            injected_ = true;
        }
        break;
    case SaveFault::VanishedFolder:
        reason_ = "Папка не найдена.";
        fs::remove_all(folder_);
        break;
    case SaveFault::InjectedNoSpace:
        reason_ = "Недостаточно места на диске.";
        oldContent_ = kOldContent;
        WriteFile(target_, oldContent_);
        SetInjectedSaveError(ENOSPC);
        injected_ = true;
        break;
    case SaveFault::InjectedReadOnly:
        reason_ = "Папка доступна только для чтения.";
        oldContent_ = kOldContent;
        WriteFile(target_, oldContent_);
        SetInjectedSaveError(EROFS);
        injected_ = true;
        break;
    }
    entries_ = EntriesNow();
}

FaultyFolder::~FaultyFolder() {
    if (injected_) {
        SetInjectedSaveError(0);
    }
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) {
        ::umount2(it->c_str(), MNT_DETACH);
    }
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
}

ClosedFolder::ClosedFolder() {
    folder_ = dir_.File("folder");
    target_ = folder_ + "/site.cf8";
    fs::create_directory(folder_);
    WriteFile(target_, kOldContent);
    if (!PermissionsIgnored(dir_.path())) {
        ::chmod(folder_.c_str(), 0555);
        return;
    }
    // Permissions do not hold: the folder read-only by a bind mount, the file writable by one of
    // its own on top.
    const std::string outside = dir_.File("site-outside.cf8");
    WriteFile(outside, kOldContent);
    auto mount = [this](const std::string& source, const std::string& where, unsigned long flags) {
        if (::mount(source.c_str(), where.c_str(), nullptr, flags, nullptr) != 0) {
            unavailable_ =
                std::string("mounting on the test folder was refused (") + std::strerror(errno) + ")";
            return false;
        }
        if ((flags & MS_REMOUNT) == 0) {
            mounts_.push_back(where);
        }
        return true;
    };
    if (mount(folder_, folder_, MS_BIND) && mount(folder_, folder_, MS_BIND | MS_REMOUNT | MS_RDONLY)) {
        mount(outside, target_, MS_BIND);
    }
}

ClosedFolder::~ClosedFolder() {
    for (auto it = mounts_.rbegin(); it != mounts_.rend(); ++it) {
        ::umount2(it->c_str(), MNT_DETACH);
    }
    std::error_code ec;
    fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ec);
}

std::vector<std::string> FaultyFolder::EntriesNow() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder_, ec)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace orv::test

#pragma once

// Permission bits stop root only once it lacks the capabilities that override them, and
// tests run as root in CI. These helpers take those capabilities away, so that a folder or
// file made unreadable with chmod really cannot be read, by root as by anyone else.

#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace melodrix::testing {

inline constexpr uint32_t kFileOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

// While it lives, the calling thread, and every thread it starts, reads and lists files as
// their permission bits say; the capabilities come back when it goes.
class TFileRightsAsBitsSay {
public:
    TFileRightsAsBitsSay() {
        if (::syscall(SYS_capget, &header_, saved_) != 0) {
            return;
        }
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~kFileOverrides;
        __user_cap_header_struct header = header_;
        dropped_ = ::syscall(SYS_capset, &header, reduced) == 0;
    }
    ~TFileRightsAsBitsSay() {
        if (dropped_) {
            __user_cap_header_struct header = header_;
            ::syscall(SYS_capset, &header, saved_);
        }
    }
    TFileRightsAsBitsSay(const TFileRightsAsBitsSay&) = delete;
    TFileRightsAsBitsSay& operator=(const TFileRightsAsBitsSay&) = delete;

    // True when the thread cannot override permission bits any more.
    bool Holds() const {
        __user_cap_header_struct header = header_;
        __user_cap_data_struct now[2] = {};
        return ::syscall(SYS_capget, &header, now) == 0 && (now[0].effective & kFileOverrides) == 0;
    }

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2] = {};
    bool dropped_ = false;
};

// For a child process between fork and exec: a program it then runs, even as root, cannot
// override permission bits. False when the capabilities could not be given up.
inline bool GiveUpFileOverridesForGood() {
    return (::prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 || ::geteuid() != 0) &&
           (::prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0 || ::geteuid() != 0);
}

}  // namespace melodrix::testing

// File permissions that bind the test even when it runs as the superuser, as continuous
// integration does: while the object lives, the calling thread's effective capabilities lack the
// two that let it read any file. For an ordinary user nothing changes.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class FilePermissionsBind {
public:
    FilePermissionsBind() {
        if (::syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~(CAP_TO_MASK(CAP_DAC_OVERRIDE) | CAP_TO_MASK(CAP_DAC_READ_SEARCH));
        m_bound = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~FilePermissionsBind() {
        if (m_bound)
            ::syscall(SYS_capset, &m_header, m_saved);
    }
    FilePermissionsBind(const FilePermissionsBind&) = delete;
    FilePermissionsBind& operator=(const FilePermissionsBind&) = delete;

    // Whether the permissions bind now; a test that needs them asserts it rather than skipping.
    bool Bound() const { return m_bound; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_bound = false;
};

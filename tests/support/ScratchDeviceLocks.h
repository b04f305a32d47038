#pragma once

// Points the device locks of the test program, and of every program it
// starts, at a scratch folder of its own (QEL_DEVICE_LOCK_DIR), so that tests
// never share locks with a program the user runs, nor leave lock files in the
// user's runtime folder. The test entries make one for the whole run.

#include "support/ScratchFolder.h"

#include <cstdlib>
#include <optional>
#include <string>

namespace qel::test {

class ScratchDeviceLocks {
public:
    ScratchDeviceLocks() {
        if (const char* old = std::getenv(variable))
            old_ = old;
        ::setenv(variable, folder_.path().c_str(), 1);
    }
    ~ScratchDeviceLocks() {
        if (old_)
            ::setenv(variable, old_->c_str(), 1);
        else
            ::unsetenv(variable);
    }
    ScratchDeviceLocks(const ScratchDeviceLocks&) = delete;
    ScratchDeviceLocks& operator=(const ScratchDeviceLocks&) = delete;

    // The folder, ending with '/'.
    const std::string& path() const { return folder_.path(); }

private:
    static constexpr const char* variable = "QEL_DEVICE_LOCK_DIR";
    ScratchFolder folder_;
    std::optional<std::string> old_;
};

} // namespace qel::test

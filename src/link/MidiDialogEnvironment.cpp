#include "link/MidiDialogEnvironment.h"

#include "link/HeadlessMidiDialogView.h"
#include "platform/files/DeviceLock.h"

namespace qel {

MidiDialogEnvironment MidiDialogEnvironment::completed() const {
    MidiDialogEnvironment environment = *this;
    if (!environment.driver)
        environment.driver =
            std::make_shared<midi::Driver>(std::vector<std::unique_ptr<midi::Backend>>{});
    if (environment.deviceLockFolder.empty())
        environment.deviceLockFolder = platform::defaultDeviceLockFolder();
    if (!environment.makeView)
        environment.makeView = [] { return std::make_unique<HeadlessMidiDialogView>(); };
    return environment;
}

} // namespace qel

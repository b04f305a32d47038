#include "link/MidiDialogEnvironment.h"

#include "link/HeadlessMidiDialogView.h"
#include "platform/registry/Registry.h"

namespace qel {

MidiDialogEnvironment MidiDialogEnvironment::standard() {
    MidiDialogEnvironment environment;
    environment.driver = midi::makeSystemDriver();
    environment.registryLocation = registry::Registry::defaultLocation();
    environment.makeView = [] { return std::make_unique<HeadlessMidiDialogView>(); };
    return environment;
}

MidiDialogEnvironment MidiDialogEnvironment::completed() const {
    MidiDialogEnvironment environment = *this;
    if (!environment.driver)
        environment.driver = midi::makeSystemDriver();
    if (environment.registryLocation.isEmpty())
        environment.registryLocation = registry::Registry::defaultLocation();
    if (!environment.makeView)
        environment.makeView = [] { return std::make_unique<HeadlessMidiDialogView>(); };
    return environment;
}

} // namespace qel

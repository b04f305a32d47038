#include "platform/registry/SettingsReader.h"

#include "core/SettingsKeys.h"

namespace qel::registry {

Settings readSettings(const Registry& registry) {
    const auto read = [&registry](const char* key, const char* value) {
        return registry.readString(key, value).value_or("");
    };
    Settings stored;
    stored.inputDevice = read(settings::midiKey, settings::inputDeviceValue);
    stored.outputDevice = read(settings::midiKey, settings::outputDeviceValue);
    stored.dataDirectory = read(settings::programKey, settings::directoryValue);
    stored.cardDrive = read(settings::cardKey, settings::driveValue);
    stored.midiKeyExists = registry.keyExists(settings::midiKey);
    return stored;
}

} // namespace qel::registry

#pragma once

// Reading the program's settings (core/Settings.h) out of a registry, where
// the preferences write them (core/SettingsKeys.h).

#include "core/Settings.h"
#include "platform/registry/Registry.h"

namespace qel::registry {

// The settings `registry` holds; a missing value reads as empty. Creates no key.
Settings readSettings(const Registry& registry);

} // namespace qel::registry

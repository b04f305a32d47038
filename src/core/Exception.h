#pragma once

#include <stdexcept>
#include <string>

namespace qel {

// The general failure of the system: one line of text meant for the user.
// Files, the format check of received messages and the workflows raise it;
// the application shows its text in a message box.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}

    // The text of the failure, as shown to the user.
    std::string message() const { return what(); }
};

} // namespace qel

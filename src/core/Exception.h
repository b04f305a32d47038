#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace qel {

// The general failure of the system: one line of text meant for the user.
// Files, the format check of received messages and the workflows raise it;
// the application shows its text in a message box.
//
// A failure of a keyboard action may also say the step it happened in
// ("receiving USER RHYTHM 140, block 3 of 5"). The step is kept apart from
// the text, so that the text stays the same whatever the step: callers
// compare it, and each display places the step in its own way.
// The text of the Exception that ends an action the user cancelled: no
// failure, said as the action's result.
inline constexpr std::string_view cancelledText = "Cancelled";

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message, const std::string& step = {})
        : std::runtime_error(message),
          step_(step.empty() ? nullptr : std::make_shared<const std::string>(step)) {}

    // The text of the failure, as shown to the user.
    std::string message() const { return what(); }

    // The step the failure happened in; empty when none is known.
    std::string step() const { return step_ ? *step_ : std::string(); }

private:
    // Shared, so that copying the exception never allocates.
    std::shared_ptr<const std::string> step_;
};

} // namespace qel

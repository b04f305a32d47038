#pragma once

// The program's two error displays, each in one place.

#include <QString>
#include <string>

class QWidget;

namespace qel::app {

// The text the application's default error display shows: a full stop is
// appended when the last character sorts after "." in byte order.
QString errorDisplayText(const std::string& text);

// The application's default error display: a message box captioned with the
// application title, an error icon and an OK button; `detail`, when there is
// one, is its informative text. Waits for the OK.
void showDefaultError(QWidget* parent, const std::string& text, const std::string& detail = {});

// The message box of keyboard actions: caption "ERROR", the text as it is, an
// OK button, no icon. What the text means and what to do (`detail`) is the
// box's informative text, and the step the action failed in its detailed
// text, so that the text itself reads as always. Waits for the OK.
void showKbdError(QWidget* parent, const std::string& text, const std::string& step = {},
                  const std::string& detail = {});

} // namespace qel::app

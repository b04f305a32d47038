#pragma once

// Help > About: the program's name and version, its licence, and the
// versions of the libraries it runs with (Qt, RtMidi, JACK).

#include <QDialog>
#include <QString>

class QLabel;

namespace qel::app {

class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);

    // The dialog's text, one fact a line.
    static QString text();
    QLabel* textLabel() const { return text_; }

private:
    QLabel* text_ = nullptr;
};

} // namespace qel::app

#pragma once

// The MIDI dialog's window where there is no screen (tests, command-line use):
// it keeps what it was told, and writes errors to the standard error stream.

#include "link/MidiDialogView.h"

#include <string>

namespace qel {

class HeadlessMidiDialogView : public MidiDialogView {
public:
    void setCaption(const std::string& text) override { caption_ = text; }
    void setRange(int maximum) override { maximum_ = maximum; }
    void setPosition(int position) override { position_ = position; }
    void show() override { visible_ = true; }
    void hide() override { visible_ = false; }
    void showError(const std::string& text) override;
    // No Cancel button: nothing here asks to stop.
    bool cancelRequested() const override { return false; }

    const std::string& caption() const { return caption_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    bool visible() const { return visible_; }

private:
    std::string caption_;
    int maximum_ = 100;
    int position_ = 0;
    bool visible_ = false;
};

} // namespace qel

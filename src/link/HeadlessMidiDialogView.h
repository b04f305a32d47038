#pragma once

// The MIDI dialog's window where there is no screen (tests, command-line use):
// it keeps what it was told, and writes errors to the standard error stream.

#include "link/MidiDialogView.h"

#include <functional>
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
    bool cancelRequested() const override { return cancelCheck_ && cancelCheck_(); }

    // Where a stop request comes from when there is no Cancel button: an
    // interrupt from the terminal, or a test.
    void setCancelCheck(std::function<bool()> check) { cancelCheck_ = std::move(check); }

    const std::string& caption() const { return caption_; }
    int maximum() const { return maximum_; }
    int position() const { return position_; }
    bool visible() const { return visible_; }

private:
    std::string caption_;
    int maximum_ = 100;
    int position_ = 0;
    bool visible_ = false;
    std::function<bool()> cancelCheck_;
};

} // namespace qel

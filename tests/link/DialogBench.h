#pragma once

// What the MIDI dialog tests share: a window that records what it was told, a
// temporary folder, and an environment with a short time-out.

#include "link/MidiDialogEnvironment.h"
#include "link/MidiDialogFactory.h"

#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qel::test {

// Everything the dialog's window was told; outlives the window.
struct ViewLog {
    std::string caption;
    int maximum = 0;
    int position = 0;
    bool visible = false;
    int shows = 0;
    std::vector<std::string> errors;
    // The user presses Cancel once the bar has reached this position; never when negative.
    int cancelAt = -1;
    // Another source of cancel requests (a terminal's interrupt); none when empty.
    std::function<bool()> cancelCheck;
};

class RecordingView : public MidiDialogView {
public:
    explicit RecordingView(std::shared_ptr<ViewLog> log) : log_(std::move(log)) {}
    void setCaption(const std::string& text) override { log_->caption = text; }
    void setRange(int maximum) override { log_->maximum = maximum; }
    void setPosition(int position) override { log_->position = position; }
    void show() override {
        log_->visible = true;
        ++log_->shows;
    }
    void hide() override { log_->visible = false; }
    void showError(const std::string& text) override { log_->errors.push_back(text); }
    bool cancelRequested() const override {
        return (log_->cancelAt >= 0 && log_->position >= log_->cancelAt) ||
               (log_->cancelCheck && log_->cancelCheck());
    }

private:
    std::shared_ptr<ViewLog> log_;
};

// A temporary folder, a recording window and a time-out of `timeout`. The
// default leaves a loaded machine time to answer; tests of the time-out itself
// set a short one and never rely on a reply arriving "late enough".
class DialogBench {
public:
    explicit DialogBench(std::shared_ptr<midi::Driver> driver,
                         std::chrono::milliseconds timeout = std::chrono::milliseconds(2000))
        : view(std::make_shared<ViewLog>()) {
        environment.driver = std::move(driver);
        environment.replyTimeout = timeout;
        environment.makeView = [log = view] { return std::make_unique<RecordingView>(log); };
    }

    // Names the devices the dialog opens.
    void useDevices(const std::string& input, const std::string& output) {
        environment.inputDevice = input;
        environment.outputDevice = output;
    }

    std::unique_ptr<MidiDialog> create() { return createMidiDialog(environment); }

    QTemporaryDir folder;
    std::shared_ptr<ViewLog> view;
    MidiDialogEnvironment environment;
};

} // namespace qel::test

#include "workflows/KeyboardFinder.h"

#include "core/KeyboardTables.h"
#include "kbdsim/device/VirtualKeyboard.h"
#include "link/MidiDialogFactory.h"

#include <QString>
#include <exception>

namespace qel {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// `names` without the later of two names equal letter case aside.
std::vector<std::string> distinct(const std::vector<std::string>& names) {
    std::vector<std::string> kept;
    for (const std::string& name : names) {
        bool seen = false;
        for (const std::string& k : kept)
            seen = seen || sameName(k, name);
        if (!seen)
            kept.push_back(name);
    }
    return kept;
}

// The dialogs of the search show nothing: the search reports through its own
// progress, and a pair that fails is simply not the keyboard.
class SilentView : public MidiDialogView {
public:
    void setCaption(const std::string&) override {}
    void setRange(int) override {}
    void setPosition(int) override {}
    void show() override {}
    void hide() override {}
    void showError(const std::string&) override {}
};

// The model code one request on `dialog` gets, or 0 for no usable answer.
std::uint16_t askModel(MidiDialog& dialog) {
    try {
        const std::uint16_t code = dialog.getModel();
        if (dialog.getErrorCode() != 0 || command::findModel(code) == nullptr)
            return 0;
        return code;
    } catch (const std::exception&) {
        return 0; // a malformed answer: not the keyboard's
    }
}

// Whether `pair` answers: its ports open and it answers the model request
// twice with the same known code. The second request rules out a reply that
// was still on its way from an earlier pair and arrived at this pair's input
// (an answer that comes once only is not the pair's own).
std::uint16_t modelOfPair(MidiDialogEnvironment environment, const MidiPair& pair) {
    environment.inputDevice = pair.input;
    environment.outputDevice = pair.output;
    std::unique_ptr<MidiDialog> dialog = createMidiDialog(environment);
    std::uint16_t model = 0;
    if (dialog->getErrorCode() == 0) {
        dialog->setShowProgress(false);
        const std::uint16_t first = askModel(*dialog);
        if (first != 0 && askModel(*dialog) == first)
            model = first;
    }
    // No operation of this dialog waits here, so it is always destroyed.
    destroyMidiDialog(dialog);
    return model;
}

} // namespace

std::vector<MidiPair> keyboardSearchOrder(const std::vector<std::string>& inputs,
                                          const std::vector<std::string>& outputs) {
    const std::vector<std::string> ins = distinct(inputs);
    const std::vector<std::string> outs = distinct(outputs);
    const auto isVirtual = [](const std::string& name) {
        return sameName(name, kbdsim::virtualKeyboardName);
    };
    std::vector<MidiPair> order;
    for (const std::string& in : ins)
        for (const std::string& out : outs)
            if (sameName(in, out) && !isVirtual(in))
                order.push_back({in, out});
    for (const std::string& in : ins)
        for (const std::string& out : outs)
            if (!sameName(in, out) && !isVirtual(in) && !isVirtual(out))
                order.push_back({in, out});
    // The built-in keyboard always answers: asked first, it would hide a
    // connected keyboard. Paired with a device of another name it can never
    // answer (it replies only on its own port), so those pairs are left out.
    for (const std::string& in : ins)
        for (const std::string& out : outs)
            if (isVirtual(in) && isVirtual(out))
                order.push_back({in, out});
    return order;
}

KeyboardSearch findKeyboard(const std::shared_ptr<midi::Driver>& driver,
                            std::chrono::milliseconds replyTimeout, ProgressReporter* progress) {
    KeyboardSearch search;
    if (!driver)
        return search;
    const std::vector<MidiPair> order =
        keyboardSearchOrder(driver->inputNames(), driver->outputNames());
    search.pairsTotal = static_cast<int>(order.size());
    if (progress) {
        progress->setRange(search.pairsTotal);
        progress->setPosition(0);
    }

    MidiDialogEnvironment environment;
    environment.driver = driver;
    environment.replyTimeout = replyTimeout;
    environment.makeView = [] { return std::make_unique<SilentView>(); };

    for (const MidiPair& pair : order) {
        if (progress && progress->cancelRequested()) {
            search.outcome = KeyboardSearch::Outcome::Cancelled;
            return search;
        }
        if (progress)
            progress->setCaption("Asking " + pair.input + " / " + pair.output);
        ++search.pairsTried;
        const std::uint16_t model = modelOfPair(environment, pair);
        if (progress)
            progress->setPosition(search.pairsTried);
        if (model != 0) {
            search.outcome = KeyboardSearch::Outcome::Found;
            search.pair = pair;
            search.model = model;
            return search;
        }
    }
    return search;
}

} // namespace qel

#pragma once

// Answering a modal dialog in a widget test: the dialog's exec() runs its own
// event loop, so the test acts on it from a timer inside that loop.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>
#include <functional>

namespace qel::test {

// Runs `action` on the next modal dialog that shows, from inside the event
// loop of its exec(). A dialog the action leaves open is rejected, and one that
// never shows is given up on after a while, so a broken test fails, never hangs.
class OnNextModal {
public:
    explicit OnNextModal(std::function<void(QWidget*)> action) : action_(std::move(action)) {
        clock_.start();
        timer_.setInterval(5);
        timer_.callOnTimeout([this] { poll(); });
        timer_.start();
    }
    bool ran() const { return ran_; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) {
            if (clock_.elapsed() > 20000)
                timer_.stop();
            return;
        }
        timer_.stop();
        ran_ = true;
        action_(modal);
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            dialog && dialog == modal)
            dialog->reject();
    }

    std::function<void(QWidget*)> action_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ran_ = false;
};

} // namespace qel::test

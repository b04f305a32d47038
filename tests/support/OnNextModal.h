#pragma once

// Answering a modal dialog in a widget test: the dialog's exec() runs its own
// event loop, so the test acts on it from a timer inside that loop.

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

namespace qel::test {

// Runs `action` on the next modal dialog that shows (and that `wanted`
// accepts, when given), from inside the event loop of its exec(). A dialog the
// action leaves open is rejected, and one that never shows is given up on
// after a while, so a broken test fails, never hangs.
class OnNextModal {
public:
    explicit OnNextModal(std::function<void(QWidget*)> action,
                         std::function<bool(QWidget*)> wanted = {})
        : action_(std::move(action)), wanted_(std::move(wanted)) {
        clock_.start();
        timer_.setInterval(5);
        timer_.callOnTimeout([this] { poll(); });
        timer_.start();
    }
    bool ran() const { return ran_; }

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || (wanted_ && !wanted_(modal))) {
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
    std::function<bool(QWidget*)> wanted_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool ran_ = false;
};

// Answers the next message box with `button` (accepts a box without it),
// keeping what it showed.
class NextMessageBox {
public:
    explicit NextMessageBox(QMessageBox::StandardButton button = QMessageBox::Ok)
        : answer_(
              [this, button](QWidget* modal) { answer(static_cast<QMessageBox*>(modal), button); },
              [](QWidget* modal) { return qobject_cast<QMessageBox*>(modal) != nullptr; }) {}

    bool seen() const { return answer_.ran(); }

    QString caption, text, informativeText, detailedText;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool defaultIsOk = false;

private:
    void answer(QMessageBox* box, QMessageBox::StandardButton button) {
        caption = box->windowTitle();
        text = box->text();
        informativeText = box->informativeText();
        detailedText = box->detailedText();
        icon = box->icon();
        defaultIsOk = box->defaultButton() == box->button(QMessageBox::Ok);
        if (QAbstractButton* chosen = box->button(button))
            chosen->click();
        else
            box->accept();
    }

    OnNextModal answer_;
};

} // namespace qel::test

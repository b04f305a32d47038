// The main window's lists as the user works them: the right-click menus,
// double-clicks, shortcuts, and drag and drop between the lists and with the
// desktop. Every gesture ends in one of the window's actions or in the data
// manager's calls for many rows, so that enabling and busy checks stay in
// one place.

#include "app/FormMain.h"
#include "app/ItemDragData.h"
#include "app/ItemListView.h"

#include <QAction>
#include <QKeySequence>
#include <QTemporaryDir>
#include <QToolButton>
#include <memory>

namespace qel::app {

namespace {

// Triggers the action `button` shows now (Send and Receive follow the tab).
void triggerShown(const QToolButton* button) {
    if (QAction* shown = button->defaultAction(); shown && shown->isEnabled())
        shown->trigger();
}

void triggerIfEnabled(QAction* action) {
    if (action->isEnabled())
        action->trigger();
}

} // namespace

void FormMain::bindLists() {
    using A = Action;
    // The buttons show icons only; menus need words.
    for (const auto& [id, text] :
         {std::pair{A::PutToKbd, "&Send"}, std::pair{A::GetFromKbd, "&Receive"},
          std::pair{A::PutToCard, "&Send"}})
        if (action(id)->text().isEmpty())
            action(id)->setText(text);
    bindListShortcuts();
    bindListGestures();
    bindDragAndDrop();
}

void FormMain::bindListShortcuts() {
    action(Action::Exit)->setShortcut(QKeySequence::Quit);
    action(Action::UpdateKbdList)->setShortcut(Qt::Key_F5);
    // Delete acts on the keyboard list only while it has the focus: the key
    // means something else in a text box, and nothing on the PC's files.
    QAction* remove = action(Action::DeleteKbdData);
    remove->setShortcut(QKeySequence::Delete);
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    kbdList_->pane()->addAction(remove);
    // Send and Receive of the tab shown.
    auto* receive = new QAction("Receive", this);
    receive->setObjectName("ReceiveShortcut");
    receive->setShortcut(Qt::CTRL | Qt::Key_R);
    connect(receive, &QAction::triggered, this, [this] { triggerShown(receiveButton_); });
    auto* send = new QAction("Send", this);
    send->setObjectName("SendShortcut");
    send->setShortcut(Qt::CTRL | Qt::Key_S);
    connect(send, &QAction::triggered, this, [this] { triggerShown(sendButton_); });
    QWidget::addAction(receive);
    QWidget::addAction(send);
}

void FormMain::bindListGestures() {
    kbdList_->contextActions = [this] {
        return QList<QAction*>{action(Action::GetFromKbd), action(Action::DeleteKbdData), nullptr,
                               action(Action::UpdateKbdList), action(Action::UpdateThisType)};
    };
    pcList_->contextActions = [this] {
        return QList<QAction*>{sendButton_->defaultAction(), nullptr, action(Action::UpdatePCList)};
    };
    cardList_->contextActions = [this] {
        return QList<QAction*>{action(Action::PutToCard), nullptr, action(Action::UpdateCardList)};
    };
    kbdList_->activated = [this] { triggerIfEnabled(action(Action::GetFromKbd)); };
    pcList_->activated = [this] { triggerShown(sendButton_); };
}

void FormMain::bindDragAndDrop() {
    DataManager& m = *manager_;
    const auto busy = [&m] { return m.busy(); };
    for (ItemListView* list : {kbdList_, pcList_, cardList_})
        list->busy = busy;

    // Keyboard rows dragged out are received when the drop target asks for
    // the files, into a folder of their own that lives until the next drag
    // (the target may copy from it after the drop).
    auto dragFolder = std::make_shared<std::unique_ptr<QTemporaryDir>>();
    kbdList_->dragData = [this, &m, dragFolder](const std::vector<int>& rows) {
        auto* data = new FilesOnDemand([this, &m, dragFolder, rows] {
            std::vector<std::string> written;
            guarded([&] {
                if (m.busy())
                    return;
                *dragFolder = std::make_unique<QTemporaryDir>();
                if ((*dragFolder)->isValid())
                    written = m.getFromKbdInto(rows, (*dragFolder)->path().toStdString() + "/");
            });
            return written;
        });
        putRows(*data, RowSource::Keyboard, m.currentType(), rows);
        return data;
    };
    pcList_->dragData = [&m](const std::vector<int>& rows) {
        auto* data = new QMimeData;
        std::vector<std::string> paths;
        for (int row : rows)
            if (const VdfDataAttributePtr file = m.pcRowItem(row))
                paths.push_back(file->path);
        putFiles(*data, paths);
        putRows(*data, RowSource::Pc, m.currentType(), rows);
        return data;
    };

    kbdList_->pcRowsDropped = [this, &m](const std::vector<int>& rows, int target) {
        guarded([&] { m.putToKbd(rows, target); });
    };
    kbdList_->filesDropped = [this, &m](const std::vector<std::string>& paths, int target) {
        guarded([&] { m.putFilesToKbd(paths, target); });
    };
    pcList_->kbdRowsDropped = [this, &m](const std::vector<int>& rows, int) {
        guarded([&] { m.getFromKbd(rows); });
    };
    pcList_->filesDropped = [this, &m](const std::vector<std::string>& paths, int) {
        guarded([&] { m.copyFilesToDataDirectory(paths); });
    };
    cardList_->pcRowsDropped = [this, &m](const std::vector<int>& rows, int) {
        guarded([&] {
            for (int row : rows)
                m.putToCard(row);
        });
    };
}

} // namespace qel::app

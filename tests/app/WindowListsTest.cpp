// The main window's lists as the user works them, against the in-process
// virtual keyboard: sorting and filtering keep the item behind each row,
// many rows act at once, double-clicks, shortcuts, and drag and drop.

#include "app/FormMain.h"
#include "app/ItemDragData.h"
#include "app/ItemListView.h"
#include "app/MainWindowFixture.h"
#include "kbdsim/KeyboardMemory.h"
#include "support/EventPump.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPalette>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>
#include <memory>

namespace qel::app {
namespace {

using namespace std::chrono_literals;
using test::pumpUntil;
using test_support::MainWindow;

class WindowLists : public MainWindow {
protected:
    void SetUp() override {
        window->formCreate();
        window->show();
        window->action(FormMain::Action::UpdateKbdList)->trigger();
        original = simulator->memory();
    }

    // The data directory's received files.
    QStringList receivedFiles() const {
        return QDir(folder.path()).entryList({"*.vdf", "*.mid"}, QDir::Files, QDir::Name);
    }
    void removeReceivedFiles() const {
        for (const QString& name : receivedFiles())
            QFile::remove(folder.filePath(name));
        window->action(FormMain::Action::UpdatePCList)->trigger();
    }
    // Selects the rows shown at `rows` (in the order shown).
    static void selectShown(ItemListView* list, std::initializer_list<int> rows) {
        list->clearSelection();
        for (int row : rows)
            list->selectionModel()->select(list->model()->index(row, 0),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    static QString shownText(const ItemListView* list, int row, int column) {
        return list->model()->index(row, column).data().toString();
    }
    static QPoint rowCentre(ItemListView* list, int row) {
        return list->visualRect(list->model()->index(row, 1)).center();
    }
    // Drops `data` onto `list` at `position` as the desktop would; whether it
    // was accepted.
    static bool drop(ItemListView* list, const QMimeData& data, QPoint position) {
        // A drop reaches the widget that accepted the drag's entry.
        QDragEnterEvent enter(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent event(position, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &event);
        return event.isAccepted();
    }
    bool slotHolds(std::uint16_t category, std::uint16_t number,
                   std::uint16_t originalNumber) const {
        const kbdsim::Bytes* now = simulator->memory().data(category, number);
        const kbdsim::Bytes* before = original.data(category, originalNumber);
        return now && before && *now == *before;
    }

    kbdsim::KeyboardMemory original;
};

TEST_F(WindowLists, AReceiveAfterSortingAndFilteringTakesTheRowShown) {
    struct Case {
        int column;
        Qt::SortOrder order;
        const char* filter;
        const char* received;
    };
    for (const Case& c :
         {Case{KbdSlotModel::NameColumn, Qt::DescendingOrder, "", "DEMO TN4.vdf"},
          Case{KbdSlotModel::NoColumn, Qt::AscendingOrder, "tn3", "DEMO TN3.vdf"},
          Case{KbdSlotModel::NoColumn, Qt::DescendingOrder, "demo", "DEMO TN4.vdf"},
          Case{KbdSlotModel::NameColumn, Qt::AscendingOrder, "Demo T", "DEMO TN1.vdf"}}) {
        SCOPED_TRACE(std::string(c.received) + " filter " + c.filter);
        removeReceivedFiles();
        ItemListView* list = window->kbdList();
        list->filterBox()->setText(c.filter);
        list->sortByColumn(c.column, c.order);
        list->setCurrentIndex(list->model()->index(0, 0));
        window->receiveButton()->click();
        EXPECT_EQ(receivedFiles(), QStringList{c.received});
    }
}

TEST_F(WindowLists, EmptySlotsAreGreyAndNamedOnesAreNot) {
    chooseType(type::UserRhythm);
    const QAbstractItemModel* shown = window->kbdList()->model();
    ASSERT_GT(shown->rowCount(), 2);
    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    int empty = 0;
    for (int row = 0; row < shown->rowCount(); ++row) {
        const QVariant colour =
            shown->index(row, KbdSlotModel::NameColumn).data(Qt::ForegroundRole);
        if (shownText(window->kbdList(), row, KbdSlotModel::NameColumn) == "(empty)") {
            ++empty;
            EXPECT_EQ(colour.value<QColor>(), grey) << row;
        } else {
            EXPECT_FALSE(colour.isValid()) << row;
        }
    }
    EXPECT_GT(empty, 0);
}

TEST_F(WindowLists, NumbersAndSizesSortAsNumbersAndTheSlotListStartsSortedByNo) {
    chooseType(type::UserRhythm);
    ItemListView* list = window->kbdList();
    EXPECT_TRUE(list->isSortingEnabled());
    EXPECT_EQ(list->header()->sortIndicatorSection(), KbdSlotModel::NoColumn);
    for (const auto& [column, order] : {std::pair{KbdSlotModel::NoColumn, Qt::AscendingOrder},
                                        std::pair{KbdSlotModel::SizeColumn, Qt::DescendingOrder},
                                        std::pair{KbdSlotModel::SizeColumn, Qt::AscendingOrder}}) {
        SCOPED_TRACE(column);
        list->sortByColumn(column, order);
        ASSERT_GT(list->model()->rowCount(), 2);
        for (int row = 1; row < list->model()->rowCount(); ++row) {
            const qlonglong before = shownText(list, row - 1, column).toLongLong();
            const qlonglong after = shownText(list, row, column).toLongLong();
            EXPECT_TRUE(order == Qt::AscendingOrder ? before <= after : before >= after)
                << row << ": " << before << " then " << after;
        }
    }
    // "10" after "9", never between "1" and "2".
    list->sortByColumn(KbdSlotModel::NoColumn, Qt::AscendingOrder);
    EXPECT_EQ(shownText(list, 9, KbdSlotModel::NoColumn).toInt(),
              shownText(list, 0, KbdSlotModel::NoColumn).toInt() + 9);
}

TEST_F(WindowLists, TheRowsSelectedInASortedListStaySelectedWhenTheTypeIsReadAgain) {
    ItemListView* list = window->kbdList();
    list->sortByColumn(KbdSlotModel::NameColumn, Qt::DescendingOrder);
    selectShown(list, {0, 1});
    const std::vector<int> before = list->selectedSourceRows();
    ASSERT_EQ(before.size(), 2u);
    window->action(FormMain::Action::UpdateThisType)->trigger();
    EXPECT_EQ(list->selectedSourceRows(), before);
    QStringList names;
    for (const QModelIndex& index : list->selectionModel()->selectedRows(KbdSlotModel::NameColumn))
        names.push_back(index.data().toString());
    names.sort();
    EXPECT_EQ(names, (QStringList{"DEMO TN3", "DEMO TN4"}));
}

TEST_F(WindowLists, ReceiveAndDeleteActOnEverySelectedRow) {
    ItemListView* list = window->kbdList();
    selectShown(list, {0, 1, 2});
    window->receiveButton()->click();
    EXPECT_EQ(receivedFiles(), (QStringList{"DEMO TN1.vdf", "DEMO TN2.vdf", "DEMO TN3.vdf"}));

    chooseType(type::UserRhythm);
    selectShown(list, {0, 1});
    window->action(FormMain::Action::DeleteKbdData)->trigger();
    ASSERT_EQ(questions.size(), 1u) << "one question for the whole selection";
    const std::vector<std::string>& named = questions[0].lost;
    ASSERT_EQ(named.size(), 2u) << "the question names both slots";
    EXPECT_NE(named[0].find("DEMO RH1"), std::string::npos) << named[0];
    EXPECT_NE(named[1].find("DEMO RH2"), std::string::npos) << named[1];
    for (std::uint16_t number : {140, 141}) {
        const kbdsim::Bytes* rhythm = simulator->memory().data(category::Rhythm, number);
        EXPECT_TRUE(rhythm == nullptr || rhythm->empty()) << number;
    }
}

TEST_F(WindowLists, APcRowDroppedOntoASlotIsSentThere) {
    chooseType(type::UserRhythm);
    window->kbdList()->selectSourceRow(0);
    window->receiveButton()->click();
    ASSERT_EQ(window->pcList()->model()->rowCount(), 1);
    // Sorted the other way round, the slot shown at row 4 is 145.
    ItemListView* slotList = window->kbdList();
    slotList->sortByColumn(KbdSlotModel::NoColumn, Qt::DescendingOrder);
    const int shown = slotList->model()->rowCount() - 1 - 5;
    const std::unique_ptr<QMimeData> data(window->pcList()->dragData({0}));
    ASSERT_TRUE(drop(slotList, *data, rowCentre(slotList, shown)));
    EXPECT_TRUE(pumpUntil([&] { return slotHolds(category::Rhythm, 145, 140); }, 10s));
    EXPECT_FALSE(slotHolds(category::Rhythm, 144, 140));
}

TEST_F(WindowLists, KeyboardRowsDroppedOntoThePcListAreReceived) {
    chooseType(type::UserRhythm);
    const std::unique_ptr<QMimeData> data(window->kbdList()->dragData({0, 1}));
    ASSERT_TRUE(drop(window->pcList(), *data, {5, 5}));
    EXPECT_TRUE(pumpUntil([&] { return receivedFiles().size() == 2; }, 10s));
    EXPECT_EQ(receivedFiles(), (QStringList{"DEMO RH1.vdf", "DEMO RH2.vdf"}));
    EXPECT_EQ(window->pcList()->model()->rowCount(), 2);
    // Rows never land on the list they came from.
    EXPECT_FALSE(drop(window->kbdList(), *data, rowCentre(window->kbdList(), 3)));
}

TEST_F(WindowLists, RowsOfAnotherTypeOrAnotherProcessAreNoDrop) {
    chooseType(type::UserRhythm);
    const std::unique_ptr<QMimeData> rhythms(window->kbdList()->dragData({0}));
    const std::unique_ptr<QMimeData> stranger(window->kbdList()->dragData({0}));
    stranger->setData("application/x-tq7400-process", "1");
    EXPECT_FALSE(drop(window->pcList(), *stranger, {5, 5})) << "row 0 of another program";
    chooseType(type::UserTone);
    EXPECT_FALSE(drop(window->pcList(), *rhythms, {5, 5})) << "row 0 of rhythms is no tone";
    EXPECT_TRUE(receivedFiles().isEmpty());
}

TEST_F(WindowLists, DraggedKeyboardRowsAreReceivedOnlyWhenTheTargetAsksAndOnce) {
    chooseType(type::UserRhythm);
    const std::size_t sent = messages.size();
    const std::unique_ptr<QMimeData> data(window->kbdList()->dragData({0, 1}));
    EXPECT_TRUE(data->hasUrls());
    EXPECT_EQ(messages.size(), sent) << "nothing is received before a target asks";
    const QList<QUrl> urls = data->urls();
    ASSERT_EQ(urls.size(), 2);
    QStringList names;
    for (const QUrl& url : urls) {
        ASSERT_TRUE(url.isLocalFile());
        EXPECT_TRUE(QFile::exists(url.toLocalFile())) << url.toLocalFile().toStdString();
        names.push_back(QFileInfo(url.toLocalFile()).fileName());
    }
    EXPECT_EQ(names, (QStringList{"DEMO RH1.vdf", "DEMO RH2.vdf"}));
    EXPECT_TRUE(receivedFiles().isEmpty()) << "the data directory is left alone";
    const std::size_t afterReceive = messages.size();
    EXPECT_EQ(data->urls(), urls);
    EXPECT_EQ(data->data("text/uri-list").trimmed().split('\n').size(), 2);
    EXPECT_EQ(messages.size(), afterReceive) << "asked again, nothing is received again";
}

TEST_F(WindowLists, FilesFromTheDesktopAreCopiedOntoThePcListOrSentOntoASlot) {
    chooseType(type::UserRhythm);
    window->kbdList()->selectSourceRow(0);
    window->receiveButton()->click();
    QTemporaryDir desktop;
    const QString file = desktop.filePath("DEMO RH1.vdf");
    ASSERT_TRUE(QFile::rename(folder.filePath("DEMO RH1.vdf"), file));
    window->action(FormMain::Action::UpdatePCList)->trigger();
    ASSERT_EQ(window->pcList()->model()->rowCount(), 0);

    struct Case {
        const char* what;
        QList<QUrl> urls;
    };
    for (const Case& c : {Case{"a web address", {QUrl("https://example.org/a.vdf")}},
                          Case{"a local file with a web address",
                               {QUrl::fromLocalFile(file), QUrl("https://example.org/a.vdf")}},
                          Case{"no file", {}}}) {
        SCOPED_TRACE(c.what);
        QMimeData data;
        data.setUrls(c.urls);
        EXPECT_FALSE(drop(window->pcList(), data, {5, 5}));
        EXPECT_FALSE(drop(window->kbdList(), data, rowCentre(window->kbdList(), 2)));
    }
    QMimeData local;
    local.setUrls({QUrl::fromLocalFile(file)});
    ASSERT_TRUE(drop(window->pcList(), local, {5, 5}));
    EXPECT_TRUE(pumpUntil([&] { return window->pcList()->model()->rowCount() == 1; }, 10s));
    EXPECT_EQ(receivedFiles(), QStringList{"DEMO RH1.vdf"});
    EXPECT_TRUE(QFile::exists(file)) << "copied, not moved";

    ASSERT_TRUE(drop(window->kbdList(), local, rowCentre(window->kbdList(), 7)));
    EXPECT_TRUE(pumpUntil([&] { return slotHolds(category::Rhythm, 147, 140); }, 10s));
}

TEST_F(WindowLists, NothingIsDroppedWhileAKeyboardActionRuns) {
    chooseType(type::UserRhythm);
    const std::unique_ptr<QMimeData> data(window->kbdList()->dragData({0}));
    std::optional<bool> taken;
    duringWait = [&] {
        if (!taken && window->manager().busy())
            taken = window->pcList()->takeDrop(*data, {5, 5});
    };
    window->action(FormMain::Action::UpdateThisType)->trigger();
    duringWait = nullptr;
    ASSERT_TRUE(taken.has_value());
    EXPECT_FALSE(*taken);
    test::pumpFor(50ms);
    EXPECT_TRUE(receivedFiles().isEmpty());
}

TEST_F(WindowLists, DoubleClickingAKeyboardRowReceivesItAndAPcRowSendsItToTheSelectedSlot) {
    chooseType(type::UserRhythm);
    const auto doubleClick = [](ItemListView* list, int row) {
        const QPoint at = rowCentre(list, row);
        const QPointF global = list->viewport()->mapToGlobal(QPointF(at));
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease,
                                  QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, QPointF(at), global, Qt::LeftButton,
                              type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton,
                              Qt::NoModifier);
            QApplication::sendEvent(list->viewport(), &event);
        }
    };
    doubleClick(window->kbdList(), 0);
    EXPECT_EQ(receivedFiles(), QStringList{"DEMO RH1.vdf"});
    window->kbdList()->selectSourceRow(3);
    doubleClick(window->pcList(), 0);
    EXPECT_TRUE(slotHolds(category::Rhythm, 143, 140));
}

TEST_F(WindowLists, TheShortcutsAreBound) {
    struct Case {
        const char* action;
        QKeySequence keys;
    };
    for (const Case& c : {Case{"Exit", QKeySequence::Quit}, Case{"UpdateKbdList", Qt::Key_F5},
                          Case{"DeleteKbdData", QKeySequence::Delete},
                          Case{"ReceiveShortcut", Qt::CTRL | Qt::Key_R},
                          Case{"SendShortcut", Qt::CTRL | Qt::Key_S}}) {
        SCOPED_TRACE(c.action);
        const auto* bound = window->findChild<QAction*>(c.action);
        ASSERT_NE(bound, nullptr);
        EXPECT_EQ(bound->shortcut(), c.keys);
    }
}

TEST_F(WindowLists, KeysReachTheFocusedList) {
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(pumpUntil([&] { return QApplication::activeWindow() == window.get(); }));
    chooseType(type::UserRhythm);
    ItemListView* list = window->kbdList();
    list->setFocus();
    const auto press = [](QWidget* to, int key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(to, &event);
    };
    // Ctrl+F and Esc: the filter of the focused list.
    press(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), list->filterBox());
    list->filterBox()->setText("RH2");
    EXPECT_EQ(list->model()->rowCount(), 1);
    press(list->filterBox(), Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(list->filterBox()->text().isEmpty());
    EXPECT_GT(list->model()->rowCount(), 1);
    // Ctrl+A selects every row; Ctrl+R receives what is selected.
    list->setFocus();
    press(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectionModel()->selectedRows().size(), list->model()->rowCount());
    selectShown(list, {1});
    press(list, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(receivedFiles(), QStringList{"DEMO RH2.vdf"});
    // Delete empties the selected slot, asking first (the receive's progress
    // window took the activation, which a desktop gives back).
    QApplication::setActiveWindow(window.get());
    list->setFocus();
    press(list, Qt::Key_Delete, Qt::NoModifier);
    EXPECT_EQ(questions.size(), 1u);
    const kbdsim::Bytes* rhythm = simulator->memory().data(category::Rhythm, 141);
    EXPECT_TRUE(rhythm == nullptr || rhythm->empty());
}

} // namespace
} // namespace qel::app

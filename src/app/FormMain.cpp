#include "app/FormMain.h"

#include "app/AboutDialog.h"
#include "app/CardTabHint.h"
#include "app/ErrorDisplay.h"
#include "app/ItemListView.h"
#include "app/ListColumns.h"
#include "app/MemoryBar.h"
#include "app/MidiDialogWindow.h"
#include "app/MidiLogWindow.h"
#include "app/PrefDialog.h"
#include "app/ProgressForm.h"
#include "app/WindowState.h"
#include "core/Exception.h"
#include "core/KeyboardTables.h"
#include "core/MessageDetails.h"
#include "link/MidiDialogFactory.h"
#include "platform/registry/SettingsReader.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace qel::app {

namespace {

QIcon typeIcon(int type) {
    return itemTypeIcon(type);
}

// The handler of an action the window does not provide: it says so, with
// the action's title.
std::function<void()> notProvided(const char* title) {
    return [title] { throw Exception(title); };
}

} // namespace

ItemListView* FormMain::makeList(TypedListModel* model) {
    const bool isSlotList = dynamic_cast<KbdSlotModel*>(model) != nullptr;
    auto* list = isSlotList
                     ? new ItemListView(model, KbdSlotModel::NameColumn, KbdSlotModel::NoColumn)
                     : new ItemListView(model, FileListModel::NameColumn, -1);
    list->setColumnWidth(0, 28);
    for (int column = 1; column < model->columnCount(); ++column)
        list->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    return list;
}

FormMain::FormMain(MidiDialogEnvironment environment, QString registryLocation)
    : registryLocation_(registryLocation) {
    setWindowTitle("TQ-7400 Music Data Management Software");
    setWindowIcon(QIcon(":/icons/tq7400.png"));
    environment.makeView = MidiDialogWindow::factory(this, environment.replyTimeout);
    environment.monitor = [log = midiLog_](bool sent, const ByteVector& message) {
        log->record(sent, message);
    };
    environment_ = environment;
    manager_ = std::make_unique<DataManager>(
        *this, [this] { return createMidiDialog(environment_); }, settings_);

    // The preferences dialog, owned by the window while it is shown.
    openPreferences_ = [driver = environment.driver, registryLocation](QWidget* owner) {
        PrefDialog dialog(owner, registryLocation, driver);
        dialog.exec();
    };
    createActions();
    createMenu();
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(createTopStrip());
    // The PC list on the left, the arrows and the keyboard's lists on the
    // right; the user shares the width out between them.
    auto* right = new QWidget;
    auto* rightLayout = new QHBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->addWidget(createMiddleStrip());
    rightLayout->addWidget(createKbdPane(), 1);
    listSplitter_ = new QSplitter(Qt::Horizontal);
    listSplitter_->setObjectName("ListSplitter");
    listSplitter_->setChildrenCollapsible(false);
    listSplitter_->addWidget(createPcPane());
    listSplitter_->addWidget(right);
    listSplitter_->setStretchFactor(0, 1);
    listSplitter_->setStretchFactor(1, 1);
    layout->addWidget(listSplitter_, 1);
    setCentralWidget(central);

    progressForm_ = new ProgressForm(this);
    // Always there: it says what each action ended with.
    statusBar()->setSizeGripEnabled(false);
    midiLogWindow_ = new MidiLogWindow(midiLog_, this);
    bindLists();
    restoreLook();
}

void FormMain::restoreLook() {
    windowState_ = std::make_unique<WindowState>(
        registryLocation_.isEmpty() ? registry::Registry::defaultLocation() : registryLocation_);
    for (const auto& [name, columns] : listColumns_)
        columns->setHandSet(windowState_->columnWidths(name));
    listSplitter_->restoreState(windowState_->splitter());
    if (restoreGeometry(windowState_->geometry()))
        return;
    // The first time: a client area of 792 x 554 under the menu bar, centred.
    resize(792, 554 + menuBar()->sizeHint().height());
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void FormMain::storeLook() {
    windowState_->setGeometry(saveGeometry());
    windowState_->setSplitter(listSplitter_->saveState());
    for (const auto& [name, columns] : listColumns_)
        windowState_->setColumnWidths(name, columns->handSet());
    // A look that cannot be stored is not worth a message at the end of a run.
    if (!windowState_->save())
        qWarning("The window's layout could not be stored in %s",
                 qPrintable(windowState_->location()));
}

FormMain::~FormMain() = default;

void FormMain::formCreate() {
    registry::Registry stored(registryLocation_);
    // A settings file that could not be read was set aside: say so once.
    if (const auto warning = stored.takeWarning())
        showDefaultError(*warning);
    useSettings(registry::readSettings(stored));
    // The first start offers the preferences once, whatever the user answers;
    // only their OK writes the settings, so that it is noted beside them.
    if (!settings_.midiKeyExists && !windowState_->preferencesOffered()) {
        openPrefDialog();
        windowState_->markPreferencesOffered();
        if (!windowState_->save())
            qWarning("The first start could not be noted in %s",
                     qPrintable(windowState_->location()));
    }
    dataTypeBox_->setCurrentIndex(0);
    manager_->start();
}

// ---- actions ----

QAction* FormMain::addAction(Action id, const QString& name, const QString& caption,
                             const QString& hint, const QString& icon,
                             std::function<void()> handler) {
    auto* action = new QAction(caption, this);
    action->setObjectName(name);
    if (!hint.isEmpty())
        action->setToolTip(hint);
    if (!icon.isEmpty())
        action->setIcon(QIcon(":/icons/" + icon + ".png"));
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { guarded(handler); });
    actions_[static_cast<std::size_t>(id)] = action;
    return action;
}

void FormMain::createActions() {
    DataManager& m = *manager_;
    addAction(Action::UpdateKbdList, "UpdateKbdList", "&Update List", "Update List", "update",
              [this, &m] {
                  if (m.updateKbdList())
                      showResult(m.listedText());
              });
    addAction(Action::UpdateThisType, "UpdateThisType", "Update &This Type", "Update This Type",
              "update-type", [this, &m] {
                  if (m.updateThisType())
                      showResult(m.listedText());
              });
    addAction(Action::DeleteKbdData, "DeleteKbdData", "DeleteKbdData", "Delete Data", "delete",
              [this, &m] {
                  const std::vector<int> rows = kbdList_->selectedSourceRows();
                  if (!rows.empty())
                      m.deleteKbdData(rows);
              });
    addAction(Action::PutToKbd, "PutToKbd", "", "", "send", [this, &m] {
        const std::vector<int> rows = pcList_->selectedSourceRows();
        if (!rows.empty())
            m.putToKbd(rows, kbdList_->firstSelectedSourceRow());
    });
    addAction(Action::GetFromKbd, "GetFromKbd", "", "", "receive",
              [this, &m] { m.getFromKbd(kbdList_->selectedSourceRows()); });
    addAction(Action::UpdateCardList, "UpdateCardList", "UpdateCardList", "", "update",
              [&m] { m.updateCardList(); });
    addAction(Action::DeleteCardData, "DeleteCardData", "DeleteCardData", "", "delete",
              notProvided("Delete Card Data"));
    addAction(Action::PutToCard, "PutToCard", "", "", "send", [this, &m] {
        for (int row : pcList_->selectedSourceRows())
            m.putToCard(row);
    });
    addAction(Action::GetFromCard, "GetFromCard", "", "", "receive",
              notProvided("Get Data From Card"));
    addAction(Action::UpdateDiskList, "UpdateDiskList", "UpdateDiskList", "", "update",
              notProvided("Update Disk List"));
    addAction(Action::DeleteDiskData, "DeleteDiskData", "DeleteDiskData", "", "delete",
              notProvided("Delete Disk Data"));
    addAction(Action::PutToDisk, "PutToDisk", "", "", "send", notProvided("Put Data To Disk"));
    addAction(Action::GetFromDisk, "GetFromDisk", "", "", "receive",
              notProvided("Get Data From Disk"));
    addAction(Action::UpdatePCList, "UpdatePCList", "UpdatePCList", "", "update",
              [&m] { m.updatePcList(); });
    addAction(Action::OpenPrefDialog, "OpenPrefDialog", "&Preferences…", "", "",
              [this] { openPrefDialog(); });
    addAction(Action::Exit, "Exit", "E&xit", "", "", [this] { exitProgram(); });
    addAction(Action::MidiLog, "MidiLog", "MIDI &Log", "", "", [this] {
        midiLogWindow_->show();
        midiLogWindow_->raise();
    });
    addAction(Action::InitMixer, "InitMixer", "&Mixer", "", "", [&m] { m.initMixer(); });
    addAction(Action::InitParameter, "InitParameter", "&Parameter", "", "",
              [&m] { m.initParameter(); });
    addAction(Action::InitSystem, "InitSystem", "&System", "", "", [&m] { m.initSystem(); });
    addAction(Action::BackupKbd, "BackupKbd", "&Back Up Keyboard...", "", "", [this, &m] {
        const QString folder = chooseFolder_(this, "Back Up Keyboard Into");
        if (!folder.isEmpty())
            m.backupKbd(folder.toStdString());
    });
    addAction(Action::RestoreKbd, "RestoreKbd", "&Restore Keyboard...", "", "", [this, &m] {
        const QString folder = chooseFolder_(this, "Restore Keyboard From");
        if (!folder.isEmpty())
            m.restoreKbd(folder.toStdString());
    });
    for (Action id :
         {Action::DeleteKbdData, Action::DeleteCardData, Action::PutToKbd, Action::GetFromKbd})
        action(id)->setEnabled(false);
    action(Action::DeleteDiskData)->setEnabled(false);
}

void FormMain::createMenu() {
    QMenu* file = menuBar()->addMenu("&File");
    initializeMenu_ = file->addMenu("&Initialize");
    initializeMenu_->addAction(action(Action::InitMixer));
    initializeMenu_->addAction(action(Action::InitParameter));
    initializeMenu_->addAction(action(Action::InitSystem));
    file->addSeparator();
    file->addAction(action(Action::OpenPrefDialog));
    file->addSeparator();
    file->addAction(action(Action::Exit));
    QMenu* keyboard = menuBar()->addMenu("&Keyboard");
    keyboard->addAction(action(Action::UpdateKbdList));
    keyboard->addAction(action(Action::UpdateThisType));
    keyboard->addSeparator();
    keyboard->addAction(action(Action::BackupKbd));
    keyboard->addAction(action(Action::RestoreKbd));
    QMenu* view = menuBar()->addMenu("&View");
    view->addAction(action(Action::MidiLog));
    QMenu* help = menuBar()->addMenu("&Help");
    aboutAction_ = help->addAction("&About TQ-7400 Data Manager");
    aboutAction_->setObjectName("About");
    connect(aboutAction_, &QAction::triggered, this, [this] {
        AboutDialog about(this);
        about.exec();
    });
}

QWidget* FormMain::createTopStrip() {
    auto* strip = new QWidget;
    auto* layout = new QHBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    dataTypeBox_ = new QComboBox;
    dataTypeBox_->setObjectName("DataTypeCBox");
    for (int t = 0; t < type::selectableCount; ++t)
        dataTypeBox_->addItem(typeIcon(t), QString::fromLatin1(typeLabels[t]));
    dataTypeBox_->setMaxVisibleItems(type::selectableCount);
    dataTypeBox_->setMinimumWidth(240);
    connect(dataTypeBox_, &QComboBox::activated, this, [this](int index) {
        guarded([this, index] { manager_->changeDataType(static_cast<type::id>(index)); });
    });
    freeMemoryBar_ = new MemoryBar;
    freeMemoryBar_->setObjectName("FreeMemoryBar");
    freeMemoryBar_->hide();
    layout->addWidget(dataTypeBox_);
    layout->addStretch();
    layout->addWidget(freeMemoryBar_);
    return strip;
}

QWidget* FormMain::createTab(QAction* update, QAction* remove, ItemListView* list,
                             std::initializer_list<QAction*> extra) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    auto* tools = new QToolBar;
    tools->setIconSize(QSize(16, 16));
    tools->addAction(update);
    for (QAction* more : extra)
        tools->addAction(more);
    if (remove) {
        tools->addSeparator();
        tools->addAction(remove);
    }
    layout->addWidget(tools);
    layout->addWidget(list->pane(), 1);
    return page;
}

QWidget* FormMain::createPcPane() {
    pcPages_ = new QTabWidget;
    pcList_ = makeList(&manager_->pcFileModel());
    pcList_->setObjectName("PCDataListView");
    listColumns_.emplace_back(pcList_->objectName(), new ListColumns(pcList_));
    pcPages_->addTab(createTab(action(Action::UpdatePCList), nullptr, pcList_), "PC");
    return pcPages_;
}

QWidget* FormMain::createMiddleStrip() {
    auto* strip = new QWidget;
    auto* layout = new QVBoxLayout(strip);
    layout->setContentsMargins(0, 0, 0, 0);
    auto makeButton = [](const QString& name) {
        auto* button = new QToolButton;
        button->setObjectName(name);
        button->setFixedSize(32, 32);
        button->setIconSize(QSize(24, 24));
        return button;
    };
    sendButton_ = makeButton("SendButton");
    receiveButton_ = makeButton("ReceiveButton");
    bindButton(sendButton_, action(Action::PutToKbd));
    bindButton(receiveButton_, action(Action::GetFromKbd));
    layout->addStretch();
    layout->addWidget(sendButton_);
    layout->addWidget(receiveButton_);
    layout->addStretch();
    return strip;
}

QWidget* FormMain::createKbdPane() {
    kbdPages_ = new QTabWidget;
    kbdPages_->setObjectName("KbdPageControl");
    kbdList_ = makeList(&manager_->kbdSlotModel());
    kbdList_->setObjectName("KbdDataListView");
    cardList_ = makeList(&manager_->cardFileModel());
    cardList_->setObjectName("CardListView");
    diskList_ = makeList(&diskSlots_);
    diskList_->setObjectName("DiskListView");
    for (QTreeView* list : {kbdList_, cardList_})
        listColumns_.emplace_back(list->objectName(), new ListColumns(list));
    kbdPages_->addTab(createTab(action(Action::UpdateKbdList), action(Action::DeleteKbdData),
                                kbdList_, {action(Action::UpdateThisType)}),
                      "Keyboard");

    QWidget* cardPage =
        createTab(action(Action::UpdateCardList), action(Action::DeleteCardData), cardList_);
    cardTabHint_ = new CardTabHint([this] {
        guarded([this] {
            manager_->createCardFolder();
            manager_->updateCardList();
        });
    });
    static_cast<QVBoxLayout*>(cardPage->layout())->insertWidget(1, cardTabHint_);
    // Every card list shown says, when it is empty for want of a card folder, why.
    connect(&manager_->cardFileModel(), &QAbstractItemModel::modelReset, this,
            [this] { showCardFolderState(); });
    kbdPages_->addTab(cardPage, "Card");

    QWidget* diskPage =
        createTab(action(Action::UpdateDiskList), action(Action::DeleteDiskData), diskList_);
    auto* diskNote = new QLabel("The models with a disk drive are not supported by this "
                                "program: it reads and writes their user memory and card only.");
    diskNote->setObjectName("DiskTabNote");
    diskNote->setWordWrap(true);
    // Readable on the disabled page, where everything else is greyed out.
    QPalette readable = diskNote->palette();
    readable.setColor(QPalette::Disabled, QPalette::WindowText,
                      readable.color(QPalette::Active, QPalette::WindowText));
    diskNote->setPalette(readable);
    static_cast<QVBoxLayout*>(diskPage->layout())->insertWidget(1, diskNote);
    kbdPages_->addTab(diskPage, "Disk");
    kbdPages_->setTabVisible(1, false);
    kbdPages_->setTabVisible(2, false);
    // The disk tab can be chosen (its Send says that it is not provided),
    // but its list and buttons cannot be used.
    kbdPages_->widget(2)->setEnabled(false);
    connect(kbdPages_, &QTabWidget::currentChanged, this,
            [this](int index) { guarded([this, index] { onTabChanged(index); }); });
    return kbdPages_;
}

void FormMain::onTabChanged(int index) {
    static constexpr Action send[] = {Action::PutToKbd, Action::PutToCard, Action::PutToDisk};
    static constexpr Action receive[] = {Action::GetFromKbd, Action::GetFromCard,
                                         Action::GetFromDisk};
    if (index < 0 || index > 2)
        return;
    bindButton(sendButton_, action(send[index]));
    bindButton(receiveButton_, action(receive[index]));
    sendButton_->setIcon(QIcon(":/icons/send.png"));
    receiveButton_->setIcon(QIcon(":/icons/receive.png"));
    manager_->kbdPageControlChange(static_cast<KbdTab>(index));
}

void FormMain::bindButton(QToolButton* button, QAction* action) {
    for (QAction* bound : button->actions())
        if (bound != action)
            button->removeAction(bound);
    button->setDefaultAction(action);
}

void FormMain::showCardFolderState() {
    cardTabHint_->showState(manager_->cardFolderState(),
                            QString::fromStdString(manager_->getCardDrive()));
}

void FormMain::useSettings(Settings settings) {
    settings_ = std::move(settings);
    environment_.inputDevice = settings_.inputDevice;
    environment_.outputDevice = settings_.outputDevice;
    manager_->setDataDirectory(settings_.dataDirectory);
    manager_->setCardDrive(settings_.cardDrive);
}

void FormMain::openPrefDialog() {
    if (manager_->busy() || !openPreferences_)
        return;
    openPreferences_(this);
    // The preferences wrote what the user chose (OK) into the store.
    const Settings before = settings_;
    useSettings(registry::readSettings(registry::Registry(registryLocation_)));
    // Other devices may lead to another keyboard: the list read from the old
    // one no longer says what the next Send would replace.
    if (settings_.inputDevice != before.inputDevice ||
        settings_.outputDevice != before.outputDevice)
        manager_->forgetKbdList();
}

void FormMain::exitProgram() {
    close();
}

void FormMain::guarded(const std::function<void()>& handler) {
    // Exceptions never cross Qt's event loop.
    try {
        handler();
    } catch (const std::exception& error) {
        showDefaultError(error.what());
    }
    // Every keyboard action runs inside a handler: once the outermost one has
    // returned, a close that was put off meanwhile can happen, also after an
    // action that never unlocked the window (Initialize) or that failed.
    closeIfWanted();
}

void FormMain::closeIfWanted() {
    if (!closeWanted_ || manager_->busy())
        return;
    closeWanted_ = false;
    QTimer::singleShot(0, this, &QWidget::close);
}

void FormMain::closeEvent(QCloseEvent* event) {
    if (manager_->busy()) {
        // Tearing the window down would pull the MIDI dialog from under the
        // waiting action: close once it has ended.
        closeWanted_ = true;
        event->ignore();
        return;
    }
    closeWanted_ = false;
    storeLook();
    event->accept();
}

// ---- DataManagerView ----

void FormMain::selectKbdRow(int row) {
    kbdList_->selectSourceRow(row);
}

void FormMain::showBackupStep(const std::string& line) {
    statusBar()->showMessage(QString::fromStdString(line));
}

void FormMain::showResult(const std::string& text) {
    statusBar()->showMessage(QString::fromStdString(text));
}

void FormMain::showMemoryBar(bool visible, int maximum, int position) {
    freeMemoryBar_->setVisible(visible);
    if (!visible)
        return;
    const auto memory =
        maximum == command::songMemorySize ? MemoryBar::Memory::Song : MemoryBar::Memory::Data;
    freeMemoryBar_->showUse(memory, maximum, position);
}

void FormMain::setKeyboardCaption(const std::string& caption) {
    kbdPages_->setTabText(0, QString::fromStdString(caption));
}

void FormMain::showCardTab() {
    kbdPages_->setTabVisible(1, true);
}

void FormMain::showDiskTab() {
    kbdPages_->setTabVisible(2, true);
}

void FormMain::enableSendReceive(bool send, bool receive) {
    sendButton_->defaultAction()->setEnabled(send);
    receiveButton_->defaultAction()->setEnabled(receive);
}

void FormMain::enableKbdUpdate(bool enabled) {
    action(Action::UpdateKbdList)->setEnabled(enabled);
    action(Action::UpdateThisType)->setEnabled(enabled);
}

void FormMain::enableKbdDelete(bool enabled) {
    action(Action::DeleteKbdData)->setEnabled(enabled);
}

void FormMain::lockForKbdOperation(bool locked) {
    for (Action id :
         {Action::InitMixer, Action::InitParameter, Action::InitSystem, Action::OpenPrefDialog,
          Action::BackupKbd, Action::RestoreKbd, Action::UpdatePCList, Action::UpdateCardList,
          Action::PutToCard, Action::PutToDisk, Action::Exit})
        action(id)->setEnabled(!locked);
    initializeMenu_->setEnabled(!locked);
    dataTypeBox_->setEnabled(!locked);
    pcList_->setEnabled(!locked);
    kbdList_->setEnabled(!locked);
    cardList_->setEnabled(!locked);
    kbdPages_->tabBar()->setEnabled(!locked);
    if (!locked)
        closeIfWanted();
}

ProgressReporter& FormMain::progress() {
    return *progressForm_;
}

void FormMain::showProgress() {
    progressForm_->showCentred();
}

void FormMain::hideProgress() {
    progressForm_->hide();
}

DestroyAnswer FormMain::askBeforeDestroying(const DestroyQuestion& question) {
    if (askDestroy_)
        return askDestroy_(question);
    DestroyQuestionBox box(question, chooseFolder_, this);
    return box.ask();
}

void FormMain::showSummary(const std::string& title, const std::vector<std::string>& lines) {
    QStringList text;
    for (const std::string& line : lines)
        text << QString::fromStdString(line);
    // Not waited for: the action has ended, and the window goes on meanwhile.
    auto* box = new QMessageBox(QMessageBox::Information, QString::fromStdString(title),
                                text.join('\n'), QMessageBox::Ok, this);
    box->setObjectName("summaryBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void FormMain::showKbdError(const std::string& text, const std::string& step) {
    app::showKbdError(this, text, step, messageDetail(text, environment_.replyTimeout));
}

void FormMain::showDefaultError(const std::string& text) {
    app::showDefaultError(this, text, messageDetail(text, environment_.replyTimeout));
}

} // namespace qel::app

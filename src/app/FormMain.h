#pragma once

// The main window: the PC's data files on the left, the keyboard's slots (or
// the memory card) on the right, the Send and Receive buttons between them,
// and the data type selector above both. The window only shows and binds:
// the workflows and the lasting state live in the DataManager it owns.

#include "app/DestroyQuestionBox.h"
#include "app/ItemListView.h"
#include "app/MemoryBar.h"
#include "link/MidiDialogEnvironment.h"
#include "workflows/DataManager.h"
#include "workflows/DataManagerView.h"
#include "workflows/MidiLog.h"

#include <QFileDialog>
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolButton;
class QTreeView;

namespace qel::midi {
class Driver;
}

namespace qel::app {

class CardTabHint;
class ListColumns;
class MidiLogWindow;
class ProgressForm;
class WindowState;

class FormMain : public QMainWindow, public DataManagerView {
public:
    // A window whose keyboard actions make their MIDI dialogs in `environment`
    // (the program's one driver; the dialog's window and the devices chosen
    // are added here), with the settings in the registry document
    // `registryLocation`, read at formCreate() and after the preferences.
    FormMain(MidiDialogEnvironment environment, QString registryLocation);
    ~FormMain() override;

    // formCreate: reads the settings, shows the preferences first when the
    // program has never been set up, then the PC list. No MIDI traffic.
    void formCreate();

    // How the preferences are shown (modal; returns when closed): the
    // preferences dialog, unless a test puts something else in its place.
    void setPreferencesOpener(std::function<void(QWidget*)> open) {
        openPreferences_ = std::move(open);
    }

    // How a folder is chosen (for backup and restore); returns an empty
    // string when the user cancels. A folder dialog unless a test puts
    // something else in its place.
    void setFolderChooser(FolderChooser choose) { chooseFolder_ = std::move(choose); }

    // How the user is asked before a keyboard action destroys anything: a
    // DestroyQuestionBox (its Back Up First uses the folder chooser), unless
    // a test puts something else in its place.
    using DestroyAsker = std::function<DestroyAnswer(const DestroyQuestion&)>;
    void setDestroyAsker(DestroyAsker ask) { askDestroy_ = std::move(ask); }

    DataManager& manager() { return *manager_; }

    // ---- handlers ----
    void openPrefDialog();
    void exitProgram();

    // ---- controls, for tests ----
    QComboBox* dataTypeBox() const { return dataTypeBox_; }
    MemoryBar* freeMemoryBar() const { return freeMemoryBar_; }
    QSplitter* listSplitter() const { return listSplitter_; }
    CardTabHint* cardTabHint() const { return cardTabHint_; }
    // Help > About (named "About").
    QAction* aboutAction() const { return aboutAction_; }
    ItemListView* pcList() const { return pcList_; }
    ItemListView* kbdList() const { return kbdList_; }
    ItemListView* cardList() const { return cardList_; }
    QTabWidget* kbdPages() const { return kbdPages_; }
    QToolButton* sendButton() const { return sendButton_; }
    QToolButton* receiveButton() const { return receiveButton_; }
    ProgressForm* progressForm() const { return progressForm_; }
    MidiLogWindow* midiLogWindow() const { return midiLogWindow_; }
    // The window's actions, each also named (QObject::objectName) as here.
    enum class Action {
        UpdateKbdList,
        UpdateThisType,
        DeleteKbdData,
        PutToKbd,
        GetFromKbd,
        UpdateCardList,
        DeleteCardData,
        PutToCard,
        GetFromCard,
        UpdateDiskList,
        DeleteDiskData,
        PutToDisk,
        GetFromDisk,
        UpdatePCList,
        OpenPrefDialog,
        Exit,
        MidiLog,
        InitMixer,
        InitParameter,
        InitSystem,
        BackupKbd,
        RestoreKbd,
        Count
    };
    QAction* action(Action id) const { return actions_[static_cast<std::size_t>(id)]; }

    // ---- DataManagerView ----
    void selectKbdRow(int row) override;
    void showBackupStep(const std::string& line) override;
    void showResult(const std::string& text) override;
    // A box that is not waited for ("summaryBox").
    void showSummary(const std::string& title, const std::vector<std::string>& lines) override;
    void showMemoryBar(bool visible, int maximum, int position) override;
    void setKeyboardCaption(const std::string& caption) override;
    void showCardTab() override;
    void showDiskTab() override;
    void enableSendReceive(bool send, bool receive) override;
    void enableKbdUpdate(bool enabled) override;
    void enableKbdDelete(bool enabled) override;
    void lockForKbdOperation(bool locked) override;
    ProgressReporter& progress() override;
    void showProgress() override;
    void hideProgress() override;
    DestroyAnswer askBeforeDestroying(const DestroyQuestion& question) override;
    using DataManagerView::showKbdError;
    void showKbdError(const std::string& text, const std::string& step) override;
    void showDefaultError(const std::string& text) override;

protected:
    // A close while a keyboard action waits is put off until it ends; a
    // close that happens stores how the window looks.
    void closeEvent(QCloseEvent* event) override;

private:
    void createActions();
    void createMenu();
    QWidget* createTopStrip();
    QWidget* createPcPane();
    QWidget* createMiddleStrip();
    QWidget* createKbdPane();
    QWidget* createTab(QAction* update, QAction* remove, ItemListView* list,
                       std::initializer_list<QAction*> extra = {});
    // A list showing `model` with the type's icon in its first column.
    ItemListView* makeList(TypedListModel* model);
    // The lists' menus, double-clicks, shortcuts and drag and drop
    // (FormMainLists.cpp).
    void bindLists();
    void bindListShortcuts();
    void bindListGestures();
    void bindDragAndDrop();
    QAction* addAction(Action id, const QString& name, const QString& caption, const QString& hint,
                       const QString& icon, std::function<void()> handler);
    void onTabChanged(int index);
    // Binds a Send or Receive button to `action` alone: an earlier action
    // left on it would make it a menu button with a drop-down marker.
    static void bindButton(QToolButton* button, QAction* action);
    // Shows the window as it was left last time (or at its first size,
    // centred), and stores it so for the next time.
    void restoreLook();
    void storeLook();
    // Tells on the Card tab why its list is empty, when it is.
    void showCardFolderState();
    // Runs a handler; anything it throws reaches the default error display.
    void guarded(const std::function<void()>& handler);
    // Closes the window (from the event loop) when a close was put off and no
    // keyboard action runs any more.
    void closeIfWanted();

    // Takes `settings` as the ones in use: the devices the next dialogs open,
    // the data directory and the card drive.
    void useSettings(Settings settings);

    // What every MIDI dialog of the window is made in.
    MidiDialogEnvironment environment_;
    Settings settings_;
    std::unique_ptr<DataManager> manager_;
    std::function<void(QWidget*)> openPreferences_;
    FolderChooser chooseFolder_ = [](QWidget* parent, const QString& title) {
        return QFileDialog::getExistingDirectory(parent, title);
    };
    DestroyAsker askDestroy_;
    QString registryLocation_;
    bool closeWanted_ = false;
    // How the window looked when it was last closed, beside the settings.
    std::unique_ptr<WindowState> windowState_;

    std::array<QAction*, static_cast<std::size_t>(Action::Count)>
        actions_{}; // owned by this window
    QMenu* initializeMenu_ = nullptr;
    QComboBox* dataTypeBox_ = nullptr;
    MemoryBar* freeMemoryBar_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QSplitter* listSplitter_ = nullptr;
    CardTabHint* cardTabHint_ = nullptr;
    // The lists' columns, by the name the window state keeps them under.
    std::vector<std::pair<QString, ListColumns*>> listColumns_;
    ItemListView* pcList_ = nullptr;
    ItemListView* kbdList_ = nullptr;
    ItemListView* cardList_ = nullptr;
    ItemListView* diskList_ = nullptr;
    // The disk list never holds a row.
    KbdSlotModel diskSlots_;
    QTabWidget* pcPages_ = nullptr;
    QTabWidget* kbdPages_ = nullptr;
    QToolButton* sendButton_ = nullptr;
    QToolButton* receiveButton_ = nullptr;
    ProgressForm* progressForm_ = nullptr;
    std::shared_ptr<MidiLog> midiLog_ = std::make_shared<MidiLog>();
    MidiLogWindow* midiLogWindow_ = nullptr;
};

} // namespace qel::app

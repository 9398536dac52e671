#pragma once

#include "document.h"
#include "gsm/program_state.h"
#include "gsm/tx_buffers.h"
#include "report/report.h"
#include "settings/settings.h"

#include <QColor>
#include <QComboBox>
#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTimer;
class QMenu;
class QAction;
class QStatusBar;
class QStackedWidget;
class QLineEdit;

namespace orv {

namespace journal {
class TJournalRecorder;
class TJournalSyncService;
enum class TAction;
struct TEntry;
} // namespace journal

class IDialogs;
class TJournalController;
class TLinkBridge;
class TmodData;
class TDevicePage;
class TPageZones;
class TPagePeriph;
class TPageOP5;
class TPageKP2;
class TPageTx;
class TPageCnc8;
class TPageCnc5;
class TPageOutputs;
class TPageRet;
class TPageRetShlf;
class TPageUpdate;

inline constexpr const char* kAppTitle = "Программатор ППКОП";

// The port list: refilled by port discovery every time it is opened.
class TPortCombo : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    void showPopup() override;

signals:
    void aboutToShowPopup();
};

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // data: the data module with the protocol port, created before the window.
    TFormMain(TProgramState& state, IDialogs& dialogs, TmodData& data, QWidget* parent = nullptr);
    ~TFormMain() override;

    // Every successful read, write, file open and save goes into the journal from now on.
    // When a journal server is set, the journal is synchronised with it in the background.
    void SetJournal(journal::TJournalRecorder* journal);
    // The background synchronisation (null without a server) and its state for the user.
    journal::TJournalSyncService* JournalSync() const;
    QString JournalSyncState() const;
    // File -> "Настройки журнала..."
    void JournalSettingsClick();

    // Starts a transaction: 0 read, 1 write.
    void SendData(int mode);
    void ControlsEnable(bool on);
    void SetDeviceControls();
    void RefreshControls();
    void RefreshOP8();
    void RefreshCNC8();
    void RefreshCOP5();
    void RefreshOP5();
    void RefreshKP2();
    void RefreshRet();
    // The commit step: page edits held back and the GSM frames, before every write and save.
    // False (after telling the user) when the GSM settings cannot be encoded.
    bool UpdateAllTXBuffers(CommitFor purpose = CommitFor::Panel);

    // A result code of the worker with its argument (the window message 1025).
    void HandleResult(int code, int argument);

    // A device-menu choice; 0 stands for "Последний использованный".
    void ChooseDevice(Byte code);

    void ButtonReadClick();
    void ButtonWriteClick();
    void FileOpenClick();
    void FileSaveClick();
    void FileSaveAsClick();
    // Shows how the configuration on screen differs from a chosen file.
    void FileCompareClick();
    // File → "Отчёт...": the configuration's report in its preview.
    void FileReportClick();
    // File → "Журнал...": the journal's entries, to open, compare, export and report on; or its
    // sites' (File → "Объекты...").
    void FileJournalClick(bool sites = false);
    // File → "Шаблоны" → "Создать шаблон...": the ticked settings on screen kept as a template in
    // the templates folder.
    void TemplateMakeClick();
    // "Применить шаблон...": a template file chosen, then applied as ApplyTemplateFile does.
    void TemplateApplyClick();
    // Shows what the template would change in the configuration on screen; "Применить" sets its
    // settings, "Отмена" changes nothing. True when it was applied.
    bool ApplyTemplateFile(const QString& path);
    // Puts a configuration file's text on screen as File → Open puts a file, but as a new
    // configuration not yet saved: the caption stands in the title for a file name and nothing
    // goes into the journal. False when it was not put on screen.
    bool OpenConfigText(const std::string& text, const QString& caption);
    // Puts a journal entry's configuration on screen as a read would: the current file stays.
    bool OpenJournalEntry(const std::string& text, const journal::TEntry& entry);
    void AboutClick();
    // "Настройки...": the program's own settings, stored at once.
    void SettingsClick();
    void cbbPortsChange(const QString& text);
    void cbbPortsDropDown();
    void IndTimerTimer();
    // The GSM directions file buttons of the transmission page.
    void btnGSMFileSaveClick();
    void btnGSMFileLoadClick();

    // State exposed for the program's own tests.
    Byte SetUpType() const { return setUpType_; }
    int LastPageTag() const { return lastPageTag_; }
    QString FileName() const { return document_.File(); }
    const TDocument& Document() const { return document_; }
    // A read, a write or a firmware update is running: nothing may touch the configuration,
    // the files or the link.
    bool Busy() const;
    QColor StatusColor() const;
    QString StatusText() const;
    TLinkBridge& Link() { return *link_; }
    TDevicePage* Page(const QString& name) const;
    // The configuration as the pages show it, the zone page's boxes included.
    SettingsList ScreenSettings() const;
    // The configuration on screen differs from the one last read, opened, saved or written
    // (as last checked: after every input and every closed dialog).
    bool ChangesMarked() const { return modified_; }

signals:
    // Emitted after the device pages were filled (tests count refreshes with it).
    void controlsRefreshed();
    // A new status bar text.
    void statusChanged(const QString& text);
    // The journal server's connection state changed (JournalSyncState).
    void journalSyncStateChanged(const QString& text);

protected:
    void closeEvent(QCloseEvent* event) override;
    // Input anywhere in the program may have changed the configuration: the mark is checked
    // once the input has been handled.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Record(journal::TAction action, const QString& file = {}, std::optional<int> changed = {});
    // Puts a configuration text on screen; false (after telling the user) when it is not one.
    bool ShowConfiguration(const std::string& text);
    // Tells the user that a busy window refuses the action; true when busy.
    bool RefusedWhileBusy();
    void BuildMenu();
    void BuildDeviceMenu();
    // The templates of the folder, under the two actions; refilled every time the menu opens.
    void FillTemplatesMenu();
    void BuildPages();
    void SetStatus(const QString& text);
    void Flash(const QColor& color);
    void PageChanged(int index);
    void PortError();
    // The save dialog's choice with ".cf8" added when missing; empty when cancelled. name: the
    // file name offered.
    QString AskSavePath(const QString& title, const QString& name = {});
    // Commits the edits and saves the configuration under path, which becomes the current file;
    // asks first where the document's rules say so.
    bool SaveConfiguration(const QString& path, bool asNew);
    // "&Сохранить" and "Сохранить &как..."; true when the configuration was saved.
    bool SaveCurrent();
    bool SaveAs();
    // Before an action that replaces the configuration on screen: asks whether to save changes
    // that were not; false when the action is not to go on (cancelled, or the save failed).
    bool MaySaveChanges();
    // The zone page shows the current device (the commit step and the settings list read it).
    bool ZonesShown() const;
    // The configuration on screen as a report's heading names it.
    ReportSource ScreenSource() const;
    // Checks the mark after input, unless a transaction runs.
    void UpdateChangesMark();
    // The mark and the caption as the document and the screen are now.
    void ShowChangesMark();
    void UpdateCaption();
    // Keeps in the journal what a file held before a save replaces it.
    void KeepReplaced(const QString& path, const TFileContent& content);
    // Text typed into a field of the pages that has not reached the configuration yet.
    bool TypingChanged() const;
    void TypingEdited();

    TProgramState& state_;
    // The reason of a port error found outside the protocol worker (the firmware update's port).
    QString portErrorReason_;
    IDialogs& dialogs_;
    // The pages' dialogs: the same, with the changes mark checked after every one.
    std::unique_ptr<IDialogs> pageDialogs_;
    TLinkBridge* link_;

    QLabel* lblDeviceName_ = nullptr;
    TPortCombo* cbbPorts_ = nullptr;
    QPushButton* BtnClose_ = nullptr;
    QPushButton* ButtonRead_ = nullptr;
    QPushButton* ButtonWrite_ = nullptr;
    QLabel* lblStart_ = nullptr;
    QLabel* logo_ = nullptr;
    QStackedWidget* leftStack_ = nullptr; // the start-up text, then the pages
    QTabWidget* PageMain_ = nullptr;
    QStatusBar* StatusBar_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QProgressBar* pbTransfer_ = nullptr;
    QTimer* IndTimer_ = nullptr;
    QMenu* deviceMenu_ = nullptr;
    QMenu* templatesMenu_ = nullptr;

    std::vector<TDevicePage*> pages_;
    TPageZones* zones_ = nullptr;
    TPagePeriph* periph_ = nullptr;
    TPageOP5* op5_ = nullptr;
    TPageKP2* kp2_ = nullptr;
    TPageTx* tx_ = nullptr;
    TPageCnc8* cnc8_ = nullptr;
    TPageCnc5* cnc5_ = nullptr;
    TPageOutputs* outputs_ = nullptr;
    TPageRet* retTk_ = nullptr;
    TPageRetShlf* retShlf_ = nullptr;
    TPageUpdate* update_ = nullptr;

    std::weak_ptr<TDevice> filledFrom_; // the device object the pages were last filled from
    Byte setUpType_ = 0;
    int lastPageTag_ = 0;
    int currentPageIndex_ = -1;
    bool layingOut_ = false;
    TDocument document_;
    bool modified_ = false;
    QTimer* markTimer_ = nullptr;
    // The field being typed in and its text when typing began.
    QPointer<QLineEdit> typingEdit_;
    QString typingStart_;
    bool typed_ = false;
    int runningMode_ = -1; // the transaction running: 0 read, 1 write
    QString runningPort_;
    QString statusText_; // as given; the status bar shows it on one line
    TJournalController* journal_ = nullptr;
    QColor flashColor_;
    QColor savedColor_;
    int flashStep_ = 0;
};

// The page mask of a type code: which pages it shows (0 for codes without pages).
int PageMask(Byte type);

} // namespace orv

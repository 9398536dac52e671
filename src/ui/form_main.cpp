#include "form_main.h"

#include "about_box.h"
#include "compare_dialog.h"
#include "device/catalogue.h"
#include "dialogs.h"
#include "files/config_file.h"
#include "files/file_access.h"
#include "files/gsm_file.h"
#include "images.h"
#include "journal/recorder.h"
#include "journal/sync_service.h"
#include "journal_controller.h"
#include "journal_dialog.h"
#include "link/result_codes.h"
#include "link_bridge.h"
#include "model_bridge.h"
#include "page_cnc.h"
#include "page_op5_kp2.h"
#include "page_outputs.h"
#include "page_periph.h"
#include "page_ret.h"
#include "page_tx.h"
#include "page_update.h"
#include "page_zones.h"
#include "report_dialog.h"
#include "settings.h"
#include "settings/assign.h"
#include "settings_dialog.h"
#include "short_path.h"
#include "template_dialog.h"
#include "templates/templates.h"
#include "widgets.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDate>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cerrno>
#include <functional>
#include <utility>

namespace orv {

namespace {

const QColor kFlashGreen(0, 128, 0);
const QColor kFlashRed(255, 0, 0);

const QString kStartText = QStringLiteral(
    "Начните работу одним из способов: \r\n\r\n- Подключите питание прибора,   войдите в сервисный "
    "режим\r\n  (может потребоваться ввод мастер кода или ключа),\r\n  подсоедините шнур USB,  нажмите "
    "кнопку \"Прочитать\";\r\n\r\n- Выберите тип прибора из меню \"Прибор\";\r\n\r\n- Загрузите "
    "конфигурацию прибора из меню \"Файл\"\r\n");

const QString kConfigFilter = QStringLiteral("Файлы конфигурации прибора (*.cf8)");
// The configuration file's dialogs; the GSM directions file uses them as well.
const QString kOpenConfigCaption = QStringLiteral("Открыть файл конфигурации");
const QString kSaveConfigCaption = QStringLiteral("Сохранить настройки прибора в файл");

QString FolderOf(const QString& path) {
    return QDir::toNativeSeparators(QFileInfo(path).absolutePath() + QLatin1Char('/'));
}

#ifndef Q_OS_WIN
// The port's reason is Qt's text, translated: its permission failures are told by their texts.
bool IsPermissionFailure(const QString& reason) {
    // The system's refusal, as the port driver words it in Russian.
    if (reason == QString::fromStdString(SystemErrorText(EACCES))) {
        return true;
    }
    const std::pair<const char*, const char*> texts[] = {
        {"QIODevice", "Permission denied"},
        {"QSerialPort", "Permission error while locking the device"},
        {"QSerialPort", "Permission error while creating lock file"}};
    for (const auto& [context, text] : texts) {
        if (reason.contains(QCoreApplication::translate(context, text)) ||
            reason.contains(QLatin1String(text))) {
            return true;
        }
    }
    return false;
}
#endif

QString PortErrorDetails(const QString& reason) {
    if (reason.isEmpty()) {
        return {};
    }
    QString details = reason;
#ifndef Q_OS_WIN
    if (IsPermissionFailure(reason)) {
        details += QStringLiteral("\r\nНет прав на доступ к порту: добавьте пользователя в группу dialout "
                                  "(sudo usermod -aG dialout $USER) и войдите в систему заново.");
    }
#endif
    return details;
}

// The pages' way to their dialogs: whatever a dialog changed is in place once the page's
// handler that ran it has returned, so the check is queued after each one.
class TWatchedDialogs final : public IDialogs {
public:
    TWatchedDialogs(IDialogs& dialogs, std::function<void()> closed)
        : dialogs_(dialogs), closed_(std::move(closed)) {}

    MsgAnswer Message(QWidget* parent, MsgKind kind, const QString& caption, const QString& text,
                      MsgButtons buttons, const QString& details) override {
        const MsgAnswer answer = dialogs_.Message(parent, kind, caption, text, buttons, details);
        closed_();
        return answer;
    }
    QString GetOpenFileName(QWidget* parent, const FileDialogSpec& spec) override {
        QString name = dialogs_.GetOpenFileName(parent, spec);
        closed_();
        return name;
    }
    QString GetSaveFileName(QWidget* parent, const FileDialogSpec& spec) override {
        QString name = dialogs_.GetSaveFileName(parent, spec);
        closed_();
        return name;
    }
    int Exec(QDialog& dialog) override {
        const int result = dialogs_.Exec(dialog);
        closed_();
        return result;
    }

private:
    IDialogs& dialogs_;
    std::function<void()> closed_;
};

} // namespace

int PageMask(Byte type) {
    switch (type) {
    case 1:
    case 2:
    case 4:
    case 10:
    case 12:
    case 13:
        return 19;
    case 16:
        return 531;
    case 5:
    case 8:
    case 9:
        return 20;
    case 6:
        return 24;
    case 3:
    case 11:
        return 48;
    case 17:
        return 560;
    case 7:
        return 80;
    case 18:
        return 592;
    case 15:
        return 400;
    default:
        return 0;
    }
}

void TPortCombo::showPopup() {
    emit aboutToShowPopup();
    QComboBox::showPopup();
}

TFormMain::TFormMain(TProgramState& state, IDialogs& dialogs, TmodData& data, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::CustomizeWindowHint),
      state_(state), dialogs_(dialogs), link_(new TLinkBridge(data, state, this)),
      journal_(new TJournalController(dialogs, this)) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QString::fromUtf8(kAppTitle));
    setWindowIcon(AppIcon());

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* pnl1 = new QFrame(central);
    pnl1->setObjectName(QStringLiteral("pnl1"));
    pnl1->setFixedHeight(41);
    pnl1->setFrameShape(QFrame::StyledPanel);
    auto* pnl1Layout = new QHBoxLayout(pnl1);
    pnl1Layout->setContentsMargins(10, 0, 10, 0);
    lblDeviceName_ = new QLabel(QStringLiteral("Тип прибора"), pnl1);
    lblDeviceName_->setObjectName(QStringLiteral("lblDeviceName"));
    QFont nameFont = lblDeviceName_->font();
    nameFont.setBold(true);
    nameFont.setPixelSize(16);
    lblDeviceName_->setFont(nameFont);
    lblDeviceName_->setVisible(false);
    pnl1Layout->addWidget(lblDeviceName_);
    pnl1Layout->addStretch(1);
    column->addWidget(pnl1);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    column->addLayout(body, 1);

    // The start-up text and the pages share one place, so the window is as large from the start
    // as the largest page needs.
    auto* leftColumn = new QVBoxLayout;
    leftColumn->setContentsMargins(4, 4, 4, 4);
    body->addLayout(leftColumn, 1);
    leftStack_ = new QStackedWidget(central);
    leftColumn->addWidget(leftStack_);
    auto* startPanel = new QWidget(leftStack_);
    auto* left = new QVBoxLayout(startPanel);
    left->setContentsMargins(0, 0, 0, 0);
    leftStack_->addWidget(startPanel);
    lblStart_ = new QLabel(kStartText, startPanel);
    lblStart_->setObjectName(QStringLiteral("lblStart"));
    QFont startFont = lblStart_->font();
    // 19 pixels in the narrow fonts of the original; 17 fit the same width with the usual fonts.
    startFont.setPixelSize(17);
    lblStart_->setFont(startFont);
    lblStart_->setStyleSheet(QStringLiteral("color: rgb(0, 0, 128);"));
    lblStart_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    left->addWidget(lblStart_);
    logo_ = new QLabel(startPanel);
    logo_->setObjectName(QStringLiteral("imgLogo"));
    logo_->setPixmap(LogoPixmap());
    logo_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    left->addWidget(logo_, 1);
    PageMain_ = new QTabWidget(central);
    PageMain_->setObjectName(QStringLiteral("PageMain"));
    leftStack_->addWidget(PageMain_);

    auto* Panel1 = new QFrame(central);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(129);
    Panel1->setFrameShape(QFrame::StyledPanel);
    auto* side = new QVBoxLayout(Panel1);
    BtnClose_ = new QPushButton(QStringLiteral("Выход"), Panel1);
    BtnClose_->setObjectName(QStringLiteral("BtnClose"));
    auto* Label1 = new QLabel(QStringLiteral("Порт:"), Panel1);
    Label1->setObjectName(QStringLiteral("Label1"));
    cbbPorts_ = new TPortCombo(Panel1);
    cbbPorts_->setObjectName(QStringLiteral("cbbPorts"));
    cbbPorts_->setEditable(true);
    cbbPorts_->setInsertPolicy(QComboBox::NoInsert);
    cbbPorts_->setMaxVisibleItems(5);
    ButtonRead_ = new QPushButton(QStringLiteral("Прочитать"), Panel1);
    ButtonRead_->setObjectName(QStringLiteral("ButtonRead"));
    ButtonWrite_ = new QPushButton(QStringLiteral("Записать"), Panel1);
    ButtonWrite_->setObjectName(QStringLiteral("ButtonWrite"));
    side->addWidget(BtnClose_);
    side->addSpacing(16);
    side->addWidget(Label1);
    side->addWidget(cbbPorts_);
    side->addSpacing(16);
    side->addWidget(ButtonRead_);
    side->addWidget(ButtonWrite_);
    side->addStretch(1);
    body->addWidget(Panel1);
    setCentralWidget(central);

    StatusBar_ = new QStatusBar(this);
    StatusBar_->setObjectName(QStringLiteral("StatusBar"));
    StatusBar_->setSizeGripEnabled(false);
    StatusBar_->setAutoFillBackground(true);
    // One simple panel: a label of its own, so that menu hints passing over the status bar
    // do not wipe the last result.
    lblStatus_ = new QLabel(StatusBar_);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    StatusBar_->addWidget(lblStatus_, 1);
    // 20 pixels, or what a larger font needs.
    StatusBar_->setFixedHeight(std::max(20, StatusBar_->sizeHint().height()));
    // A read's or a write's exchanges, done of those it will make; only while one runs.
    pbTransfer_ = new QProgressBar(StatusBar_);
    pbTransfer_->setObjectName(QStringLiteral("pbTransfer"));
    pbTransfer_->setFormat(QStringLiteral("%v из %m"));
    pbTransfer_->setFixedSize(140, std::max(12, StatusBar_->height() - 6));
    pbTransfer_->hide();
    StatusBar_->addPermanentWidget(pbTransfer_);
    connect(link_, &TLinkBridge::progress, this, [this](int done, int total) {
        pbTransfer_->setRange(0, total);
        pbTransfer_->setValue(done);
        pbTransfer_->show();
    });
    setStatusBar(StatusBar_);

    markTimer_ = new QTimer(this);
    markTimer_->setSingleShot(true);
    markTimer_->setInterval(0);
    connect(markTimer_, &QTimer::timeout, this, &TFormMain::UpdateChangesMark);
    pageDialogs_ = std::make_unique<TWatchedDialogs>(dialogs_, [this] { markTimer_->start(); });

    IndTimer_ = new QTimer(this);
    IndTimer_->setObjectName(QStringLiteral("IndTimer"));
    IndTimer_->setInterval(400);
    connect(IndTimer_, &QTimer::timeout, this, &TFormMain::IndTimerTimer);

    // The GSM settings start from their defaults (device number 0001), so that a read whose GSM
    // replies are unusable does not show or write an empty frame.
    ResetGsmSettings(state_);
    BuildPages();
    BuildMenu();

    connect(BtnClose_, &QPushButton::clicked, this, &QWidget::close);
    connect(ButtonRead_, &QPushButton::clicked, this, &TFormMain::ButtonReadClick);
    connect(ButtonWrite_, &QPushButton::clicked, this, &TFormMain::ButtonWriteClick);
    connect(cbbPorts_, &TPortCombo::aboutToShowPopup, this, &TFormMain::cbbPortsDropDown);
    connect(cbbPorts_, &QComboBox::activated, this,
            [this](int index) { cbbPortsChange(cbbPorts_->itemText(index)); });
    connect(cbbPorts_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { cbbPortsChange(cbbPorts_->currentText()); });

    link_->SetSlowExchange(ReadSlowExchange());
    const QString port = ReadSetting(QStringLiteral("comportname"), DefaultPortName());
    cbbPorts_->setEditText(port);
    if (NamesPort(port)) {
        link_->SetPortName(port);
    }

    // A client area of 752 x 520 below the menu bar, unless the pages need more (a larger font):
    // the layouts keep the window at least as large as its content needs.
    resize(752, 520 + menuBar()->sizeHint().height());
    layout()->activate();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        // Centred; a window larger than the desktop keeps its top left corner on it.
        const QRect desktop = screen->availableGeometry();
        const QPoint centred = desktop.center() - rect().center();
        move(std::max(centred.x(), desktop.left()), std::max(centred.y(), desktop.top()));
    }
    connect(journal_, &TJournalController::stateChanged, this, &TFormMain::journalSyncStateChanged);
    UpdateCaption();
    qApp->installEventFilter(this);
}

TFormMain::~TFormMain() {
    qApp->removeEventFilter(this);
}

void TFormMain::BuildPages() {
    const TPageContext context{state_, *pageDialogs_};
    zones_ = new TPageZones(context, PageMain_);
    periph_ = new TPagePeriph(context, PageMain_);
    op5_ = new TPageOP5(context, PageMain_);
    kp2_ = new TPageKP2(context, PageMain_);
    tx_ = new TPageTx(context, PageMain_);
    cnc8_ = new TPageCnc8(context, PageMain_);
    cnc5_ = new TPageCnc5(context, PageMain_);
    retTk_ = new TPageRet(context, PageMain_);
    retShlf_ = new TPageRetShlf(context, PageMain_);
    outputs_ = new TPageOutputs(context, PageMain_);
    update_ =
        new TPageUpdate(context,
                        {[this] { return cbbPorts_->currentText(); }, [this](bool on) { ControlsEnable(on); },
                         [this](const QString& reason) {
                             portErrorReason_ = reason;
                             HandleResult(8, 0);
                         }},
                        PageMain_);
    // Tab order puts every type's first page first among the pages it shows.
    pages_ = {zones_, periph_, op5_, kp2_, cnc8_, cnc5_, retTk_, retShlf_, tx_, outputs_, update_};
    for (auto* page : pages_) {
        PageMain_->addTab(page, page->Caption());
    }
    currentPageIndex_ = PageMain_->currentIndex();
    connect(PageMain_, &QTabWidget::currentChanged, this, &TFormMain::PageChanged);
    connect(tx_, &TPageTx::gsmFileSaveClicked, this, &TFormMain::btnGSMFileSaveClick);
    connect(tx_, &TPageTx::gsmFileLoadClicked, this, &TFormMain::btnGSMFileLoadClick);
}

void TFormMain::BuildMenu() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&Файл"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction* open = file->addAction(QStringLiteral("&Открыть..."), this, &TFormMain::FileOpenClick);
    open->setObjectName(QStringLiteral("FileOpen"));
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    QAction* save = file->addAction(QStringLiteral("&Сохранить"), this, &TFormMain::FileSaveClick);
    save->setObjectName(QStringLiteral("FileSave"));
    save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    QAction* saveAs = file->addAction(QStringLiteral("Сохранить &как..."), this, &TFormMain::FileSaveAsClick);
    saveAs->setObjectName(QStringLiteral("FileSaveAs"));
    QAction* compare =
        file->addAction(QStringLiteral("Сравнить с файлом..."), this, &TFormMain::FileCompareClick);
    compare->setObjectName(QStringLiteral("FileCompare"));
    QAction* report = file->addAction(QStringLiteral("Отчёт..."), this, &TFormMain::FileReportClick);
    report->setObjectName(QStringLiteral("FileReport"));
    QAction* journal = file->addAction(QStringLiteral("Журнал..."), this, &TFormMain::FileJournalClick);
    journal->setObjectName(QStringLiteral("FileJournal"));
    QAction* sites = file->addAction(QStringLiteral("Объекты..."), this, [this] { FileJournalClick(true); });
    sites->setObjectName(QStringLiteral("FileSites"));
    templatesMenu_ = file->addMenu(QStringLiteral("Шаблоны"));
    templatesMenu_->setObjectName(QStringLiteral("mnuTemplates"));
    connect(templatesMenu_, &QMenu::aboutToShow, this, &TFormMain::FillTemplatesMenu);
    FillTemplatesMenu();
    file->addSeparator();
    QAction* settings = file->addAction(QStringLiteral("Настройки..."), this, &TFormMain::SettingsClick);
    settings->setObjectName(QStringLiteral("FileSettings"));
    file->addSeparator();
    QAction* journalSettings =
        file->addAction(QStringLiteral("Настройки журнала..."), this, &TFormMain::JournalSettingsClick);
    journalSettings->setObjectName(QStringLiteral("FileJournalSettings"));
    file->addSeparator();
    QAction* exit = file->addAction(QStringLiteral("Выход"), this, &QWidget::close);
    exit->setObjectName(QStringLiteral("FileExit"));

    deviceMenu_ = bar->addMenu(QStringLiteral("П&рибор"));
    deviceMenu_->setObjectName(QStringLiteral("mnuDevice"));
    BuildDeviceMenu();

    QMenu* help = bar->addMenu(QStringLiteral("&Помощь"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* about = help->addAction(QStringLiteral("О программе..."), this, &TFormMain::AboutClick);
    about->setObjectName(QStringLiteral("HelpAbout"));
}

void TFormMain::FillTemplatesMenu() {
    templatesMenu_->clear();
    QAction* make =
        templatesMenu_->addAction(QStringLiteral("Создать шаблон..."), this, &TFormMain::TemplateMakeClick);
    make->setObjectName(QStringLiteral("TemplateMake"));
    QAction* apply = templatesMenu_->addAction(QStringLiteral("Применить шаблон..."), this,
                                               &TFormMain::TemplateApplyClick);
    apply->setObjectName(QStringLiteral("TemplateApply"));
    const std::vector<TTemplateEntry> found = ListTemplates();
    if (!found.empty()) {
        templatesMenu_->addSeparator();
    }
    for (const TTemplateEntry& entry : found) {
        // "&" would make the next letter a shortcut.
        QString caption = entry.name;
        QAction* a = templatesMenu_->addAction(caption.replace(QLatin1Char('&'), QStringLiteral("&&")), this,
                                               [this, path = entry.path] { ApplyTemplateFile(path); });
        a->setData(entry.path);
    }
}

void TFormMain::BuildDeviceMenu() {
    QAction* last = deviceMenu_->addAction(ToQ(kLastUsedCaption), this, [this] { ChooseDevice(0); });
    last->setData(0);
    deviceMenu_->addSeparator();
    for (const auto& group : orv::BuildDeviceMenu()) {
        QMenu* sub = deviceMenu_->addMenu(QString::fromStdString(group.caption));
        for (const auto& item : group.items) {
            const Byte code = item.code;
            QAction* action = sub->addAction(QString::fromStdString(item.caption), this,
                                             [this, code] { ChooseDevice(code); });
            action->setData(code);
        }
    }
}

TDevicePage* TFormMain::Page(const QString& name) const {
    for (auto* page : pages_) {
        if (page->objectName() == name) {
            return page;
        }
    }
    return nullptr;
}

void TFormMain::PageChanged(int index) {
    if (index >= 0 && !layingOut_ && !PageMain_->isTabVisible(index)) {
        // A page the device does not have is never shown.
        PageMain_->setCurrentIndex(currentPageIndex_);
        return;
    }
    if (currentPageIndex_ >= 0 && currentPageIndex_ < PageMain_->count() &&
        PageMain_->widget(currentPageIndex_) == zones_ && index != currentPageIndex_) {
        zones_->PageShlfExit();
    }
    currentPageIndex_ = index;
    if (layingOut_ || index < 0) {
        return;
    }
    lastPageTag_ = Tag(PageMain_->widget(index));
}

void TFormMain::SendData(int mode) {
    if (RefusedWhileBusy()) {
        return;
    }
    ControlsEnable(false);
    if (mode == 1 && !UpdateAllTXBuffers(CommitFor::Panel)) {
        ControlsEnable(true);
        return;
    }
    runningMode_ = mode;
    runningPort_ = link_->PortName();
    if (!link_->Start(mode, [this](int code, int argument) { HandleResult(code, argument); }) &&
        !link_->Busy()) {
        // Refused with nothing running, no final code would enable the controls again.
        runningMode_ = -1;
        ControlsEnable(true);
    }
}

void TFormMain::ControlsEnable(bool on) {
    ButtonRead_->setEnabled(on);
    ButtonWrite_->setEnabled(on);
    cbbPorts_->setEnabled(on);
    PageMain_->setEnabled(on);
    update_->setEnabled(on);
    for (const char* name : {"btnGSMFileLoad", "btnGSMFileSave", "btnUpdFile", "btnUpdate"}) {
        if (auto* w = findChild<QWidget*>(QString::fromLatin1(name))) {
            w->setEnabled(on);
        }
    }
    // The menus open, save, compare and replace the configuration and change the link: not while
    // a worker or the firmware update uses them.
    for (const char* name : {"FileOpen", "FileSave", "FileSaveAs", "FileCompare", "FileReport", "FileJournal",
                             "FileSites", "FileSettings", "FileJournalSettings"}) {
        if (auto* a = findChild<QAction*>(QString::fromLatin1(name))) {
            a->setEnabled(on);
        }
    }
    if (templatesMenu_) {
        templatesMenu_->setEnabled(on);
    }
    deviceMenu_->setEnabled(on);
}

bool TFormMain::Busy() const {
    return link_->Busy() || update_->Updating();
}

bool TFormMain::RefusedWhileBusy() {
    // The controls are disabled while busy; this catches what reaches an action all the same.
    return Busy();
}

void TFormMain::SetDeviceControls() {
    TDevice* d = state_.device.get();
    if (!d || d->DevType == 0 || d->DevType == setUpType_) {
        return;
    }
    const Byte type = d->DevType;
    setUpType_ = type;
    lblDeviceName_->setText(QStringLiteral("Прибор: ") + QString::fromStdString(DeviceName(type)));
    lblDeviceName_->setVisible(true);
    lblStart_->setVisible(false);
    logo_->setVisible(false);
    leftStack_->setCurrentWidget(PageMain_);

    const int mask = PageMask(type);
    layingOut_ = true;
    TDevicePage* first = nullptr;
    TDevicePage* chosen = nullptr;
    for (int i = 0; i < PageMain_->count(); ++i) {
        auto* page = static_cast<TDevicePage*>(PageMain_->widget(i));
        const int tag = page->PageTag();
        const bool shown = tag == 0 || (tag & mask) != 0;
        PageMain_->setTabVisible(i, shown);
        // A hidden tab is still reachable by Ctrl+Tab unless it is disabled as well.
        PageMain_->setTabEnabled(i, shown);
        if (!first && (tag & mask) != 0) {
            first = page;
        }
        if (tag != 0 && tag == lastPageTag_) {
            chosen = page;
        }
    }
    if ((lastPageTag_ & mask) == 0 || !chosen) {
        chosen = first;
    }
    if (chosen) {
        PageMain_->setCurrentWidget(chosen);
    }
    layingOut_ = false;
    currentPageIndex_ = PageMain_->currentIndex();

    for (auto* page : pages_) {
        page->SetupForType(type);
    }
}

void TFormMain::RefreshControls() {
    TDevice* d = state_.device.get();
    if (!d) {
        return;
    }
    if (IsOP8(*d)) {
        RefreshOP8();
    } else if (IsOP5(*d)) {
        RefreshOP5();
    } else if (IsCnc8(*d)) {
        RefreshCNC8();
    } else if (IsCnc5(*d)) {
        RefreshCOP5();
    } else if (d->DevType == 15) {
        RefreshRet();
    } else if (d->DevType == 6) {
        RefreshKP2();
    }
    filledFrom_ = state_.device;
    // What a field shows after the refresh is no typing of the user's.
    if (typingEdit_ != nullptr) {
        typingStart_ = typingEdit_->text();
        typed_ = false;
    }
    emit controlsRefreshed();
}

void TFormMain::RefreshOP8() {
    zones_->Refresh();
    periph_->Refresh();
    tx_->Refresh();
    outputs_->Refresh();
}

void TFormMain::RefreshCNC8() {
    cnc8_->Refresh();
    tx_->Refresh();
    outputs_->Refresh();
}

void TFormMain::RefreshCOP5() {
    cnc5_->Refresh();
    tx_->Refresh();
    outputs_->Refresh();
}

void TFormMain::RefreshOP5() {
    op5_->Refresh();
    tx_->Refresh();
}

void TFormMain::RefreshKP2() {
    kp2_->Refresh();
    tx_->Refresh();
}

void TFormMain::RefreshRet() {
    retShlf_->Refresh();
    tx_->Refresh();
    retTk_->Refresh();
}

bool TFormMain::UpdateAllTXBuffers(CommitFor purpose) {
    // A direction or device number still being typed belongs to what is written.
    tx_->FinishEditing();
    const bool zonesShown = ZonesShown();
    ZonePageView view;
    if (zonesShown) {
        zones_->PartsLogic();
        view = zones_->View();
    }
    const TCommitOutcome outcome = CommitPages(state_, zonesShown ? &view : nullptr, purpose);
    if (!outcome.refusal.isEmpty()) {
        dialogs_.Message(this, MsgKind::Error, outcome.caption, outcome.refusal, MsgButtons::Ok);
        return false;
    }
    return true;
}

bool TFormMain::ZonesShown() const {
    // The zone page's boxes describe the device only when the page was filled from it.
    return state_.device && filledFrom_.lock() == state_.device && IsOP8(*state_.device);
}

SettingsList TFormMain::ScreenSettings() const {
    if (ZonesShown()) {
        const ZonePageView view = zones_->View();
        return ListSettings(state_, &view);
    }
    return ListSettings(state_);
}

void TFormMain::UpdateChangesMark() {
    // A running transaction may be replacing the device object; its final code marks anew.
    if (Busy()) {
        return;
    }
    const bool modified = document_.Modified(ScreenSettings()) || TypingChanged();
    if (modified != modified_) {
        modified_ = modified;
        UpdateCaption();
    }
}

void TFormMain::ShowChangesMark() {
    modified_ = document_.Modified(ScreenSettings()) || TypingChanged();
    UpdateCaption();
}

bool TFormMain::TypingChanged() const {
    return typingEdit_ != nullptr && typed_ && typingEdit_->text() != typingStart_;
}

void TFormMain::TypingEdited() {
    if (sender() == typingEdit_) {
        typed_ = true;
    }
}

void TFormMain::UpdateCaption() {
    setWindowTitle(document_.Caption(QString::fromUtf8(kAppTitle), modified_));
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn:
        // Typing into a field of the pages marks the window at once, before the field is left
        // and its value stored.
        if (auto* edit = qobject_cast<QLineEdit*>(watched);
            edit && !edit->isReadOnly() && PageMain_->isAncestorOf(edit) && edit != typingEdit_) {
            typingEdit_ = edit;
            typingStart_ = edit->text();
            typed_ = false;
            // Only the user's typing counts, not what the program puts into the field.
            connect(edit, &QLineEdit::textEdited, this, &TFormMain::TypingEdited, Qt::UniqueConnection);
        }
        break;
    case QEvent::FocusOut:
        if (watched == typingEdit_) {
            typingEdit_ = nullptr;
        }
        markTimer_->start();
        break;
    case QEvent::MouseButtonRelease:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
        markTimer_->start();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TFormMain::MaySaveChanges() {
    if (!state_.device) {
        return true;
    }
    // What is being typed counts: leaving the field stores it as its own exit handler does.
    if (QWidget* typing = QApplication::focusWidget(); typing && isAncestorOf(typing)) {
        typing->clearFocus();
        typing->setFocus(Qt::OtherFocusReason);
    }
    tx_->FinishEditing();
    UpdateChangesMark();
    if (!modified_) {
        return true;
    }
    switch (dialogs_.Message(this, MsgKind::Question, QString::fromUtf8(kAppTitle),
                             QStringLiteral("Сохранить изменения?"), MsgButtons::YesNoCancel)) {
    case MsgAnswer::Yes:
        return SaveCurrent();
    case MsgAnswer::No:
        return true;
    default:
        return false;
    }
}

void TFormMain::ChooseDevice(Byte code) {
    if (RefusedWhileBusy()) {
        return;
    }
    int type = code;
    if (type == 0) {
        type = ReadSetting(QStringLiteral("devicetype"), QStringLiteral("0")).toInt();
    }
    if (type <= 0 || type > 255) {
        return;
    }
    auto device = CreateDevice(static_cast<Byte>(type));
    if (!device || !MaySaveChanges()) {
        return;
    }
    const Byte created = device->DevType;
    state_.device = std::move(device);
    SetDeviceControls();
    RefreshControls();
    document_.DeviceChosen(ScreenSettings());
    ShowChangesMark();
    // An earlier read's result says nothing about the panel now shown.
    SetStatus(QString());
    WriteSetting(QStringLiteral("devicetype"), QString::number(created));
}

void TFormMain::ButtonReadClick() {
    if (!RefusedWhileBusy() && MaySaveChanges()) {
        SendData(0);
    }
}

void TFormMain::ButtonWriteClick() {
    TDevice* d = state_.device.get();
    if (!d || RefusedWhileBusy()) {
        return;
    }
    if (!UpdateAllTXBuffers(CommitFor::Panel)) {
        return;
    }
    const bool noDirection = d->GetGsmConnected() && !AnyDirectionEnabled(state_);
    // A panel of this type read from (or written to) on this port in this session: what the
    // write changes there. Writing back what the panel holds needs no question.
    std::optional<Comparison> changes = document_.PanelChanges(link_->PortName(), ScreenSettings());
    if (changes && changes->Equal()) {
        changes.reset();
    }
    if (noDirection || changes) {
        QString text;
        QString details;
        if (changes) {
            text = QStringLiteral("Будет изменено параметров: %1").arg(changes->diffs.size());
            details = QString::fromStdString(ToText(*changes));
        }
        if (noDirection) {
            text += (text.isEmpty() ? QString() : QStringLiteral("\r\n\r\n")) +
                    QStringLiteral("Ни одно направление не включено,\r\nсохранять настройки?");
        } else {
            text += QStringLiteral("\r\nЗаписать конфигурацию в прибор?");
        }
        const MsgAnswer answer =
            dialogs_.Message(this, noDirection ? MsgKind::Warning : MsgKind::Question,
                             QStringLiteral("Программатор"), text, MsgButtons::YesNo, details);
        if (answer != MsgAnswer::Yes) {
            return;
        }
    }
    SendData(1);
}

void TFormMain::SetStatus(const QString& text) {
    statusText_ = text;
    // The status bar holds one line: a text of two lines is shown as one.
    lblStatus_->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")));
    emit statusChanged(text);
}

QString TFormMain::StatusText() const {
    return statusText_;
}

QColor TFormMain::StatusColor() const {
    return StatusBar_->palette().color(QPalette::Window);
}

void TFormMain::Flash(const QColor& color) {
    // A flash that starts while another runs must not take the flash colour for the normal one.
    if (!IndTimer_->isActive()) {
        savedColor_ = StatusColor();
    }
    flashColor_ = color;
    QPalette palette = StatusBar_->palette();
    palette.setColor(QPalette::Window, color);
    StatusBar_->setPalette(palette);
    flashStep_ = 3;
    IndTimer_->start();
}

void TFormMain::IndTimerTimer() {
    QPalette palette = StatusBar_->palette();
    palette.setColor(QPalette::Window, flashStep_ % 2 == 1 ? savedColor_ : flashColor_);
    StatusBar_->setPalette(palette);
    if (flashStep_ <= 1) {
        IndTimer_->stop();
        flashStep_ = 0;
    } else {
        --flashStep_;
    }
}

void TFormMain::PortError() {
    dialogs_.Message(
        this, MsgKind::Error, QStringLiteral("Ошибка открытия порта"),
        QStringLiteral(
            "Невозможно открыть последовательный порт.\r\nВыберите другой порт и попробуйте снова"),
        MsgButtons::Ok,
        PortErrorDetails(portErrorReason_.isEmpty() ? link_->LastPortError() : portErrorReason_));
    portErrorReason_.clear();
}

void TFormMain::HandleResult(int code, int argument) {
    code %= 128;
    if (code < 0) {
        code += 128;
    }
    const int mode = runningMode_;
    if (IsFinalResult(code)) {
        pbTransfer_->hide();
        runningMode_ = -1;
        // A write that did not end well leaves the panel holding what nobody knows.
        if (code != 0 && code != 1 && mode == 1) {
            document_.WriteFailed();
        }
    }
    switch (code) {
    case 0: {
        Record(journal::TAction::Read);
        const TDevice* d = state_.device.get();
        SetStatus(QStringLiteral("Конфигурация прочитана, версия прибора - ") +
                  QString::number(d ? d->GetVersion() : 0));
        RefreshAfterRead(state_);
        SetDeviceControls();
        RefreshControls();
        document_.Read(runningPort_, ScreenSettings());
        ShowChangesMark();
        Flash(kFlashGreen);
        ControlsEnable(true);
        break;
    }
    case 1: {
        // What the write changed, against what the session knew the panel held.
        const auto changes = document_.PanelChanges(runningPort_, ScreenSettings());
        Record(journal::TAction::Write, {},
               changes ? std::optional<int>(static_cast<int>(changes->diffs.size())) : std::nullopt);
        SetStatus(QStringLiteral("Конфигурация записана"));
        // The controls stayed disabled: the panel now holds what is on screen.
        document_.Written(runningPort_, ScreenSettings());
        ShowChangesMark();
        Flash(kFlashGreen);
        ControlsEnable(true);
        break;
    }
    case 2:
        SetStatus(QStringLiteral("Порт открыт"));
        break;
    case 3:
        SetStatus(QStringLiteral("Ответ прибора получен"));
        break;
    case 4:
        SetStatus(QStringLiteral("Читаем настройки GSM"));
        break;
    case 5:
        SetStatus(QStringLiteral("Пишем настройки GSM"));
        break;
    case 6:
        SetStatus(QStringLiteral("Читаем объекты"));
        break;
    case 7:
        SetStatus(QStringLiteral("Пишем объекты"));
        break;
    case 8:
        PortError();
        SetStatus(QStringLiteral("Ошибка порта"));
        Flash(kFlashRed);
        ControlsEnable(true);
        break;
    case 9:
        SetStatus(QStringLiteral("Нет связи, проверьте соединения или тип прибора"));
        Flash(kFlashRed);
        ControlsEnable(true);
        break;
    case 10:
        SetStatus(QStringLiteral("Обнаружены ошибки записи, попробуйте ещё раз"));
        Flash(kFlashRed);
        ControlsEnable(true);
        break;
    case 11:
        SetStatus(QStringLiteral("Ошибка. Неизвестное устройство\r\nПопробуйте обновить програматор"));
        Flash(kFlashRed);
        ControlsEnable(true);
        break;
    case 12:
        SetStatus(QStringLiteral("Ошибка. Прибор не поддерживается програматором"));
        Flash(kFlashRed);
        dialogs_.Message(this, MsgKind::Information, QString::fromUtf8(kAppTitle),
                         QStringLiteral("Подключенный прибор:\r\n") +
                             QString::fromStdString(DeviceName(static_cast<Byte>(argument & 0xFF))) +
                             QStringLiteral(",\r\nданным программатором не поддерживается"),
                         MsgButtons::Ok);
        ControlsEnable(true);
        break;
    case 13:
    case 14:
        SetStatus(code == 13 ? QStringLiteral("Ошибка при чтении или записи параметров GSM")
                             : QStringLiteral("Ошибка чтения-записи объектов"));
        // A read that failed this late has already put a new device object in place: the pages
        // must show it, or the next write would mix the old pages into it.
        if (state_.device && filledFrom_.lock() != state_.device) {
            RefreshAfterRead(state_);
            SetDeviceControls();
            RefreshControls();
            document_.ReadIncomplete(ScreenSettings());
            ShowChangesMark();
        }
        Flash(kFlashRed);
        ControlsEnable(true);
        break;
    default:
        break;
    }
}

void TFormMain::Record(journal::TAction action, const QString& file, std::optional<int> changed) {
    journal_->Record({.action = action,
                      .port = file.isEmpty() ? runningPort_ : QString(),
                      .file = file,
                      .site = document_.Site(),
                      .changed = changed},
                     state_);
}

void TFormMain::SetJournal(journal::TJournalRecorder* journal) {
    journal_->SetRecorder(journal);
}

journal::TJournalSyncService* TFormMain::JournalSync() const {
    return journal_->Sync();
}

QString TFormMain::JournalSyncState() const {
    return journal_->StateText();
}

void TFormMain::JournalSettingsClick() {
    if (!RefusedWhileBusy()) {
        journal_->ShowSettings();
    }
}

void TFormMain::cbbPortsChange(const QString& text) {
    if (NamesPort(text)) {
        link_->SetPortName(text);
    }
    WriteSetting(QStringLiteral("comportname"), text);
}

void TFormMain::cbbPortsDropDown() {
    const QString text = cbbPorts_->currentText();
    {
        const QSignalBlocker blocker(cbbPorts_);
        cbbPorts_->clear();
        for (const auto& entry : link_->DiscoverPorts()) {
            if (entry.adapter) {
                cbbPorts_->addItem(AdapterIcon(), entry.name);
            } else {
                cbbPorts_->addItem(entry.name);
            }
        }
        const int index = cbbPorts_->findText(text);
        cbbPorts_->setCurrentIndex(index);
        cbbPorts_->setEditText(text);
    }
}

void TFormMain::FileOpenClick() {
    if (RefusedWhileBusy() || !MaySaveChanges()) {
        return;
    }
    const FileDialogSpec spec{kOpenConfigCaption, kConfigFilter, QStringLiteral("cf8"),
                              ReadSetting(QStringLiteral("filepath"), QDir::currentPath())};
    const QString name = dialogs_.GetOpenFileName(this, spec);
    if (name.isEmpty()) {
        return;
    }
    // Read once: what is shown, what the journal keeps and what a later save compares with are
    // the same bytes.
    const TFileContent content = ReadFileContent(name);
    if (!content.settings || !ShowConfiguration(content.bytes)) {
        if (!content.settings) {
            dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kReadErrorCaption),
                             QString::fromUtf8(kDamagedFileText), MsgButtons::Ok);
        }
        return;
    }
    document_.Opened(name, content, ScreenSettings(), journal_->SiteOfFile(name));
    journal_->Record({journal::TAction::Open, {}, name, document_.Site(), {}, &content.bytes}, state_);
    ShowChangesMark();
    WriteSetting(QStringLiteral("filepath"), FolderOf(name));
    SetStatus(QStringLiteral("Файл открыт: ") + QDir::toNativeSeparators(name));
}

bool TFormMain::ShowConfiguration(const std::string& text) {
    if (!ReadConfigDocument(state_, text.data(), text.size())) {
        dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kReadErrorCaption),
                         QString::fromUtf8(kDamagedFileText), MsgButtons::Ok);
        return false;
    }
    SetDeviceControls();
    RefreshControls();
    return true;
}

bool TFormMain::OpenConfigText(const std::string& text, const QString& caption) {
    if (RefusedWhileBusy() || !MaySaveChanges() || !ShowConfiguration(text)) {
        return false;
    }
    document_.OpenedText(caption, ScreenSettings());
    ShowChangesMark();
    SetStatus(caption);
    return true;
}

bool TFormMain::OpenJournalEntry(const std::string& text, const journal::TEntry& entry) {
    if (RefusedWhileBusy() || !MaySaveChanges() || !ShowConfiguration(text)) {
        return false;
    }
    const QString place = entry.filePath.isEmpty() ? entry.port : QFileInfo(entry.filePath).fileName();
    QString caption = QStringLiteral("Из журнала: %1, %2 %3")
                          .arg(entry.deviceName, journal::ActionText(entry.action).toLower(),
                               entry.time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm")));
    if (!place.isEmpty()) {
        caption += QStringLiteral(", ") + place;
    }
    document_.OpenedEntry(caption, ScreenSettings(), entry.site);
    ShowChangesMark();
    SetStatus(caption);
    return true;
}

void TFormMain::FileSaveClick() {
    SaveCurrent();
}

bool TFormMain::SaveCurrent() {
    if (!state_.device || RefusedWhileBusy()) {
        return false;
    }
    // An edit being typed in commits its value through its own exit handler.
    BtnClose_->setFocus();
    if (document_.File().isEmpty()) {
        return SaveAs();
    }
    return SaveConfiguration(document_.File(), false);
}

QString TFormMain::AskSavePath(const QString& title, const QString& name) {
    const QString folder = ReadSetting(QStringLiteral("filepath"), QDir::currentPath());
    const FileDialogSpec spec{title, kConfigFilter, QStringLiteral("cf8"),
                              name.isEmpty() ? folder : QDir(folder).filePath(name)};
    QString path = dialogs_.GetSaveFileName(this, spec);
    if (!path.isEmpty() && !path.contains(QLatin1String(".cf8"))) {
        path += QStringLiteral(".cf8");
    }
    return path;
}

void TFormMain::KeepReplaced(const QString& path, const TFileContent& content) {
    if (journal_->Holds(content.sha256)) {
        return;
    }
    TProgramState replaced;
    if (ReadConfigDocument(replaced, content.bytes.data(), content.bytes.size())) {
        journal_->Record({journal::TAction::Open,
                          {},
                          path,
                          journal_->SiteOfFile(path),
                          QStringLiteral("Содержимое файла перед заменой"),
                          &content.bytes},
                         replaced);
    }
}

bool TFormMain::SaveConfiguration(const QString& path, bool asNew) {
    // A refused commit saves nothing and leaves the current file as it was.
    if (!UpdateAllTXBuffers(CommitFor::File)) {
        return false;
    }
    const SettingsList screen = ScreenSettings();
    const TFileContent now = ReadFileContent(path);
    const TSaveCheck check = document_.CheckSave(path, now, screen);
    if (!check.question.isEmpty() && dialogs_.Message(this, MsgKind::Question, QString::fromUtf8(kAppTitle),
                                                      check.question, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return false;
    }
    if (check.keepReplaced) {
        KeepReplaced(path, now);
    }
    if (asNew) {
        document_.Named(path, now);
    }
    const std::string text = BuildConfigDocument(state_);
    const SaveResult saved = SaveFileAtomically(QFile::encodeName(path).toStdString(), text);
    if (!saved.ok) {
        ShowChangesMark();
        dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kAppTitle),
                         saved.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                               : QString::fromStdString(saved.message),
                         MsgButtons::Ok);
        return false;
    }
    document_.Saved(path, text, screen);
    journal_->Record({journal::TAction::Save, {}, path, document_.Site(), {}, &text}, state_);
    SetStatus(QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(path));
    if (asNew) {
        WriteSetting(QStringLiteral("filepath"), FolderOf(path));
    }
    ShowChangesMark();
    return true;
}

void TFormMain::FileSaveAsClick() {
    SaveAs();
}

bool TFormMain::SaveAs() {
    if (!state_.device || RefusedWhileBusy()) {
        return false;
    }
    BtnClose_->setFocus();
    const QString path =
        AskSavePath(kSaveConfigCaption,
                    document_.SuggestedName(QString::fromStdString(DeviceName(state_.device->DevType)),
                                            QDate::currentDate()));
    return !path.isEmpty() && SaveConfiguration(path, true);
}

void TFormMain::FileCompareClick() {
    if (!state_.device || RefusedWhileBusy()) {
        return;
    }
    tx_->FinishEditing();
    const FileDialogSpec spec{QStringLiteral("Сравнить с файлом"), kConfigFilter, QStringLiteral("cf8"),
                              ReadSetting(QStringLiteral("filepath"), QDir::currentPath())};
    const QString name = dialogs_.GetOpenFileName(this, spec);
    if (name.isEmpty()) {
        return;
    }
    const std::optional<SettingsList> file = ReadFileContent(name).settings;
    if (!file) {
        dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kReadErrorCaption),
                         QString::fromUtf8(kDamagedFileText), MsgButtons::Ok);
        return;
    }
    const QString now = QStringLiteral("Сейчас");
    const QString inFile = QStringLiteral("В файле");
    TCompareDialog dialog(ScreenSettings(), *file, now, inFile, this);
    dialog.setWindowTitle(QStringLiteral("Сравнение с файлом ") + QDir::toNativeSeparators(name));
    ReportSource screen = ScreenSource();
    screen.title = now;
    ReportSource other;
    other.file = name;
    other.title = inFile;
    const QString baseName = QStringLiteral("Изменения ") + QFileInfo(name).completeBaseName();
    dialog.SetReportHandler([this, screen, other, baseName](const Comparison& comparison, QWidget* parent) {
        const ReportFields fields = ShowReport(
            dialogs_, parent,
            [comparison, screen, other](const ReportFields& fields) {
                return ComparisonReport(comparison, screen, other, fields);
            },
            baseName, document_.Site());
        document_.SetSite(fields.site);
    });
    dialogs_.Exec(dialog);
}

void TFormMain::TemplateMakeClick() {
    // The template holds the settings as a save stores them.
    if (!state_.device || RefusedWhileBusy() || !UpdateAllTXBuffers(CommitFor::File)) {
        return;
    }
    TTemplateDialog dialog(ScreenSettings(), this);
    const int answer = dialogs_.Exec(dialog);
    // The commit step may have stored what was typed.
    UpdateChangesMark();
    if (answer != QDialog::Accepted) {
        return;
    }
    const SettingsTemplate made = dialog.Result();
    const QString name = QString::fromStdString(made.name);
    const QString folder = TemplatesFolder();
    const QString path = folder + QLatin1Char('/') + TemplateFileName(name);
    if (QFileInfo::exists(path) &&
        dialogs_.Message(this, MsgKind::Question, QStringLiteral("Создать шаблон"),
                         QStringLiteral("Шаблон «%1» уже есть. Заменить его?").arg(name),
                         MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    QString error;
    if (!QDir().mkpath(folder) || !SaveTemplateFile(made, path, error)) {
        dialogs_.Message(this, MsgKind::Error, QStringLiteral("Ошибка записи файла"),
                         error.isEmpty() ? QStringLiteral("Не удалось создать папку ") + folder : error,
                         MsgButtons::Ok);
        return;
    }
    SetStatus(QStringLiteral("Шаблон «%1» сохранен").arg(name));
}

void TFormMain::TemplateApplyClick() {
    if (!state_.device || RefusedWhileBusy()) {
        return;
    }
    const FileDialogSpec spec{QStringLiteral("Применить шаблон"), QStringLiteral("Шаблоны (*.json)"),
                              QStringLiteral("json"), TemplatesFolder()};
    const QString name = dialogs_.GetOpenFileName(this, spec);
    if (!name.isEmpty()) {
        ApplyTemplateFile(name);
    }
}

bool TFormMain::ApplyTemplateFile(const QString& path) {
    if (!state_.device || RefusedWhileBusy() || !UpdateAllTXBuffers(CommitFor::File)) {
        return false;
    }
    QString error;
    const std::optional<SettingsTemplate> loaded = LoadTemplateFile(path, error);
    if (!loaded) {
        dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kReadErrorCaption),
                         QStringLiteral("Файл %1 не шаблон: %2").arg(QDir::toNativeSeparators(path), error),
                         MsgButtons::Ok);
        return false;
    }
    // What it would change, worked out on a copy: the screen changes only once the user agrees.
    TProgramState preview = state_;
    preview.device = CopyDevice(*state_.device);
    const SetOutcome outcome = ApplyTemplate(preview, *loaded);
    if (!outcome.ok()) {
        dialogs_.Message(this, MsgKind::Error, QStringLiteral("Применить шаблон"),
                         QString::fromStdString(outcome.error), MsgButtons::Ok);
        return false;
    }
    const QString title = QStringLiteral("Шаблон «%1»").arg(QString::fromStdString(loaded->name));
    TCompareDialog dialog(outcome.changes, QStringLiteral("Сейчас"), QStringLiteral("С шаблоном"), this);
    dialog.setWindowTitle(
        loaded->note.empty() ? title : title + QStringLiteral(": ") + QString::fromStdString(loaded->note));
    dialog.AskToApply();
    if (dialogs_.Exec(dialog) != QDialog::Accepted) {
        UpdateChangesMark();
        return false;
    }
    if (const SetOutcome applied = ApplyTemplate(state_, *loaded); !applied.ok()) {
        dialogs_.Message(this, MsgKind::Error, QStringLiteral("Применить шаблон"),
                         QString::fromStdString(applied.error), MsgButtons::Ok);
        return false;
    }
    RefreshControls();
    ShowChangesMark();
    SetStatus(title + QStringLiteral(" применен"));
    return true;
}

ReportSource TFormMain::ScreenSource() const {
    ReportSource source;
    source.file = document_.File();
    if (const Byte version = state_.device ? state_.device->GetVersion() : Byte{0}; version != 0) {
        source.port = cbbPorts_->currentText();
        source.firmware = QString::number(version);
    }
    return source;
}

void TFormMain::FileReportClick() {
    // The report shows what a save would store: the held-back page edits go in first.
    if (!state_.device || RefusedWhileBusy() || !UpdateAllTXBuffers()) {
        return;
    }
    const QString baseName =
        document_.File().isEmpty() ? QStringLiteral("Отчёт") : QFileInfo(document_.File()).completeBaseName();
    const ReportFields fields = ShowReport(
        dialogs_, this,
        [list = ListSettings(state_), source = ScreenSource()](const ReportFields& fields) {
            return ConfigurationReport(list, source, fields);
        },
        baseName, document_.Site());
    document_.SetSite(fields.site);
}

void TFormMain::FileJournalClick(bool sites) {
    if (RefusedWhileBusy()) {
        return;
    }
    TJournalWindow window;
    window.open = [this](const std::string& text, const journal::TEntry& entry) {
        return OpenJournalEntry(text, entry);
    };
    window.current = [this]() -> std::optional<SettingsList> {
        // What a save would store: the held-back page edits go in first.
        if (!state_.device || Busy() || !UpdateAllTXBuffers(CommitFor::File)) {
            return std::nullopt;
        }
        return ListSettings(state_);
    };
    if (sites) {
        journal_->ShowSites(std::move(window));
    } else {
        journal_->ShowJournal(std::move(window));
    }
}

void TFormMain::btnGSMFileSaveClick() {
    if (!state_.device || RefusedWhileBusy()) {
        return;
    }
    tx_->FinishEditing();
    EncodeDirections(state_.Directions, state_.GsmFrame);
    if (!AnyDirectionEnabled(state_)) {
        dialogs_.Message(this, MsgKind::Warning, QStringLiteral("Запись на диск"),
                         QStringLiteral("Ни одно направление не задано.\r\nЗапись невозможна"),
                         MsgButtons::Ok);
        return;
    }
    const QString path = AskSavePath(kSaveConfigCaption);
    if (path.isEmpty() || !UpdateAllTXBuffers(CommitFor::File)) {
        return;
    }
    // The file dialog has asked whether to replace it; a configuration it held stays in the
    // journal.
    if (const TFileContent now = ReadFileContent(path); now.settings) {
        KeepReplaced(path, now);
    }
    const std::string text = BuildGsmDirectionsDocument(state_);
    const SaveResult saved = SaveFileAtomically(QFile::encodeName(path).toStdString(), text);
    if (!saved.ok) {
        dialogs_.Message(this, MsgKind::Error, QString::fromUtf8(kAppTitle),
                         saved.message.empty() ? QStringLiteral("Не удалось записать файл ") + path
                                               : QString::fromStdString(saved.message),
                         MsgButtons::Ok);
        return;
    }
    // The directions file becomes the current file: it holds no configuration, so the window is
    // marked until the configuration is saved.
    document_.DirectionsSaved(path, text);
    SetStatus(QStringLiteral("Файл сохранен: ") + QDir::toNativeSeparators(path));
    WriteSetting(QStringLiteral("filepath"), FolderOf(path));
    ShowChangesMark();
}

void TFormMain::btnGSMFileLoadClick() {
    if (RefusedWhileBusy()) {
        return;
    }
    const FileDialogSpec spec{kOpenConfigCaption, kConfigFilter, QStringLiteral("cf8"),
                              ReadSetting(QStringLiteral("filepath"), QDir::currentPath())};
    const QString name = dialogs_.GetOpenFileName(this, spec);
    if (name.isEmpty()) {
        return;
    }
    if (!OpenGsmDirectionsFile(state_, name)) {
        dialogs_.Message(this, MsgKind::Error, QStringLiteral("Ошибка чтения файла"),
                         QString::fromUtf8(kNoDirectionsInFileText), MsgButtons::Ok);
        return;
    }
    RefreshControls();
    UpdateChangesMark();
    SetStatus(QStringLiteral("Файл GSM направлений открыт"));
}

void TFormMain::AboutClick() {
    auto box = BuildAboutBox(this, QString::fromUtf8(kAppTitle));
    dialogs_.Exec(*box);
}

void TFormMain::SettingsClick() {
    if (RefusedWhileBusy()) {
        return;
    }
    TFormSettings form(this);
    form.chkSlowExchange()->setChecked(link_->SlowExchange());
    form.SetCompany(StoredReportCompany());
    if (dialogs_.Exec(form) != QDialog::Accepted) {
        return;
    }
    StoreReportCompany(form.Company());
    const bool slow = form.chkSlowExchange()->isChecked();
    WriteSlowExchange(slow);
    link_->SetSlowExchange(slow);
}

void TFormMain::closeEvent(QCloseEvent* event) {
    // A worker waits on this window while it runs, and so does a firmware update: the window
    // stays until it has finished.
    if (Busy() || !MaySaveChanges()) {
        event->ignore();
        return;
    }
    link_->ClosePort();
    event->accept();
}

} // namespace orv

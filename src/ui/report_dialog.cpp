#include "report_dialog.h"

#include "dialogs.h"
#include "settings.h"
#include "window_size.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace orv {

namespace {

const QString kInstallerSetting = QStringLiteral("reportinstaller");
const QString kCaption = QStringLiteral("Отчёт");

QPushButton* Button(const QString& name, const QString& text, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

TReportDialog::TReportDialog(IDialogs& dialogs, Builder build, const QString& baseName, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs), build_(std::move(build)), baseName_(baseName),
      printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)), company_(StoredReportCompany()) {
    setObjectName(QStringLiteral("ReportDialog"));
    setWindowTitle(kCaption);
    printer_->setPageLayout(ReportPageLayout());

    // The site belongs to the configuration reported on; the caller gives it.
    edtSite_ = new QLineEdit(this);
    edtSite_->setObjectName(QStringLiteral("edtSite"));
    edtInstaller_ = new QLineEdit(ReadSetting(kInstallerSetting, QString()), this);
    edtInstaller_->setObjectName(QStringLiteral("edtInstaller"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("Объект:"), edtSite_);
    fields->addRow(QStringLiteral("Монтажник:"), edtInstaller_);

    report_ = build_(Fields());
    preview_ = new QPrintPreviewWidget(printer_.get(), this);
    preview_->setObjectName(QStringLiteral("ReportPreview"));
    connect(preview_, &QPrintPreviewWidget::paintRequested, this,
            [this](QPrinter* printer) { report_.Render(*printer); });
    preview_->fitToWidth();
    // Ctrl with the wheel zooms, as in a browser; the wheel alone scrolls.
    if (auto* view = preview_->findChild<QGraphicsView*>()) {
        view->viewport()->installEventFilter(this);
    }

    // Zoom and pages.
    auto* zoomOut = Button(QStringLiteral("btnZoomOut"), QStringLiteral("−"), this);
    zoomOut->setToolTip(QStringLiteral("Уменьшить (Ctrl+−)"));
    auto* zoomIn = Button(QStringLiteral("btnZoomIn"), QStringLiteral("+"), this);
    zoomIn->setToolTip(QStringLiteral("Увеличить (Ctrl++)"));
    auto* fitWidth = Button(QStringLiteral("btnFitWidth"), QStringLiteral("По ширине"), this);
    auto* previous = Button(QStringLiteral("btnPreviousPage"), QStringLiteral("<"), this);
    previous->setToolTip(QStringLiteral("Предыдущая страница (PgUp)"));
    auto* next = Button(QStringLiteral("btnNextPage"), QStringLiteral(">"), this);
    next->setToolTip(QStringLiteral("Следующая страница (PgDown)"));
    lblPage_ = new QLabel(this);
    lblPage_->setObjectName(QStringLiteral("lblPage"));
    for (QPushButton* b : {zoomOut, zoomIn, previous, next}) {
        b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("WW")) + 16);
    }
    connect(zoomOut, &QPushButton::clicked, this, &TReportDialog::ZoomOut);
    connect(zoomIn, &QPushButton::clicked, this, &TReportDialog::ZoomIn);
    connect(fitWidth, &QPushButton::clicked, preview_, &QPrintPreviewWidget::fitToWidth);
    connect(previous, &QPushButton::clicked, this, [this] { GoToPage(preview_->currentPage() - 1); });
    connect(next, &QPushButton::clicked, this, [this] { GoToPage(preview_->currentPage() + 1); });
    connect(preview_, &QPrintPreviewWidget::previewChanged, this, &TReportDialog::ShowPage);
    const auto shortcut = [this](const QKeySequence& keys, auto slot) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence::ZoomIn, [this] { ZoomIn(); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Equal), [this] { ZoomIn(); });
    shortcut(QKeySequence::ZoomOut, [this] { ZoomOut(); });
    shortcut(QKeySequence(Qt::Key_PageUp), [this] { GoToPage(preview_->currentPage() - 1); });
    shortcut(QKeySequence(Qt::Key_PageDown), [this] { GoToPage(preview_->currentPage() + 1); });
    auto* navigation = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{zoomOut, zoomIn, fitWidth, previous, lblPage_, next}) {
        navigation->addWidget(w);
    }
    navigation->addStretch(1);

    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblReportStatus"));
    auto* print = Button(QStringLiteral("btnPrint"), QStringLiteral("Печать"), this);
    auto* savePdf = Button(QStringLiteral("btnSavePdf"), QStringLiteral("Сохранить PDF"), this);
    auto* saveHtml = Button(QStringLiteral("btnSaveHtml"), QStringLiteral("Сохранить HTML"), this);
    auto* close = Button(QStringLiteral("btnClose"), QStringLiteral("Закрыть"), this);
    connect(print, &QPushButton::clicked, this, &TReportDialog::PrintClick);
    connect(savePdf, &QPushButton::clicked, this, &TReportDialog::SavePdfClick);
    connect(saveHtml, &QPushButton::clicked, this, &TReportDialog::SaveHtmlClick);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblStatus_, 1);
    for (QPushButton* b : {print, savePdf, saveHtml, close}) {
        buttons->addWidget(b);
    }

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(navigation);
    layout->addWidget(preview_, 1);
    layout->addLayout(buttons);
    RestoreWindowSize(this, QSize(820, 760));

    // The preview follows the fields once typing pauses; saving and printing take them at once.
    typing_ = new QTimer(this);
    typing_->setSingleShot(true);
    typing_->setInterval(400);
    connect(typing_, &QTimer::timeout, this, &TReportDialog::UpdatePreview);
    for (QLineEdit* edit : {edtSite_, edtInstaller_}) {
        connect(edit, &QLineEdit::textChanged, typing_, qOverload<>(&QTimer::start));
    }
}

TReportDialog::~TReportDialog() = default;

ReportFields TReportDialog::Fields() const {
    return {edtSite_->text(), edtInstaller_->text(), company_};
}

void TReportDialog::ZoomIn() {
    preview_->zoomIn(1.25);
}

void TReportDialog::ZoomOut() {
    preview_->zoomOut(1.25);
}

void TReportDialog::GoToPage(int page) {
    preview_->setCurrentPage(std::clamp(page, 1, std::max(1, preview_->pageCount())));
    ShowPage();
}

void TReportDialog::ShowPage() {
    lblPage_->setText(
        QStringLiteral("Страница %1 из %2").arg(preview_->currentPage()).arg(preview_->pageCount()));
}

bool TReportDialog::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta > 0) {
                ZoomIn();
            } else if (delta < 0) {
                ZoomOut();
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TReportDialog::SetSite(const QString& site) {
    edtSite_->setText(site);
    UpdatePreview();
}

void TReportDialog::UpdatePreview() {
    typing_->stop();
    report_ = build_(Fields());
    preview_->updatePreview();
}

void TReportDialog::StoreFields() const {
    WriteSetting(kInstallerSetting, edtInstaller_->text());
}

void TReportDialog::done(int result) {
    StoreFields();
    StoreWindowSize(this);
    QDialog::done(result);
}

void TReportDialog::PrintClick() {
    UpdatePreview();
    StoreFields();
    QPrintDialog dialog(printer_.get(), this);
    dialog.setObjectName(QStringLiteral("ReportPrintDialog"));
    if (dialogs_.Exec(dialog) != QDialog::Accepted) {
        return;
    }
    if (!report_.Render(*printer_)) {
        dialogs_.Message(this, MsgKind::Error, kCaption, QStringLiteral("Не удалось напечатать отчёт"),
                         MsgButtons::Ok);
        return;
    }
    lblStatus_->setText(QStringLiteral("Отчёт отправлен на печать"));
    // The paper chosen for printing is the preview's paper from now on.
    preview_->updatePreview();
}

void TReportDialog::SavePdfClick() {
    Save(ReportFormat::Pdf);
}

void TReportDialog::SaveHtmlClick() {
    Save(ReportFormat::Html);
}

void TReportDialog::Save(ReportFormat format) {
    UpdatePreview();
    StoreFields();
    const bool pdf = format == ReportFormat::Pdf;
    const QString suffix = pdf ? QStringLiteral("pdf") : QStringLiteral("html");
    const QString folder = ReadSetting(QStringLiteral("filepath"), QDir::currentPath());
    const FileDialogSpec spec{
        pdf ? QStringLiteral("Сохранить отчёт в PDF") : QStringLiteral("Сохранить отчёт в HTML"),
        pdf ? QStringLiteral("Документ PDF (*.pdf)") : QStringLiteral("Страница HTML (*.html *.htm)"), suffix,
        QDir(folder).filePath(baseName_ + QLatin1Char('.') + suffix)};
    QString path = dialogs_.GetSaveFileName(this, spec);
    if (path.isEmpty()) {
        return;
    }
    if (ReportFormatOf(path) != format) {
        path += QLatin1Char('.') + suffix;
    }
    const QString error = pdf ? report_.SavePdf(path) : report_.SaveHtml(path);
    if (!error.isEmpty()) {
        dialogs_.Message(this, MsgKind::Error, kCaption, error, MsgButtons::Ok);
        return;
    }
    lblStatus_->setText(QStringLiteral("Отчёт сохранён: ") + QDir::toNativeSeparators(path));
}

ReportFields ShowReport(IDialogs& dialogs, QWidget* parent, TReportDialog::Builder build,
                        const QString& baseName, const QString& site) {
    TReportDialog dialog(dialogs, std::move(build), baseName, parent);
    if (!site.isEmpty()) {
        dialog.SetSite(site);
    }
    dialogs.Exec(dialog);
    return dialog.Fields();
}

} // namespace orv

#include "journal_settings_dialog.h"

#include "journal/pgpass.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QThread>
#include <QVBoxLayout>

namespace orv {

namespace {

// A check says what it found within this, whatever the server does.
constexpr int kCheckMs = 5000;

} // namespace

TJournalSettingsDialog::TJournalSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("JournalSettingsDialog"));
    setWindowTitle(QStringLiteral("Настройки журнала"));
    auto* layout = new QVBoxLayout(this);
    auto* intro =
        new QLabel(QStringLiteral("Журнал записывается на этом компьютере и, когда сервер доступен, "
                                  "синхронизируется с общим журналом на сервере PostgreSQL. "
                                  "Пустой адрес сервера: журнал только на этом компьютере."),
                   this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    host_ = new QLineEdit(this);
    host_->setObjectName(QStringLiteral("edHost"));
    port_ = new QSpinBox(this);
    port_->setObjectName(QStringLiteral("spPort"));
    port_->setRange(1, 65535);
    database_ = new QLineEdit(this);
    database_->setObjectName(QStringLiteral("edDatabase"));
    user_ = new QLineEdit(this);
    user_->setObjectName(QStringLiteral("edUser"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("edPassword"));
    password_->setEchoMode(QLineEdit::Password);
    password_->setPlaceholderText(QStringLiteral("не менять"));
    sslmode_ = new QComboBox(this);
    sslmode_->setObjectName(QStringLiteral("cbSslMode"));
    sslmode_->addItems(journal::SslModes());
    form->addRow(QStringLiteral("Сервер:"), host_);
    form->addRow(QStringLiteral("Порт:"), port_);
    form->addRow(QStringLiteral("База данных:"), database_);
    form->addRow(QStringLiteral("Пользователь:"), user_);
    form->addRow(QStringLiteral("Пароль:"), password_);
    form->addRow(QStringLiteral("Шифрование (sslmode):"), sslmode_);
    layout->addLayout(form);

    passwordPlace_ = new QLabel(
        QStringLiteral(
            "Пароль не хранится в настройках программы: введенный пароль записывается в файл паролей "
            "PostgreSQL (~/.pgpass или файл, названный в PGPASSFILE), откуда его берет подключение; "
            "без него пароль берется из этого файла или из файла служб PostgreSQL."),
        this);
    passwordPlace_->setObjectName(QStringLiteral("lblPassword"));
    passwordPlace_->setWordWrap(true);
    passwordPlace_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(passwordPlace_);

    auto* checkRow = new QHBoxLayout;
    check_ = new QPushButton(QStringLiteral("Проверить"), this);
    check_->setObjectName(QStringLiteral("btnCheck"));
    checkRow->addWidget(check_);
    checkRow->addStretch();
    layout->addLayout(checkRow);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("lblState"));
    state_->setWordWrap(true);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(state_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (StorePassword()) {
            accept();
        }
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(check_, &QPushButton::clicked, this, &TJournalSettingsDialog::Check);
    Load(journal::TServerSettings{});
    setMinimumWidth(460);
}

TJournalSettingsDialog::~TJournalSettingsDialog() {
    if (checking_ != nullptr) {
        // Bounded by the check's own limits (kCheckMs).
        checking_->wait();
    }
}

void TJournalSettingsDialog::Load(const journal::TServerSettings& settings) {
    host_->setText(settings.host);
    port_->setValue(settings.port);
    database_->setText(settings.database);
    user_->setText(settings.user);
    sslmode_->setCurrentIndex(
        std::max<int>(0, static_cast<int>(journal::SslModes().indexOf(settings.sslmode))));
}

journal::TServerSettings TJournalSettingsDialog::Collect() const {
    journal::TServerSettings settings;
    settings.host = host_->text().trimmed();
    settings.port = port_->value();
    settings.database = database_->text().trimmed();
    settings.user = user_->text().trimmed();
    settings.sslmode = sslmode_->currentText();
    return settings;
}

bool TJournalSettingsDialog::StorePassword() {
    const journal::TServerSettings server = Collect();
    if (password_->text().isEmpty() || !server.IsSet()) {
        return true;
    }
    QString why;
    if (!journal::StorePassword(server, password_->text(), why)) {
        state_->setText(why);
        return false;
    }
    password_->clear();
    passwordPlace_->setText(
        QStringLiteral("Пароль пользователя %1 записан в файл паролей PostgreSQL %2 (его может "
                       "читать только владелец); в настройках программы его нет.")
            .arg(server.user, QDir::toNativeSeparators(journal::PasswordFilePath())));
    return true;
}

void TJournalSettingsDialog::Check() {
    if (checking_ != nullptr) {
        return;
    }
    // The check connects as the window will: with the password just typed.
    if (!StorePassword()) {
        return;
    }
    check_->setEnabled(false);
    state_->setText(QStringLiteral("Проверка соединения с %1...").arg(Collect().Address()));
    auto result = std::make_shared<QString>();
    checking_ = QThread::create([settings = Collect(), result] {
        journal::TJournalSync sync({}, settings);
        sync.SetLimits(kCheckMs, kCheckMs);
        *result = sync.Check().text;
    });
    connect(checking_, &QThread::finished, this, [this, result] {
        checking_->deleteLater();
        checking_ = nullptr;
        check_->setEnabled(true);
        state_->setText(*result);
        emit Checked(*result);
    });
    checking_->start();
}

QString TJournalSettingsDialog::StateText() const {
    return state_->text();
}

} // namespace orv

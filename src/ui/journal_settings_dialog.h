#pragma once

#include "journal/sync.h"

#include <QDialog>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QThread;

namespace orv {

// "Настройки журнала": where the journal is shared (a PostgreSQL server). A password typed goes
// into PostgreSQL's password file, never into the program's settings; without one, the password
// file or a service file gives it.
class TJournalSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TJournalSettingsDialog(QWidget* parent = nullptr);
    ~TJournalSettingsDialog() override;

    void Load(const journal::TServerSettings& settings);
    // The settings the fields describe; no server when the host is empty.
    journal::TServerSettings Collect() const;

    // Connects with the fields' settings off the window's thread; the state is shown when known.
    void Check();
    QString StateText() const;
    // Puts a typed password into the password file and says where it went; false (and why) when
    // it could not.
    bool StorePassword();

signals:
    void Checked(const QString& text);

private:
    QLineEdit* host_ = nullptr;
    QSpinBox* port_ = nullptr;
    QLineEdit* database_ = nullptr;
    QLineEdit* user_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* passwordPlace_ = nullptr;
    QComboBox* sslmode_ = nullptr;
    QPushButton* check_ = nullptr;
    QLabel* state_ = nullptr;
    QThread* checking_ = nullptr;
};

} // namespace orv

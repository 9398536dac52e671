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

// "Настройки журнала": where the journal is shared (a PostgreSQL server). The password is not
// asked for: PostgreSQL's password file or service file gives it.
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

signals:
    void Checked(const QString& text);

private:
    QLineEdit* host_ = nullptr;
    QSpinBox* port_ = nullptr;
    QLineEdit* database_ = nullptr;
    QLineEdit* user_ = nullptr;
    QComboBox* sslmode_ = nullptr;
    QPushButton* check_ = nullptr;
    QLabel* state_ = nullptr;
    QThread* checking_ = nullptr;
};

} // namespace orv

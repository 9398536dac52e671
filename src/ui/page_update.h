#pragma once

#include "device_page.h"

#include <functional>
#include <memory>

class QLineEdit;
class QProgressBar;
class QPushButton;

namespace orv {

class TCommPortDriver;
class TFirmwareSender;

// What the firmware page needs from the main window.
struct TUpdateHooks {
    std::function<QString()> portEntry;            // the text of the port list
    std::function<void(bool)> controlsEnable;      // ControlsEnable
    std::function<void(const QString&)> portError; // the window's result code 8, with the reason
};

// "Прошивка": chooses a firmware file and sends it to the panel's loader over a port of its own
// (cmprtdrvrUpdate), on this thread, keeping the window responsive while it waits.
class TPageUpdate : public TDevicePage {
    Q_OBJECT
public:
    TPageUpdate(const TPageContext& context, TUpdateHooks hooks, QWidget* parent = nullptr);
    ~TPageUpdate() override;

    void btnUpdFileClick();
    void btnUpdateClick();

    // An update is running (the window must not close under it).
    bool Updating() const;

    TCommPortDriver& cmprtdrvrUpdate() { return *port_; }

signals:
    // pbUpdate was set to this value after a block was confirmed.
    void progressSet(int percent);

private:
    TUpdateHooks hooks_;
    std::unique_ptr<TCommPortDriver> port_;
    std::unique_ptr<TFirmwareSender> sender_; // after the port: it goes first
    QLineEdit* edtUpdFileName_ = nullptr;
    QPushButton* btnUpdFile_ = nullptr;
    QPushButton* btnUpdate_ = nullptr;
    QProgressBar* pbUpdate_ = nullptr;
};

} // namespace orv

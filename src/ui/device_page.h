#pragma once

#include "gsm/program_state.h"

#include <QWidget>

namespace orv {

class IDialogs;

// What every page needs: the process state (the device object is read through it on every
// refresh, never kept) and the dialogs.
struct TPageContext {
    TProgramState& state;
    IDialogs& dialogs;
};

// One page of PageMain: a view over the current device object.
class TDevicePage : public QWidget {
    Q_OBJECT
public:
    // name: the page's objectName; tag: its bit of the page mask (0: always shown).
    TDevicePage(const TPageContext& context, const QString& name, const QString& caption, int tag,
                QWidget* parent = nullptr);

    QString Caption() const { return caption_; }
    int PageTag() const;

    // Lays the page out for a device type that has just been set up.
    virtual void SetupForType(Byte type);
    // Fills the controls from the device object; never writes to it.
    virtual void Refresh();

protected:
    TDevice* Device() const { return context_.state.device.get(); }
    TProgramState& State() const { return context_.state; }
    IDialogs& Dialogs() const { return context_.dialogs; }

private:
    TPageContext context_;
    QString caption_;
};

} // namespace orv

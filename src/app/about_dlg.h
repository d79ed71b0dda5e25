#pragma once
#include "platform/dialog.h"

namespace app {

// The About box, opened from the main window's system menu.
class AboutDlg : public platform::Dialog {
    Q_OBJECT
public:
    explicit AboutDlg(QWidget* parent = nullptr);

protected:
    bool onInitDialog() override;
};

} // namespace app

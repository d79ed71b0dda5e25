#include "app/about_dlg.h"

#include "res/icons.h"
#include "res/ids/main_ids.h"
#include "res/templates.h"

namespace app {

AboutDlg::AboutDlg(QWidget* parent) : Dialog(res::IDD_ABOUTBOX, parent) {}

bool AboutDlg::onInitDialog() {
    Dialog::onInitDialog();
    setItemIcon(res::IDC_ABOUT_ICON, res::loadIcon(res::IDI_MAIN_LARGE));
    return true;
}

} // namespace app

#include "receive/filt1708_dlg.h"

#include "res/ids/filt1708_ids.h"
#include "res/templates.h"

namespace receive {

using namespace res;
using platform::Notification;

Filt1708Dlg::Filt1708Dlg(QWidget* parent) : J1708Dlg(IDD_FILT1708, parent) {}

void Filt1708Dlg::doDataExchange(platform::DataExchange& dx) {
    J1708Dlg::doDataExchange(dx);
    dx.text(IDC_FILT1708_MID_MASK_HEX, midMaskText);
    dx.text(IDC_FILT1708_MID_MASK_DEC, midMaskDecText);
    dx.text(IDC_FILT1708_PID_MASK_HEX, pidMaskText);
    dx.text(IDC_FILT1708_PID_MASK_DEC, pidMaskDecText);
    dx.radio(IDC_FILT1708_PASS, filterMode);
}

bool Filt1708Dlg::onInitDialog() {
    J1708Dlg::onInitDialog();
    // The PID edits stay disabled, but their arrows step the PID.
    for (int id : {IDC_PID_HEX_SPIN, IDC_PID_DEC_SPIN})
        if (platform::UpDown* arrows = upDown(id))
            arrows->setStepsWhileBuddyDisabled(true);
    RestoreDisplayBase();
    return true;
}

bool Filt1708Dlg::onNotify(int id, Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == Notification::Clicked) {
        ApplyDisplayBase();
        enableItem(IDC_PID_HEX, false);
        enableItem(IDC_PID_DEC, false);
        updateData(false);
        return true;
    }
    if (code == Notification::TextChanged &&
        (id == IDC_MID_HEX || id == IDC_MID_DEC || id == IDC_PID_HEX || id == IDC_PID_DEC)) {
        SyncField(id);
        return true;
    }
    return J1708Dlg::onNotify(id, code);
}

bool Filt1708Dlg::onUpDownDelta(int id, int position, int step) {
    switch (id) {
    case IDC_FILT1708_MID_MASK_HEX_SPIN:
    case IDC_FILT1708_MID_MASK_DEC_SPIN:
    case IDC_FILT1708_PID_MASK_HEX_SPIN:
    case IDC_FILT1708_PID_MASK_DEC_SPIN:
        return true;
    default:
        return J1708Dlg::onUpDownDelta(id, position, step);
    }
}

} // namespace receive

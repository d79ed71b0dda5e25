#include "fields/protocol_dlg.h"

#include "fields/spin_range.h"
#include "res/icons.h"
#include "res/ids/field_common.h"

namespace fields {

ProtocolDlg::ProtocolDlg(int templateId, QWidget* parent) : platform::Dialog(templateId, parent) {}

void ProtocolDlg::doDataExchange(platform::DataExchange& dx) {
    // The switch picture is driven by ToggleDisplayBase; it holds no value.
    platform::Dialog::doDataExchange(dx);
}

bool ProtocolDlg::onNotify(int id, platform::Notification code) {
    if (id == res::IDC_DISPLAY_SWITCH && code == platform::Notification::Clicked) {
        ToggleDisplayBase();
        return true;
    }
    return platform::Dialog::onNotify(id, code);
}

void ProtocolDlg::ToggleDisplayBase() {
    hexMode = !hexMode;
    setItemIcon(res::IDC_DISPLAY_SWITCH, res::switchIcon(hexMode), res::switchStateName(hexMode));
    updateData(false);
}

void ProtocolDlg::RestoreDisplayBase() {
    hexMode = !hexMode;
    onNotify(res::IDC_DISPLAY_SWITCH, platform::Notification::Clicked);
}

int ProtocolDlg::NextSpinPosition(int upDownId, int position, int step) const {
    return ClampToSpinRange(upDownId, int64_t{position} + step);
}

int ProtocolDlg::ClampToSpinRange(int upDownId, int64_t value) const {
    const platform::UpDown* spin = upDown(upDownId);
    if (!spin)
        return static_cast<int>(value);
    return clampToSpinRange(value, spin->range());
}

void ProtocolDlg::setSpinPositions(int first, int second, int position) {
    for (int id : {first, second})
        if (platform::UpDown* spin = upDown(id))
            spin->setPos32(position);
}

} // namespace fields

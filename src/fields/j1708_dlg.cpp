#include "fields/j1708_dlg.h"

#include "fields/hex_text.h"
#include "res/ids/j1708_fields.h"

namespace fields {

using namespace res;

J1708Dlg::J1708Dlg(int templateId, QWidget* parent) : ProtocolDlg(templateId, parent) {}

int J1708Dlg::GetTwinControl(int id) const {
    switch (id) {
    case IDC_MID_HEX:
        return IDC_MID_DEC;
    case IDC_MID_DEC:
        return IDC_MID_HEX;
    case IDC_PID_HEX:
        return IDC_PID_DEC;
    case IDC_PID_DEC:
        return IDC_PID_HEX;
    case IDC_MID_HEX_SPIN:
        return IDC_MID_DEC_SPIN;
    case IDC_MID_DEC_SPIN:
        return IDC_MID_HEX_SPIN;
    case IDC_PID_HEX_SPIN:
        return IDC_PID_DEC_SPIN;
    case IDC_PID_DEC_SPIN:
        return IDC_PID_HEX_SPIN;
    default:
        return 0;
    }
}

QString* J1708Dlg::GetFieldText(int id) {
    switch (id) {
    case IDC_MID_HEX:
        return &midText;
    case IDC_PID_HEX:
        return &pidText;
    default:
        return nullptr;
    }
}

uint8_t* J1708Dlg::GetFieldValue(int id) {
    switch (id) {
    case IDC_MID_DEC:
        return &mid;
    case IDC_PID_DEC:
        return &pid;
    default:
        return nullptr;
    }
}

bool J1708Dlg::SyncField(int id) {
    updateData(true); // a failed read keeps the old values; carry on
    if (id == IDC_MID_HEX || id == IDC_PID_HEX) {
        QString* text = GetFieldText(id);
        if (!text)
            return updateData(false);
        cleanHexText(*text, 2);
        const auto value = static_cast<uint8_t>(hexValue(*text));
        if (id == IDC_MID_HEX) {
            mid = value;
            setSpinPositions(IDC_MID_DEC_SPIN, IDC_MID_HEX_SPIN, value);
        } else {
            pid = value;
            setSpinPositions(IDC_PID_DEC_SPIN, IDC_PID_HEX_SPIN, value);
        }
    } else if (id == IDC_MID_DEC || id == IDC_PID_DEC) {
        QString* text = GetFieldText(GetTwinControl(id));
        const uint8_t* field = GetFieldValue(id);
        if (!text || !field)
            return updateData(false);
        const uint8_t value = *field;
        *text = hexText(value);
        if (id == IDC_MID_DEC)
            setSpinPositions(IDC_MID_DEC_SPIN, IDC_MID_HEX_SPIN, value);
        else
            setSpinPositions(IDC_PID_DEC_SPIN, IDC_PID_HEX_SPIN, value);
    }
    return updateData(false);
}

void J1708Dlg::ApplyDisplayBase() {
    ToggleDisplayBase();
    for (int id : {IDC_MID_HEX, IDC_PID_HEX})
        enableItem(id, hexMode);
    for (int id : {IDC_MID_DEC, IDC_PID_DEC})
        enableItem(id, !hexMode);
    updateData(false);
}

void J1708Dlg::doDataExchange(platform::DataExchange& dx) {
    ProtocolDlg::doDataExchange(dx);
    dx.text(IDC_MID_HEX, midText);
    dx.number(IDC_MID_DEC, mid, uint8_t{0}, uint8_t{255});
    dx.text(IDC_PID_HEX, pidText);
    dx.number(IDC_PID_DEC, pid, uint8_t{0}, uint8_t{255});
    dx.maxChars(IDC_MID_HEX, midText, 2);
    dx.maxChars(IDC_PID_HEX, pidText, 2);
}

bool J1708Dlg::onInitDialog() {
    ProtocolDlg::onInitDialog();
    for (int id : {IDC_MID_HEX_SPIN, IDC_MID_DEC_SPIN, IDC_PID_HEX_SPIN, IDC_PID_DEC_SPIN})
        if (platform::UpDown* spin = upDown(id))
            spin->setRange(0, 255);
    setSpinPositions(IDC_MID_HEX_SPIN, IDC_MID_DEC_SPIN, mid);
    setSpinPositions(IDC_PID_HEX_SPIN, IDC_PID_DEC_SPIN, pid);
    return true;
}

bool J1708Dlg::onNotify(int id, platform::Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == platform::Notification::Clicked) {
        ApplyDisplayBase();
        return true;
    }
    return ProtocolDlg::onNotify(id, code);
}

bool J1708Dlg::isFieldSpin(int id) {
    return id == IDC_MID_HEX_SPIN || id == IDC_MID_DEC_SPIN || id == IDC_PID_HEX_SPIN ||
           id == IDC_PID_DEC_SPIN;
}

bool J1708Dlg::onUpDownDelta(int id, int position, int step) {
    if (!isFieldSpin(id))
        return ProtocolDlg::onUpDownDelta(id, position, step);
    updateData(true);
    BaseSpinStep(id, position, step);
    updateData(false);
    return false; // the pressed up-down takes the new position itself
}

int J1708Dlg::BaseSpinStep(int upDownId, int position, int step) {
    const int next = NextSpinPosition(upDownId, position, step);
    if (upDownId == IDC_MID_HEX_SPIN || upDownId == IDC_MID_DEC_SPIN) {
        midText = hexText(static_cast<uint8_t>(next));
        mid = static_cast<uint8_t>(next);
    } else if (upDownId == IDC_PID_HEX_SPIN || upDownId == IDC_PID_DEC_SPIN) {
        pidText = hexText(static_cast<uint8_t>(next));
        pid = static_cast<uint8_t>(next);
    }
    if (const int twin = GetTwinControl(upDownId))
        setSpinPositions(twin, 0, next);
    return next;
}

} // namespace fields

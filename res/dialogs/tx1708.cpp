#include "res/dialogs/field_rows.h"
#include "res/ids/tx1708_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

namespace {

ControlSpec control(int id, ControlKind kind, const QString& caption, int x, int y, int width, int height,
                    unsigned style = StyleNone, int buddy = 0, const QString& accessibleName = {}) {
    return ControlSpec{id, kind, caption, x, y, width, height, style, buddy, accessibleName};
}

// A caption and a digits-only edit whose up-down writes into it.
void addNumberRow(std::vector<ControlSpec>& controls, const QString& caption, int captionX, int editX, int y,
                  int edit, int spin, unsigned spinStyle = AutoBuddy) {
    controls.push_back(
        control(IDC_STATIC, ControlKind::Label, caption, captionX, y + 2, editX - captionX - 4, 9));
    controls.push_back(
        control(edit, ControlKind::Edit, QStringLiteral("0"), editX, y, 42, 13, DigitsOnly, 0, caption));
    controls.push_back(
        control(spin, ControlKind::UpDown, QString(), 0, 0, 0, 0, spinStyle | AlignRight, edit));
}

} // namespace

DialogTemplate tx1708Template() {
    DialogTemplate t;
    t.id = IDD_TX1708;
    t.title = QStringLiteral("1708 Transmit Message Builder");
    t.width = 270;
    t.height = 180;
    auto& c = t.controls;
    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Message"), 4, 2, 138, 102));
    addDisplaySwitch(c, 10);
    c.push_back(control(IDC_STATIC, ControlKind::Label, QStringLiteral("Priority"), kRowCaptionX, 36,
                        kRowHexX - 10, 9));
    c.push_back(control(IDC_TX1708_PRIORITY, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 34,
                        kRowEditWidth, kRowEditHeight, DigitsOnly, 0, QStringLiteral("Priority")));
    c.push_back(control(IDC_TX1708_PRIORITY_SPIN, ControlKind::UpDown, QString(), 0, 0, 0, 0,
                        AutoBuddy | AlignRight, IDC_TX1708_PRIORITY));
    addPairedRow(c, {QStringLiteral("MID"), QStringLiteral("MID"), 51, IDC_MID_HEX, IDC_MID_HEX_SPIN,
                     IDC_MID_DEC, IDC_MID_DEC_SPIN});
    addPairedRow(c, {QStringLiteral("PID"), QStringLiteral("PID"), 68, IDC_PID_HEX, IDC_PID_HEX_SPIN,
                     IDC_PID_DEC, IDC_PID_DEC_SPIN});
    // No checksum goes into the message: the row stays disabled at 0.
    addPairedRow(c, {QStringLiteral("Checksum"), QStringLiteral("Checksum"), 85, IDC_TX1708_CHECKSUM_HEX,
                     IDC_TX1708_CHECKSUM_HEX_SPIN, IDC_TX1708_CHECKSUM_DEC, IDC_TX1708_CHECKSUM_DEC_SPIN,
                     Disabled, DigitsOnly | Disabled});

    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Schedule"), 148, 2, 116, 64));
    addNumberRow(c, QStringLiteral("Broadcast Count"), 154, 216, 14, IDC_TXB_BROADCAST,
                 IDC_TXB_BROADCAST_SPIN);
    addNumberRow(c, QStringLiteral("Delay"), 154, 216, 31, IDC_TXB_DELAY, IDC_TXB_DELAY_SPIN);
    addNumberRow(c, QStringLiteral("Interval"), 154, 216, 48, IDC_TXB_INTERVAL, IDC_TXB_INTERVAL_SPIN);

    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QString(), 148, 70, 116, 34));
    addNumberRow(c, QStringLiteral("Data Count"), 154, 216, 81, IDC_TXB_DATA_COUNT, IDC_TXB_DATA_COUNT_SPIN,
                 StyleNone);

    // The data bytes: a row of ten, then a row of nine.
    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Data"), 4, 106, 260, 50));
    for (int i = 0; i < 19; ++i) {
        const int x = 10 + (i % 10) * 25;
        const int y = i < 10 ? 118 : 135;
        c.push_back(control(kTxDataEdit[i], ControlKind::Edit, QStringLiteral("0"), x, y, 24, 13, Disabled, 0,
                            QStringLiteral("Data byte %1").arg(i + 1)));
        c.push_back(
            control(kTxDataSpin[i], ControlKind::UpDown, QString(), 0, 0, 0, 0, AlignRight, kTxDataEdit[i]));
    }

    c.push_back(control(IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), 150, 161, 52, 14));
    c.push_back(control(IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), 210, 161, 52, 14));
    return t;
}

} // namespace res

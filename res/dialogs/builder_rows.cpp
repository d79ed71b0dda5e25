#include "res/dialogs/builder_rows.h"

#include "res/ids/tx_builder_ids.h"

namespace res {

using namespace platform;

namespace {
ControlSpec control(int id, ControlKind kind, const QString& caption, int x, int y, int width, int height,
                    unsigned style = StyleNone, int buddy = 0, const QString& accessibleName = {}) {
    return ControlSpec{id, kind, caption, x, y, width, height, style, buddy, accessibleName};
}
} // namespace

void addNumberRow(std::vector<ControlSpec>& controls, const QString& caption, int captionX, int editX, int y,
                  int edit, int spin, unsigned spinStyle) {
    controls.push_back(
        control(IDC_STATIC, ControlKind::Label, caption, captionX, y + 2, editX - captionX - 4, 9));
    controls.push_back(
        control(edit, ControlKind::Edit, QStringLiteral("0"), editX, y, 42, 13, DigitsOnly, 0, caption));
    controls.push_back(
        control(spin, ControlKind::UpDown, QString(), 0, 0, 0, 0, spinStyle | AlignRight, edit));
}

void addScheduleGroups(std::vector<ControlSpec>& c, int x, int y) {
    const int captionX = x + 6;
    const int editX = x + 68;
    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Schedule"), x, y, 116, 64));
    addNumberRow(c, QStringLiteral("Broadcast Count"), captionX, editX, y + 12, IDC_TXB_BROADCAST,
                 IDC_TXB_BROADCAST_SPIN);
    addNumberRow(c, QStringLiteral("Delay"), captionX, editX, y + 29, IDC_TXB_DELAY, IDC_TXB_DELAY_SPIN);
    addNumberRow(c, QStringLiteral("Interval"), captionX, editX, y + 46, IDC_TXB_INTERVAL,
                 IDC_TXB_INTERVAL_SPIN);
    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QString(), x, y + 68, 116, 34));
    addNumberRow(c, QStringLiteral("Data Count"), captionX, editX, y + 79, IDC_TXB_DATA_COUNT,
                 IDC_TXB_DATA_COUNT_SPIN, StyleNone);
}

void addDataRow(std::vector<ControlSpec>& c, int count, int x, int y, int width) {
    c.push_back(control(IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Data"), x, y, width, 32));
    const int pitch = (width - 12) / count;
    for (int i = 0; i < count; ++i) {
        c.push_back(control(kTxDataEdit[i], ControlKind::Edit, QStringLiteral("0"), x + 6 + i * pitch, y + 12,
                            pitch - 2, 13, Disabled, 0, QStringLiteral("Data byte %1").arg(i + 1)));
        c.push_back(
            control(kTxDataSpin[i], ControlKind::UpDown, QString(), 0, 0, 0, 0, AlignRight, kTxDataEdit[i]));
    }
}

void addOkCancel(std::vector<ControlSpec>& c, int x, int y) {
    c.push_back(control(IDOK, ControlKind::DefPushButton, QStringLiteral("OK"), x, y, 52, 14));
    c.push_back(control(IDCANCEL, ControlKind::PushButton, QStringLiteral("Cancel"), x + 60, y, 52, 14));
}

} // namespace res

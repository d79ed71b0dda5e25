#include "res/dialogs/builder_rows.h"
#include "res/dialogs/field_rows.h"
#include "res/ids/tx1939_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate tx1939Template() {
    DialogTemplate t;
    t.id = IDD_TX1939;
    t.title = QStringLiteral("1939 Transmit Message Builder");
    // The field rows' group, then the schedule column beside it.
    const int groupWidth = kRowDecX + kRowEditWidth + 6 - 4;
    const int scheduleX = 4 + groupWidth + 6;
    t.width = scheduleX + 116 + 6;
    t.height = 200;
    auto& c = t.controls;
    c.push_back({IDC_STATIC,
                 ControlKind::GroupBox,
                 QStringLiteral("Message"),
                 4,
                 2,
                 groupWidth,
                 138,
                 StyleNone,
                 0,
                 {}});
    addDisplaySwitch(c, 10);
    addNumberRow(c, QStringLiteral("Priority"), kRowCaptionX, kRowHexX, 34, IDC_PRIORITY, IDC_PRIORITY_SPIN);
    addNumberRow(c, QStringLiteral("Page"), kRowCaptionX, kRowHexX, 51, IDC_PAGE, IDC_PAGE_SPIN);
    addPairedRow(c, {QStringLiteral("PGN"), QStringLiteral("PGN"), 68, IDC_PGN_HEX, IDC_PGN_HEX_SPIN,
                     IDC_PGN_DEC, IDC_PGN_DEC_SPIN});
    addPairedRow(c, {QStringLiteral("Destination"), QStringLiteral("Destination"), 85, IDC_DEST_HEX,
                     IDC_DEST_HEX_SPIN, IDC_DEST_DEC, IDC_DEST_DEC_SPIN});
    addPairedRow(c, {QStringLiteral("Source"), QStringLiteral("Source"), 102, IDC_SOURCE_HEX,
                     IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC, IDC_SOURCE_DEC_SPIN});
    c.push_back({IDC_STATIC,
                 ControlKind::Label,
                 QStringLiteral("Identifier"),
                 kRowCaptionX,
                 121,
                 kRowHexX - 10,
                 9,
                 StyleNone,
                 0,
                 {}});
    c.push_back({IDC_IDENTIFIER, ControlKind::Edit, QStringLiteral("0"), kRowHexX, 119,
                 kRowDecX + kRowEditWidth - kRowHexX, kRowEditHeight, StyleNone, 0,
                 QStringLiteral("Identifier")});

    addScheduleGroups(c, scheduleX, 2);
    addDataRow(c, 8, 4, 144, t.width - 8);
    addOkCancel(c, t.width - 118, 180);
    return t;
}

} // namespace res

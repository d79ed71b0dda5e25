#include "res/ids/receive_ids.h"
#include "res/templates.h"

namespace res {

using platform::ControlKind;
using platform::ControlSpec;

// The Receive window: settings along the top, the counters, the column
// captions over the text box, and the run and protocol buttons on the right.
platform::DialogTemplate receiveTemplate() {
    platform::DialogTemplate t;
    t.id = IDD_RECEIVE;
    t.title = QStringLiteral("Receive");
    t.width = 470;
    t.height = 262;
    t.minimizeBox = true;
    const auto add = [&t](int id, ControlKind kind, const char* caption, int x, int y, int w, int h,
                          unsigned style = platform::StyleNone, const char* accessibleName = "") {
        ControlSpec spec;
        spec.id = id;
        spec.kind = kind;
        spec.caption = QString::fromLatin1(caption);
        spec.x = x;
        spec.y = y;
        spec.width = w;
        spec.height = h;
        spec.style = style;
        spec.accessibleName = QString::fromLatin1(accessibleName);
        t.controls.push_back(spec);
    };
    using enum platform::ControlKind;
    constexpr int S = platform::IDC_STATIC;

    // Settings row.
    add(S, GroupBox, "Rx Window Config", 5, 3, 82, 32);
    add(IDC_RX_LOAD, PushButton, "Load", 10, 15, 35, 14);
    add(IDC_RX_SAVE, PushButton, "Save", 48, 15, 35, 14);
    add(S, Label, "RX Window:", 95, 18, 40, 8);
    add(IDC_RX_WINDOW_NUMBER, Label, "0", 136, 18, 12, 8, platform::StyleNone, "RX Window number");
    add(S, Label, "Dec", 155, 18, 14, 8, platform::RightText);
    add(IDC_RX_SWITCH, Picture, "", 171, 10, 24, 24, platform::Notify, "Dec/Hex switch");
    add(S, Label, "Hex", 197, 18, 16, 8);
    add(IDC_RX_PICTURE_BUTTON, IconButton, "", 220, 8, 26, 26, platform::Disabled, "Receive picture");
    add(IDC_RX_BUFFER_SPILL, CheckBox, "Enable Buffer Spill", 255, 9, 85, 10, platform::Disabled);
    add(IDC_RX_BLOCKING_POLL, CheckBox, "Blocking Poll", 255, 22, 85, 10);

    // Counters.
    add(S, Label, "Messages", 5, 44, 34, 8);
    add(IDC_RX_MESSAGES, Edit, "0", 40, 42, 55, 12, platform::ReadOnly | platform::RightText, "Messages");
    add(S, Label, "Flag Messages", 105, 44, 50, 8);
    add(IDC_RX_FLAG_MESSAGES, Edit, "0", 156, 42, 55, 12, platform::ReadOnly | platform::RightText,
        "Flag Messages");
    add(S, Label, "Trigger Messages", 221, 44, 60, 8);
    add(IDC_RX_TRIGGER_MESSAGES, Edit, "0", 282, 42, 55, 12, platform::ReadOnly | platform::RightText,
        "Trigger Messages");

    // Column captions over the lines.
    add(S, Label, "Rx/Tx", 7, 60, 30, 8);
    add(S, Label, "Timestamp", 41, 60, 40, 8);
    add(S, Label, "Message ID", 84, 60, 50, 8);
    add(S, Label, "MID", 84, 69, 20, 8);
    add(S, Label, "PID", 113, 69, 20, 8);
    add(S, Label, "Data", 142, 69, 30, 8);
    add(IDC_RX_TEXT, MultiLineEdit, "", 5, 79, 345, 177, platform::StyleNone, "Received messages");

    // Run buttons.
    add(IDC_RX_START, DefPushButton, "&Start", 358, 79, 52, 14);
    add(IDC_RX_CLEAR, PushButton, "Clear Te&xt", 413, 79, 52, 14);
    add(IDC_RX_LOG, PushButton, "&Log", 358, 97, 52, 14, platform::Disabled);
    add(IDC_RX_TRIGGERS, PushButton, "Triggers", 413, 97, 52, 14, platform::Disabled);

    // One row per protocol: its box, "Filter" and "Flag".
    add(S, GroupBox, "Protocols", 355, 117, 112, 70);
    add(IDC_RX_J1708, CheckBox, "J1708", 360, 131, 34, 10, platform::Disabled);
    add(IDC_RX_J1708_FILTER, PushButton, "Filter", 396, 129, 33, 14, platform::Disabled, "J1708 Filter");
    add(IDC_RX_J1708_FLAG, PushButton, "Flag", 431, 129, 32, 14, platform::Disabled, "J1708 Flag");
    add(IDC_RX_J1850, CheckBox, "J1850", 360, 149, 34, 10, platform::Disabled);
    add(IDC_RX_J1850_FILTER, PushButton, "Filter", 396, 147, 33, 14, platform::Disabled, "J1850 Filter");
    add(IDC_RX_J1850_FLAG, PushButton, "Flag", 431, 147, 32, 14, platform::Disabled, "J1850 Flag");
    add(IDC_RX_J1939, CheckBox, "J1939", 360, 167, 34, 10, platform::Disabled);
    add(IDC_RX_J1939_FILTER, PushButton, "Filter", 396, 165, 33, 14, platform::Disabled, "J1939 Filter");
    add(IDC_RX_J1939_FLAG, PushButton, "Flag", 431, 165, 32, 14, platform::Disabled, "J1939 Flag");

    add(IDC_RX_CLOSE, PushButton, "&Close", 413, 242, 52, 14);
    return t;
}

} // namespace res

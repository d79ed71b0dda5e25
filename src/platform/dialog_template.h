#pragma once
// A dialog template: the numbered description of a window's controls, in
// dialog units, from which a Dialog builds its widgets each time it is created.

#include <QString>
#include <vector>

namespace platform {

// Control identifiers shared by every window.
inline constexpr int IDC_STATIC = -1;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

enum class ControlKind {
    PushButton,
    DefPushButton, // the button that Enter presses
    IconButton,    // square push button showing only an icon
    CheckBox,
    RadioButton,
    Label,
    GroupBox,
    Edit,          // single-line edit
    MultiLineEdit, // multi-line edit with a vertical scroll bar
    ComboBox,      // drop-down list, not editable
    UpDown,        // up-down arrows bound to a buddy edit
    Picture,       // static icon picture
};

enum ControlStyle : unsigned {
    StyleNone = 0,
    Disabled = 1u << 0,
    ReadOnly = 1u << 1,
    DigitsOnly = 1u << 2, // the edit accepts only the digits 0-9
    Group = 1u << 3,      // a radio button that starts a new group
    AutoBuddy = 1u << 4,  // the up-down writes its position into the buddy
    Notify = 1u << 5,     // a picture the user clicks: built as a focusable button
    AlignRight = 1u << 6, // an up-down placed inside the right end of its buddy
    Hidden = 1u << 7,
    RightText = 1u << 8, // text aligned right (labels, edits)
    Sunken = 1u << 9,    // picture drawn with a sunken frame
};

struct ControlSpec {
    ControlSpec() = default;
    // Templates list controls as {id, kind, caption, x, y, width, height}
    // with the style, buddy and accessible name where they need them.
    ControlSpec(int id, ControlKind kind, QString caption, int x, int y, int width, int height,
                unsigned style = StyleNone, int buddy = 0, QString accessibleName = {})
        : id(id), kind(kind), caption(std::move(caption)), x(x), y(y), width(width), height(height), style(style),
          buddy(buddy), accessibleName(std::move(accessibleName)) {}

    int id = IDC_STATIC;
    ControlKind kind = ControlKind::Label;
    QString caption;  // button, label, group and initial edit text; combo items separated by '\n'
    int x = 0, y = 0; // dialog units
    int width = 0, height = 0;
    unsigned style = StyleNone;
    int buddy = 0;          // up-down: the edit it belongs to
    QString accessibleName; // for controls without a caption of their own
};

struct DialogTemplate {
    int id = 0;
    QString title;
    int width = 0, height = 0; // dialog units
    std::vector<ControlSpec> controls;
    bool systemMenu = true;
    bool minimizeBox = false;
};

// The template with the given resource number; null if there is none.
const DialogTemplate* findDialogTemplate(int id);

} // namespace platform

#pragma once
// Controls shared by every field-editor window.
namespace res {
enum FieldCommonControl {
    IDC_DISPLAY_SWITCH = 1040, // the Dec/Hex switch picture
};
} // namespace res

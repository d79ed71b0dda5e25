#pragma once
// Controls of the main window (template 1004) and the About box (template 7).
namespace res {
enum MainControl {
    IDC_CONNECT = 1000,
    IDC_TRANSMIT_WINDOW = 1001,
    IDC_RECEIVE_WINDOW = 1002,
    IDC_DIAGNOSTICS_WINDOW = 1003,
    IDC_MONITOR_WINDOW = 1004,
};
enum AboutControl {
    IDC_ABOUT_ICON = 1100,
};
// System-menu command of the About box.
inline constexpr int IDM_ABOUTBOX = 0x0010;
} // namespace res

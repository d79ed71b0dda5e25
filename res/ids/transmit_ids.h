#pragma once
// Controls of the Transmit window (template 1039).
namespace res {
enum TransmitControl {
    IDC_TX_J1708 = 1056,
    IDC_TX_J1850 = 1057,
    IDC_TX_J1939 = 1058,
};
} // namespace res

#pragma once
// Controls every transmit message builder has: the schedule, the data count
// and the data bytes (the J1708 builder has 19, the J1850 builder the first
// 9, the J1939 builder the first 8).
namespace res {
enum TxBuilderControl {
    IDC_TXB_DELAY = 1085,
    IDC_TXB_DELAY_SPIN = 1086,
    IDC_TXB_BROADCAST = 1087,
    IDC_TXB_BROADCAST_SPIN = 1088,
    IDC_TXB_INTERVAL = 1089,
    IDC_TXB_INTERVAL_SPIN = 1090,
    IDC_TXB_DATA_COUNT = 1091,
    IDC_TXB_DATA_COUNT_SPIN = 1092,
};
inline constexpr int kTxDataEdit[19] = {1105, 1093, 1095, 1097, 1099, 1101, 1103, 1107, 1109, 1111,
                                        1125, 1113, 1115, 1117, 1119, 1121, 1123, 1127, 1129};
inline constexpr int kTxDataSpin[19] = {1106, 1094, 1096, 1098, 1100, 1102, 1104, 1108, 1110, 1112,
                                        1126, 1114, 1116, 1118, 1120, 1122, 1124, 1128, 1130};
} // namespace res

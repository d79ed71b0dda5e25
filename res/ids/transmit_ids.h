#pragma once
// Controls of the Transmit window (template 1039).
namespace res {
enum TransmitControl {
    IDC_TX_CLOSE = 1,       // "&Close"
    IDC_TX_PLAYBACK = 2,    // "&Playback", always disabled
    IDC_TX_CLEAR_COUNT = 3, // "C&lear Count"
    IDC_TX_LOAD = 1035,
    IDC_TX_SAVE = 1036,
    IDC_TX_CREATE = 1037,
    IDC_TX_DELETE = 1038,
    IDC_TX_START = 1045,
    IDC_TX_TOTAL = 1055, // "Messages Transmitted"
    IDC_TX_J1708 = 1056,
    IDC_TX_J1850 = 1057,
    IDC_TX_J1939 = 1058,
    IDC_TX_BLOCKING = 1103,
    IDC_TX_ECHO = 1106,
};

// The sixteen message rows: radio button, summary field, count field.
struct TransmitRowIds {
    int radio;
    int summary;
    int count;
};
inline constexpr TransmitRowIds kTransmitRowIds[16] = {
    {1060, 1053, 1054}, {1061, 1062, 1063}, {1067, 1065, 1066}, {1070, 1068, 1069},
    {1073, 1071, 1072}, {1076, 1074, 1075}, {1079, 1077, 1078}, {1082, 1080, 1081},
    {1085, 1083, 1084}, {1088, 1086, 1087}, {1091, 1089, 1090}, {1094, 1092, 1093},
    {1097, 1095, 1096}, {1100, 1098, 1099}, {1101, 1104, 1105}, {1102, 1107, 1108},
};
// Rows whose controls are in use; the others stay disabled and empty.
inline constexpr int kUsableTransmitRows = 3;
} // namespace res

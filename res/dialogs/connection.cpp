#include "res/ids/connection_ids.h"
#include "res/templates.h"

namespace res {

using namespace platform;

DialogTemplate connectionTemplate() {
    DialogTemplate t;
    t.id = IDD_CONNECTION;
    t.title = QStringLiteral("InitVQT - Connection");
    t.width = 274;
    t.height = 186;
    t.controls = {
        {IDC_STATIC, ControlKind::Label, QStringLiteral("VQT ID String"), 8, 8, 60, 10},
        {IDC_VQT_STATUS, ControlKind::Edit, {}, 8, 19, 258, 13, ReadOnly, 0, QStringLiteral("VQT ID String")},

        {IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Device"), 8, 38, 84, 84},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Device ID"), 14, 50, 70, 9},
        {IDC_DEVICE_ID, ControlKind::Edit, {}, 14, 60, 72, 13, DigitsOnly, 0, QStringLiteral("Device ID")},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("DLL"), 14, 76, 70, 9},
        {IDC_DLL_LIST, ControlKind::ComboBox, {}, 14, 86, 72, 14, StyleNone, 0, QStringLiteral("DLL")},
        {IDC_DEVICE, ControlKind::PushButton, QStringLiteral("Device"), 14, 104, 72, 14},

        {IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Serial"), 96, 38, 86, 84},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("COM Port"), 102, 50, 36, 9},
        {IDC_COM_PORT, ControlKind::Edit, QStringLiteral("1"), 140, 48, 36, 12, Disabled, 0,
         QStringLiteral("COM Port")},
        {IDC_COM_PORT_SPIN, ControlKind::UpDown, {}, 0, 0, 0, 0, Disabled | AlignRight, IDC_COM_PORT},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Baud"), 102, 66, 36, 9},
        {IDC_BAUD, ControlKind::ComboBox,
         QStringLiteral("9600\n19200\n28800\n38400\n57600\n115200\n230400\n460800"), 140, 64, 36, 14,
         Disabled, 0, QStringLiteral("Baud")},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("Polled"), 102, 84, 36, 9},
        {IDC_POLLED, ControlKind::ComboBox, QStringLiteral("FALSE\nTRUE"), 140, 82, 36, 14, Disabled, 0,
         QStringLiteral("Polled")},
        {IDC_SERIAL, ControlKind::PushButton, QStringLiteral("Serial"), 102, 104, 74, 14, Disabled},

        {IDC_STATIC, ControlKind::GroupBox, QStringLiteral("PC Board"), 186, 38, 80, 84},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("IO Port"), 192, 50, 30, 9},
        {IDC_IO_PORT, ControlKind::ComboBox, QStringLiteral("200\n220\n300\n320"), 224, 48, 36, 14, Disabled,
         0, QStringLiteral("IO Port")},
        {IDC_STATIC, ControlKind::Label, QStringLiteral("IRQ"), 192, 68, 30, 9},
        {IDC_IRQ, ControlKind::ComboBox, QStringLiteral("5\n7\n10"), 224, 66, 36, 14, Disabled, 0,
         QStringLiteral("IRQ")},
        {IDC_PC_BOARD, ControlKind::PushButton, QStringLiteral("PC Board"), 192, 104, 68, 14, Disabled},

        {IDC_STATIC, ControlKind::GroupBox, QStringLiteral("Protocols"), 8, 126, 190, 54},
        {IDC_J1708_PICTURE,
         ControlKind::Picture,
         {},
         30,
         136,
         20,
         20,
         StyleNone,
         0,
         QStringLiteral("J1708 status")},
        {IDC_INIT_UART, ControlKind::PushButton, QStringLiteral("Init UART"), 14, 160, 52, 14, Disabled},
        {IDC_J1850_PICTURE,
         ControlKind::Picture,
         {},
         93,
         136,
         20,
         20,
         StyleNone,
         0,
         QStringLiteral("J1850 status")},
        {IDC_INIT_1850, ControlKind::PushButton, QStringLiteral("Init 1850"), 77, 160, 52, 14, Disabled},
        {IDC_J1939_PICTURE,
         ControlKind::Picture,
         {},
         156,
         136,
         20,
         20,
         StyleNone,
         0,
         QStringLiteral("J1939 status")},
        {IDC_INIT_CAN, ControlKind::PushButton, QStringLiteral("Init CAN"), 140, 160, 52, 14, Disabled},

        {IDOK, ControlKind::DefPushButton, QStringLiteral("Done"), 212, 160, 54, 14},
    };
    return t;
}

} // namespace res

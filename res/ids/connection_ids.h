#pragma once
// Controls of the connection dialog (template 2000).
namespace res {
enum ConnectionControl {
    IDC_VQT_STATUS = 2000,
    IDC_COM_PORT = 2002,
    IDC_COM_PORT_SPIN = 2003,
    IDC_BAUD = 2004,
    IDC_DLL_LIST = 2005,
    IDC_POLLED = 2006,
    IDC_SERIAL = 2007,
    IDC_IO_PORT = 2008,
    IDC_IRQ = 2009,
    IDC_PC_BOARD = 2010,
    IDC_DEVICE_ID = 2011,
    IDC_DEVICE = 2012,
    IDC_INIT_UART = 2015,
    IDC_J1850_PICTURE = 2017,
    IDC_INIT_1850 = 2018,
    IDC_J1939_PICTURE = 2019,
    IDC_INIT_CAN = 2020,
    IDC_J1708_PICTURE = 2021,
};
} // namespace res

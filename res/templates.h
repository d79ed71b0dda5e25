#pragma once
// Every window's template, one function per window in res/dialogs/.
#include "platform/dialog_template.h"

namespace res {

enum DialogId {
    IDD_ABOUTBOX = 7,
    IDD_MAIN = 1004,
    IDD_RECEIVE = 1014,
    IDD_TRANSMIT = 1039,
    IDD_TX1939 = 1047,
    IDD_TX1708 = 1048,
    IDD_FILT1939 = 1049,
    IDD_FILT1708 = 1050,
    IDD_TX1850 = 1056,
    IDD_INIT_CAN = 1061,
    IDD_CONNECTION = 2000,
};

platform::DialogTemplate aboutTemplate();
platform::DialogTemplate mainWindowTemplate();
platform::DialogTemplate receiveTemplate();
platform::DialogTemplate transmitTemplate();
platform::DialogTemplate tx1939Template();
platform::DialogTemplate tx1708Template();
platform::DialogTemplate filt1939Template();
platform::DialogTemplate filt1708Template();
platform::DialogTemplate tx1850Template();
platform::DialogTemplate initCanTemplate();
platform::DialogTemplate connectionTemplate();

} // namespace res

// The functions the program exports for callers outside it.
#include "connect/exports.h"
#include "connect/can_bit_size.h"
#include "connect/init_vqt_dlg.h"

#define TARVIK_EXPORT extern "C" __attribute__((visibility("default")))

TARVIK_EXPORT int32_t DisplayInitVQT(int32_t connectionType, connect::ConnectionStatus* status) {
    if (connect::InitVQTDlg* dialog = connect::InitVQTDlg::instance())
        dialog->display(connectionType, status);
    return 0;
}

TARVIK_EXPORT void HideInitVQT() {
    if (connect::InitVQTDlg* dialog = connect::InitVQTDlg::instance())
        dialog->hide();
}

TARVIK_EXPORT uint8_t GetCANBitSize() {
    return connect::canBitSize;
}

#include "transmit/transmit_dlg.h"

#include "res/ids/transmit_ids.h"
#include "res/templates.h"

namespace transmit {

TransmitDlg::TransmitDlg(QWidget* parent) : Dialog(res::IDD_TRANSMIT, parent) {}

void TransmitDlg::enableProtocolControls(connect::Protocol protocol) {
    switch (protocol) {
    case connect::Protocol::J1708:
        enableItem(res::IDC_TX_J1708, true);
        break;
    case connect::Protocol::J1850:
        enableItem(res::IDC_TX_J1850, true);
        break;
    case connect::Protocol::J1939:
        enableItem(res::IDC_TX_J1939, true);
        break;
    }
}

} // namespace transmit

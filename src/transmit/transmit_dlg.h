#pragma once
// The Transmit window.
#include "connect/driver_binding.h"
#include "platform/dialog.h"

namespace transmit {

class TransmitDlg : public platform::Dialog {
    Q_OBJECT
public:
    explicit TransmitDlg(QWidget* parent = nullptr);

    // Unlocks the protocol's radio button once its client is open.
    void enableProtocolControls(connect::Protocol protocol);

protected:
    void onOK() override { hide(); }
    void onCancel() override { hide(); }
};

} // namespace transmit

#include "connect/address_claim_dialog.h"

#include "connect/address_claim.h"
#include "connect/init_can_dlg.h"

namespace connect {

std::optional<std::array<uint8_t, 10>> runAddressClaimDialog(QWidget* parent) {
    // A fresh dialog every time: every opening starts from the defaults.
    InitCANDlg dialog(parent);
    if (dialog.doModal() != platform::IDOK)
        return std::nullopt;
    return packAddressClaim(dialog.values);
}

} // namespace connect

#pragma once
// The J1939 address claim dialog: the source address to claim and the eight
// components of the NAME. A fresh instance is made for every Init CAN.

#include "connect/address_claim.h"
#include "platform/dialog.h"

#include <vector>

namespace connect {

class InitCANDlg : public platform::Dialog {
    Q_OBJECT
public:
    explicit InitCANDlg(QWidget* parent = nullptr);

    // The stored values, defaults until the user changes them.
    AddressClaimValues values;

    // One hexadecimal field kept in step with its up-down.
    struct FieldSyncEntry {
        int edit;
        QString* text;
        int maxLength;
        int upDown;
    };

protected:
    bool onCommand(int id, platform::Notification code) override;
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    void onOK() override;
    void onCancel() override;
    bool onUpDownDelta(int id, int position, int step) override;
    void onShowWindow(bool shown) override;

private:
    void syncText(int id);
    const FieldSyncEntry* entryForUpDown(int id) const;

    std::vector<FieldSyncEntry> fieldSync_;
    bool suppressSync = true;
};

} // namespace connect

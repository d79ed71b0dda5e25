#include "connect/init_can_dlg.h"

#include "fields/hex_text.h"
#include "fields/spin_range.h"
#include "res/ids/init_can_ids.h"
#include "res/templates.h"

#include <QComboBox>

namespace connect {

using namespace res;

InitCANDlg::InitCANDlg(QWidget* parent) : platform::Dialog(IDD_INIT_CAN, parent) {}

void InitCANDlg::doDataExchange(platform::DataExchange& dx) {
    platform::Dialog::doDataExchange(dx);
    dx.text(IDC_CLAIM_ADDRESS, values.networkAddress);
    dx.maxChars(IDC_CLAIM_ADDRESS, values.networkAddress, 2);
    dx.comboIndex(IDC_CLAIM_ARBITRARY, values.arbitraryAddressCapable);
    dx.number(IDC_CLAIM_INDUSTRY_GROUP, values.industryGroup, uint8_t{0}, uint8_t{7});
    dx.text(IDC_CLAIM_VEHICLE_INSTANCE, values.vehicleSystemInstance);
    dx.maxChars(IDC_CLAIM_VEHICLE_INSTANCE, values.vehicleSystemInstance, 1);
    dx.text(IDC_CLAIM_VEHICLE_SYSTEM, values.vehicleSystem);
    dx.maxChars(IDC_CLAIM_VEHICLE_SYSTEM, values.vehicleSystem, 2);
    dx.text(IDC_CLAIM_FUNCTION, values.function);
    dx.maxChars(IDC_CLAIM_FUNCTION, values.function, 2);
    dx.text(IDC_CLAIM_FUNCTION_INSTANCE, values.functionInstance);
    dx.maxChars(IDC_CLAIM_FUNCTION_INSTANCE, values.functionInstance, 2);
    dx.number(IDC_CLAIM_ECU_INSTANCE, values.ecuInstance, uint8_t{0}, uint8_t{7});
    dx.text(IDC_CLAIM_MANUFACTURER, values.manufacturerCode);
    dx.maxChars(IDC_CLAIM_MANUFACTURER, values.manufacturerCode, 3);
    dx.text(IDC_CLAIM_IDENTITY, values.identityNumber);
    dx.maxChars(IDC_CLAIM_IDENTITY, values.identityNumber, 6);
}

bool InitCANDlg::onInitDialog() {
    platform::Dialog::onInitDialog();
    const struct {
        int id;
        int high;
        int position;
    } spins[] = {
        {IDC_CLAIM_ADDRESS_SPIN, 255, 249},       {IDC_CLAIM_INDUSTRY_GROUP_SPIN, 7, 0},
        {IDC_CLAIM_VEHICLE_INSTANCE_SPIN, 15, 0}, {IDC_CLAIM_VEHICLE_SYSTEM_SPIN, 127, 0},
        {IDC_CLAIM_FUNCTION_SPIN, 255, 129},      {IDC_CLAIM_FUNCTION_INSTANCE_SPIN, 31, 0},
        {IDC_CLAIM_ECU_INSTANCE_SPIN, 7, 0},      {IDC_CLAIM_MANUFACTURER_SPIN, 1023, 11},
        {IDC_CLAIM_IDENTITY_SPIN, 0x1FFFFF, 1},
    };
    for (const auto& spin : spins)
        if (platform::UpDown* control = upDown(spin.id))
            control->setRange32(0, spin.high);
    if (QComboBox* list = comboBox(IDC_CLAIM_ARBITRARY))
        list->setCurrentIndex(0);
    for (const auto& spin : spins)
        if (platform::UpDown* control = upDown(spin.id))
            control->setPos32(spin.position); // 32 bits: the Identity Number exceeds 16
    fieldSync_ = {
        {IDC_CLAIM_ADDRESS, &values.networkAddress, 2, IDC_CLAIM_ADDRESS_SPIN},
        {IDC_CLAIM_VEHICLE_INSTANCE, &values.vehicleSystemInstance, 1, IDC_CLAIM_VEHICLE_INSTANCE_SPIN},
        {IDC_CLAIM_VEHICLE_SYSTEM, &values.vehicleSystem, 2, IDC_CLAIM_VEHICLE_SYSTEM_SPIN},
        {IDC_CLAIM_FUNCTION, &values.function, 2, IDC_CLAIM_FUNCTION_SPIN},
        {IDC_CLAIM_FUNCTION_INSTANCE, &values.functionInstance, 2, IDC_CLAIM_FUNCTION_INSTANCE_SPIN},
        {IDC_CLAIM_MANUFACTURER, &values.manufacturerCode, 3, IDC_CLAIM_MANUFACTURER_SPIN},
        {IDC_CLAIM_IDENTITY, &values.identityNumber, 6, IDC_CLAIM_IDENTITY_SPIN},
    };
    return true;
}

void InitCANDlg::onShowWindow(bool shown) {
    platform::Dialog::onShowWindow(shown);
    if (shown)
        suppressSync = false;
}

bool InitCANDlg::onCommand(int id, platform::Notification code) {
    if (code == platform::Notification::TextChanged && !suppressSync)
        syncText(id);
    return platform::Dialog::onCommand(id, code);
}

void InitCANDlg::syncText(int id) {
    updateData(true);
    for (const FieldSyncEntry& entry : fieldSync_) {
        if (entry.edit != id)
            continue;
        fields::cleanHexText(*entry.text, entry.maxLength);
        if (platform::UpDown* spin = upDown(entry.upDown))
            spin->setPos32(static_cast<int>(fields::hexValue(*entry.text)));
    }
    updateData(false);
}

const InitCANDlg::FieldSyncEntry* InitCANDlg::entryForUpDown(int id) const {
    for (const FieldSyncEntry& entry : fieldSync_)
        if (entry.upDown == id)
            return &entry;
    return nullptr;
}

bool InitCANDlg::onUpDownDelta(int id, int position, int step) {
    const FieldSyncEntry* entry = entryForUpDown(id);
    if (!entry)
        return platform::Dialog::onUpDownDelta(id, position, step);
    // The text follows the clamped position, so it never leaves the range.
    const platform::UpDown* spin = upDown(id);
    const int next = fields::clampToSpinRange(int64_t{position} + step, spin->range());
    *entry->text = fields::hexText(static_cast<uint32_t>(next));
    updateData(false);
    return false;
}

void InitCANDlg::onOK() {
    suppressSync = true;
    if (updateData(true)) {
        endDialog(platform::IDOK);
        return;
    }
    // The dialog stays open: typing is cleaned again as before.
    suppressSync = false;
}

void InitCANDlg::onCancel() {
    suppressSync = true;
    endDialog(platform::IDCANCEL);
}

} // namespace connect

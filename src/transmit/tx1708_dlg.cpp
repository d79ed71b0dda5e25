#include "transmit/tx1708_dlg.h"

#include "fields/hex_text.h"
#include "res/ids/tx1708_ids.h"
#include "res/templates.h"
#include "transmit/row_summary.h"

namespace transmit {

using namespace res;

Tx1708Dlg::Tx1708Dlg(QWidget* parent) : TxBuilder(IDD_TX1708, parent) {}

Tx1708Fields Tx1708Dlg::messageFields() const {
    Tx1708Fields fields;
    fields.priority = priority;
    fields.mid = mid;
    fields.pid = pid;
    fields.dataCount = dataCount;
    fields.dataValue = dataValue;
    fields.broadcastCount = broadcastCount;
    fields.delay = delay;
    fields.interval = interval;
    return fields;
}

void Tx1708Dlg::refillFrom(const TxMessage& message) {
    Tx1708Fields fields = messageFields();
    if (!refillTx1708Fields(message, fields))
        return;
    priority = fields.priority;
    mid = fields.mid;
    midText = fields::hexText(mid);
    pid = fields.pid;
    pidText = fields::hexText(pid);
    dataCount = fields.dataCount;
    dataValue = fields.dataValue;
    broadcastCount = static_cast<int16_t>(fields.broadcastCount);
    delay = fields.delay;
    interval = fields.interval;
}

std::unique_ptr<TxMessage> Tx1708Dlg::buildMessage() const {
    return buildTx1708Message(messageFields());
}

std::string Tx1708Dlg::summary() const {
    return appendDataSummary(summaryHead1708(mid, pid), dataValue.data(),
                             std::min<int>(dataCount, kDataBytes));
}

void Tx1708Dlg::doDataExchange(platform::DataExchange& dx) {
    J1708Dlg::doDataExchange(dx);
    dx.number(IDC_TX1708_PRIORITY, priority, uint8_t{0}, uint8_t{8});
    dx.text(IDC_TX1708_CHECKSUM_HEX, checksumText);
    dx.maxChars(IDC_TX1708_CHECKSUM_HEX, checksumText, 2);
    dx.number(IDC_TX1708_CHECKSUM_DEC, checksum, uint8_t{0}, uint8_t{255});
    exchangeBroadcastCount(dx);
    exchangeDelay(dx);
    exchangeInterval(dx);
    exchangeDataCount(dx);
    exchangeDataTexts(dx);
}

bool Tx1708Dlg::onInitDialog() {
    J1708Dlg::onInitDialog();
    RestoreDisplayBase();
    setSpin(IDC_TX1708_PRIORITY_SPIN, 0, 8, priority);
    initBuilderSpins();
    dataCountChanged();
    return true;
}

void Tx1708Dlg::applyBuilderDisplayBase() {
    ApplyDisplayBase();
    formatDataTexts();
    updateData(false);
}

bool Tx1708Dlg::onNotify(int id, platform::Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == platform::Notification::Clicked) {
        applyBuilderDisplayBase();
        return true;
    }
    return TxBuilder::onNotify(id, code);
}

bool Tx1708Dlg::onUpDownDelta(int id, int position, int step) {
    // The checksum row is dead: its arrows change nothing.
    if (id == IDC_TX1708_CHECKSUM_HEX_SPIN || id == IDC_TX1708_CHECKSUM_DEC_SPIN)
        return true;
    return TxBuilder::onUpDownDelta(id, position, step);
}

} // namespace transmit

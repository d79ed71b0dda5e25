#include "transmit/tx1939_dlg.h"

#include "fields/hex_text.h"
#include "res/ids/tx1939_ids.h"
#include "res/templates.h"
#include "transmit/row_summary.h"

namespace transmit {

using namespace res;

Tx1939Dlg::Tx1939Dlg(QWidget* parent) : TxBuilder(IDD_TX1939, parent) {}

Tx1939Fields Tx1939Dlg::messageFields() const {
    Tx1939Fields fields;
    fields.priority = priority;
    fields.page = page;
    fields.pf = pf;
    fields.destination = destination;
    fields.source = source;
    fields.dataCount = dataCount;
    fields.dataValue = dataValue;
    fields.broadcastCount = broadcastCount;
    fields.delay = delay;
    fields.interval = interval;
    return fields;
}

void Tx1939Dlg::refillFrom(const TxMessage& message) {
    Tx1939Fields fields = messageFields();
    if (!refillTx1939Fields(message, fields))
        return;
    priority = fields.priority;
    page = fields.page;
    pf = fields.pf;
    pfText = fields::hexText(pf);
    destination = fields.destination;
    destinationText = fields::hexText(destination);
    source = fields.source;
    sourceText = fields::hexText(source);
    dataCount = fields.dataCount;
    dataValue = fields.dataValue;
    broadcastCount = static_cast<int16_t>(fields.broadcastCount);
    delay = fields.delay;
    interval = fields.interval;
    detached = 1;
    ComposeIdentifier();
    detached = 0;
}

std::unique_ptr<TxMessage> Tx1939Dlg::buildMessage() const {
    return buildTx1939Message(messageFields());
}

std::string Tx1939Dlg::summary() const {
    return appendDataSummary(summaryHead1939(identifierText.toStdString()), dataValue.data(),
                             std::min<int>(dataCount, kDataBytes));
}

void Tx1939Dlg::doDataExchange(platform::DataExchange& dx) {
    J1939Dlg::doDataExchange(dx);
    exchangeDelay(dx);
    exchangeInterval(dx);
    exchangeBroadcastCount(dx);
    exchangeDataCount(dx);
    exchangeDataTexts(dx);
}

bool Tx1939Dlg::onInitDialog() {
    J1939Dlg::onInitDialog();
    RestoreDisplayBase();
    initBuilderSpins();
    return true;
}

void Tx1939Dlg::applyBuilderDisplayBase() {
    ApplyDisplayBase();
    formatDataTexts();
    updateData(false);
}

bool Tx1939Dlg::onNotify(int id, platform::Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == platform::Notification::Clicked) {
        applyBuilderDisplayBase();
        return true;
    }
    return TxBuilder::onNotify(id, code);
}

bool Tx1939Dlg::onUpDownDelta(int id, int position, int step) {
    // A data byte's arrows take their new position from the field set's step.
    if (dataIndexOfSpin(id) >= 0) {
        const int next = BaseSpinStep(id, position, step);
        return dataByteStep(id, next, 0);
    }
    return TxBuilder::onUpDownDelta(id, position, step);
}

} // namespace transmit

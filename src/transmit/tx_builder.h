#pragma once
// What the three transmit message builders share, on top of their field set
// (J1708Dlg, J1939Dlg or ProtocolDlg itself): the schedule fields, the data
// count and the data bytes with their texts, suppressSync, and the command
// routing, OK, Cancel and show handling that go with them.

#include "fields/hex_text.h"
#include "fields/protocol_dlg.h"
#include "platform/crt_format.h"
#include "res/ids/tx_builder_ids.h"
#include "transmit/message_builder.h"
#include "transmit/tx_schedule_fields.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstdint>
#include <type_traits>

namespace transmit {

// The text of a data byte value: "%X" in hexadecimal mode, "%d" in decimal mode.
QString dataByteText(uint16_t value, bool hexMode);
// Cleans a typed data byte text in place (at most 2 characters in
// hexadecimal mode, 3 in decimal mode) and converts it ("%hx" or "%hu");
// a text without a number gives current back.
uint16_t parseDataByteText(QString& text, bool hexMode, uint16_t current);

template <class FieldSet, int DataBytes> class TxBuilder : public FieldSet, public MessageBuilder {
    static_assert(DataBytes > 0 && DataBytes <= 19);

public:
    using FieldSet::FieldSet;

    static constexpr int kDataBytes = DataBytes;

    int16_t broadcastCount = 1; // -1 to 32767
    int32_t delay = 0;          // 0 to 65535
    int32_t interval = 0;       // 0 to 65535
    uint8_t dataCount = 0;
    std::array<QString, DataBytes> dataText = filledTexts();
    std::array<uint16_t, DataBytes> dataValue{};
    uint8_t suppressSync = 1;

    int openBuilder() override { return this->doModal(); }

    // The field set's texts first (ProtocolDlg itself has none), then the data texts.
    QString* GetFieldText(int id) override {
        if constexpr (!std::is_same_v<FieldSet, fields::ProtocolDlg>)
            if (QString* text = FieldSet::GetFieldText(id))
                return text;
        const int index = dataIndexOfEdit(id);
        return index >= 0 ? &dataText[index] : nullptr;
    }

    // The field set's synchronisation, then the data byte's, then a refresh.
    bool SyncField(int id) override {
        if constexpr (!std::is_same_v<FieldSet, fields::ProtocolDlg>)
            FieldSet::SyncField(id);
        syncDataText(id);
        return this->updateData(false);
    }

    static int dataIndexOfEdit(int id) {
        for (int i = 0; i < DataBytes; ++i)
            if (res::kTxDataEdit[i] == id)
                return i;
        return -1;
    }
    static int dataIndexOfSpin(int id) {
        for (int i = 0; i < DataBytes; ++i)
            if (res::kTxDataSpin[i] == id)
                return i;
        return -1;
    }

protected:
    // Pieces of the data exchange; each builder binds them in its own order.
    void exchangeBroadcastCount(platform::DataExchange& dx) {
        dx.number(res::IDC_TXB_BROADCAST, broadcastCount, int16_t{-1}, int16_t{32767});
    }
    void exchangeDelay(platform::DataExchange& dx) { dx.number(res::IDC_TXB_DELAY, delay, 0, 65535); }
    void exchangeInterval(platform::DataExchange& dx) {
        dx.number(res::IDC_TXB_INTERVAL, interval, 0, 65535);
    }
    void exchangeDataCount(platform::DataExchange& dx) {
        dx.number(res::IDC_TXB_DATA_COUNT, dataCount, uint8_t{0}, uint8_t{DataBytes});
    }
    void exchangeDataTexts(platform::DataExchange& dx) {
        for (int i = 0; i < DataBytes; ++i) {
            dx.text(res::kTxDataEdit[i], dataText[i]);
            dx.maxChars(res::kTxDataEdit[i], dataText[i], 3);
        }
    }

    // Start-up: ranges and positions of the schedule, data count and data up-downs.
    void initBuilderSpins() {
        setSpin(res::IDC_TXB_BROADCAST_SPIN, -1, 32767, broadcastCount);
        setSpin(res::IDC_TXB_DELAY_SPIN, 0, 65535, uint16_t(delay));
        setSpin(res::IDC_TXB_INTERVAL_SPIN, 0, 65535, uint16_t(interval));
        setSpin(res::IDC_TXB_DATA_COUNT_SPIN, 0, DataBytes, dataCount);
        for (int i = 0; i < DataBytes; ++i)
            setSpin(res::kTxDataSpin[i], 0, 255, dataValue[i]);
    }
    void setSpin(int id, int low, int high, int position) {
        if (platform::UpDown* spin = this->upDown(id)) {
            spin->setRange32(low, high);
            spin->setPos32(position);
        }
    }

    // Every data text from its value in the current display base.
    void formatDataTexts() {
        for (int i = 0; i < DataBytes; ++i)
            dataText[i] = dataByteText(dataValue[i], this->hexMode);
    }

    // A data edit's text typed: clean it, take its value, move its up-down.
    bool syncDataText(int id) {
        const int index = dataIndexOfEdit(id);
        if (index < 0)
            return false;
        dataValue[index] = parseDataByteText(dataText[index], this->hexMode, dataValue[index]);
        if (platform::UpDown* spin = this->upDown(res::kTxDataSpin[index]))
            spin->setPos32(dataValue[index]);
        return true;
    }

    // Data edits 0 to dataCount - 1 enabled, the others disabled.
    void enableDataEdits() {
        for (int i = 0; i < DataBytes; ++i)
            this->enableItem(res::kTxDataEdit[i], i < dataCount);
    }

    // The Data Count edit's text changed. Its own text is not refreshed, so a
    // refused count stays visible until corrected.
    void dataCountChanged() {
        this->updateData(true);
        if (platform::UpDown* spin = this->upDown(res::IDC_TXB_DATA_COUNT_SPIN))
            spin->setPos32(dataCount);
        enableDataEdits();
    }
    // The Data Count arrows.
    bool dataCountStep(int position, int step) {
        dataCount = static_cast<uint8_t>(
            this->ClampToSpinRange(res::IDC_TXB_DATA_COUNT_SPIN, int64_t{position} + step));
        this->updateData(false);
        enableDataEdits();
        return false;
    }
    // A data byte's arrows: the text takes the new position; the refresh
    // changes the edit, whose synchronisation sets the value.
    bool dataByteStep(int spinId, int position, int step) {
        const int index = dataIndexOfSpin(spinId);
        const int next = this->NextSpinPosition(spinId, position, step);
        dataText[index] = dataByteText(static_cast<uint16_t>(next), this->hexMode);
        this->updateData(false);
        return false;
    }

    // Text changes run the synchronisation unless suppressed; the Data Count
    // edit has its own handling.
    bool onCommand(int id, platform::Notification code) override {
        if (code == platform::Notification::TextChanged) {
            if (id == res::IDC_TXB_DATA_COUNT)
                dataCountChanged();
            else if (!suppressSync)
                this->SyncField(id);
        }
        return FieldSet::onCommand(id, code);
    }
    bool onUpDownDelta(int id, int position, int step) override {
        if (id == res::IDC_TXB_DATA_COUNT_SPIN)
            return dataCountStep(position, step);
        if (dataIndexOfSpin(id) >= 0)
            return dataByteStep(id, position, step);
        return FieldSet::onUpDownDelta(id, position, step);
    }
    void onOK() override {
        suppressSync = 1;
        if (this->updateData(true))
            this->endDialog(platform::IDOK);
        else
            suppressSync = 0;
    }
    void onCancel() override {
        suppressSync = 1;
        this->endDialog(platform::IDCANCEL);
    }
    // Showing ends the suppression set by the last OK or Cancel (hiding
    // keeps it, so the next start-up's text changes run no SyncField) and
    // enables the data edits for dataCount.
    void onShowWindow(bool shown) override {
        FieldSet::onShowWindow(shown);
        if (!shown)
            return;
        suppressSync = 0;
        enableDataEdits();
    }

    // Schedule and data bytes into a record (data from buffer offset on).
    void fillRecord(TxMessage& message, int dataOffset) const {
        fillSchedule(message, broadcastCount, delay, interval);
        fillDataBytes(message, dataOffset, dataValue.data(), std::min<int>(dataCount, DataBytes));
    }
    void refillSchedule(const TxMessage& message) {
        transmit::refillSchedule(message, broadcastCount, delay, interval);
    }

private:
    static std::array<QString, DataBytes> filledTexts() {
        std::array<QString, DataBytes> texts;
        texts.fill(QStringLiteral("0"));
        return texts;
    }
};

} // namespace transmit

#pragma once
// The J1708 transmit message builder: priority, MID, PID, up to 19 data
// bytes and the schedule of the one J1708 message of the Transmit window.

#include "fields/j1708_dlg.h"
#include "transmit/tx1708_buffer.h"
#include "transmit/tx_builder.h"

namespace transmit {

class Tx1708Dlg : public TxBuilder<fields::J1708Dlg, kJ1708DataBytes> {
    Q_OBJECT
public:
    explicit Tx1708Dlg(QWidget* parent = nullptr);

    uint8_t priority = 0; // 0 to 8
    QString checksumText = QStringLiteral("0");
    uint8_t checksum = 0; // the row is disabled: no checksum goes into the message

    // MessageBuilder
    int32_t protocolCode() const override { return kJ1708; }
    void refillFrom(const TxMessage& message) override;
    std::unique_ptr<TxMessage> buildMessage() const override;
    std::string summary() const override;

    // The fields that make the message.
    Tx1708Fields messageFields() const;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    bool onNotify(int id, platform::Notification code) override;
    bool onUpDownDelta(int id, int position, int step) override;

private:
    // Switch click and start-up: the J1708 base, then the data texts.
    void applyBuilderDisplayBase();
};

} // namespace transmit

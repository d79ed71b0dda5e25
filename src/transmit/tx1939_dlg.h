#pragma once
// The J1939 transmit message builder: the J1939 field set (priority, page,
// PGN, destination or group extension, source, identifier), up to 8 data
// bytes and the schedule of the one J1939 message of the Transmit window.

#include "fields/j1939_dlg.h"
#include "transmit/tx1939_buffer.h"
#include "transmit/tx_builder.h"

namespace transmit {

class Tx1939Dlg : public TxBuilder<fields::J1939Dlg, kJ1939DataBytes> {
    Q_OBJECT
public:
    explicit Tx1939Dlg(QWidget* parent = nullptr);

    // MessageBuilder
    int32_t protocolCode() const override { return kJ1939; }
    // Fills the fields with the window closed and recomposes the identifier.
    void refillFrom(const TxMessage& message) override;
    std::unique_ptr<TxMessage> buildMessage() const override;
    // "TXJ1939  %08s  " with the identifier as shown, then the data bytes.
    std::string summary() const override;

    // The fields that make the message.
    Tx1939Fields messageFields() const;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    bool onNotify(int id, platform::Notification code) override;
    bool onUpDownDelta(int id, int position, int step) override;

private:
    // Switch click and start-up: the J1939 base, then the data texts.
    void applyBuilderDisplayBase();
};

} // namespace transmit

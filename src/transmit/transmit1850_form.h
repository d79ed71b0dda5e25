#pragma once
// The J1850 transmit message builder: the three-byte header (priority,
// addressing type, type modifier, target or primary ID, source) shown as a
// 24-bit identifier, up to 9 data bytes and the schedule of the one J1850
// message of the Transmit window.

#include "fields/protocol_dlg.h"
#include "transmit/tx1850_buffer.h"
#include "transmit/tx_builder.h"

namespace transmit {

class Transmit1850Form : public TxBuilder<fields::ProtocolDlg, kJ1850DataBytes> {
    Q_OBJECT
public:
    explicit Transmit1850Form(QWidget* parent = nullptr);

    uint8_t priority = 0; // 0 to 7
    QString ifrText = QStringLiteral("Not allowed");
    int addressType = 0;      // 0 Functional, 1 Physical
    uint8_t typeModifier = 0; // 0 to 3
    QString targetText = QStringLiteral("0");
    uint8_t target = 0;
    QString sourceText = QStringLiteral("0");
    uint8_t source = 0;
    QString identifierText = QStringLiteral("80000");
    uint32_t identifier = kJ1850NoIfrBit;

    int GetTwinControl(int id) const override;
    bool SyncField(int id) override;
    QString* GetFieldText(int id) override;
    uint8_t* GetFieldValue(int id) override;

    // identifier and identifierText from the header fields (controls untouched).
    void ComposeIdentifier();
    // The Identifier edit lost the focus: the typed identifier, made valid,
    // into the header fields.
    void DecomposeIdentifier();
    // Toggles the display base, shows the identifier and data texts in it and
    // enables the edits of the new base only.
    void ApplyDisplayBase();

    // MessageBuilder
    int32_t protocolCode() const override { return kJ1850; }
    // Fills the fields with the window closed and recomposes the identifier.
    void refillFrom(const TxMessage& message) override;
    std::unique_ptr<TxMessage> buildMessage() const override;
    // "TXJ1850  %06s  " with the identifier as shown, then the data bytes.
    std::string summary() const override;

    // The fields that make the message.
    Tx1850Fields messageFields() const;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    bool onNotify(int id, platform::Notification code) override;
    bool onUpDownDelta(int id, int position, int step) override;

private:
    J1850Fields headerFields() const;
    void setHeaderFields(const J1850Fields& fields);
    // Arrows of the Target/Primary ID and Source up-downs.
    bool fieldStep(int id, int position, int step);
};

} // namespace transmit

#pragma once
// The J1939 field set: Priority, Page, the paired PGN (PF), Destination (PS)
// and Source fields, and the 29-bit Identifier composed from them. Base of
// the J1939 filter and the J1939 message builder, which give the template.

#include "fields/protocol_dlg.h"

namespace fields {

class J1939Dlg : public ProtocolDlg {
    Q_OBJECT
public:
    J1939Dlg(int templateId, QWidget* parent = nullptr);

    uint8_t destination = 0;
    uint32_t identifier = 0;
    uint8_t page = 0;
    uint8_t pf = 0;
    uint8_t priority = 0;
    uint8_t source = 0;
    QString pfText = QStringLiteral("0");
    QString destinationText = QStringLiteral("0");
    QString sourceText = QStringLiteral("0");
    QString identifierText = QStringLiteral("0");
    // Set by an owner that fills the fields while the window is closed: the
    // identifier operations then leave the controls alone.
    uint8_t detached = 0;

    int GetTwinControl(int id) const override;
    bool SyncField(int id) override;
    QString* GetFieldText(int id) override;
    uint8_t* GetFieldValue(int id) override;

    // identifier and identifierText from the five fields.
    void ComposeIdentifier();
    // The five fields (and their texts) from identifierText.
    void DecomposeIdentifier();
    // Toggles the display base, shows the identifier in it and enables the
    // edits of the new base only.
    void ApplyDisplayBase();

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    // Dialog start-up, then the ranges and positions of the up-downs.
    // Subclasses run this first and then RestoreDisplayBase().
    bool onInitDialog() override;
    // Switch click: ApplyDisplayBase; Identifier edit losing the focus:
    // DecomposeIdentifier.
    bool onNotify(int id, platform::Notification code) override;
    // Arrows of the paired rows' up-downs: read, BaseSpinStep, refresh, move.
    bool onUpDownDelta(int id, int position, int step) override;

    static bool isFieldSpin(int id);
    // The field set's up-down step: the pressed row takes the clamped new
    // position, the twin up-down follows, the identifier is recomposed;
    // returns the new position.
    int BaseSpinStep(int upDownId, int position, int step);

private:
    void setFieldSpins();
};

} // namespace fields

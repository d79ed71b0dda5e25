#pragma once
// The J1708 field set: MID and PID as paired byte fields (a hexadecimal and
// a decimal edit, each with an up-down). Base of the J1708 filter and the
// J1708 message builder, which give the template.

#include "fields/protocol_dlg.h"

namespace fields {

class J1708Dlg : public ProtocolDlg {
    Q_OBJECT
public:
    J1708Dlg(int templateId, QWidget* parent = nullptr);

    QString midText = QStringLiteral("0");
    uint8_t mid = 0;
    QString pidText = QStringLiteral("0");
    uint8_t pid = 0;

    int GetTwinControl(int id) const override;
    bool SyncField(int id) override;
    QString* GetFieldText(int id) override;
    uint8_t* GetFieldValue(int id) override;

    // Toggles the display base and enables the edits of the new base only.
    void ApplyDisplayBase();

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    // Dialog start-up, then the ranges and positions of the four up-downs.
    // Subclasses run this first and then RestoreDisplayBase().
    bool onInitDialog() override;
    // Switch click: ApplyDisplayBase.
    bool onNotify(int id, platform::Notification code) override;
    // Arrows of the MID and PID up-downs: read, BaseSpinStep, refresh, move.
    bool onUpDownDelta(int id, int position, int step) override;

    static bool isFieldSpin(int id);
    // The field set's up-down step: the pressed field takes the clamped new
    // position and the twin up-down follows; returns the new position.
    int BaseSpinStep(int upDownId, int position, int step);
};

} // namespace fields

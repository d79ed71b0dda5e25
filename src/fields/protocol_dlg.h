#pragma once
// The base of every window in which the user edits a bus message's fields as
// numbers: one display base (hexadecimal or decimal) for the whole window,
// switched by the Dec/Hex picture, and four operations through which shared
// handlers reach a subclass's fields.

#include "platform/dialog.h"

#include <QString>

#include <cstdint>

namespace fields {

class ProtocolDlg : public platform::Dialog {
    Q_OBJECT
public:
    ProtocolDlg(int templateId, QWidget* parent = nullptr);

    // Display base of every numeric field of the window: true = hexadecimal.
    uint8_t hexMode = 1;

    // For an edit or up-down of a paired field its counterpart in the other
    // base; 0 for any other control.
    virtual int GetTwinControl(int id) const = 0;
    // After the user changed the text of control id: read the controls, bring
    // the edited field's other forms in line and refresh. The refresh's result.
    virtual bool SyncField(int id) = 0;
    // The text member bound to a control whose content is held as text.
    virtual QString* GetFieldText(int id) = 0;
    // The 8-bit value member bound to the decimal edit of a paired field.
    virtual uint8_t* GetFieldValue(int id) = 0;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    // The switch click toggles the display base.
    bool onNotify(int id, platform::Notification code) override;

    // Flips hexMode, shows the matching switch picture, refreshes.
    void ToggleDisplayBase();
    // Start-up: applies the base in force once more without changing it, by
    // flipping hexMode and running the window's own switch handler.
    void RestoreDisplayBase();
    // The position up-down upDownId is about to take: position + step,
    // clamped into the control's range.
    int NextSpinPosition(int upDownId, int position, int step) const;
    // value clamped into the range up-down upDownId reports.
    int ClampToSpinRange(int upDownId, int64_t value) const;
    // Sets both up-downs of a paired field (either may be 0 for none).
    void setSpinPositions(int first, int second, int position);
};

} // namespace fields

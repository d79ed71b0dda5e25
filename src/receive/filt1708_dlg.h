#pragma once
// The J1708 receive filter window: the MID to filter by and "Pass" or
// "Filter". The mask rows and the PID row are shown but always disabled.

#include "fields/j1708_dlg.h"

namespace receive {

class Filt1708Dlg : public fields::J1708Dlg {
    Q_OBJECT
public:
    explicit Filt1708Dlg(QWidget* parent = nullptr);

    QString midMaskText = QStringLiteral("FF");    // first mask, hexadecimal
    QString midMaskDecText = QStringLiteral("FF"); // first mask, decimal
    QString pidMaskText = QStringLiteral("0");     // second mask, hexadecimal
    QString pidMaskDecText = QStringLiteral("0");  // second mask, decimal
    int filterMode = 0;                            // 0 "Pass", 1 "Filter"

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    // The field set's start-up, then the display base in force once more.
    bool onInitDialog() override;
    // Switch click: the field set's base, then the PID edits disabled again;
    // a text change of a field edit synchronises that field.
    bool onNotify(int id, platform::Notification code) override;
    // The mask rows' arrows change nothing.
    bool onUpDownDelta(int id, int position, int step) override;
};

} // namespace receive

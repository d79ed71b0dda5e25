#pragma once
// The J1939 receive filter window: the J1939 field set, "Pass" or
// "Filter", the four criteria to filter by and the read-only mask of the
// identifier bits they cover.

#include "fields/j1939_dlg.h"
#include "receive/filter_commands.h"

namespace receive {

class Filt1939Dlg : public fields::J1939Dlg {
    Q_OBJECT
public:
    explicit Filt1939Dlg(QWidget* parent = nullptr);

    int filterMode = 0; // 0 "Pass", 1 "Filter"; stored and saved, not sent
    QString maskText = QStringLiteral("0");
    uint32_t mask = 0;
    int usePriority = 0;
    int usePgn = 0;
    int useDestination = 0;
    int useSource = 0;

    // mask and maskText from the four criteria, in the current base. Reads
    // the controls first and refreshes them after, unless detached.
    void RecomputeMask();
    // The criteria and fields the driver's filter record is built from.
    J1939FilterCriteria criteria() const;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    // The field set's start-up, then the display base in force once more.
    bool onInitDialog() override;
    // Switch click: the field set's base, then the mask in the new base;
    // criteria clicks recompute the mask; a text change of a field edit
    // synchronises that field.
    bool onNotify(int id, platform::Notification code) override;
};

} // namespace receive

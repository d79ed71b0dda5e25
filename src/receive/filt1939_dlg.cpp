#include "receive/filt1939_dlg.h"

#include "receive/filter_commands.h"
#include "res/ids/filt1939_ids.h"
#include "res/templates.h"

namespace receive {

using namespace res;
using platform::Notification;

namespace {

bool isFieldEdit(int id) {
    switch (id) {
    case IDC_PRIORITY:
    case IDC_PAGE:
    case IDC_PGN_HEX:
    case IDC_DEST_HEX:
    case IDC_SOURCE_HEX:
    case IDC_IDENTIFIER:
    case IDC_PGN_DEC:
    case IDC_DEST_DEC:
    case IDC_SOURCE_DEC:
        return true;
    default:
        return false;
    }
}

bool isCriterion(int id) {
    return id == IDC_FILT1939_USE_PRIORITY || id == IDC_FILT1939_USE_PGN ||
           id == IDC_FILT1939_USE_DESTINATION || id == IDC_FILT1939_USE_SOURCE;
}

} // namespace

Filt1939Dlg::Filt1939Dlg(QWidget* parent) : J1939Dlg(IDD_FILT1939, parent) {}

void Filt1939Dlg::RecomputeMask() {
    if (!detached)
        updateData(true);
    mask = j1939FilterMask(usePriority, usePgn, useDestination, useSource);
    maskText = QString::fromStdString(j1939FilterMaskText(mask, hexMode));
    if (!detached)
        updateData(false);
}

J1939FilterCriteria Filt1939Dlg::criteria() const {
    return {usePriority != 0, usePgn != 0, useDestination != 0, useSource != 0, pf, destination, page,
            priority,         source};
}

void Filt1939Dlg::doDataExchange(platform::DataExchange& dx) {
    J1939Dlg::doDataExchange(dx);
    dx.radio(IDC_FILT1939_PASS, filterMode);
    dx.text(IDC_FILT1939_MASK, maskText);
    dx.maxChars(IDC_FILT1939_MASK, maskText, 10);
    dx.check(IDC_FILT1939_USE_PRIORITY, usePriority);
    dx.check(IDC_FILT1939_USE_PGN, usePgn);
    dx.check(IDC_FILT1939_USE_DESTINATION, useDestination);
    dx.check(IDC_FILT1939_USE_SOURCE, useSource);
}

bool Filt1939Dlg::onInitDialog() {
    J1939Dlg::onInitDialog();
    RestoreDisplayBase();
    return true;
}

bool Filt1939Dlg::onNotify(int id, Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == Notification::Clicked) {
        ApplyDisplayBase();
        maskText = QString::fromStdString(j1939FilterMaskText(mask, hexMode));
        updateData(false);
        return true;
    }
    if (code == Notification::Clicked && isCriterion(id)) {
        RecomputeMask();
        return true;
    }
    if (code == Notification::TextChanged && isFieldEdit(id)) {
        SyncField(id);
        return true;
    }
    return J1939Dlg::onNotify(id, code);
}

} // namespace receive

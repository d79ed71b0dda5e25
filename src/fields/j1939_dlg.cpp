#include "fields/j1939_dlg.h"

#include "fields/hex_text.h"
#include "fields/j1939_identifier.h"
#include "res/ids/j1939_fields.h"

namespace fields {

using namespace res;

namespace {

// The paired rows: hexadecimal edit and up-down, decimal edit and up-down.
struct PairedRow {
    int hexEdit, hexSpin, decEdit, decSpin;
};
constexpr PairedRow kPgnRow{IDC_PGN_HEX, IDC_PGN_HEX_SPIN, IDC_PGN_DEC, IDC_PGN_DEC_SPIN};
constexpr PairedRow kDestRow{IDC_DEST_HEX, IDC_DEST_HEX_SPIN, IDC_DEST_DEC, IDC_DEST_DEC_SPIN};
constexpr PairedRow kSourceRow{IDC_SOURCE_HEX, IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC, IDC_SOURCE_DEC_SPIN};
constexpr PairedRow kRows[] = {kPgnRow, kDestRow, kSourceRow};

const PairedRow* rowOf(int id) {
    for (const PairedRow& row : kRows)
        if (id == row.hexEdit || id == row.hexSpin || id == row.decEdit || id == row.decSpin)
            return &row;
    return nullptr;
}

} // namespace

J1939Dlg::J1939Dlg(int templateId, QWidget* parent) : ProtocolDlg(templateId, parent) {}

int J1939Dlg::GetTwinControl(int id) const {
    const PairedRow* row = rowOf(id);
    if (!row)
        return 0;
    if (id == row->hexEdit)
        return row->decEdit;
    if (id == row->decEdit)
        return row->hexEdit;
    if (id == row->hexSpin)
        return row->decSpin;
    return row->hexSpin;
}

QString* J1939Dlg::GetFieldText(int id) {
    switch (id) {
    case IDC_PGN_HEX:
        return &pfText;
    case IDC_DEST_HEX:
        return &destinationText;
    case IDC_SOURCE_HEX:
        return &sourceText;
    case IDC_IDENTIFIER:
        return &identifierText;
    default:
        return nullptr;
    }
}

uint8_t* J1939Dlg::GetFieldValue(int id) {
    switch (id) {
    case IDC_PGN_DEC:
        return &pf;
    case IDC_DEST_DEC:
        return &destination;
    case IDC_SOURCE_DEC:
        return &source;
    default:
        return nullptr;
    }
}

void J1939Dlg::ComposeIdentifier() {
    identifier = composeIdentifier({priority, page, pf, destination, source});
    identifierText = fields::identifierText(identifier, hexMode);
}

void J1939Dlg::DecomposeIdentifier() {
    if (!detached)
        updateData(true);
    uint32_t value = identifier;
    if (!parseIdentifierText(identifierText, hexMode, value))
        value = identifier;
    const IdentifierFields parts = decomposeIdentifier(value);
    priority = parts.priority;
    pf = parts.pf;
    page = parts.page;
    destination = parts.destination;
    source = parts.source;
    identifier = value & kIdentifierMask;
    pfText = hexText(pf);
    destinationText = hexText(destination);
    sourceText = hexText(source);
    identifierText = fields::identifierText(identifier, hexMode);
    if (!detached) {
        updateData(false);
        setFieldSpins();
    }
}

bool J1939Dlg::SyncField(int id) {
    updateData(true); // a failed read keeps the old values; carry on
    const PairedRow* row = rowOf(id);
    if (row && id == row->hexEdit) {
        if (QString* text = GetFieldText(id)) {
            cleanHexText(*text, 2);
            const auto value = static_cast<uint8_t>(hexValue(*text));
            if (uint8_t* field = GetFieldValue(row->decEdit))
                *field = value;
            setSpinPositions(row->decSpin, row->hexSpin, value);
        }
    } else if (id == IDC_IDENTIFIER) {
        cleanHexText(identifierText, hexMode ? 8 : 10);
    } else if (row && id == row->decEdit) {
        QString* text = GetFieldText(GetTwinControl(id));
        const uint8_t* field = GetFieldValue(id);
        if (text && field) {
            *text = hexText(*field);
            setSpinPositions(row->decSpin, row->hexSpin, *field);
        }
    }
    if (id != IDC_IDENTIFIER)
        ComposeIdentifier();
    return updateData(false);
}

void J1939Dlg::ApplyDisplayBase() {
    ToggleDisplayBase();
    identifierText = fields::identifierText(identifier, hexMode);
    for (const PairedRow& row : kRows) {
        enableItem(row.hexEdit, hexMode);
        enableItem(row.decEdit, !hexMode);
    }
    updateData(false);
}

void J1939Dlg::doDataExchange(platform::DataExchange& dx) {
    ProtocolDlg::doDataExchange(dx);
    dx.number(IDC_PRIORITY, priority, uint8_t{0}, uint8_t{7});
    dx.number(IDC_PAGE, page, uint8_t{0}, uint8_t{1});
    dx.number(IDC_PGN_DEC, pf, uint8_t{0}, uint8_t{255});
    dx.number(IDC_DEST_DEC, destination, uint8_t{0}, uint8_t{255});
    dx.number(IDC_SOURCE_DEC, source, uint8_t{0}, uint8_t{255});
    dx.text(IDC_PGN_HEX, pfText);
    dx.maxChars(IDC_PGN_HEX, pfText, 2);
    dx.text(IDC_DEST_HEX, destinationText);
    dx.maxChars(IDC_DEST_HEX, destinationText, 2);
    dx.text(IDC_SOURCE_HEX, sourceText);
    dx.maxChars(IDC_SOURCE_HEX, sourceText, 2);
    dx.text(IDC_IDENTIFIER, identifierText);
    dx.maxChars(IDC_IDENTIFIER, identifierText, 10);
}

void J1939Dlg::setFieldSpins() {
    setSpinPositions(IDC_PRIORITY_SPIN, 0, priority);
    setSpinPositions(IDC_PAGE_SPIN, 0, page);
    setSpinPositions(IDC_PGN_HEX_SPIN, IDC_PGN_DEC_SPIN, pf);
    setSpinPositions(IDC_DEST_HEX_SPIN, IDC_DEST_DEC_SPIN, destination);
    setSpinPositions(IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC_SPIN, source);
}

bool J1939Dlg::onInitDialog() {
    ProtocolDlg::onInitDialog();
    if (platform::UpDown* spin = upDown(IDC_PRIORITY_SPIN))
        spin->setRange(0, 7);
    if (platform::UpDown* spin = upDown(IDC_PAGE_SPIN))
        spin->setRange(0, 1);
    for (const PairedRow& row : kRows)
        for (int id : {row.hexSpin, row.decSpin})
            if (platform::UpDown* spin = upDown(id))
                spin->setRange(0, 255);
    setFieldSpins();
    return true;
}

bool J1939Dlg::onNotify(int id, platform::Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == platform::Notification::Clicked) {
        ApplyDisplayBase();
        return true;
    }
    if (id == IDC_IDENTIFIER && code == platform::Notification::FocusLost) {
        DecomposeIdentifier();
        return true;
    }
    return ProtocolDlg::onNotify(id, code);
}

bool J1939Dlg::isFieldSpin(int id) {
    const PairedRow* row = rowOf(id);
    return row && (id == row->hexSpin || id == row->decSpin);
}

bool J1939Dlg::onUpDownDelta(int id, int position, int step) {
    if (!isFieldSpin(id))
        return ProtocolDlg::onUpDownDelta(id, position, step);
    updateData(true);
    BaseSpinStep(id, position, step);
    updateData(false);
    return false; // the pressed up-down takes the new position itself
}

int J1939Dlg::BaseSpinStep(int upDownId, int position, int step) {
    const int next = NextSpinPosition(upDownId, position, step);
    const PairedRow* row = rowOf(upDownId);
    if (row && (upDownId == row->hexSpin || upDownId == row->decSpin)) {
        if (QString* text = GetFieldText(row->hexEdit))
            *text = hexText(static_cast<uint8_t>(next));
        if (uint8_t* field = GetFieldValue(row->decEdit))
            *field = static_cast<uint8_t>(next);
        setSpinPositions(GetTwinControl(upDownId), 0, next);
    }
    ComposeIdentifier();
    return next;
}

} // namespace fields

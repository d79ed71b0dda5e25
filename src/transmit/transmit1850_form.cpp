#include "transmit/transmit1850_form.h"

#include "fields/hex_text.h"
#include "fields/j1939_identifier.h"
#include "res/ids/tx1850_ids.h"
#include "res/templates.h"
#include "transmit/row_summary.h"

namespace transmit {

using namespace res;
using platform::Notification;

namespace {

// The paired rows: hexadecimal edit and up-down, decimal edit and up-down.
struct PairedRow {
    int hexEdit, hexSpin, decEdit, decSpin;
};
constexpr PairedRow kTargetRow{IDC_TX1850_TARGET_HEX, IDC_TX1850_TARGET_HEX_SPIN, IDC_TX1850_TARGET_DEC,
                               IDC_TX1850_TARGET_DEC_SPIN};
constexpr PairedRow kSourceRow{IDC_SOURCE_HEX, IDC_SOURCE_HEX_SPIN, IDC_SOURCE_DEC, IDC_SOURCE_DEC_SPIN};
constexpr PairedRow kRows[] = {kTargetRow, kSourceRow};

const PairedRow* rowOf(int id) {
    for (const PairedRow& row : kRows)
        if (id == row.hexEdit || id == row.hexSpin || id == row.decEdit || id == row.decSpin)
            return &row;
    return nullptr;
}

} // namespace

Transmit1850Form::Transmit1850Form(QWidget* parent) : TxBuilder(IDD_TX1850, parent) {}

int Transmit1850Form::GetTwinControl(int id) const {
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

QString* Transmit1850Form::GetFieldText(int id) {
    switch (id) {
    case IDC_IDENTIFIER:
        return &identifierText;
    case IDC_TX1850_TARGET_HEX:
        return &targetText;
    case IDC_SOURCE_HEX:
        return &sourceText;
    default:
        return TxBuilder::GetFieldText(id); // the data texts
    }
}

uint8_t* Transmit1850Form::GetFieldValue(int id) {
    switch (id) {
    case IDC_TX1850_TARGET_DEC:
        return &target;
    case IDC_SOURCE_DEC:
        return &source;
    default:
        return nullptr;
    }
}

J1850Fields Transmit1850Form::headerFields() const {
    return {priority, static_cast<uint8_t>(addressType), typeModifier, target, source};
}

void Transmit1850Form::setHeaderFields(const J1850Fields& f) {
    priority = f.priority;
    addressType = f.addressType;
    typeModifier = f.typeModifier;
    target = f.target;
    targetText = fields::hexText(target);
    source = f.source;
    sourceText = fields::hexText(source);
}

void Transmit1850Form::ComposeIdentifier() {
    identifier = composeJ1850Identifier(headerFields());
    identifierText = fields::identifierText(identifier, hexMode);
}

void Transmit1850Form::DecomposeIdentifier() {
    updateData(true);
    uint32_t value = identifier;
    if (!fields::parseIdentifierText(identifierText, hexMode, value))
        value = identifier;
    identifier = maskJ1850Identifier(value);
    identifierText = fields::identifierText(identifier, hexMode);
    setHeaderFields(decomposeJ1850Identifier(identifier));
    updateData(false);
    setSpinPositions(IDC_PRIORITY_SPIN, 0, priority);
    setSpinPositions(IDC_TX1850_TYPE_MODIFIER_SPIN, 0, typeModifier);
    setSpinPositions(kTargetRow.decSpin, kTargetRow.hexSpin, target);
    setSpinPositions(kSourceRow.decSpin, kSourceRow.hexSpin, source);
}

bool Transmit1850Form::SyncField(int id) {
    updateData(true); // a failed read keeps the old values; carry on
    const PairedRow* row = rowOf(id);
    if (row && id == row->hexEdit) {
        QString* text = GetFieldText(id);
        uint8_t* field = GetFieldValue(row->decEdit);
        fields::cleanHexText(*text, 2);
        *field = static_cast<uint8_t>(fields::hexValue(*text));
        setSpinPositions(row->decSpin, row->hexSpin, *field);
    } else if (id == IDC_IDENTIFIER) {
        // Takes effect when the edit loses the focus.
        fields::cleanHexText(identifierText, hexMode ? 8 : 10);
    } else if (row && id == row->decEdit) {
        const uint8_t* field = GetFieldValue(id);
        *GetFieldText(GetTwinControl(id)) = fields::hexText(*field);
        setSpinPositions(row->decSpin, row->hexSpin, *field);
    } else {
        syncDataText(id);
    }
    if (id != IDC_IDENTIFIER)
        ComposeIdentifier();
    return updateData(false);
}

void Transmit1850Form::ApplyDisplayBase() {
    ToggleDisplayBase();
    identifierText = fields::identifierText(identifier, hexMode);
    for (const PairedRow& row : kRows) {
        enableItem(row.hexEdit, hexMode);
        enableItem(row.decEdit, !hexMode);
    }
    formatDataTexts();
    updateData(false);
}

Tx1850Fields Transmit1850Form::messageFields() const {
    Tx1850Fields fields;
    fields.header = headerFields();
    fields.dataCount = dataCount;
    fields.dataValue = dataValue;
    fields.broadcastCount = broadcastCount;
    fields.delay = delay;
    fields.interval = interval;
    return fields;
}

void Transmit1850Form::refillFrom(const TxMessage& message) {
    Tx1850Fields fields = messageFields();
    if (!refillTx1850Fields(message, fields))
        return;
    setHeaderFields(fields.header);
    dataCount = fields.dataCount;
    dataValue = fields.dataValue;
    broadcastCount = static_cast<int16_t>(fields.broadcastCount);
    delay = fields.delay;
    interval = fields.interval;
    ComposeIdentifier();
}

std::unique_ptr<TxMessage> Transmit1850Form::buildMessage() const {
    return buildTx1850Message(messageFields());
}

std::string Transmit1850Form::summary() const {
    return appendDataSummary(summaryHead1850(identifierText.toStdString()), dataValue.data(),
                             std::min<int>(dataCount, kDataBytes));
}

void Transmit1850Form::doDataExchange(platform::DataExchange& dx) {
    ProtocolDlg::doDataExchange(dx);
    exchangeDelay(dx);
    exchangeInterval(dx);
    exchangeBroadcastCount(dx);
    exchangeDataCount(dx);
    exchangeDataTexts(dx);
    dx.text(IDC_TX1850_IFR, ifrText);
    dx.number(IDC_TX1850_TYPE_MODIFIER, typeModifier, uint8_t{0}, uint8_t{3});
    dx.text(IDC_TX1850_TARGET_HEX, targetText);
    dx.maxChars(IDC_TX1850_TARGET_HEX, targetText, 2);
    dx.text(IDC_SOURCE_HEX, sourceText);
    dx.maxChars(IDC_SOURCE_HEX, sourceText, 2);
    dx.number(IDC_TX1850_TARGET_DEC, target, uint8_t{0}, uint8_t{255});
    dx.number(IDC_SOURCE_DEC, source, uint8_t{0}, uint8_t{255});
    dx.text(IDC_IDENTIFIER, identifierText);
    dx.maxChars(IDC_IDENTIFIER, identifierText, 10);
    dx.number(IDC_PRIORITY, priority, uint8_t{0}, uint8_t{7});
    dx.comboIndex(IDC_TX1850_ADDRESS_TYPE, addressType);
}

bool Transmit1850Form::onInitDialog() {
    TxBuilder::onInitDialog(); // refreshes the controls
    RestoreDisplayBase();
    initBuilderSpins();
    setSpin(IDC_TX1850_TYPE_MODIFIER_SPIN, 0, 3, typeModifier);
    setSpin(IDC_PRIORITY_SPIN, 0, 7, priority);
    for (int id : {kTargetRow.hexSpin, kTargetRow.decSpin})
        setSpin(id, 0, 255, target);
    for (int id : {kSourceRow.hexSpin, kSourceRow.decSpin})
        setSpin(id, 0, 255, source);
    return true;
}

bool Transmit1850Form::onNotify(int id, Notification code) {
    if (id == IDC_DISPLAY_SWITCH && code == Notification::Clicked) {
        ApplyDisplayBase();
        return true;
    }
    if (id == IDC_IDENTIFIER && code == Notification::FocusLost) {
        DecomposeIdentifier();
        return true;
    }
    if (id == IDC_TX1850_ADDRESS_TYPE && code == Notification::SelChanged) {
        updateData(true);
        ComposeIdentifier();
        updateData(false);
        return true;
    }
    return TxBuilder::onNotify(id, code);
}

bool Transmit1850Form::fieldStep(int id, int position, int step) {
    const int next = NextSpinPosition(id, position, step);
    const PairedRow* row = rowOf(id);
    *GetFieldText(row->hexEdit) = fields::hexText(static_cast<uint8_t>(next));
    *GetFieldValue(row->decEdit) = static_cast<uint8_t>(next);
    setSpinPositions(GetTwinControl(id), 0, next);
    ComposeIdentifier();
    updateData(false);
    return false; // the pressed up-down takes the new position itself
}

bool Transmit1850Form::onUpDownDelta(int id, int position, int step) {
    if (const PairedRow* row = rowOf(id); row && (id == row->hexSpin || id == row->decSpin))
        return fieldStep(id, position, step);
    if (dataIndexOfSpin(id) >= 0)
        ComposeIdentifier(); // the field step recomposes for every up-down it serves
    return TxBuilder::onUpDownDelta(id, position, step);
}

} // namespace transmit

#include "transmit/transmit_dlg.h"

#include "platform/message_service.h"
#include "platform/posted_message.h"
#include "res/ids/transmit_ids.h"
#include "res/templates.h"
#include "transmit/transmit_config_file.h"

namespace transmit {

using platform::Notification;
using namespace res;

namespace {
constexpr int16_t kEchoTransmittedMessages = 16; // RP1210_Echo_Transmitted_Messages
constexpr int kProtocolRadioCount = 3;
} // namespace

TransmitDlg::TransmitDlg(QWidget* parent) : TransmitDlg(transmitShared(), parent) {}

TransmitDlg::TransmitDlg(TransmitShared& shared, QWidget* parent)
    : Dialog(IDD_TRANSMIT, parent), shared_(shared) {
    builders_[0] = &tx1708;
    builders_[1] = &tx1850;
    builders_[2] = &tx1939;
    shared_.table.attach(this);
}

TransmitDlg::~TransmitDlg() {
    // No notification may reach a window that is going away, and the rows it
    // owned go with it.
    shared_.table.detach(this);
    shared_.table.removeAll();
}

void TransmitDlg::enableProtocolControls(connect::Protocol protocol) {
    switch (protocol) {
    case connect::Protocol::J1708:
        enableItem(IDC_TX_J1708, true);
        break;
    case connect::Protocol::J1850:
        enableItem(IDC_TX_J1850, true);
        break;
    case connect::Protocol::J1939:
        enableItem(IDC_TX_J1939, true);
        break;
    }
}

MessageBuilder* TransmitDlg::builder(int protocolIndex) const {
    return protocolIndex >= 0 && protocolIndex < kProtocolRadioCount ? builders_[protocolIndex] : nullptr;
}

void TransmitDlg::setBuilder(int protocolIndex, MessageBuilder* builder) {
    if (protocolIndex >= 0 && protocolIndex < kProtocolRadioCount)
        builders_[protocolIndex] = builder;
}

int32_t TransmitDlg::rowCount(int row) const {
    return row >= 0 && row < kTransmitRows ? shared_.table.counts().rowCount[row] : 0;
}

int32_t TransmitDlg::totalTransmitted() const {
    return shared_.table.counts().totalTransmitted;
}

uint8_t& TransmitDlg::rowCounter(int32_t protocol) {
    switch (protocol) {
    case kJ1850:
        return j1850Rows;
    case kJ1939:
        return j1939Rows;
    default:
        return j1708Rows;
    }
}

void TransmitDlg::doDataExchange(platform::DataExchange& dx) {
    Dialog::doDataExchange(dx);
    dx.radio(IDC_TX_J1708, selectedProtocol);
    dx.radio(kTransmitRowIds[0].radio, selectedRow);
    dx.check(IDC_TX_BLOCKING, blocking);
    dx.check(IDC_TX_ECHO, echo);
    if (dx.saveAndValidate())
        return; // summaries and counts are only shown, never read back
    const RowCounts counts = shared_.table.counts();
    for (int row = 0; row < kUsableTransmitRows; ++row) {
        dx.text(kTransmitRowIds[row].summary, rowSummary[row]);
        int32_t count = counts.rowCount[row];
        dx.number(kTransmitRowIds[row].count, count);
    }
    int32_t total = counts.totalTransmitted;
    dx.number(IDC_TX_TOTAL, total);
}

void TransmitDlg::readSelections() {
    updateData(true);
    if (selectedRow < 0 || selectedRow >= kTransmitRows)
        selectedRow = 0;
    shared_.table.blocking.store(blocking);
}

bool TransmitDlg::onNotify(int id, Notification code) {
    if (code == Notification::Clicked) {
        switch (id) {
        case IDC_TX_CREATE:
            createMessage();
            return true;
        case IDC_TX_DELETE:
            deleteMessage();
            return true;
        case IDC_TX_START:
            startStop();
            return true;
        case IDC_TX_CLEAR_COUNT:
            clearCount();
            return true;
        case IDC_TX_ECHO:
            toggleEcho();
            return true;
        case IDC_TX_BLOCKING:
            readSelections();
            return true;
        case IDC_TX_LOAD:
            loadConfiguration();
            return true;
        case IDC_TX_SAVE:
            saveConfiguration();
            return true;
        default:
            break;
        }
    }
    return Dialog::onNotify(id, code);
}

void TransmitDlg::createMessage() {
    readSelections();
    MessageBuilder* chosen = builder(selectedProtocol);
    if (!chosen)
        return;
    const int32_t protocol = chosen->protocolCode();
    const int row = selectedRow;
    const int32_t held = shared_.table.protocolOf(row);
    if (rowCounter(protocol) != 0 && held != protocol) {
        platform::MessageService::messageBox(
            this, QStringLiteral("You may only create one message per protocol"),
            QStringLiteral("Restricted"), platform::MessageIcon::None, platform::MessageButtons::Ok);
        return;
    }
    if (held == protocol)
        if (const std::optional<TxMessage> current = shared_.table.copyOf(row))
            chosen->refillFrom(*current);
    if (chosen->openBuilder() != platform::IDOK)
        return;
    std::unique_ptr<TxMessage> message = chosen->buildMessage();
    if (!message)
        return;
    const std::string summary = chosen->summary();
    // The record is complete before the thread can see it.
    const std::unique_ptr<TxMessage> old = shared_.table.replace(row, std::move(message));
    if (old)
        --rowCounter(old->protocol);
    ++rowCounter(protocol);
    rowSummary[row] = QString::fromStdString(summary);
    updateData(false);
}

void TransmitDlg::deleteMessage() {
    readSelections();
    const std::unique_ptr<TxMessage> old = shared_.table.remove(selectedRow);
    if (!old)
        return;
    --rowCounter(old->protocol);
    rowSummary[selectedRow].clear();
    updateData(false);
}

void TransmitDlg::startStop() {
    if (running) {
        setItemText(IDC_TX_START, QStringLiteral("&Start"));
        running = false;
        shared_.requestStop();
    } else {
        setItemText(IDC_TX_START, QStringLiteral("&Stop"));
        running = true;
        shared_.requestStart();
    }
}

void TransmitDlg::clearCount() {
    shared_.table.clearCounts();
    updateData(false);
}

void TransmitDlg::toggleEcho() {
    echo = echo ? 0 : 1;
    connect::DriverBinding& binding = connect::driverBinding();
    for (connect::Protocol protocol :
         {connect::Protocol::J1708, connect::Protocol::J1850, connect::Protocol::J1939}) {
        char value = static_cast<char>(echo);
        binding.sendCommand(kEchoTransmittedMessages, binding.clientIdOf(protocol), &value, 1);
    }
    updateData(false);
}

void TransmitDlg::closeWindow() {
    if (running)
        startStop();
    readSelections();
    hide();
}

void TransmitDlg::applyProtocolDefault() {
    if (isItemEnabled(IDC_TX_J1708))
        return;
    if (isItemEnabled(IDC_TX_J1850))
        selectedProtocol = 1;
    else if (isItemEnabled(IDC_TX_J1939))
        selectedProtocol = 2;
    else
        selectedProtocol = -1;
    updateData(false);
}

void TransmitDlg::onShowWindow(bool shown) {
    Dialog::onShowWindow(shown);
    if (shown)
        applyProtocolDefault();
}

namespace {

const QString kConfigFilter = QStringLiteral("*.zttxc");
const QString kConfigExtension = QStringLiteral("zttxc");

platform::FileRequest configFileRequest(QWidget* parent, bool save) {
    platform::FileRequest request;
    request.parent = parent;
    request.save = save;
    request.filter = kConfigFilter;
    request.defaultExtension = kConfigExtension;
    return request;
}

void showError(QWidget* parent, const QString& text) {
    platform::MessageService::messageBox(parent, text, QStringLiteral("Error"), platform::MessageIcon::Error);
}

} // namespace

void TransmitDlg::loadConfiguration() {
    const std::optional<QString> path = platform::MessageService::fileDialog(configFileRequest(this, false));
    if (!path)
        return;
    // The whole file is decoded before anything changes, so a bad file
    // leaves every row as it was.
    TransmitConfigResult result = readTransmitConfigFile(*path);
    switch (result.error) {
    case TransmitConfigError::None:
        applyConfiguration(result.config);
        return;
    case TransmitConfigError::IncompatibleVersion:
        showError(this,
                  QStringLiteral(
                      "This file is in the correct format, but is from an older, incompatible version."));
        return;
    case TransmitConfigError::NotInFormat:
        break;
    }
    showError(this, QStringLiteral("This file is not in the correct format and cannot be read."));
}

void TransmitDlg::applyConfiguration(TransmitConfig& config) {
    // Keep what the user clicked in the radio buttons since the last read.
    readSelections();
    for (int row = 0; row < kTransmitConfigRows; ++row) {
        std::unique_ptr<TxMessage>& loaded = config.rows[row];
        std::string summary;
        if (loaded) {
            summary = loadedRowSummary(*loaded);
            ++rowCounter(loaded->protocol);
            selectedProtocol = loaded->protocol - 1;
        }
        // Each record is complete before the thread can see it; the count is kept.
        const std::unique_ptr<TxMessage> old = shared_.table.replace(row, std::move(loaded));
        if (old)
            --rowCounter(old->protocol);
        rowSummary[row] = QString::fromStdString(summary);
    }
    selectedRow = kTransmitConfigRows - 1;
    updateData(false);
}

void TransmitDlg::saveConfiguration() {
    const std::optional<QString> path = platform::MessageService::fileDialog(configFileRequest(this, true));
    if (!path)
        return;
    // Copies taken under the table's lock, so a running thread is never read mid-change.
    std::array<std::optional<TxMessage>, kTransmitConfigRows> copies;
    std::array<const TxMessage*, kTransmitConfigRows> rows{};
    for (int row = 0; row < kTransmitConfigRows; ++row) {
        copies[row] = shared_.table.copyOf(row);
        rows[row] = copies[row] ? &*copies[row] : nullptr;
    }
    QString reason;
    if (!writeTransmitConfigFile(*path, encodeTransmitConfig(rows), &reason))
        showError(this, QStringLiteral("This file could not be written.\n%1").arg(reason));
}

bool TransmitDlg::onPostedMessage(unsigned message, quintptr wParam, qintptr lParam) {
    if (message != platform::kUserMessage)
        return Dialog::onPostedMessage(message, wParam, lParam);
    // The thread zeroed the counts itself before TX_STARTED (so no send of
    // the new run is wiped); both codes just show the counts.
    if (wParam == TX_SENT || wParam == TX_STARTED) {
        updateData(false);
        return true;
    }
    return false;
}

} // namespace transmit

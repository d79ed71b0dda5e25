#include "receive/receive_dlg.h"

#include "fields/hex_text.h"
#include "platform/controls.h"
#include "platform/message_service.h"
#include "platform/posted_message.h"
#include "receive/filter_commands.h"
#include "receive/receive_config_file.h"
#include "res/icons.h"
#include "res/ids/receive_ids.h"
#include "res/templates.h"

#include <QAbstractButton>
#include <QFontDatabase>

#include <optional>

namespace receive {

using connect::Protocol;
using platform::Notification;

namespace {

// RP1210A commands the window sends besides the filters'.
constexpr int16_t RP1210_Set_All_Filters_States_to_Discard = 17;
constexpr int16_t RP1210_Set_Message_Receive = 18;

int boxOf(Protocol protocol) {
    switch (protocol) {
    case Protocol::J1708:
        return res::IDC_RX_J1708;
    case Protocol::J1850:
        return res::IDC_RX_J1850;
    case Protocol::J1939:
        break;
    }
    return res::IDC_RX_J1939;
}

} // namespace

ReceiveDlg::ReceiveDlg(QWidget* parent) : Dialog(res::IDD_RECEIVE, parent), shared_(receiveShared()) {
    // One receive window exists; it starts with the fields' initial values.
    shared_.hexMode.store(1);
    shared_.blockingPoll.store(0);
    shared_.text.clear();
    shared_.refresh.setTarget(this);
    refreshTimer_.setSingleShot(true);
    connect(&refreshTimer_, &QTimer::timeout, this, &ReceiveDlg::refreshFromShared);
}

ReceiveDlg::~ReceiveDlg() {
    shared_.refresh.setTarget(nullptr);
}

// ---------------------------------------------------------------- data exchange

void ReceiveDlg::doDataExchange(platform::DataExchange& dx) {
    Dialog::doDataExchange(dx);
    dx.text(res::IDC_RX_TEXT, boxText_);
    dx.number(res::IDC_RX_MESSAGES, boxCount_);
    dx.number(res::IDC_RX_FLAG_MESSAGES, flagCount);
    dx.number(res::IDC_RX_TRIGGER_MESSAGES, triggerCount);
    int poll = shared_.blockingPoll.load();
    dx.check(res::IDC_RX_BLOCKING_POLL, poll);
    if (dx.saveAndValidate())
        shared_.blockingPoll.store(poll);
}

void ReceiveDlg::refreshControls() {
    const uint64_t addedBefore = shown_.added;
    const uint64_t droppedBefore = shown_.dropped;
    if (shared_.text.copyIfChanged(shown_)) {
        editBoxEnds(shown_.rxText, shown_.added - addedBefore, shown_.dropped - droppedBefore);
        boxText_.swap(shown_.rxText);
        boxCount_ = shown_.messageCount;
    }
    updateData(false);
    ++controlRefreshes_;
    sinceRefresh_.start();
}

void ReceiveDlg::editBoxEnds(const std::string& text, uint64_t added, uint64_t dropped) {
    platform::MultiLineEdit* box = multiLineEdit(res::IDC_RX_TEXT);
    if (box == nullptr)
        return;
    const std::optional<EndsChange> change = endsChange(boxText_, text, added, dropped);
    if (!change)
        return; // the box is rewritten whole
    const auto widgetText = [](std::string_view bytes) {
        return platform::MultiLineEdit::toWidgetText(
            QString::fromUtf8(bytes.data(), qsizetype(bytes.size())));
    };
    // Should the user have typed in the box since the last refresh, the box
    // then differs from the text and the data exchange rewrites it whole.
    box->replaceEnds(widgetText(std::string_view(text).substr(0, change->frontBytes)),
                     widgetText(std::string_view(boxText_).substr(0, change->keptBytes)).size());
}

void ReceiveDlg::takeBackControls() {
    updateData(true);
    shared_.text.takeBack(shown_, boxText_, boxCount_);
}

void ReceiveDlg::requestRefresh() {
    if (refreshTimer_.isActive())
        return; // the scheduled refresh covers this
    const qint64 since = sinceRefresh_.isValid() ? sinceRefresh_.elapsed() : kMinRefreshIntervalMs;
    if (since >= kMinRefreshIntervalMs || shared_.text.generation() == shown_.generation)
        refreshFromShared();
    else
        refreshTimer_.start(int(kMinRefreshIntervalMs - since)); // the notification stays pending
}

void ReceiveDlg::refreshFromShared() {
    // Consumed only now, not when the event came: while a refresh is
    // scheduled the receive threads post nothing, so the user-interface
    // thread is not woken for every message.
    shared_.refresh.consume();
    if (shared_.text.generation() != shown_.generation)
        refreshControls();
}

bool ReceiveDlg::onPostedMessage(unsigned message, quintptr wParam, qintptr lParam) {
    if (message == platform::kUserMessage && wParam == RX_REFRESH)
        requestRefresh();
    return Dialog::onPostedMessage(message, wParam, lParam);
}

// ---------------------------------------------------------------- window events

bool ReceiveDlg::onInitDialog() {
    refreshControls();
    setItemIcon(res::IDC_RX_PICTURE_BUTTON, res::loadIcon(res::IDI_RX_PICTURE));
    enableItem(res::IDC_RX_PICTURE_BUTTON, false);
    setItemText(res::IDC_RX_WINDOW_NUMBER, QStringLiteral("0"));
    // The columns of the lines line up only in a fixed-pitch font. The lines
    // are plain ASCII, so they skip text shaping: a busy bus repaints the
    // box many times a second, and shaping was most of each repaint.
    if (QWidget* box = item(res::IDC_RX_TEXT)) {
        QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setStyleStrategy(QFont::PreferNoShaping);
        box->setFont(font);
    }
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939})
        if (unlocked_[int(protocol)])
            enableProtocolControls(protocol);
    setStartStopCaption(running_);
    showSwitchPicture();
    return true;
}

void ReceiveDlg::onShowWindow(bool shown) {
    Dialog::onShowWindow(shown);
    showSwitchPicture();
}

void ReceiveDlg::showSwitchPicture() {
    setItemIcon(res::IDC_RX_SWITCH, res::switchIcon(hexMode() != 0), res::switchStateName(hexMode() != 0));
}

bool ReceiveDlg::onNotify(int id, Notification code) {
    if (code != Notification::Clicked)
        return Dialog::onNotify(id, code);
    switch (id) {
    case res::IDC_RX_START:
        startStop();
        return true;
    case res::IDC_RX_J1708:
        onJ1708Box();
        return true;
    case res::IDC_RX_J1850:
        onJ1850Box();
        return true;
    case res::IDC_RX_J1939:
        onJ1939Box();
        return true;
    case res::IDC_RX_J1708_FILTER:
        onFilterButton(Protocol::J1708);
        return true;
    case res::IDC_RX_J1939_FILTER:
        onFilterButton(Protocol::J1939);
        return true;
    case res::IDC_RX_SWITCH:
        onSwitch();
        return true;
    case res::IDC_RX_CLEAR:
        onClearText();
        return true;
    case res::IDC_RX_BLOCKING_POLL:
        takeBackControls();
        return true;
    case res::IDC_RX_LOAD:
        loadConfiguration();
        return true;
    case res::IDC_RX_SAVE:
        saveConfiguration();
        return true;
    default:
        return Dialog::onNotify(id, code);
    }
}

void ReceiveDlg::onOK() {
    // "&Close": stop a run, take the fields back, hide.
    if (running_)
        stop();
    takeBackControls();
    endDialog(platform::IDOK);
}

// ---------------------------------------------------------------- actions

void ReceiveDlg::startStop() {
    if (running_)
        stop();
    else
        start();
}

void ReceiveDlg::setStartStopCaption(bool runningNow) {
    setItemText(res::IDC_RX_START, runningNow ? QStringLiteral("&Stop") : QStringLiteral("&Start"));
}

void ReceiveDlg::sendCommand(int16_t command, Protocol protocol, char* bytes, int16_t length) {
    const connect::DriverBinding& binding = connect::driverBinding();
    binding.sendCommand(command, binding.clientIdOf(protocol), bytes, length);
}

void ReceiveDlg::sendReceive(Protocol protocol, bool on) {
    char receive = on ? 1 : 0;
    sendCommand(RP1210_Set_Message_Receive, protocol, &receive, 1);
}

void ReceiveDlg::start() {
    setStartStopCaption(true);
    running_ = true;
    shared_.receiveStopped.store(0);
    const connect::DriverBinding& binding = connect::driverBinding();
    auto wake = [this](Protocol protocol) {
        if (platform::AutoResetEvent* event = shared_.receiveEvent(protocol).load())
            event->set();
    };
    if (binding.isConnected(Protocol::J1708) && isItemChecked(res::IDC_RX_J1708)) {
        wake(Protocol::J1708);
        sendReceive(Protocol::J1708, true);
        onJ1708Box();
    }
    if (binding.isConnected(Protocol::J1850) && isItemChecked(res::IDC_RX_J1850)) {
        wake(Protocol::J1850);
        sendReceive(Protocol::J1850, true);
        sendCommand(RP1210_Set_All_Filters_States_to_Pass, Protocol::J1850);
    }
    if (binding.isConnected(Protocol::J1939) && isItemChecked(res::IDC_RX_J1939)) {
        wake(Protocol::J1939);
        sendReceive(Protocol::J1939, true);
        ApplyJ1939Filter();
    }
}

void ReceiveDlg::stop() {
    setStartStopCaption(false);
    running_ = false;
    shared_.receiveStopped.store(1);
    const connect::DriverBinding& binding = connect::driverBinding();
    for (Protocol protocol : {Protocol::J1708, Protocol::J1850, Protocol::J1939}) {
        if (!binding.isConnected(protocol))
            continue;
        sendCommand(RP1210_Set_All_Filters_States_to_Discard, protocol);
        sendReceive(protocol, false);
    }
}

void ReceiveDlg::onJ1708Box() {
    sendCommand(RP1210_Set_All_Filters_States_to_Discard, Protocol::J1708);
    if (!running_)
        return;
    const bool ticked = isItemChecked(res::IDC_RX_J1708);
    if (ticked)
        ApplyJ1708Filter();
    sendReceive(Protocol::J1708, ticked);
}

void ReceiveDlg::onJ1939Box() {
    sendCommand(RP1210_Set_All_Filters_States_to_Discard, Protocol::J1939);
    if (!running_)
        return;
    const bool ticked = isItemChecked(res::IDC_RX_J1939);
    if (ticked)
        ApplyJ1939Filter();
    sendReceive(Protocol::J1939, ticked);
}

void ReceiveDlg::onJ1850Box() {
    if (!running_)
        return;
    const bool ticked = isItemChecked(res::IDC_RX_J1850);
    sendCommand(ticked ? RP1210_Set_All_Filters_States_to_Pass : RP1210_Set_All_Filters_States_to_Discard,
                Protocol::J1850);
    sendReceive(Protocol::J1850, ticked);
}

void ReceiveDlg::onFilterButton(Protocol protocol) {
    if (running_)
        return;
    if (protocol == Protocol::J1708) {
        if (runJ1708FilterWindow())
            ApplyJ1708Filter();
    } else if (runJ1939FilterWindow()) {
        ApplyJ1939Filter();
    }
}

void ReceiveDlg::ApplyJ1708Filter() {
    FilterCommand filter = j1708FilterCommand(j1708Filter.filterMode, j1708Filter.mid);
    sendCommand(filter.command, Protocol::J1708,
                filter.bytes.empty() ? nullptr : reinterpret_cast<char*>(filter.bytes.data()),
                int16_t(filter.bytes.size()));
}

void ReceiveDlg::ApplyJ1939Filter() {
    J1939FilterRecord record = j1939FilterRecord(j1939Filter.criteria());
    sendCommand(RP1210_Set_Message_Filtering_For_J1939, Protocol::J1939,
                reinterpret_cast<char*>(record.data()), int16_t(record.size()));
}

bool ReceiveDlg::runJ1708FilterWindow() {
    return j1708Filter.doModal() == platform::IDOK;
}

bool ReceiveDlg::runJ1939FilterWindow() {
    return j1939Filter.doModal() == platform::IDOK;
}

// ---------------------------------------------------------------- configuration file

ReceiveConfig ReceiveDlg::currentConfiguration() const {
    ReceiveConfig config;
    config.j1708Box = isItemChecked(res::IDC_RX_J1708) ? 1 : 0;
    config.j1708Mid = j1708Filter.mid;
    config.j1708FilterMode = uint8_t(j1708Filter.filterMode);
    config.j1850Box = isItemChecked(res::IDC_RX_J1850) ? 1 : 0;
    config.j1939Box = isItemChecked(res::IDC_RX_J1939) ? 1 : 0;
    config.usePriority = uint8_t(j1939Filter.usePriority);
    config.usePgn = uint8_t(j1939Filter.usePgn);
    config.useDestination = uint8_t(j1939Filter.useDestination);
    config.useSource = uint8_t(j1939Filter.useSource);
    config.pf = j1939Filter.pf;
    config.destination = j1939Filter.destination;
    config.page = j1939Filter.page;
    config.priority = j1939Filter.priority;
    config.source = j1939Filter.source;
    config.j1939FilterMode = uint8_t(j1939Filter.filterMode);
    return config;
}

void ReceiveDlg::applyConfiguration(const ReceiveConfig& config) {
    const bool optional = config.hasOptionalFields();
    checkItem(res::IDC_RX_J1708, config.j1708Box != 0);
    j1708Filter.mid = config.j1708Mid;
    j1708Filter.midText = fields::hexText(config.j1708Mid);
    if (optional)
        j1708Filter.filterMode = config.j1708FilterMode;
    ApplyJ1708Filter();

    if (optional)
        checkItem(res::IDC_RX_J1850, config.j1850Box != 0);
    checkItem(res::IDC_RX_J1939, config.j1939Box != 0);
    j1939Filter.usePriority = config.usePriority;
    j1939Filter.usePgn = config.usePgn;
    j1939Filter.useDestination = config.useDestination;
    j1939Filter.useSource = config.useSource;
    j1939Filter.pf = config.pf;
    j1939Filter.destination = config.destination;
    j1939Filter.page = config.page;
    j1939Filter.priority = config.priority;
    j1939Filter.source = config.source;
    // Identifier, its texts and the mask follow the loaded fields without
    // touching the closed window's controls.
    j1939Filter.ComposeIdentifier();
    j1939Filter.detached = 1;
    j1939Filter.DecomposeIdentifier();
    j1939Filter.RecomputeMask();
    j1939Filter.detached = 0;
    if (optional)
        j1939Filter.filterMode = config.j1939FilterMode;
    ApplyJ1939Filter();
}

namespace {

const QString kConfigFilter = QStringLiteral("*.ztrxc");
const QString kConfigExtension = QStringLiteral("ztrxc");

platform::FileRequest configFileRequest(QWidget* parent, bool save) {
    platform::FileRequest request;
    request.parent = parent;
    request.save = save;
    request.filter = kConfigFilter;
    request.defaultExtension = kConfigExtension;
    return request;
}

} // namespace

void ReceiveDlg::loadConfiguration() {
    const std::optional<QString> path = platform::MessageService::fileDialog(configFileRequest(this, false));
    if (!path)
        return;
    const ReceiveConfigResult result = readReceiveConfigFile(*path);
    switch (result.error) {
    case ReceiveConfigError::None:
        applyConfiguration(result.config);
        return;
    case ReceiveConfigError::IncompatibleVersion:
        platform::MessageService::messageBox(
            this,
            QStringLiteral("This file is in the correct format, but is from an older, incompatible version."),
            QStringLiteral("Error"), platform::MessageIcon::Error);
        return;
    case ReceiveConfigError::NotInFormat:
        break;
    }
    platform::MessageService::messageBox(
        this, QStringLiteral("This file is not in the correct format and cannot be read."),
        QStringLiteral("Error"), platform::MessageIcon::Error);
}

void ReceiveDlg::saveConfiguration() {
    const std::optional<QString> path = platform::MessageService::fileDialog(configFileRequest(this, true));
    if (!path)
        return;
    QString reason;
    if (!writeReceiveConfigFile(*path, currentConfiguration(), &reason))
        platform::MessageService::messageBox(
            this, QStringLiteral("This file could not be written.\n%1").arg(reason), QStringLiteral("Error"),
            platform::MessageIcon::Error);
}

void ReceiveDlg::onSwitch() {
    shared_.hexMode.store(hexMode() != 0 ? 0 : 1);
    showSwitchPicture();
}

void ReceiveDlg::onClearText() {
    shared_.text.clear();
    if (refreshTimer_.isActive()) {
        refreshTimer_.stop();
        shared_.refresh.consume(); // no event is queued while the timer runs
    }
    refreshControls();
}

void ReceiveDlg::enableProtocolControls(Protocol protocol) {
    unlocked_[int(protocol)] = true;
    const int box = boxOf(protocol);
    enableItem(box, true);
    checkItem(box, true);
    if (protocol == Protocol::J1708)
        enableItem(res::IDC_RX_J1708_FILTER, true);
    else if (protocol == Protocol::J1939)
        enableItem(res::IDC_RX_J1939_FILTER, true);
}

} // namespace receive

#include "app/tarvik_dlg.h"

#include "app/about_dlg.h"
#include "connect/driver_binding.h"
#include "connect/exports.h"
#include "connect/init_vqt_dlg.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "receive/receive_threads.h"
#include "res/icons.h"
#include "res/ids/main_ids.h"
#include "res/strings.h"
#include "res/templates.h"
#include "transmit/transmit_thread.h"

#include <QAbstractButton>
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <cstdlib>

namespace app {

namespace {
constexpr std::size_t kWorkerStackSize = 0x8000;

// The events live as long as the process: the worker threads wait on them
// until it ends.
platform::AutoResetEvent* keepForever(std::unique_ptr<platform::AutoResetEvent> event) {
    return event.release();
}
} // namespace

std::function<void(int)>& TarvikDlg::endProcess() {
    static std::function<void(int)> end = [](int status) { std::_Exit(status); };
    return end;
}

TarvikDlg::TarvikDlg() : Dialog(res::IDD_MAIN) {
    // Three receive events, then the receive threads; then the transmit
    // event and thread. A missing event means its threads are not started
    // (all three receive threads need their own event).
    platform::AutoResetEvent* j1708 = keepForever(platform::createAutoResetEvent());
    platform::AutoResetEvent* j1850 = keepForever(platform::createAutoResetEvent());
    platform::AutoResetEvent* j1939 = keepForever(platform::createAutoResetEvent());
    if (j1708 && j1850 && j1939) {
        receive::ReceiveShared& rx = receive::receiveShared();
        rx.j1708ReceiveEvent = j1708;
        rx.j1850ReceiveEvent = j1850;
        rx.j1939ReceiveEvent = j1939;
        platform::startThread(receive::J1708ReceiveThread, kWorkerStackSize);
        platform::startThread(receive::J1850ReceiveThread, kWorkerStackSize);
        platform::startThread(receive::J1939ReceiveThread, kWorkerStackSize);
    }
    if (platform::AutoResetEvent* transmitEvent = keepForever(platform::createAutoResetEvent())) {
        transmit::transmitShared().transmitEvent = transmitEvent;
        platform::startThread(transmit::TransmitThread, kWorkerStackSize);
    }

    qApp->installEventFilter(this);
}

TarvikDlg::~TarvikDlg() {
    qApp->removeEventFilter(this);
}

bool TarvikDlg::onInitDialog() {
    largeIcon_ = res::loadIcon(res::IDI_MAIN_LARGE);
    connectPicture_ = res::loadIcon(res::IDI_CONNECT);
    disconnectPicture_ = res::loadIcon(res::IDI_DISCONNECT);
    receivePicture_ = res::loadIcon(res::IDI_RECEIVE);
    transmitPicture_ = res::loadIcon(res::IDI_TRANSMIT);
    monitorPicture_ = res::loadIcon(res::IDI_MONITOR);
    diagnosticsPicture_ = res::loadIcon(res::IDI_DIAGNOSTICS);
    smallIcon_ = res::loadIcon(res::IDI_MAIN_SMALL);
    Dialog::onInitDialog();
    setWindowIcon(largeIcon_);
    setItemIcon(res::IDC_CONNECT, connectPicture_);
    setItemIcon(res::IDC_RECEIVE_WINDOW, receivePicture_);
    setItemIcon(res::IDC_TRANSMIT_WINDOW, transmitPicture_);
    setItemIcon(res::IDC_MONITOR_WINDOW, monitorPicture_);
    setItemIcon(res::IDC_DIAGNOSTICS_WINDOW, diagnosticsPicture_);
    for (int id : {res::IDC_CONNECT, res::IDC_RECEIVE_WINDOW, res::IDC_TRANSMIT_WINDOW,
                   res::IDC_MONITOR_WINDOW, res::IDC_DIAGNOSTICS_WINDOW})
        if (QAbstractButton* shown = button(id))
            shown->setToolTip(shown->accessibleName());
    receiveDlg_.create();
    transmitDlg_.create();
    dbcCatalog_.restore();
    // SPN names for the Diagnostics window come from the loaded DBC files.
    diagnosticsWindow_.setSpnNameLookup([this](uint32_t spn) {
        const decode::SignalDef* signal = dbcCatalog_.database().findSpn(spn);
        return signal ? signal->name : std::string();
    });
    return true;
}

bool TarvikDlg::onNotify(int id, platform::Notification code) {
    if (code == platform::Notification::Clicked) {
        switch (id) {
        case res::IDC_CONNECT:
            if (connectionStatus_.connected == 0)
                connectToAdapter();
            else
                disconnectFromAdapter();
            return true;
        case res::IDC_RECEIVE_WINDOW:
            showToolWindow(receiveDlg_);
            return true;
        case res::IDC_TRANSMIT_WINDOW:
            showToolWindow(transmitDlg_);
            return true;
        case res::IDC_MONITOR_WINDOW:
            showMonitor();
            return true;
        case res::IDC_DIAGNOSTICS_WINDOW:
            showDiagnostics();
            return true;
        default:
            break;
        }
    }
    // Enter and Escape never reach here (the key filter), so OK and Cancel
    // have nothing to do on the main window.
    if (id == platform::IDOK || id == platform::IDCANCEL)
        return true;
    return Dialog::onNotify(id, code);
}

void TarvikDlg::showMonitor() {
    if (!monitorWindow_)
        monitorWindow_ = std::make_unique<monitor::MonitorWindow>(dbcCatalog_);
    if (connectionStatus_.connected != 0 && !monitorWindow_->isMonitoring()) {
        const connect::InitVQTDlg* connection = connect::InitVQTDlg::instance();
        monitorWindow_->startMonitoring(connect::mainWindowHandle,
                                        int16_t(connection ? connection->deviceId : 0),
                                        connect::driverBinding().connectedProtocols.load());
    }
    monitorWindow_->show();
    monitorWindow_->raise();
    monitorWindow_->activateWindow();
}

std::optional<diagnostics::ConnectionInfo> TarvikDlg::diagnosticsConnection() const {
    const connect::InitVQTDlg* connection = connect::InitVQTDlg::instance();
    if (connectionStatus_.connected == 0 || !connection)
        return std::nullopt;
    diagnostics::ConnectionInfo info;
    info.deviceId = static_cast<int16_t>(connection->deviceId);
    info.driverName = connection->selectedImplementation;
    // The connection's own J1939 client keeps its address; the window
    // claims another.
    if (connect::driverBinding().isConnected(connect::Protocol::J1939) && connection->j1939Claim) {
        const std::array<uint8_t, 10>& claim = *connection->j1939Claim;
        info.addressInUse = claim[0];
        uint64_t name = 0;
        for (int i = 0; i < 8; ++i)
            name |= uint64_t(claim[std::size_t(1 + i)]) << (8 * i);
        info.nameInUse = name;
    }
    return info;
}

void TarvikDlg::showDiagnostics() {
    diagnosticsWindow_.setConnection(diagnosticsConnection());
    showToolWindow(diagnosticsWindow_);
}

void TarvikDlg::showToolWindow(QWidget& window) {
    window.show();
    window.raise();
    window.activateWindow();
}

// The plug has no caption: its accessible name says what a press does now,
// as its picture does.
void TarvikDlg::showConnectAction(bool connected) {
    setItemIcon(res::IDC_CONNECT, connected ? disconnectPicture_ : connectPicture_);
    if (QWidget* plug = item(res::IDC_CONNECT))
        plug->setAccessibleName(connected ? QStringLiteral("Disconnect") : QStringLiteral("Connect"));
}

void TarvikDlg::connectToAdapter() {
    DisplayInitVQT(4, &connectionStatus_);
    if (connectionStatus_.connected == 0)
        return;
    showConnectAction(true);
    for (int id : {res::IDC_RECEIVE_WINDOW, res::IDC_TRANSMIT_WINDOW, res::IDC_MONITOR_WINDOW,
                   res::IDC_DIAGNOSTICS_WINDOW})
        enableItem(id, true);
    // A monitor left open follows the new connection.
    if (monitorWindow_ && monitorWindow_->isVisible())
        showMonitor();
    if (diagnosticsWindow_.isVisible())
        diagnosticsWindow_.setConnection(diagnosticsConnection());
}

void TarvikDlg::disconnectFromAdapter() {
    connectionStatus_.connected = 0;
    if (connect::InitVQTDlg* connection = connect::InitVQTDlg::instance())
        connection->clearStatusText();
    if (receiveDlg_.running())
        receiveDlg_.startStop();
    if (monitorWindow_)
        monitorWindow_->stopMonitoring();
    // The Diagnostics window's client goes before the connection's own.
    diagnosticsWindow_.setConnection(std::nullopt);
    connect::DriverBinding& binding = connect::driverBinding();
    const uint8_t open = binding.connectedProtocols.load();
    for (connect::Protocol protocol :
         {connect::Protocol::J1708, connect::Protocol::J1850, connect::Protocol::J1939})
        if (open & connect::protocolBit(protocol))
            binding.clientDisconnect(binding.clientIdOf(protocol));
    binding.connectedProtocols = 0;
    showConnectAction(false);
    for (int id : {res::IDC_RECEIVE_WINDOW, res::IDC_TRANSMIT_WINDOW, res::IDC_MONITOR_WINDOW,
                   res::IDC_DIAGNOSTICS_WINDOW})
        enableItem(id, false);
}

void TarvikDlg::onSysCommand(int command) {
    if ((command & 0xFFF0) == res::IDM_ABOUTBOX) {
        AboutDlg about(this);
        about.doModal();
    }
}

void TarvikDlg::onClose() {
    if (connectionStatus_.connected != 0)
        disconnectFromAdapter();
    hide();
    endProcess()(1);
}

bool TarvikDlg::isOwnWidget(const QObject* object) const {
    for (const QObject* at = object; at; at = at->parent())
        if (at == this)
            return true;
    return false;
}

bool TarvikDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter and Escape on the main window or its buttons neither press a
    // button nor close the window.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        isOwnWidget(watched)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape)
            return true;
    }
    return Dialog::eventFilter(watched, event);
}

void TarvikDlg::contextMenuEvent(QContextMenuEvent* event) {
    // The window manager owns the title bar's menu here, so the About entry
    // is offered on the window itself.
    const QString about = res::loadString(res::IDS_ABOUTBOX);
    if (about.isEmpty())
        return;
    QMenu menu(this);
    menu.addSeparator();
    QAction* entry = menu.addAction(about);
    if (menu.exec(event->globalPos()) == entry)
        onSysCommand(res::IDM_ABOUTBOX);
}

} // namespace app

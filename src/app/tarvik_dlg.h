#pragma once
// The main window: a strip of icon buttons (connect/disconnect, Receive
// window, Transmit window, Bus Monitor, Diagnostics). It owns the tool
// windows and the list of DBC files they decode with, and starts the worker
// threads.

#include "connect/connection_status.h"
#include "decode/dbc_catalog.h"
#include "diagnostics/diagnostics_window.h"
#include "monitor/monitor_window.h"
#include "platform/dialog.h"
#include "receive/receive_dlg.h"
#include "transmit/transmit_dlg.h"

#include <QIcon>

#include <functional>
#include <memory>
#include <optional>

namespace app {

class TarvikDlg : public platform::Dialog {
    Q_OBJECT
public:
    TarvikDlg();
    ~TarvikDlg() override;

    receive::ReceiveDlg& receiveWindow() { return receiveDlg_; }
    transmit::TransmitDlg& transmitWindow() { return transmitDlg_; }
    connect::ConnectionStatus& connectionStatus() { return connectionStatus_; }
    decode::DbcCatalog& dbcCatalog() { return dbcCatalog_; }
    // Null until the Monitor button was first pressed.
    monitor::MonitorWindow* monitorWindow() const { return monitorWindow_.get(); }
    diagnostics::DiagnosticsWindow& diagnosticsWindow() { return diagnosticsWindow_; }

    // What the Monitor and Diagnostics buttons do.
    void showMonitor();
    void showDiagnostics();

    // What the Connect button does in each state.
    void connectToAdapter();
    void showConnectAction(bool connected);
    void disconnectFromAdapter();
    // A system-menu command (the About box is 0x10; low four bits ignored).
    void onSysCommand(int command);

    // Ends the process; tests replace it.
    static std::function<void(int)>& endProcess();

protected:
    bool onInitDialog() override;
    bool onNotify(int id, platform::Notification code) override;
    void onClose() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    bool isOwnWidget(const QObject* object) const;
    void showToolWindow(QWidget& window);
    std::optional<diagnostics::ConnectionInfo> diagnosticsConnection() const;

    QIcon largeIcon_;
    QIcon connectPicture_;
    QIcon disconnectPicture_;
    QIcon receivePicture_;
    QIcon transmitPicture_;
    QIcon monitorPicture_;
    QIcon diagnosticsPicture_;
    receive::ReceiveDlg receiveDlg_;
    transmit::TransmitDlg transmitDlg_;
    QIcon smallIcon_;
    connect::ConnectionStatus connectionStatus_;
    decode::DbcCatalog dbcCatalog_;
    std::unique_ptr<monitor::MonitorWindow> monitorWindow_;
    diagnostics::DiagnosticsWindow diagnosticsWindow_;
};

} // namespace app

#pragma once
// The main window: a strip of three icon buttons (connect/disconnect,
// Receive window, Transmit window). It owns the Receive and Transmit windows
// and starts the worker threads.

#include "connect/connection_status.h"
#include "diagnostics/diagnostics_window.h"
#include "platform/dialog.h"
#include "receive/receive_dlg.h"
#include "transmit/transmit_dlg.h"

#include <QIcon>

#include <functional>
#include <optional>

namespace app {

class TarvikDlg : public platform::Dialog {
    Q_OBJECT
public:
    TarvikDlg();
    ~TarvikDlg() override;

    receive::ReceiveDlg& receiveWindow() { return receiveDlg_; }
    transmit::TransmitDlg& transmitWindow() { return transmitDlg_; }
    diagnostics::DiagnosticsWindow& diagnosticsWindow() { return diagnosticsWindow_; }
    // Shows the Diagnostics window on the connection made.
    void showDiagnostics();
    connect::ConnectionStatus& connectionStatus() { return connectionStatus_; }

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
    QIcon diagnosticsPicture_;
    receive::ReceiveDlg receiveDlg_;
    transmit::TransmitDlg transmitDlg_;
    diagnostics::DiagnosticsWindow diagnosticsWindow_;
    QIcon smallIcon_;
    connect::ConnectionStatus connectionStatus_;
};

} // namespace app

#pragma once
// The main window: a strip of three icon buttons (connect/disconnect,
// Receive window, Transmit window). It owns the Receive and Transmit windows
// and starts the worker threads.

#include "connect/connection_status.h"
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
    void showToolWindow(platform::Dialog& window);

    QIcon largeIcon_;
    QIcon connectPicture_;
    QIcon disconnectPicture_;
    QIcon receivePicture_;
    QIcon transmitPicture_;
    receive::ReceiveDlg receiveDlg_;
    transmit::TransmitDlg transmitDlg_;
    QIcon smallIcon_;
    connect::ConnectionStatus connectionStatus_;
};

} // namespace app

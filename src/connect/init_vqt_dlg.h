#pragma once
// The connection dialog: pick a driver implementation and device, bind the
// driver, and open one client per protocol.

#include "connect/connection_status.h"
#include "connect/driver_binding.h"
#include "platform/dialog.h"

#include <QIcon>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace connect {

// The window handle passed to every client connect: the main window.
extern void* mainWindowHandle;

class InitVQTDlg : public platform::Dialog {
    Q_OBJECT
public:
    explicit InitVQTDlg(QWidget* parent = nullptr);
    ~InitVQTDlg() override;

    // The one instance, which the exported functions use.
    static InitVQTDlg* instance();

    // DisplayInitVQT: runs the dialog modally, reporting into status.
    int display(int32_t connectionType, ConnectionStatus* status);

    // Called after a protocol's client was opened and initialised, to unlock
    // that protocol's controls in the Receive and Transmit windows.
    void setProtocolInitialisedHandler(std::function<void(Protocol)> handler) {
        protocolInitialised_ = std::move(handler);
    }

    // Runs the initialisation of one protocol with the given claim bytes
    // (J1939 only): connect, protect address, receive off, all filters pass.
    void initialiseProtocol(Protocol protocol, const uint8_t* claim = nullptr);

    void clearStatusText() { statusText = QString(); }

    // Remembered between openings.
    int deviceId = 101;
    QString statusText;
    QString selectedImplementation;
    int32_t displayArgument = 0; // stored, never read
    // The claim bytes (address, NAME, mode) of the J1939 client last
    // initialised without error; valid while its protocol bit is set.
    std::optional<std::array<uint8_t, 10>> j1939Claim;

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    bool onNotify(int id, platform::Notification code) override;
    void onShowWindow(bool shown) override;

private:
    void onDevice();
    void onInitCan();
    void resetBoardLists();

    ConnectionStatus* status_ = nullptr;
    ConnectionStatus fallbackStatus_;
    QIcon notInitialisedPicture_;
    QIcon initialisedPicture_;
    std::function<void(Protocol)> protocolInitialised_;
};

} // namespace connect

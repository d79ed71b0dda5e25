#pragma once
// The Transmit window: sixteen message rows (rows 1 to 3 usable), the
// builders that create their messages, Start/Stop of the transmit thread,
// the counts it reports, Echo and Blocking.
#include "connect/driver_binding.h"
#include "platform/dialog.h"
#include "transmit/message_builder.h"
#include "transmit/transmit1850_form.h"
#include "transmit/transmit_config.h"
#include "transmit/transmit_thread.h"
#include "transmit/tx1708_dlg.h"
#include "transmit/tx1939_dlg.h"

#include <QString>

#include <array>
#include <cstdint>

namespace transmit {

class TransmitDlg : public platform::Dialog {
    Q_OBJECT
public:
    explicit TransmitDlg(QWidget* parent = nullptr);
    // A window on its own shared record (tests, with their own thread).
    explicit TransmitDlg(TransmitShared& shared, QWidget* parent = nullptr);
    ~TransmitDlg() override;

    // Unlocks the protocol's radio button once its client is open.
    void enableProtocolControls(connect::Protocol protocol);

    // The buttons.
    void createMessage();
    void deleteMessage();
    void startStop();
    void clearCount();
    void toggleEcho();
    void closeWindow();
    // Load and Save: rows 1 to 3 from or to a transmit configuration file.
    void loadConfiguration();
    void saveConfiguration();

    // The builder opened for a protocol radio index (0 J1708, 1 J1850,
    // 2 J1939); null for none.
    MessageBuilder* builder(int protocolIndex) const;
    // Plugs a builder in for a protocol radio index.
    void setBuilder(int protocolIndex, MessageBuilder* builder);

    int selectedRow = 0;      // 0 to 15
    int selectedProtocol = 0; // 0 J1708, 1 J1850, 2 J1939, -1 none
    std::array<QString, kTransmitRows> rowSummary;
    uint8_t j1708Rows = 0;
    uint8_t j1850Rows = 0;
    uint8_t j1939Rows = 0;
    bool running = false;
    int blocking = 0;
    uint8_t echo = 0;
    Tx1708Dlg tx1708;
    Transmit1850Form tx1850;
    Tx1939Dlg tx1939;

    // The counts, owned by the transmit side.
    int32_t rowCount(int row) const;
    int32_t totalTransmitted() const;
    TransmitTable& table() { return shared_.table; }

    // The row counter of a protocol code (1, 2, 3).
    uint8_t& rowCounter(int32_t protocol);

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onNotify(int id, platform::Notification code) override;
    void onOK() override { closeWindow(); }
    void onCancel() override { closeWindow(); }
    void onShowWindow(bool shown) override;
    bool onPostedMessage(unsigned message, quintptr wParam, qintptr lParam) override;

private:
    // Step 1 of Create and Delete: radio buttons and check boxes, never the counts.
    void readSelections();
    void applyProtocolDefault();
    // Puts a decoded file's rows in place of rows 1 to 3.
    void applyConfiguration(TransmitConfig& config);

    TransmitShared& shared_;
    std::array<MessageBuilder*, 3> builders_{};
};

} // namespace transmit

#pragma once
// The modeless "Receive" window: starts and stops reception, picks the
// protocols, switches the display base and shows the received lines and
// their count.

#include "connect/driver_binding.h"
#include "platform/dialog.h"
#include "receive/filt1708_dlg.h"
#include "receive/filt1939_dlg.h"
#include "receive/receive_config.h"
#include "receive/receive_threads.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cstdint>

namespace receive {

class ReceiveDlg : public platform::Dialog {
    Q_OBJECT
public:
    // The text box is refreshed at most this often: 20 times a second reads
    // as live, and each refresh lays out and paints the box, so a faster rate
    // cost a busy bus a tenth of a core in the user-interface thread alone.
    static constexpr int kMinRefreshIntervalMs = 50;

    explicit ReceiveDlg(QWidget* parent = nullptr);
    ~ReceiveDlg() override;

    // True while a reception run is on (the button reads "&Stop").
    bool running() const { return running_; }
    // The Start/Stop button's action.
    void startStop();
    // The connection dialog opened this protocol's client: enable its box
    // (and its "Filter" button for J1708 and J1939) and tick the box.
    void enableProtocolControls(connect::Protocol protocol);

    // Display base of new lines: 1 hexadecimal, 0 decimal.
    uint8_t hexMode() const { return shared_.hexMode.load(); }
    int blockingPoll() const { return shared_.blockingPoll.load(); }

    uint32_t flagCount = 0;    // "Flag Messages"; nothing changes it
    uint32_t triggerCount = 0; // "Trigger Messages"; nothing changes it

    // The receive filters, kept for the window's life.
    Filt1939Dlg j1939Filter;
    Filt1708Dlg j1708Filter;

    // Send the receive filters to the driver: J1708 by MID (command 7) or
    // all pass (command 3); J1939 the record of the ticked criteria
    // (command 4). Results are not examined.
    virtual void ApplyJ1708Filter();
    virtual void ApplyJ1939Filter();

    // The boxes and filters as a configuration file holds them.
    ReceiveConfig currentConfiguration() const;
    // Puts a decoded configuration into the boxes and filters, applying
    // each filter once its part is in. The boxes are set without their
    // box actions.
    void applyConfiguration(const ReceiveConfig& config);

    // How often the text controls were rewritten (benchmarks, tests).
    uint64_t controlRefreshes() const { return controlRefreshes_; }

protected:
    void doDataExchange(platform::DataExchange& dx) override;
    bool onInitDialog() override;
    void onOK() override;
    bool onNotify(int id, platform::Notification code) override;
    void onShowWindow(bool shown) override;
    bool onPostedMessage(unsigned message, quintptr wParam, qintptr lParam) override;

    // Open a filter window modally; true when the user pressed OK.
    virtual bool runJ1708FilterWindow();
    virtual bool runJ1939FilterWindow();
    // Load and Save: ask for a file, then read or write it. A refused file
    // changes nothing; a failed save is reported and leaves the old file.
    virtual void loadConfiguration();
    virtual void saveConfiguration();

private:
    void start();
    void stop();
    void onJ1708Box();
    void onJ1850Box();
    void onJ1939Box();
    void onFilterButton(connect::Protocol protocol);
    void onSwitch();
    void onClearText();
    void showSwitchPicture();
    void setStartStopCaption(bool runningNow);

    // Refresh the controls from the shared text (under its lock), and take
    // them back into it.
    void refreshControls();
    void takeBackControls();
    // Puts the lines that arrived in front of the box's text and cuts the
    // dropped ones off its end, when the new text is made that way; the
    // refresh then finds nothing left to rewrite.
    void editBoxEnds(const std::string& text, uint64_t added, uint64_t dropped);
    // RX_REFRESH: rewrite the controls now, or when the interval is up.
    void requestRefresh();
    void refreshFromShared();

    void sendCommand(int16_t command, connect::Protocol protocol, char* bytes = nullptr, int16_t length = 0);
    void sendReceive(connect::Protocol protocol, bool on);

    ReceiveShared& shared_;
    bool running_ = false;
    bool unlocked_[3] = {false, false, false};
    ReceiveText::Snapshot shown_; // what the text and count boxes were filled with
    std::string boxText_;
    uint32_t boxCount_ = 0;
    QTimer refreshTimer_;
    QElapsedTimer sinceRefresh_;
    uint64_t controlRefreshes_ = 0;
};

} // namespace receive

#pragma once
// The Diagnostics window: which ECUs are on the J1939 network, what each
// reports as wrong, and clearing it. Its own J1939 client asks the network
// (Requests for Address Claimed, the identification strings, DM2, DM11, DM3);
// the answers and every node's DM1 feed the network model, which the node
// list and the code list show.

#include "diagnostics/diagnostic_text.h"
#include "diagnostics/diagnostics_client.h"
#include "diagnostics/fault_table_model.h"
#include "diagnostics/network_model.h"
#include "diagnostics/node_table_model.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <optional>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace diagnostics {

// The connection the window works on.
struct ConnectionInfo {
    int16_t deviceId = 0;
    QString driverName;
    // The program's other J1939 client's claim: its address and NAME.
    std::optional<uint8_t> addressInUse;
    std::optional<uint64_t> nameInUse;
};

// Our NAME for this window: the program's default NAME with an ECU instance
// of its own, so that it differs from the NAME of the program's other client.
uint64_t toolName(std::optional<uint64_t> nameInUse);

class DiagnosticsWindow : public QWidget {
    Q_OBJECT
public:
    enum class Target { SelectedNode, AllNodes };

    explicit DiagnosticsWindow(
        ClockFunction clock = [] { return std::chrono::steady_clock::now(); }, QWidget* parent = nullptr);
    ~DiagnosticsWindow() override;

    // The device to work on; nothing when the program disconnected, which
    // closes the window's client.
    void setConnection(std::optional<ConnectionInfo> connection);
    void setSpnNameLookup(SpnNameLookup lookup);

    // The window's actions, as its buttons do them.
    void refreshNodes();
    void requestIds();
    void requestPreviouslyActive();
    void clearCodes(ClearKind kind);
    void saveReport();
    // Takes what the reader collected and re-evaluates the times; the window
    // does this on its own timer.
    void takeUpdates();

    void setTarget(Target target);
    void selectNode(uint8_t address);
    std::optional<uint8_t> selectedNode() const;

    const NetworkModel& network() const { return network_; }
    DiagnosticsClient& client() { return client_; }
    QString statusText() const;
    QString vinText() const;
    QString lampText(int lamp) const; // 0 MIL, 1 red stop, 2 amber warning, 3 protect
    QString staleText() const;
    QString detailsText() const;
    QTableView* nodeView() const { return nodeView_; }
    QTableView* faultView() const { return faultView_; }
    NodeTableModel& nodeTable() { return nodeTable_; }
    FaultTableModel& faultTable() { return faultTable_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* requestIdsButton() const { return requestIdsButton_; }
    QPushButton* previouslyActiveButton() const { return previouslyActiveButton_; }
    QPushButton* clearActiveButton() const { return clearActiveButton_; }
    QPushButton* clearPreviouslyActiveButton() const { return clearPreviouslyActiveButton_; }
    QPushButton* saveReportButton() const { return saveReportButton_; }
    QComboBox* targetBox() const { return targetBox_; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void openClient();
    void showClientStatus();
    void refreshViews();
    void showSelectedNode();
    // The destination of the chosen target, or nothing (told to the user).
    std::optional<uint8_t> destination();
    bool send(uint32_t pgn, uint8_t destination);
    QString nodeList(uint8_t destination) const;

    NetworkModel network_;
    DiagnosticsClient client_;
    std::optional<ConnectionInfo> connection_;
    SpnNameLookup spnName_;
    bool requestNodesWhenReady_ = false;
    DiagnosticsClient::State shownState_ = DiagnosticsClient::State::Closed;
    uint64_t shownGeneration_ = 0;
    TimePoint lastResize_{};

    NodeTableModel nodeTable_;
    FaultTableModel faultTable_;
    QLabel* statusLabel_;
    QLabel* vinLabel_;
    QComboBox* targetBox_;
    QPushButton* refreshButton_;
    QPushButton* requestIdsButton_;
    QPushButton* previouslyActiveButton_;
    QPushButton* clearActiveButton_;
    QPushButton* clearPreviouslyActiveButton_;
    QPushButton* saveReportButton_;
    QTableView* nodeView_;
    QLabel* nodeCaption_;
    std::array<QLabel*, 4> lampLabels_{};
    QLabel* staleLabel_;
    QLabel* detailsLabel_; // the chosen node's NAME decoded, IDs and clear answers
    QTableView* faultView_;
    QTimer batchTimer_; // takes a batch shortly after the reader announced one
    QTimer clockTimer_; // "last heard", staleness and clear time-outs
};

} // namespace diagnostics

#pragma once
// The Bus Monitor window: every message of the buses in one live table, a
// row per J1939 PGN and source and per J1708 MID, decoded from the loaded
// DBC files and the built-in decoders, searchable, sortable, exportable,
// with the buses' rates and loads above it. It reads through clients of its
// own, so the Receive window is not touched.

#include "monitor/bus_figures.h"
#include "monitor/message_decoder.h"
#include "monitor/message_model.h"
#include "monitor/message_store.h"
#include "monitor/monitor_reader.h"

#include <QWidget>

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;
class QTreeView;

namespace decode {
class DbcCatalog;
}

namespace monitor {

class MessageFilter;
class PlotFeed;

class MonitorWindow : public QWidget {
    Q_OBJECT
public:
    // The catalog is the program's one list of DBC files; it outlives the
    // window.
    explicit MonitorWindow(decode::DbcCatalog& catalog, MicrosecondClock clock = steadyMicroseconds(),
                           QWidget* parent = nullptr);
    ~MonitorWindow() override;

    // Opens the monitor's own clients on the connected device and starts
    // reading; the window says when the driver refuses them.
    void startMonitoring(void* clientWindow, int16_t deviceId, uint8_t protocolBits);
    // Stops reading and closes the clients (the window stays as it is).
    void stopMonitoring();
    bool isMonitoring() const { return reader_.isOpen(); }

    // One refresh of the table and figures, as the window's timer does 25
    // times a second.
    void refresh();
    void setPaused(bool paused);
    bool isPaused() const { return paused_; }
    void clear();
    // Loads DBC files as "Load DBC..." does, reporting problems in a box.
    void loadDbcFiles(const QStringList& paths);
    // Writes the table as shown (sorted and searched), with each message's
    // decoded signals after it. False (and the reason) when the file cannot
    // be written.
    bool exportCsv(const QString& fileName, QString* errorText = nullptr) const;
    // Plots the signal at index (of the view's model), or all plottable
    // signals of a message row there.
    void plotIndex(const QModelIndex& viewIndex);

    MessageModel& model() { return *model_; }
    MessageFilter& filter() { return *filter_; }
    QTreeView* view() const { return view_; }
    QLineEdit* searchBox() const { return search_; }
    QPushButton* pauseButton() const { return pauseButton_; }
    QLabel* problemLabel() const { return problems_; }
    QLabel* figuresLabel() const { return figures_; }
    QListWidget* dbcList() const { return dbcList_; }
    const MessageStore& store() const { return store_; }
    const MonitorReader& reader() const { return reader_; }
    PlotFeed& plotFeed() { return *plotFeed_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildLayout();
    void updateFigures(int64_t nowUs);
    void pollDriverCounts();
    void showDbcFiles();
    void chooseDbcFiles();
    void removeSelectedDbc();
    void chooseAndExportCsv();
    void plotSelection();
    void showContextMenu(const QPoint& position);
    uint32_t canBitRate() const;

    decode::DbcCatalog& catalog_;
    MicrosecondClock clock_;
    MessageStore store_;
    MonitorReader reader_;
    MessageDecoder decoder_;
    MessageModel* model_ = nullptr;
    MessageFilter* filter_ = nullptr;
    std::unique_ptr<PlotFeed> plotFeed_;
    RateMeter rates_;
    std::optional<DriverCounts> driverCounts_;
    std::vector<MessageSnapshot> changed_;
    bool paused_ = false;
    int64_t lastAgeUpdateUs_ = 0;
    int64_t lastFiguresUs_ = 0;
    int64_t lastStatusPollUs_ = 0;
    int64_t lastDbcCountUs_ = 0;

    QTimer* timer_ = nullptr;
    QLineEdit* search_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QPushButton* plotButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* loadDbcButton_ = nullptr;
    QPushButton* removeDbcButton_ = nullptr;
    QComboBox* bitRate_ = nullptr;
    QLabel* problems_ = nullptr;
    QLabel* figures_ = nullptr;
    QTreeView* view_ = nullptr;
    QListWidget* dbcList_ = nullptr;
};

} // namespace monitor

#include "monitor/monitor_window.h"

#include "connect/driver_binding.h"
#include "decode/dbc_catalog.h"
#include "monitor/csv.h"
#include "monitor/data_bytes_delegate.h"
#include "monitor/message_filter.h"
#include "monitor/plot_feed.h"
#include "platform/message_service.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <array>
#include <unordered_map>

namespace monitor {

namespace {
constexpr int kRefreshIntervalMs = 40; // 25 refreshes a second
constexpr int64_t kAgeUpdateUs = 200'000;
constexpr int64_t kFiguresUpdateUs = 250'000;
constexpr int64_t kStatusPollUs = 1'000'000;
constexpr int64_t kDbcCountUs = 1'000'000;
constexpr uint32_t kDefaultCanBitRate = 250000;

QString errorCaption() {
    return QStringLiteral("Error");
}
} // namespace

MonitorWindow::MonitorWindow(decode::DbcCatalog& catalog, MicrosecondClock clock, QWidget* parent)
    : QWidget(parent, Qt::Window), catalog_(catalog), clock_(std::move(clock)), reader_(store_, clock_),
      plotFeed_(std::make_unique<PlotFeed>()) {
    setWindowTitle(QStringLiteral("Bus Monitor"));
    setAccessibleName(QStringLiteral("Bus Monitor"));
    decoder_.setDatabase(&catalog_.database());
    model_ = new MessageModel(decoder_, this);
    filter_ = new MessageFilter(this);
    filter_->setSourceModel(model_);
    buildLayout();
    showDbcFiles();
    connect(&catalog_, &decode::DbcCatalog::changed, this, [this] {
        decoder_.setDatabase(&catalog_.database());
        model_->redecode();
        showDbcFiles();
    });
    timer_ = new QTimer(this);
    timer_->setInterval(kRefreshIntervalMs);
    connect(timer_, &QTimer::timeout, this, &MonitorWindow::refresh);
    resize(1100, 600);
}

MonitorWindow::~MonitorWindow() {
    reader_.close();
}

void MonitorWindow::buildLayout() {
    search_ = new QLineEdit(this);
    search_->setPlaceholderText(QStringLiteral("Search PGN, address, name, signal or data bytes"));
    search_->setAccessibleName(QStringLiteral("Search"));
    search_->setClearButtonEnabled(true);
    connect(search_, &QLineEdit::textChanged, filter_, &MessageFilter::setSearchText);

    auto makeButton = [this](const QString& text, auto slot) {
        auto* button = new QPushButton(text, this);
        button->setAccessibleName(QString(text).remove(QStringLiteral("...")));
        connect(button, &QPushButton::clicked, this, slot);
        return button;
    };
    pauseButton_ = new QPushButton(QStringLiteral("Pause"), this);
    pauseButton_->setCheckable(true);
    pauseButton_->setAccessibleName(QStringLiteral("Pause"));
    pauseButton_->setToolTip(QStringLiteral("Hold the table still; counting goes on"));
    connect(pauseButton_, &QPushButton::toggled, this, &MonitorWindow::setPaused);
    clearButton_ = makeButton(QStringLiteral("Clear"), &MonitorWindow::clear);
    plotButton_ = makeButton(QStringLiteral("Plot"), &MonitorWindow::plotSelection);
    plotButton_->setToolTip(QStringLiteral("Plot the selected signal, or the selected message's signals"));
    exportButton_ = makeButton(QStringLiteral("Export CSV..."), &MonitorWindow::chooseAndExportCsv);
    loadDbcButton_ = makeButton(QStringLiteral("Load DBC..."), &MonitorWindow::chooseDbcFiles);

    bitRate_ = new QComboBox(this);
    bitRate_->setAccessibleName(QStringLiteral("CAN bit rate"));
    for (uint32_t rate : {125000u, 250000u, 500000u, 1000000u})
        bitRate_->addItem(QStringLiteral("%1 kbit/s").arg(rate / 1000), rate);
    bitRate_->setCurrentIndex(bitRate_->findData(kDefaultCanBitRate));
    auto* bitRateLabel = new QLabel(QStringLiteral("CAN bit rate:"), this);
    bitRateLabel->setBuddy(bitRate_);

    auto* tools = new QHBoxLayout;
    tools->addWidget(search_, 1);
    for (QWidget* widget : std::initializer_list<QWidget*>{
             pauseButton_, clearButton_, plotButton_, exportButton_, loadDbcButton_, bitRateLabel, bitRate_})
        tools->addWidget(widget);

    problems_ = new QLabel(this);
    problems_->setWordWrap(true);
    problems_->setStyleSheet(QStringLiteral("color: #a01010"));
    problems_->setAccessibleName(QStringLiteral("Monitor problems"));
    problems_->hide();
    figures_ = new QLabel(QStringLiteral("Not monitoring"), this);
    figures_->setAccessibleName(QStringLiteral("Bus figures"));
    figures_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    figures_->setFocusPolicy(Qt::TabFocus);

    view_ = new QTreeView(this);
    view_->setModel(filter_);
    view_->setSortingEnabled(true);
    view_->sortByColumn(MessageModel::Identifier, Qt::AscendingOrder);
    view_->setUniformRowHeights(true);
    view_->setAllColumnsShowFocus(true);
    view_->setAlternatingRowColors(true);
    view_->setAccessibleName(QStringLiteral("Messages"));
    view_->setItemDelegateForColumn(MessageModel::Data, new DataBytesDelegate(view_));
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view_, &QTreeView::customContextMenuRequested, this, &MonitorWindow::showContextMenu);
    QHeaderView* header = view_->header();
    header->setStretchLastSection(true);
    const std::array<int, MessageModel::ColumnCount> widths = {70, 110, 200, 80, 90, 70, 80, 70, 60, 260};
    for (int column = 0; column < MessageModel::ColumnCount; ++column)
        view_->setColumnWidth(column, widths[std::size_t(column)]);

    dbcList_ = new QListWidget(this);
    dbcList_->setAccessibleName(QStringLiteral("DBC files"));
    removeDbcButton_ = makeButton(QStringLiteral("Remove DBC"), &MonitorWindow::removeSelectedDbc);
    auto* dbcPanel = new QWidget(this);
    auto* dbcLayout = new QVBoxLayout(dbcPanel);
    dbcLayout->setContentsMargins(0, 0, 0, 0);
    auto* dbcTitle = new QLabel(QStringLiteral("DBC files:"), dbcPanel);
    dbcTitle->setBuddy(dbcList_);
    dbcLayout->addWidget(dbcTitle);
    auto* dbcRow = new QHBoxLayout;
    dbcRow->addWidget(dbcList_, 1);
    dbcRow->addWidget(removeDbcButton_, 0, Qt::AlignTop);
    dbcLayout->addLayout(dbcRow);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(view_);
    splitter->addWidget(dbcPanel);
    splitter->setStretchFactor(0, 5);
    splitter->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(problems_);
    layout->addWidget(figures_);
    layout->addWidget(splitter, 1);

    setTabOrder(search_, pauseButton_);
    setTabOrder(pauseButton_, clearButton_);
    setTabOrder(clearButton_, plotButton_);
    setTabOrder(plotButton_, exportButton_);
    setTabOrder(exportButton_, loadDbcButton_);
    setTabOrder(loadDbcButton_, bitRate_);
    setTabOrder(bitRate_, figures_);
    setTabOrder(figures_, view_);
    setTabOrder(view_, dbcList_);
    setTabOrder(dbcList_, removeDbcButton_);
}

void MonitorWindow::startMonitoring(void* clientWindow, int16_t deviceId, uint8_t protocolBits) {
    reader_.open(clientWindow, deviceId, protocolBits);
    problems_->setText(reader_.problems());
    problems_->setVisible(!reader_.problems().isEmpty());
    driverCounts_.reset();
    rates_.clear();
    if (!timer_->isActive())
        timer_->start();
    refresh();
}

void MonitorWindow::stopMonitoring() {
    reader_.close();
    timer_->stop();
    refresh();
    figures_->setText(QStringLiteral("Not monitoring. ") + figures_->text());
}

void MonitorWindow::closeEvent(QCloseEvent* event) {
    stopMonitoring();
    QWidget::closeEvent(event);
}

void MonitorWindow::refresh() {
    const int64_t now = clock_();
    if (!paused_) {
        if (store_.takeChanged(changed_) > 0) {
            model_->apply(changed_);
            plotFeed_->feed(*model_);
        }
        if (now - lastAgeUpdateUs_ >= kAgeUpdateUs || now < lastAgeUpdateUs_) {
            lastAgeUpdateUs_ = now;
            model_->setNow(now);
        }
    }
    if (now - lastStatusPollUs_ >= kStatusPollUs || now < lastStatusPollUs_) {
        lastStatusPollUs_ = now;
        pollDriverCounts();
    }
    if (now - lastFiguresUs_ >= kFiguresUpdateUs || now < lastFiguresUs_) {
        lastFiguresUs_ = now;
        updateFigures(now);
    }
    if (now - lastDbcCountUs_ >= kDbcCountUs || now < lastDbcCountUs_) {
        lastDbcCountUs_ = now;
        showDbcFiles();
    }
}

void MonitorWindow::pollDriverCounts() {
    // The hardware status layout read here is our own driver's; other
    // drivers lay theirs out differently.
    const connect::DriverBinding& binding = connect::driverBinding();
    if (!reader_.isOpen() || binding.libraryFileName.find("ZT121032") == std::string::npos ||
        reader_.j1939Client() < 0) {
        driverCounts_.reset();
        return;
    }
    std::array<uint8_t, kHardwareStatusSize> status{};
    const int16_t result = binding.getHardwareStatus(
        reader_.j1939Client(), reinterpret_cast<char*>(status.data()), int16_t(status.size()), 0);
    if (result != 0) {
        driverCounts_.reset();
        return;
    }
    driverCounts_ = parseHardwareStatus(status);
}

uint32_t MonitorWindow::canBitRate() const {
    return bitRate_->currentData().toUInt();
}

void MonitorWindow::updateFigures(int64_t nowUs) {
    const BusTotals totals = store_.totals();
    rates_.sample(nowUs, totals);
    const BusRates rates = rates_.rates(canBitRate());
    QStringList parts;
    parts << QStringLiteral("J1939: %1 frames/s, bus load %2 %")
                 .arg(rates.j1939PerSecond, 0, 'f', 0)
                 .arg(rates.j1939LoadPercent, 0, 'f', 1);
    parts << QStringLiteral("J1708: %1 messages/s, line load %2 %")
                 .arg(rates.j1708PerSecond, 0, 'f', 0)
                 .arg(rates.j1708LoadPercent, 0, 'f', 1);
    parts << QStringLiteral("received %1").arg(totals.j1939Frames + totals.j1708Frames);
    if (totals.withoutRow > 0)
        parts << QStringLiteral("%1 without a row (table full)").arg(totals.withoutRow);
    if (driverCounts_)
        parts << QStringLiteral("driver dropped %1 (queue full), %2 (too long); bus %3")
                     .arg(driverCounts_->droppedQueueFull)
                     .arg(driverCounts_->droppedTooLong)
                     .arg(busStateText(driverCounts_->busState));
    if (driverCounts_ && driverCounts_->recorderLost > 0)
        parts << QStringLiteral("recorder lost %1").arg(driverCounts_->recorderLost);
    if (driverCounts_ && driverCounts_->replaySkipped > 0)
        parts << QStringLiteral("replay skipped %1 lines").arg(driverCounts_->replaySkipped);
    if (paused_)
        parts << QStringLiteral("table paused");
    figures_->setText(parts.join(QStringLiteral("  |  ")));
}

void MonitorWindow::setPaused(bool paused) {
    paused_ = paused;
    if (pauseButton_->isChecked() != paused)
        pauseButton_->setChecked(paused);
    if (!paused)
        refresh();
    updateFigures(clock_());
}

void MonitorWindow::clear() {
    store_.clear();
    model_->clear();
    rates_.clear();
    changed_.clear();
    updateFigures(clock_());
}

void MonitorWindow::showDbcFiles() {
    // How many of the table's J1939 rows each file decodes: a PGN counts for
    // the last file that defines it, as that one's message is used.
    std::unordered_map<uint32_t, std::size_t> fileOfPgn;
    const auto& files = catalog_.files();
    for (std::size_t i = 0; i < files.size(); ++i)
        for (uint32_t pgn : files[i].j1939Pgns)
            fileOfPgn[pgn] = i;
    std::vector<std::size_t> matched(files.size(), 0);
    for (int row = 0; row < model_->messageCount(); ++row) {
        const MessageKey& key = model_->snapshotAt(row).key;
        if (key.protocol != BusProtocol::J1939)
            continue;
        auto found = fileOfPgn.find(key.id);
        if (found != fileOfPgn.end())
            ++matched[found->second];
    }
    const int selected = dbcList_->currentRow();
    QStringList lines;
    for (std::size_t i = 0; i < files.size(); ++i)
        lines << QStringLiteral("%1: %2 messages, %3 rows matched%4")
                     .arg(QFileInfo(files[i].path).fileName())
                     .arg(files[i].activeCount)
                     .arg(matched[i])
                     .arg(catalog_.usingDefault() ? QStringLiteral(" (loaded by default)") : QString());
    bool same = dbcList_->count() == int(lines.size());
    for (int i = 0; same && i < dbcList_->count(); ++i)
        same = dbcList_->item(i)->text() == lines[i];
    if (same)
        return;
    dbcList_->clear();
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto* item = new QListWidgetItem(lines[int(i)], dbcList_);
        item->setData(Qt::UserRole, files[i].path);
        item->setToolTip(files[i].path);
    }
    if (selected >= 0 && selected < dbcList_->count())
        dbcList_->setCurrentRow(selected);
}

void MonitorWindow::loadDbcFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    const QStringList messages = catalog_.load(paths);
    showDbcFiles();
    if (!messages.isEmpty())
        platform::MessageService::messageBox(this, messages.join(QLatin1Char('\n')), errorCaption(),
                                             platform::MessageIcon::Warning);
}

void MonitorWindow::chooseDbcFiles() {
    platform::FileRequest request;
    request.parent = this;
    request.filter = QStringLiteral("DBC files (*.dbc);;All files (*)");
    loadDbcFiles(platform::MessageService::openFilesDialog(request));
}

void MonitorWindow::removeSelectedDbc() {
    QListWidgetItem* item = dbcList_->currentItem();
    if (item)
        catalog_.remove(item->data(Qt::UserRole).toString());
}

bool MonitorWindow::exportCsv(const QString& fileName, QString* errorText) const {
    QString text = csvRecord({QStringLiteral("Protocol"), QStringLiteral("PGN / ID"), QStringLiteral("Name"),
                              QStringLiteral("Source"), QStringLiteral("Destination"),
                              QStringLiteral("Count"), QStringLiteral("Period"), QStringLiteral("Jitter"),
                              QStringLiteral("Age"), QStringLiteral("Data"), QStringLiteral("Signal"),
                              QStringLiteral("Value"), QStringLiteral("Unit"), QStringLiteral("Raw")});
    for (int row = 0; row < filter_->rowCount(); ++row) {
        const QModelIndex shown = filter_->mapToSource(filter_->index(row, 0));
        QStringList message;
        for (int column = 0; column < MessageModel::ColumnCount; ++column)
            message << model_->index(shown.row(), column).data().toString();
        text += csvRecord(message + QStringList{QString(), QString(), QString(), QString()});
        for (const SignalRow& signal : model_->signalsAt(shown.row())) {
            QStringList line{message[MessageModel::Protocol], message[MessageModel::Identifier],
                             message[MessageModel::Name], message[MessageModel::Source]};
            while (line.size() < MessageModel::ColumnCount)
                line << QString();
            line << signal.name << signal.value << signal.unit << signal.raw;
            text += csvRecord(line);
        }
    }
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        if (errorText)
            *errorText = QStringLiteral("Could not write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void MonitorWindow::chooseAndExportCsv() {
    platform::FileRequest request;
    request.parent = this;
    request.save = true;
    request.filter = QStringLiteral("CSV files (*.csv);;All files (*)");
    request.defaultExtension = QStringLiteral("csv");
    request.initialName = QStringLiteral("bus_monitor.csv");
    const std::optional<QString> path = platform::MessageService::fileDialog(request);
    if (!path)
        return;
    QString error;
    if (!exportCsv(*path, &error))
        platform::MessageService::messageBox(this, error, errorCaption(), platform::MessageIcon::Error);
}

void MonitorWindow::plotIndex(const QModelIndex& viewIndex) {
    if (!viewIndex.isValid())
        return;
    const QModelIndex source = filter_->mapToSource(viewIndex);
    QString error;
    if (source.parent().isValid()) {
        const int messageRow = source.parent().row();
        const SignalRow& signal = model_->signalsAt(messageRow)[std::size_t(source.row())];
        if (!signal.plottable)
            error = QStringLiteral("%1 has no numeric value to plot.").arg(signal.name);
        else
            plotFeed_->plot(*model_, messageRow, signal.name, signal.unit, &error);
    } else {
        const int messageRow = source.row();
        bool any = false;
        for (const SignalRow& signal : model_->signalsAt(messageRow)) {
            if (!signal.plottable)
                continue;
            any = true;
            if (!plotFeed_->plot(*model_, messageRow, signal.name, signal.unit, &error))
                break;
        }
        if (!any && error.isEmpty())
            error = QStringLiteral("This message has no numeric signal to plot.");
    }
    if (!error.isEmpty())
        platform::MessageService::messageBox(this, error, QStringLiteral("Plot"),
                                             platform::MessageIcon::Information);
}

void MonitorWindow::plotSelection() {
    plotIndex(view_->currentIndex().siblingAtColumn(0));
}

void MonitorWindow::showContextMenu(const QPoint& position) {
    // The Menu key asks at no particular row: then the current one.
    QModelIndex at = view_->indexAt(position);
    if (!at.isValid())
        at = view_->currentIndex();
    if (!at.isValid())
        return;
    QMenu menu(this);
    QAction* plot = menu.addAction(QStringLiteral("Plot"));
    if (menu.exec(view_->viewport()->mapToGlobal(position)) == plot)
        plotIndex(at.siblingAtColumn(0));
}

} // namespace monitor

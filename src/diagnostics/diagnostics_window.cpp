#include "diagnostics/diagnostics_window.h"

#include "connect/address_claim.h"
#include "decode/pgns.h"
#include "diagnostics/html_report.h"
#include "platform/dialog_template.h"
#include "platform/message_service.h"
#include "platform/posted_message.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace diagnostics {

namespace {
constexpr auto kBatchDelay = std::chrono::milliseconds(100);
constexpr auto kClockPeriod = std::chrono::milliseconds(500);
const QString kCaption = QStringLiteral("Diagnostics");

uint64_t nameOf(const std::array<uint8_t, 10>& claim) {
    uint64_t name = 0;
    for (int i = 0; i < 8; ++i)
        name |= uint64_t(claim[std::size_t(1 + i)]) << (8 * i);
    return name;
}

QString addressText(uint8_t address) {
    return QString::fromStdString(hexByte(address));
}
} // namespace

uint64_t toolName(std::optional<uint64_t> nameInUse) {
    connect::AddressClaimValues values;
    for (uint8_t instance = 1; instance < 8; ++instance) {
        values.ecuInstance = instance;
        const uint64_t name = nameOf(connect::packAddressClaim(values));
        if (name != nameInUse)
            return name;
    }
    return nameOf(connect::packAddressClaim(values));
}

DiagnosticsWindow::DiagnosticsWindow(ClockFunction clock, QWidget* parent)
    : QWidget(parent, Qt::Window), network_(std::move(clock)), client_(connect::driverBinding()),
      nodeTable_(network_), faultTable_(network_) {
    setWindowTitle(kCaption);
    resize(1100, 640);

    statusLabel_ = new QLabel(this);
    statusLabel_->setWordWrap(true);
    // Texts from the network are shown as they are, never as markup.
    statusLabel_->setTextFormat(Qt::PlainText);
    statusLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    vinLabel_ = new QLabel(this);
    vinLabel_->setTextFormat(Qt::PlainText);
    vinLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont vinFont = vinLabel_->font();
    vinFont.setBold(true);
    vinLabel_->setFont(vinFont);

    auto makeButton = [this](const QString& text, auto action) {
        auto* button = new QPushButton(text, this);
        connect(button, &QPushButton::clicked, this, action);
        return button;
    };
    refreshButton_ = makeButton(QStringLiteral("&Refresh"), [this] { refreshNodes(); });
    requestIdsButton_ = makeButton(QStringLiteral("Request &IDs"), [this] { requestIds(); });
    previouslyActiveButton_ =
        makeButton(QStringLiteral("&Previously active"), [this] { requestPreviouslyActive(); });
    clearActiveButton_ =
        makeButton(QStringLiteral("Clear &active (DM11)"), [this] { clearCodes(ClearKind::Active); });
    clearPreviouslyActiveButton_ = makeButton(QStringLiteral("Clear previously a&ctive (DM3)"),
                                              [this] { clearCodes(ClearKind::PreviouslyActive); });
    saveReportButton_ = makeButton(QStringLiteral("&Save Report..."), [this] { saveReport(); });
    targetBox_ = new QComboBox(this);
    targetBox_->addItems({QStringLiteral("Selected node"), QStringLiteral("All nodes (global)")});
    auto* targetLabel = new QLabel(QStringLiteral("Sen&d to:"), this);
    targetLabel->setBuddy(targetBox_);
    targetBox_->setAccessibleName(QStringLiteral("Send to"));

    nodeView_ = new QTableView(this);
    nodeView_->setModel(&nodeTable_);
    nodeView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    nodeView_->setSelectionMode(QAbstractItemView::SingleSelection);
    nodeView_->setTabKeyNavigation(false);
    nodeView_->verticalHeader()->hide();
    nodeView_->setAccessibleName(QStringLiteral("Nodes"));
    connect(nodeView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { showSelectedNode(); });

    nodeCaption_ = new QLabel(this);
    for (QLabel*& lamp : lampLabels_) {
        lamp = new QLabel(this);
        lamp->setMargin(4);
        lamp->setTextFormat(Qt::PlainText);
        lamp->setFocusPolicy(Qt::NoFocus);
    }
    staleLabel_ = new QLabel(this);
    detailsLabel_ = new QLabel(this);
    detailsLabel_->setTextFormat(Qt::PlainText);
    detailsLabel_->setWordWrap(true);
    detailsLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    faultView_ = new QTableView(this);
    faultView_->setModel(&faultTable_);
    faultView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    faultView_->setTabKeyNavigation(false);
    faultView_->verticalHeader()->hide();
    faultView_->setWordWrap(false);
    faultView_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    faultView_->horizontalHeader()->setSectionResizeMode(FaultTableModel::Fmi, QHeaderView::Stretch);
    faultView_->setAccessibleName(QStringLiteral("Trouble codes"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(refreshButton_);
    buttons->addWidget(requestIdsButton_);
    buttons->addWidget(previouslyActiveButton_);
    buttons->addWidget(clearActiveButton_);
    buttons->addWidget(clearPreviouslyActiveButton_);
    buttons->addSpacing(12);
    buttons->addWidget(targetLabel);
    buttons->addWidget(targetBox_);
    buttons->addStretch();
    buttons->addWidget(saveReportButton_);

    auto* lamps = new QHBoxLayout;
    lamps->addWidget(nodeCaption_);
    for (QLabel* lamp : lampLabels_)
        lamps->addWidget(lamp);
    lamps->addWidget(staleLabel_);
    lamps->addStretch();

    auto* lower = new QWidget(this);
    auto* lowerLayout = new QVBoxLayout(lower);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    lowerLayout->addLayout(lamps);
    lowerLayout->addWidget(detailsLabel_);
    lowerLayout->addWidget(faultView_);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->addWidget(nodeView_);
    splitter->addWidget(lower);
    splitter->setChildrenCollapsible(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(statusLabel_);
    layout->addWidget(vinLabel_);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    setTabOrder(refreshButton_, requestIdsButton_);
    setTabOrder(requestIdsButton_, previouslyActiveButton_);
    setTabOrder(previouslyActiveButton_, clearActiveButton_);
    setTabOrder(clearActiveButton_, clearPreviouslyActiveButton_);
    setTabOrder(clearPreviouslyActiveButton_, targetBox_);
    setTabOrder(targetBox_, saveReportButton_);
    setTabOrder(saveReportButton_, nodeView_);
    setTabOrder(nodeView_, faultView_);

    batchTimer_.setSingleShot(true);
    batchTimer_.setInterval(kBatchDelay);
    connect(&batchTimer_, &QTimer::timeout, this, [this] { takeUpdates(); });
    clockTimer_.setInterval(kClockPeriod);
    connect(&clockTimer_, &QTimer::timeout, this, [this] { takeUpdates(); });

    showClientStatus();
    refreshViews();
}

DiagnosticsWindow::~DiagnosticsWindow() {
    client_.close();
}

void DiagnosticsWindow::setConnection(std::optional<ConnectionInfo> connection) {
    client_.close();
    connection_ = std::move(connection);
    if (connection_ && isVisible())
        openClient();
    showClientStatus();
}

void DiagnosticsWindow::setSpnNameLookup(SpnNameLookup lookup) {
    spnName_ = lookup;
    faultTable_.setSpnNameLookup(std::move(lookup));
    faultTable_.refresh();
}

void DiagnosticsWindow::openClient() {
    if (!connection_)
        return;
    DiagnosticsClient::Options options;
    options.deviceId = connection_->deviceId;
    options.addressInUse = connection_->addressInUse;
    options.name = toolName(connection_->nameInUse);
    requestNodesWhenReady_ = true;
    client_.open(this, options);
    clockTimer_.start();
    showClientStatus();
}

void DiagnosticsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (client_.status().state == DiagnosticsClient::State::Closed)
        openClient();
}

void DiagnosticsWindow::closeEvent(QCloseEvent* event) {
    // The window lets its address go while it is closed.
    client_.close();
    clockTimer_.stop();
    showClientStatus();
    QWidget::closeEvent(event);
}

bool DiagnosticsWindow::event(QEvent* event) {
    if (const platform::PostedMessageEvent* posted = platform::postedMessageOf(event)) {
        if (posted->message == platform::kUserMessage && posted->wParam == DIAG_CHANGED) {
            if (!batchTimer_.isActive())
                batchTimer_.start();
            return true;
        }
    }
    return QWidget::event(event);
}

void DiagnosticsWindow::takeUpdates() {
    for (const J1939Message& message : client_.takeMessages())
        network_.apply(message);
    network_.updateTimes();
    showClientStatus();
    refreshViews();
}

void DiagnosticsWindow::showClientStatus() {
    const DiagnosticsClient::Status status = client_.status();
    QString text;
    if (!connection_)
        text = QStringLiteral("Not connected: connect to a device to read its J1939 network.");
    else if (status.state == DiagnosticsClient::State::Closed)
        text = QStringLiteral("Closed: this window's J1939 client opens when the window is shown.");
    else
        text = status.message;
    statusLabel_->setText(text);
    if (status.state == DiagnosticsClient::State::Ready && requestNodesWhenReady_) {
        requestNodesWhenReady_ = false;
        send(decode::kPgnAddressClaimed, kGlobalAddress);
    }
    const bool ready = status.state == DiagnosticsClient::State::Ready;
    nodeTable_.setOwnAddress(status.address);
    for (QPushButton* button : {refreshButton_, requestIdsButton_, previouslyActiveButton_,
                                clearActiveButton_, clearPreviouslyActiveButton_})
        button->setEnabled(ready);
    shownState_ = status.state;
}

void DiagnosticsWindow::refreshViews() {
    const std::optional<uint8_t> selected = selectedNode();
    const bool rowsChanged = nodeTable_.refresh();
    if (selected && nodeTable_.rowOf(*selected) >= 0 && selectedNode() != selected)
        selectNode(*selected);
    else if (!selectedNode() && nodeTable_.rowCount() > 0)
        nodeView_->selectRow(0);
    std::string vin;
    for (const std::string& field : network_.vin())
        vin += field;
    vinLabel_->setText(QStringLiteral("VIN: %1").arg(vin.empty() ? QStringLiteral("not received")
                                                                 : QString::fromStdString(vin)));
    // Sizing columns to their contents reads every cell: only when rows came
    // or went, or something shown changed, at most once a second.
    const TimePoint now = network_.now();
    if (rowsChanged ||
        (shownGeneration_ != network_.generation() && now - lastResize_ >= std::chrono::seconds(1))) {
        shownGeneration_ = network_.generation();
        lastResize_ = now;
        nodeView_->resizeColumnsToContents();
    }
    showSelectedNode();
}

void DiagnosticsWindow::showSelectedNode() {
    const std::optional<uint8_t> address = selectedNode();
    const Node* node = address ? network_.node(*address) : nullptr;
    faultTable_.showNode(address);
    nodeCaption_->setText(node ? QStringLiteral("Node %1:").arg(addressText(node->address))
                               : QStringLiteral("No node chosen."));
    const std::vector<LampWords> words =
        node && node->active ? lampWords(node->active->lamps) : std::vector<LampWords>{};
    static const char* const captions[4] = {"MIL", "Red stop", "Amber warning", "Protect"};
    for (std::size_t i = 0; i < lampLabels_.size(); ++i) {
        QLabel* lamp = lampLabels_[i];
        if (i < words.size()) {
            lamp->setText(QStringLiteral("%1: %2").arg(QLatin1String(words[i].caption),
                                                       QString::fromStdString(words[i].state)));
            lamp->setStyleSheet(QStringLiteral("QLabel { border: 3px solid %1; border-radius: 4px; }")
                                    .arg(QLatin1String(words[i].colour)));
        } else {
            lamp->setText(QStringLiteral("%1: no DM1").arg(QLatin1String(captions[i])));
            lamp->setStyleSheet(QStringLiteral("QLabel { border: 3px solid #d0d0d0; border-radius: 4px; }"));
        }
        lamp->setAccessibleName(lamp->text());
    }
    QStringList details;
    if (node) {
        details << (node->name ? QStringLiteral("NAME %1: %2")
                                     .arg(QString::fromStdString(nameHex(*node->name)),
                                          QString::fromStdString(nameDescription(*node->name)))
                               : QStringLiteral("NAME: not claimed"));
        auto id = [](const char* caption, const std::optional<std::vector<std::string>>& fields) {
            return QStringLiteral("%1: %2").arg(QLatin1String(caption),
                                                fields ? QString::fromStdString(idText(fields))
                                                       : QStringLiteral("not received"));
        };
        details << id("Component ID", node->componentId) << id("Software ID", node->softwareId)
                << id("ECU identification", node->ecuId);
        for (ClearKind kind : {ClearKind::Active, ClearKind::PreviouslyActive})
            if (node->clear(kind).outcome != ClearOutcome::None)
                details << QStringLiteral("%1: %2").arg(
                    kind == ClearKind::Active ? QStringLiteral("Clear active (DM11)")
                                              : QStringLiteral("Clear previously active (DM3)"),
                    QString::fromStdString(clearOutcomeText(node->clear(kind).outcome)));
    }
    detailsLabel_->setText(details.join(QLatin1Char('\n')));
    if (node && node->activeStale)
        staleLabel_->setText(QStringLiteral("Stale: no DM1 for %1")
                                 .arg(QString::fromStdString(ageText(node->activeReceived, network_.now()))
                                          .replace(QStringLiteral(" ago"), QString())));
    else
        staleLabel_->clear();
}

std::optional<uint8_t> DiagnosticsWindow::selectedNode() const {
    const QModelIndex current = nodeView_->selectionModel()->currentIndex();
    const int address = current.isValid() ? nodeTable_.addressAt(current.row()) : -1;
    return address >= 0 ? std::optional(uint8_t(address)) : std::nullopt;
}

void DiagnosticsWindow::selectNode(uint8_t address) {
    const int row = nodeTable_.rowOf(address);
    if (row >= 0)
        nodeView_->selectRow(row);
}

void DiagnosticsWindow::setTarget(Target target) {
    targetBox_->setCurrentIndex(target == Target::AllNodes ? 1 : 0);
}

QString DiagnosticsWindow::statusText() const {
    return statusLabel_->text();
}

QString DiagnosticsWindow::vinText() const {
    return vinLabel_->text();
}

QString DiagnosticsWindow::lampText(int lamp) const {
    return lamp >= 0 && lamp < int(lampLabels_.size()) ? lampLabels_[std::size_t(lamp)]->text() : QString();
}

QString DiagnosticsWindow::detailsText() const {
    return detailsLabel_->text();
}

QString DiagnosticsWindow::staleText() const {
    return staleLabel_->text();
}

std::optional<uint8_t> DiagnosticsWindow::destination() {
    if (targetBox_->currentIndex() == 1)
        return kGlobalAddress;
    if (const std::optional<uint8_t> node = selectedNode())
        return node;
    platform::MessageService::messageBox(
        this, QStringLiteral("Choose a node in the list first, or send to all nodes."), kCaption,
        platform::MessageIcon::Information);
    return std::nullopt;
}

bool DiagnosticsWindow::send(uint32_t pgn, uint8_t destination) {
    if (client_.sendRequest(pgn, destination))
        return true;
    statusLabel_->setText(client_.status().message +
                          QStringLiteral(" The driver did not send the last request."));
    return false;
}

void DiagnosticsWindow::refreshNodes() {
    send(decode::kPgnAddressClaimed, kGlobalAddress);
}

void DiagnosticsWindow::requestIds() {
    const std::optional<uint8_t> to = destination();
    if (!to)
        return;
    // The answers are longer than a frame: the driver's transport protocol
    // brings them in whole.
    for (uint32_t pgn : {decode::kPgnComponentId, decode::kPgnSoftwareId, decode::kPgnEcuId, decode::kPgnVin})
        if (!send(pgn, *to))
            return;
}

void DiagnosticsWindow::requestPreviouslyActive() {
    if (const std::optional<uint8_t> to = destination())
        send(decode::kPgnDm2, *to);
}

QString DiagnosticsWindow::nodeList(uint8_t destination) const {
    auto describe = [](const Node& node) {
        QString text = addressText(node.address);
        if (node.name)
            text += QStringLiteral(" (NAME %1)").arg(QString::fromStdString(nameHex(*node.name)));
        return text;
    };
    if (destination != kGlobalAddress) {
        const Node* node = network_.node(destination);
        return node ? QStringLiteral("the ECU at %1").arg(describe(*node))
                    : QStringLiteral("the ECU at %1").arg(addressText(destination));
    }
    QStringList nodes;
    for (const auto& [address, node] : network_.nodes())
        nodes << describe(node);
    return nodes.isEmpty()
               ? QStringLiteral("every ECU on the network (none listed yet)")
               : QStringLiteral("every ECU on the network: %1").arg(nodes.join(QStringLiteral(", ")));
}

void DiagnosticsWindow::clearCodes(ClearKind kind) {
    const std::optional<uint8_t> to = destination();
    if (!to)
        return;
    const bool active = kind == ClearKind::Active;
    const QString what =
        active
            ? QStringLiteral("the active trouble codes (DM11) and the data the ECUs keep with them, such as "
                             "freeze frames")
            : QStringLiteral(
                  "the previously active trouble codes (DM3) and the data the ECUs keep with them");
    const QString question =
        QStringLiteral(
            "Erase %1 on %2?\n\nThis cannot be undone; codes whose fault is still present come back.")
            .arg(what, nodeList(*to));
    if (platform::MessageService::messageBox(this, question, kCaption, platform::MessageIcon::Warning,
                                             platform::MessageButtons::YesNo) != platform::IDYES)
        return;
    if (!send(active ? decode::kPgnDm11 : decode::kPgnDm3, *to))
        return;
    network_.clearRequested(kind, *to);
    refreshViews();
}

void DiagnosticsWindow::saveReport() {
    platform::FileRequest request;
    request.parent = this;
    request.save = true;
    request.filter = QStringLiteral("HTML Files (*.html);;All Files (*)");
    request.defaultExtension = QStringLiteral("html");
    request.initialName = QStringLiteral("diagnostics.html");
    const std::optional<QString> path = platform::MessageService::fileDialog(request);
    if (!path)
        return;
    takeUpdates();
    ReportHeader header;
    header.dateTime =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")).toStdString();
    header.device = connection_ ? std::to_string(connection_->deviceId) : "not connected";
    header.driver = connection_ ? connection_->driverName.toStdString() : std::string();
    header.ownAddress = statusLabel_->text().toStdString();
    const std::string html = htmlReport(header, network_, spnName_);
    QFile file(*path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(html.data(), qint64(html.size())) != qint64(html.size()) || !file.flush()) {
        platform::MessageService::messageBox(
            this, QStringLiteral("The report could not be written to %1: %2").arg(*path, file.errorString()),
            QStringLiteral("Error"), platform::MessageIcon::Error);
    }
}

} // namespace diagnostics

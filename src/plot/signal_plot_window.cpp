#include "plot/signal_plot_window.h"

#include "plot/csv_export.h"
#include "plot/plot_canvas.h"
#include "plot/plot_data.h"
#include "plot/signal_table_model.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableView>
#include <QVBoxLayout>

namespace plot {

namespace {

QPushButton* makeButton(const QString& text, const QString& description, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setAccessibleName(QString(text).remove(QStringLiteral("...")));
    button->setAccessibleDescription(description);
    button->setToolTip(description);
    button->setAutoDefault(false);
    return button;
}

QString withSuffix(QString fileName, const QString& suffix) {
    if (!fileName.endsWith(suffix, Qt::CaseInsensitive))
        fileName += suffix;
    return fileName;
}

} // namespace

SignalPlotWindow::SignalPlotWindow(QWidget* parent)
    : QWidget(parent, Qt::Window), data_(std::make_unique<PlotData>()) {
    setWindowTitle(QStringLiteral("Signal Plot"));

    pauseButton_ = makeButton(QStringLiteral("Pause"), QStringLiteral("Hold the view still (Space)"), this);
    pauseButton_->setCheckable(true);
    auto* zoomInButton =
        makeButton(QStringLiteral("Zoom In"), QStringLiteral("Show a shorter time (+)"), this);
    auto* zoomOutButton =
        makeButton(QStringLiteral("Zoom Out"), QStringLiteral("Show a longer time (-)"), this);
    auto* liveButton =
        makeButton(QStringLiteral("Live"), QStringLiteral("Follow the newest samples (Home)"), this);
    auto* scaleLabel = new QLabel(QStringLiteral("&Scale:"), this);
    scaleModeBox_ = new QComboBox(this);
    scaleModeBox_->addItem(QStringLiteral("Per signal"));
    scaleModeBox_->addItem(QStringLiteral("Per unit"));
    scaleModeBox_->setAccessibleName(QStringLiteral("Scale"));
    scaleLabel->setBuddy(scaleModeBox_);
    auto* pngButton =
        makeButton(QStringLiteral("Export PNG..."), QStringLiteral("Save the plot as a picture"), this);
    auto* csvButton =
        makeButton(QStringLiteral("Export CSV..."), QStringLiteral("Save every stored sample as CSV"), this);

    canvas_ = new PlotCanvas(*data_, this);

    readout_ = new QLabel(this);
    readout_->setWordWrap(true);
    readout_->setAccessibleName(QStringLiteral("Cursor values"));
    // Reachable by Tab so a screen reader can read it out.
    readout_->setFocusPolicy(Qt::TabFocus);
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    tableModel_ = new SignalTableModel(*data_, this);
    table_ = new QTableView(this);
    table_->setModel(tableModel_);
    table_->setAccessibleName(QStringLiteral("Signals"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setTabKeyNavigation(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(SignalTableModel::NameColumn, QHeaderView::Stretch);
    table_->setMaximumHeight(table_->horizontalHeader()->sizeHint().height() +
                             (PlotData::maxSignals + 1) * table_->verticalHeader()->defaultSectionSize());
    auto* removeButton =
        makeButton(QStringLiteral("Remove"), QStringLiteral("Remove the selected signals (Delete)"), this);
    auto* removeAction = new QAction(QStringLiteral("Remove"), table_);
    removeAction->setShortcut(QKeySequence::Delete);
    removeAction->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(removeAction);

    auto* tools = new QHBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{pauseButton_, zoomInButton, zoomOutButton, liveButton,
                                                      scaleLabel, scaleModeBox_})
        tools->addWidget(w);
    tools->addStretch(1);
    tools->addWidget(pngButton);
    tools->addWidget(csvButton);
    auto* signalRow = new QHBoxLayout;
    signalRow->addWidget(table_, 1);
    signalRow->addWidget(removeButton, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(canvas_, 1);
    layout->addWidget(readout_);
    layout->addLayout(signalRow);

    connect(pauseButton_, &QPushButton::clicked, this, &SignalPlotWindow::setPaused);
    connect(zoomInButton, &QPushButton::clicked, canvas_, [this] { canvas_->zoomBy(0.5); });
    connect(zoomOutButton, &QPushButton::clicked, canvas_, [this] { canvas_->zoomBy(2.0); });
    connect(liveButton, &QPushButton::clicked, canvas_, &PlotCanvas::followLive);
    connect(scaleModeBox_, &QComboBox::currentIndexChanged, canvas_, [this](int index) {
        canvas_->setScaleMode(index == 1 ? ScaleMode::PerUnit : ScaleMode::PerSignal);
    });
    connect(pngButton, &QPushButton::clicked, this, &SignalPlotWindow::chooseAndExportPng);
    connect(csvButton, &QPushButton::clicked, this, &SignalPlotWindow::chooseAndExportCsv);
    connect(removeButton, &QPushButton::clicked, this, &SignalPlotWindow::removeSelectedSignals);
    connect(removeAction, &QAction::triggered, this, &SignalPlotWindow::removeSelectedSignals);
    connect(canvas_, &PlotCanvas::viewChanged, this, &SignalPlotWindow::viewChanged);

    resize(1000, 700);
    viewChanged();
}

SignalPlotWindow::~SignalPlotWindow() {
    // These read data_, which is gone by the time QWidget's destructor hides
    // and deletes the children.
    delete table_;
    delete tableModel_;
    delete canvas_;
}

int SignalPlotWindow::addSignal(const QString& name, const QString& unit) {
    const int countBefore = data_->count();
    const int id = data_->add(name, unit);
    if (data_->count() != countBefore)
        signalsChanged();
    return id;
}

void SignalPlotWindow::removeSignal(int id) {
    if (data_->remove(id))
        signalsChanged();
}

bool SignalPlotWindow::hasSignal(const QString& name) const {
    return data_->idOf(name) >= 0;
}

int SignalPlotWindow::signalId(const QString& name) const {
    return data_->idOf(name);
}

int SignalPlotWindow::signalCount() const {
    return data_->count();
}

void SignalPlotWindow::appendSample(int id, double timeSeconds, double value) {
    if (data_->append(id, timeSeconds, value))
        canvas_->samplesAdded();
}

void SignalPlotWindow::appendSamples(int id, std::span<const Sample> samples) {
    PlotSignal* s = data_->find(id);
    if (!s || samples.empty())
        return;
    std::uint64_t refused = 0;
    for (const Sample& sample : samples)
        refused += s->samples.append(sample.timeSeconds, sample.value) ? 0 : 1;
    data_->countRejected(refused);
    canvas_->samplesAdded();
}

quint64 SignalPlotWindow::rejectedSampleCount() const {
    return data_->rejectedCount();
}

void SignalPlotWindow::clearSamples() {
    data_->clearSamples();
    canvas_->update();
    viewChanged();
}

bool SignalPlotWindow::isFollowingLive() const {
    return canvas_->view().isFollowing();
}

void SignalPlotWindow::setPaused(bool paused) {
    if (paused)
        canvas_->hold();
    else
        canvas_->followLive();
}

void SignalPlotWindow::setCursorTime(double timeSeconds) {
    canvas_->setCursorTime(timeSeconds);
}

QString SignalPlotWindow::cursorReadout() const {
    return readout_->text();
}

void SignalPlotWindow::viewChanged() {
    pauseButton_->setChecked(!canvas_->view().isFollowing());
    const std::optional<double> cursor = canvas_->cursorTime();
    QString text;
    if (data_->count() == 0)
        text = QStringLiteral("No signals shown.");
    else if (!cursor)
        text = QStringLiteral("Point at the plot, or press Shift+Left or Shift+Right in it, to read values.");
    else
        text = data_->readoutAt(*cursor);
    if (readout_->text() != text) {
        readout_->setText(text);
        canvas_->setAccessibleDescription(text);
    }
    if (isVisible())
        tableModel_->refresh(canvas_->frame(), cursor);
}

void SignalPlotWindow::signalsChanged() {
    tableModel_->reset();
    canvas_->update();
    viewChanged();
}

void SignalPlotWindow::removeSelectedSignals() {
    std::vector<int> ids;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        ids.push_back(tableModel_->idAt(index.row()));
    for (int id : ids) {
        const PlotSignal* s = data_->find(id);
        if (!s)
            continue;
        const QString name = s->name;
        data_->remove(id);
        emit signalRemoved(id, name);
    }
    if (!ids.empty())
        signalsChanged();
}

bool SignalPlotWindow::exportPng(const QString& fileName, QString* errorText) const {
    QSize size = canvas_->size();
    if (size.width() < canvas_->minimumSizeHint().width() ||
        size.height() < canvas_->minimumSizeHint().height())
        size = canvas_->sizeHint();
    const QImage image = canvas_->renderImage(size);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG") || !file.commit()) {
        if (errorText)
            *errorText = QStringLiteral("Could not write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

bool SignalPlotWindow::exportCsv(const QString& fileName, QString* errorText) const {
    std::vector<CsvColumn> columns;
    for (const auto& s : data_->entries())
        columns.push_back({s->title(), &s->samples});
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || !writeCsv(file, QStringLiteral("Time (s)"), columns) ||
        !file.commit()) {
        if (errorText)
            *errorText = QStringLiteral("Could not write %1: %2").arg(fileName, file.errorString());
        return false;
    }
    return true;
}

void SignalPlotWindow::chooseAndExportPng() {
    const QString fileName =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export PNG"), QStringLiteral("signal-plot.png"),
                                     QStringLiteral("PNG images (*.png)"));
    if (fileName.isEmpty())
        return;
    QString error;
    if (!exportPng(withSuffix(fileName, QStringLiteral(".png")), &error))
        QMessageBox::warning(this, QStringLiteral("Error"), error);
}

void SignalPlotWindow::chooseAndExportCsv() {
    const QString fileName =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"), QStringLiteral("signal-plot.csv"),
                                     QStringLiteral("CSV files (*.csv)"));
    if (fileName.isEmpty())
        return;
    QString error;
    if (!exportCsv(withSuffix(fileName, QStringLiteral(".csv")), &error))
        QMessageBox::warning(this, QStringLiteral("Error"), error);
}

} // namespace plot

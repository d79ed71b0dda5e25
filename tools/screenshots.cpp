// Renders every window of the program, as a user sees it during a session
// with our shipped driver, to PNG files, and puts the main ones together
// into one picture for the README.
//
//   tarvik_screenshots <output folder>
#include "app/about_dlg.h"
#include "app/tarvik_app.h"
#include "res/ids/connection_ids.h"
#include "res/ids/j1708_fields.h"
#include "res/ids/main_ids.h"
#include "res/ids/receive_ids.h"
#include "res/ids/transmit_ids.h"
#include "res/ids/tx_builder_ids.h"
#include "support/ui_helpers.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <map>

using namespace testsupport;

namespace {

std::map<QString, QImage> shots;

void shoot(const QString& name, QWidget& window) {
    QApplication::processEvents();
    shots[name] = window.grab().toImage();
}

void runFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Main window, receive window and transmit window side by side, with the
// connection dialog and the J1939 builder below.
QImage montage() {
    const QStringList top = {"main", "connection", "claim"};
    const QStringList middle = {"receive"};
    const QStringList bottom = {"transmit", "builder_j1939"};
    const int gap = 16;
    auto rowSize = [&](const QStringList& names) {
        QSize size(gap, 0);
        for (const QString& name : names) {
            size.rwidth() += shots[name].width() + gap;
            size.setHeight(std::max(size.height(), shots[name].height()));
        }
        return size;
    };
    const QList<QStringList> rows = {top, middle, bottom};
    int width = 0, height = gap;
    for (const auto& row : rows) {
        width = std::max(width, rowSize(row).width());
        height += rowSize(row).height() + gap;
    }
    QImage canvas(width, height, QImage::Format_ARGB32);
    canvas.fill(QColor(236, 239, 243));
    QPainter painter(&canvas);
    int y = gap;
    for (const auto& row : rows) {
        int x = gap;
        for (const QString& name : row) {
            painter.setPen(QColor(150, 150, 150));
            painter.drawRect(x - 1, y - 1, shots[name].width() + 1, shots[name].height() + 1);
            painter.drawImage(x, y, shots[name]);
            x += shots[name].width() + gap;
        }
        y += rowSize(row).height() + gap;
    }
    return canvas;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);

    app::TarvikDlg::endProcess() = [](int) {};
    auto* tarvik = new app::TarvikApp;
    tarvik->initInstance();
    app::TarvikDlg& main = tarvik->mainWindow();
    shoot("main_disconnected", main);

    whenModalRuns([](platform::Dialog& d) {
        clickItem(d, res::IDC_DEVICE);
        clickItem(d, res::IDC_INIT_UART);
        clickItem(d, res::IDC_INIT_1850);
        whenModalRuns([](platform::Dialog& claim) {
            shoot("claim", claim);
            clickItem(claim, platform::IDOK);
        });
        clickItem(d, res::IDC_INIT_CAN);
        shoot("connection", d);
        clickItem(d, platform::IDOK);
    });
    clickItem(main, res::IDC_CONNECT);
    shoot("main", main);

    receive::ReceiveDlg& receive = main.receiveWindow();
    clickItem(main, res::IDC_RECEIVE_WINDOW);
    clickItem(receive, res::IDC_RX_START);

    transmit::TransmitDlg& transmit = main.transmitWindow();
    clickItem(main, res::IDC_TRANSMIT_WINDOW);
    const struct {
        int row, radio;
        const char* name;
    } builders[] = {{0, res::IDC_TX_J1708, "builder_j1708"},
                    {1, res::IDC_TX_J1850, "builder_j1850"},
                    {2, res::IDC_TX_J1939, "builder_j1939"}};
    for (const auto& builder : builders) {
        clickItem(transmit, res::kTransmitRowIds[builder.row].radio);
        clickItem(transmit, builder.radio);
        const QString name = QString::fromLatin1(builder.name);
        whenModalRuns([name](platform::Dialog& d) {
            pressArrow(d, res::IDC_TXB_DATA_COUNT_SPIN, +1, 3);
            pressArrow(d, res::IDC_TXB_BROADCAST_SPIN, -1, 2);
            typeInto(d, res::IDC_TXB_INTERVAL, QStringLiteral("250"));
            if (name == QLatin1String("builder_j1708"))
                typeInto(d, res::IDC_MID_HEX, QStringLiteral("AC"));
            shoot(name, d);
            clickItem(d, platform::IDOK);
        });
        clickItem(transmit, res::IDC_TX_CREATE);
    }
    clickItem(transmit, res::IDC_TX_ECHO);
    clickItem(transmit, res::IDC_TX_START);
    runFor(1500);
    shoot("receive", receive);
    shoot("transmit", transmit);
    clickItem(transmit, res::IDC_TX_START);
    clickItem(receive, res::IDC_RX_START);

    for (const auto& [button, name] : {std::pair{res::IDC_RX_J1708_FILTER, "filter_j1708"},
                                       std::pair{res::IDC_RX_J1939_FILTER, "filter_j1939"}}) {
        const QString shotName = QString::fromLatin1(name);
        whenModalRuns([shotName](platform::Dialog& d) {
            shoot(shotName, d);
            clickItem(d, platform::IDCANCEL);
        });
        clickItem(receive, button);
    }
    // The Bus Monitor after a few seconds of the truck, its first decoded
    // row expanded.
    clickItem(main, res::IDC_MONITOR_WINDOW);
    if (monitor::MonitorWindow* monitorWindow = main.monitorWindow()) {
        monitorWindow->resize(1180, 640);
        runFor(3000);
        QTreeView* table = monitorWindow->view();
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            const QModelIndex message = table->model()->index(row, 0);
            if (message.data().toString() == QLatin1String("J1939") && table->model()->hasChildren(message) &&
                !message.siblingAtColumn(2).data().toString().isEmpty()) {
                table->expand(message);
                break;
            }
        }
        runFor(600);
        shoot("monitor", *monitorWindow);
    }

    app::AboutDlg about;
    whenModalRuns([](platform::Dialog& d) {
        shoot("about", d);
        clickItem(d, platform::IDOK);
    });
    about.doModal();

    for (const auto& [name, image] : shots)
        image.save(folder + "/" + name + ".png");
    montage().save(folder + "/screenshot.png");
    std::printf("%zu windows rendered into %s\n", shots.size(), qPrintable(folder));
    std::fflush(stdout);
    std::_Exit(0); // the worker threads run until the process ends
}

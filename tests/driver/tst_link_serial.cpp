// The serial links on a pseudo-terminal pair: the test plays a serial-line
// CAN adapter or an RS-485 J1708 line on the master side.
#include "links/j1708_serial_link.h"
#include "links/slcan_link.h"

#include <rp1210a/rp1210a.h>

#include <QtTest>

#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

namespace {

// A pty pair whose master a device thread serves: every chunk the link
// writes goes to respond(), which may write answers back.
class FakeDevice {
public:
    using Respond = std::function<void(FakeDevice&, const QByteArray&)>;

    explicit FakeDevice(Respond respond) : respond_(std::move(respond)) {
        char name[128];
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0)
            path = name;
        if (::pipe2(stop_, O_CLOEXEC) == 0)
            thread_ = std::thread([this] { serve(); });
    }
    ~FakeDevice() {
        unplug();
        if (slave_ >= 0)
            ::close(slave_);
    }

    void write(const QByteArray& bytes) {
        std::lock_guard lock(mutex_);
        if (master_ >= 0)
            QCOMPARE(::write(master_, bytes.data(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    QByteArray received() {
        std::lock_guard lock(mutex_);
        return received_;
    }
    // Stops serving and closes the master, as pulling the adapter's plug does.
    void unplug() {
        if (!thread_.joinable())
            return;
        [[maybe_unused]] ssize_t n = ::write(stop_[1], "x", 1);
        thread_.join();
        std::lock_guard lock(mutex_);
        ::close(master_);
        master_ = -1;
        ::close(stop_[0]);
        ::close(stop_[1]);
    }

    std::string path;

private:
    void serve() {
        for (;;) {
            pollfd fds[2] = {{master_, POLLIN, 0}, {stop_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
                return;
            char buffer[512];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            const QByteArray chunk(buffer, n);
            {
                std::lock_guard lock(mutex_);
                received_ += chunk;
            }
            respond_(*this, chunk);
        }
    }

    Respond respond_;
    int master_ = -1;
    int slave_ = -1; // kept open so the pty stays usable between the link's opens
    int stop_[2] = {-1, -1};
    std::mutex mutex_;
    QByteArray received_;
    std::thread thread_;
};

// Answers the Lawicel commands line by line; `refuse` is the command letter
// answered with "\a", `silent` answers nothing.
FakeDevice::Respond slcanAdapter(char refuse = 0, bool silent = false) {
    auto pending = std::make_shared<QByteArray>();
    return [=](FakeDevice& device, const QByteArray& chunk) {
        *pending += chunk;
        qsizetype end;
        while ((end = pending->indexOf('\r')) >= 0) {
            const QByteArray line = pending->left(end);
            pending->remove(0, end + 1);
            if (silent || line.isEmpty())
                continue;
            if (line[0] == refuse)
                device.write("\a");
            else if (line[0] == 'F')
                device.write("F00\r");
            else if (line[0] == 'T')
                device.write("Z\r");
            else
                device.write("\r");
        }
    };
}

struct FrameRecorder {
    std::mutex mutex;
    std::vector<zt::CanFrame> frames;
    std::vector<zt::LinkError> errors;
    size_t frameCount() {
        std::lock_guard lock(mutex);
        return frames.size();
    }
    size_t errorCount() {
        std::lock_guard lock(mutex);
        return errors.size();
    }
};

// A silent adapter is given up on after a short wait; a live one answers as
// soon as its thread runs, however loaded the machine.
zt::SlcanOptions slcanOptions(bool silent = false) {
    zt::SlcanOptions options;
    options.answerTimeout = (silent ? 100 : 10000) * zt::kMicrosPerMs;
    return options;
}

QByteArray hexBytes(const std::vector<uint8_t>& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex();
}

} // namespace

class LinkSerialTest : public QObject {
    Q_OBJECT

private slots:
    void slcanOpen_data() {
        QTest::addColumn<char>("refuse");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("error"); // %1: the tty's path
        QTest::newRow("opens") << char(0) << false << QString();
        QTest::newRow("bit rate refused") << 'S' << false << "the adapter on %1 refused the bit rate 250000";
        QTest::newRow("channel refused")
            << 'O' << false << "the adapter on %1 refused to open the CAN channel";
        QTest::newRow("no answer") << char(0) << true << "no answer from the adapter on %1";
    }
    void slcanOpen() {
        QFETCH(char, refuse);
        QFETCH(bool, silent);
        QFETCH(QString, error);
        FakeDevice adapter(slcanAdapter(refuse, silent));
        zt::SlcanLink link(adapter.path, slcanOptions(silent));
        const zt::LinkError result = link.open({}, {});
        QCOMPARE(QString::fromStdString(result.text), error.arg(QString::fromStdString(adapter.path)));
        if (!error.isEmpty())
            return;
        QCOMPARE(adapter.received(), QByteArray("C\rS5\rO\r"));
        link.close();
        QTRY_VERIFY(adapter.received().endsWith("\rC\r"));
    }

    void slcanMissingDevice() {
        zt::SlcanLink link("/dev/ttyNOSUCH9", slcanOptions());
        QCOMPARE(QString::fromStdString(link.open({}, {}).text), "/dev/ttyNOSUCH9 does not exist");
    }

    void slcanTraffic() {
        FakeDevice adapter(slcanAdapter());
        FrameRecorder seen;
        zt::SlcanLink link(adapter.path, slcanOptions());
        QVERIFY(!link.open(
            [&](const zt::CanFrame& f) {
                std::lock_guard lock(seen.mutex);
                seen.frames.push_back(f);
            },
            {}));
        zt::CanFrame frame;
        frame.id = 0x18EF80F9;
        frame.length = 2;
        frame.data = {0xAB, 0x01};
        QCOMPARE(link.send(frame), 0);
        QTRY_VERIFY(adapter.received().contains("T18EF80F92AB01\r"));

        // A frame cut in two, two merged with a garbage line between them.
        adapter.write("T0CF004");
        adapter.write("0031122");
        adapter.write("33\rjunk\rt12320102\r");
        QTRY_COMPARE(seen.frameCount(), size_t(2));
        QCOMPARE(seen.frames[0].id, 0x0CF00400u);
        QCOMPARE(seen.frames[0].data[2], 0x33);
        QVERIFY(!seen.frames[1].extended);
        QVERIFY(seen.frames[1].timestamp > 0);
        QCOMPARE(link.garbageLines(), uint64_t(1));
        link.close();
    }

    // Pulling the plug: the state handler reports the link gone, sends fail
    // at once, and closing does not hang.
    void slcanUnplugged() {
        FakeDevice adapter(slcanAdapter());
        FrameRecorder seen;
        zt::SlcanLink link(adapter.path, slcanOptions());
        QVERIFY(!link.open({}, [&](zt::BusState, const zt::LinkError& e) {
            std::lock_guard lock(seen.mutex);
            seen.errors.push_back(e);
        }));
        adapter.unplug();
        QTRY_COMPARE(seen.errorCount(), size_t(1));
        QCOMPARE(QString::fromStdString(seen.errors[0].text),
                 QString::fromStdString(adapter.path + " was unplugged"));
        QCOMPARE(link.send(zt::CanFrame{}), int(ERR_HARDWARE_NOT_RESPONDING));
        link.close();
    }

    // Another node's bursts: two messages merged, a corrupted one dropped.
    void j1708Receive() {
        FakeDevice line([](FakeDevice&, const QByteArray&) {});
        std::mutex mutex;
        QStringList seen;
        zt::J1708SerialLink link(line.path, {});
        QVERIFY(!link.open([&](const zt::J1708Message& m) {
            std::lock_guard lock(mutex);
            seen << hexBytes(m.bytes);
        }));
        line.write(QByteArray::fromHex("80541234e680be00c2"));
        line.write(QByteArray::fromHex("80541235e6"));
        QTRY_COMPARE((std::lock_guard(mutex), seen.size()), qsizetype(2));
        QTRY_COMPARE(link.droppedBytes(), uint64_t(5));
        QCOMPARE(seen, (QStringList{"80541234e6", "80be00c2"}));
        link.close();
    }

    // The RS-485 line gives our bytes back: intact, corrupted the first time
    // (a collision, sent again), corrupted every time (a collision each try),
    // or not at all (an adapter that does not hear its own sends: detected at
    // the first send, or told by J1708Echo=No; the sends go without collision
    // detection). Two messages are sent one after the other.
    void j1708Send_data() {
        QTest::addColumn<int>("echo");    // 0 intact, 1 first corrupted, 2 none, 3 always corrupted
        QTest::addColumn<int>("setting"); // zt::J1708Echo
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("collisions");
        QTest::addColumn<bool>("lineEchoes");
        QTest::addColumn<int>("echoMarginMs"); // long where an echo comes, however loaded the machine
        const int detect = int(zt::J1708Echo::Detect);
        QTest::newRow("echo intact") << 0 << detect << 0 << 0 << true << 10000;
        QTest::newRow("collision, then sent again") << 1 << detect << 0 << 1 << true << 10000;
        QTest::newRow("collision every time") << 3 << detect << int(ERR_TX_QUEUE_FULL) << 6 << true << 10000;
        QTest::newRow("no echo, detected") << 2 << detect << 0 << 0 << false << 20;
        QTest::newRow("no echo, J1708Echo=No") << 2 << int(zt::J1708Echo::No) << 0 << 0 << false << 10000;
        QTest::newRow("no echo, J1708Echo=Yes")
            << 2 << int(zt::J1708Echo::Yes) << int(ERR_TX_QUEUE_FULL) << 6 << true << 20;
    }
    void j1708Send() {
        QFETCH(int, echo);
        QFETCH(int, setting);
        QFETCH(int, result);
        QFETCH(int, collisions);
        QFETCH(bool, lineEchoes);
        QFETCH(int, echoMarginMs);
        auto first = std::make_shared<bool>(true);
        FakeDevice line([=](FakeDevice& device, const QByteArray& chunk) {
            QByteArray back = chunk;
            if (echo == 3 || (echo == 1 && *first))
                back[1] = char(back[1] ^ 0x10);
            *first = false;
            if (echo != 2)
                device.write(back);
        });
        std::mutex mutex;
        QStringList seen;
        zt::J1708SerialOptions options;
        options.echo = zt::J1708Echo(setting);
        options.echoMargin = echoMarginMs * zt::kMicrosPerMs;
        zt::J1708SerialLink link(line.path, options);
        QVERIFY(!link.open([&](const zt::J1708Message& m) {
            std::lock_guard lock(mutex);
            seen << hexBytes(m.bytes);
        }));
        const std::vector<uint8_t> message{0x80, 0x54, 0x12, 0x34, 0xE6};
        QCOMPARE(link.send(message, 8), result);
        QCOMPARE(link.send(message, 8), result);
        QCOMPARE(int(link.collisions()), collisions);
        QCOMPARE(link.lineEchoes(), lineEchoes);
        // Both messages reached the line, each as often as it was tried.
        QTRY_COMPARE(line.received().count(QByteArray::fromHex("80541234e6")),
                     qsizetype(result == 0 ? 2 + collisions : collisions));
        link.close();
        QVERIFY(seen.isEmpty()); // our own echo is never a received message
    }
};

QTEST_GUILESS_MAIN(LinkSerialTest)
#include "tst_link_serial.moc"

// The receive configuration codec and the filter commands as bytes: the
// example file, the short revision-288 layout, every kind of bad file, the
// J1939 filter record and mask, and the file on disk.
#include "receive/filter_commands.h"
#include "receive/receive_config.h"
#include "receive/receive_config_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace receive;

Q_DECLARE_METATYPE(ReceiveConfigError)
Q_DECLARE_METATYPE(std::vector<uint8_t>)

namespace {

// J1708 and J1939 ticked, J1850 clear, J1708 "Filter" with MID 0x80, J1939
// criteria PGN and Source, PGN F0, Destination 04, Page 0, Priority 3,
// Source 00, J1939 "Pass".
const std::vector<uint8_t> kExampleFile = {0x5A, 0x54, 0x52, 0x50, 0x41, 0x52, 0x58, 0x00, 0x50,
                                           0x01, 0x00, 0x00, 0x01, 0x80, 0x01, 0x00, 0x01, 0x00,
                                           0x01, 0x00, 0x01, 0xF0, 0x04, 0x00, 0x03, 0x00, 0x00};

ReceiveConfig exampleConfig() {
    ReceiveConfig c;
    c.j1708Box = 1;
    c.j1708Mid = 0x80;
    c.j1708FilterMode = 1;
    c.j1850Box = 0;
    c.j1939Box = 1;
    c.usePgn = 1;
    c.useSource = 1;
    c.pf = 0xF0;
    c.destination = 0x04;
    c.page = 0;
    c.priority = 3;
    c.source = 0;
    c.j1939FilterMode = 0;
    return c;
}

// The same file in the revision-288 layout: no J1708 filter mode, no
// J1850 box, no J1939 filter mode.
std::vector<uint8_t> shortFile() {
    std::vector<uint8_t> bytes = kExampleFile;
    bytes[8] = 0x20; // 288 = 0x120
    bytes.pop_back();
    bytes.erase(bytes.begin() + 14, bytes.begin() + 16);
    return bytes;
}

std::vector<uint8_t> withByte(std::vector<uint8_t> bytes, std::size_t at, uint8_t value) {
    bytes[at] = value;
    return bytes;
}

} // namespace

class TestReceiveConfig : public QObject {
    Q_OBJECT
private slots:
    void exampleFileEncodes();
    void exampleFileDecodes();
    void encodeWritesRevision336WithEveryField();
    void shortRevisionDecodes();
    void laterRevisionReadsTheLongLayout();
    void badFiles_data();
    void badFiles();
    void j1708Command_data();
    void j1708Command();
    void j1939Record_data();
    void j1939Record();
    void j1939Mask_data();
    void j1939Mask();
    void fileRoundTrip();
    void saveReplacesALongerFileWhole();
    void unreadableFileIsNotInFormat();
    void overlongFileOnDiskIsRefused();
    void saveIntoMissingFolderFails();
    void saveIntoReadOnlyFolderKeepsOldFile();
};

void TestReceiveConfig::exampleFileEncodes() {
    QCOMPARE(encodeReceiveConfig(exampleConfig()), kExampleFile);
}

void TestReceiveConfig::exampleFileDecodes() {
    const ReceiveConfigResult result = decodeReceiveConfig(kExampleFile);
    QCOMPARE(result.error, ReceiveConfigError::None);
    QVERIFY(result.config == exampleConfig());
}

void TestReceiveConfig::encodeWritesRevision336WithEveryField() {
    ReceiveConfig c = exampleConfig();
    c.revision = 288;
    QCOMPARE(encodeReceiveConfig(c), kExampleFile);
}

void TestReceiveConfig::shortRevisionDecodes() {
    const std::vector<uint8_t> bytes = shortFile();
    QCOMPARE(bytes.size(), kReceiveConfigShortSize);
    const ReceiveConfigResult result = decodeReceiveConfig(bytes);
    QCOMPARE(result.error, ReceiveConfigError::None);
    QCOMPARE(result.config.revision, 288u);
    QVERIFY(!result.config.hasOptionalFields());
    ReceiveConfig expected = exampleConfig();
    expected.revision = 288;
    expected.j1708FilterMode = 0; // not in the file
    QVERIFY(result.config == expected);
}

void TestReceiveConfig::laterRevisionReadsTheLongLayout() {
    const ReceiveConfigResult result = decodeReceiveConfig(withByte(kExampleFile, 9, 0x02)); // 0x250
    QCOMPARE(result.error, ReceiveConfigError::None);
    QCOMPARE(result.config.revision, 0x250u);
    QCOMPARE(result.config.j1708FilterMode, uint8_t(1));
}

void TestReceiveConfig::badFiles_data() {
    QTest::addColumn<std::vector<uint8_t>>("bytes");
    QTest::addColumn<ReceiveConfigError>("error");
    const auto notInFormat = ReceiveConfigError::NotInFormat;
    QTest::addRow("empty") << std::vector<uint8_t>{} << notInFormat;
    for (std::size_t size = 1; size < kExampleFile.size(); ++size)
        QTest::addRow("cut to %zu", size)
            << std::vector<uint8_t>(kExampleFile.begin(), kExampleFile.begin() + size) << notInFormat;
    const std::vector<uint8_t> shortBytes = shortFile();
    QTest::addRow("288 cut to 23") << std::vector<uint8_t>(shortBytes.begin(), shortBytes.end() - 1)
                                   << notInFormat;
    QTest::addRow("288 with 25 bytes") << [&] {
        auto b = shortBytes;
        b.push_back(0);
        return b;
    }() << notInFormat;
    QTest::addRow("336 with 28 bytes") << [] {
        auto b = kExampleFile;
        b.push_back(0);
        return b;
    }() << notInFormat;
    QTest::addRow("336 with the 24-byte layout") << withByte(shortBytes, 8, 0x50) << notInFormat;
    QTest::addRow("magic lower case") << withByte(kExampleFile, 0, 'z') << notInFormat;
    QTest::addRow("transmit magic") << withByte(kExampleFile, 5, 'T') << notInFormat;
    QTest::addRow("compatibility 1") << withByte(kExampleFile, 7, 1)
                                     << ReceiveConfigError::IncompatibleVersion;
    QTest::addRow("compatibility FF, cut")
        << std::vector<uint8_t>{'Z', 'T', 'R', 'P', 'A', 'R', 'X', 0xFF} << notInFormat;
    QTest::addRow("J1708 box 2") << withByte(kExampleFile, 12, 2) << notInFormat;
    QTest::addRow("J1708 mode 2") << withByte(kExampleFile, 14, 2) << notInFormat;
    QTest::addRow("J1850 box FF") << withByte(kExampleFile, 15, 0xFF) << notInFormat;
    QTest::addRow("J1939 box 2") << withByte(kExampleFile, 16, 2) << notInFormat;
    for (std::size_t at = 17; at <= 20; ++at)
        QTest::addRow("criterion at %zu is 2", at) << withByte(kExampleFile, at, 2) << notInFormat;
    QTest::addRow("page 2") << withByte(kExampleFile, 23, 2) << notInFormat;
    QTest::addRow("priority 8") << withByte(kExampleFile, 24, 8) << notInFormat;
    QTest::addRow("J1939 mode 2") << withByte(kExampleFile, 26, 2) << notInFormat;
    QTest::addRow("288, page 2") << withByte(shortBytes, 21, 2) << notInFormat;
}

void TestReceiveConfig::badFiles() {
    QFETCH(std::vector<uint8_t>, bytes);
    QFETCH(ReceiveConfigError, error);
    QCOMPARE(decodeReceiveConfig(bytes).error, error);
}

void TestReceiveConfig::j1708Command_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("mid");
    QTest::addColumn<int>("command");
    QTest::addColumn<std::vector<uint8_t>>("bytes");
    QTest::addRow("filter 128") << 1 << 128 << 7 << std::vector<uint8_t>{0x80};
    QTest::addRow("filter 0") << 1 << 0 << 7 << std::vector<uint8_t>{0x00};
    QTest::addRow("pass ignores the MID") << 0 << 128 << 3 << std::vector<uint8_t>{};
}

void TestReceiveConfig::j1708Command() {
    QFETCH(int, mode);
    QFETCH(int, mid);
    QFETCH(int, command);
    QFETCH(std::vector<uint8_t>, bytes);
    const FilterCommand filter = j1708FilterCommand(mode, uint8_t(mid));
    QCOMPARE(int(filter.command), command);
    QCOMPARE(filter.bytes, bytes);
}

void TestReceiveConfig::j1939Record_data() {
    QTest::addColumn<int>("boxes"); // bit 0 priority, 1 PGN, 2 destination, 3 source
    QTest::addColumn<int>("pf");
    QTest::addColumn<int>("destination");
    QTest::addColumn<std::vector<uint8_t>>("record");
    QTest::addRow("PDU2: PS in the PGN")
        << 0b1010 << 0xF0 << 0x04 << std::vector<uint8_t>{0x05, 0x04, 0xF0, 0x00, 0x03, 0x00, 0x00};
    QTest::addRow("PDU1: PS as destination")
        << 0b1010 << 0xEA << 0x17 << std::vector<uint8_t>{0x05, 0x00, 0xEA, 0x00, 0x03, 0x00, 0x17};
    QTest::addRow("PF 239 is PDU1") << 0 << 0xEF << 0x21
                                    << std::vector<uint8_t>{0x00, 0x00, 0xEF, 0x00, 0x03, 0x00, 0x21};
    QTest::addRow("all four") << 0b1111 << 0xF0 << 0x04
                              << std::vector<uint8_t>{0x0F, 0x04, 0xF0, 0x00, 0x03, 0x00, 0x00};
    QTest::addRow("priority only") << 0b0001 << 0x00 << 0x00
                                   << std::vector<uint8_t>{0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00};
    QTest::addRow("destination only")
        << 0b0100 << 0x00 << 0x00 << std::vector<uint8_t>{0x08, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00};
}

void TestReceiveConfig::j1939Record() {
    QFETCH(int, boxes);
    QFETCH(int, pf);
    QFETCH(int, destination);
    QFETCH(std::vector<uint8_t>, record);
    J1939FilterCriteria c;
    c.usePriority = boxes & 1;
    c.usePgn = boxes & 2;
    c.useDestination = boxes & 4;
    c.useSource = boxes & 8;
    c.pf = uint8_t(pf);
    c.destination = uint8_t(destination);
    c.priority = 3;
    const J1939FilterRecord got = j1939FilterRecord(c);
    QCOMPARE(std::vector<uint8_t>(got.begin(), got.end()), record);
}

void TestReceiveConfig::j1939Mask_data() {
    QTest::addColumn<int>("boxes"); // bit 0 priority, 1 PGN, 2 destination, 3 source
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("dec");
    QTest::addRow("none") << 0 << "0"
                          << "0";
    QTest::addRow("all") << 0b1111 << "1CFFFFFF"
                         << "486539263";
    QTest::addRow("priority") << 0b0001 << "1C000000"
                              << "469762048";
    QTest::addRow("PGN") << 0b0010 << "FF0000"
                         << "16711680";
    QTest::addRow("destination and source") << 0b1100 << "FFFF"
                                            << "65535";
}

void TestReceiveConfig::j1939Mask() {
    QFETCH(int, boxes);
    QFETCH(QString, hex);
    QFETCH(QString, dec);
    const uint32_t mask = j1939FilterMask(boxes & 1, boxes & 2, boxes & 4, boxes & 8);
    QCOMPARE(QString::fromStdString(j1939FilterMaskText(mask, true)), hex);
    QCOMPARE(QString::fromStdString(j1939FilterMaskText(mask, false)), dec);
}

void TestReceiveConfig::fileRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rx.ztrxc");
    QVERIFY(writeReceiveConfigFile(path, exampleConfig()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    QCOMPARE(std::vector<uint8_t>(data.begin(), data.end()), kExampleFile);
    const ReceiveConfigResult result = readReceiveConfigFile(path);
    QCOMPARE(result.error, ReceiveConfigError::None);
    QVERIFY(result.config == exampleConfig());
}

void TestReceiveConfig::saveReplacesALongerFileWhole() {
    QTemporaryDir dir;
    const QString path = dir.filePath("rx.ztrxc");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100, 'x'));
    }
    QVERIFY(writeReceiveConfigFile(path, exampleConfig()));
    QCOMPARE(QFileInfo(path).size(), qint64(kReceiveConfigSize));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"rx.ztrxc"}); // no temporary left
}

void TestReceiveConfig::unreadableFileIsNotInFormat() {
    QTemporaryDir dir;
    QCOMPARE(readReceiveConfigFile(dir.filePath("missing.ztrxc")).error, ReceiveConfigError::NotInFormat);
    QCOMPARE(readReceiveConfigFile(dir.path()).error, ReceiveConfigError::NotInFormat); // a folder
}

void TestReceiveConfig::overlongFileOnDiskIsRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("big.ztrxc");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reinterpret_cast<const char*>(kExampleFile.data()), qint64(kExampleFile.size()));
    file.write(QByteArray(1 << 20, '\0'));
    file.close();
    QCOMPARE(readReceiveConfigFile(path).error, ReceiveConfigError::NotInFormat);
}

void TestReceiveConfig::saveIntoMissingFolderFails() {
    QTemporaryDir dir;
    const QString path = dir.filePath("no/such/folder/rx.ztrxc");
    QString reason;
    QVERIFY(!writeReceiveConfigFile(path, exampleConfig(), &reason));
    QVERIFY(!reason.isEmpty());
    QVERIFY(!QFile::exists(path));
}

void TestReceiveConfig::saveIntoReadOnlyFolderKeepsOldFile() {
    if (geteuid() == 0)
        QSKIP("folder permissions do not bind the superuser");
    QTemporaryDir dir;
    const QString path = dir.filePath("rx.ztrxc");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool written = writeReceiveConfigFile(path, exampleConfig());
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!written);
    QFile old(path);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old contents"));
}

QTEST_GUILESS_MAIN(TestReceiveConfig)
#include "tst_receive_config.moc"

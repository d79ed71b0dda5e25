#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "platform/library.h"
#include "platform/profile.h"

namespace {
void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

const std::string kSample = "; drivers installed on this machine\n"
                            "[Other]\n"
                            "APIImplementations=WRONG\n"
                            "[RP1210Support]\n"
                            "  APIImplementations  =  ABC,ZT121032,XYZ  \n"
                            "Inner = two  blanks  inside\n"
                            "Quoted=\"  kept blanks  \"\n"
                            "Single='x'\n"
                            "Mismatched=\"x'\n"
                            "Lone=\"\n"
                            "Empty=\n"
                            "Semicolon=a;b\n"
                            ";Commented=yes\n"
                            "Twice=first\n"
                            "Twice=second\n";
} // namespace

class TestProfile : public QObject {
    Q_OBJECT

private slots:
    void readsValue_data();
    void readsValue();
    void bufferLimit_data();
    void bufferLimit();
    void missingFile();
    void findsFileInOrder();

private:
    QTemporaryDir dir_;
};

void TestProfile::readsValue_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<QByteArray>("key");
    QTest::addColumn<QByteArray>("defaultValue");
    QTest::addColumn<QByteArray>("expected");
    const QByteArray sample = QByteArray::fromStdString(kSample);
    QTest::newRow("trimmed around key and value")
        << sample << QByteArray("RP1210Support") << QByteArray("APIImplementations") << QByteArray("")
        << QByteArray("ABC,ZT121032,XYZ");
    QTest::newRow("section and key ignore case")
        << sample << QByteArray("rp1210SUPPORT") << QByteArray("apiimplementations") << QByteArray("")
        << QByteArray("ABC,ZT121032,XYZ");
    QTest::newRow("blanks inside kept") << sample << QByteArray("RP1210Support") << QByteArray("Inner")
                                        << QByteArray("") << QByteArray("two  blanks  inside");
    QTest::newRow("double quotes removed") << sample << QByteArray("RP1210Support") << QByteArray("Quoted")
                                           << QByteArray("") << QByteArray("  kept blanks  ");
    QTest::newRow("single quotes removed")
        << sample << QByteArray("RP1210Support") << QByteArray("Single") << QByteArray("") << QByteArray("x");
    QTest::newRow("mismatched quotes kept")
        << sample << QByteArray("RP1210Support") << QByteArray("Mismatched") << QByteArray("")
        << QByteArray("\"x'");
    QTest::newRow("empty value is not the default")
        << sample << QByteArray("RP1210Support") << QByteArray("Empty") << QByteArray("dflt")
        << QByteArray("");
    QTest::newRow("semicolon inside a value")
        << sample << QByteArray("RP1210Support") << QByteArray("Semicolon") << QByteArray("")
        << QByteArray("a;b");
    QTest::newRow("commented key gives default")
        << sample << QByteArray("RP1210Support") << QByteArray("Commented") << QByteArray("no")
        << QByteArray("no");
    QTest::newRow("missing section") << sample << QByteArray("Nowhere") << QByteArray("APIImplementations")
                                     << QByteArray("dflt") << QByteArray("dflt");
    QTest::newRow("missing key") << sample << QByteArray("RP1210Support") << QByteArray("Nothing")
                                 << QByteArray("") << QByteArray("");
    QTest::newRow("default loses trailing blanks")
        << sample << QByteArray("RP1210Support") << QByteArray("Nothing") << QByteArray(" d  ")
        << QByteArray(" d");
    QTest::newRow("CRLF lines") << QByteArray("[RP1210Support]\r\nAPIImplementations=ABC,XYZ\r\nNext=1\r\n")
                                << QByteArray("RP1210Support") << QByteArray("APIImplementations")
                                << QByteArray("") << QByteArray("ABC,XYZ");
}

void TestProfile::readsValue() {
    QFETCH(QByteArray, content);
    QFETCH(QByteArray, section);
    QFETCH(QByteArray, key);
    QFETCH(QByteArray, defaultValue);
    QFETCH(QByteArray, expected);
    QVERIFY(dir_.isValid());
    const std::string path = dir_.filePath("rp121032.ini").toStdString();
    writeFile(path, content.toStdString());
    const std::string value = platform::getPrivateProfileString(section.toStdString(), key.toStdString(),
                                                                defaultValue.toStdString(), 256, path);
    QCOMPARE(QByteArray::fromStdString(value), expected);
}

void TestProfile::bufferLimit_data() {
    QTest::addColumn<int>("valueLength");
    QTest::addColumn<int>("bufferSize");
    QTest::addColumn<int>("expectedLength");
    QTest::newRow("300 into 256") << 300 << 256 << 255;
    QTest::newRow("256 loses one") << 256 << 256 << 255;
    QTest::newRow("short value whole") << 10 << 256 << 10;
    QTest::newRow("buffer of zero holds nothing") << 10 << 0 << 0;
}

void TestProfile::bufferLimit() {
    QFETCH(int, valueLength);
    QFETCH(int, bufferSize);
    QFETCH(int, expectedLength);
    std::string value;
    for (int i = 0; i < valueLength; ++i) {
        value.push_back(static_cast<char>('A' + i % 26));
    }
    const std::string path = dir_.filePath("long.ini").toStdString();
    writeFile(path, "[RP1210Support]\nAPIImplementations=" + value + "\n");
    const std::string read =
        platform::getPrivateProfileString("RP1210Support", "APIImplementations", "", bufferSize, path);
    QCOMPARE(read, value.substr(0, expectedLength));
    // The default is cut the same way.
    QCOMPARE(platform::getPrivateProfileString("RP1210Support", "Absent", value, bufferSize, path),
             value.substr(0, expectedLength));
}

void TestProfile::missingFile() {
    const std::string path = dir_.filePath("absent.ini").toStdString();
    QCOMPARE(platform::getPrivateProfileString("RP1210Support", "APIImplementations", "", 256, path),
             std::string());
    QCOMPARE(platform::getPrivateProfileString("RP1210Support", "APIImplementations", "x", 256, path),
             std::string("x"));
}

// The executable's folder wins over <exe dir>/../etc/tarvik, which wins over
// /etc; with none present the executable's folder is named.
void TestProfile::findsFileInOrder() {
    const std::string exeDir = platform::executableDirectory();
    QVERIFY(!exeDir.empty());
    const std::string name = "tarvik_profile_probe_" + std::to_string(getpid()) + ".ini";
    const std::string besideExe = exeDir + "/" + name;
    const std::string etcDir = exeDir + "/../etc/tarvik";
    const std::string inEtcTarvik = etcDir + "/" + name;
    auto cleanup = qScopeGuard([&] {
        std::error_code ec;
        std::filesystem::remove(besideExe, ec);
        std::filesystem::remove(inEtcTarvik, ec);
        // The folders go only if this test made them and left them empty.
        std::filesystem::remove(etcDir, ec);
        std::filesystem::remove(exeDir + "/../etc", ec);
    });

    QCOMPARE(platform::findProfileFile(name), besideExe);
    std::filesystem::create_directories(etcDir);
    writeFile(inEtcTarvik, "[S]\n");
    QCOMPARE(platform::findProfileFile(name), inEtcTarvik);
    writeFile(besideExe, "[S]\n");
    QCOMPARE(platform::findProfileFile(name), besideExe);

    // passwd exists in /etc on every Linux system and nowhere near the tests.
    QCOMPARE(platform::findProfileFile("passwd"), std::string("/etc/passwd"));
    QCOMPARE(platform::findProfileFile("/some/where/rp121032.ini"), std::string("/some/where/rp121032.ini"));
}

QTEST_APPLESS_MAIN(TestProfile)
#include "tst_profile.moc"

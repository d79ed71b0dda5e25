#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

#include <dlfcn.h>

#include "platform/library.h"

namespace {
using ProbeFunction = int (*)();
constexpr const char* kProbeSymbol = "platform_probe_answer";

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

bool stillLoaded(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) {
        return false;
    }
    dlclose(handle);
    return true;
}
} // namespace

class TestLibrary : public QObject {
    Q_OBJECT

private slots:
    void candidateOrder_data();
    void candidateOrder();
    void loadsBesideExecutable_data();
    void loadsBesideExecutable();
    void destructorKeepsLibraryLoaded();
    void releaseUnloads();
    void notALibraryFailsWithMessage();
    void existingBadFileExplainsFailure();
    void missingLibraryFails();
};

void TestLibrary::candidateOrder_data() {
    const QString exe = QString::fromStdString(platform::executableDirectory());
    const QString lib = exe + "/../lib/tarvik";
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("NAME.dll") << "ZT121032.dll" << QStringList{exe + "/ZT121032.dll", exe + "/libZT121032.so",
                                                               lib + "/ZT121032.dll", lib + "/libZT121032.so",
                                                               "ZT121032.dll",        "libZT121032.so"};
    QTest::newRow("name appended to a .dll name")
        << "X.dll.dll" << QStringList{exe + "/X.dll.dll",   exe + "/libX.dll.so", lib + "/X.dll.dll",
                                      lib + "/libX.dll.so", "X.dll.dll",          "libX.dll.so"};
    QTest::newRow("other name") << "drv" << QStringList{exe + "/drv", exe + "/libdrv.so",
                                                        lib + "/drv", lib + "/libdrv.so",
                                                        "drv",        "libdrv.so"};
    QTest::newRow("absolute path only") << "/opt/drv/ZT.dll" << QStringList{"/opt/drv/ZT.dll"};
    QTest::newRow("empty name") << "" << QStringList{};
}

void TestLibrary::candidateOrder() {
    QFETCH(QString, name);
    QFETCH(QStringList, expected);
    QStringList actual;
    for (const std::string& path : platform::candidatePaths(name.toStdString())) {
        actual << QString::fromStdString(path);
    }
    QCOMPARE(actual, expected);
}

// The probe library sits beside this test as libplatformprobe.so; every way
// the program may name it finds that file.
void TestLibrary::loadsBesideExecutable_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("implementation name with .dll") << "platformprobe.dll";
    QTest::newRow("file name") << PROBE_FILE_NAME;
    QTest::newRow("path") << QString::fromStdString(platform::executableDirectory()) + "/" + PROBE_FILE_NAME;
}

void TestLibrary::loadsBesideExecutable() {
    QFETCH(QString, name);
    std::string error;
    auto library = platform::DynamicLibrary::load(name.toStdString(), &error);
    QVERIFY2(library.has_value(), error.c_str());
    QVERIFY(library->isLoaded());
    QCOMPARE(std::filesystem::canonical(library->path()),
             std::filesystem::canonical(platform::executableDirectory() + "/" + PROBE_FILE_NAME));
    auto probe = reinterpret_cast<ProbeFunction>(library->resolve(kProbeSymbol));
    QVERIFY(probe != nullptr);
    QCOMPARE(probe(), 42);
    QVERIFY(library->resolve("RP1210_NotExported") == nullptr);
    library->release();
}

void TestLibrary::destructorKeepsLibraryLoaded() {
    std::string path;
    ProbeFunction probe = nullptr;
    {
        auto library = platform::DynamicLibrary::load("platformprobe.dll", nullptr);
        QVERIFY(library.has_value());
        path = library->path();
        probe = reinterpret_cast<ProbeFunction>(library->resolve(kProbeSymbol));
        platform::DynamicLibrary moved = std::move(*library);
        QVERIFY(!library->isLoaded());
        QVERIFY(library->resolve(kProbeSymbol) == nullptr);
        QVERIFY(moved.resolve(kProbeSymbol) != nullptr);
    }
    // Entry points held after the objects went away still work.
    QVERIFY(stillLoaded(path));
    QCOMPARE(probe(), 42);
}

void TestLibrary::releaseUnloads() {
    auto library = platform::DynamicLibrary::load("platformprobe.dll", nullptr);
    QVERIFY(library.has_value());
    const std::string path = library->path();
    // Drop every reference earlier tests left behind, then take one.
    while (stillLoaded(path)) {
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        dlclose(handle);
        dlclose(handle);
    }
    library = platform::DynamicLibrary::load("platformprobe.dll", nullptr);
    QVERIFY(library.has_value());
    QVERIFY(stillLoaded(path));
    library->release();
    QVERIFY(!library->isLoaded());
    QVERIFY(library->resolve(kProbeSymbol) == nullptr);
    QVERIFY(!stillLoaded(path));
    library->release(); // a second release does nothing
}

void TestLibrary::notALibraryFailsWithMessage() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string path = dir.filePath("FAKE.dll").toStdString();
    writeFile(path, "[RP1210Support]\nThis is a text file, not a library.\n");
    std::string error;
    QVERIFY(!platform::DynamicLibrary::load(path, &error).has_value());
    QVERIFY2(error.find(path) != std::string::npos, error.c_str());
}

// A non-library found in the executable's folder explains the failure, not
// the "not found" of the places searched after it.
void TestLibrary::existingBadFileExplainsFailure() {
    const std::string name = "tarvik_not_a_library_" + std::to_string(getpid()) + ".dll";
    const std::string path = platform::executableDirectory() + "/" + name;
    auto cleanup = qScopeGuard([&] { std::filesystem::remove(path); });
    writeFile(path, "not an ELF file");
    std::string error;
    QVERIFY(!platform::DynamicLibrary::load(name, &error).has_value());
    QVERIFY2(error.find(path) != std::string::npos, error.c_str());
}

void TestLibrary::missingLibraryFails() {
    std::string error;
    QVERIFY(!platform::DynamicLibrary::load("tarvik_no_such_driver.dll", &error).has_value());
    QVERIFY(!error.empty());
    error.clear();
    QVERIFY(!platform::DynamicLibrary::load("", &error).has_value());
    QVERIFY(!error.empty());
}

QTEST_APPLESS_MAIN(TestLibrary)
#include "tst_library.moc"

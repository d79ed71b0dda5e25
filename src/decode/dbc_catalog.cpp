#include "decode/dbc_catalog.h"

#include "decode/dbc.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <memory>

namespace decode {

namespace {
const QString kListKey = QStringLiteral("dbc/files");

std::unique_ptr<QSettings> openSettings(const QString& file) {
    if (!file.isEmpty())
        return std::make_unique<QSettings>(file, QSettings::IniFormat);
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("tarvik"),
                                       QStringLiteral("tarvik"));
}
} // namespace

DbcCatalog::DbcCatalog(QString settingsFile, QObject* parent)
    : QObject(parent), settingsFile_(std::move(settingsFile)) {}

DbcCatalog::~DbcCatalog() = default;

QString DbcCatalog::defaultFilePath() {
    const QString exeDir = QCoreApplication::applicationDirPath();
    for (const QString& folder : {exeDir, exeDir + QStringLiteral("/../lib/tarvik")}) {
        const QFileInfo candidate(QDir(folder).filePath(QString::fromLatin1(kDefaultFileName)));
        if (candidate.isFile())
            return candidate.canonicalFilePath();
    }
    return {};
}

QStringList DbcCatalog::rememberedPaths() const {
    return openSettings(settingsFile_)->value(kListKey).toStringList();
}

void DbcCatalog::remember() const {
    QStringList paths;
    if (!usingDefault_)
        for (const FileEntry& entry : files_)
            paths << entry.path;
    openSettings(settingsFile_)->setValue(kListKey, paths);
}

QStringList DbcCatalog::rebuild(const QStringList& paths) {
    QStringList messages;
    SignalDatabase fresh;
    std::vector<FileEntry> entries;
    for (const QString& path : paths) {
        DbcReadResult read = readDbcFile(path.toStdString());
        if (const DbcError* error = std::get_if<DbcError>(&read)) {
            messages << QString::fromStdString(error->message());
            continue;
        }
        DbcFile& file = std::get<DbcFile>(read);
        std::vector<uint32_t> pgns;
        for (const MessageDef& message : file.messages)
            if (message.isJ1939)
                pgns.push_back(message.pgn);
        const SignalDatabase::LoadResult result = fresh.add(std::move(file));
        for (const std::string& notice : result.replacedNotices)
            messages << QString::fromStdString(notice);
        entries.push_back({path, result.messageCount, result.messageCount, std::move(pgns)});
    }
    // Later files may have replaced messages of earlier ones.
    const std::vector<SignalDatabase::FileInfo> infos = fresh.files();
    for (std::size_t i = 0; i < entries.size() && i < infos.size(); ++i)
        entries[i].activeCount = infos[i].activeCount;
    database_ = std::move(fresh);
    files_ = std::move(entries);
    emit changed();
    return messages;
}

QStringList DbcCatalog::restore() {
    const QStringList remembered = rememberedPaths();
    if (!remembered.isEmpty()) {
        usingDefault_ = false;
        return rebuild(remembered);
    }
    usingDefault_ = true;
    const QString fallback = defaultFilePath();
    return rebuild(fallback.isEmpty() ? QStringList() : QStringList{fallback});
}

QStringList DbcCatalog::load(const QStringList& paths) {
    QStringList wanted;
    if (!usingDefault_)
        for (const FileEntry& entry : files_)
            wanted << entry.path;
    for (const QString& path : paths) {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        wanted.removeAll(absolute);
        wanted << absolute;
    }
    usingDefault_ = false;
    const QStringList messages = rebuild(wanted);
    remember();
    return messages;
}

void DbcCatalog::remove(const QString& path) {
    QStringList wanted;
    for (const FileEntry& entry : files_)
        if (entry.path != path)
            wanted << entry.path;
    if (usingDefault_) {
        // Dropping the default file is a choice too: nothing is loaded.
        usingDefault_ = false;
    }
    rebuild(wanted);
    remember();
}

} // namespace decode

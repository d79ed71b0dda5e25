#pragma once
// The DBC files the user has loaded, as one signal database for the windows
// that decode: loaded in the order chosen, remembered between runs in the
// user's configuration, and our own truck's file when the user has loaded
// none. Lives on the user-interface thread.

#include "decode/signal_database.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <vector>

namespace decode {

class DbcCatalog : public QObject {
    Q_OBJECT
public:
    struct FileEntry {
        QString path;
        std::size_t messageCount = 0;    // messages in the file
        std::size_t activeCount = 0;     // of them, not replaced by a later file
        std::vector<uint32_t> j1939Pgns; // PGNs of its J1939 messages
    };

    // settingsFile: where the list is remembered; empty for the user's
    // configuration folder.
    explicit DbcCatalog(QString settingsFile = {}, QObject* parent = nullptr);
    ~DbcCatalog() override;

    // Loads the remembered files, or the default file when none is
    // remembered. Returns what went wrong, one message per line.
    QStringList restore();
    // Adds files after those loaded (a file loaded again moves to the end)
    // and remembers the list. A file that cannot be read is left out with a
    // message naming the file, the line and what was expected. Returns those
    // messages and one notice per message a later file replaced.
    QStringList load(const QStringList& paths);
    // Drops a file from the list.
    void remove(const QString& path);

    const SignalDatabase& database() const { return database_; }
    const std::vector<FileEntry>& files() const { return files_; }
    // True while the list is only the default file, not the user's choice.
    bool usingDefault() const { return usingDefault_; }

    // Our simulated truck's DBC: beside the executable, then in
    // <exe dir>/../lib/tarvik/. Empty when neither exists.
    static QString defaultFilePath();
    static constexpr const char* kDefaultFileName = "tarvik_truck.dbc";

signals:
    void changed();

private:
    // Reads paths into a fresh database; paths that fail are dropped.
    QStringList rebuild(const QStringList& paths);
    void remember() const;
    QStringList rememberedPaths() const;

    QString settingsFile_;
    SignalDatabase database_;
    std::vector<FileEntry> files_;
    bool usingDefault_ = false;
};

} // namespace decode

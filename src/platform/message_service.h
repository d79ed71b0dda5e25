#pragma once
// Message boxes and file dialogs go through this one service, so that tests
// can answer them instead of a person and no modal box ever blocks a test.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace platform {

enum class MessageIcon { None, Error, Warning, Information, Question };
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

struct MessageRequest {
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

struct FileRequest {
    QWidget* parent = nullptr;
    bool save = false;
    QString filter;           // Qt filter text, e.g. "Receive Config Files (*.ztrxc);;All Files (*)"
    QString defaultExtension; // without the dot; added to a typed name that has none
    QString initialName;
};

class MessageService {
public:
    // Returns the id of the button pressed: IDOK, IDCANCEL, IDYES or IDNO.
    static int messageBox(const MessageRequest& request);
    static int messageBox(QWidget* parent, const QString& text, const QString& caption,
                          MessageIcon icon = MessageIcon::None, MessageButtons buttons = MessageButtons::Ok);

    // The chosen path, or nothing when the user cancelled. A save dialog asks
    // before replacing an existing file.
    static std::optional<QString> fileDialog(const FileRequest& request);
    // An open dialog that takes several files at once; empty when the user
    // cancelled. A test's file handler answers it with its one path.
    static QStringList openFilesDialog(const FileRequest& request);

    // The caption of the range and format messages of the data exchange.
    static QString applicationCaption();

    using MessageHandler = std::function<int(const MessageRequest&)>;
    using FileHandler = std::function<std::optional<QString>(const FileRequest&)>;
    // Replace the interactive boxes (tests); an empty handler restores them.
    static void setMessageHandler(MessageHandler handler);
    static void setFileHandler(FileHandler handler);
};

} // namespace platform

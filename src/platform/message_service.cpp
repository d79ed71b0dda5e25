#include "platform/message_service.h"

#include "platform/dialog_template.h"

#include <QFileDialog>
#include <QMessageBox>

namespace platform {

namespace {
MessageService::MessageHandler& messageHandler() {
    static MessageService::MessageHandler handler;
    return handler;
}
MessageService::FileHandler& fileHandler() {
    static MessageService::FileHandler handler;
    return handler;
}

QMessageBox::Icon toQt(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

int MessageService::messageBox(QWidget* parent, const QString& text, const QString& caption, MessageIcon icon,
                               MessageButtons buttons) {
    return messageBox(MessageRequest{parent, text, caption, icon, buttons});
}

int MessageService::messageBox(const MessageRequest& request) {
    if (messageHandler())
        return messageHandler()(request);

    QMessageBox box(toQt(request.icon), request.caption, request.text, QMessageBox::NoButton, request.parent);
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok:
        return IDOK;
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    default:
        return IDCANCEL;
    }
}

std::optional<QString> MessageService::fileDialog(const FileRequest& request) {
    if (fileHandler())
        return fileHandler()(request);

    QFileDialog dialog(request.parent);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.defaultExtension);
    if (!request.initialName.isEmpty())
        dialog.selectFile(request.initialName);
    // The save dialog's own overwrite prompt stays on.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

QStringList MessageService::openFilesDialog(const FileRequest& request) {
    if (fileHandler()) {
        const std::optional<QString> path = fileHandler()(request);
        return path ? QStringList{*path} : QStringList();
    }
    QFileDialog dialog(request.parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setNameFilter(request.filter);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles();
}

QString MessageService::applicationCaption() {
    return QStringLiteral("Tarvik");
}

void MessageService::setMessageHandler(MessageHandler handler) {
    messageHandler() = std::move(handler);
}
void MessageService::setFileHandler(FileHandler handler) {
    fileHandler() = std::move(handler);
}

} // namespace platform

#pragma once
// Helpers for widget tests: answer message boxes and file dialogs, act inside
// a modal window once it runs, and type or click as a user would.

#include "platform/dialog.h"
#include "platform/message_service.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

namespace testsupport {

// Records every message box and answers it with a fixed button, for the
// life of the object.
class MessageRecorder {
public:
    explicit MessageRecorder(int answer = platform::IDOK);
    ~MessageRecorder();
    const std::vector<platform::MessageRequest>& messages() const { return messages_; }
    QStringList texts() const;
    void clear() { messages_.clear(); }
    void setAnswer(int answer) { answer_ = answer; }

private:
    std::vector<platform::MessageRequest> messages_;
    int answer_;
};

// Answers file dialogs with the given path (nothing = the user cancels).
class FileDialogAnswer {
public:
    explicit FileDialogAnswer(std::optional<QString> path);
    ~FileDialogAnswer();
    void setPath(std::optional<QString> path) { path_ = std::move(path); }
    const std::vector<platform::FileRequest>& requests() const { return requests_; }

private:
    std::optional<QString> path_;
    std::vector<platform::FileRequest> requests_;
};

// Runs action inside the next modal dialog that starts running, once its
// event loop is up; the action must end that dialog (or the test hangs
// until the guard below closes it after a few seconds and fails).
void whenModalRuns(std::function<void(platform::Dialog&)> action);

// Replaces the text of an edit as a user would: select all, type the text.
void typeInto(platform::Dialog& dialog, int editId, const QString& text);
// Clicks a button, check box, radio button or picture.
void clickItem(platform::Dialog& dialog, int id);
// Presses an up-down's arrow (step +1 or -1) count times.
void pressArrow(platform::Dialog& dialog, int upDownId, int step, int count = 1);
// Moves the focus away from the current control (a focus-lost notification).
void leaveItem(platform::Dialog& dialog, int id);

// What assistive technology reads as the control's name and description.
QString accessibleName(QWidget* widget);
QString accessibleDescription(QWidget* widget);
// Does the control's own accessible action (Press or Toggle), as a screen
// reader user would, and waits until a pressed button has come back up.
// False when the control offers neither.
bool actAccessibly(QWidget* widget);

} // namespace testsupport

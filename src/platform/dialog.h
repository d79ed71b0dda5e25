#pragma once
// The dialog framework every window is built on: widgets made from a
// numbered template and addressed by control id, a data exchange that binds
// controls to members ("read the controls" and "refresh the controls"),
// notifications routed to handlers by control id, and posted messages from
// worker threads.

#include "platform/controls.h"
#include "platform/dialog_template.h"

#include <QDialog>
#include <QIcon>

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QRadioButton;

namespace platform {

class Dialog;

// What a control reports to its window.
enum class Notification {
    Clicked,     // button, check box, radio button, notifying picture
    TextChanged, // edit text changed, by the user or by the program
    FocusLost,   // edit lost the keyboard focus
    SelChanged,  // the user picked another entry of a drop-down list
};

// One pass of the data exchange. Reading (saveAndValidate) copies each bound
// control into its member and stops at the first control that fails its
// check: the user is told the allowed range, that control gets the focus,
// and the members bound before it keep their new values while those after it
// keep their old ones. Refreshing copies members into controls and leaves a
// control alone when it already shows the new text, so it raises no change
// notification.
class DataExchange {
public:
    DataExchange(Dialog& dialog, bool saveAndValidate);

    bool saveAndValidate() const { return save_; }
    bool failed() const { return failed_; }

    // Text edits, labels, buttons (their caption).
    void text(int id, QString& value);
    void text(int id, std::string& value);
    // Limit the length of a text: the edit accepts at most maxLength
    // characters and a longer text fails the read.
    void maxChars(int id, QString& value, int maxLength);
    void maxChars(int id, std::string& value, int maxLength);

    // Integer fields shown in decimal. A text that is not a number, or a
    // number outside [minimum, maximum], fails the read and leaves the
    // member as it was.
    template <typename T> void number(int id, T& value, T minimum, T maximum) {
        static_assert(std::is_integral_v<T>);
        int64_t wide = value;
        numberImpl(id, wide, minimum, maximum, std::is_signed_v<T>);
        value = static_cast<T>(wide);
    }
    template <typename T> void number(int id, T& value) {
        number(id, value, std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    }

    // Check box: 0 clear, 1 checked.
    void check(int id, int& state);
    void check(int id, bool& state);
    void check(int id, uint8_t& state);
    // Radio group that starts at firstId: index of the checked button, -1 if none.
    void radio(int firstId, int& index);
    // Drop-down list: index of the selected entry, -1 if none.
    void comboIndex(int id, int& index);
    // Drop-down list: text of the selected entry ("" if none); refreshing
    // selects the first entry that starts with the text.
    void comboText(int id, QString& value);

private:
    void numberImpl(int id, int64_t& value, int64_t minimum, int64_t maximum, bool isSigned);
    void fail(int id, const QString& message);
    bool skip() const { return failed_; }

    Dialog& dialog_;
    bool save_;
    bool failed_ = false;
};

class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(int templateId, QWidget* parent = nullptr);
    ~Dialog() override;

    int templateId() const { return templateId_; }

    // Builds the window from its template and runs it modally; returns the
    // code passed to endDialog (IDOK, IDCANCEL, ...), or -1 when there is no
    // template.
    int doModal();
    // Builds the window from its template, hidden, for modeless use.
    bool create();
    bool isCreated() const { return created_; }
    bool isRunningModal() const { return runningModal_; }
    void endDialog(int result);

    // The two data-exchange operations: read the controls (true) or refresh
    // them (false). Returns false when a read stopped at a failed check.
    // Text changes that a refresh causes are delivered once it has finished,
    // so a handler that reads the controls never sees a half-refreshed window.
    bool updateData(bool saveAndValidate = true);
    bool isRefreshing() const { return refreshDepth_ > 0; }

    // Controls by id; null when the window has no such control (or is not built).
    QWidget* item(int id) const;
    Edit* edit(int id) const;
    MultiLineEdit* multiLineEdit(int id) const;
    QAbstractButton* button(int id) const;
    QCheckBox* checkBox(int id) const;
    QRadioButton* radioButton(int id) const;
    QComboBox* comboBox(int id) const;
    UpDown* upDown(int id) const;
    Picture* picture(int id) const;

    void enableItem(int id, bool enabled);
    bool isItemEnabled(int id) const;
    QString itemText(int id) const;
    // Sets a control's text at once; an edit reports the change even when
    // the text is the same, as the native controls do.
    void setItemText(int id, const QString& text);
    // A picture that shows a state (a two-position switch) gives the state
    // in words too; assistive technology reads it as the description.
    void setItemIcon(int id, const QIcon& icon, const QString& stateName = {});
    void checkItem(int id, bool checked);
    bool isItemChecked(int id) const;
    // Focus a control (selecting the text of an edit).
    void focusItem(int id);

    // The id of a control widget of this window; IDC_STATIC if unknown.
    int idOf(const QWidget* widget) const;

    // Dialog units to pixels, from the font's average character size.
    QRect mapDialogRect(int x, int y, int width, int height) const;

protected:
    // --- overridable operations, in the framework's slot order ---
    // Command routing: every notification passes here first. The default
    // hands it to the handler table (onNotify); a subclass may act before or
    // after and must fall back to its base.
    virtual bool onCommand(int id, Notification code);
    // Bind members to controls. Subclasses call their base first.
    virtual void doDataExchange(DataExchange& dx);
    // After the window is built. The default refreshes the controls.
    virtual bool onInitDialog();
    virtual void onOK();
    virtual void onCancel();
    // The handler table: returns true when a handler ran. The base handles
    // the clicks of IDOK and IDCANCEL.
    virtual bool onNotify(int id, Notification code);
    // An up-down arrow is about to move from position by step; return true
    // to veto the change.
    virtual bool onUpDownDelta(int id, int position, int step);
    // The window is shown or hidden.
    virtual void onShowWindow(bool shown);
    // A notification posted from another thread (message 0x400 and up).
    virtual bool onPostedMessage(unsigned message, quintptr wParam, qintptr lParam);
    // The user closed the window (close box). Default: as Cancel.
    virtual void onClose();

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

public:
    // Escape and Enter arrive through QDialog's slots; route them as commands.
    void reject() override;
    void accept() override;
    // Deliver a notification as a control would (used by the controls'
    // signals and by tests that need an exact sequence).
    bool notify(int id, Notification code);

private:
    void build();
    void destroyControls();
    void connectButton(QAbstractButton* button, int id);
    // Sets a box or radio button without reporting it as the user's click.
    void setCheckedQuietly(QAbstractButton* button, bool checked);
    QWidget* makeControl(const ControlSpec& spec);

    friend class DataExchange;

    int templateId_;
    bool created_ = false;
    bool runningModal_ = false;
    bool inExec_ = false;
    std::optional<int> endedBeforeExec_;
    bool notificationsOn_ = false;
    int refreshDepth_ = 0;
    int settingChecks_ = 0;
    std::vector<int> deferredTextChanges_; // control ids, in order of change
    std::map<int, QWidget*> controls_;
    std::vector<QWidget*> allWidgets_;
    std::vector<QButtonGroup*> radioGroups_;
    std::map<int, QButtonGroup*> radioGroupOf_;
};

namespace testing {
// Sees each notification before the window handles it; returning true keeps
// it from the window. An empty function removes the observer.
using NotificationObserver = std::function<bool(Dialog& dialog, int id, Notification code)>;
void setNotificationObserver(NotificationObserver observer);
} // namespace testing

} // namespace platform

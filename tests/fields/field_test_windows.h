#pragma once
// Small concrete windows on the field sets, built on the filter templates:
// every text change of a field edit runs SyncField, as in the filters and
// builders. They count the SyncField calls and the deepest nesting, so a
// test can see that a change chain ends.

#include "fields/j1708_dlg.h"
#include "fields/j1939_dlg.h"
#include "res/templates.h"

#include <algorithm>
#include <initializer_list>

namespace testsupport {

template <typename Fields> class FieldTestWindow : public Fields {
public:
    FieldTestWindow(int templateId, std::initializer_list<int> syncedEdits)
        : Fields(templateId), syncedEdits_(syncedEdits) {}

    int syncCount = 0;
    int maxDepth = 0;

    using Fields::RestoreDisplayBase;

protected:
    bool onInitDialog() override {
        Fields::onInitDialog();
        Fields::RestoreDisplayBase();
        return true;
    }
    bool onNotify(int id, platform::Notification code) override {
        if (code == platform::Notification::TextChanged &&
            std::find(syncedEdits_.begin(), syncedEdits_.end(), id) != syncedEdits_.end()) {
            ++syncCount;
            maxDepth = std::max(maxDepth, ++depth_);
            if (depth_ < 50) // a runaway chain fails the tests instead of overflowing the stack
                Fields::SyncField(id);
            --depth_;
            return true;
        }
        return Fields::onNotify(id, code);
    }

private:
    std::vector<int> syncedEdits_;
    int depth_ = 0;
};

class Test1708Window : public FieldTestWindow<fields::J1708Dlg> {
public:
    Test1708Window() : FieldTestWindow(res::IDD_FILT1708, {1065, 1077, 1067, 1079}) {}
};

class Test1939Window : public FieldTestWindow<fields::J1939Dlg> {
public:
    Test1939Window()
        : FieldTestWindow(res::IDD_FILT1939, {1061, 1063, 1065, 1067, 1069, 1071, 1077, 1079, 1081}) {}
};

} // namespace testsupport

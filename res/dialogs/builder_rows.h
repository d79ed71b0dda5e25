#pragma once
// Template pieces shared by the transmit message builders: numbered rows,
// the schedule and data count groups, a row of data bytes and OK/Cancel.
#include "platform/dialog_template.h"

#include <vector>

namespace res {

// A caption and a digits-only edit with its up-down; AutoBuddy makes the
// up-down write its position into the edit.
void addNumberRow(std::vector<platform::ControlSpec>& controls, const QString& caption, int captionX,
                  int editX, int y, int edit, int spin, unsigned spinStyle = platform::AutoBuddy);
// "Schedule" (Broadcast Count, Delay, Interval) and, below it, the Data Count
// group: 116 dialog units wide from x, 102 high from y.
void addScheduleGroups(std::vector<platform::ControlSpec>& controls, int x, int y);
// The "Data" group with the first count data edits (disabled) in one row.
void addDataRow(std::vector<platform::ControlSpec>& controls, int count, int x, int y, int width);
// OK and Cancel, side by side from x.
void addOkCancel(std::vector<platform::ControlSpec>& controls, int x, int y);

} // namespace res

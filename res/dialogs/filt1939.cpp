#include "res/templates.h"

namespace res {

// Not laid out yet: an empty template (id 0) is not offered to windows.
platform::DialogTemplate filt1939Template() { return {}; }

} // namespace res

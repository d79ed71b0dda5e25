#include "res/templates.h"

#include <map>

namespace platform {

const DialogTemplate* findDialogTemplate(int id) {
    // Built once, on first use, from the per-window functions.
    static const std::map<int, DialogTemplate> templates = [] {
        std::map<int, DialogTemplate> all;
        for (DialogTemplate (*make)() :
             {res::aboutTemplate, res::mainWindowTemplate, res::receiveTemplate, res::transmitTemplate,
              res::tx1939Template, res::tx1708Template, res::filt1939Template, res::filt1708Template,
              res::tx1850Template, res::initCanTemplate, res::connectionTemplate}) {
            DialogTemplate made = make();
            if (made.id != 0)
                all.emplace(made.id, std::move(made));
        }
        return all;
    }();
    auto found = templates.find(id);
    return found == templates.end() ? nullptr : &found->second;
}

} // namespace platform

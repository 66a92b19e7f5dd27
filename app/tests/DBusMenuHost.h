// How a label travels from a menu action to a StatusNotifierItem tray: what
// Qt's D-Bus menu export makes of the action's text, and what a dbusmenu host
// shows for the label it receives.
#pragma once

#include <string>
#include <string_view>

namespace scourlet::testing {

// What Qt's D-Bus menu export does to an action's text: the first "&", unless
// it ends the text, becomes the "_" access-key marker.
inline std::string exportedLabel(std::string label) {
    const std::size_t at = label.find('&');
    if (at != std::string::npos && at + 1 < label.size()) {
        label[at] = '_';
    }
    return label;
}

// What a dbusmenu host shows for a label: "__" is one "_", a single "_" marks
// the next character as the access key and is hidden.
inline std::string hostShows(std::string_view label) {
    std::string shown;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_') {
            if (i + 1 < label.size() && label[i + 1] == '_') {
                shown += '_';
                ++i;
            }
            continue;
        }
        shown += label[i];
    }
    return shown;
}

// A host built on libdbusmenu-gtk: a label with an access key has its "_"
// escapes undone twice while access keys are hidden.
inline std::string gtkHostShows(std::string_view label) {
    bool accessKey = false;
    for (std::size_t i = 0; i < label.size(); ++i) {
        if (label[i] == '_') {
            if (i + 1 < label.size() && label[i + 1] != '_') {
                accessKey = true;
            }
            ++i;
        }
    }
    return accessKey ? hostShows(hostShows(label)) : hostShows(label);
}

}  // namespace scourlet::testing

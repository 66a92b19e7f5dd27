// NotificationPoster: the desktop's notification service, as the core needs it.
//
// The application supplies one over the freedesktop notification service (or
// Qt); tests use a recording fake. NotificationManager decides what to post
// and when; a poster only delivers.
//
//   poster->requestPermission([](bool granted) { ... });   // answered on any thread
//   poster->post({"8F0C...", "URL Cleaned", "Removed 2 trackers: utm_source, fbclid"});
#pragma once

#include <functional>
#include <string>

namespace scourlet {

class NotificationPoster {
public:
    struct Notification {
        std::string identifier;  // unique per notification
        std::string title;
        std::string body;
        bool operator==(const Notification&) const = default;
    };

    virtual ~NotificationPoster() = default;

    // Asks the service whether this program may show notifications: whether
    // the service is there and the user allows it. Calls `answer` once, on any
    // thread, possibly before returning: true when notifications will be
    // shown, false when the service is missing, refuses or fails to answer.
    virtual void requestPermission(std::function<void(bool granted)> answer) = 0;

    // Shows `notification` at once, silently (no sound, no badge). Failures
    // are dropped: a notification is a courtesy, never a reason to stop.
    virtual void post(const Notification& notification) = 0;
};

}  // namespace scourlet

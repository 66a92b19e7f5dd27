// Reading widgets as assistive technology does, through QAccessible: by role,
// name and description, walking down from an interface's children.
//
//   QAccessibleInterface* list = accessibleOf(listWidget);
//   for (QAccessibleInterface* button : descendantsWithRole(list, QAccessible::Button)) ...
#pragma once

#include <functional>
#include <vector>

#include <QAccessible>

namespace scourlet::testing {

inline QAccessibleInterface* accessibleOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object);
}

inline QString accessibleName(const QAccessibleInterface* node) {
    return node == nullptr ? QString() : node->text(QAccessible::Name);
}

inline QString accessibleDescription(const QAccessibleInterface* node) {
    return node == nullptr ? QString() : node->text(QAccessible::Description);
}

// Every interface below `root` (not `root` itself) in the order a reader
// meets them, with `visit` called on each.
inline void walkAccessible(QAccessibleInterface* root,
                           const std::function<void(QAccessibleInterface*)>& visit) {
    if (root == nullptr) {
        return;
    }
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface* child = root->child(i);
        if (child != nullptr) {
            visit(child);
            walkAccessible(child, visit);
        }
    }
}

inline std::vector<QAccessibleInterface*> descendantsWithRole(QAccessibleInterface* root,
                                                              QAccessible::Role role) {
    std::vector<QAccessibleInterface*> found;
    walkAccessible(root, [&](QAccessibleInterface* node) {
        if (node->role() == role) {
            found.push_back(node);
        }
    });
    return found;
}

}  // namespace scourlet::testing

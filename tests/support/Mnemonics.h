#pragma once

#include <QAbstractButton>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QMenuBar>
#include <QStackedWidget>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>

#include <functional>

/// The Alt+letter keys that two things of @p window claim at once, as "Alt+P: &Port, &Program". What shows together
/// is one scope: the window with one page of each tab widget (the other pages' keys are not active then), and
/// each menu on its own. A label counts when it has a buddy; an explicitly hidden widget does not count.
inline QStringList duplicatedMnemonics(QWidget* window)
{
    QStringList duplicates;
    const auto check = [&duplicates](const QMultiMap<QKeySequence, QString>& keys) {
        for (const QKeySequence& key : keys.uniqueKeys()) {
            if (keys.count(key) > 1)
                duplicates << key.toString() + QStringLiteral(": ") + QStringList(keys.values(key)).join(u", ");
        }
    };
    const auto add = [](QMultiMap<QKeySequence, QString>& keys, const QString& text) {
        if (const QKeySequence key = QKeySequence::mnemonic(text); !key.isEmpty())
            keys.insert(key, text);
    };
    QList<QWidget*> pages; // of every tab widget: each one a scope of its own over the window's
    std::function<void(QWidget*, QMultiMap<QKeySequence, QString>&)> collect =
        [&](QWidget* widget, QMultiMap<QKeySequence, QString>& keys) {
            if (widget->isHidden() && widget != window && !pages.contains(widget))
                return;
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                add(keys, button->text());
            else if (auto* label = qobject_cast<QLabel*>(widget); label && label->buddy())
                add(keys, label->text());
            else if (auto* box = qobject_cast<QGroupBox*>(widget))
                add(keys, box->title());
            else if (auto* bar = qobject_cast<QTabBar*>(widget)) {
                for (int i = 0; i < bar->count(); ++i)
                    add(keys, bar->tabText(i));
            } else if (auto* menus = qobject_cast<QMenuBar*>(widget)) {
                for (QAction* action : menus->actions())
                    add(keys, action->text());
            }
            for (QWidget* child : widget->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                auto* stack = qobject_cast<QStackedWidget*>(widget);
                if (stack && qobject_cast<QTabWidget*>(stack->parentWidget())) {
                    pages << child; // looked at later, one at a time
                    continue;
                }
                if (!child->isWindow())
                    collect(child, keys);
            }
        };
    QMultiMap<QKeySequence, QString> windowKeys;
    collect(window, windowKeys);
    check(windowKeys);
    for (qsizetype i = 0; i < pages.size(); ++i) { // grows while the pages' own tab widgets are found
        QMultiMap<QKeySequence, QString> keys = windowKeys;
        collect(pages.at(i), keys);
        check(keys);
    }
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        QMultiMap<QKeySequence, QString> keys;
        for (QAction* action : menu->actions())
            add(keys, action->text());
        check(keys);
    }
    return duplicates;
}

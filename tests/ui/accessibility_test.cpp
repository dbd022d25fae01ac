// The window as assistive technology reads it: every control a person can use has a name.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleInterface>
#include <QComboBox>
#include <QLineEdit>
#include <set>

#include "tests/ui/window_fixture.h"

namespace korvan {
namespace {

bool isControl(QAccessible::Role role) {
    switch (role) {
        case QAccessible::EditableText:
        case QAccessible::ComboBox:
        case QAccessible::CheckBox:
        case QAccessible::RadioButton:
        case QAccessible::Button:
        case QAccessible::PageTab:
        case QAccessible::SpinBox:
            return true;
        default:
            return false;
    }
}

// Every interface under `root`, depth first, and the widgets they stand for.
void walk(QAccessibleInterface* root, std::vector<QAccessibleInterface*>& found) {
    if (root == nullptr) {
        return;
    }
    found.push_back(root);
    for (int i = 0; i < root->childCount(); ++i) {
        walk(root->child(i), found);
    }
}

using Accessibility = Window;

TEST_F(Accessibility, EveryControlOfTheWholeWindowHasAName) {
    std::vector<QAccessibleInterface*> found;
    walk(QAccessible::queryAccessibleInterface(window.get()), found);
    std::set<QObject*> reached;
    QStringList unnamed;
    for (QAccessibleInterface* face : found) {
        reached.insert(face->object());
        if (!isControl(face->role())) {
            continue;
        }
        // A control name ("RadioButton1") says nothing to a person.
        const QString name = face->text(QAccessible::Name).trimmed();
        if (name.isEmpty() || (face->object() && name == face->object()->objectName())) {
            const QObject* object = face->object();
            unnamed << QString("%1 (%2)")
                           .arg(object != nullptr ? object->objectName() : "?")
                           .arg(object != nullptr ? object->metaObject()->className() : "?");
        }
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
    // The walk went through the pages that are not shown too: every edit, box and button.
    int controls = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(widget) == nullptr &&
            qobject_cast<QAbstractButton*>(widget) == nullptr &&
            qobject_cast<QComboBox*>(widget) == nullptr) {
            continue;
        }
        if (qobject_cast<QLineEdit*>(widget->parentWidget()) == nullptr &&
            qobject_cast<QComboBox*>(widget->parentWidget()) == nullptr) {
            ++controls;
            EXPECT_EQ(reached.count(widget), 1u) << widget->objectName().toStdString();
        }
    }
    EXPECT_GT(controls, 100);
}

// Each control is named for what it sets: the password by its caption, the choices of the
// inputs' rows each by its own input and choice, never two alike.
TEST_F(Accessibility, EachControlIsNamedForWhatItSets) {
    const auto nameOf = [](QWidget* control) {
        return QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name);
    };
    EXPECT_EQ(nameOf(widget("edPassword")), "Пароль");
    std::set<QString> names;
    for (const char* row : {"RadioButton", "CheckBox", "TempBox", "GPRS"}) {
        for (int n = 1; n <= 4; ++n) {
            const QString name = nameOf(widget(QString("%1%2").arg(row).arg(n).toUtf8()));
            EXPECT_TRUE(name.contains(QString::number(n)) || name.contains("перв") ||
                        name.contains("втор") || name.contains("трет") || name.contains("четв"))
                << name.toStdString();
            names.insert(name);
        }
    }
    EXPECT_EQ(names.size(), 16u);
}

}  // namespace
}  // namespace korvan

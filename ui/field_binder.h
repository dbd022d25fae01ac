#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <functional>
#include <unordered_map>

#include "settings/field_model.h"
#include "settings/key_filters.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace korvan::ui {

// Makes the widget of each field and keeps it and the field model in step both ways: what the
// user types, picks and clicks goes into the model, and every change of the model shows at
// once. A widget holds no value of its own. Texts cross here between the model's Windows-1251
// and the window's Unicode.
class FieldBinder : public QObject {
  public:
    explicit FieldBinder(FieldModel& model, QObject* parent = nullptr);

    QLineEdit* edit(QWidget* parent, Field f, int x, int y, int width);
    QComboBox* combo(QWidget* parent, Field f, int x, int y, int width);
    QCheckBox* check(QWidget* parent, Field f, int x, int y, const QString& caption = {});
    QRadioButton* radio(QWidget* parent, Field f, int x, int y, const QString& caption = {});
    // A label or display panel that shows the field's text; the status line also its colour
    // and size.
    void show(QLabel* label, Field f);
    // A button whose enabled state the model keeps.
    void enable(QPushButton* button, Field f);

    // Every field's marks shown, once the window's widgets have their own look.
    void showMarks();
    // The status line's colour and font as the model says, its colour chosen against the
    // theme as it is now.
    void refreshStatusLook();

    QWidget* widget(Field f) const { return widgets_[static_cast<std::size_t>(indexOf(f))]; }
    // Runs after the user has changed a field, for the handlers a change is bound to.
    std::function<void(Field)> userChanged;

    static QString toQt(const std::string& cp1251);
    static std::string fromQt(const QString& text);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void adopt(QWidget* widget, Field f);
    void refresh(Field f, Aspect aspect);
    void refreshValue(Field f);
    // The field's marks: a broken rule, a difference with the tracker, a change since the read,
    // as a tint from the palette and the tooltip that says why.
    void refreshMarks(Field f);
    void userSet(Field f, const std::function<void()>& change);

    FieldModel& model_;
    Subscription subscription_;
    std::array<QWidget*, kFieldCount> widgets_{};
    std::unordered_map<QObject*, KeyFilter> filters_;
};

}  // namespace korvan::ui

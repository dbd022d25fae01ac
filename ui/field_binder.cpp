#include "ui/field_binder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QValidator>
#include <algorithm>

#include "base/cp1251.h"
#include "core/field_marks.h"
#include "ui/theme.h"

namespace korvan::ui {
namespace {

constexpr int kEditHeight = 21;
constexpr int kBoxHeight = 17;

// The character a key press types, as the filters see it, or nothing for a key that types
// none (arrows, Delete, Tab: Tab only moves the focus).
std::optional<char> typedByte(const QKeyEvent& key) {
    const int code = key.key();
    if (code == Qt::Key_Tab || code == Qt::Key_Backtab) {
        return std::nullopt;
    }
    const auto modifiers = key.modifiers();
    if ((modifiers & Qt::ControlModifier) && !(modifiers & Qt::AltModifier) && code >= Qt::Key_A &&
        code <= Qt::Key_Z) {
        return static_cast<char>(code - Qt::Key_A + 1);  // Ctrl+V is 22
    }
    switch (code) {
        case Qt::Key_Backspace:
            return '\b';
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return '\r';
        case Qt::Key_Escape:
            return '\x1B';
        default:
            break;
    }
    const QString text = key.text();
    if (text.isEmpty() || !text.at(0).isPrint()) {
        return std::nullopt;
    }
    return cp1251::fromUtf8(QString(text.at(0)).toStdString()).front();
}

// What the technician puts into a box, however it comes (typed, pasted by key or by the
// context menu, dropped): only the characters its filter admits are kept of what comes in, so
// a pasted "10.20.30.40 " becomes "10.20.30.40"; what the box held already stays as it was (a
// network name read from a tracker keeps its blanks). Unlike QLineEdit's own maximum length,
// the limit never cuts a longer text that the program has put in (a 13-character key stays
// whole when the key size becomes 64 bits); it only stops the text from growing past the
// limit. The program's own text (what a tracker or a file gave) is never touched.
class TypedText final : public QValidator {
  public:
    TypedText(QObject* owner, FieldModel& model, Field f)
        : QValidator(owner), model_(model), field_(f), filter_(keyFilterOf(f)) {}

    State validate(QString& input, int& position) const override {
        // The model holds the text as it was before this edit, or the program's new one.
        const QString before = FieldBinder::toQt(model_.text(field_));
        if (input == before) {
            return Acceptable;
        }
        // What came in lies between the part kept at the start and the part kept at the end.
        qsizetype head = 0;
        while (head < input.size() && head < before.size() && input[head] == before[head]) {
            ++head;
        }
        qsizetype tail = 0;
        while (tail < input.size() - head && tail < before.size() - head &&
               input[input.size() - 1 - tail] == before[before.size() - 1 - tail]) {
            ++tail;
        }
        QString kept = input.left(head);
        int keptPosition = static_cast<int>(std::min<qsizetype>(position, head));
        for (qsizetype i = head; i < input.size() - tail; ++i) {
            const std::string byte = FieldBinder::fromQt(QString(input.at(i)));
            if (byte.size() == 1 && textAdmitted(filter_, byte.front())) {
                kept += input.at(i);
                keptPosition += i < position ? 1 : 0;
            }
        }
        if (position > input.size() - tail) {
            keptPosition += static_cast<int>(position - (input.size() - tail));
        }
        kept += input.right(tail);
        input = kept;
        position = keptPosition;
        const int limit = model_.maxLength(field_);
        const bool grows = input.size() > before.size();
        return limit > 0 && grows && input.size() > limit ? Invalid : Acceptable;
    }

  private:
    FieldModel& model_;
    Field field_;
    KeyFilter filter_;
};

// The clipboard and undo shortcuts do in every box what they do elsewhere; what a paste brings
// is then kept to what the box admits.
bool editingShortcut(const QKeyEvent& key) {
    for (auto shortcut : {QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Paste,
                          QKeySequence::SelectAll, QKeySequence::Undo, QKeySequence::Redo}) {
        if (key.matches(shortcut)) {
            return true;
        }
    }
    return false;
}

// `base` moved a share `amount` of the way to `towards`: a tint that keeps the theme's own
// lightness, so that the palette's text stays readable on it in light and dark themes alike.
QColor tinted(const QColor& base, const QColor& towards, double amount) {
    const auto mix = [amount](int a, int b) {
        return static_cast<int>(a + (b - a) * amount + 0.5);
    };
    return QColor(mix(base.red(), towards.red()), mix(base.green(), towards.green()),
                  mix(base.blue(), towards.blue()));
}

// The widget's look before any mark, kept on the widget so that a mark taken away restores it.
constexpr const char* kPlainToolTip = "korvanPlainToolTip";

}  // namespace

QString FieldBinder::toQt(const std::string& cp1251) {
    return QString::fromStdString(cp1251::toUtf8(cp1251));
}

std::string FieldBinder::fromQt(const QString& text) {
    return cp1251::fromUtf8(text.toStdString());
}

FieldBinder::FieldBinder(FieldModel& model, QObject* parent)
    : QObject(parent),
      model_(model),
      subscription_(model.subscribe([this](Field f, Aspect a) { refresh(f, a); })) {}

void FieldBinder::adopt(QWidget* widget, Field f) {
    widget->setObjectName(
        QString::fromUtf8(fieldInfo(f).name.data(), static_cast<int>(fieldInfo(f).name.size())));
    widgets_[static_cast<std::size_t>(indexOf(f))] = widget;
    widget->setEnabled(model_.enabled(f));
}

void FieldBinder::userSet(Field f, const std::function<void()>& change) {
    change();
    refreshValue(f);  // the model may have kept its own value; the widget shows it
    if (userChanged) {
        userChanged(f);
    }
}

QLineEdit* FieldBinder::edit(QWidget* parent, Field f, int x, int y, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setGeometry(x, y, width, kEditHeight);
    adopt(edit, f);
    edit->setValidator(new TypedText(edit, model_, f));
    refreshValue(f);
    if (const auto filter = keyFilterOf(f); filter != KeyFilter::None) {
        filters_[edit] = filter;
        edit->installEventFilter(this);
    }
    connect(edit, &QLineEdit::textEdited, this, [this, f](const QString& text) {
        userSet(f, [&] { model_.setText(f, fromQt(text)); });
    });
    return edit;
}

QComboBox* FieldBinder::combo(QWidget* parent, Field f, int x, int y, int width) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setGeometry(x, y, width, kEditHeight);
    for (const auto& item : fieldInfo(f).items) {
        combo->addItem(toQt(item));
    }
    combo->setValidator(new TypedText(combo->lineEdit(), model_, f));
    adopt(combo, f);
    refreshValue(f);
    connect(combo, &QComboBox::activated, this,
            [this, f](int index) { userSet(f, [&] { model_.setItemIndex(f, index); }); });
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, f, combo] {
        // Typing may complete to an item; the text the box then shows is what counts.
        userSet(f, [&] { model_.setText(f, fromQt(combo->currentText())); });
    });
    return combo;
}

QCheckBox* FieldBinder::check(QWidget* parent, Field f, int x, int y, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->move(x, y);
    box->resize(caption.isEmpty() ? kBoxHeight : box->sizeHint().width(), kBoxHeight);
    adopt(box, f);
    refreshValue(f);
    connect(box, &QCheckBox::clicked, this,
            [this, f](bool on) { userSet(f, [&] { model_.setChecked(f, on); }); });
    return box;
}

QRadioButton* FieldBinder::radio(QWidget* parent, Field f, int x, int y, const QString& caption) {
    auto* button = new QRadioButton(caption, parent);
    // The model keeps the groups: a click selects, it never unselects.
    button->setAutoExclusive(false);
    button->move(x, y);
    button->resize(caption.isEmpty() ? kBoxHeight : button->sizeHint().width(), kBoxHeight);
    adopt(button, f);
    refreshValue(f);
    connect(button, &QRadioButton::clicked, this,
            [this, f] { userSet(f, [&] { model_.setChecked(f, true); }); });
    return button;
}

void FieldBinder::show(QLabel* label, Field f) {
    // What a tracker or a file sends is shown as it stands, never read as markup.
    label->setTextFormat(Qt::PlainText);
    adopt(label, f);
    refreshValue(f);
    if (f == Field::StatusLine) {
        refreshStatusLook();
    }
}

void FieldBinder::enable(QPushButton* button, Field f) {
    adopt(button, f);
}

void FieldBinder::refresh(Field f, Aspect aspect) {
    QWidget* widget = widgets_[static_cast<std::size_t>(indexOf(f))];
    if (widget == nullptr) {
        return;
    }
    switch (aspect) {
        case Aspect::Value:
            refreshValue(f);
            break;
        case Aspect::Enabled:
            widget->setEnabled(model_.enabled(f));
            break;
        case Aspect::MaxLength:
            break;  // the box's validator asks the model at every edit
        case Aspect::Colour:
        case Aspect::Font:
            refreshStatusLook();
            break;
        case Aspect::Marks:
            refreshMarks(f);
            break;
    }
}

void FieldBinder::showMarks() {
    for (int i = 0; i < kFieldCount; ++i) {
        // Labels and the status line keep the look the operations give them.
        if (isEditableSetting(static_cast<Field>(i))) {
            refreshMarks(static_cast<Field>(i));
        }
    }
}

void FieldBinder::refreshMarks(Field f) {
    QWidget* widget = widgets_[static_cast<std::size_t>(indexOf(f))];
    if (widget == nullptr) {
        return;
    }
    if (!widget->property(kPlainToolTip).isValid()) {
        widget->setProperty(kPlainToolTip, widget->toolTip());
    }
    const FieldMarks& marks = model_.marks(f);
    // Edits and combo boxes are tinted where the text stands, check boxes behind their caption;
    // from the theme as it is now, which may have changed since the window was built.
    const bool box = qobject_cast<QAbstractButton*>(widget) != nullptr;
    const QPalette::ColorRole role = box ? QPalette::Window : QPalette::Base;
    // The widget without a tint has what it inherits (the theme's colours as they are now, its
    // box's text colour) and the layout's own text colour chosen against them.
    widget->setPalette(QPalette());
    refreshTextColours(widget);
    const QPalette theme = widget->palette();
    QPalette palette = theme;
    QStringList tips;
    if (!marks.broken.empty()) {
        palette.setColor(role, tinted(theme.color(role), QColor(0xFF, 0x00, 0x00), 0.35));
        tips << QString::fromStdString(marks.broken);
    } else if (!marks.differs.empty()) {
        palette.setColor(role, tinted(theme.color(role), QColor(0xFF, 0xA5, 0x00), 0.4));
    } else if (marks.changed) {
        palette.setColor(role, tinted(theme.color(role), theme.color(QPalette::Highlight), 0.12));
    }
    if (!marks.differs.empty()) {
        tips << QString::fromStdString(marks.differs);
    }
    if (marks.changed) {
        tips << QString::fromUtf8("Изменено после чтения трекера");
    }
    const bool marked = !tips.isEmpty();
    // The text on a tint reads as it does on the theme's own background.
    const QPalette::ColorRole text = box ? QPalette::WindowText : QPalette::Text;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, text,
                         readableOn(theme.color(group, text), palette.color(group, role)));
    }
    widget->setPalette(palette);
    if (box) {
        widget->setAutoFillBackground(marked);
    }
    widget->setProperty("korvanMarked", marked);
    widget->setToolTip(marked ? tips.join('\n') : widget->property(kPlainToolTip).toString());
}

void FieldBinder::refreshValue(Field f) {
    QWidget* widget = widgets_[static_cast<std::size_t>(indexOf(f))];
    if (widget == nullptr) {
        return;
    }
    const QSignalBlocker quiet(widget);
    const QString text = toQt(model_.text(f));
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) {
            edit->setText(text);
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        const QSignalBlocker quietEdit(combo->lineEdit());
        if (combo->currentIndex() != model_.itemIndex(f)) {
            combo->setCurrentIndex(model_.itemIndex(f));
        }
        if (combo->currentText() != text) {
            combo->setEditText(text);
        }
    } else if (auto* box = qobject_cast<QAbstractButton*>(widget)) {
        if (box->isCheckable()) {
            box->setChecked(model_.checked(f));
        }
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    }
}

void FieldBinder::refreshStatusLook() {
    auto* label = qobject_cast<QLabel*>(widget(Field::StatusLine));
    if (label == nullptr) {
        return;
    }
    QPalette palette = label->parentWidget() ? label->parentWidget()->palette() : QPalette();
    const QColor background = palette.color(QPalette::Window);
    switch (model_.statusColour()) {
        case StatusColour::Red:
            // Red stays red, as dark as the theme's background needs it to read.
            palette.setColor(QPalette::WindowText,
                             readableOn(QColor(0xFF, 0x00, 0x00), background));
            break;
        case StatusColour::Black:
            // Black where it reads; on a dark theme, the theme's own text.
            if (contrastRatio(Qt::black, background) >= kReadableContrast) {
                palette.setColor(QPalette::WindowText, Qt::black);
            }
            break;
        case StatusColour::WindowText:
            break;
    }
    label->setPalette(palette);
    QFont font = label->font();
    if (model_.statusFont() == StatusFont::Points12) {
        font.setPointSize(12);
    } else {
        font.setPixelSize(21);
    }
    label->setFont(font);
}

bool FieldBinder::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto found = filters_.find(watched);
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (found != filters_.end() && !editingShortcut(key)) {
            const auto typed = typedByte(key);
            if (typed && !keyAccepted(found->second, *typed)) {
                return true;  // rejected: the box does not see the key at all
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace korvan::ui

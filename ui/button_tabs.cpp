#include "ui/button_tabs.h"

#include <QPushButton>
#include <functional>

namespace korvan::ui {
namespace {

// A page's tab. Qt leaves only the focused button of a group to Tab and the others to the
// arrows; every page is reached with Tab too, so each keeps Tab once Qt has had its say.
class PageTab final : public QPushButton {
  public:
    PageTab(const QString& caption, QWidget* parent, std::function<void()> focused)
        : QPushButton(caption, parent), focused_(std::move(focused)) {}

  protected:
    void focusInEvent(QFocusEvent* event) override {
        QPushButton::focusInEvent(event);
        focused_();
    }

  private:
    std::function<void()> focused_;
};

}  // namespace

ButtonTabs::ButtonTabs(QWidget* parent) : QWidget(parent), stack_(new QStackedWidget(this)) {
    group_.setExclusive(true);
    connect(&group_, &QButtonGroup::idClicked, this, [this](int id) {
        if (id != stack_->currentIndex()) {
            stack_->setCurrentIndex(id);
            emit currentChanged(id);
        }
    });
}

QWidget* ButtonTabs::addPage(const QString& objectName, const QString& caption) {
    auto* page = new QWidget;
    page->setObjectName(objectName);
    stack_->addWidget(page);
    auto* tab = new PageTab(caption, this, [this] {
        for (QPushButton* each : tabs_) {
            each->setFocusPolicy(Qt::TabFocus);
        }
    });
    tab->setObjectName(objectName + "Tab");
    tab->setCheckable(true);
    tab->setFocusPolicy(Qt::TabFocus);
    group_.addButton(tab, static_cast<int>(tabs_.size()));
    tabs_.push_back(tab);
    tab->setChecked(stack_->currentIndex() == static_cast<int>(tabs_.size()) - 1);
    arrange();
    return page;
}

void ButtonTabs::keepTabsTogether() {
    for (std::size_t i = 1; i < tabs_.size(); ++i) {
        setTabOrder(tabs_[i - 1], tabs_[i]);
    }
}

QWidget* ButtonTabs::page(int index) const {
    return stack_->widget(index);
}

void ButtonTabs::setCurrentIndex(int index) {
    if (index == stack_->currentIndex()) {
        return;
    }
    stack_->setCurrentIndex(index);
    tabs_.at(static_cast<std::size_t>(index))->setChecked(true);
    emit currentChanged(index);
}

void ButtonTabs::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    arrange();
}

void ButtonTabs::arrange() {
    int x = 0;
    int y = 0;
    int rowHeight = 0;
    for (auto* tab : tabs_) {
        // Drawn as tight as the layout's button tabs, so that the rows wrap where theirs do.
        const QFontMetrics metrics(tab->font());
        const QSize size(metrics.horizontalAdvance(tab->text()) + 14, metrics.height() + 8);
        if (x > 0 && x + size.width() > width()) {
            x = 0;
            y += rowHeight;
        }
        tab->setGeometry(x, y, size.width(), size.height());
        x += size.width();
        rowHeight = std::max(rowHeight, size.height());
    }
    const int top = y + rowHeight + 2;
    stack_->setGeometry(0, top, width(), std::max(0, height() - top));
}

}  // namespace korvan::ui

#pragma once

#include <QButtonGroup>
#include <QStackedWidget>
#include <QWidget>
#include <vector>

class QPushButton;

namespace korvan::ui {

// A tab control whose tabs are push buttons that wrap onto further rows when they do not fit,
// over a stack of pages. QTabBar cannot wrap.
class ButtonTabs : public QWidget {
    Q_OBJECT

  public:
    explicit ButtonTabs(QWidget* parent);

    // A new page, named `objectName`, under a tab showing `caption`.
    QWidget* addPage(const QString& objectName, const QString& caption);
    QWidget* page(int index) const;
    int currentIndex() const { return stack_->currentIndex(); }
    void setCurrentIndex(int index);
    QPushButton* tab(int index) const { return tabs_.at(static_cast<std::size_t>(index)); }
    int count() const { return static_cast<int>(tabs_.size()); }
    // Tab goes from tab to tab, then into the page shown: once every page is built.
    void keepTabsTogether();

  signals:
    void currentChanged(int index);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    void arrange();

    QButtonGroup group_;
    QStackedWidget* stack_;
    std::vector<QPushButton*> tabs_;
};

}  // namespace korvan::ui

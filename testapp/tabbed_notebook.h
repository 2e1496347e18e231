/*
 * tabbed_notebook.h - tabs over stacked pages, where a page change can be
 * refused before it happens.
 *
 * QTabWidget only reports a change once it is made; here every change the
 * user starts (mouse, keys, wheel) and every change made from code asks
 * `ask_change(new_index)` first, and nothing moves when it answers false.
 */
#pragma once

#include <QTabBar>
#include <QWidget>

#include <functional>

class QStackedWidget;

class AskingTabBar : public QTabBar {
  public:
    explicit AskingTabBar(QWidget *parent) : QTabBar(parent) {}
    std::function<bool(int)> ask_change;

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

  private:
    bool allowed(int index);
};

class TabbedNotebook : public QWidget {
  public:
    explicit TabbedNotebook(QWidget *parent);

    int add_page(QWidget *page, const QString &caption);
    // Shows page `index` if the change is allowed; returns whether it is
    // now in front.
    bool select_page(int index);
    int current_index() const;
    QWidget *page(int index) const;
    AskingTabBar *tab_bar() const { return bar_; }

    void set_ask_change(std::function<bool(int)> ask) { bar_->ask_change = std::move(ask); }

  private:
    AskingTabBar *bar_;
    QStackedWidget *stack_;
};

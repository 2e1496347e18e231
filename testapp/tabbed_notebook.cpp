// tabbed_notebook.cpp - a tab bar that asks before it changes page.
#include "testapp/tabbed_notebook.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

bool AskingTabBar::allowed(int index)
{
    if (index < 0 || index >= count() || index == currentIndex())
        return false;
    return !ask_change || ask_change(index);
}

void AskingTabBar::mousePressEvent(QMouseEvent *event)
{
    int index = tabAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index >= 0 && index != currentIndex() &&
        !allowed(index)) {
        event->accept();
        return;
    }
    QTabBar::mousePressEvent(event);
}

void AskingTabBar::keyPressEvent(QKeyEvent *event)
{
    int target = -1;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up: target = currentIndex() - 1; break;
    case Qt::Key_Right:
    case Qt::Key_Down: target = currentIndex() + 1; break;
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = count() - 1; break;
    default: QTabBar::keyPressEvent(event); return;
    }
    if (allowed(target))
        setCurrentIndex(target);
    event->accept();
}

void AskingTabBar::wheelEvent(QWheelEvent *event)
{
    // Scrolling over the tabs would flip pages without a click; it asks too.
    int step = event->angleDelta().y() > 0 ? -1 : 1;
    if (allowed(currentIndex() + step))
        setCurrentIndex(currentIndex() + step);
    event->accept();
}

TabbedNotebook::TabbedNotebook(QWidget *parent)
    : QWidget(parent), bar_(new AskingTabBar(this)), stack_(new QStackedWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar_);
    layout->addWidget(stack_, 1);
    bar_->setExpanding(false);
    connect(bar_, &QTabBar::currentChanged, stack_, &QStackedWidget::setCurrentIndex);
}

int TabbedNotebook::add_page(QWidget *page, const QString &caption)
{
    stack_->addWidget(page);
    return bar_->addTab(caption);
}

bool TabbedNotebook::select_page(int index)
{
    if (index == bar_->currentIndex())
        return true;
    if (index < 0 || index >= bar_->count() || (bar_->ask_change && !bar_->ask_change(index)))
        return false;
    bar_->setCurrentIndex(index);
    return true;
}

int TabbedNotebook::current_index() const
{
    return bar_->currentIndex();
}

QWidget *TabbedNotebook::page(int index) const
{
    return stack_->widget(index);
}

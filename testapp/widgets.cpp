// widgets.cpp - widget construction helpers of the pages.
#include "testapp/widgets.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>

#include "testapp/protocol_list.h"

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const char *caption)
{
    auto *box = new QCheckBox(QString::fromLatin1(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QLineEdit *MakeEdit(QWidget *parent, const char *name, const char *text)
{
    auto *edit = new QLineEdit(QString::fromLatin1(text), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(QString::fromLatin1(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

QLabel *MakeLabel(QWidget *parent, const char *caption)
{
    return new QLabel(QString::fromLatin1(caption), parent);
}

QGroupBox *MakeGroup(QWidget *parent, const char *name, const char *caption)
{
    auto *group = new QGroupBox(QString::fromLatin1(caption), parent);
    group->setObjectName(QString::fromLatin1(name));
    return group;
}

QComboBox *MakeCombo(QWidget *parent, const char *name, const QStringList &items, int index)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QString::fromLatin1(name));
    combo->addItems(items);
    combo->setCurrentIndex(index);
    return combo;
}

QStringList ProtocolItems()
{
    QStringList items;
    for (const ProtocolItem &item : ProtocolList)
        items << QString::fromLatin1(item.text);
    return items;
}

std::string TextOf(const QLineEdit *edit, size_t max)
{
    QByteArray bytes = edit->text().toLatin1();
    return std::string(bytes.constData(), std::min<size_t>(static_cast<size_t>(bytes.size()), max));
}

void SetText(QLineEdit *edit, const std::string &text)
{
    edit->setText(Latin1(text));
}

QString Latin1(const std::string &text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

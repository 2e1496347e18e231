/*
 * widgets.h - small helpers the pages build their widgets with.
 *
 * Every widget gets the object name the form knows it by.  Texts cross
 * between Qt and the pass-thru library as Latin-1 bytes.
 */
#pragma once

#include <QString>
#include <QStringList>

#include <initializer_list>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class QWidget;

QCheckBox *MakeCheckBox(QWidget *parent, const char *name, const char *caption);
QLineEdit *MakeEdit(QWidget *parent, const char *name, const char *text = "");
QPushButton *MakeButton(QWidget *parent, const char *name, const char *caption);
QLabel *MakeLabel(QWidget *parent, const char *caption);
QGroupBox *MakeGroup(QWidget *parent, const char *name, const char *caption);
// A combo box with `items`, showing item `index` (-1: no item selected; Qt
// would select item 0 of a filled box by itself).
QComboBox *MakeCombo(QWidget *parent, const char *name, const QStringList &items, int index);

// The 14 protocol item texts, in ProtocolList order.
QStringList ProtocolItems();

// A widget's text as bytes, at most `max` of them (a field read into an
// 80-character buffer takes 79).
std::string TextOf(const QLineEdit *edit, size_t max = 79);
void SetText(QLineEdit *edit, const std::string &text);
QString Latin1(const std::string &text);

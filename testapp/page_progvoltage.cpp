// page_progvoltage.cpp - the "Prog. Voltage" page of TForm1.
#include "testapp/form.h"

void TForm1::BuildProgVoltagePage(QWidget * /*page*/) {}

// page_readwrite.cpp - the "Read / Write" page of TForm1.
#include "testapp/form.h"

void TForm1::BuildReadWritePage(QWidget * /*page*/) {}

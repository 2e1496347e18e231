// page_ioctl2.cpp - the "I/O Control (2)" page of TForm1.
#include "testapp/form.h"

void TForm1::BuildIoControl2Page(QWidget * /*page*/) {}

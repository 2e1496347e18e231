// page_ioctl1.cpp - the "I/O Control (1)" page of TForm1.
#include "testapp/form.h"

void TForm1::BuildIoControl1Page(QWidget * /*page*/) {}

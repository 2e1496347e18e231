// page_ioctl2_members.h - TForm1 members of the "I/O Control (2)" page: its widgets and
// handlers.  Included inside the class body of TForm1 (form.h); no include
// guard, no includes.
// Voltage reading, pin use, digital I/O and the VuV1 interface: to come.

void BuildIoControl2Page(QWidget *page);

// page_ioctl1_members.h - TForm1 members of the "I/O Control (1)" page: its widgets and
// handlers.  Included inside the class body of TForm1 (form.h); no include
// guard, no includes.
// Channel configuration groups, initialisations, buffer clears, vendor options: to come.

void BuildIoControl1Page(QWidget *page);

// page_readwrite_members.h - TForm1 members of the "Read / Write" page: its widgets and
// handlers.  Included inside the class body of TForm1 (form.h); no include
// guard, no includes.
// Message writing, saved messages, stress test, bus monitor and log file: to come.

void BuildReadWritePage(QWidget *page);

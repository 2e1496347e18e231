// page_progvoltage_members.h - TForm1 members of the "Prog. Voltage" page: its widgets and
// handlers.  Included inside the class body of TForm1 (form.h); no include
// guard, no includes.
// Programming voltage on and off: to come.

void BuildProgVoltagePage(QWidget *page);

// page_progvoltage_members.h - TForm1 members of the "Prog. Voltage" page:
// the programming voltage on a pin, on and off.  Included inside the class
// body of TForm1 (form.h); no include guard, no includes.

void BuildProgVoltagePage(QWidget *page);

QLineEdit *ProgPin = nullptr;      // "Pin"
QLineEdit *ProgVoltage = nullptr;  // "Voltage", millivolts
QPushButton *SetProgVoltage = nullptr, *SetProgVoltageOff = nullptr;

void SetProgVoltageClick();
void SetProgVoltageOffClick();

// page_periodic_members.h - TForm1 members of the "Periodic Msgs" page:
// fourteen periodic-message rows, each started or stopped by its "Active"
// box.  Included inside the class body of TForm1 (form.h); no include
// guard, no includes.

void BuildPeriodicPage(QWidget *page);

struct PeriodicRow {
    QComboBox *Protocol = nullptr;  // PeriodicNProtocol
    QLineEdit *Interval = nullptr;  // milliseconds, decimal
    QLineEdit *Msg = nullptr;
    QCheckBox *Active = nullptr;
};
std::array<PeriodicRow, kPeriodicRows> PeriodicRows;  // row N is PeriodicRows[N - 1]

void Periodic1ActiveClick();
void Periodic2ActiveClick();
void Periodic3ActiveClick();
void Periodic4ActiveClick();
void Periodic5ActiveClick();
void Periodic6ActiveClick();
void Periodic7ActiveClick();
void Periodic8ActiveClick();
void Periodic9ActiveClick();
void Periodic10ActiveClick();
void Periodic11ActiveClick();
void Periodic12ActiveClick();
void Periodic13ActiveClick();
void Periodic14ActiveClick();
// The handler of row N (1..14).
void PeriodicActiveClick(int N);

void StartPeriodicRow(int protocol_index, const std::string &interval, const std::string &msg,
                      int N);
void StopPeriodicRow(int protocol_index, int N);

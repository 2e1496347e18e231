// page_filters_members.h - TForm1 members of the "Filter Msgs" page: ten
// filter rows, each started or stopped by its "Active" box.  Included
// inside the class body of TForm1 (form.h); no include guard, no includes.

void BuildFilterPage(QWidget *page);

struct FilterRow {
    QComboBox *Protocol = nullptr;  // FilterNProtocol
    QComboBox *Type = nullptr;      // FilterNType: "PASS", "BLOCK", "FLOW CONTROL"
    QLineEdit *Mask = nullptr;
    QLineEdit *Pattern = nullptr;
    QLineEdit *Flow = nullptr;
    QCheckBox *Active = nullptr;
};
std::array<FilterRow, kFilterRows> FilterRows;  // row N is FilterRows[N - 1]

void Filter1ActiveClick();
void Filter2ActiveClick();
void Filter3ActiveClick();
void Filter4ActiveClick();
void Filter5ActiveClick();
void Filter6ActiveClick();
void Filter7ActiveClick();
void Filter8ActiveClick();
void Filter9ActiveClick();
void Filter10ActiveClick();
// The handler of row N (1..10).
void FilterActiveClick(int N);

void StartFilterRow(int protocol_index, int type_index, const std::string &mask,
                    const std::string &pattern, const std::string &flow, int N);
void StopFilterRow(int protocol_index, int N);

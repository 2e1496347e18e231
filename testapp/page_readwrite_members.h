// page_readwrite_members.h - TForm1 members of the "Read / Write" page:
// writing messages by hand, the saved messages, the stress test, and the
// bus monitor with its log file.  Included inside the class body of TForm1
// (form.h); no include guard, no includes.

void BuildReadWritePage(QWidget *page);

// ---- Writing, saved messages, stress test ---------------------------------
QComboBox *Write1Protocol = nullptr;  // the 14 protocol items, none selected at first
QLineEdit *Write1Msg = nullptr;       // "Message Data"
QLineEdit *Write1Num = nullptr;       // "# Msgs", decimal
QLineEdit *Write1Timeout = nullptr;   // "Timeout", milliseconds, decimal
QPushButton *Write1Send = nullptr;
QLineEdit *Write1Description = nullptr;
QPushButton *Write1Save = nullptr;
// "Select Msg": entry k is the description of slot k of SavedWriteMessages.
// Editable, but typed text never becomes an entry.
QComboBox *Write1Select = nullptr;
QPushButton *Write1Delete = nullptr;
QPushButton *StressTest = nullptr;

SavedWriteMessageSlots SavedWriteMessages{};
// Rebuilt by every send and stress test; allocated once with the page.
// WriteMsgArray holds kMaxWriteCount records (write_rules.h).
static constexpr uint32_t kStressMsgCount = 100;
std::unique_ptr<PASSTHRU_MSG[]> WriteMsgArray;
std::unique_ptr<PASSTHRU_MSG[]> StressMsgArray;

void Write1SendClick();
void Write1SaveClick();
void Write1DeleteClick();
// A saved message chosen in Write1Select: puts it back on the page.
void Write1SelectChange();
void StressTestClick();
// Builds WriteMsgArray from the page's texts and writes it on protocol item
// `protocol_index`; nothing for an index outside the 14 items.  `msg` loses
// its trailing blanks and punctuation.
void SendWriteMessage(uint32_t protocol_index, std::string &msg, const std::string &num,
                      const std::string &timeout);

// ---- Bus monitor and log file ---------------------------------------------
QTimer *BusMonitorTimer = nullptr;     // 10 ms at start, running
QPlainTextEdit *BusMonitor = nullptr;  // shows Monitor.MonitorText
QLabel *MsgsPerSec = nullptr;          // messages read per second
QLineEdit *UpdateRate = nullptr;       // "Update (msec)", "10"
QCheckBox *DeltaTime = nullptr;
QCheckBox *SortMsgs = nullptr;
QLineEdit *SortLen = nullptr;  // "# bytes", "4"
QCheckBox *ASCFormat = nullptr;
QLineEdit *LogFileName = nullptr;           // "Log File Name"
QCheckBox *RecordLogFile = nullptr;         // "Record"
QPushButton *ClearMonitorBuffer = nullptr;  // "Clear Screen"

BusMonitorState Monitor;

void BusMonitorTimerTimer();
void UpdateRateChange();
void ClearMonitorBufferClick();
void RecordLogFileClick();
void SortMsgsClick();
void ASCFormatClick();

// page_ioctl2_members.h - TForm1 members of the "I/O Control (2)" page: the
// analogue readings, the digital lines and the VuV1 temperature module on
// the K-line ("Pin Use" holds ISO9141Pin, a member of "I/O Control (1)").
// Included inside the class body of TForm1 (form.h); no include guard, no
// includes.

void BuildIoControl2Page(QWidget *page);

// "Voltage Reading": ADC1 .. ADC8 are the vendor channels.
std::array<QLineEdit *, 8> ADC{};
QLineEdit *ADCVbatt = nullptr, *ADCProgV = nullptr;
QPushButton *ADCRead = nullptr;
// "Digital I/O" (checked = high).
QCheckBox *DIO1CheckBox = nullptr, *DIO2CheckBox = nullptr;
QPushButton *ReadDIO = nullptr, *WriteDIO = nullptr;
// "VuV1 Interface".
QPushButton *VuV1Setup = nullptr, *VuV1Read = nullptr;
std::array<QLineEdit *, 4> VuV1Ch{};
QComboBox *VuV1Type = nullptr, *VuV1Address = nullptr,
          *VuV1Filter = nullptr;  // disabled, read by nothing

void ADCReadClick();
void ReadDIOClick();
void WriteDIOClick();
void VuV1SetupClick();
void VuV1ReadClick();

// One reading into `text`: the word is preset, and a reading answered
// without a value leaves the text as it was.  Returns the status.
int32_t ReadVoltage(uint32_t ioctl, QLineEdit *text);

// page_library_members.h - TForm1 members of the "Library" page: the list
// of registered interfaces, loading and binding a library, opening its
// device, and the versions and serial number.  Included inside the class
// body of TForm1 (form.h); no include guard, no includes.

void BuildLibraryPage(QWidget *page);

QListWidget *LibraryListBox = nullptr;
QPushButton *LoadLibraryButton = nullptr;
QLineEdit *APIVersion = nullptr;
QLineEdit *LibraryVersion = nullptr;
QLineEdit *FirmwareVersion = nullptr;
QLineEdit *SerialNum = nullptr;
QPushButton *LoadConfig = nullptr;  // "Load Config"
QPushButton *SaveConfig = nullptr;  // "Save Config"

// Lists the registered interfaces in LibraryListBox (the constructor runs it).
void DiscoverInterfaces();
// "Load Library": loads the selected line's library, binds its functions,
// opens the device and shows versions and serial number.
void LoadLibraryButtonClick();
// The "Vendor" of the selected interface; empty when none is selected.
std::string SelectedVendor() const;

// The configuration file (config_file_handlers.cpp): "Save Config" writes
// the form's fields and saved messages, "Load Config" puts them back.  Each
// dialog starts with the last name chosen in it.
void SaveConfigClick();
void LoadConfigClick();
std::string SaveConfigFileName = "default.cfg";
std::string LoadConfigFileName = "default.cfg";

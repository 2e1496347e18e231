// config_file_page_test.cpp - "Save Config" and "Load Config" on the form:
// the file a fresh form writes, a save-load-save round trip, "Cancel", and
// what loading runs and replaces.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "testapp/saved_messages.h"
#include "testapp/services_qt.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using ConfigPage = FormTest;

std::string read_file(const std::string &path)
{
    std::ostringstream text;
    text << std::ifstream(path, std::ios::binary).rdbuf();
    return text.str();
}

void save_message(TForm1 &form, int protocol, const char *msg, const char *description)
{
    form.Write1Protocol->setCurrentIndex(protocol);
    form.Write1Msg->setText(msg);
    form.Write1Description->setText(description);
    form.Write1Save->click();
}

TEST_F(ConfigPage, FreshFormFileAndSaveLoadSaveGivesTheSameFile)
{
    TForm1 &fresh = make_form();  // no library needed
    std::string path = root() + "/fresh.cfg", one = root() + "/one.cfg", two = root() + "/two.cfg";
    files.answer = path;
    fresh.SaveConfig->click();
    fresh.LoadConfig->click();
    fresh.SaveConfig->click();  // each dialog starts with the last name chosen in it
    ASSERT_EQ(files.requests.size(), 3u);
    EXPECT_EQ(read_file(path), read_file(QUILLON_GOLDEN_DIR "/fresh_form.cfg"));
    std::vector<std::string> dialogs;
    for (const FileDialogRequest &r : files.requests)
        dialogs.insert(dialogs.end(), {r.title, r.file_name, r.filter, r.folder});
    EXPECT_EQ(dialogs, (std::vector<std::string>{
                           "Save Configuration File", "default.cfg", "Config File|*.cfg", ".",
                           "Load Configuration File", "default.cfg", "Config Files|*.cfg", ".",
                           "Save Configuration File", path, "Config File|*.cfg", "."}));

    TForm1 &first = make_form();
    messages.shown.clear();  // no interface registered
    first.LogFileName->setText("monitor log.txt");
    first.Write1Num->setText("3");
    first.ProgVoltage->setText("5000");
    first.PeriodicRows[4].Protocol->setCurrentIndex(kMSCAN);
    first.PeriodicRows[4].Msg->setText("0 0 7 0xdf 2 1 0");
    first.FilterRows[0].Protocol->setCurrentIndex(14);  // row 1's empty item
    first.FilterRows[9].Type->setCurrentIndex(1);
    first.FilterRows[9].Flow->setText("0x18 0xDA 0xF1 0x10");
    for (QCheckBox *box : {first.CANFD, first.HSCANTermination, first.ISO14230P3Minimum})
        box->setChecked(true);
    first.J1850PWMFunctionalMsg->setText("0x6A");
    save_message(first, kCAN, "0x00 0x00 0x07 0xE0 0x02 0x10 0x03", "diagnostic session");
    save_message(first, kISO9141, "0x01 0x04 0x00 0x00 0x00 0x04 0xF1 0xC9", "Read VuV1 Data");
    save_message(first, -1, "1 2 3", "no protocol");
    first.Write1Protocol->setCurrentIndex(kISO15765);
    first.Write1Description->setText("last typed");
    files.answer = one;
    first.SaveConfig->click();

    TForm1 &second = make_form();
    messages.shown.clear();
    second.LoadConfig->click();
    EXPECT_EQ(second.LogFileName->text(), "monitor log.txt");
    EXPECT_TRUE(second.HSCANTermination->isChecked());
    ASSERT_EQ(second.Write1Select->count(), 3);
    EXPECT_EQ(second.Write1Select->itemText(1), "Read VuV1 Data");
    EXPECT_STREQ(second.SavedWriteMessages[1].Msg, "0x01 0x04 0x00 0x00 0x00 0x04 0xF1 0xC9");
    EXPECT_EQ(second.SavedWriteMessages[2].Protocol, -1);
    EXPECT_EQ(second.SavedWriteMessages[0].Num, 3);
    EXPECT_STREQ(second.SavedWriteMessages[3].Description, "");
    files.answer = two;
    second.SaveConfig->click();
    EXPECT_EQ(read_file(two), read_file(one));
    EXPECT_NE(read_file(one), read_file(path));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ConfigPage, DialogsStartAtTheLastFileChosen)
{
    // Names come back from a dialog absolute, in the file system's encoding.
    const std::string accented = "/home/ana/r\xC3\xA9glages/pin.cfg";
    const std::pair<std::string, std::string> cases[] = {{"default.cfg", "./default.cfg"},
                                                         {"/tmp/cfg/pin.cfg", "/tmp/cfg/pin.cfg"},
                                                         {accented, accented}};
    for (const auto &[name, start] : cases)
        EXPECT_EQ(DialogStartPath({"title", name, "filter", "."}).toStdString(), start);
    EXPECT_EQ(FileNameBytes(DialogStartPath({"", accented, "", "."})), accented);
}

TEST_F(ConfigPage, CancelWritesAndLoadsNothing)
{
    TForm1 &form = make_form();
    std::string path = root() + "/kept.cfg";
    std::ofstream(path) << "PROG_PIN 7\n";
    files.answer = path;
    form.LoadConfig->click();
    EXPECT_EQ(form.ProgPin->text(), "7");

    files.answer.reset();
    form.ProgPin->setText("12");
    form.SaveConfig->click();  // the dialog's last name is kept.cfg, but Cancel
    EXPECT_EQ(read_file(path), "PROG_PIN 7\n");
    std::ofstream(path) << "PROG_PIN 9\n";
    form.LoadConfig->click();
    EXPECT_EQ(form.ProgPin->text(), "12");
    EXPECT_FALSE(std::filesystem::exists("default.cfg"));
}

TEST_F(ConfigPage, LoadRunsOnlyTheLoopbackHandlerAndReplacesTheSavedMessages)
{
    TForm1 &form = loaded_form();
    FakeJ2534 &lib = fake();
    save_message(form, kCAN, "1", "old one");
    save_message(form, kCAN, "2", "old two");
    std::string path = root() + "/some.cfg";
    std::ofstream(path) << "CAN_FD 2\nLOOPBACK 1\nWRITE_1_PROTOCOL -1\nFILTER_2_TYPE 9\n"
                           "PROG_VOLTAGE \nMSG 5 1 100 0x01_0x04 new_one\nCAN_DATA_RATE 125000.\n";
    form.Write1Protocol->setCurrentIndex(kCAN);
    lib.calls.clear();
    files.answer = path;
    form.LoadConfig->click();
    EXPECT_TRUE(form.CANFD->isChecked());
    EXPECT_EQ(form.Write1Protocol->currentIndex(), -1);
    EXPECT_EQ(form.FilterRows[1].Type->currentIndex(), -1);
    EXPECT_EQ(form.ProgVoltage->text(), "18000");  // saved empty: not restored
    EXPECT_EQ(form.CANDataRate->text(), "125000");
    // Nothing is connected: LoopBack's handler says so and sends nothing.
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{{"No procotols active", "ERROR"}}));
    EXPECT_TRUE(lib.calls.empty());
    ASSERT_EQ(form.Write1Select->count(), 1);
    EXPECT_EQ(form.Write1Select->itemText(0), "new one");
    EXPECT_STREQ(form.SavedWriteMessages[0].Msg, "0x01 0x04");
    EXPECT_EQ(form.SavedWriteMessages[0].Protocol, kISO9141);
    EXPECT_STREQ(form.SavedWriteMessages[1].Description, "");

    // Only a file with a "MSG" line replaces them; a free slot's line counts,
    // so a file saved without messages empties the list.
    const std::pair<const char *, int> loads[] = {
        {"CAN_DATA_RATE 500000\n", 1}, {"", 1}, {"MSG\n", 1}, {"MSG 0 0 0  \n", 0}};
    for (const auto &[text, entries] : loads) {
        std::ofstream(path) << text;
        form.LoadConfig->click();
        EXPECT_EQ(form.Write1Select->count(), entries) << text;
        EXPECT_STREQ(form.SavedWriteMessages[0].Description, entries ? "new one" : "");
    }
}

}  // namespace
}  // namespace quillon_test

// config_file_handlers.cpp - "Save Config" and "Load Config" of the
// "Library" page: the form's fields bound to the configuration file's keys
// (testapp/config_file.h), through the file dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "testapp/config_file.h"
#include "testapp/form.h"
#include "testapp/message_text.h"
#include "testapp/saved_messages.h"
#include "testapp/widgets.h"

namespace {

// A text is read into 1024 characters.
constexpr size_t kConfigTextMax = 1023;

// The field of one key: exactly one of the three is set.
struct Binding {
    QLineEdit *text = nullptr;
    QComboBox *index = nullptr;
    QCheckBox *box = nullptr;
};

// The fields in the order of config_keys().
std::vector<Binding> bindings(TForm1 &f)
{
    std::vector<Binding> b = {
        {f.LogFileName}, {nullptr, f.Write1Protocol}, {f.Write1Msg},   {f.Write1Description},
        {f.Write1Num},   {f.Write1Timeout},           {f.ProgVoltage}, {f.ProgPin}};
    for (const TForm1::PeriodicRow &row : f.PeriodicRows) {
        b.push_back({nullptr, row.Protocol});
        b.push_back({row.Msg});
        b.push_back({row.Interval});
    }
    for (const TForm1::FilterRow &row : f.FilterRows) {
        b.push_back({nullptr, row.Protocol});
        b.push_back({nullptr, row.Type});
        b.push_back({row.Mask});
        b.push_back({row.Pattern});
        b.push_back({row.Flow});
    }
    auto box = [](QCheckBox *c) { return Binding{nullptr, nullptr, c}; };
    const Binding options[] = {
        box(f.CANFD),
        box(f.MSCANFD),
        box(f.CAN29BitId),
        box(f.MSCAN29BitId),
        box(f.CANAllowAllId),
        box(f.MSCANAllowAllId),
        {f.CANSamplePoint},
        {f.CANSyncJumpWidth},
        {f.CANDataRate},
        {f.CANFDDataRate},
        box(f.HSCANTermination),
        {f.ISO15765TxDataLen},
        box(f.ISO15765FramePad),
        box(f.MSISO15765FramePad),
        box(f.ISO15765ExtendedAddress),
        {f.ISO15765BlockSize},
        {f.ISO15765SeparationTime},
        box(f.ISO9141NoChecksum),
        box(f.ISO9141NoLLine),
        {f.ISODataRate},
        {f.ISONodeAddress},
        box(f.ISO14230P3Minimum),
        box(f.LoopBack),
        {f.J1850PWMDataRate},
        {f.J1850PWMNodeAddress},
        {f.J1850PWMNetworkLine},
        {f.J1850PWMFunctionalMsg},
        {f.J1850VPWDataRate},
        {f.SCIDataRate},
    };
    b.insert(b.end(), std::begin(options), std::end(options));
    // The two lists are written side by side; a field in the wrong place
    // would load into another field.
    const std::vector<ConfigKey> &keys = config_keys();
    if (b.size() != keys.size())
        throw std::logic_error("configuration keys and fields differ in number");
    for (size_t i = 0; i < b.size(); ++i) {
        ConfigKind kind = b[i].text    ? ConfigKind::kText
                          : b[i].index ? ConfigKind::kIndex
                                       : ConfigKind::kBox;
        if (kind != keys[i].kind)
            throw std::logic_error("configuration key " + keys[i].name +
                                   " bound to another kind of field");
    }
    return b;
}

}  // namespace

void TForm1::SaveConfigClick()
{
    std::optional<std::string> name = services.files->save_file(
        {"Save Configuration File", SaveConfigFileName, "Config File|*.cfg", "."});
    if (!name)
        return;  // "Cancel": nothing is written
    SaveConfigFileName = *name;

    std::vector<std::string> values;
    for (const Binding &b : bindings(*this)) {
        if (b.text)
            values.push_back(TextOf(b.text, kConfigTextMax));
        else if (b.index)
            values.push_back(std::to_string(b.index->currentIndex()));
        else
            values.push_back(b.box->isChecked() ? "1" : "0");
    }
    std::vector<ConfigMessage> slots;
    for (const SavedWriteMessage &s : SavedWriteMessages)
        slots.push_back({s.Protocol, s.Num, s.Timeout, text_from_buffer(s.Msg, sizeof s.Msg),
                         text_from_buffer(s.Description, sizeof s.Description)});

    // A file that cannot be written is passed over in silence.
    std::ofstream file(*name, std::ios::binary | std::ios::trunc);
    if (file)
        file << config_file_text(values, slots);
}

void TForm1::LoadConfigClick()
{
    std::optional<std::string> name = services.files->open_file(
        {"Load Configuration File", LoadConfigFileName, "Config Files|*.cfg", "."});
    if (!name)
        return;  // "Cancel": the form stays as it is
    LoadConfigFileName = *name;
    std::ifstream file(*name, std::ios::binary);
    if (!file)
        return;  // a file that cannot be read changes nothing
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    LoadedConfig loaded = parse_config(bytes);

    std::vector<Binding> fields = bindings(*this);
    for (const ConfigAssignment &a : loaded.assignments) {
        const Binding &b = fields[a.key];
        if (b.text) {
            SetText(b.text, a.value);
        } else if (b.index) {
            // A number off the list selects nothing; no handler runs.
            int32_t index = TextToLong(a.value);
            b.index->setCurrentIndex(index >= 0 && index < b.index->count() ? index : -1);
        } else {
            // A change runs the box's handler, as a click would (LoopBack's).
            b.box->setChecked(TextToLong(a.value) != 0);
        }
    }

    // A file without saved messages keeps the form's.  Otherwise the list
    // and the slots are replaced together, so entry k stays the description
    // of slot k.
    if (!loaded.has_message_lines)
        return;
    Write1Select->clear();
    SavedWriteMessages = {};
    for (size_t k = 0; k < loaded.messages.size(); ++k) {
        const ConfigMessage &m = loaded.messages[k];
        SavedWriteMessage &slot = SavedWriteMessages[k];
        slot.Protocol = m.protocol;
        slot.Num = m.num;
        slot.Timeout = m.timeout;
        set_saved_text(slot.Msg, m.msg);
        set_saved_text(slot.Description, m.description);
        Write1Select->addItem(Latin1(slot.Description));
    }
}

/*
 * sd_card.h - the simulated adapter's SD card: a flat set of files kept in
 * memory, optionally loaded from a folder and saved back to it.
 *
 * Names compare without regard to case and keep the case they were created
 * with.  A name is 1 to 51 characters (a directory reply carries it behind
 * 16 bytes in a frame of 68), without '/', '\', control characters or a
 * leading dot, so no name can leave the folder.
 *
 * One file is open at a time.  Opening and reading use the same frames as
 * opening and writing, so the card tells them apart the way the library's
 * callers use them: an open of an existing file is for reading; an open of a
 * missing file fails, unless the step just before it was the delete of that
 * name (the library's file and firmware writes always delete first), and
 * then it creates the file, empty, for writing.  Opening another file
 * abandons the open one, as after a transfer the library gave up on.
 *
 * "APP.LDR" is where the library puts a firmware image; the card only
 * stores it.
 */
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "sim/handlers.h"
#include "sim/service_mode.h"

namespace orvane::sim {

constexpr size_t kCardNameMax = 51;
constexpr size_t kCardPiece = 64;  // file bytes per read reply
inline const std::string kFirmwareFileName = "APP.LDR";

struct CardFile {
    std::string name;  // as created
    std::vector<uint8_t> bytes;
};

class SdCard {
  public:
    // Refuse: every file and directory step is answered with the error flag
    // (directory steps, whose replies have none, as an empty listing).
    ServiceMode mode = ServiceMode::Answer;

    static bool valid_name(const std::string &name);

    // Loads every regular file of `folder` whose name is a card name and
    // saves every later change there (written whole, then renamed into
    // place).  Empty: memory only.  Throws std::runtime_error when the
    // folder cannot be read.
    void attach_folder(const std::string &folder);
    const std::string &folder() const { return folder_; }

    // Direct access for tests and the directory listing.  put() throws
    // std::invalid_argument for a name that is not a card name.
    void put(const std::string &name, std::vector<uint8_t> bytes);
    const CardFile *find(const std::string &name) const;
    // Every file whose name matches `pattern`, in order of their names
    // (case ignored).
    std::vector<const CardFile *> matching(const std::string &pattern) const;

    // The file steps as the adapter takes them; false is a refusal.
    bool open(const std::string &name);
    // The next piece of the file open for reading (empty at its end).
    std::optional<std::vector<uint8_t>> read_piece();
    bool write_piece(std::span<const uint8_t> bytes);
    bool close();
    bool remove(const std::string &name);

    // The directory listing in progress: names taken when it was opened.
    struct Listing {
        std::vector<std::string> names;
        std::vector<uint32_t> sizes;
        size_t next = 0;
    };
    std::optional<Listing> listing;

    // Set by a write frame the card refused, reported with the batch's last frame.
    bool batch_failed = false;

  private:
    enum class OpenMode { None, Read, Write };

    static std::string key_of(const std::string &name);
    void finish_open();
    bool save(const CardFile &file) const;
    void unlink(const std::string &name) const;

    std::map<std::string, CardFile> files_;  // by upper-case name
    std::string folder_;
    OpenMode open_mode_ = OpenMode::None;
    std::string open_key_;
    size_t read_pos_ = 0;
    std::optional<std::string> just_deleted_;  // key of the delete just before
};

// '*' any run of characters, '?' any one; case ignored.
bool wildcard_match(std::string_view pattern, std::string_view name);

// The text of a name or pattern frame: its data up to the first zero.
std::string frame_text(const Frame &frame);

// The file steps of the memory device (0xE0): open, read, write, close and
// delete.  Installed by the memory device's router (sim/memory_device.h).
void handle_card_frame(const Frame &in, Context &ctx, SdCard &card);

}  // namespace orvane::sim

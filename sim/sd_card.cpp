/*
 * sd_card.cpp - the simulated SD card's files, its folder and its file steps.
 * Touches only the SdCard it is given and, when attached, its folder.
 */
#include "sim/sd_card.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace orvane::sim {

namespace fs = std::filesystem;

namespace {

constexpr uint8_t kLastOfBatch = 0x80;

Frame ack(std::vector<uint8_t> data = {})
{
    return Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN, std::move(data));
}

Frame refusal()
{
    return Frame(JMSG_MEM, JMSG_DEV_READ, JMSG_TYPE_PLAIN, {}, JMSG_FLAG_FAILED);
}

std::vector<uint8_t> read_whole(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

}  // namespace

bool SdCard::valid_name(const std::string &name)
{
    if (name.empty() || name.size() > kCardNameMax || name[0] == '.')
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

std::string SdCard::key_of(const std::string &name)
{
    std::string key = name;
    for (char &c : key)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return key;
}

void SdCard::attach_folder(const std::string &folder)
{
    folder_ = folder;
    if (folder.empty())
        return;
    std::error_code ec;
    std::vector<fs::path> paths;
    for (const auto &entry : fs::directory_iterator(folder, ec)) {
        if (entry.is_regular_file())
            paths.push_back(entry.path());
    }
    if (ec)
        throw std::runtime_error("cannot read the folder " + folder + ": " + ec.message());
    std::sort(paths.begin(), paths.end());
    for (const auto &path : paths) {
        const std::string name = path.filename().string();
        if (!valid_name(name))
            continue;  // not something the adapter could hold
        if (files_.count(key_of(name)) != 0) {
            std::fprintf(stderr,
                         "orvane-sim: %s ignored, its name differs from another only in case\n",
                         path.c_str());
            continue;
        }
        files_[key_of(name)] = CardFile{name, read_whole(path)};
    }
}

bool SdCard::save(const CardFile &file) const
{
    if (folder_.empty())
        return true;
    // Written whole under a name no card file can have, then renamed, so a
    // folder never holds half a file.
    const fs::path target = fs::path(folder_) / file.name;
    const fs::path temp = fs::path(folder_) / ("." + file.name + ".tmp");
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        if (!out.flush())
            return false;
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return false;
    }
    return true;
}

void SdCard::unlink(const std::string &name) const
{
    if (folder_.empty())
        return;
    std::error_code ec;
    fs::remove(fs::path(folder_) / name, ec);
}

void SdCard::put(const std::string &name, std::vector<uint8_t> bytes)
{
    if (!valid_name(name))
        throw std::invalid_argument("not a card name: " + name);
    const std::string key = key_of(name);
    if (auto it = files_.find(key); it != files_.end() && it->second.name != name)
        unlink(it->second.name);
    CardFile &file = files_[key];
    file = CardFile{name, std::move(bytes)};
    save(file);
}

const CardFile *SdCard::find(const std::string &name) const
{
    auto it = files_.find(key_of(name));
    return it == files_.end() ? nullptr : &it->second;
}

std::vector<const CardFile *> SdCard::matching(const std::string &pattern) const
{
    std::vector<const CardFile *> out;
    for (const auto &[key, file] : files_) {
        if (wildcard_match(pattern, file.name))
            out.push_back(&file);
    }
    return out;
}

void SdCard::finish_open()
{
    if (open_mode_ == OpenMode::Write) {
        if (auto it = files_.find(open_key_); it != files_.end())
            save(it->second);
    }
    open_mode_ = OpenMode::None;
    open_key_.clear();
    read_pos_ = 0;
}

bool SdCard::open(const std::string &name)
{
    const bool after_delete = just_deleted_ == key_of(name);
    just_deleted_.reset();
    finish_open();
    if (!valid_name(name))
        return false;
    const std::string key = key_of(name);
    if (files_.count(key) != 0) {
        open_mode_ = OpenMode::Read;
    } else if (after_delete) {
        files_[key] = CardFile{name, {}};
        open_mode_ = OpenMode::Write;
    } else {
        return false;
    }
    open_key_ = key;
    read_pos_ = 0;
    return true;
}

std::optional<std::vector<uint8_t>> SdCard::read_piece()
{
    just_deleted_.reset();
    auto it = files_.find(open_key_);
    if (open_mode_ != OpenMode::Read || it == files_.end())
        return std::nullopt;
    const std::vector<uint8_t> &bytes = it->second.bytes;
    const size_t n = std::min(kCardPiece, bytes.size() - read_pos_);
    std::vector<uint8_t> piece(bytes.begin() + static_cast<std::ptrdiff_t>(read_pos_),
                               bytes.begin() + static_cast<std::ptrdiff_t>(read_pos_ + n));
    read_pos_ += n;
    return piece;
}

bool SdCard::write_piece(std::span<const uint8_t> bytes)
{
    just_deleted_.reset();
    auto it = files_.find(open_key_);
    if (open_mode_ != OpenMode::Write || it == files_.end())
        return false;
    it->second.bytes.insert(it->second.bytes.end(), bytes.begin(), bytes.end());
    return true;
}

bool SdCard::close()
{
    just_deleted_.reset();
    if (open_mode_ == OpenMode::None)
        return false;
    const bool written = open_mode_ == OpenMode::Write;
    const std::string key = open_key_;
    open_mode_ = OpenMode::None;
    open_key_.clear();
    if (!written)
        return true;
    auto it = files_.find(key);
    return it != files_.end() && save(it->second);
}

bool SdCard::remove(const std::string &name)
{
    // Remembered whether or not the file existed: the library deletes before
    // it creates, and a missing file is no error to it.
    just_deleted_.reset();
    if (!valid_name(name))
        return false;
    const std::string key = key_of(name);
    just_deleted_ = key;
    if (open_key_ == key)
        finish_open();
    auto it = files_.find(key);
    if (it == files_.end())
        return false;
    unlink(it->second.name);
    files_.erase(it);
    return true;
}

bool wildcard_match(std::string_view pattern, std::string_view name)
{
    auto same = [](char a, char b) {
        return std::toupper(static_cast<unsigned char>(a)) ==
               std::toupper(static_cast<unsigned char>(b));
    };
    size_t p = 0, n = 0;
    size_t star = std::string_view::npos, resume = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || (pattern[p] != '*' && same(pattern[p], name[n])))) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::string frame_text(const Frame &frame)
{
    const auto zero = std::find(frame.data.begin(), frame.data.end(), uint8_t{0});
    return std::string(frame.data.begin(), zero);
}

void handle_card_frame(const Frame &in, Context &ctx, SdCard &card)
{
    if (card.mode == ServiceMode::Silent)
        return;
    const bool refuse = card.mode == ServiceMode::Refuse;
    switch (in.op) {
    case JMSG_DEV_OPEN: ctx.reply(!refuse && card.open(frame_text(in)) ? ack() : refusal()); break;
    case JMSG_DEV_READ: {
        auto piece = refuse ? std::nullopt : card.read_piece();
        ctx.reply(piece ? ack(std::move(*piece)) : refusal());
        break;
    }
    case JMSG_DEV_WRITE:
        // One answer per batch, after the frame that ends it.
        if (refuse || !card.write_piece(in.data))
            card.batch_failed = true;
        if (in.flags & kLastOfBatch) {
            ctx.reply(card.batch_failed ? refusal() : ack());
            card.batch_failed = false;
        }
        break;
    case JMSG_DEV_CLOSE: ctx.reply(!refuse && card.close() ? ack() : refusal()); break;
    case JMSG_DEV_DELETE:
        ctx.reply(!refuse && card.remove(frame_text(in)) ? ack() : refusal());
        break;
    default: break;
    }
}

}  // namespace orvane::sim

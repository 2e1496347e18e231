// screenshot_setup.h - what the screenshot programs share: the command
// line "<program> <library.so> <output folder>", a private relocation root
// holding a copy of the library where the installer puts it, the simulated
// adapter in it, and a grab of the X screen cut to a window.
#pragma once

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QWidget>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "sim/simulator.h"

struct ScreenshotSetup {
    std::filesystem::path out;      // the output folder
    std::filesystem::path root;     // $ORVANE_ROOT, for the caller to remove
    std::filesystem::path library;  // the installed copy of the library
};

// Nothing, after the usage line, on a wrong command line.
inline std::optional<ScreenshotSetup> screenshot_setup(int argc, char **argv,
                                                       const std::string &prefix)
{
    namespace fs = std::filesystem;
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <library.so> <output folder>\n", argv[0]);
        return std::nullopt;
    }
    ScreenshotSetup s;
    s.out = fs::absolute(argv[2]);
    s.root = fs::temp_directory_path() / (prefix + std::to_string(::getpid()));
    s.library = s.root / "usr/local/lib/passthru/libtenqv264.so";
    fs::create_directories(s.library.parent_path());
    fs::copy_file(argv[1], s.library, fs::copy_options::overwrite_existing);
    ::setenv("ORVANE_ROOT", s.root.c_str(), 1);
    return s;
}

// The simulated adapter on COM7 under `root`, started.
inline std::unique_ptr<orvane::sim::Simulator> start_adapter(const std::filesystem::path &root)
{
    orvane::sim::Options options;
    options.com_port = 7;
    options.root = root.string();
    auto sim = std::make_unique<orvane::sim::Simulator>(options);
    sim->start();
    return sim;
}

// The whole X screen, cut to the window.
inline bool grab(QWidget &window, const std::filesystem::path &file)
{
    QApplication::processEvents();
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0).copy(window.frameGeometry());
    return shot.save(QString::fromStdString(file.string()));
}

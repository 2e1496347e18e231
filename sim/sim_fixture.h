/*
 * sim_fixture.h - GoogleTest fixture for end-to-end tests against the
 * simulated adapter.
 *
 * Each test gets a fresh relocation root (a temporary folder named by
 * $ORVANE_ROOT for the test's duration) and starts simulators linked as
 * COM<n> inside it.  TearDown stops them, removes the folder and puts the
 * environment back as it was.
 */
#pragma once

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simulator.h"

namespace orvane::sim {

class SimFixture : public ::testing::Test {
  protected:
    void SetUp() override
    {
        if (const char *old = std::getenv("ORVANE_ROOT"))
            saved_root_ = old;
        const char *tmp = std::getenv("TMPDIR");
        std::string templ = std::string(tmp && *tmp ? tmp : "/tmp") + "/orvane-test-XXXXXX";
        ASSERT_NE(::mkdtemp(templ.data()), nullptr) << "mkdtemp " << templ;
        root_ = templ;
        ASSERT_EQ(::setenv("ORVANE_ROOT", root_.c_str(), 1), 0);
    }

    void TearDown() override
    {
        sims_.clear();  // stops each simulator and removes its link
        if (!root_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(root_, ec);
        }
        if (saved_root_)
            ::setenv("ORVANE_ROOT", saved_root_->c_str(), 1);
        else
            ::unsetenv("ORVANE_ROOT");
    }

    // Starts a simulator linked as COM<port> under root().  `options.root`
    // and `options.com_port` are overridden.
    Simulator &start_sim(uint32_t port = 7, Options options = {})
    {
        options.com_port = port;
        options.root = root_;
        sims_.push_back(std::make_unique<Simulator>(std::move(options)));
        sims_.back()->start();
        return *sims_.back();
    }

    // The first simulator started.
    Simulator &sim() { return *sims_.at(0); }
    const std::string &root() const { return root_; }

  private:
    std::string root_;
    std::optional<std::string> saved_root_;
    std::vector<std::unique_ptr<Simulator>> sims_;
};

}  // namespace orvane::sim

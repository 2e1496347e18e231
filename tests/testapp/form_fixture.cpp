// form_fixture.cpp - the test process's QApplication.
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

QApplication *app = nullptr;

// Deletes the application inside RUN_ALL_TESTS: a static QApplication would
// be destroyed after Qt's own statics, which crashes, and one never deleted
// leaves the font database's memory behind.
class ApplicationEnvironment : public ::testing::Environment {
  public:
    void TearDown() override
    {
        delete app;
        app = nullptr;
    }
};

[[maybe_unused]] ::testing::Environment *const environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

QApplication &application()
{
    static int argc = 1;
    static char name[] = "quillon_test";
    static char *argv[] = {name, nullptr};
    if (app == nullptr) {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
            ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        app = new QApplication(argc, argv);
    }
    return *app;
}

}  // namespace quillon_test

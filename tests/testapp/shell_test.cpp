// shell_test.cpp - the window: its pages in order, the page lock, the error
// box of failing calls, and an exception escaping a handler.
#include <QTabBar>

#include <stdexcept>

#include "testapp/tabbed_notebook.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using ShellTest = FormTest;

TEST_F(ShellTest, EightPagesInOrderLockedUntilALibraryIsLoaded)
{
    register_library("/nonexistent.so");
    TForm1 &form = make_form();
    QTabBar *bar = form.TabbedNotebook1->tab_bar();
    QStringList captions;
    for (int i = 0; i < bar->count(); ++i)
        captions << bar->tabText(i);
    EXPECT_EQ(captions,
              QStringList({"Library", "Connect / Disconnect", "I/O Control (1)", "I/O Control (2)",
                           "Filter Msgs", "Periodic Msgs", "Prog. Voltage", "Read / Write"}));

    for (int page = 1; page < TForm1::kPageCount; ++page)
        EXPECT_FALSE(form.TabbedNotebook1->select_page(page)) << page;
    EXPECT_EQ(form.TabbedNotebook1->current_index(), 0);
    ASSERT_EQ(messages.shown.size(), 7u);
    EXPECT_EQ(messages.shown[0],
              (ShownMessage{"A library must be selected and loaded before use", "ERROR"}));

    form.LibraryHandle = &form;  // any non-null handle frees the pages
    EXPECT_TRUE(form.TabbedNotebook1->select_page(TForm1::kReadWritePage));
    EXPECT_EQ(form.TabbedNotebook1->current_index(), int(TForm1::kReadWritePage));
    EXPECT_EQ(messages.shown.size(), 7u);
}

TEST_F(ShellTest, ErrorBoxesAndEscapingExceptions)
{
    TForm1 &form = make_form();
    messages.shown.clear();
    form.ShowPassThruError("PassThruConnect", 1);
    form.ShowPassThruError("PassThruIoctl(READ_DIO1)", -1);  // 32 bits, never 18446744073709551615
    form.Guarded([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{
                                  {"PassThruConnect returned 1", "ERROR"},
                                  {"PassThruIoctl(READ_DIO1) returned 4294967295", "ERROR"},
                                  {"boom", "quillon"},
                              }));
}

}  // namespace
}  // namespace quillon_test

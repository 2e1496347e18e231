// shell_test.cpp - the window: its pages, the page lock, the error box of
// failing calls, and an exception escaping a handler.
#include <QTabBar>

#include <stdexcept>

#include "testapp/tabbed_notebook.h"
#include "tests/testapp/form_fixture.h"

namespace quillon_test {
namespace {

using ShellTest = FormTest;

TEST_F(ShellTest, PagesLockedUntilALibraryIsLoadedAndErrorBoxes)
{
    register_library("/nonexistent.so");
    TForm1 &form = make_form();
    form.LoadLibraryButtonClick();
    EXPECT_EQ(form.LibraryHandle, nullptr);
    EXPECT_EQ(form.TabbedNotebook1->tab_bar()->count(), 8);
    for (int page = 1; page < TForm1::kPageCount; ++page)
        EXPECT_FALSE(form.TabbedNotebook1->select_page(page)) << page;
    EXPECT_EQ(form.TabbedNotebook1->current_index(), 0);
    ASSERT_EQ(messages.shown.size(), 8u);
    EXPECT_EQ(messages.shown[0], (ShownMessage{"Cannot load /nonexistent.so(2)", "ERROR"}));
    EXPECT_EQ(messages.shown[1],
              (ShownMessage{"A library must be selected and loaded before use", "ERROR"}));

    form.LibraryHandle = &form;  // any non-null handle frees the pages
    EXPECT_TRUE(form.TabbedNotebook1->select_page(TForm1::kReadWritePage));
    EXPECT_EQ(form.TabbedNotebook1->current_index(), int(TForm1::kReadWritePage));

    messages.shown.clear();
    form.ShowPassThruError("PassThruIoctl(READ_DIO1)", -1);  // 32 bits, never 18446744073709551615
    form.Guarded([] { throw std::runtime_error("boom"); });
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{{"PassThruIoctl(READ_DIO1) returned 4294967295", "ERROR"},
                                         {"boom", "quillon"}}));
}

}  // namespace
}  // namespace quillon_test
